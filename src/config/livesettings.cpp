// live.txt read and written.  Holds no non-ASCII literal: the fuzz build
// compiles it with clang.
#include "config/livesettings.h"

#include <cstdio>
#include <cstring>

void livesettingsdefault(LiveSettings& s) {
  s.files = 0;
  s.server = 0;
  s.port = LIVEPORT_DEFAULT;
}

// The value of a line "key=value" when key matches, else nullptr.
static const char* valueof(const char* line, int32_t len, const char* key, int32_t* vlen) {
  int32_t k = (int32_t)strlen(key);
  if (len <= k || memcmp(line, key, (size_t)k) != 0 || line[k] != '=') return nullptr;
  *vlen = len - k - 1;
  return line + k + 1;
}

// A decimal number of 1 to 5 digits and nothing else; -1 otherwise.
static int32_t smallnumber(const char* v, int32_t n) {
  if (n < 1 || n > 5) return -1;
  int32_t x = 0;
  for (int32_t i = 0; i < n; i++) {
    if (v[i] < '0' || v[i] > '9') return -1;
    x = x * 10 + (v[i] - '0');
  }
  return x;
}

static bool oneline(const char* line, int32_t len, LiveSettings& s) {
  if (len == 0 || (len >= 2 && line[0] == '/' && line[1] == '/')) return true;
  int32_t vlen = 0;
  const char* v;
  if ((v = valueof(line, len, "FILES", &vlen)) || (v = valueof(line, len, "SERVER", &vlen))) {
    int32_t x = smallnumber(v, vlen);
    if (x != 0 && x != 1) return false;
    if (line[0] == 'F') s.files = x;
    else s.server = x;
    return true;
  }
  if ((v = valueof(line, len, "PORT", &vlen))) {
    int32_t x = smallnumber(v, vlen);
    if (x < 1 || x > 65535) return false;
    s.port = x;
    return true;
  }
  return false;
}

int32_t parselivesettings(const char* text, int32_t len, LiveSettings& s, int32_t* firstbad) {
  livesettingsdefault(s);
  if (firstbad) *firstbad = 0;
  int32_t bad = 0, number = 0, pos = 0;
  if (len < 0) len = 0;
  while (pos < len && text[pos]) {
    int32_t start = pos;
    while (pos < len && text[pos] && text[pos] != '\r' && text[pos] != '\n') pos++;
    int32_t n = pos - start;
    number++;
    // A line ends at CR LF, CR or LF alike.
    if (pos < len && text[pos] == '\r') pos++;
    if (pos < len && text[pos] == '\n') pos++;
    // Blanks around a line are no damage.
    while (n > 0 && (text[start + n - 1] == ' ' || text[start + n - 1] == '\t')) n--;
    while (n > 0 && (text[start] == ' ' || text[start] == '\t')) start++, n--;
    if (!oneline(text + start, n, s)) {
      if (bad++ == 0 && firstbad) *firstbad = number;
    }
  }
  return bad;
}

int32_t formatlivesettings(const LiveSettings& s, char* dst, int32_t n) {
  int r = snprintf(dst, (size_t)(n > 0 ? n : 0), "// live.txt\r\nFILES=%d\r\nSERVER=%d\r\nPORT=%d\r\n",
                   s.files ? 1 : 0, s.server ? 1 : 0, (int)s.port);
  return r < 0 || r >= n ? -1 : r;
}
