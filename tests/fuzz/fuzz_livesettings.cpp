// Arbitrary bytes as live.txt: read with their length and no NUL after them
// (the reader must stop at the length), then written and read back.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "config/livesettings.h"

#define LIVEBOUND 4096

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  size_t n = size > LIVEBOUND ? LIVEBOUND : size;
  char* text = (char*)malloc(n ? n : 1);
  memcpy(text, data, n);
  LiveSettings s;
  int32_t first = -1;
  int32_t bad = parselivesettings(text, (int32_t)n, s, &first);
  free(text);
  if (bad < 0 || (bad == 0) != (first == 0) || first < 0) __builtin_trap();
  if ((s.files != 0 && s.files != 1) || (s.server != 0 && s.server != 1)) __builtin_trap();
  if (s.port < 1 || s.port > 65535) __builtin_trap();
  // What is written reads back the same, whole.
  char out[128];
  int32_t len = formatlivesettings(s, out, (int32_t)sizeof out);
  if (len <= 0) __builtin_trap();
  LiveSettings r;
  if (parselivesettings(out, len, r, nullptr) != 0) __builtin_trap();
  if (r.files != s.files || r.server != s.server || r.port != s.port) __builtin_trap();
  return 0;
}
