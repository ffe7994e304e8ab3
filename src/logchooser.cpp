// The log file chooser, shared by the main window, the settings dialog and
// the play-log dialog.
#include "logchooser.h"

#include <cstdio>
#include <cstring>

#include "kesto.h"

const char klogfilter[] = "テキスト(*.txt)\0*.txt\0ログ(*.dat)\0*.dat\0すべて (*.*)\0*.*\0";
const char ktextfilter[] = "テキスト(*.txt)\0*.txt\0";

int openlog(OsWin owner, const char* filter, OsHandle* f, uint32_t* size) {
  *f = 0;
  *size = 0;
  // The chooser proposes the last choice and starts in the program folder.
  char path[PATHSIZE];
  memcpy(path, gkesto.logpath, sizeof path);
  path[PATHSIZE - 1] = 0;
  if (!osgetopenfilename(owner, filter, gkesto.set.home, "File Name", OS_OFN_PATHMUSTEXIST | OS_OFN_NOVALIDATE,
                         path, sizeof path)) {
    uint32_t err = oscommdlgextendederror();
    if (err != 0) {
      char b[64];
      snprintf(b, sizeof b, "GetOpenFileName error 0x%lx", (unsigned long)err);
      osmessagebox(owner, b, "Open error", OS_MB_ICONERROR);
    }
    return 0;
  }
  memcpy(gkesto.logpath, path, sizeof path);
  // The golf.txt that the running game writes is not for reading here.
  if (gkesto.mw.watch.state == FollowLog && strcmp(path, gkesto.set.gamelog) == 0) {
    osmessagebox(owner,
                 "ゴルフ漬け動作中で使用中の、golf.txt ログ表示はできません。\r\n"
                 "ゴルフ漬けを終了してから、操作してください",
                 "禁止", OS_MB_ICONERROR);
    return 0;
  }
  OsHandle h = oscreatefile(path, OS_GENERIC_READ, OS_FILE_SHARE_READ | OS_FILE_SHARE_WRITE, OS_OPEN_EXISTING);
  if (h == OS_BADFILE || h == 0) return 0;
  *f = h;
  *size = osgetfilesize(h);
  return 1;
}
