// The animated PNG of a burst folder: burst.png beside the frames, made a
// few frames at a time so that a caller with a window never stalls.  Frame
// k is shown until the next frame of the folder came (the Tic of frame k+1,
// with the Tics of frames missing between them), the last frame for the
// median Tic of the burst.  Frames whose size differs from the frame before
// begin a new file: burst.png, burst_2.png, burst_3.png, ...  Holds no
// non-ASCII literal.
#pragma once

#include <cstdint>

#include "capture/apng.h"
#include "capture/burstdir.h"

#define APNGNAME "burst.png"
#define APNGNAMESIZE 24          // "burst_99999.png" and its NUL, with room
#define APNGCHECKS 64            // frame headers checked per frame of work

// What a step answers.
#define APNGJOB_MORE 1    // work remains
#define APNGJOB_DONE 0    // every file is whole
#define APNGJOB_FAILED (-1)  // stopped: failure says why

// Why a job stopped.
#define APNGFAIL_NONE 0
#define APNGFAIL_NOLOG 1    // the folder holds no burst log
#define APNGFAIL_LOG 2      // the log could not be read (error)
#define APNGFAIL_NOFRAME 3  // no frame of the log could be read as a picture
#define APNGFAIL_FRAME 4    // a frame file could not be read (file, error)
#define APNGFAIL_WRITE 5    // an animated PNG could not be written (file, error)
#define APNGFAIL_MEMORY 6   // no memory for a frame

struct ApngJob {
  int32_t active;         // a job is under way
  int32_t phase;          // checking the frames' headers, then writing
  int32_t next;           // the frame of the log looked at next
  int32_t usable;         // frames that can be read as pictures
  int32_t written;        // of them, frames in a file
  int32_t skipped;        // frames listed but missing or unreadable
  int32_t files;          // files begun
  int32_t done;           // files whole
  int64_t median;         // the median Tic, the last frame's delay
  int32_t fail;           // APNGFAIL_...
  uint32_t error;         // the system's reason
  char file[PATHSIZE + 64];             // the file of the failure (frame or PNG)
  char first[APNGNAMESIZE];             // the first file's name
  char last[APNGNAMESIZE];              // the last whole file's name
  OsHandle bufmem;        // the pixels of one frame
  uint8_t* buf;
  uint32_t bufsize;
  int32_t runend;         // the index after the last frame of the file being written
};

// The job's state, the folder's log and the frames' sizes: one job at a time.
extern ApngJob gapngjob;
extern BurstDir gapngdir;

// The name of the n-th file (from 1): "burst.png", "burst_2.png", ...
void apngfilename(int32_t n, char* out, int size);
// Starts the job for a folder: reads its burst log.  APNGJOB_MORE, or
// APNGJOB_FAILED with the reason in gapngjob.
int apngjobbegin(const char* folder);
// Does up to n frames of work (a frame written, or APNGCHECKS frame headers
// checked).  APNGJOB_MORE while work remains, APNGJOB_DONE when every file
// is whole, APNGJOB_FAILED when it stopped (the file being written is
// removed, the files whole before stay).  The job is then over.
int apngjobstep(int32_t n);
// Stops a job under way: the file being written is removed.
void apngjobcancel();
// The median of the Tics of the frames after the first (the mean of the two
// middle ones, rounded down, for an even count); the first frame's Tic when
// it is the only one.  Uses scratch, d->count values.
int64_t burstmediantic(const BurstDir* d, int64_t* scratch);
