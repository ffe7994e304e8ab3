// Start-up: the single-instance mutex, the window class, the program folder
// and its paths, the main window, the layered-window look-up and the loop.
#include "app/startup.h"

#include <cstring>

#include "kesto.h"
#include "app/apngcmd.h"
#include "app/burstmenu.h"
#include "app/live.h"
#include "app/mainwin.h"
#include "app/server.h"
#include "app/statscmd.h"
#include "capture/area.h"
#include "config/setdlg.h"
#include "report/playlogdlg.h"
#include "res/resource.h"
#include "sjis.h"

// Appends name to the program folder into a path field; 0 when it does not fit.
static int joinpath(char* dst, const char* folder, const char* name) {
  size_t a = strlen(folder), b = strlen(name);
  if (a + b + 1 > PATHSIZE) return 0;
  memcpy(dst, folder, a);
  memcpy(dst + a, name, b + 1);
  return 1;
}

// Which handlers serve which window: the system layer is handed this table
// with the main window and calls nothing of the program but what it lists.
static void setdlgcmd(OsWin d, int id, int, intptr_t) { setdlgcommand(d, id); }
static void playlogcmd(OsWin d, int id, int, intptr_t) { playlogcommand(d, id); }
static int syscmd(int id) {
  return mainwinsyscommand(id) || livesyscommand(id) || burstsyscommand(id) || apngsyscommand(id);
}
static void framecmd(OsWin f, int id, int code, intptr_t) { framecommand(f, id, code); }

// Each dialog's row lists, in order: init, command, close, timer, focus,
// activate, paint, destroyed, then the frame's mouse (left down, move, left
// up, right down, right up) and moved.
#define NONE nullptr
const OsHandlers kestohandlers = {
    {mainwincreate, mainwininitdialog, mainwincommand, mainwintimer, mainwinclose, mainwinqueryend,
     mainwinendsession, mainwindestroy, syscmd, serversocket},
    {
        {IDD_SETTINGS, setdlginit, setdlgcmd, setdlgclose, NONE, NONE, NONE, NONE, NONE,  //
         NONE, NONE, NONE, NONE, NONE, NONE},
        {IDD_PLAYLOG, playloginit, playlogcmd, playlogclose, NONE, NONE, NONE, NONE, NONE,  //
         NONE, NONE, NONE, NONE, NONE, NONE},
        {IDD_AREA, areadlginit, areadlgcommand, areadlgclose, areadlgtimer, areadlgfocus, areadlgactivate,
         areadlgpaint, areadlgdestroyed,  //
         NONE, NONE, NONE, NONE, NONE, NONE},
        {IDD_LIVE, livedlginit, livedlgcommand, livedlgclose, NONE, NONE, NONE, NONE, livedlgdestroyed,  //
         NONE, NONE, NONE, NONE, NONE, NONE},
        {IDD_FRAME, frameinit, framecmd, NONE, NONE, framefocus, NONE, framepaint, framedestroyed,  //
         framelbuttondown, framemousemove, framelbuttonup, framerbuttondown, framerbuttonup, framemoved},
    },
};
#undef NONE

int setpaths(const char* cwd) {
  Settings& s = gkesto.set;
  size_t len = strlen(cwd);
  // A root folder such as "C:\" keeps no trailing backslash either.  The
  // backslashes are found character by character: the second byte of 表 or
  // ソ (0x5C) at the end of a folder's name is no separator.
  size_t n = 0;
  for (size_t i = 0; i < len;) {
    int32_t step = sjischar(cwd + i, (int32_t)(len - i));
    if (step != 1 || cwd[i] != '\\') n = i + (size_t)step;
    i += (size_t)step;
  }
  if (n > 510) return 0;
  char folder[PATHSIZE];
  memcpy(folder, cwd, n);
  folder[n] = 0;
  // golfcourse.txt gives the longest path: when it fits, all three do.
  char gamelog[PATHSIZE], coursefile[PATHSIZE], inifile[PATHSIZE];
  if (!joinpath(gamelog, folder, "\\golf.txt") || !joinpath(coursefile, folder, "\\golfcourse.txt") ||
      !joinpath(inifile, folder, "\\loginit.txt"))
    return 0;
  memcpy(s.home, folder, n + 1);
  memcpy(s.gamelog, gamelog, sizeof gamelog);
  memcpy(s.coursefile, coursefile, sizeof coursefile);
  memcpy(s.inifile, inifile, sizeof inifile);
  return 1;
}

int kestomain(int showcmd) {
  OsHandle mutex = oscreatemutex(KESTO_MUTEX, 1);
  if (mutex && osgetlasterror() == OS_ERROR_ALREADY_EXISTS) {
    OsWin other = osfindwindow(KESTO_CLASS, KESTO_TITLE);
    if (other) ossetforegroundwindow(other);
    return 0;
  }
  gkesto.mutex = mutex;

  if (!osregistermainclass()) return 0;

  // The program folder is the current directory.  A folder whose paths would
  // not fit their fields is refused rather than silently cut.
  char cwd[PATHSIZE];
  uint32_t n = osgetcurrentdirectory(510, cwd);
  if (n == 0 || n >= 510 || !setpaths(cwd)) {
    osmessagebox(0,
                 "KESTO を起動したフォルダのパスが長すぎるか、使えない文字を含んでいます。\r\n"
                 "短い名前のフォルダから起動してください。",
                 "Open error", OS_MB_ICONERROR);
    return 0;
  }

  OsWin main = oscreatemaindialog(&kestohandlers);
  OsWin owner = main;

  gkesto.user32 = osloadlibrary("user32.dll");
  if (!gkesto.user32) {
    osmessagebox(owner, "USER32.DLLが読み込めませんでした。", "Error", OS_MB_ICONERROR);
    return 0;
  }
  gkesto.setlayered = osgetprocaddress(gkesto.user32, "SetLayeredWindowAttributes");
  if (!gkesto.setlayered) {
    osmessagebox(owner,
                 "SetLayeredWindowAttributes()関数のポインタが取得できませんでした。"
                 "Windows2000ではない可能性があります。",
                 "Error", OS_MB_OK);
    return 0;
  }
  if (!main) {
    osmessagebox(0, "KESTO not found", "Open error", OS_MB_ICONERROR);
    return 0;
  }
  osshowwindow(main, showcmd);
  osupdatewindow(main);
  return osmessageloop(main);
}
