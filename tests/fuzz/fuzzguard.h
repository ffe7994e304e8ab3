// Guards for the fuzz targets over the fixed gkesto buffers: the bytes around
// the stretch a parse may read are poisoned, so AddressSanitizer reports any
// read before its start or beyond its terminating zero byte.
#pragma once

#include <sanitizer/asan_interface.h>

#include <cstdint>

#define FUZZGUARD 65536  // bytes poisoned on each side of a stretch

struct FuzzGuard {
  char* lo = nullptr;
  size_t lolen = 0;
  char* hi = nullptr;
  size_t hilen = 0;

  // buf holds size bytes; the readable stretch is [from, end], end the zero byte.
  void arm(char* buf, int32_t size, int32_t from, int32_t end) {
    int32_t l = from > FUZZGUARD ? from - FUZZGUARD : 0;
    lo = buf + l;
    lolen = (size_t)(from - l);
    int32_t h = end + 1;
    int32_t top = h + FUZZGUARD < size ? h + FUZZGUARD : size;
    hi = buf + h;
    hilen = top > h ? (size_t)(top - h) : 0;
    if (lolen) ASAN_POISON_MEMORY_REGION(lo, lolen);
    if (hilen) ASAN_POISON_MEMORY_REGION(hi, hilen);
  }
  void disarm() {
    if (lolen) ASAN_UNPOISON_MEMORY_REGION(lo, lolen);
    if (hilen) ASAN_UNPOISON_MEMORY_REGION(hi, hilen);
    lolen = hilen = 0;
  }
};
