// Shift-JIS to UTF-8 with the generated code page 932 table.
#include "report/cp932.h"

#include <cstring>

#include "gamelog/gamelog.h"

// The UTF-8 form of u, at most 3 bytes; 0 when it does not fit in room.
static int32_t utf8(char* d, int32_t room, uint32_t u) {
  if (u < 0x80) {
    if (room < 1) return 0;
    d[0] = (char)u;
    return 1;
  }
  if (u < 0x800) {
    if (room < 2) return 0;
    d[0] = (char)(0xC0 | (u >> 6));
    d[1] = (char)(0x80 | (u & 0x3F));
    return 2;
  }
  if (room < 3) return 0;
  d[0] = (char)(0xE0 | (u >> 12));
  d[1] = (char)(0x80 | ((u >> 6) & 0x3F));
  d[2] = (char)(0x80 | (u & 0x3F));
  return 3;
}

int32_t sjistoutf8(char* dst, int32_t n, const char* src, int32_t len) {
  if (n <= 0) return 0;
  const unsigned char* s = (const unsigned char*)src;
  int32_t out = 0;
  for (int32_t i = 0; i < len && s[i];) {
    uint32_t u;
    int32_t step = 1;
    unsigned char c = s[i];
    if (sjislead(c)) {
      unsigned char t = i + 1 < len ? s[i + 1] : 0;
      if (t >= 0x40 && t <= 0xFC && t != 0x7F) {
        int32_t row = c <= 0x9F ? c - 0x81 : c - 0xE0 + 31;
        u = kcp932double[row * CP932TRAILS + (t - 0x40)];
        if (u == 0) u = 0xFFFD;
        step = 2;
      } else {
        u = 0xFFFD;  // a lead byte without its trail byte
      }
    } else {
      u = kcp932single[c];
    }
    int32_t w = utf8(dst + out, n - 1 - out, u);
    if (w == 0) break;
    out += w;
    i += step;
  }
  dst[out] = 0;
  return out;
}

int32_t csvfield(char* dst, int32_t n, const char* s) {
  if (n <= 0) return 0;
  bool quote = strpbrk(s, ",\"\r\n") != nullptr;
  int32_t len = 0, room = n - 1;
  if (quote) {
    if (room < 2) {
      dst[0] = 0;
      return 0;
    }
    dst[len++] = '"';
    room--;  // the closing quote
  }
  for (const unsigned char* p = (const unsigned char*)s; *p;) {
    // One UTF-8 character at a time, never cut.
    int32_t cl = *p < 0x80 ? 1 : *p >= 0xF0 ? 4 : *p >= 0xE0 ? 3 : *p >= 0xC0 ? 2 : 1;
    int32_t need = *p == '"' ? 2 : cl;
    if (len + need > room) break;
    if (*p == '"') dst[len++] = '"';
    for (int32_t i = 0; i < cl && p[i]; i++) dst[len++] = (char)p[i];
    p += cl;
  }
  if (quote) dst[len++] = '"';
  dst[len] = 0;
  return len;
}
