// The system seam's sockets on Windows: Winsock 2, started once at the
// first socket, events as the main window's OSWIN32_WM_SOCKET message.
#include <winsock2.h>

#include "os/win32/oswin32.h"

static int gstarted;

OsSocket ossocket() {
  if (!gstarted) {
    WSADATA d;
    if (WSAStartup(MAKEWORD(2, 2), &d) != 0) return OS_INVALID_SOCKET;
    gstarted = 1;
  }
  SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  if (s == INVALID_SOCKET) return OS_INVALID_SOCKET;
  // No other program may take the port while it is ours.
  BOOL on = TRUE;
  setsockopt(s, SOL_SOCKET, SO_EXCLUSIVEADDRUSE, (const char*)&on, sizeof on);
  return (OsSocket)s;
}

int osbind(OsSocket s, uint32_t addr, uint16_t port) {
  sockaddr_in a;
  memset(&a, 0, sizeof a);
  a.sin_family = AF_INET;
  a.sin_port = htons(port);
  a.sin_addr.s_addr = htonl(addr);
  return bind((SOCKET)s, (const sockaddr*)&a, sizeof a) == 0 ? 0 : OS_SOCKET_ERROR;
}

int oslisten(OsSocket s, int backlog) { return listen((SOCKET)s, backlog) == 0 ? 0 : OS_SOCKET_ERROR; }

OsSocket osaccept(OsSocket s) {
  SOCKET c = accept((SOCKET)s, nullptr, nullptr);
  return c == INVALID_SOCKET ? OS_INVALID_SOCKET : (OsSocket)c;
}

int osrecv(OsSocket s, char* buf, int n) {
  int k = recv((SOCKET)s, buf, n, 0);
  return k == SOCKET_ERROR ? OS_SOCKET_ERROR : k;
}

int ossend(OsSocket s, const char* buf, int n) {
  int k = send((SOCKET)s, buf, n, 0);
  return k == SOCKET_ERROR ? OS_SOCKET_ERROR : k;
}

int osshutdown(OsSocket s, int how) { return shutdown((SOCKET)s, how) == 0 ? 0 : OS_SOCKET_ERROR; }

int osclosesocket(OsSocket s) { return closesocket((SOCKET)s) == 0 ? 0 : OS_SOCKET_ERROR; }

int oswsaasyncselect(OsSocket s, OsWin w, uint32_t events) {
  long ev = 0;
  if (events & OS_FD_READ) ev |= FD_READ;
  if (events & OS_FD_WRITE) ev |= FD_WRITE;
  if (events & OS_FD_ACCEPT) ev |= FD_ACCEPT;
  if (events & OS_FD_CLOSE) ev |= FD_CLOSE;
  return WSAAsyncSelect((SOCKET)s, (HWND)w, OSWIN32_WM_SOCKET, ev) == 0 ? 0 : OS_SOCKET_ERROR;
}

int oswsagetlasterror() { return WSAGetLastError(); }
