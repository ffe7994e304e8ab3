// The play-log dialog: modeless, owned by the main window, which keeps its
// handle.  Every command runs to its end; the questions of "HTM作成" are
// message boxes owned by the dialog.
#include "report/playlogdlg.h"

#include <cstdio>
#include <cstring>

#include "fileerror.h"
#include "kesto.h"
#include "logchooser.h"
#include "report/htmflow.h"
#include "report/mkhtm.h"
#include "report/playlog.h"

static const char kbrowser[] = "C:\\program files\\internet explorer\\iexplore.exe";

void playloginit(OsWin dlg) {
  ossetdlgitemtext(dlg, IDC_LOG_PATH, gkesto.logpath);
  // Posted, so the page is written once the dialog is on the screen.
  if (gkesto.set.iexplore) ospostcommand(dlg, IDC_LOG_HTM);
}

void playlogclose(OsWin dlg) {
  osdestroywindow(dlg);
  if (gkesto.mw.logdlg == dlg) gkesto.mw.logdlg = 0;
}

void browserpath(char* buf, int n) {
  snprintf(buf, n, "%s", kbrowser);
  char win[PATHSIZE];
  uint32_t len = osgetwindowsdirectory(sizeof win, win);
  if (len > 0 && len < sizeof win && n > 0) buf[0] = win[0];
}

// The page's path in the program folder, for the messages.
static void pagepath(char* buf, int n, const char* name) {
  char dir[PATHSIZE];
  uint32_t len = osgetcurrentdirectory(sizeof dir, dir);
  if (len == 0 || len >= sizeof dir) dir[0] = 0;
  snprintf(buf, n, "%s\\%s", dir, name);
}

// A page that could not be written whole: which and why.  The page is
// written beside itself first, so one of that name from before stays.
static void pagefailure(OsWin owner, const char* head, const char* name) {
  char path[PATHSIZE + 64], b[1024], kept[96];
  pagepath(path, (int)sizeof path, name);
  snprintf(kept, sizeof kept, "%s は変更していません。", name);
  failuretext(b, (int)sizeof b, head, path, gkesto.page.error, kept);
  osmessagebox(owner, b, "Write error", OS_MB_ICONERROR);
}

void showpage(OsWin owner) {
  // The browser is never started on a page that was not written whole.
  if (gkesto.page.failed) {
    pagefailure(owner, "スコアカードのページを作成できなかったため表示しません", gkesto.page.name);
    return;
  }
  showfile(owner, gkesto.page.name);
}

void showfile(OsWin owner, const char* name) {
  char dir[PATHSIZE];
  uint32_t len = osgetcurrentdirectory(sizeof dir, dir);
  if (len == 0 || len >= sizeof dir) dir[0] = 0;
  char path[PATHSIZE + 64];
  snprintf(path, sizeof path, "%s\\%s", dir, name);
  showpath(owner, path);
}

void showpath(OsWin owner, const char* path) {
  // " <page>": the blank stands where the program's own name would be, as
  // the browser reads its line.
  char cmd[PATHSIZE + 80];
  snprintf(cmd, sizeof cmd, " %s", path);
  char browser[PATHSIZE];
  browserpath(browser, sizeof browser);
  OsPlacement place = {40, 40, 640, 100};
  if (oscreateprocess(browser, cmd, 1, OS_CREATE_NEW_CONSOLE | OS_NORMAL_PRIORITY_CLASS, &place)) return;
  // No browser at that path: whatever the system opens pages with.
  if (osshellopen(owner, cmd + 1)) return;
  osmessagebox(owner, "error", "error", OS_MB_ICONERROR);
}

static void makepage(OsWin dlg) {
  int32_t tables = htmcreate(playlogask);
  // A log with nothing to write has been told about by htmcreate.
  if (tables == 0) return;
  if (gkesto.page.failed) {
    pagefailure(dlg, "スコアカードのページを作成できませんでした", gkesto.page.name);
    return;
  }
  if (gkesto.set.iexplore) showpage(dlg);
}

static void makelinks(OsWin dlg) {
  if (mklink(&gkesto) == 1) {
    osmessagebox(dlg, "KESTO フォルダに、linkcc.html を作成しました", "リンク集", OS_MB_ICONINFORMATION);
  } else {
    // Silence would read as success.
    pagefailure(dlg, "linkcc.html を作成できませんでした", "linkcc.html");
  }
}

// Another log.  A refused or cancelled choice keeps the loaded log; with
// IEXPLORE on its page is written and shown again.  The path field keeps the
// log the dialog opened with.
static void otherlog(OsWin dlg) {
  OsHandle f = 0;
  uint32_t size = 0;
  if (openlog(dlg, klogfilter, &f, &size) && !loadplaylog(f, size)) return;
  if (gkesto.set.iexplore) makepage(dlg);
}

void playlogcommand(OsWin dlg, int id) {
  switch (id) {
    case IDC_LOG_END:
      playlogclose(dlg);
      break;
    case IDC_LOG_HTM:
      makepage(dlg);
      break;
    case IDC_LOG_LINKS:
      makelinks(dlg);
      break;
    case IDC_LOG_DATA:
      otherlog(dlg);
      break;
    case IDC_LOG_BROWSE:
      showpage(dlg);
      break;
    default:
      break;
  }
}
