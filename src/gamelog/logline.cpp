// The line reader shared by every text reader, the bounded number readers of
// log lines and the Shift-JIS field copy.  Holds no non-ASCII literal: the
// fuzz build compiles it with clang.
#include <climits>
#include <cstdint>

#include "gamelog/gamelog.h"

int32_t getloglinesz(char* dst, int32_t size, const char* src, int32_t avail) {
  int32_t max = size - 1;
  if (avail < max) max = avail;
  if (max < 0) max = 0;
  int32_t i = 0;
  for (; i < max; i++) {
    char c = src[i];
    if (c == 0) break;  // end of the text: deliver what was copied
    if (c == '\r' || c == '\n') {
      dst[i] = 0;
      i++;
      // CR LF, lone CR, lone LF and LF LF are each one line end.
      if (i < avail && src[i] == '\n') i++;
      return i;
    }
    dst[i] = c;
  }
  dst[i] = 0;
  return i;
}

int32_t getloglinen(char* dst, const char* src, int32_t avail) { return getloglinesz(dst, LINESIZE, src, avail); }

int32_t getlogline(char* dst, const char* src) { return getloglinen(dst, src, INT32_MAX); }

int32_t sjiscopyn(char* dst, int32_t n, const char* src, int32_t len) {
  if (n <= 0) return 0;
  const unsigned char* s = (const unsigned char*)src;
  int32_t room = n - 1;
  int32_t i = 0;
  while (i < len && s[i]) {
    // A double-byte character is copied whole or not at all; a lead byte
    // whose second byte is missing (the text ends after it) is never copied;
    // a lead byte before a byte that is no trail byte is a byte of its own.
    if (sjiscutlead(src + i, len - i)) break;
    int32_t step = sjischar(src + i, len - i);
    if (i + step > room) break;
    for (int32_t j = 0; j < step; j++) dst[i + j] = (char)s[i + j];
    i += step;
  }
  dst[i] = 0;
  return i;
}

int32_t sjiscopy(char* dst, int32_t n, const char* src) { return sjiscopyn(dst, n, src, INT32_MAX); }

static inline bool isblank_(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

// Skips the blanks and the sign before a number, as scanf does; true for "-".
static bool skipsign(const char* line, int32_t len, int32_t* at) {
  int32_t i = *at;
  while (i < len && isblank_(line[i])) i++;
  bool neg = false;
  if (i < len && (line[i] == '+' || line[i] == '-')) {
    neg = line[i] == '-';
    i++;
  }
  *at = i;
  return neg;
}

int32_t linedec(const char* line, int32_t len, int32_t at) {
  if (at < 0) return 0;
  int32_t i = at;
  bool neg = skipsign(line, len, &i);
  int64_t v = 0;
  while (i < len && line[i] >= '0' && line[i] <= '9') {
    if (v <= (int64_t)INT32_MAX + 1) v = v * 10 + (line[i] - '0');
    i++;
  }
  if (neg) v = -v;
  if (v > INT32_MAX) v = INT32_MAX;
  if (v < INT32_MIN) v = INT32_MIN;
  return (int32_t)v;
}

static inline int hexval(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

uint32_t linehex(const char* line, int32_t len, int32_t at) {
  if (at < 0) return 0;
  int32_t i = at;
  bool neg = skipsign(line, len, &i);
  if (i + 2 < len && line[i] == '0' && (line[i + 1] == 'x' || line[i + 1] == 'X') && hexval(line[i + 2]) >= 0)
    i += 2;
  uint32_t v = 0;
  int d;
  while (i < len && (d = hexval(line[i])) >= 0) {
    v = (v << 4) | (uint32_t)d;
    i++;
  }
  return neg ? 0u - v : v;
}
