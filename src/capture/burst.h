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
// Takes one frame; 1 when the burst must stop now.  A grab that copies
// nothing is no frame: it is counted and the burst goes on.  Straight to disk
// the frame is written at once; one that cannot be written stays in memory
// and the burst takes no more.
int burststep();

// What burstflush answers.
#define FLUSHDONE 0     // no frame left: the burst log is flushed and closed
#define FLUSHMORE 1     // frames remain
#define FLUSHSTOPPED 2  // a write failed: that frame and every later one wait in memory
// Writes up to n frames kept in memory, in order.  A frame leaves memory only
// once its file is whole on the disk, and its log line is written then.  A
// frame failing the file check can never be a file: it alone is skipped and
// freed (counted, with its log line).  A write that fails stops the
// write-out (FLUSHSTOPPED): the next call starts again with that frame.
int burstflush(int32_t n);
// Frees the frames still in memory unwritten (the user chose to discard
// them, or the session ends with the disk still failing), counts them and
// closes the burst log.
void burstdiscard();
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
