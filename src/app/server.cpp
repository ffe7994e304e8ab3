// The page server: see server.h.  One listening socket and a fixed table of
// connections; every send is non-blocking and what does not go now waits
// in the connection's own buffer for FD_WRITE.
#include "app/server.h"

#include <cstdio>
#include <cstring>

#include "app/live.h"
#include "app/ticks.h"
#include "kesto.h"

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

// Sends what waits on connection k until the socket takes no more.  An
// answer sent whole shuts the sending side and lingers for the client's
// close (closing with its bytes unread would reset the connection and
// could lose the answer).  0 when the connection was closed.
static int flush(int32_t k) {
  ServerConn& c = gserver.conn[k];
  while (c.outpos < c.outlen || c.bodyleft > 0) {
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

int serveranswer(int32_t k, int32_t status, const char* type, const char* body, int32_t len, int32_t head,
                 int32_t fixed) {
  ServerConn& c = gserver.conn[k];
  char h[512];
  int n = snprintf(h, sizeof h,
                   "HTTP/1.1 %d %s\r\nContent-Type: %s\r\nContent-Length: %d\r\nCache-Control: no-store\r\n"
                   "X-Content-Type-Options: nosniff\r\nConnection: close\r\n\r\n",
                   (int)status, reason(status), type, (int)len);
  c.state = ConnAnswering;
  c.since = servernow();
  if (!queue(k, h, n)) return 0;
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

void serveburst(int32_t k, const char*, int32_t, int32_t head) { refuse(k, 404, head); }

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
  }
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
