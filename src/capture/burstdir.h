// Reading a burst folder back: its burst log and the frame files beside it.
// The log is read in bounded pieces into fixed tables (no allocation);
// damaged lines are passed over and counted.  Holds no non-ASCII literal:
// the fuzz build compiles it with clang.
#pragma once

#include <cstdint>

#include "capture/burst.h"
#include "config/settings.h"

#define BURSTDIRFRAMES DISKFRAMEMAX  // frames a burst folder can list (99,999)
#define BURSTLINEMAX 128             // bytes of a log line; a longer line is damaged
#define BURSTLOGMAX 16777216u        // bytes of a log read; the rest is cut
#define BURSTCHUNK 65536             // bytes read from the log at a time
#define BURSTNAMESIZE 16             // "c00001.bmp" and its NUL, with room

// One frame of the folder, in log order.
struct BurstFrame {
  char name[BURSTNAMESIZE];  // its file name, "c%05d.bmp"
  int32_t number;            // its frame number, 1 to 99,999
  int32_t exists;            // 1 when the file is in the folder
  int64_t tic;               // ms since the frame before it, as logged
  int64_t time;              // ms from the first frame listed (the first is at 0)
};

// What became of reading a burst folder.
#define BURSTDIR_READ 1     // the log was read (damaged lines are counted)
#define BURSTDIR_NOLOG 0    // the folder holds no burst log (or is no folder)
#define BURSTDIR_UNREAD (-1)  // the log is there but could not be read; error says why

struct BurstDir {
  char folder[PATHSIZE];    // the folder as given
  char logname[BURSTNAMESIZE * 2];  // the log's name without the folder
  int32_t count;            // frames listed
  int32_t missing;          // of them, frames whose file is not in the folder
  int32_t damaged;          // lines that are neither the header, a frame nor blank
  int32_t firstdamaged;     // line number (from 1) of the first damaged line, 0 for none
  int32_t over;             // frame lines past the table, not listed
  int32_t cut;              // 1 when the log was longer than BURSTLOGMAX
  int32_t lines;            // lines seen
  uint32_t error;           // the system's reason when BURSTDIR_UNREAD
  // The line being assembled while the log is fed in pieces.
  char line[BURSTLINEMAX + 1];
  int32_t linelen;
  int32_t linelong;         // the line is longer than BURSTLINEMAX
  int32_t aftercr;          // the last byte fed was CR (an LF after it ends nothing)
  uint8_t present[BURSTDIRFRAMES + 1];  // frame files found, by number
  char chunk[BURSTCHUNK];
  BurstFrame frames[BURSTDIRFRAMES];
};

// Empties d (folder and tables) for a new log.
void burstdirclear(BurstDir* d);
// Takes one log line of n bytes (no line end): a frame line
// "DATA c%05d.bmp Tic=%3d ms ..." or "DATA c%05d.bmp Tic=%7d,%03d ms ..."
// whose number is above the last frame's is listed (1); the header
// "disk free = ..." and blank lines are passed over (0); anything else is
// damaged and counted (-1).
int burstdirline(BurstDir* d, const char* line, int32_t n);
// Feeds n bytes of log text; lines end at CR, LF or CR LF, wherever the
// pieces are cut.  burstdirend takes a last line that has no end.
void burstdirtext(BurstDir* d, const char* text, int32_t n);
void burstdirend(BurstDir* d);
// Parses one frame line; 1 with the number and the Tic, else 0.
int parseburstframe(const char* line, int32_t n, int32_t* number, int64_t* tic);
// Reads the burst folder: finds its log ("c%02d%02d_%02d_%03d.txt"; the
// first in name order when there are several), reads it (at most
// BURSTLOGMAX bytes) and marks which frame files are there.
int readburstdir(const char* folder, BurstDir* d);
// The span of the burst: the time of the last frame listed, 0 for none.
int64_t burstspan(const BurstDir* d);
