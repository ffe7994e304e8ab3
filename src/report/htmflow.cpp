// "HTM作成": cuts the play log into games and has mkhtm write them into one
// page.  Apart from any window, so the play-log dialog and the command-line
// tool share it; what the user is told or asked goes through the caller's
// HtmAsk.
#include "report/htmflow.h"

#include <cstdio>

#include "kesto.h"
#include "gamelog/gamelog.h"
#include "report/mkhtm.h"

#define SHORTGAMESMAX 10  // the question after the eleventh short game is the last

int32_t parsegame(int32_t cont) { return parsegamein(gkesto.game, gkesto.playlog, cont, gkesto.courses); }

void pagename(const OsTime& t) {
  PageState& p = gkesto.page;
  snprintf(p.name, sizeof p.name, "log%d%02d%02d_%02d%02d.html", t.year, t.month, t.day, t.hour, t.minute);
  snprintf(p.title, sizeof p.title, "log%d%02d%02d_%02d%02d", t.year, t.month, t.day, t.hour, t.minute);
}

// The table of the game just parsed: head, one row per player, the end.
static void writegame() {
  mkhtm(&gkesto, 2, 0);
  mkhtm(&gkesto, 3, 0);
  for (int32_t k = 1; k < gkesto.game.players; k++) mkhtm(&gkesto, 4, k);
  mkhtm(&gkesto, gkesto.game.pointbattle ? 6 : 5, 0);
}

int32_t htmcreate(HtmAsk ask) {
  GameRecord& g = gkesto.game;
  char text[128];
  pagename(gkesto.mw.playlogtime);

  g.pointbattle = 0;
  if (g.loglen <= 0) {
    ask("ログが空です。HTML ファイルは作成しませんでした", "No game", OS_MB_ICONINFORMATION);
    return 0;
  }
  int32_t last = parsegame(0);
  bool marker = g.ended;
  // A game that ended before its first hole has nothing to show: it is
  // passed over, as after a full first game.
  while (last == 0 && g.ended && g.readpos < g.loglen) {
    last = parsegame(1);
    marker = marker || g.ended;
  }
  if (last == 0) {
    ask(marker ? "終了したゲームはありますが、ホールの記録がありません。HTML ファイルは作成しませんでした"
               : "終了マーク（** Stroke End ** など）のあるゲームがありません。HTML ファイルは作成しませんでした",
        "No game", OS_MB_ICONINFORMATION);
    return 0;
  }
  bool full = last == 18 && g.firsthole == 1;
  if (!full) {
    snprintf(text, sizeof text, "start hole = %d,last hole = %d", g.firsthole, last);
    ask(text, "HOLES", OS_MB_ICONINFORMATION);
  }
  int32_t result = 0;
  if (mkhtm(&gkesto, 1, 0) == -1) {
    // Whatever the answer, the steps that follow write nothing.
    ask("mkhtm(&gkesto,1,0);", "HOLES", OS_MB_ICONINFORMATION | OS_MB_YESNO);
    result = -1;
  }
  writegame();
  int32_t tables = 1;

  if (full) {
    gkesto.page.shortgames = 0;
    while (g.readpos < g.loglen) {
      last = parsegame(1);
      if (last == 18) {
        // After the first game only the last hole counts.
        writegame();
        tables++;
      } else if (last != 0) {
        gkesto.page.shortgames++;
        snprintf(text, sizeof text, "%d hole, 18 ホール以下が %d 回。表示しますか？", last, gkesto.page.shortgames);
        if (ask(text, "HOLES", OS_MB_ICONINFORMATION | OS_MB_YESNO) == OS_IDYES) {
          writegame();
          tables++;
        }
      }
      if (gkesto.page.shortgames > SHORTGAMESMAX) break;
    }
  }
  mkhtm(&gkesto, 0, 0);
  return result < 0 ? result : tables;
}
