// Arbitrary bytes as a frame file: the BMP reader must refuse it or describe
// rows that lie inside the file and the buffer; a frame it reads is encoded
// twice into an animated PNG, which must be whole, and whose second frame,
// the same picture, stores the 1 x 1 rectangle of no change.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "capture/apng.h"
#include "capture/bmpfile.h"
#include "fuzzdir.h"

#define FUZZBUF (1u << 20)  // pixel bytes read at most here

static Apng gapng;
static uint8_t gbuf[FUZZBUF];

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static std::string dir = fuzzdir("bmpapng");
  std::string bmp = dir + "/c00001.bmp", png = dir + "/burst.png";
  FILE* f = fopen(bmp.c_str(), "wb");
  if (!f) abort();
  fwrite(data, 1, size, f);
  fclose(f);
  BmpInfo info;
  uint32_t error = 0;
  int ok = bmpinfo(bmp.c_str(), &info, &error);
  if (!ok) {
    if (error == 0) __builtin_trap();
    return 0;
  }
  if (info.width < 1 || info.height < 1 || (info.bytespp != 3 && info.bytespp != 4) ||
      info.stride < (uint32_t)info.width * (uint32_t)info.bytespp ||
      (uint64_t)info.stride * (uint32_t)info.height != info.size || info.size > BMPREADMAX ||
      (uint64_t)info.offset + info.size > size)
    __builtin_trap();
  BmpInfo again;
  int read = bmpread(bmp.c_str(), &again, gbuf, FUZZBUF, &error);
  if (read != (info.size <= FUZZBUF) || memcmp(&again, &info, sizeof info) != 0) __builtin_trap();
  if (!read || memcmp(gbuf, data + info.offset, info.size) != 0) return 0;
  ApngImage img{gbuf, info.width, info.height, info.stride, info.bytespp, info.topdown};
  if (!apngbegin(&gapng, png.c_str(), info.width, info.height, 2)) __builtin_trap();
  if (!apngframe(&gapng, img, apngdelay(33)) || !apngframe(&gapng, img, apngdelay(70000))) __builtin_trap();
  if (gapng.rect[0] != 0 || gapng.rect[1] != 0 || gapng.rect[2] != 1 || gapng.rect[3] != 1) __builtin_trap();
  uint32_t bytes = gapng.outbytes + 12;  // and the end chunk
  if (!apngend(&gapng, 1)) __builtin_trap();
  FILE* p = fopen(png.c_str(), "rb");
  if (!p) __builtin_trap();
  fseek(p, 0, SEEK_END);
  long n = ftell(p);
  fclose(p);
  if (n != (long)bytes) __builtin_trap();
  return 0;
}
