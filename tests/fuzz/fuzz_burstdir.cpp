// Arbitrary bytes as a burst log: the first byte chooses where the text is
// cut in two pieces; the pieces must read as the whole text does, and what
// is listed must hold together (numbers rising, names of their numbers,
// times from 0 rising by the Tics).
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "capture/burstdir.h"

static BurstDir whole, pieces;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  size_t n = size - 1;
  if (n > 1048576) n = 1048576;
  // Copied without a NUL after it: the reader must stop at the length.
  char* text = (char*)malloc(n ? n : 1);
  memcpy(text, data + 1, n);
  size_t cut = n ? (size_t)data[0] * n / 255 : 0;
  burstdirclear(&whole);
  burstdirtext(&whole, text, (int32_t)n);
  burstdirend(&whole);
  burstdirclear(&pieces);
  burstdirtext(&pieces, text, (int32_t)cut);
  burstdirtext(&pieces, text + cut, (int32_t)(n - cut));
  burstdirend(&pieces);
  free(text);
  if (whole.count != pieces.count || whole.damaged != pieces.damaged || whole.lines != pieces.lines ||
      whole.firstdamaged != pieces.firstdamaged)
    __builtin_trap();
  if (whole.count < 0 || whole.count > BURSTDIRFRAMES || whole.damaged > whole.lines) __builtin_trap();
  if ((whole.damaged == 0) != (whole.firstdamaged == 0)) __builtin_trap();
  for (int32_t i = 0; i < whole.count; i++) {
    const BurstFrame& f = whole.frames[i];
    char name[BURSTNAMESIZE];
    snprintf(name, sizeof name, "c%05d.bmp", (int)f.number);
    if (strcmp(name, f.name) != 0 || f.number < 1 || f.number > BURSTDIRFRAMES) __builtin_trap();
    if (memcmp(&f, &pieces.frames[i], sizeof f) != 0) __builtin_trap();
    if (i == 0 ? f.time != 0
               : (f.number <= whole.frames[i - 1].number ||
                  f.time != whole.frames[i - 1].time + (f.tic > 0 ? f.tic : 0)))
      __builtin_trap();
  }
  return 0;
}
