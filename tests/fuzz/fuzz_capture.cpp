// Arbitrary clipboard image headers and game window rectangles through the
// screenshot's size check, header and crop arithmetic.  The oracle: an image
// taken fits the buffer, its headers say what its rows hold, and a cut reads
// only rows of the image (the image buffer is exactly its size, so
// AddressSanitizer sees any read past it) and takes the right pixels.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "capture/capture.h"

#define BUFSIZE 16777216u  // as the program's image buffers
#define COPYMAX (1u << 20) // larger images are checked by their arithmetic only

static int32_t take32(const uint8_t*& p, const uint8_t* end) {
  uint32_t v = 0;
  for (int i = 0; i < 4; i++) v |= (uint32_t)(p < end ? *p++ : 0) << (8 * i);
  return (int32_t)v;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const uint8_t* p = data;
  const uint8_t* end = data + size;
  OsBitmapHeader sys;
  memset(&sys, 0, sizeof sys);
  sys.size = 40;
  sys.width = take32(p, end);
  sys.height = take32(p, end);
  uint32_t misc = (uint32_t)take32(p, end);
  sys.planes = (uint16_t)misc;
  sys.bitcount = (uint16_t)(misc >> 16);
  sys.compression = (uint32_t)take32(p, end);
  sys.sizeimage = (uint32_t)take32(p, end);
  int32_t r[4];
  for (int i = 0; i < 4; i++) r[i] = take32(p, end);

  int32_t W, H;
  if (!clipimagesize(sys, BUFSIZE, &W, &H)) {
    if (W != 0 || H != 0) __builtin_trap();
    return 0;
  }
  uint64_t isize = imagesize(W, H);
  if (W <= 0 || H <= 0 || isize > BUFSIZE || isize < (uint64_t)W * 3 * H) __builtin_trap();
  if (H != (sys.height < 0 ? -(int64_t)sys.height : sys.height)) __builtin_trap();
  OsBitmapHeader full = rgbheader(sys, W, H);
  uint8_t head[BMPHEADERS];
  putfileheader(head, full.sizeimage);
  putinfoheader(head + BMPFILEHEADER, full);
  if (get32(head + 2) != (uint32_t)isize + BMPHEADERS || get32(head + 10) != BMPHEADERS) __builtin_trap();
  if ((int32_t)get32(head + 18) != W || (int32_t)get32(head + 22) != H || get16(head + 28) != 24 ||
      get32(head + 34) != (uint32_t)isize)
    __builtin_trap();
  if (rowstride(W) % 4 != 0 || (uint64_t)rowstride(W) * H != isize) __builtin_trap();

  if (!cropinside(W, H, r)) return 0;
  int32_t cw = r[2] - r[0], ch = r[3] - r[1];
  if (cw <= 0 || ch <= 0 || cw >= W || ch > H) __builtin_trap();
  uint64_t csize = imagesize(cw, ch);
  if (csize > isize) __builtin_trap();
  if (isize > COPYMAX) return 0;
  uint8_t* full8 = (uint8_t*)malloc(isize ? isize : 1);
  uint8_t* crop = (uint8_t*)malloc(csize ? csize : 1);
  uint32_t fstride = rowstride(W);
  // Each pixel's blue byte holds its column, its green byte its row from the top.
  for (int32_t row = 0; row < H; row++)
    for (int32_t x = 0; x < W; x++) {
      uint8_t* px = full8 + (size_t)(H - 1 - row) * fstride + (size_t)x * 3;
      px[0] = (uint8_t)x;
      px[1] = (uint8_t)row;
      px[2] = 0x5A;
    }
  croprows(full8, W, H, r, crop);
  uint32_t cstride = rowstride(cw);
  // The cut's top-left and bottom-right pixels are the rectangle's.
  const uint8_t* tl = crop + (size_t)(ch - 1) * cstride;
  const uint8_t* br = crop + (size_t)(cw - 1) * 3;
  if (tl[0] != (uint8_t)r[0] || tl[1] != (uint8_t)r[1] || tl[2] != 0x5A) __builtin_trap();
  if (br[0] != (uint8_t)(r[2] - 1) || br[1] != (uint8_t)(r[3] - 1)) __builtin_trap();
  for (uint32_t k = (uint32_t)cw * 3; k < cstride; k++)
    if (crop[k] != 0) __builtin_trap();
  free(full8);
  free(crop);
  return 0;
}
