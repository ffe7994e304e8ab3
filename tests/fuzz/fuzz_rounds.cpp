// Arbitrary bytes as a log read twice into a round history: the second
// reading finds every game again and adds none; the games come out in date
// order; a game's pars are its own course's or none; each hole's putts lie
// within its shots; the stretches of zero
// bytes told are runs of zeros, in order, within the log; the texts decode
// to UTF-8 and CSV fields within their buffers.
#include <cstdint>
#include <cstring>

#include "kesto.h"
#include "report/cp932.h"
#include "report/rounds.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static bool init = false;
  if (!init) {
    initcourses();
    init = true;
  }
  static RoundHistory h;
  roundsfree(h);
  uint32_t n = size > (size_t)(LOGBUFSIZE - 1) ? LOGBUFSIZE - 1 : (uint32_t)size;
  if (roundsaddtext(h, "a", (const char*)data, n) != ROUNDLOG_READ) __builtin_trap();
  int32_t first = h.count;
  if (roundsaddtext(h, "b", (const char*)data, n) != ROUNDLOG_READ) __builtin_trap();
  if (h.count != first || h.logs[1].added != 0 || h.logs[1].games != h.logs[0].games) __builtin_trap();
  const RoundLog& l = h.logs[0];
  uint32_t after = 0;
  for (int32_t k = 0; k < l.zeroruns && k < ZEROSPANS; k++) {
    const ZeroSpan& z = l.zero[k];
    if (z.length == 0 || z.offset < after || z.offset + z.length > n || (z.offset > 0 && data[z.offset - 1] == 0) ||
        (z.offset + z.length < n && data[z.offset + z.length] == 0) || data[z.offset] != 0)
      __builtin_trap();
    after = z.offset + z.length;
  }
  if ((l.zeroruns == 0) != (memchr(data, 0, n) == nullptr)) __builtin_trap();
  roundssort(h);
  static const int8_t kzero[18] = {};
  char u[3 * 104 + 1], q[2 * sizeof u + 3];
  for (int32_t i = 0; i < h.count; i++) {
    const RoundGame& g = h.games[i];
    if (i > 0) {
      const RoundGame& p = h.games[i - 1];
      if (p.date != 0 && (g.date == 0 || g.date < p.date || (g.date == p.date && g.time < p.time))) __builtin_trap();
    }
    if (g.players < 0 || g.players > 4 || g.pointbattle < 0 || g.pointbattle > 1) __builtin_trap();
    if (g.courseindex != findcourse(g.course, gkesto.courses) && g.course[0]) __builtin_trap();
    if (memcmp(g.par, g.courseindex >= 0 ? gkesto.courses[g.courseindex].par : kzero, 18) != 0) __builtin_trap();
    for (int32_t k = 1; k <= g.players; k++) {
      RoundRow r = roundrow(g, k);
      if (r.holes < 0 || r.holes > 18 || (r.full && r.par <= 0)) __builtin_trap();
      // A hole's putts are among its shots, the first of them within them,
      // and a putt holed only where there is one.
      for (int32_t j = 0; j < 18; j++) {
        int32_t n = g.shots[k - 1][j], pt = g.putts[k - 1][j], first = g.firstputt[k - 1][j];
        if (pt > n || (pt > 0) != (first > 0) || first > n || (g.holedputt[k - 1][j] && pt == 0)) __builtin_trap();
      }
      sjistoutf8(u, sizeof u, g.name[k - 1], sizeof g.name[0]);
      csvfield(q, sizeof q, u);
    }
    int32_t len = sjistoutf8(u, sizeof u, g.course, sizeof g.course);
    if (len != (int32_t)strlen(u)) __builtin_trap();
    csvfield(q, sizeof q, u);
    // A field cut short still ends with its closing quote.
    csvfield(q, 9, u);
    if (q[0] == '"' && q[strlen(q) - 1] != '"') __builtin_trap();
  }
  return 0;
}
