// Reading BMP files back: the captures KESTO wrote (24-bit) and other
// uncompressed 24- or 32-bit ones, bounded in size.  Holds no non-ASCII
// literal.
#pragma once

#include <cstdint>

#include "os/os.h"

#define BMPREADMAX 16777216u  // the most pixel bytes read from one file

// What the headers of a BMP file say.
struct BmpInfo {
  int32_t width, height;  // both positive
  int32_t bytespp;        // 3 or 4
  int topdown;            // rows top first (a negative height in the file)
  uint32_t offset;        // of the pixel rows
  uint32_t stride;        // bytes from one row to the next
  uint32_t size;          // stride x height
};

// Reads and checks the headers of the BMP at path: "BM", an information
// header of at least 40 bytes, 24 or 32 bits a pixel, no compression, at
// most APNG-able sides and BMPREADMAX pixel bytes, all inside the file.  1,
// or 0 with *error: the system's reason, or OS_ERROR_BAD_FORMAT for a file
// that is no such BMP.
int bmpinfo(const char* path, BmpInfo* info, uint32_t* error);
// Reads the headers and the pixel rows of the BMP at path into buf (size
// bytes).  1, or 0 with *error as above (a file too large for buf is
// OS_ERROR_BAD_FORMAT too).
int bmpread(const char* path, BmpInfo* info, uint8_t* buf, uint32_t size, uint32_t* error);
