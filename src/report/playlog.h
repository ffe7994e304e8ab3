// Choosing a play log and loading it into the play-log buffer.
#pragma once

#include <cstdint>

#include "os/os.h"

// Reads an open log file whole into the play-log buffer and closes it; 1 on
// success, 0 (after its message) when the file is too large or unreadable.
int loadplaylog(OsHandle f, uint32_t size);

#define PLAYLOG_OK 0
#define PLAYLOG_TOOBIG 1      // 0x400000 bytes or more: nothing is read
#define PLAYLOG_UNREADABLE 2  // the read failed or came short
// Reads an open log file of size bytes whole into the play-log buffer, sets
// the log length and takes the file's last-write time (local); the file stays
// open.  A file too large leaves the loaded log as it was; a read that failed
// or came short leaves it empty (length 0, no time), never part of two logs.
int readplaylog(OsHandle f, uint32_t size);
// The play-log dialog's way of telling and asking for "HTM作成": a message box
// owned by the dialog.
int playlogask(const char* text, const char* caption, uint32_t type);
