// The burst capture engine: plans a burst, makes its folders, takes one frame
// per call and writes the frames kept in memory as numbered BMP files beside
// a burst log.  The capture control (app) decides when each runs.
#pragma once

#include <cstdint>

#include "os/os.h"

#define DISKFRAMEMAX 99999    // frames of a straight-to-disk burst
#define MEMFRAMEMAX 16383     // frames kept in memory (the slots hold 16,384)
#define FRAMEFILEMAX 12579840 // 3 x 2560 x 1638: the most pixel bytes of a frame file
#define FLUSHFRAMES 10        // frames written out per call

// Plans the burst: straight-to-disk flag, planned frames; slot, write
// position and frames written straight to disk cleared.
void burstprep();
// Burst names with the local time t under the program folder home: month
// folder "cap%d%02d", burst folder "d%02d_%02d%02d_%02d_%02d" in it and the
// log "c%02d%02d_%02d_%03d.txt" in that.  0 when a path would not fit n bytes.
int burstpaths(const char* home, const OsTime& t, char* month, char* folder, char* log, int n);
// Makes the burst folders for the time now; 1 with the burst folder and log
// path set, 0 when a folder cannot be made.
int burstnames();
// Takes one frame; 1 when the burst must stop now.
int burststep();
// Writes up to n frames kept in memory; 1 while frames remain, 0 after the
// last (the burst log is closed then).
int burstflush(int32_t n);
// The burst log line of a frame: frame number, milliseconds since the
// previous frame and its local time.  Returns the length (n bytes at most,
// NUL included).
int burstlogline(char* out, int n, int32_t frameno, int32_t ms, const OsTime& t);
// 1 when the frame record passes the file check: "BM" and a file size of the
// 54 header bytes and at most FRAMEFILEMAX bytes of pixels.
int framecheck(const uint8_t* frame);
// Writes a line to the burst log; a line that cannot be written (or has no
// log) is counted, with the system's reason for the first.
void burstlog(const char* line, uint32_t n);
