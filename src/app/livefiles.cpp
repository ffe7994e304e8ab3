// The text files in live\, live.txt, and the system menu's entries and
// "配信の設定" that switch them: the parts of the live state that talk to
// the desktop.  A tick never shows a message box from here.
#include <cstdio>
#include <cstring>

#include "app/live.h"
#include "app/server.h"
#include "app/ticks.h"
#include "config/textfile.h"
#include "fileerror.h"
#include "fileio.h"
#include "kesto.h"
#include "res/resource.h"

static void livesettingspath(char* path, int n) { snprintf(path, (size_t)n, "%s\\live.txt", gkesto.set.home); }

void livestart() {
  memset(&glive, 0, sizeof glive);
  livesettingsdefault(glive.set);
  char path[PATHSIZE + 16], text[1025];
  livesettingspath(path, (int)sizeof path);
  uint32_t len = 0, error = 0;
  int r = readtextfile(path, text, sizeof text - 1, &len, &error);
  if (r == TEXT_UNREAD) {
    glive.setunread = 1;
    glive.seterror = error;
    return;
  }
  if (r == TEXT_MISSING) return;
  // A file longer than any live.txt KESTO writes is damaged past that point.
  glive.setbad = parselivesettings(text, (int32_t)len, glive.set, &glive.setbadline);
  if (r == TEXT_CUT && glive.setbad == 0) {
    glive.setbad = 1;
    glive.setbadline = 0;
  }
}

int livestartnotice(char* buf, int n) {
  if (glive.settold) return 0;
  char path[PATHSIZE + 16];
  livesettingspath(path, (int)sizeof path);
  if (glive.setunread) {
    glive.settold = 1;
    failuretext(buf, n, "配信の設定ファイル live.txt を読めませんでした", path, glive.seterror,
                "配信の設定は既定値 (すべてオフ) で始めます。live.txt は設定を変えるまで書き換えません。");
    return 1;
  }
  if (glive.setbad) {
    glive.settold = 1;
    snprintf(buf, (size_t)n,
             "配信の設定ファイル live.txt に読めない行がありました (%d 行、最初は %d 行目)。\r\n\r\n%s\r\n\r\n"
             "読めない行の設定は既定値にしました。live.txt は設定を変えるまで書き換えません。",
             (int)glive.setbad, (int)glive.setbadline, path);
    return 1;
  }
  return 0;
}

// ---- the text files ---------------------------------------------------------------

static void livefolder(char* path, int n) { snprintf(path, (size_t)n, "%s\\live", gkesto.set.home); }

// Replaces one text file whole: a temporary beside it, then a move over it
// (no flush: the file is shown, not kept).  A failure leaves the old file as
// it was and removes the temporary.  1, or 0 with *error.
static int replacetext(const char* path, const char* text, int32_t len, uint32_t* error) {
  char tmp[PATHSIZE + 64];
  snprintf(tmp, sizeof tmp, "%s.tmp", path);
  OsHandle f = oscreatefile(tmp, OS_GENERIC_WRITE, 0, OS_CREATE_ALWAYS);
  if (f == OS_BADFILE || f == 0) {
    *error = osgetlasterror();
    if (*error == 0) *error = OS_ERROR_WRITE_FAULT;
    return 0;
  }
  static const char bom[3] = {(char)0xEF, (char)0xBB, (char)0xBF};
  int ok = writeall(f, bom, 3, error) && writeall(f, text, (uint32_t)len, error);
  uint32_t closeerror = 0;
  if (!closewritten(f, &closeerror) && ok) {
    ok = 0;
    *error = closeerror;
  }
  if (ok && !osmovefileex(tmp, path, OS_MOVEFILE_REPLACE_EXISTING)) {
    *error = osgetlasterror();
    if (*error == 0) *error = OS_ERROR_ACCESS_DENIED;
    ok = 0;
  }
  if (!ok) osdeletefile(tmp);
  return ok;
}

// Writes the text files waiting; those refused stay waiting for the next
// step.  A failure is counted, kept for "配信の設定" and told once in the
// status line, never in a message box.
static void writepending() {
  if (!glive.set.files || !glive.pending || !gkesto.set.home[0]) return;
  char folder[PATHSIZE + 16], path[PATHSIZE + 40];
  livefolder(folder, (int)sizeof folder);
  if (!osfindfile(folder)) oscreatedirectory(folder);
  static char text[LIVEFILETEXT];
  int failed = 0;
  for (int32_t i = 0; i < LIVEFILES; i++) {
    if (!(glive.pending & (1u << i))) continue;
    int32_t len = livefiletext(i, text, (int32_t)sizeof text);
    if (len < 0) {
      glive.pending &= ~(1u << i);  // nothing to show yet
      continue;
    }
    snprintf(path, sizeof path, "%s\\%s", folder, klivefiles[i]);
    uint32_t error = 0;
    if (replacetext(path, text, len, &error)) {
      glive.pending &= ~(1u << i);
      glive.written++;
      continue;
    }
    failed = 1;
    glive.failures++;
    glive.lasterror = error;
    snprintf(glive.lastfile, sizeof glive.lastfile, "%s", klivefiles[i]);
  }
  if (failed && !glive.told) {
    glive.told = 1;
    char b[128];
    snprintf(b, sizeof b, "配信用テキストファイル %s を書けませんでした (配信の設定)", glive.lastfile);
    if (gkesto.mw.main) ossetdlgitemtext(gkesto.mw.main, IDC_STATUSLINE, b);
  }
  if (!glive.pending) glive.told = 0;
  if (glive.dlg) livedlginit(glive.dlg);
}

void livetick() { writepending(); }

// ---- the settings: the system menu and "配信の設定" ------------------------------

static const char kfilesmenu[] = "配信用テキストファイル";

// live.txt written whole; a failure is told (a command, not a tick).
static int savelivesettings(OsWin owner) {
  char path[PATHSIZE + 16], text[256], b[1024];
  livesettingspath(path, (int)sizeof path);
  int32_t len = formatlivesettings(glive.set, text, (int32_t)sizeof text);
  uint32_t error = 0;
  if (len > 0 && replacefile(path, text, (uint32_t)len, &error)) return 1;
  failuretext(b, (int)sizeof b, "配信の設定ファイル live.txt を保存できませんでした", path, error,
              "前の live.txt は変更していません。この設定は KESTO を終了するまで有効です。");
  osmessagebox(owner, b, "Write error", OS_MB_ICONERROR);
  return 0;
}

void livetogglefiles() {
  glive.set.files = !glive.set.files;
  OsHandle m = osgetsystemmenu(gkesto.mw.main);
  if (m) oscheckmenuitem(m, IDM_LIVEFILES, glive.set.files);
  // Switched on: what is known now is written at once.
  if (glive.set.files) glive.pending = (1u << LIVEFILES) - 1;
  savelivesettings(glive.dlg ? glive.dlg : gkesto.mw.main);
  if (glive.dlg) livedlginit(glive.dlg);
  writepending();
}

// ---- the page server's switch ------------------------------------------------------

void liveaddress(char* buf, int n) { snprintf(buf, (size_t)n, "http://127.0.0.1:%d/", (int)glive.set.port); }

// "配信サーバー", with the address while the server is on.
static void servermenutext(char* buf, int n) {
  char a[64];
  liveaddress(a, (int)sizeof a);
  if (gserver.on) snprintf(buf, (size_t)n, "配信サーバー %s", a);
  else snprintf(buf, (size_t)n, "配信サーバー");
}

static void showserver() {
  OsHandle m = osgetsystemmenu(gkesto.mw.main);
  char b[96];
  servermenutext(b, (int)sizeof b);
  if (m) osmodifymenu(m, IDM_LIVESERVER, gserver.on ? OS_MF_CHECKED : 0, b);
  if (glive.dlg) livedlginit(glive.dlg);
}

int livestartserver() {
  if (!glive.set.server) return 0;
  if (serverstart((uint16_t)glive.set.port)) return 0;
  gserver.tell = 1;
  return 1;
}

void liveservernotice() {
  if (!gserver.tell) return;
  gserver.tell = 0;
  char b[512];
  int port = (int)gserver.failport;
  if (gserver.error == OS_WSAEADDRINUSE || gserver.error == OS_WSAEACCES)
    snprintf(b, sizeof b,
             "配信サーバーを開けませんでした。ポート %d は他のプログラムが使っています。\r\n\r\n"
             "live.txt の PORT=%d を空いているポートに変えて KESTO を起動し直してください。"
             "KESTO は配信サーバーなしで続けます。",
             port, port);
  else
    snprintf(b, sizeof b,
             "配信サーバーを開けませんでした (ポート %d、Winsock のエラー %d)。\r\n\r\n"
             "KESTO は配信サーバーなしで続けます。",
             port, (int)gserver.error);
  tickbox(b, "Open error", OS_MB_ICONERROR);
}

void livetoggleserver() {
  if (gserver.on) {
    serverstop();
    glive.set.server = 0;
  } else if (serverstart((uint16_t)glive.set.port)) {
    glive.set.server = 1;
  } else {
    // Nothing changed: live.txt stays as it is.
    gserver.tell = 1;
    showserver();
    liveservernotice();
    return;
  }
  showserver();
  savelivesettings(glive.dlg ? glive.dlg : gkesto.mw.main);
}

void livemenu(OsWin main) {
  OsHandle m = osgetsystemmenu(main);
  if (!m) return;
  char b[96];
  servermenutext(b, (int)sizeof b);
  osappendmenu(m, OS_MF_STRING | (gserver.on ? OS_MF_CHECKED : 0), IDM_LIVESERVER, b);
  osappendmenu(m, OS_MF_STRING | (glive.set.files ? OS_MF_CHECKED : 0), IDM_LIVEFILES, kfilesmenu);
  osappendmenu(m, OS_MF_STRING, IDM_LIVESETTINGS, "配信の設定…");
}

static void opendialog() {
  if (glive.dlg) {
    osshowwindow(glive.dlg, 1);
    return;
  }
  OsWin w = oscreatedialog(IDD_LIVE, gkesto.mw.main);
  if (!w) {
    osmessagebox(gkesto.mw.main, "LIVE", "Open error", OS_MB_ICONERROR);
    return;
  }
  glive.dlg = w;
  osshowwindow(w, 1);
  osupdatewindow(w);
}

int livesyscommand(int id) {
  if (id == IDM_LIVESERVER) {
    livetoggleserver();
    return 1;
  }
  if (id == IDM_LIVEFILES) {
    livetogglefiles();
    return 1;
  }
  if (id == IDM_LIVESETTINGS) {
    opendialog();
    return 1;
  }
  return 0;
}

void livedlginit(OsWin d) {
  char folder[PATHSIZE + 16], b[1024];
  livefolder(folder, (int)sizeof folder);
  ossetdlgitemtext(d, IDC_LIVE_FOLDER, folder);
  oscheckdlgbutton(d, IDC_LIVE_FILES, glive.set.files != 0);
  if (glive.failures == 0) {
    snprintf(b, sizeof b, "書き込んだファイル %d 個、失敗はありません", (int)glive.written);
  } else {
    char reason[512];
    errorreason(glive.lasterror, reason, (int)sizeof reason);
    snprintf(b, sizeof b, "書き込んだファイル %d 個、失敗 %d 回\r\n最後の失敗: %s\r\n%s", (int)glive.written,
             (int)glive.failures, glive.lastfile, reason);
  }
  ossetdlgitemtext(d, IDC_LIVE_STATE, b);
  oscheckdlgbutton(d, IDC_LIVE_SERVER, gserver.on != 0);
  liveaddress(b, (int)sizeof b);
  ossetdlgitemtext(d, IDC_LIVE_ADDRESS, b);
}

static void closelivedlg(OsWin d) {
  osdestroywindow(d);
  if (glive.dlg == d) glive.dlg = 0;
}

void livedlgcommand(OsWin d, int id, int code, intptr_t) {
  switch (id) {
    case IDC_LIVE_OPEN: {
      char folder[PATHSIZE + 16];
      livefolder(folder, (int)sizeof folder);
      if (!osfindfile(folder)) oscreatedirectory(folder);
      if (!osshellopen(d, folder))
        osmessagebox(d, "配信用テキストファイルのフォルダを開けませんでした", "配信の設定", OS_MB_ICONERROR);
      break;
    }
    case IDC_LIVE_FILES:
      if (code == OS_BN_CLICKED && (osisdlgbuttonchecked(d, IDC_LIVE_FILES) == 1) != (glive.set.files != 0))
        livetogglefiles();
      break;
    case IDC_LIVE_SERVER:
      if (code == OS_BN_CLICKED && (osisdlgbuttonchecked(d, IDC_LIVE_SERVER) == 1) != (gserver.on != 0))
        livetoggleserver();
      // The switch shows what is so, a start that failed too.
      oscheckdlgbutton(d, IDC_LIVE_SERVER, gserver.on != 0);
      break;
    case IDC_LIVE_COPY: {
      char a[64];
      liveaddress(a, (int)sizeof a);
      if (!ossetclipboardtext(d, a))
        osmessagebox(d, "アドレスをクリップボードにコピーできませんでした。\r\nほかのプログラムがクリップボードを使っています。",
                     "配信の設定", OS_MB_ICONERROR);
      break;
    }
    case IDC_LIVE_END: closelivedlg(d); break;
    default: break;
  }
}

void livedlgclose(OsWin d) { closelivedlg(d); }

void livedlgdestroyed(OsWin d) {
  if (glive.dlg == d) glive.dlg = 0;
}
