// "連写をアニメーションに": the last burst as an animated PNG, made on the
// housekeeping timer so that the window never waits for it.
#include "app/apngcmd.h"

#include <cstdio>
#include <cstring>

#include "app/ticks.h"
#include "capture/burstapng.h"
#include "capture/lastburst.h"
#include "fileerror.h"
#include "kesto.h"
#include "res/resource.h"

static const char kcaption[] = "連写をアニメーションに";

void apngmenu(OsWin main) {
  OsHandle m = osgetsystemmenu(main);
  if (m) osappendmenu(m, OS_MF_STRING, IDM_APNG, kcaption);
}


static void status(const char* text) {
  if (gkesto.mw.main) ossetdlgitemtext(gkesto.mw.main, IDC_STATUSLINE, text);
}

static void progress() {
  char b[96];
  snprintf(b, sizeof b, "アニメーションを作成中 %d / %d", (int)gapngjob.written, (int)gapngjob.usable);
  if (gapngjob.phase == 0) snprintf(b, sizeof b, "アニメーションを作成中 (フレームを確認中 %d / %d)",
                                    (int)gapngjob.next, (int)gapngdir.count);
  status(b);
}

// Tells the end of a job: the files made, or what failed and why.
static void tell(int r) {
  const ApngJob& j = gapngjob;
  static char text[PATHSIZE * 2 + 512];
  char skipped[160] = "", files[192];
  if (j.skipped)
    snprintf(skipped, sizeof skipped, "\r\n\r\nログのフレーム %d 枚は、見つからないか読めないため入れていません。",
             (int)j.skipped);
  if (r == APNGJOB_DONE) {
    if (j.done > 1)
      snprintf(files, sizeof files, "%s … %s (大きさの違うフレームごとに %d 個)", j.first, j.last, (int)j.done);
    else
      snprintf(files, sizeof files, "%s", j.first);
    snprintf(text, sizeof text, "アニメーションを保存しました。\r\n\r\n%s\r\n%s\r\nフレーム %d 枚%s", gapngdir.folder,
             files, (int)j.written, skipped);
    char line[256];
    snprintf(line, sizeof line, "アニメーションを保存しました: %s", files);
    status(line);
    tickbox(text, kcaption, OS_MB_ICONINFORMATION);
    return;
  }
  status("アニメーションを作成できませんでした");
  const char* tail = "作成中のアニメーションのファイルは残していません。";
  switch (j.fail) {
    case APNGFAIL_NOLOG:
      snprintf(text, sizeof text, "連写のログが見つかりません。\r\n\r\n%s\r\n\r\nアニメーションは作成していません。",
               j.file);
      break;
    case APNGFAIL_NOFRAME:
      snprintf(text, sizeof text,
               "連写のフレームが一つも読めません。\r\n\r\n%s\r\n\r\nアニメーションは作成していません。", j.file);
      break;
    case APNGFAIL_LOG:
      failuretext(text, (int)sizeof text, "連写のログを読めませんでした", j.file, j.error,
                  "アニメーションは作成していません。");
      break;
    case APNGFAIL_FRAME:
      failuretext(text, (int)sizeof text, "連写のフレームを読めませんでした", j.file, j.error, tail);
      break;
    default:
      failuretext(text, (int)sizeof text, "アニメーションを保存できませんでした", j.file, j.error, tail);
      break;
  }
  tickbox(text, kcaption, OS_MB_ICONERROR);
}

// The housekeeper: a few frames, then the progress.
static void apngtick() {
  int64_t start = 0, now = 0;
  osqueryperformancecounter(&start);
  int r = APNGJOB_MORE;
  for (int i = 0; i < APNGTICKFRAMES && r == APNGJOB_MORE; i++) {
    r = apngjobstep(1);
    osqueryperformancecounter(&now);
    if (gkesto.mw.countsperms > 0 && (now - start) / gkesto.mw.countsperms >= APNGTICKMS) break;
  }
  if (r == APNGJOB_MORE) {
    progress();
    return;
  }
  // Off the timer before the box: its message loop runs the housekeepers.
  removehousekeeper(apngtick);
  tell(r);
}

void apngstart(const char* folder) {
  char text[PATHSIZE + 256];
  if (gapngjob.active) {
    snprintf(text, sizeof text, "アニメーションを作成中です (%d / %d)。\r\n\r\n%s\r\n\r\n終わってからもう一度選んでください。",
             (int)gapngjob.written, (int)gapngjob.usable, gapngdir.folder);
    tickbox(text, kcaption, OS_MB_ICONINFORMATION);
    return;
  }
  int r = apngjobbegin(folder);
  if (r != APNGJOB_MORE) {
    tell(r);
    return;
  }
  if (!addhousekeeper(apngtick)) {
    apngjobcancel();
    tickbox("いまはアニメーションを作成できません。しばらくしてからもう一度選んでください。", kcaption,
            OS_MB_ICONERROR);
    return;
  }
  progress();
}

int apngsyscommand(int id) {
  if (id != IDM_APNG) return 0;
  static char folder[PATHSIZE];
  if (!lastburstdir(folder, (int)sizeof folder)) {
    tickbox("連写がまだありません。\r\n\r\n連写をしてから選んでください。", kcaption, OS_MB_ICONINFORMATION);
    return 1;
  }
  if (gkesto.mw.cap.burst != BurstIdle && strcmp(folder, gkesto.burst.folder) == 0) {
    tickbox("連写を保存しています。\r\n\r\n連写の保存が終わってから選んでください。", kcaption, OS_MB_ICONINFORMATION);
    return 1;
  }
  apngstart(folder);
  return 1;
}

void apngabandon() {
  if (!gapngjob.active) return;
  removehousekeeper(apngtick);
  apngjobcancel();
}
