// The whole-game parse: cuts the log in the play-log buffer into games, one
// per call, into a game record; and the course match by keyword.
// Holds no non-ASCII literal: the fuzz build compiles it with clang.
#include <cstring>

#include "config/course.h"
#include "gamelog/gamelog.h"
#include "gamelog/logtags.h"

bool strcontains(const char* text, int32_t n, const char* str) {
  if (!str || n < 0) return false;
  size_t l = strlen(str);
  if (l == 0 || (size_t)n > l) return false;
  if (n == 0) return true;
  for (size_t i = 0; i + (size_t)n <= l; i++) {
    if (str[i] == text[0] && memcmp(str + i, text, (size_t)n) == 0) return true;
  }
  return false;
}

int32_t findcourse(const char* name, const CourseRecord* courses) {
  // Rows in table order; the end row after them is never looked at.
  for (int32_t k = 0; k < COURSES; k++) {
    const char* kw = courses[k].keyword;
    int32_t kl = (int32_t)strnlen(kw, sizeof courses[k].keyword);
    const char* comma = (const char*)memchr(kw, ',', (size_t)kl);
    // A first keyword is compared whole, however long it is.
    int32_t first = comma ? (int32_t)(comma - kw) : kl;
    if (first == 0 || !strcontains(kw, first, name)) continue;
    if (!comma) return k;
    // Two parts: the course name must hold both.
    if (strcontains(comma + 1, kl - first - 1, name)) return k;
  }
  return -1;
}

// The text of a line from byte at, or "" when the line is shorter.
static inline const char* linefrom(const char* line, int32_t len, int32_t at) { return len > at ? line + at : ""; }

int32_t parsegamein(GameRecord& g, const char* buf, int32_t cont, const CourseRecord* courses) {
  int32_t end = g.loglen;
  if (end < 0) end = 0;
  if (end > LOGBUFSIZE - 1) end = LOGBUFSIZE - 1;

  if (!cont) g.readpos = 0;
  g.hole = 0;
  g.players = 0;
  memset(g.stroke, 0, sizeof g.stroke);
  g.start[0] = 0;
  g.ended = 0;
  bool firstseen = false;

  int32_t pos = g.readpos;
  if (pos < 0) pos = 0;
  if (pos >= end) return 0;

  char line[LINESIZE];
  for (;;) {
    int32_t n = getloglinen(line, buf + pos, end - pos);
    pos += n;
    if (n == 0) {
      // A zero byte ends the text: the rest of the log is not read, and the
      // read position moves to its end so that no caller loops on it.
      g.readpos = end;
      return g.hole;
    }
    if (n > 2) {
      if (ISTAG(line, "Player") && line[6] >= '1' && line[6] <= '4' && line[7] == ':') {
        sjiscopy(g.name[line[6] - '1'], sizeof g.name[0], line + 8);
      } else {
        int32_t pb = -1;
        if (ISTAG(line, "** PointBattle Begin **") || ISTAG(line, "** PointBattle Resume **"))
          pb = 1;
        else if (ISTAG(line, "** Stroke Resume **") || ISTAG(line, "** Stroke Begin **"))
          pb = 0;
        if (pb >= 0) {
          // The start text takes the marker's place in the tests below.
          pos += getloglinen(line, buf + pos, end - pos);
          sjiscopy(g.start, sizeof g.start, line);
          g.pointbattle = pb;
        }
        if (ISTAG(line, "** Stroke End **") || ISTAG(line, "** PointBattle End **") ||
            ISTAG(line, "End Program(0)")) {
          g.readpos = pos;
          g.ended = 1;
          return g.hole;
        }
        if (ISTAG(line, "*Club Setting*")) {
          pos += getloglinen(line, buf + pos, end - pos);
          sjiscopy(g.course, sizeof g.course, linefrom(line, (int32_t)strlen(line), 6));
          // The line after the name carries a number nobody uses; it takes the
          // tag line's place in the tests below.
          pos += getloglinen(line, buf + pos, end - pos);
          int32_t k = findcourse(g.course, courses);
          if (k >= 0) {
            const CourseRecord& c = courses[k];
            memcpy(g.par, c.par, sizeof g.par);
            const char* web = c.web ? c.web : "";
            for (int32_t i = 0; i < 3 && *web; i++) web++;  // skip "// "
            sjiscopy(g.link, sizeof g.link, web);
          }
        }
        int32_t len = (int32_t)strlen(line);
        if (ISTAG(line, "*Hole ")) {
          g.hole = linedec(line, len, 6);
          if (!firstseen) {
            g.firsthole = g.hole;
            firstseen = g.hole != 0;
          }
        } else if (ISTAG(line, " Stage")) {
          int32_t slot = ((unsigned char)line[6] & 7) - 1;
          if (slot < 0 || slot > 5) slot = 0;
          sjiscopy(g.stage[slot], sizeof g.stage[0], linefrom(line, len, 8));
        } else if (ISTAG(line, "*Player")) {
          int32_t p = (unsigned char)line[7] & 15;
          if (p >= 1 && p <= 4) {
            g.player = p;
            // The stroke count is the two characters at bytes 9 and 10.
            if (g.hole >= 1 && g.hole <= 18) g.stroke[p - 1][g.hole - 1] = (int8_t)linedec(line, len < 11 ? len : 11, 9);
            if (p > g.players) g.players = p;
          }
        } else if (ISTAG(line, "ShotData:")) {
          for (int32_t r = 0; r < SHOTLINES; r++) pos += getloglinen(line, buf + pos, end - pos);
        }
      }
    }
    if (pos >= end) {
      g.readpos = end;
      return 0;
    }
  }
}
