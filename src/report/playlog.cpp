// Loading a play log into the play-log buffer.
#include "report/playlog.h"

#include <cstdio>

#include "kesto.h"

int openlog(OsHandle* f, uint32_t* size) {
  // The file chooser comes with the play-log dialog; until then nothing is chosen.
  *f = 0;
  *size = 0;
  return 0;
}

int loadplaylog(OsHandle f, uint32_t size) {
  OsWin owner = gkesto.mw.main;
  if (size >= LOGBUFSIZE) {
    char b[64];
    snprintf(b, sizeof b, "logfile = 0x%x, >= 0x400000 !", (unsigned)size);
    osmessagebox(owner, b, "Open error", OS_MB_ICONERROR);
    osclosehandle(f);
    return 0;
  }
  uint32_t got = 0;
  if (!osreadfile(f, gkesto.playlog, size, &got) || got != size) {
    osmessagebox(owner, "ログファイルを読めません", "Open error", OS_MB_ICONERROR);
    osclosehandle(f);
    return 0;
  }
  gkesto.game.loglen = (int32_t)size;
  gkesto.mw.playloglen = size;
  gkesto.playlog[size] = 0;
  osgetfiletimelocal(f, &gkesto.mw.playlogtime);
  osclosehandle(f);
  return 1;
}
