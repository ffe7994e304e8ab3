// The capture area dialog and the area frame on Windows: their dialog
// procedures hand the messages to the handlers the program gave for them,
// and the system calls those handlers make of their controls, the mouse,
// the layered window, the popup menu and painting.
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#include <commctrl.h>
#include <psapi.h>

#include <cstring>

#include "kesto.h"
#include "res/resource.h"
#include "os/win32/oswin32.h"

// ---- dialog procedures ---------------------------------------------------------

INT_PTR CALLBACK oswin32areaproc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
  OsWin d = (OsWin)h;
  const OsDialogHandlers* a = oswin32handlers(IDD_AREA);
  if (!a) return FALSE;
  switch (msg) {
    case WM_INITDIALOG:
      if (a->init) a->init(d);
      return TRUE;
    case WM_COMMAND:
      if (a->command) a->command(d, LOWORD(wp), HIWORD(wp), (intptr_t)lp);
      return TRUE;
    case WM_TIMER:
      if (a->timer) a->timer(d, (int)wp);
      return TRUE;
    case WM_SETFOCUS:
      if (a->focus) a->focus(d);
      return FALSE;
    case WM_ACTIVATE:
      // The dialog hands the focus straight on to a control: being made the
      // active window is its taking of the focus.
      if (a->activate) a->activate(d);
      if (LOWORD(wp) != WA_INACTIVE && a->focus) a->focus(d);
      return FALSE;
    case WM_PAINT:
      if (a->paint) a->paint(d);
      return TRUE;
    case WM_CLOSE:
      if (a->close) a->close(d);
      return TRUE;
    case WM_DESTROY:
      if (a->destroyed) a->destroyed(d);
      return FALSE;
    default:
      return FALSE;
  }
}

INT_PTR CALLBACK oswin32frameproc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
  OsWin f = (OsWin)h;
  const OsDialogHandlers* r = oswin32handlers(IDD_FRAME);
  if (!r) return FALSE;
  switch (msg) {
    case WM_INITDIALOG:
      // The system-modal style keeps the frame on top of other windows; not
      // every system honours it for a modeless dialog, so it is asked for.
      SetWindowPos(h, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
      if (r->init) r->init(f);
      return TRUE;
    case WM_COMMAND:
      if (r->command) r->command(f, LOWORD(wp), HIWORD(wp), (intptr_t)lp);
      return TRUE;
    case WM_SETFOCUS:
      if (r->focus) r->focus(f);
      return FALSE;
    case WM_ACTIVATE:
      if (LOWORD(wp) != WA_INACTIVE && r->focus) r->focus(f);
      return FALSE;
    case WM_LBUTTONDOWN:
      if (r->lbuttondown) r->lbuttondown(f);
      return TRUE;
    case WM_MOUSEMOVE:
      if (r->mousemove) r->mousemove(f);
      return TRUE;
    case WM_NCMOUSEMOVE:
      if (r->mousemove) r->mousemove(f);
      return FALSE;
    case WM_LBUTTONUP:
      if (r->lbuttonup) r->lbuttonup(f);
      return TRUE;
    case WM_NCLBUTTONUP:
      if (r->lbuttonup) r->lbuttonup(f);
      return FALSE;
    case WM_RBUTTONDOWN:
      if (r->rbuttondown) r->rbuttondown(f);
      return TRUE;
    case WM_RBUTTONUP:
      if (r->rbuttonup) r->rbuttonup(f);
      return TRUE;
    case WM_NCRBUTTONUP:
      if (r->rbuttonup) r->rbuttonup(f);
      return FALSE;
    case WM_MOVE:
      if (r->moved) r->moved(f, 0);
      return FALSE;
    case WM_SIZE:
      if (r->moved) r->moved(f, 1);
      return FALSE;
    case WM_PAINT:
      if (r->paint) r->paint(f);
      return TRUE;
    case WM_CLOSE:
      DestroyWindow(h);
      return TRUE;
    case WM_DESTROY:
      if (r->destroyed) r->destroyed(f);
      return FALSE;
    default:
      return FALSE;
  }
}

// ---- controls ------------------------------------------------------------------

intptr_t osaddstring(OsWin ctl, uint32_t msg, const char* text) {
  wchar_t w[1024];
  towide(text, w, 1024);
  return (intptr_t)SendMessageW((HWND)ctl, msg, 0, (LPARAM)w);
}

OsWin oscreateupdowncontrol(uint32_t style, OsWin parent, int id, OsWin buddy, int upper, int lower, int pos) {
  return (OsWin)CreateUpDownControl(style, 0, 0, 0, 0, (HWND)parent, id, oswin32instance(), (HWND)buddy, upper,
                                    lower, pos);
}

// ---- windows and the mouse -------------------------------------------------------

int osmovewindow(OsWin w, int32_t x, int32_t y, int32_t cx, int32_t cy, int repaint) {
  return MoveWindow((HWND)w, x, y, cx, cy, repaint ? TRUE : FALSE) ? 1 : 0;
}

int osgetclientrect(OsWin w, int32_t r[4]) {
  RECT rc;
  if (!GetClientRect((HWND)w, &rc)) return 0;
  r[0] = rc.left;
  r[1] = rc.top;
  r[2] = rc.right;
  r[3] = rc.bottom;
  return 1;
}

int osinvalidaterect(OsWin w, const int32_t* r, int erase) {
  RECT rc;
  if (r) SetRect(&rc, r[0], r[1], r[2], r[3]);
  return InvalidateRect((HWND)w, r ? &rc : nullptr, erase ? TRUE : FALSE) ? 1 : 0;
}

OsWin ossetcapture(OsWin w) { return (OsWin)SetCapture((HWND)w); }

int osreleasecapture() { return ReleaseCapture() ? 1 : 0; }

int osgetcursorpos(int32_t p[2]) {
  POINT pt;
  if (!GetCursorPos(&pt)) return 0;
  p[0] = pt.x;
  p[1] = pt.y;
  return 1;
}

int32_t osgetwindowlong(OsWin w, int index) { return (int32_t)GetWindowLongW((HWND)w, index); }

int32_t ossetwindowlong(OsWin w, int index, int32_t value) {
  return (int32_t)SetWindowLongW((HWND)w, index, (LONG)value);
}

typedef BOOL(WINAPI* SetLayeredFn)(HWND, COLORREF, BYTE, DWORD);

int ossetlayeredwindowattributes(void* fn, OsWin w, uint32_t key, uint8_t alpha, uint32_t flags) {
  if (!fn) return 0;
  return ((SetLayeredFn)fn)((HWND)w, key, alpha, flags) ? 1 : 0;
}

int oscuttoband(OsWin w, int32_t band) {
  HWND h = (HWND)w;
  RECT wr, cr;
  if (!GetWindowRect(h, &wr) || !GetClientRect(h, &cr)) return 0;
  POINT origin = {0, 0};
  ClientToScreen(h, &origin);
  int cx = origin.x - wr.left, cy = origin.y - wr.top;  // the client area in window pixels
  HRGN keep = CreateRectRgn(0, 0, wr.right - wr.left, wr.bottom - wr.top);
  HRGN hole = CreateRectRgn(cx, cy + band, cx + cr.right, cy + cr.bottom);
  if (!keep || !hole) {
    if (keep) DeleteObject(keep);
    if (hole) DeleteObject(hole);
    return 0;
  }
  CombineRgn(keep, keep, hole, RGN_DIFF);
  DeleteObject(hole);
  // The system owns the region from here on.
  if (!SetWindowRgn(h, keep, TRUE)) {
    DeleteObject(keep);
    return 0;
  }
  return 1;
}

int ostrackpopupmenu(OsWin owner, int32_t x, int32_t y, int n, const int* ids, const char* const* texts) {
  HMENU m = CreatePopupMenu();
  if (!m) return 0;
  for (int i = 0; i < n; i++) {
    wchar_t w[128];
    towide(texts[i], w, 128);
    AppendMenuW(m, MF_STRING, (UINT_PTR)ids[i], w);
  }
  BOOL ok = TrackPopupMenu(m, TPM_RIGHTBUTTON, x, y, 0, (HWND)owner, nullptr);
  DestroyMenu(m);
  return ok ? 1 : 0;
}

int osgetwindowmodulename(OsWin w, char* buf, int n) {
  if (n <= 0) return 0;
  buf[0] = 0;
  DWORD pid = 0;
  GetWindowThreadProcessId((HWND)w, &pid);
  HANDLE p = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, pid);
  if (!p) return 0;
  HMODULE module = (HMODULE)GetWindowLongPtrW((HWND)w, GWLP_HINSTANCE);
  wchar_t name[256];
  DWORD len = GetModuleBaseNameW(p, module, name, 256);
  CloseHandle(p);
  if (len == 0) return 0;
  int got = tosjis(name, (int)len, buf, n);
  return got < 0 ? (int)strlen(buf) : got;
}

// ---- painting --------------------------------------------------------------------

static PAINTSTRUCT gpaint;

OsHandle osbeginpaint(OsWin w) {
  HDC dc = BeginPaint((HWND)w, &gpaint);
  if (!dc) return 0;
  // Texts are drawn in the window's own (dialog) font.
  HFONT font = (HFONT)SendMessageW((HWND)w, WM_GETFONT, 0, 0);
  if (font) SelectObject(dc, font);
  return (OsHandle)dc;
}

void osendpaint(OsWin w, OsHandle) { EndPaint((HWND)w, &gpaint); }

int osrectangle(OsHandle dc, const int32_t r[4], uint32_t fill, uint32_t outline) {
  HDC h = (HDC)dc;
  HPEN pen = CreatePen(PS_SOLID, 0, outline);
  HBRUSH brush = fill == OS_NOFILL ? (HBRUSH)GetStockObject(NULL_BRUSH) : CreateSolidBrush(fill);
  if (!pen || !brush) {
    if (pen) DeleteObject(pen);
    if (brush && fill != OS_NOFILL) DeleteObject(brush);
    return 0;
  }
  HGDIOBJ oldpen = SelectObject(h, pen);
  HGDIOBJ oldbrush = SelectObject(h, brush);
  BOOL ok = Rectangle(h, r[0], r[1], r[2], r[3]);
  SelectObject(h, oldpen);
  SelectObject(h, oldbrush);
  DeleteObject(pen);
  if (fill != OS_NOFILL) DeleteObject(brush);
  return ok ? 1 : 0;
}

int osdrawline(OsHandle dc, int32_t x1, int32_t y1, int32_t x2, int32_t y2, uint32_t colour) {
  HDC h = (HDC)dc;
  HPEN pen = CreatePen(PS_SOLID, 0, colour);
  if (!pen) return 0;
  HGDIOBJ old = SelectObject(h, pen);
  MoveToEx(h, x1, y1, nullptr);
  BOOL ok = LineTo(h, x2, y2);
  SelectObject(h, old);
  DeleteObject(pen);
  return ok ? 1 : 0;
}

int ostextout(OsHandle dc, int32_t x, int32_t y, const char* text, uint32_t colour, const int32_t clip[4]) {
  HDC h = (HDC)dc;
  wchar_t w[256];
  towide(text, w, 256);
  RECT rc;
  SetRect(&rc, clip[0], clip[1], clip[2], clip[3]);
  SetBkMode(h, TRANSPARENT);
  SetTextColor(h, colour);
  return ExtTextOutW(h, x, y, ETO_CLIPPED, &rc, w, (UINT)wcslen(w), nullptr) ? 1 : 0;
}
