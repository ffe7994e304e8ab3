// Reading a small text file of the program folder whole.
#pragma once

#include <cstdint>

#include "fileio.h"
#include "os/os.h"

// What became of reading a small text file.
#define TEXT_MISSING 0   // there is no such file
#define TEXT_READ 1      // read whole
#define TEXT_CUT 2       // read as far as the buffer holds: the file is longer
#define TEXT_UNREAD (-1) // the file is there but could not be read whole
// Reads at most max bytes of the file at path into buf (max + 1 bytes) and
// terminates them with a NUL (the length in *len).  The file is opened for
// reading and writing, shared, existing only; a file that is there but that
// open or a read refuses (held by another program, read-only) is
// TEXT_UNREAD with the reason in *error, never taken for a missing one.
int readtextfile(const char* path, char* buf, uint32_t max, uint32_t* len, uint32_t* error);

// Replacing a file whole, never truncating it first: the new bytes go to a
// temporary file beside it (the path with ".tmp" added), which is flushed to
// the disk and then moved over the old file in one step (MoveFileEx,
// replacing, write-through).  Any failure leaves the old file as it was and
// removes the temporary.  Usable for any file written whole: it follows the
// write rule above.
#define REPLACETMPSIZE 560  // a file of the program folder (a folder of 511 bytes) and ".tmp"
struct Replacement {
  OsHandle f;                 // the temporary while open, else 0
  char tmp[REPLACETMPSIZE];   // its path
  const char* path;           // the file replaced
  int failed;                 // a write or a step failed
  uint32_t error;             // the system's error code of the first failure
};
// Creates the temporary for writing.  0 on failure (r->error set).
int beginreplace(Replacement* r, const char* path);
// Writes n bytes to the temporary; after a failure nothing more is written.
// 1 when they all went out.
int replacewrite(Replacement* r, const void* p, uint32_t n);
// Ends the replacement.  ok 0 drops it (the caller's own work failed, or
// the file is abandoned): the temporary is removed, and r->error is a write
// fault unless a failure before gave another reason.  When all went well the temporary is
// flushed, closed and moved over the file: 1.  Otherwise the temporary is
// removed and the old file is untouched: 0 with r->error.
int endreplace(Replacement* r, int ok);
// The whole replacement of path by n bytes at p.  1, or 0 with *error.
int replacefile(const char* path, const void* p, uint32_t n, uint32_t* error);
// Replaces to with a copy of from (through a temporary, as above).  1, or 0
// with *error.
int replacebycopy(const char* from, const char* to, uint32_t* error);
