// The viewer page of a burst folder: index.html beside the frames, listing
// the frames its burst log lists with their times, self-contained (UTF-8,
// no outside scripts), playing them at their own times.  Holds no non-ASCII
// literal.
#pragma once

#include <cstdint>

#include "config/settings.h"

#define VIEWERNAME "index.html"

// What became of writing a viewer.
#define VIEWER_WRITTEN 1   // index.html is whole in the folder
#define VIEWER_NOLOG 0     // the folder holds no burst log: nothing written
#define VIEWER_UNREAD (-1) // the log could not be read (error): nothing written
#define VIEWER_FAILED (-2) // index.html could not be written (error); an earlier one stays

struct ViewerResult {
  char path[PATHSIZE + 16];  // the page, or the log that could not be read
  uint32_t error;            // the system's reason of a failure
  int32_t frames;            // frames listed
  int32_t missing;           // of them, frames whose file is not there
  int32_t damaged;           // log lines passed over
};

// Reads the burst folder's log and writes its index.html whole (through a
// temporary beside it, moved over the old page).  The folder is Shift-JIS;
// the page shows it as UTF-8, escaped.
int writeburstviewer(const char* folder, ViewerResult* r);
// The last part of a Shift-JIS path, after its last backslash (a trail
// byte 0x5C is never taken for one).
const char* lastpart(const char* path);
