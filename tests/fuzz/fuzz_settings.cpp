// Arbitrary bytes as loginit.txt, read as readsettings would: at most 4096
// bytes, in a buffer of exactly that text and its NUL.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "kesto.h"

#define INIBOUND 4096

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  size_t n = size > INIBOUND ? INIBOUND : size;
  char* text = (char*)malloc(n + 1);
  memcpy(text, data, n);
  text[n] = 0;
  memset(&gkesto.set, 0, sizeof gkesto.set);
  parsesettings(text, (int32_t)n);
  free(text);
  const Settings& s = gkesto.set;
  if (!memchr(s.homeread, 0, sizeof s.homeread) || !memchr(s.dgpath, 0, sizeof s.dgpath) ||
      !memchr(s.gamelog, 0, sizeof s.gamelog) || !memchr(s.gamefolder, 0, sizeof s.gamefolder))
    __builtin_trap();
  if (s.work.selectcapkey < 0 || s.work.selectcapkey >= CAPKEYROWS) __builtin_trap();
  if (s.interval < 0 || s.interval >= INTERVALROWS) __builtin_trap();
  return 0;
}
