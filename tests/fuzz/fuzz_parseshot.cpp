// Arbitrary bytes as appended golf.txt text, parsed by the live shot parse in
// two stretches as the watcher would: the first byte picks the split.
#include <cstdint>
#include <cstring>

#include "kesto.h"
#include "fuzzguard.h"

#define BASE 100000  // the stretch starts inside the buffer, not at its edge

static void stretch(const uint8_t* data, int32_t from, int32_t to) {
  memcpy(gkesto.livebuf + from, data, (size_t)(to - from));
  gkesto.livebuf[to] = 0;
  FuzzGuard g;
  g.arm(gkesto.livebuf, LOGBUFSIZE, from, to);
  int32_t status = parseshot(gkesto.shot, gkesto.livebuf, from, to);
  int32_t end = shotstretchend(gkesto.livebuf, from, to);
  g.disarm();
  if (end < from || end > to) __builtin_trap();
  if (status < 0 || status > 1000) __builtin_trap();
  if (gkesto.shot.player < 0 || gkesto.shot.player > 15) __builtin_trap();
  if (gkesto.shot.power < 0 || gkesto.shot.power > 255) __builtin_trap();
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  size_t n = size - 1;
  if (n > (size_t)(LOGBUFSIZE - 1 - BASE)) n = LOGBUFSIZE - 1 - BASE;
  int32_t split = (int32_t)(n * data[0] / 255);
  const uint8_t* text = data + 1;
  stretch(text, BASE, BASE + split);
  stretch(text + split, BASE + split, BASE + (int32_t)n);
  return 0;
}
