// Arbitrary bytes as a whole log in the play-log buffer, cut into games the
// way the play-log dialog does it.
#include <cstdint>
#include <cstring>

#include "kesto.h"
#include "fuzzguard.h"

static bool terminated(const char* s, size_t n) { return memchr(s, 0, n) != nullptr; }

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static bool init = false;
  if (!init) {
    initcourses();
    init = true;
  }
  int32_t n = size > (size_t)(LOGBUFSIZE - 1) ? LOGBUFSIZE - 1 : (int32_t)size;
  memcpy(gkesto.playlog, data, (size_t)n);
  gkesto.playlog[n] = 0;
  GameRecord& g = gkesto.game;
  g.loglen = n;
  FuzzGuard guard;
  guard.arm(gkesto.playlog, LOGBUFSIZE, 0, n);
  g.pointbattle = 0;
  parsegamein(gkesto.game, gkesto.playlog, 0, gkesto.courses);
  // Every call with text left must move the read position on.
  for (int32_t calls = 0; g.readpos < g.loglen; calls++) {
    int32_t before = g.readpos;
    parsegamein(gkesto.game, gkesto.playlog, 1, gkesto.courses);
    if (g.readpos <= before || calls > n) __builtin_trap();
  }
  guard.disarm();
  if (g.readpos != g.loglen) __builtin_trap();
  if (g.players < 0 || g.players > 4) __builtin_trap();
  for (int i = 0; i < 4; i++)
    if (!terminated(g.name[i], sizeof g.name[i])) __builtin_trap();
  for (int i = 0; i < 6; i++)
    if (!terminated(g.stage[i], sizeof g.stage[i])) __builtin_trap();
  if (!terminated(g.course, sizeof g.course) || !terminated(g.link, sizeof g.link) ||
      !terminated(g.start, sizeof g.start))
    __builtin_trap();
  return 0;
}
