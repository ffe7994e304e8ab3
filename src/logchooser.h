// The log file chooser: the main window, the settings dialog and the play-log
// dialog let the user choose a log with it.
#pragma once

#include <cstdint>

#include "os/os.h"

// Filters of the chooser: the main window and the play-log dialog offer text,
// log and all files; the settings dialog only text files.
extern const char klogfilter[];
extern const char ktextfilter[];

// Lets the user choose a log file (owned by owner, offering filter) and opens
// it for reading; the path goes into gkesto.logpath.  1 with the open file and
// its size; 0 when cancelled, refused or not opened.
int openlog(OsWin owner, const char* filter, OsHandle* f, uint32_t* size);
