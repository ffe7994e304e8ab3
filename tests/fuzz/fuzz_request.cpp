// Arbitrary bytes as a request to the page server: the first two bytes pick
// the port (so port 80's Host rule is reached too), the rest is the request,
// in a buffer of exactly its size (AddressSanitizer sees a read past it).
// The verdict must be one the server can give, "complete" only for a head
// that really ends in CR LF CR LF within the limit, the same when the bytes
// after the head are cut off, and a route only for a path that stays in
// its folder.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "app/request.h"

static int32_t terminator(const char* b, int32_t n) {
  for (int32_t i = 0; i + 3 < n; i++)
    if (!memcmp(b + i, "\r\n\r\n", 4)) return i + 4;
  return -1;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2 || size > 3 * REQUEST_HEAD_MAX) return 0;
  uint16_t port = (uint16_t)(data[0] | data[1] << 8);
  if (data[0] & 1) port = (data[0] & 2) ? 80 : 8089;
  int32_t n = (int32_t)size - 2;
  char* b = (char*)malloc(n ? (size_t)n : 1);
  memcpy(b, data + 2, (size_t)n);
  RequestVerdict v;
  int32_t s = readrequest(b, n, port, &v);
  if (s != v.status) __builtin_trap();
  switch (s) {
    case 0: case 200: case 400: case 403: case 404: case 405: case 431: break;
    default: __builtin_trap();
  }
  int32_t lim = n < REQUEST_HEAD_MAX ? n : REQUEST_HEAD_MAX;
  int32_t end = terminator(b, lim);
  if (v.complete) {
    if (end != v.headlen || v.headlen > REQUEST_HEAD_MAX || v.headlen > n || s == 0 || s == 431) __builtin_trap();
    // The bytes after the head change nothing.
    RequestVerdict w;
    if (readrequest(b, v.headlen, port, &w) != s || memcmp(&w, &v, sizeof v) != 0) __builtin_trap();
  } else {
    if (end >= 0 || (s != 0 && s != 400 && s != 431)) __builtin_trap();
    if (s == 0 && n >= REQUEST_HEAD_MAX) __builtin_trap();   // a long head is never waited for
    if (s == 431 && n < REQUEST_HEAD_MAX) __builtin_trap();
  }
  if (s == 200) {
    if (v.route == RouteNone || v.pathlen < 1 || v.pathoff < 0 || v.pathoff + v.pathlen > v.headlen) __builtin_trap();
    const char* p = b + v.pathoff;
    if (p[0] != '/') __builtin_trap();
    for (int32_t i = 0; i < v.pathlen; i++) {
      if (p[i] == '\\') __builtin_trap();
      if (p[i] == '.' && i > 0 && p[i - 1] == '/' &&
          (i + 1 == v.pathlen || p[i + 1] == '/' || (p[i + 1] == '.' && (i + 2 == v.pathlen || p[i + 2] == '/'))))
        __builtin_trap();
      if (p[i] == '%' && i + 2 < v.pathlen && p[i + 1] == '2' && (p[i + 2] == 'e' || p[i + 2] == 'E' || p[i + 2] == 'f' || p[i + 2] == 'F'))
        __builtin_trap();
    }
  } else if (v.route != RouteNone) {
    __builtin_trap();
  }
  free(b);
  return 0;
}
