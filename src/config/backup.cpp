// The backup of the game's files: golf.txt under a name made of its own
// last-write time, with user.db and replay.db, into ym<year><month>\d<day>
// under the program folder.
#include <cstdio>
#include <cstring>

#include "config/setdlg.h"
#include "config/textfile.h"
#include "fileerror.h"
#include "folders.h"
#include "kesto.h"

// The program folder has at most 510 bytes, so the dated names always fit.
#define MONTHPATH 560
#define DAYPATH 580
#define BACKUPPATH 640

static const char kbadsettings[] = "環境設定が正しくないか、読み込まれていません";

void backup(OsWin owner) {
  const Settings& s = gkesto.set;
  if (s.complete != 1) {
    osmessagebox(owner, kbadsettings, "Error", OS_MB_ICONERROR | OS_MB_YESNO);
    return;
  }
  // The log's own time names the backup, not the present time.
  OsHandle f = oscreatefile(s.gamelog, OS_GENERIC_READ, OS_FILE_SHARE_READ | OS_FILE_SHARE_WRITE, OS_OPEN_EXISTING);
  if (f == OS_BADFILE || f == 0) {
    osmessagebox(owner, kbadsettings, "Error", OS_MB_ICONERROR | OS_MB_YESNO);
    return;
  }
  OsTime t;
  memset(&t, 0, sizeof t);
  osgetfiletimelocal(f, &t);
  osclosehandle(f);

  char month[MONTHPATH], day[DAYPATH], name[48], text[BACKUPPATH + 256];
  snprintf(month, sizeof month, "%s\\ym%d%02d", s.home, t.year, t.month);
  if (!folderexists(month)) {
    snprintf(text, sizeof text, "%s フォルダを作成しますか？", month);
    if (osmessagebox(owner, text, "DIR", OS_MB_ICONINFORMATION | OS_MB_YESNO) == OS_IDNO) {
      osmessagebox(owner, "バックアップを中止しました。", "バックアップ", OS_MB_ICONINFORMATION);
      return;
    }
    if (!makefolder(month)) {
      osmessagebox(owner, "フォルダを作成できませんでした", "DIR", OS_MB_ICONINFORMATION);
      return;
    }
  }
  snprintf(day, sizeof day, "%s\\d%02d", month, t.day);
  if (!makefolder(day)) {
    osmessagebox(owner, "フォルダを作成できませんでした。\r\n\r\nバックアップは中止しました。", "DIR",
                 OS_MB_ICONINFORMATION);
    return;
  }
  snprintf(name, sizeof name, "\\golf%02d_%02d%02d_%02d.txt", t.day, t.hour, t.minute, t.second);
  snprintf(text, sizeof text,
           "user.db と、replay.db はそのまま\r\ngolf.txt を %s で以下のフォルダにコピーしますか？\r\n\r\n%s",
           name + 1, day);
  if (osmessagebox(owner, text, "DIR", OS_MB_ICONINFORMATION | OS_MB_YESNO) != OS_IDYES) return;

  // Each copy replaces a file of the same name whole, or leaves it as it
  // was.  A copy that fails is named afterwards with the reason, so a backup
  // never looks whole when it is not.
  char from[3][BACKUPPATH], to[3][BACKUPPATH];
  snprintf(from[0], BACKUPPATH, "%s", s.gamelog);
  snprintf(to[0], BACKUPPATH, "%s%s", day, name);
  snprintf(from[1], BACKUPPATH, "%suser.db", s.gamefolder);
  snprintf(to[1], BACKUPPATH, "%s\\user.db", day);
  snprintf(from[2], BACKUPPATH, "%sreplay.db", s.gamefolder);
  snprintf(to[2], BACKUPPATH, "%s\\replay.db", day);
  char failed[3 * BACKUPPATH + 512];
  int nfailed = 0;
  size_t at = (size_t)snprintf(failed, sizeof failed, "次のファイルをコピーできませんでした。\r\n");
  for (int i = 0; i < 3; i++) {
    uint32_t error = 0;
    if (replacebycopy(from[i], to[i], &error)) continue;
    nfailed++;
    char why[96];
    errorreason(error, why, (int)sizeof why);
    at += (size_t)snprintf(failed + at, sizeof failed - at, "\r\n%s\r\n%s", from[i], why);
  }
  if (nfailed) osmessagebox(owner, failed, "DIR", OS_MB_ICONERROR);
}
