// "成績集計": the logs of the program folder into one round history, the
// statistics page and the CSV, and the page shown as "ＩＥで表示" shows one.
#include "app/statscmd.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "fileerror.h"
#include "kesto.h"
#include "report/playlogdlg.h"
#include "report/rounds.h"
#include "report/stats.h"

static const char kcaption[] = "成績集計";

void statsmenu(OsWin main) {
  OsHandle m = osgetsystemmenu(main);
  if (!m) return;
  osappendmenu(m, OS_MF_SEPARATOR, 0, nullptr);
  osappendmenu(m, OS_MF_STRING, IDM_STATS, kcaption);
}

int mainwinsyscommand(int id) {
  if (id != IDM_STATS) return 0;
  statscommand();
  return 1;
}

// The backup logs found: paths in a growing array, sorted before reading.
struct PathList {
  char (*paths)[PATHSIZE];
  int32_t count, cap;
  int32_t nomemory;
};

static void addpath(PathList& l, const char* path) {
  if (l.count == l.cap) {
    int32_t n = l.cap ? l.cap * 2 : 32;
    void* p = realloc(l.paths, (size_t)n * PATHSIZE);
    if (!p) {
      l.nomemory = 1;
      return;
    }
    l.paths = (char (*)[PATHSIZE])p;
    l.cap = n;
  }
  memcpy(l.paths[l.count++], path, PATHSIZE);
}

// Calls each(found path) for every entry of folder matching pattern that is
// a folder (wantdir) or a file; paths that do not fit are passed over.
template <typename F>
static void eachfound(const char* folder, const char* pattern, bool wantdir, F each) {
  char search[PATHSIZE], path[PATHSIZE];
  if (snprintf(search, sizeof search, "%s\\%s", folder, pattern) >= (int)sizeof search) return;
  OsFindData fd;
  OsHandle h = osfindfirstfile(search, &fd);
  if (h == OS_BADFILE || h == 0) return;
  do {
    bool isdir = (fd.attributes & OS_FILE_ATTRIBUTE_DIRECTORY) != 0;
    if (isdir != wantdir || strcmp(fd.name, ".") == 0 || strcmp(fd.name, "..") == 0) continue;
    if (snprintf(path, sizeof path, "%s\\%s", folder, fd.name) >= (int)sizeof path) continue;
    each(path);
  } while (osfindnextfile(h, &fd));
  osfindclose(h);
}

static int cmppaths(const void* a, const void* b) { return strcmp((const char*)a, (const char*)b); }

static RoundHistory ghistory;

void statscommand() {
  OsWin owner = gkesto.mw.main;
  const Settings& s = gkesto.set;
  roundsfree(ghistory);
  RoundHistory& h = ghistory;
  char path[PATHSIZE], text[PATHSIZE + 256];

  // The game's golf.txt (shared, as the game writes it), golfwatch.txt, then
  // the backups in the order of their names.
  if (s.gamelog[0] && osfindfile(s.gamelog)) roundsaddlog(h, s.gamelog);
  if (snprintf(path, sizeof path, "%s\\golfwatch.txt", s.home) < (int)sizeof path && osfindfile(path))
    roundsaddlog(h, path);
  PathList backups = {nullptr, 0, 0, 0};
  eachfound(s.home, "ym*", true, [&](const char* month) {
    eachfound(month, "d*", true, [&](const char* day) {
      eachfound(day, "golf*.txt", false, [&](const char* log) { addpath(backups, log); });
    });
  });
  if (backups.count > 1) qsort(backups.paths, (size_t)backups.count, PATHSIZE, cmppaths);
  for (int32_t i = 0; i < backups.count && !h.nomemory; i++) roundsaddlog(h, backups.paths[i]);
  free(backups.paths);

  if (h.nlogs == 0) {
    osmessagebox(owner,
                 "集計するログが見つかりません。\r\n"
                 "golf.txt、golfwatch.txt、バックアップ (ym…\\d…\\golf….txt) のどれもありませんでした。",
                 kcaption, OS_MB_ICONINFORMATION);
    roundsfree(h);
    return;
  }
  if (h.count == 0) {
    int32_t unread = 0;
    for (int32_t i = 0; i < h.nlogs; i++) unread += h.logs[i].status != ROUNDLOG_READ;
    snprintf(text, sizeof text,
             "ログ %d 個に、終わったゲームがありません (読めなかったログ %d 個)。\r\n成績集計は作成していません。",
             h.nlogs, unread);
    osmessagebox(owner, text, kcaption, OS_MB_ICONINFORMATION);
    roundsfree(h);
    return;
  }
  roundssort(h);
  if (h.nomemory || backups.nomemory)
    osmessagebox(owner, "メモリが足りないため、途中までのログで集計します。", kcaption, OS_MB_ICONWARNING);

  char out[PATHSIZE + 16];
  snprintf(out, sizeof out, "%s\\" STATSCSV, s.home);
  uint32_t error = 0;
  if (!writeroundscsv(h, out, &error)) {
    failuretext(text, (int)sizeof text, "成績集計の " STATSCSV " を保存できませんでした", out, error,
                "前の " STATSCSV " は変更していません。");
    osmessagebox(owner, text, "Write error", OS_MB_ICONERROR);
  }
  snprintf(out, sizeof out, "%s\\" STATSPAGE, s.home);
  int32_t page = writestatspage(h, out, &error);
  roundsfree(h);
  if (!page) {
    // No browser on a page that is not new.
    failuretext(text, (int)sizeof text, "成績集計のページ " STATSPAGE " を保存できませんでした", out, error,
                "前の " STATSPAGE " は変更していません。ページは表示しません。");
    osmessagebox(owner, text, "Write error", OS_MB_ICONERROR);
    return;
  }
  showfile(owner, STATSPAGE);
}
