// Loading a play log into the play-log buffer.
#include "report/playlog.h"

#include <cstdio>
#include <cstring>

#include "kesto.h"

int loadplaylog(OsHandle f, uint32_t size) {
  OsWin owner = gkesto.mw.main;
  int r = readplaylog(f, size);
  if (r == PLAYLOG_TOOBIG) {
    char b[64];
    snprintf(b, sizeof b, "logfile = 0x%x, >= 0x400000 !", (unsigned)size);
    osmessagebox(owner, b, "Open error", OS_MB_ICONERROR);
  } else if (r == PLAYLOG_UNREADABLE) {
    osmessagebox(owner, "ログファイルを読めません", "Open error", OS_MB_ICONERROR);
  }
  osclosehandle(f);
  return r == PLAYLOG_OK;
}

int playlogask(const char* text, const char* caption, uint32_t type) {
  return osmessagebox(gkesto.mw.logdlg, text, caption, type);
}
