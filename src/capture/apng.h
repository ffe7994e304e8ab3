// The animated PNG of a burst: an encoder that takes the frames one at a
// time, as BMP rows, and writes each out as it comes.  Frames after the
// first store only the rectangle that changed since the frame before
// (dispose none, blend source), so a mostly still screen costs little.
// Memory: the previous frame (3 bytes a pixel), a few rows, one output
// chunk and the compressor's state.
#pragma once

#include <cstdint>

#include <zlib.h>

#include "config/textfile.h"
#include "os/os.h"

#define APNGCHUNK 65536          // compressed bytes per IDAT / fdAT chunk at most
#define APNGMAXSIDE 32768        // widest and highest frame taken

// A frame's pixels as a BMP holds them: rows of 3 (blue, green, red) or 4
// (blue, green, red, unused) bytes a pixel, stride bytes apart, the bottom
// row first unless topdown is set.
struct ApngImage {
  const uint8_t* px;
  int32_t width, height;
  uint32_t stride;
  int32_t bytespp;  // 3 or 4
  int topdown;
};

// A delay as the frame control chunk holds it: num / den seconds.
struct ApngDelay {
  uint16_t num, den;
};
// A delay of ms milliseconds: ms / 1000 while it fits 16 bits, else in the
// finest unit that holds it (hundredths, tenths, seconds), rounded to the
// nearest; at most 65,535 s.
ApngDelay apngdelay(uint32_t ms);

// One animated PNG being written.
struct Apng {
  Replacement r;          // the temporary, moved over the file when whole
  char path[REPLACETMPSIZE];  // the file
  z_stream z;
  int zready;             // z holds a compressor
  int32_t width, height;
  uint32_t frames;        // frames the file announces
  uint32_t added;         // frames written so far
  uint32_t seq;           // the next sequence number
  OsHandle prevmem;       // the previous frame: RGB rows, top row first
  uint8_t* prev;
  OsHandle rowmem;        // the row being converted, then the filtered rows
  uint8_t* rows;
  int failed;
  uint32_t error;         // the system's reason of the first failure
  uint32_t outbytes;      // bytes written to the file so far
  uint8_t chunk[12 + APNGCHUNK + 4];  // length, type, sequence number, data, CRC
  int32_t rect[4];        // the last frame's stored rectangle: x, y, width, height
};

// Starts the file at path (written as path + ".tmp" until it is whole) for
// frames of width x height, and writes its header chunks.  1, or 0 with
// a->error (the temporary is then gone).
int apngbegin(Apng* a, const char* path, int32_t width, int32_t height, uint32_t frames);
// Adds the next frame, shown for delay; its size must be the file's.  1, or
// 0 with a->error set (a->failed: call apngend to drop the file).
int apngframe(Apng* a, const ApngImage& img, ApngDelay delay);
// Ends the file: with ok and every announced frame added, its end chunk is
// written and the temporary takes the file's place (1).  Otherwise the
// temporary is removed and any file of that name is left as it was (0, with
// a->error).  Frees what apngbegin took.
int apngend(Apng* a, int ok);

// The bounding rectangle of the pixels of img that differ from rgb (the
// same size, RGB rows top first), as x, y, width, height; a frame with no
// change gives the 1 x 1 rectangle at the top left.  When copy is set, the
// changed rows are copied into rgb, which then holds img.  row holds
// img.width * 3 bytes.
void apngchanged(const ApngImage& img, uint8_t* rgb, uint8_t* row, int copy, int32_t rect[4]);
