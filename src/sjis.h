// Shift-JIS (code page 932) as every walk over text bytes reads it: escaping,
// cutting, copying into fields and the conversions of the system seam.
//
// A lead byte (0x81-0x9F, 0xE0-0xFC) forms a double-byte character only with
// a valid trail byte (0x40-0x7E, 0x80-0xFC) right after it.  Otherwise it
// stands alone, and the byte after it is examined on its own, as a browser
// decodes it.  No mark of HTML ('<', '>', '"', '&') is ever a trail byte, so
// such a mark is always a character of its own.
// Header only and free of any other header of the program: every layer, the
// Windows seam and the fuzz build use it as it is.
#pragma once

#include <cstdint>

// True for a Shift-JIS lead byte (0x81-0x9F, 0xE0-0xFC).
inline bool sjislead(unsigned char c) { return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC); }

// True for a byte that can follow a lead byte in a character (0x40-0x7E, 0x80-0xFC).
inline bool sjistrail(unsigned char c) { return (c >= 0x40 && c <= 0x7E) || (c >= 0x80 && c <= 0xFC); }

// The number of bytes (1 or 2) of the character at s, when avail bytes (at
// least 1) may be read there: 2 only for a lead byte with a valid trail byte.
inline int32_t sjischar(const char* s, int32_t avail) {
  const unsigned char* p = (const unsigned char*)s;
  return avail >= 2 && sjislead(p[0]) && sjistrail(p[1]) ? 2 : 1;
}

// True when the byte at s (avail bytes readable) is a lead byte whose trail
// byte is missing: the text ends after it, within avail or at a zero byte.
// Such a byte is the first half of a character that was cut.
inline bool sjiscutlead(const char* s, int32_t avail) {
  return sjislead((unsigned char)s[0]) && (avail < 2 || s[1] == 0);
}

// The length of the longest start of s (len bytes) that is at most max bytes
// long and does not end inside a double-byte character.
inline int32_t sjiscut(const char* s, int32_t len, int32_t max) {
  int32_t i = 0;
  while (i < len) {
    int32_t step = sjischar(s + i, len - i);
    if (i + step > max) break;
    i += step;
  }
  return i;
}

// The end of the run of s (len bytes) that starts at i: up to and including
// the next lead byte that stands alone, or the end of the text.  A converter
// that would pair a lead byte with any byte after it converts run by run, so
// the byte after a lone lead byte keeps its own meaning.
inline int32_t sjisrun(const char* s, int32_t len, int32_t i) {
  while (i < len) {
    int32_t step = sjischar(s + i, len - i);
    i += step;
    if (step == 1 && sjislead((unsigned char)s[i - 1])) break;
  }
  return i;
}
