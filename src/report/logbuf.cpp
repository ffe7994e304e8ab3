// Reading a log file whole into the play-log buffer, without a word to the
// user: the play-log dialog and the command-line tool say what went wrong
// each in their own way.
#include "report/playlog.h"

#include "config/textfile.h"
#include "kesto.h"

int readplaylog(OsHandle f, uint32_t size) {
  if (size >= LOGBUFSIZE) return PLAYLOG_TOOBIG;
  uint32_t got = 0, error = 0;
  // A read may bring less than asked: reads go on until the size is in.
  if (!readall(f, gkesto.playlog, size, &got, &error)) {
    // The read may have overwritten part of the log loaded before: rather
    // than pair its length and time with the bytes of another file, the
    // loaded log becomes empty.
    gkesto.game.loglen = 0;
    gkesto.mw.playloglen = 0;
    gkesto.playlog[0] = 0;
    gkesto.mw.playlogtime = OsTime{};
    return PLAYLOG_UNREADABLE;
  }
  gkesto.game.loglen = (int32_t)size;
  gkesto.mw.playloglen = size;
  gkesto.playlog[size] = 0;
  if (!osgetfiletimelocal(f, &gkesto.mw.playlogtime)) gkesto.mw.playlogtime = OsTime{};
  return PLAYLOG_OK;
}
