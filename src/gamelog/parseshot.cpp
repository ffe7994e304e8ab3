// The live shot parse: reads the stretch of golf.txt that the watcher has just
// appended to the live buffer and keeps the last shot in a shot record.
// Holds no non-ASCII literal: the fuzz build compiles it with clang.
#include <cstring>

#include "gamelog/gamelog.h"
#include "gamelog/logtags.h"

// A stretch is read for at most this many lines.
#define SHOTPARSELINES 1000

// One line of the live buffer at src, of which avail bytes may be read, as
// getloglinen reads it; but a zero byte there does not end the text: it is
// damage the game left in golf.txt.  The line then ends at the zero byte,
// the zero bytes are consumed with it and *damaged is set, so the text after
// them is read on as lines of their own.  A damaged line carries nothing.
static int32_t liveline(char* line, const char* src, int32_t avail, bool* damaged) {
  int32_t n = getloglinen(line, src, avail);
  *damaged = false;
  bool ended = n > 0 && (src[n - 1] == '\r' || src[n - 1] == '\n');
  if (n < avail && n < LINESIZE - 1 && !ended && src[n] == 0) {
    while (n < avail && src[n] == 0) n++;
    *damaged = true;
  }
  return n;
}

int32_t readshotdata(uint8_t* rec, const char* buf, int32_t pos, int32_t end, bool* damaged) {
  char line[LINESIZE];
  *damaged = false;
  for (int32_t r = 0; r < SHOTLINES; r++) {
    // Past the end of the text every line reads as empty and consumes nothing.
    bool bad;
    int32_t n = liveline(line, buf + pos, end - pos, &bad);
    if (bad) *damaged = true;
    pos += n;
    int32_t len = (int32_t)strlen(line);
    for (int32_t j = 0; j < SHOTNUMS; j++) rec[SHOTNUMS * r + j] = (uint8_t)linehex(line, len, 3 * j);
  }
  return pos;
}

float shotremain(const uint8_t* rec) {
  // Four bytes at an odd offset, least significant first.
  uint32_t bits = (uint32_t)rec[106] | (uint32_t)rec[107] << 8 | (uint32_t)rec[108] << 16 |
                  (uint32_t)rec[109] << 24;
  float f;
  memcpy(&f, &bits, sizeof f);
  return f;
}

int32_t shotclub(const uint8_t* rec) {
  int32_t club = rec[40];
  if (club == 30) {
    switch (rec[157]) {
      case 1: return 60;
      case 2: return 10;
      case 3: return 20;
    }
  }
  return club;
}

static int32_t parsestretch(LiveShot& s, StretchShots* out, const char* buf, int32_t from, int32_t to) {
  if (out) out->count = 0;
  if (from < 0) from = 0;
  if (to > LOGBUFSIZE - 1) to = LOGBUFSIZE - 1;
  if (from >= to) return 0;
  char line[LINESIZE];
  int32_t status = 0;
  int32_t lines = 0;
  int32_t pos = from;
  for (;;) {
    // Never read at or beyond to, whatever the buffer holds there.
    bool damaged;
    int32_t n = liveline(line, buf + pos, to - pos, &damaged);
    pos += n;
    if (n == 0) return status;
    lines++;
    if (lines >= SHOTPARSELINES || (!damaged && n == LINESIZE - 1)) return lines;
    if (n > 2 && !damaged) {
      if (ISTAG(line, "*Hole ")) {
        s.hole = linedec(line, (int32_t)strlen(line), 6);
      } else if (ISTAG(line, "*Player")) {
        s.player = (unsigned char)line[7] & 15;
        s.club = 0;
        s.power = 0;
        status |= 1;
      } else if (ISTAG(line, "ShotData:")) {
        // A record with a damaged line is passed over whole: the last shot
        // stays on show and the next record is read as usual.
        uint8_t rec[SHOTSIZE];
        pos = readshotdata(rec, buf, pos, to, &damaged);
        if (!damaged) {
          memcpy(s.shot, rec, SHOTSIZE);
          s.remain = shotremain(s.shot);
          s.hole = s.shot[12] + 1;
          s.club = shotclub(s.shot);
          s.power = s.shot[158];
          status = 3;
          if (out) out->shot[out->count++ % STRETCHSHOTS] = s;
        }
      }
    }
    if (pos >= to) return status;
  }
}

int32_t parseshot(LiveShot& s, const char* buf, int32_t from, int32_t to) {
  return parsestretch(s, nullptr, buf, from, to);
}

int32_t parseshots(LiveShot& s, StretchShots& rec, const char* buf, int32_t from, int32_t to) {
  return parsestretch(s, &rec, buf, from, to);
}

int32_t shotstretchend(const char* buf, int32_t from, int32_t to) {
  if (from < 0) from = 0;
  if (to > LOGBUFSIZE - 1) to = LOGBUFSIZE - 1;
  if (from >= to) return from;
  // A last line without its line end is still being written.
  int32_t end = to;
  while (end > from && buf[end - 1] != '\r' && buf[end - 1] != '\n') end--;
  // So is a ShotData record with fewer than its ten lines; its lines are
  // taken as they come, as the parse takes them, never as tags.
  // A zero byte is damage, not the end of the text: its line ends there, as
  // the parse reads it, so a damaged record is complete with its ten lines
  // and what follows it is read on.
  char line[LINESIZE];
  int32_t pos = from;
  while (pos < end) {
    int32_t start = pos;
    bool damaged;
    int32_t n = liveline(line, buf + pos, end - pos, &damaged);
    if (n == 0) break;
    pos += n;
    if (n > 2 && !damaged && ISTAG(line, "ShotData:")) {
      int32_t k = 0;
      for (; k < SHOTLINES && pos < end; k++) pos += liveline(line, buf + pos, end - pos, &damaged);
      if (k < SHOTLINES) return start;
    }
  }
  return end;
}
