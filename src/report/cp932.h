// Shift-JIS (code page 932) text as UTF-8, for files meant for other
// programs (spreadsheets).  The table is generated (scripts/mkcp932.py).
#pragma once

#include <cstdint>

#define CP932LEADS 60    // 0x81-0x9F, 0xE0-0xFC
#define CP932TRAILS 189  // 0x40-0xFC
extern const uint16_t kcp932single[256];
extern const uint16_t kcp932double[CP932LEADS * CP932TRAILS];

// Decodes the Shift-JIS text src (len bytes, stopping earlier at a NUL) into
// UTF-8 in dst (n bytes), always terminated, never cut inside a character.
// A byte that starts no character, or a pair that names none, becomes U+FFFD.
// Returns the length written.
int32_t sjistoutf8(char* dst, int32_t n, const char* src, int32_t len);
// A CSV field: the UTF-8 text quoted when it holds a comma, a double quote or
// a line end, its quotes doubled, into dst (n bytes; cut before a character
// that does not fit, the closing quote always there).  Returns the length.
int32_t csvfield(char* dst, int32_t n, const char* utf8);
