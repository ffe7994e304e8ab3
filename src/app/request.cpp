// The request reader: see request.h.  Every look at a byte is bounded by the
// length given; nothing is copied.
#include "app/request.h"

#include <cstdio>
#include <cstring>

#define METHOD_MAX 16

static bool upper(unsigned char c) { return c >= 'A' && c <= 'Z'; }
static bool visible(unsigned char c) { return c > 0x20 && c < 0x7F; }
static bool digit(unsigned char c) { return c >= '0' && c <= '9'; }
static int hexval(unsigned char c) {
  if (digit(c)) return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}
// The characters of a header name (an HTTP token).
static bool tokenchar(unsigned char c) {
  if (digit(c) || upper(c) || (c >= 'a' && c <= 'z')) return true;
  return c && strchr("!#$%&'*+-.^_`|~", c) != nullptr;
}
static unsigned char lower(unsigned char c) { return upper(c) ? (unsigned char)(c + 32) : c; }

// The bytes s (n of them) are the text t, case ignored.
static bool sameword(const char* s, int32_t n, const char* t) {
  int32_t k = (int32_t)strlen(t);
  if (n != k) return false;
  for (int32_t i = 0; i < n; i++)
    if (lower((unsigned char)s[i]) != lower((unsigned char)t[i])) return false;
  return true;
}
static bool same(const char* s, int32_t n, const char* t) {
  return n == (int32_t)strlen(t) && memcmp(s, t, (size_t)n) == 0;
}

// Where the head's closing CR LF CR LF ends within the first n bytes, or -1.
static int32_t headend(const char* b, int32_t n) {
  for (int32_t i = 0; i + 3 < n; i++)
    if (b[i] == '\r' && b[i + 1] == '\n' && b[i + 2] == '\r' && b[i + 3] == '\n') return i + 4;
  return -1;
}

// What arrived so far cannot begin a request: a method of capital letters,
// one space, a target of visible characters, one space, "HTTP/1.".  A TLS
// hello or any other protocol is refused at its first bytes.
static bool notarequest(const char* b, int32_t n) {
  int32_t i = 0;
  while (i < n && upper((unsigned char)b[i])) i++;
  if (i > METHOD_MAX) return true;
  if (i == n) return false;
  if (i == 0 || b[i] != ' ') return true;
  i++;
  int32_t t = i;
  while (i < n && visible((unsigned char)b[i])) i++;
  if (i == n) return false;
  if (i == t || b[i] != ' ') return true;
  i++;
  static const char version[] = "HTTP/1.";
  for (int32_t k = 0; k < 7 && i < n; k++, i++)
    if (b[i] != version[k]) return true;
  return false;
}

// The path of an origin-form target (p, n bytes, query left out): no
// backslash, no "." or ".." segment, every %-escape two hexadecimal digits
// that stand for neither a dot, a slash, a backslash nor a control character.
static bool pathsafe(const char* p, int32_t n) {
  int32_t seg = 0;  // where the current segment begins
  for (int32_t i = 0; i <= n; i++) {
    if (i == n || p[i] == '/') {
      int32_t len = i - seg;
      if ((len == 1 && p[seg] == '.') || (len == 2 && p[seg] == '.' && p[seg + 1] == '.')) return false;
      seg = i + 1;
      continue;
    }
    unsigned char c = (unsigned char)p[i];
    if (c == '\\' || c == '#') return false;
    if (c == '%') {
      if (i + 2 >= n) return false;  // fewer than two digits left
      int hi = hexval((unsigned char)p[i + 1]), lo = hexval((unsigned char)p[i + 2]);
      if (hi < 0 || lo < 0) return false;
      int v = hi * 16 + lo;
      if (v == '.' || v == '/' || v == '\\' || v < 0x20 || v == 0x7F) return false;
      i += 2;
    }
  }
  return true;
}

static int32_t routeof(const char* p, int32_t n) {
  if (same(p, n, "/")) return RoutePage;
  if (same(p, n, "/live.json")) return RouteLiveJson;
  if (same(p, n, "/events")) return RouteEvents;
  if (same(p, n, "/burst") || (n >= 7 && memcmp(p, "/burst/", 7) == 0)) return RouteBurst;
  return RouteNone;
}

// The Host header's value names this server.
static bool hostok(const char* h, int32_t n, uint16_t port) {
  char withport[32];
  static const char* const names[2] = {"127.0.0.1", "localhost"};
  for (const char* name : names) {
    snprintf(withport, sizeof withport, "%s:%u", name, (unsigned)port);
    if (sameword(h, n, withport)) return true;
    // Port 80 is the one browsers leave out.
    if (port == 80 && sameword(h, n, name)) return true;
  }
  return false;
}

static int32_t verdict(RequestVerdict* v, int32_t status) {
  v->status = status;
  if (status != 200) v->route = RouteNone;
  return status;
}

int32_t readrequest(const char* b, int32_t len, uint16_t port, RequestVerdict* v) {
  memset(v, 0, sizeof *v);
  v->lasteventid = -1;
  if (!b || len < 0) len = 0;
  int32_t end = headend(b, len < REQUEST_HEAD_MAX ? len : REQUEST_HEAD_MAX);
  if (end < 0) {
    if (notarequest(b, len < REQUEST_HEAD_MAX ? len : REQUEST_HEAD_MAX)) return verdict(v, 400);
    return verdict(v, len >= REQUEST_HEAD_MAX ? 431 : 0);
  }
  v->complete = 1;
  v->headlen = end;

  // The request line.
  int32_t i = 0;
  while (i < end && upper((unsigned char)b[i])) i++;
  int32_t mlen = i;
  if (mlen == 0 || mlen > METHOD_MAX || b[i] != ' ') return verdict(v, 400);
  i++;
  int32_t t = i;
  while (i < end && visible((unsigned char)b[i])) i++;
  int32_t tlen = i - t;
  if (tlen == 0 || b[i] != ' ') return verdict(v, 400);
  i++;
  if (i + 10 > end || (memcmp(b + i, "HTTP/1.1\r\n", 10) != 0 && memcmp(b + i, "HTTP/1.0\r\n", 10) != 0))
    return verdict(v, 400);
  i += 10;
  // Only the origin form: a path from the root (no scheme and host, no "*").
  if (b[t] != '/') return verdict(v, 400);
  int32_t plen = 0;
  while (plen < tlen && b[t + plen] != '?') plen++;
  if (!pathsafe(b + t, plen)) return verdict(v, 400);
  v->pathoff = t;
  v->pathlen = plen;

  // The header lines, up to the empty one.
  int32_t hosts = 0, hoff = 0, hlen = 0;
  while (i < end - 2) {
    int32_t n0 = i;
    while (i < end && tokenchar((unsigned char)b[i])) i++;
    int32_t nlen = i - n0;
    if (nlen == 0 || b[i] != ':') return verdict(v, 400);
    i++;
    int32_t v0 = i;
    while (i < end && b[i] != '\r') {
      unsigned char c = (unsigned char)b[i];
      if (c < 0x20 ? c != '\t' : c == 0x7F) return verdict(v, 400);
      i++;
    }
    if (i + 1 >= end || b[i + 1] != '\n') return verdict(v, 400);
    int32_t vs = v0, ve = i;
    while (vs < ve && (b[vs] == ' ' || b[vs] == '\t')) vs++;
    while (ve > vs && (b[ve - 1] == ' ' || b[ve - 1] == '\t')) ve--;
    if (sameword(b + n0, nlen, "host")) {
      hosts++;
      hoff = vs;
      hlen = ve - vs;
    } else if (sameword(b + n0, nlen, "last-event-id")) {
      int64_t id = 0;
      int32_t k = vs;
      while (k < ve && digit((unsigned char)b[k]) && k - vs < 18) id = id * 10 + (b[k++] - '0');
      v->lasteventid = (k == ve && ve > vs) ? id : -1;
    }
    i += 2;
  }
  if (hosts > 1) return verdict(v, 400);
  if (hosts == 0 || !hostok(b + hoff, hlen, port)) return verdict(v, 403);
  if (same(b, mlen, "HEAD")) v->head = 1;
  else if (!same(b, mlen, "GET")) return verdict(v, 405);
  v->route = routeof(b + t, plen);
  return verdict(v, v->route == RouteNone ? 404 : 200);
}
