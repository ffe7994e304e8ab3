// The fake desktop's sockets and the clipboard's text: clients are scripted
// by the tests (fakeconnect, fakeclientsend ...), their events come to the
// main window's socket handler at once, as the window message would.
#include <algorithm>

#include "os/fake/fakeshared.h"

FakeSocket* fakesocket(OsSocket s) {
  for (FakeSocket& x : gfake.sockets)
    if (x.id == s) return &x;
  return nullptr;
}

// The program's socket s, open; null when it is not (the last error set).
static FakeSocket* mine(OsSocket s) {
  FakeSocket* x = fakesocket(s);
  if (!x || !x->open || (!x->accepted && x->listener)) {
    gfake.wsaerror = 10038;  // WSAENOTSOCK
    return nullptr;
  }
  return x;
}

static int wsafail(int error) {
  gfake.wsaerror = error;
  return OS_SOCKET_ERROR;
}

// The event goes to the main window's handler when the program asked for it.
static void deliver(OsSocket s, uint32_t event) {
  FakeSocket* x = fakesocket(s);
  if (!x || !x->open || !x->win || !(x->events & event)) return;
  if (gfake.handlers && gfake.handlers->main.socket) gfake.handlers->main.socket(s, event, 0);
}

OsSocket ossocket() {
  gfake.wsastarted = 1;
  if (takefault(gfake.socketfails)) {
    gfake.wsaerror = 10055;  // WSAENOBUFS
    return OS_INVALID_SOCKET;
  }
  FakeSocket x;
  x.id = gfake.nextsocket++;
  gfake.sockets.push_back(x);
  return x.id;
}

int osbind(OsSocket s, uint32_t addr, uint16_t port) {
  FakeSocket* x = mine(s);
  if (!x) return OS_SOCKET_ERROR;
  if (gfake.bindinuse) return wsafail(OS_WSAEADDRINUSE);
  for (const FakeSocket& o : gfake.sockets)
    if (o.open && o.port == port && o.id != s && !o.accepted && !o.listener) return wsafail(OS_WSAEADDRINUSE);
  x->addr = addr;
  x->port = port;
  return 0;
}

int oslisten(OsSocket s, int) {
  FakeSocket* x = mine(s);
  if (!x) return OS_SOCKET_ERROR;
  if (!x->port) return wsafail(10022);  // WSAEINVAL
  x->listening = true;
  return 0;
}

OsSocket osaccept(OsSocket s) {
  FakeSocket* l = mine(s);
  if (!l || !l->listening) return OS_INVALID_SOCKET;
  for (FakeSocket& c : gfake.sockets) {
    if (c.listener != s || c.accepted || !c.open) continue;
    if (takefault(gfake.acceptfails)) {
      gfake.wsaerror = OS_WSAECONNRESET;
      c.open = false;  // the client is gone
      return OS_INVALID_SOCKET;
    }
    c.accepted = true;
    c.win = l->win;  // an accepted socket takes the listener's events
    c.events = l->events;
    return c.id;
  }
  gfake.wsaerror = OS_WSAEWOULDBLOCK;
  return OS_INVALID_SOCKET;
}

int osrecv(OsSocket s, char* buf, int n) {
  FakeSocket* x = mine(s);
  if (!x) return OS_SOCKET_ERROR;
  if (x->in.empty()) return x->clientclosed ? 0 : wsafail(OS_WSAEWOULDBLOCK);
  int k = std::min(n, (int)x->in.size());
  std::copy(x->in.begin(), x->in.begin() + k, buf);
  x->in.erase(0, (size_t)k);
  return k;
}

int ossend(OsSocket s, const char* buf, int n) {
  FakeSocket* x = mine(s);
  if (!x) return OS_SOCKET_ERROR;
  if (x->shut) return wsafail(10058);  // WSAESHUTDOWN
  if (takefault(gfake.sendfails) || x->clientclosed) return wsafail(OS_WSAECONNRESET);
  int k = x->room < 0 ? n : (int)std::min<long>(n, x->room);
  if (k == 0 && n > 0) {
    x->blocked = true;
    return wsafail(OS_WSAEWOULDBLOCK);
  }
  if (x->room >= 0) x->room -= k;
  x->out.append(buf, (size_t)k);
  x->sent += k;
  return k;
}

int osshutdown(OsSocket s, int) {
  FakeSocket* x = mine(s);
  if (!x) return OS_SOCKET_ERROR;
  x->shut = true;
  return 0;
}

int osclosesocket(OsSocket s) {
  FakeSocket* x = mine(s);
  if (!x) return OS_SOCKET_ERROR;
  x->open = false;
  // Connections still waiting on a listener that closes are refused.
  for (FakeSocket& c : gfake.sockets)
    if (c.listener == s && !c.accepted) c.open = false;
  return 0;
}

int oswsaasyncselect(OsSocket s, OsWin w, uint32_t events) {
  FakeSocket* x = mine(s);
  if (!x) return OS_SOCKET_ERROR;
  x->win = w;
  x->events = events;
  return 0;
}

int oswsagetlasterror() { return gfake.wsaerror; }

// ---- the clients --------------------------------------------------------------

OsSocket fakeconnect(uint16_t port) {
  OsSocket l = 0;
  for (const FakeSocket& x : gfake.sockets)
    if (x.open && x.listening && x.port == port) l = x.id;
  if (!l) return 0;
  FakeSocket c;
  c.id = gfake.nextsocket++;
  c.listener = l;
  gfake.sockets.push_back(c);
  deliver(l, OS_FD_ACCEPT);
  return c.id;
}

void fakeclientsend(OsSocket c, const std::string& bytes) {
  FakeSocket* x = fakesocket(c);
  if (!x || !x->open) return;
  x->in += bytes;
  if (x->accepted) deliver(c, OS_FD_READ);
}

void fakeclientclose(OsSocket c) {
  FakeSocket* x = fakesocket(c);
  if (!x || !x->open) return;
  x->clientclosed = true;
  if (x->accepted) deliver(c, OS_FD_CLOSE);
}

void fakeclientroom(OsSocket c, long room) {
  FakeSocket* x = fakesocket(c);
  if (!x) return;
  x->room = room;
  if (x->blocked && room != 0) {
    x->blocked = false;
    deliver(c, OS_FD_WRITE);
  }
}

std::string fakeclientread(OsSocket c) {
  FakeSocket* x = fakesocket(c);
  if (!x) return std::string();
  std::string s;
  s.swap(x->out);
  return s;
}

int fakeopensockets() {
  int n = 0;
  for (const FakeSocket& x : gfake.sockets)
    if (x.open && (x.accepted || !x.listener)) n++;
  return n;
}

// ---- the clipboard's text ---------------------------------------------------------

int ossetclipboardtext(OsWin w, const char* text) {
  if (!osopenclipboard(w)) return 0;
  osemptyclipboard();
  gfake.cliptext = text ? text : "";
  gfake.cliptexts++;
  oscloseclipboard();
  return 1;
}
