// The page server: see server.h.  One listening socket and a fixed table of
// connections; every send is non-blocking and what does not go now waits
// in the connection's own buffer for FD_WRITE.
#include "app/server.h"

#include <cstdio>
#include <cstring>

#include "app/live.h"
#include "app/ticks.h"
#include "capture/burstdir.h"
#include "capture/lastburst.h"
#include "kesto.h"
#include "report/burstview.h"

ServerState gserver;

int64_t servernow() {
  int64_t f = 0, c = 0;
  if (!osqueryperformancefrequency(&f) || f <= 0 || !osqueryperformancecounter(&c)) return 0;
  return c / f * 1000 + c % f * 1000 / f;
}

static const char* reason(int32_t status) {
  switch (status) {
    case 200: return "OK";
    case 400: return "Bad Request";
    case 403: return "Forbidden";
    case 404: return "Not Found";
    case 405: return "Method Not Allowed";
    case 408: return "Request Timeout";
    case 431: return "Request Header Fields Too Large";
    case 503: return "Service Unavailable";
    default: return "Error";
  }
}

static void closeconn(int32_t k) {
  ServerConn& c = gserver.conn[k];
  if (c.state == ConnFree) return;
  osclosesocket(c.s);
  c.state = ConnFree;
  c.s = OS_INVALID_SOCKET;
  c.inlen = c.outpos = c.outlen = 0;
  c.body = nullptr;
  c.bodyleft = 0;
  c.clientclosed = 0;
  if (c.file) osclosehandle(c.file);
  c.file = 0;
  c.fileleft = 0;
}

// A client whose pending output would pass the bound: let go.
static void drop(int32_t k) {
  gserver.dropped++;
  closeconn(k);
}

// Queues n bytes on connection k; 0 when they do not fit (the client is
// dropped then).
static int queue(int32_t k, const char* b, int32_t n) {
  ServerConn& c = gserver.conn[k];
  if (c.outlen - c.outpos + n > SERVEROUT) {
    drop(k);
    return 0;
  }
  if (c.outlen + n > SERVEROUT) {
    memmove(c.out, c.out + c.outpos, (size_t)(c.outlen - c.outpos));
    c.outlen -= c.outpos;
    c.outpos = 0;
  }
  memcpy(c.out + c.outlen, b, (size_t)n);
  c.outlen += n;
  return 1;
}

// The next piece of the file being sent, into the emptied out buffer: only
// when the socket took all before it, so a file of any size goes through
// the one buffer.  A file that cannot be read on or that ended early (cut,
// or gone) lets the connection go: its answer cannot be whole.  0 then.
static int nextpiece(int32_t k) {
  ServerConn& c = gserver.conn[k];
  uint32_t want = c.fileleft < (uint32_t)SERVEROUT ? c.fileleft : (uint32_t)SERVEROUT;
  uint32_t got = 0;
  if (!osreadfile(c.file, c.out, want, &got) || got == 0 || got > want) {
    closeconn(k);
    return 0;
  }
  c.outpos = 0;
  c.outlen = (int32_t)got;
  c.fileleft -= got;
  if (c.fileleft == 0) {
    osclosehandle(c.file);
    c.file = 0;
  }
  return 1;
}

// Sends what waits on connection k until the socket takes no more.  An
// answer sent whole shuts the sending side and lingers for the client's
// close (closing with its bytes unread would reset the connection and
// could lose the answer).  0 when the connection was closed.
static int flush(int32_t k) {
  ServerConn& c = gserver.conn[k];
  while (c.outpos < c.outlen || c.bodyleft > 0 || c.fileleft > 0) {
    if (c.outpos == c.outlen && c.bodyleft == 0 && !nextpiece(k)) return 0;
    const char* p = c.outpos < c.outlen ? c.out + c.outpos : c.body;
    int32_t n = c.outpos < c.outlen ? c.outlen - c.outpos : c.bodyleft;
    int sent = ossend(c.s, p, n);
    if (sent == OS_SOCKET_ERROR) {
      if (oswsagetlasterror() == OS_WSAEWOULDBLOCK) return 1;  // FD_WRITE comes
      closeconn(k);
      return 0;
    }
    if (sent <= 0) return 1;
    if (c.outpos < c.outlen) {
      c.outpos += sent;
      if (c.outpos == c.outlen) c.outpos = c.outlen = 0;
    } else {
      c.body += sent;
      c.bodyleft -= sent;
    }
  }
  if (c.state == ConnAnswering) {
    if (c.clientclosed) {
      closeconn(k);
      return 0;
    }
    osshutdown(c.s, OS_SD_SEND);
    c.state = ConnLingering;
    c.since = servernow();
  }
  return 1;
}

// The head of a whole answer of len bytes, queued on connection k, which
// closes after it.
static int answerhead(int32_t k, int32_t status, const char* type, uint32_t len) {
  ServerConn& c = gserver.conn[k];
  char h[512];
  int n = snprintf(h, sizeof h,
                   "HTTP/1.1 %d %s\r\nContent-Type: %s\r\nContent-Length: %u\r\nCache-Control: no-store\r\n"
                   "X-Content-Type-Options: nosniff\r\nConnection: close\r\n\r\n",
                   (int)status, reason(status), type, (unsigned)len);
  c.state = ConnAnswering;
  c.since = servernow();
  return queue(k, h, n);
}

int serveranswer(int32_t k, int32_t status, const char* type, const char* body, int32_t len, int32_t head,
                 int32_t fixed) {
  ServerConn& c = gserver.conn[k];
  if (!answerhead(k, status, type, (uint32_t)len)) return 0;
  if (!head && len > 0) {
    if (fixed) {
      c.body = body;
      c.bodyleft = len;
    } else if (!queue(k, body, len)) {
      return 0;
    }
  }
  gserver.answered++;
  return 1;
}

// An error answer with a short text.
static void refuse(int32_t k, int32_t status, int32_t head) {
  char b[64];
  int n = snprintf(b, sizeof b, "%d %s\n", (int)status, reason(status));
  serveranswer(k, status, "text/plain; charset=utf-8", b, n, head, 0);
}

// ---- the last burst ------------------------------------------------------------------

// The listing of the last burst, read once per folder (its log read again
// when a burst ends or the last burst is another folder).
static BurstDir glisting;
static char glistfolder[PATHSIZE];
static int32_t glistread;  // glisting holds glistfolder's log

// The last burst's listing, read again when the last burst changed; 0
// when there is no last burst.
static int listing() {
  static char folder[PATHSIZE];
  if (!lastburstdir(folder, (int)sizeof folder)) {
    glistfolder[0] = 0;
    glistread = 0;
    return 0;
  }
  if (glistread && strcmp(folder, glistfolder) == 0) return 1;
  memcpy(glistfolder, folder, sizeof folder);
  glistread = readburstdir(folder, &glisting) == BURSTDIR_READ;
  return 1;
}

static bool named(const char* p, int32_t n, const char* s) {
  return (int32_t)strlen(s) == n && memcmp(p, s, (size_t)n) == 0;
}

// "c%05d.bmp" exactly (a number 1 to 99,999): the number, else 0.
static int32_t framenumber(const char* p, int32_t n) {
  if (n != 10 || p[0] != 'c' || memcmp(p + 6, ".bmp", 4) != 0) return 0;
  int32_t v = 0;
  for (int i = 1; i <= 5; i++) {
    if (p[i] < '0' || p[i] > '9') return 0;
    v = v * 10 + (p[i] - '0');
  }
  return v;
}

// Frame number v among the frames the log lists (in rising order).
static bool listed(int32_t v) {
  if (!glistread || v <= 0) return false;
  int32_t lo = 0, hi = glisting.count - 1;
  while (lo <= hi) {
    int32_t mid = lo + (hi - lo) / 2;
    int32_t m = glisting.frames[mid].number;
    if (m == v) return true;
    if (m < v) lo = mid + 1;
    else hi = mid - 1;
  }
  return false;
}

// "burst.png", or "burst_N.png" with N from 2 written without leading zeros.
static bool animation(const char* p, int32_t n) {
  if (named(p, n, "burst.png")) return true;
  if (n < 11 || n > 15 || memcmp(p, "burst_", 6) != 0 || memcmp(p + n - 4, ".png", 4) != 0) return false;
  if (p[6] == '0') return false;
  int32_t v = 0;
  for (int32_t i = 6; i < n - 4; i++) {
    if (p[i] < '0' || p[i] > '9') return false;
    v = v * 10 + (p[i] - '0');
  }
  return v >= 2;
}

// Names are compared byte for byte with the names the burst wrote (no
// %-escape is decoded): "C00001.BMP", "c00001.bmp." or "index.html%20",
// which Windows would open as the same file, are no names of the burst.
void serveburst(int32_t k, const char* path, int32_t pathlen, int32_t head) {
  if (pathlen < 7 || memcmp(path, "/burst/", 7) != 0 || !listing()) {
    refuse(k, 404, head);
    return;
  }
  const char* name = path + 7;
  int32_t n = pathlen - 7;
  const char* type = nullptr;
  if (n == 0) {
    name = VIEWERNAME;
    n = (int32_t)strlen(VIEWERNAME);
  }
  if (named(name, n, VIEWERNAME)) type = "text/html; charset=utf-8";
  else if (animation(name, n)) type = "image/png";
  else if (listed(framenumber(name, n))) type = "image/bmp";
  else if (glistread && glisting.logname[0] && named(name, n, glisting.logname)) type = "text/plain";
  if (!type) {
    refuse(k, 404, head);
    return;
  }
  char file[PATHSIZE + 32];
  int len = snprintf(file, sizeof file, "%s\\%.*s", glistfolder, (int)n, name);
  if (len < 0 || len >= (int)sizeof file) {
    refuse(k, 404, head);
    return;
  }
  OsHandle f = oscreatefile(file, OS_GENERIC_READ, OS_FILE_SHARE_READ | OS_FILE_SHARE_DELETE, OS_OPEN_EXISTING);
  if (f == OS_BADFILE || f == 0) {
    uint32_t e = osgetlasterror();
    refuse(k, e == OS_ERROR_FILE_NOT_FOUND || e == OS_ERROR_PATH_NOT_FOUND ? 404 : 503, head);
    return;
  }
  uint32_t size = osgetfilesize(f);
  if (size == OS_INVALID_FILE_SIZE) {
    osclosehandle(f);
    refuse(k, 503, head);
    return;
  }
  if (!answerhead(k, 200, type, size)) {
    osclosehandle(f);
    return;
  }
  gserver.answered++;
  if (head || size == 0) {
    osclosehandle(f);
    return;
  }
  ServerConn& c = gserver.conn[k];
  c.file = f;
  c.fileleft = size;
}

// ---- events ------------------------------------------------------------------------

// One event on connection k: "event:", "id:" and one line of data.
static int pushevent(int32_t k, const char* name, const char* value, int32_t len) {
  static char b[SERVERJSON + 128];
  int n = snprintf(b, sizeof b, "event: %s\nid: %d\ndata: {\"seq\": %d, \"%s\": ", name, (int)glive.seq,
                   (int)glive.seq, name);
  if (n < 0 || n + len + 4 > (int)sizeof b) return 1;  // never: the JSON is bounded
  memcpy(b + n, value, (size_t)len);
  n += len;
  memcpy(b + n, "}\n\n", 3);
  n += 3;
  gserver.conn[k].lastsent = servernow();
  return queue(k, b, n);
}

// The event to every open stream, each then sent what it can take.
static void broadcast(const char* name, const char* value, int32_t len) {
  for (int32_t k = 0; k < SERVERCONNS; k++) {
    if (gserver.conn[k].state != ConnStream) continue;
    if (pushevent(k, name, value, len)) flush(k);
  }
}

static int32_t part(int32_t which, char* b) { return livejsonpart(which, b, SERVERJSON); }

// A new stream: the retry time, then the state as it is now.
static void openstream(int32_t k, int32_t head) {
  ServerConn& c = gserver.conn[k];
  static const char h[] =
      "HTTP/1.1 200 OK\r\nContent-Type: text/event-stream\r\nCache-Control: no-store\r\n"
      "X-Content-Type-Options: nosniff\r\nConnection: keep-alive\r\n\r\n";
  if (head) {
    static const char hh[] =
        "HTTP/1.1 200 OK\r\nContent-Type: text/event-stream\r\nCache-Control: no-store\r\n"
        "X-Content-Type-Options: nosniff\r\nConnection: close\r\n\r\n";
    c.state = ConnAnswering;
    if (queue(k, hh, (int32_t)sizeof hh - 1)) gserver.answered++;
    return;
  }
  c.state = ConnStream;
  c.lastsent = servernow();
  gserver.answered++;
  if (!queue(k, h, (int32_t)sizeof h - 1) || !queue(k, "retry: 1000\n\n", 13)) return;
  static char b[SERVERJSON];
  int32_t n = part(LiveGamePart, b);
  if (n >= 0 && !pushevent(k, "game", b, n)) return;
  n = part(LiveBoardPart, b);
  if (n >= 0 && !pushevent(k, "board", b, n)) return;
  if (glive.hasshot) {
    n = part(LiveShotPart, b);
    if (n >= 0) pushevent(k, "shot", b, n);
  }
}

void servershot() {
  if (!gserver.on) return;
  static char b[SERVERJSON];
  int32_t n = part(LiveShotPart, b);
  if (n >= 0) broadcast("shot", b, n);
  gserver.shots++;
}

void serverburst() {
  if (!gserver.on) return;
  glistread = 0;  // the burst's log is read again, whatever its folder
  static char b[SERVERJSON];
  int32_t frames = 0;
  int64_t span = 0;
  char name[PATHSIZE * 3 + 8] = "\"\"";
  if (listing()) {
    if (glistread) {
      frames = glisting.count - glisting.missing;
      span = burstspan(&glisting);
    }
    const char* last = lastpart(glistfolder);
    if (livejsontext(last, (int32_t)strlen(last), name, (int32_t)sizeof name) < 0) snprintf(name, sizeof name, "\"\"");
  }
  int n = snprintf(b, sizeof b, "{\"frames\": %d, \"folder\": %s, \"span_ms\": %lld}", (int)frames, name,
                   (long long)span);
  if (n > 0 && n < (int)sizeof b) broadcast("burst", b, n);
}

void serverlive() {
  if (!gserver.on) return;
  static char b[SERVERJSON];
  int32_t n = part(LiveGamePart, b);
  if (n >= 0 && strcmp(b, gserver.lastgame) != 0) {
    memcpy(gserver.lastgame, b, (size_t)n + 1);
    broadcast("game", b, n);
  }
  n = part(LiveBoardPart, b);
  if (n >= 0 && (gserver.shots > 0 || strcmp(b, gserver.lastboard) != 0)) {
    memcpy(gserver.lastboard, b, (size_t)n + 1);
    broadcast("board", b, n);
  }
  gserver.shots = 0;
}

// ---- requests ------------------------------------------------------------------------

static void answer(int32_t k, const RequestVerdict& v) {
  ServerConn& c = gserver.conn[k];
  if (v.status != 200) {
    refuse(k, v.status, v.head);
    return;
  }
  switch (v.route) {
    case RoutePage:
      serveranswer(k, 200, "text/html; charset=utf-8", (const char*)koverlaypage, koverlaypagelen, v.head, 1);
      break;
    case RouteLiveJson: {
      static char b[SERVERJSON];
      int32_t n = livejson(b, (int32_t)sizeof b);
      if (n < 0) refuse(k, 503, v.head);
      else serveranswer(k, 200, "application/json; charset=utf-8", b, n, v.head, 0);
      break;
    }
    case RouteEvents: openstream(k, v.head); break;
    case RouteBurst: serveburst(k, c.in + v.pathoff, v.pathlen, v.head); break;
    default: refuse(k, 404, v.head); break;
  }
}

// Bytes from the client of connection k.
static void readconn(int32_t k) {
  ServerConn& c = gserver.conn[k];
  if (c.state != ConnReading) {
    // Past the head nothing the client sends is read: taken and let go,
    // at most 64 KiB an event.
    static char scratch[4096];
    for (int i = 0; i < 16; i++) {
      int n = osrecv(c.s, scratch, (int)sizeof scratch);
      if (n > 0) continue;
      if (n == 0 || oswsagetlasterror() != OS_WSAEWOULDBLOCK) {
        if (c.state == ConnAnswering) c.clientclosed = 1;
        else closeconn(k);
      }
      break;
    }
    return;
  }
  int n = osrecv(c.s, c.in + c.inlen, REQUEST_HEAD_MAX - c.inlen);
  if (n == OS_SOCKET_ERROR) {
    if (oswsagetlasterror() != OS_WSAEWOULDBLOCK) closeconn(k);
    return;
  }
  if (n == 0) {
    closeconn(k);
    return;
  }
  c.inlen += n;
  RequestVerdict v;
  if (readrequest(c.in, c.inlen, gserver.port, &v) == 0) return;
  answer(k, v);
  if (c.state != ConnFree) flush(k);
}

static int32_t connof(OsSocket s) {
  for (int32_t k = 0; k < SERVERCONNS; k++)
    if (gserver.conn[k].state != ConnFree && gserver.conn[k].s == s) return k;
  return -1;
}

// Over the limit: 503 and closed at once, without a slot.  Whatever the
// client sent already is read first, so that the close does not reset the
// connection before the answer arrives.
static void turnaway(OsSocket s) {
  static char scratch[REQUEST_HEAD_MAX];
  osrecv(s, scratch, (int)sizeof scratch);
  static const char busy[] =
      "HTTP/1.1 503 Service Unavailable\r\nContent-Type: text/plain; charset=utf-8\r\nContent-Length: 24\r\n"
      "Cache-Control: no-store\r\nRetry-After: 1\r\nConnection: close\r\n\r\n503 Service Unavailable\n";
  ossend(s, busy, (int)sizeof busy - 1);
  osshutdown(s, OS_SD_SEND);
  osclosesocket(s);
  gserver.refused++;
}

static void acceptall() {
  for (;;) {
    OsSocket s = osaccept(gserver.listener);
    if (s == OS_INVALID_SOCKET) return;
    int32_t k = 0;
    while (k < SERVERCONNS && gserver.conn[k].state != ConnFree) k++;
    if (k == SERVERCONNS) {
      turnaway(s);
      continue;
    }
    if (oswsaasyncselect(s, gkesto.mw.main, OS_FD_READ | OS_FD_WRITE | OS_FD_CLOSE) != 0) {
      osclosesocket(s);
      continue;
    }
    ServerConn& c = gserver.conn[k];
    c.s = s;
    c.state = ConnReading;
    c.since = servernow();
    c.lastsent = c.since;
    c.inlen = c.outpos = c.outlen = 0;
    c.body = nullptr;
    c.bodyleft = 0;
    c.clientclosed = 0;
    c.file = 0;
    c.fileleft = 0;
    gserver.accepted++;
  }
}

void serversocket(OsSocket s, uint32_t event, int error) {
  if (!gserver.on) return;
  if (s == gserver.listener) {
    if (event & OS_FD_ACCEPT) acceptall();
    return;
  }
  int32_t k = connof(s);
  if (k < 0) return;
  ServerConn& c = gserver.conn[k];
  if (event & OS_FD_READ) readconn(k);
  if (c.state != ConnFree && (event & OS_FD_WRITE)) flush(k);
  if (c.state != ConnFree && (event & OS_FD_CLOSE)) {
    // Whatever is left unread goes; an answer under way is still tried.
    if (c.state == ConnReading) {
      readconn(k);
      if (c.state == ConnReading) closeconn(k);
    } else if (c.state == ConnAnswering) {
      c.clientclosed = 1;
      flush(k);
    } else {
      closeconn(k);
    }
  }
}

void serverhousekeeping() {
  if (!gserver.on) return;
  int64_t now = servernow();
  for (int32_t k = 0; k < SERVERCONNS; k++) {
    ServerConn& c = gserver.conn[k];
    switch (c.state) {
      case ConnReading:
        if (now - c.since >= SERVER_HEAD_MS) {
          refuse(k, 408, 0);
          if (c.state != ConnFree) flush(k);
        }
        break;
      case ConnStream:
        if (now - c.lastsent >= SERVER_KEEPALIVE_MS) {
          c.lastsent = now;
          if (queue(k, ": keep-alive\n\n", 14)) flush(k);
        }
        break;
      case ConnLingering:
        if (now - c.since >= SERVER_LINGER_MS) closeconn(k);
        break;
      case ConnAnswering:
        if (now - c.since >= SERVER_ANSWER_MS) drop(k);
        break;
      default: break;
    }
  }
}

// ---- on and off ------------------------------------------------------------------

int serverstart(uint16_t port) {
  if (gserver.on) return 1;
  OsSocket s = ossocket();
  int error = 0;
  if (s == OS_INVALID_SOCKET) {
    error = oswsagetlasterror();
  } else if (osbind(s, OS_INADDR_LOOPBACK, port) != 0 || oslisten(s, 16) != 0 ||
             oswsaasyncselect(s, gkesto.mw.main, OS_FD_ACCEPT) != 0) {
    error = oswsagetlasterror();
    osclosesocket(s);
  }
  if (s == OS_INVALID_SOCKET || error) {
    gserver.error = error ? error : -1;
    gserver.failport = port;
    return 0;
  }
  for (ServerConn& c : gserver.conn) {
    c.state = ConnFree;
    c.s = OS_INVALID_SOCKET;
    c.file = 0;
    c.fileleft = 0;
  }
  glistread = 0;
  gserver.listener = s;
  gserver.port = port;
  gserver.on = 1;
  gserver.error = 0;
  gserver.shots = 0;
  livejsonpart(LiveGamePart, gserver.lastgame, SERVERJSON);
  livejsonpart(LiveBoardPart, gserver.lastboard, SERVERJSON);
  addhousekeeper(serverhousekeeping);
  return 1;
}

void serverstop() {
  if (!gserver.on) return;
  for (int32_t k = 0; k < SERVERCONNS; k++) closeconn(k);
  osclosesocket(gserver.listener);
  gserver.listener = OS_INVALID_SOCKET;
  gserver.on = 0;
  removehousekeeper(serverhousekeeping);
}
