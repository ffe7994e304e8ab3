// The system seam on Windows.  Texts cross it as Shift-JIS bytes and are
// converted to and from UTF-16 with code page 932 explicitly, so the program
// behaves the same whatever the system's ANSI code page is.
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#include <commctrl.h>
#include <commdlg.h>
#include <shellapi.h>

#include <cstring>

#include "kesto.h"
#include "res/resource.h"
#include "os/win32/oswin32.h"

static HINSTANCE ginstance;
// The program's handlers, handed over with the main window.
static const OsHandlers* ghandlers;

const OsDialogHandlers* oswin32handlers(int templ) {
  if (!ghandlers) return nullptr;
  for (const OsDialogHandlers& d : ghandlers->dialogs)
    if (d.templ == templ) return &d;
  return nullptr;
}

void oswin32setinstance(HINSTANCE h) { ginstance = h; }
HINSTANCE oswin32instance() { return ginstance; }

// ---- folders -----------------------------------------------------------------

// Searching a folder is among the file calls (files.cpp): kestocard needs it.

int oscreatedirectory(const char* path) {
  wchar_t w[WBUF];
  towide(path, w, WBUF);
  SECURITY_ATTRIBUTES sa;
  sa.nLength = sizeof sa;
  sa.lpSecurityDescriptor = nullptr;
  sa.bInheritHandle = TRUE;
  return CreateDirectoryW(w, &sa) ? 1 : 0;
}

// ---- the system menu ----------------------------------------------------------

OsHandle osgetsystemmenu(OsWin w) { return (OsHandle)GetSystemMenu((HWND)w, FALSE); }

int osappendmenu(OsHandle menu, uint32_t flags, uint32_t id, const char* text) {
  wchar_t w[256];
  towide(text ? text : "", w, 256);
  return AppendMenuW((HMENU)menu, flags, (UINT_PTR)id, (flags & OS_MF_SEPARATOR) ? nullptr : w) ? 1 : 0;
}

int oscheckmenuitem(OsHandle menu, uint32_t id, int checked) {
  return CheckMenuItem((HMENU)menu, id, MF_BYCOMMAND | (checked ? MF_CHECKED : MF_UNCHECKED)) != (DWORD)-1;
}

int osmodifymenu(OsHandle menu, uint32_t id, uint32_t flags, const char* text) {
  wchar_t w[256];
  towide(text ? text : "", w, 256);
  return ModifyMenuW((HMENU)menu, id, MF_BYCOMMAND | MF_STRING | (flags & OS_MF_CHECKED ? MF_CHECKED : 0),
                     (UINT_PTR)id, w)
             ? 1
             : 0;
}

// ---- the clipboard's text -----------------------------------------------------------

int ossetclipboardtext(OsWin owner, const char* text) {
  wchar_t w[WBUF];
  towide(text ? text : "", w, WBUF);
  size_t bytes = (wcslen(w) + 1) * sizeof(wchar_t);
  HGLOBAL m = GlobalAlloc(GMEM_MOVEABLE, bytes);
  if (!m) return 0;
  void* p = GlobalLock(m);
  if (!p) {
    GlobalFree(m);
    return 0;
  }
  memcpy(p, w, bytes);
  GlobalUnlock(m);
  if (!OpenClipboard((HWND)owner)) {
    GlobalFree(m);
    return 0;
  }
  EmptyClipboard();
  // Once set, the memory is the clipboard's.
  int ok = SetClipboardData(CF_UNICODETEXT, m) != nullptr;
  CloseClipboard();
  if (!ok) GlobalFree(m);
  return ok;
}

// ---- messages --------------------------------------------------------------

int osmessagebox(OsWin owner, const char* text, const char* caption, uint32_t type) {
  wchar_t wt[WBUF], wc[256];
  towide(text, wt, WBUF);
  towide(caption, wc, 256);
  return MessageBoxW((HWND)owner, wt, wc, type);
}

// ---- the open-file dialog ---------------------------------------------------

static uint32_t gfilenameerror;  // a chosen path the program cannot hold

int osgetopenfilename(OsWin owner, const char* filter, const char* initialdir, const char* title,
                      uint32_t flags, char* path, uint32_t n) {
  gfilenameerror = 0;
  // The filter's pairs, each converted on its own, keep their NULs.
  wchar_t wfilter[WBUF];
  int at = 0;
  for (const char* p = filter; p && *p && at < WBUF - 2; p += strlen(p) + 1) {
    wchar_t piece[256];
    towide(p, piece, 256);
    int len = (int)wcslen(piece);
    if (at + len + 2 > WBUF) break;
    memcpy(wfilter + at, piece, (len + 1) * sizeof(wchar_t));
    at += len + 1;
  }
  wfilter[at] = 0;
  wfilter[at + 1] = 0;
  wchar_t wdir[WBUF], wtitle[256], wpath[WBUF];
  towide(initialdir, wdir, WBUF);
  towide(title, wtitle, 256);
  towide(path, wpath, (int)n < WBUF ? (int)n : WBUF);

  OPENFILENAMEW ofn;
  memset(&ofn, 0, sizeof ofn);
  ofn.lStructSize = sizeof ofn;
  ofn.hwndOwner = (HWND)owner;
  ofn.lpstrFilter = wfilter;
  ofn.nFilterIndex = 1;
  ofn.lpstrFile = wpath;
  ofn.nMaxFile = (int)n < WBUF ? n : WBUF;
  ofn.lpstrInitialDir = initialdir && *initialdir ? wdir : nullptr;
  ofn.lpstrTitle = wtitle;
  // The current folder is the program folder, where files named without a
  // folder go: the dialog must not move it to the folder the user browsed.
  ofn.Flags = flags | OFN_NOCHANGEDIR;
  if (!GetOpenFileNameW(&ofn)) return 0;

  // The choice comes back as Shift-JIS, whole or not at all.
  BOOL lossy = FALSE;
  int need = WideCharToMultiByte(932, WC_NO_BEST_FIT_CHARS, wpath, -1, nullptr, 0, nullptr, &lossy);
  if (need <= 0 || lossy) {
    gfilenameerror = OS_FNERR_INVALIDFILENAME;
    return 0;
  }
  if ((uint32_t)need > n) {
    gfilenameerror = OS_FNERR_BUFFERTOOSMALL;
    return 0;
  }
  WideCharToMultiByte(932, WC_NO_BEST_FIT_CHARS, wpath, -1, path, (int)n, nullptr, nullptr);
  return 1;
}

uint32_t oscommdlgextendederror() { return gfilenameerror ? gfilenameerror : CommDlgExtendedError(); }

// ---- windows and dialog items ---------------------------------------------

int ossetwindowtext(OsWin w, const char* text) {
  wchar_t wt[WBUF];
  towide(text, wt, WBUF);
  return SetWindowTextW((HWND)w, wt) ? 1 : 0;
}

int osgetwindowtext(OsWin w, char* buf, int n) {
  if (n <= 0) return 0;
  wchar_t wt[WBUF];
  int len = GetWindowTextW((HWND)w, wt, WBUF);
  int got = tosjis(wt, len, buf, n);
  return got < 0 ? (int)strlen(buf) : got;
}

int ossetdlgitemtext(OsWin dlg, int id, const char* text) {
  wchar_t wt[WBUF];
  towide(text, wt, WBUF);
  return SetDlgItemTextW((HWND)dlg, id, wt) ? 1 : 0;
}

int osgetdlgitemtext(OsWin dlg, int id, char* buf, int n) {
  if (n <= 0) return 0;
  wchar_t wt[WBUF];
  int len = (int)GetDlgItemTextW((HWND)dlg, id, wt, WBUF);
  int got = tosjis(wt, len, buf, n);
  return got < 0 ? (int)strlen(buf) : got;
}

int ossetdlgitemint(OsWin dlg, int id, int value, int issigned) {
  return SetDlgItemInt((HWND)dlg, id, (UINT)value, issigned) ? 1 : 0;
}

int osgetdlgitemint(OsWin dlg, int id, int* ok, int issigned) {
  BOOL b = FALSE;
  UINT v = GetDlgItemInt((HWND)dlg, id, &b, issigned);
  if (ok) *ok = b;
  return (int)v;
}

int oscheckdlgbutton(OsWin dlg, int id, int check) {
  return CheckDlgButton((HWND)dlg, id, check) ? 1 : 0;
}

int osisdlgbuttonchecked(OsWin dlg, int id) { return (int)IsDlgButtonChecked((HWND)dlg, id); }

OsWin osgetdlgitem(OsWin dlg, int id) { return (OsWin)GetDlgItem((HWND)dlg, id); }

int osnovisualstyle(OsWin ctl) {
  // uxtheme is looked up at run time: without it there are no visual styles to turn off.
  typedef HRESULT(WINAPI * SetWindowThemeFn)(HWND, LPCWSTR, LPCWSTR);
  static HMODULE uxtheme = LoadLibraryW(L"uxtheme.dll");
  if (!uxtheme || !ctl) return 0;
  SetWindowThemeFn set = (SetWindowThemeFn)(void*)GetProcAddress(uxtheme, "SetWindowTheme");
  return set && set((HWND)ctl, L"", L"") == S_OK ? 1 : 0;
}

void ossendcommand(OsWin w, int id) { SendMessageW((HWND)w, WM_COMMAND, (WPARAM)id, 0); }

// ---- other programs ----------------------------------------------------------

int oscreateprocess(const char* program, const char* cmdline, int inherit, uint32_t flags,
                    const OsPlacement* place) {
  wchar_t app[WBUF];
  towide(program, app, WBUF);
  static wchar_t line[4 * WBUF];  // CreateProcessW may write into the line
  towide(cmdline, line, 4 * WBUF);
  STARTUPINFOW si;
  memset(&si, 0, sizeof si);
  si.cb = sizeof si;
  if (place) {
    si.dwFlags = STARTF_USEPOSITION | STARTF_USESIZE;
    si.dwX = (DWORD)place->x;
    si.dwY = (DWORD)place->y;
    si.dwXSize = (DWORD)place->w;
    si.dwYSize = (DWORD)place->h;
  }
  PROCESS_INFORMATION pi;
  memset(&pi, 0, sizeof pi);
  if (!CreateProcessW(app, line, nullptr, nullptr, inherit ? TRUE : FALSE, flags, nullptr, nullptr, &si, &pi))
    return 0;
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  return 1;
}

int osshellopen(OsWin owner, const char* path) {
  wchar_t w[WBUF];
  towide(path, w, WBUF);
  // No message of the system's own when nothing opens the file: the caller
  // tells the user.
  SHELLEXECUTEINFOW sei;
  memset(&sei, 0, sizeof sei);
  sei.cbSize = sizeof sei;
  sei.fMask = SEE_MASK_FLAG_NO_UI;
  sei.hwnd = (HWND)owner;
  sei.lpVerb = L"open";
  sei.lpFile = w;
  sei.nShow = SW_SHOWNORMAL;
  return ShellExecuteExW(&sei) ? 1 : 0;
}

void osshowwindow(OsWin w, int cmd) { ShowWindow((HWND)w, cmd); }

void osupdatewindow(OsWin w) { UpdateWindow((HWND)w); }

OsWin osfindwindow(const char* cls, const char* title) {
  wchar_t wc[256], wt[WBUF];
  towide(cls, wc, 256);
  towide(title, wt, WBUF);
  return (OsWin)FindWindowW(cls ? wc : nullptr, title ? wt : nullptr);
}

int ossetforegroundwindow(OsWin w) { return SetForegroundWindow((HWND)w) ? 1 : 0; }

OsWin osgetforegroundwindow() { return (OsWin)GetForegroundWindow(); }

OsWin osgetwindow(OsWin w, uint32_t cmd) { return (OsWin)GetWindow((HWND)w, cmd); }

// ---- timers, clipboard, screen, clock ---------------------------------------

int ossettimer(OsWin w, int id, uint32_t ms) { return (int)SetTimer((HWND)w, id, ms, nullptr); }

int oskilltimer(OsWin w, int id) { return KillTimer((HWND)w, id) ? 1 : 0; }

int osopenclipboard(OsWin w) { return OpenClipboard((HWND)w) ? 1 : 0; }

int osemptyclipboard() { return EmptyClipboard() ? 1 : 0; }

int oscloseclipboard() { return CloseClipboard() ? 1 : 0; }

OsHandle osgetclipboardbitmap() { return (OsHandle)GetClipboardData(CF_BITMAP); }

uint32_t osgetclipboardsequencenumber() { return (uint32_t)GetClipboardSequenceNumber(); }

int osgetsystemmetrics(int index) {
  return GetSystemMetrics(index == OS_SM_CXSCREEN ? SM_CXSCREEN : SM_CYSCREEN);
}

int osqueryperformancefrequency(int64_t* f) {
  LARGE_INTEGER li;
  BOOL ok = QueryPerformanceFrequency(&li);
  *f = ok ? li.QuadPart : 0;
  return ok ? 1 : 0;
}

int osqueryperformancecounter(int64_t* c) {
  LARGE_INTEGER li;
  BOOL ok = QueryPerformanceCounter(&li);
  *c = ok ? li.QuadPart : 0;
  return ok ? 1 : 0;
}

// ---- bitmaps and the screen -------------------------------------------------

// A BITMAPINFO with room for what a query may add after the header (colour
// table or bit-field masks).
struct DibInfo {
  BITMAPINFOHEADER h;
  RGBQUAD colours[256];
};

static void fromheader(const BITMAPINFOHEADER& b, OsBitmapHeader* h) {
  h->size = b.biSize;
  h->width = b.biWidth;
  h->height = b.biHeight;
  h->planes = b.biPlanes;
  h->bitcount = b.biBitCount;
  h->compression = b.biCompression;
  h->sizeimage = b.biSizeImage;
  h->xppm = b.biXPelsPerMeter;
  h->yppm = b.biYPelsPerMeter;
  h->clrused = b.biClrUsed;
  h->clrimportant = b.biClrImportant;
}

static void toheader(const OsBitmapHeader& h, BITMAPINFOHEADER* b) {
  b->biSize = sizeof *b;
  b->biWidth = h.width;
  b->biHeight = h.height;
  b->biPlanes = h.planes;
  b->biBitCount = h.bitcount;
  b->biCompression = h.compression;
  b->biSizeImage = h.sizeimage;
  b->biXPelsPerMeter = h.xppm;
  b->biYPelsPerMeter = h.yppm;
  b->biClrUsed = h.clrused;
  b->biClrImportant = h.clrimportant;
}

static uint64_t rows24(int64_t w, int64_t h) {
  if (w < 0) w = -w;
  if (h < 0) h = -h;
  return (uint64_t)((w * 3 + 3) & ~(int64_t)3) * (uint64_t)h;
}

// The header of a bitmap not selected into any context.
static int queryheader(HDC dc, HBITMAP bm, OsBitmapHeader* h) {
  DibInfo bi;
  memset(&bi, 0, sizeof bi);
  bi.h.biSize = sizeof bi.h;
  int ok = GetDIBits(dc, bm, 0, 0, nullptr, (BITMAPINFO*)&bi, DIB_RGB_COLORS) != 0;
  fromheader(bi.h, h);
  return ok;
}

// All rows of a bitmap as bottom-up 24-bit rows, when they fit size bytes.
static int fetchrows(HDC dc, HBITMAP bm, int32_t w, int32_t h, void* buf, uint32_t size, OsBitmapHeader* hd) {
  if (h < 0) h = -h;
  uint64_t need = rows24(w, h);
  if (w <= 0 || h <= 0 || need > size) return 0;
  DibInfo bi;
  memset(&bi, 0, sizeof bi);
  OsBitmapHeader x = *hd;
  x.width = w;
  x.height = h;
  x.planes = 1;
  x.bitcount = 24;
  x.compression = BI_RGB;
  x.sizeimage = (uint32_t)need;
  toheader(x, &bi.h);
  int got = GetDIBits(dc, bm, 0, (UINT)h, buf, (BITMAPINFO*)&bi, DIB_RGB_COLORS);
  hd->bitcount = 24;
  hd->compression = BI_RGB;
  hd->sizeimage = (uint32_t)need;
  return got == h;
}

int osgetbitmapheader(OsHandle bmp, OsBitmapHeader* h) {
  memset(h, 0, sizeof *h);
  h->size = 40;
  HDC dc = GetDC(nullptr);
  int ok = queryheader(dc, (HBITMAP)bmp, h);
  ReleaseDC(nullptr, dc);
  return ok;
}

int osgetbitmaprows(OsHandle bmp, OsBitmapHeader* h, void* buf, uint32_t size) {
  HDC dc = GetDC(nullptr);
  int ok = fetchrows(dc, (HBITMAP)bmp, h->width, h->height, buf, size, h);
  ReleaseDC(nullptr, dc);
  return ok;
}

int osgrabscreen(const int32_t r[4], OsBitmapHeader* h, void* buf, uint32_t size) {
  int64_t w = (int64_t)r[2] - r[0], hh = (int64_t)r[3] - r[1];
  if (w < 0) w = -w;
  if (hh < 0) hh = -hh;
  memset(h, 0, sizeof *h);
  h->size = 40;
  if (w == 0 || hh == 0 || w > 0x7FFFFFFF || hh > 0x7FFFFFFF) return 0;
  HWND desk = GetDesktopWindow();
  HDC screen = GetDC(desk);
  HDC mem = CreateCompatibleDC(screen);
  HBITMAP bm = CreateCompatibleBitmap(screen, (int)w, (int)hh);
  int ok = 0;
  if (mem && bm) {
    HGDIOBJ old = SelectObject(mem, bm);
    // A copy that fails leaves the bitmap as it was made: no picture.
    BOOL blitted = BitBlt(mem, 0, 0, (int)w, (int)hh, screen, r[0], r[1], SRCCOPY);
    // GetDIBits wants the bitmap out of every context.
    SelectObject(mem, old);
    if (blitted && queryheader(screen, bm, h) && h->planes == 1)
      ok = fetchrows(screen, bm, (int32_t)w, (int32_t)hh, buf, size, h);
  }
  if (mem) DeleteDC(mem);
  if (bm) DeleteObject(bm);
  ReleaseDC(desk, screen);
  return ok;
}

int osgetwindowrect(OsWin w, int32_t r[4]) {
  RECT rc;
  if (!GetWindowRect((HWND)w, &rc)) return 0;
  r[0] = rc.left;
  r[1] = rc.top;
  r[2] = rc.right;
  r[3] = rc.bottom;
  return 1;
}

// ---- keys and memory ----------------------------------------------------------

uint16_t osgetasynckeystate(int vk) { return (uint16_t)GetAsyncKeyState(vk); }

uint32_t osavailphys() {
  MEMORYSTATUS ms;
  memset(&ms, 0, sizeof ms);
  ms.dwLength = sizeof ms;
  GlobalMemoryStatus(&ms);
  return ms.dwAvailPhys > 0xFFFFFFFFu ? 0xFFFFFFFFu : (uint32_t)ms.dwAvailPhys;
}

// The movable memory blocks are in files.cpp, which kestocard.exe shares.

// ---- messages to windows --------------------------------------------------------

intptr_t ossendmessage(OsWin w, uint32_t msg, uintptr_t wp, intptr_t lp) {
  return (intptr_t)SendMessageW((HWND)w, msg, (WPARAM)wp, (LPARAM)lp);
}

void ospostcommand(OsWin w, int id) { PostMessageW((HWND)w, WM_COMMAND, (WPARAM)id, 0); }

// ---- start-up and the message loop -------------------------------------------

OsHandle oscreatemutex(const char* name, int owned) {
  wchar_t w[256];
  towide(name, w, 256);
  // Nothing may run between CreateMutexW and GetLastError.
  return (OsHandle)CreateMutexW(nullptr, owned ? TRUE : FALSE, w);
}

OsHandle osloadlibrary(const char* name) {
  wchar_t w[256];
  towide(name, w, 256);
  return (OsHandle)LoadLibraryW(w);
}

void* osgetprocaddress(OsHandle module, const char* name) {
  return (void*)GetProcAddress((HMODULE)module, name);
}

int osfreelibrary(OsHandle module) { return FreeLibrary((HMODULE)module) ? 1 : 0; }

// Looked up in user32 at run time: Windows XP and Wine 8 lack them.
typedef BOOL(WINAPI* BlockCreateFn)(HWND, LPCWSTR);
typedef BOOL(WINAPI* BlockDestroyFn)(HWND);

static FARPROC user32proc(const char* name) {
  HMODULE u = GetModuleHandleW(L"user32.dll");
  return u ? GetProcAddress(u, name) : nullptr;
}

int osshutdownblockreasoncreate(OsWin w, const char* reason) {
  BlockCreateFn f = (BlockCreateFn)(void*)user32proc("ShutdownBlockReasonCreate");
  if (!f) return 0;
  wchar_t wr[256];
  towide(reason, wr, 256);
  return f((HWND)w, wr) ? 1 : 0;
}

int osshutdownblockreasondestroy(OsWin w) {
  BlockDestroyFn f = (BlockDestroyFn)(void*)user32proc("ShutdownBlockReasonDestroy");
  return f && f((HWND)w) ? 1 : 0;
}

// The main window procedure: the window class "KESTO" and the dialog template
// of the same name bring every message of the main window here.
static LRESULT CALLBACK mainwndproc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
  const OsMainHandlers* m = ghandlers ? &ghandlers->main : nullptr;
  if (!m) return DefWindowProcW(h, msg, wp, lp);
  switch (msg) {
    case WM_CREATE:
      if (m->create) m->create((OsWin)h);
      return 0;
    case WM_INITDIALOG:
      if (m->initdialog) m->initdialog();
      return 0;
    case WM_COMMAND:
      if (m->command) m->command(LOWORD(wp), HIWORD(wp));
      return 0;
    case WM_TIMER:
      if (m->timer) m->timer((int)wp);
      return 0;
    case WM_SETFOCUS:
      return 0;
    case WM_CLOSE:
      // The close box ends the program as 終了 does (a burst's frames are
      // written out first); the window stays until the process ends.
      if (m->close) m->close();
      return 0;
    case WM_QUERYENDSESSION:
      return !m->queryend || m->queryend() ? TRUE : FALSE;
    case WM_ENDSESSION:
      // Windows ends the process once this returns: what is left of a burst
      // is written out before.
      if (m->endsession) m->endsession(wp ? 1 : 0);
      return 0;
    case WM_DESTROY:
      if (m->destroy) m->destroy();
      return 0;
    case OSWIN32_WM_SOCKET:
      // WSAAsyncSelect's message: the socket, then the event in the low
      // word of lParam and its error in the high word.
      if (m->socket) m->socket((OsSocket)wp, LOWORD(lp), HIWORD(lp));
      return 0;
    case WM_SYSCOMMAND:
      // The system uses the low four bits of the id.
      if (m->syscommand && m->syscommand((int)(wp & 0xFFF0))) return 0;
      return DefWindowProcW(h, msg, wp, lp);
    default:
      return DefWindowProcW(h, msg, wp, lp);
  }
}

// CreateDialogParam sends WM_INITDIALOG only when it is given a dialog
// procedure; the main window procedure serves as that too.
static INT_PTR CALLBACK maindlgproc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
  return (INT_PTR)mainwndproc(h, msg, wp, lp);
}

int osregistermainclass() {
  WNDCLASSW wc;
  memset(&wc, 0, sizeof wc);
  wc.style = CS_HREDRAW | CS_PARENTDC;
  wc.lpfnWndProc = mainwndproc;
  wc.cbClsExtra = 0;
  wc.cbWndExtra = DLGWINDOWEXTRA;
  wc.hInstance = ginstance;
  wc.hIcon = LoadIconW(ginstance, MAKEINTRESOURCEW(103));
  wc.hCursor = LoadCursorW(nullptr, (LPCWSTR)IDC_ARROW);
  wc.hbrBackground = (HBRUSH)(COLOR_BTNFACE + 1);
  wc.lpszMenuName = nullptr;
  wc.lpszClassName = L"KESTO";
  return RegisterClassW(&wc) ? 1 : 0;
}

OsWin oscreatemaindialog(const OsHandlers* handlers) {
  ghandlers = handlers;
  return (OsWin)CreateDialogParamW(ginstance, L"KESTO", nullptr, maindlgproc, 0);
}

// The modeless dialogs that are open, for the dialog keyboard handling of the
// message loop.
#define MODELESS 8
static HWND gmodeless[MODELESS];

static void forgetdialog(HWND h) {
  for (HWND& m : gmodeless)
    if (m == h) m = nullptr;
}

static bool ismodeless(HWND h) {
  for (HWND m : gmodeless)
    if (m && m == h) return true;
  return false;
}

// The settings, play-log and live dialogs: every message they answer goes to
// their handlers.  The close box arrives as WM_CLOSE, Esc as IDCANCEL.
template <int TEMPL>
static INT_PTR CALLBACK forwardproc(HWND h, UINT msg, WPARAM wp, LPARAM) {
  const OsDialogHandlers* d = oswin32handlers(TEMPL);
  if (!d) return FALSE;
  switch (msg) {
    case WM_INITDIALOG:
      if (d->init) d->init((OsWin)h);
      return TRUE;
    case WM_COMMAND:
      if (LOWORD(wp) == IDCANCEL) {
        if (d->close) d->close((OsWin)h);
      } else if (d->command) {
        d->command((OsWin)h, LOWORD(wp), HIWORD(wp), 0);
      }
      return TRUE;
    case WM_CLOSE:
      if (d->close) d->close((OsWin)h);
      return TRUE;
    case WM_DESTROY:
      forgetdialog(h);
      return FALSE;
    default:
      return FALSE;
  }
}

static INT_PTR CALLBACK plaindlgproc(HWND, UINT, WPARAM, LPARAM) { return FALSE; }

OsWin oscreatedialog(int templ, OsWin owner) {
  // The capture area dialog and the frame get no dialog keyboard handling:
  // Esc and Enter do not press their buttons.
  if (!oswin32handlers(templ)) return 0;
  DLGPROC proc = plaindlgproc;
  bool keys = true;
  switch (templ) {
    case IDD_SETTINGS: proc = forwardproc<IDD_SETTINGS>; break;
    case IDD_PLAYLOG: proc = forwardproc<IDD_PLAYLOG>; break;
    case IDD_LIVE: proc = forwardproc<IDD_LIVE>; break;
    case IDD_AREA: proc = oswin32areaproc; keys = false; break;
    case IDD_FRAME: proc = oswin32frameproc; keys = false; break;
    default: break;
  }
  HWND h = CreateDialogParamW(ginstance, MAKEINTRESOURCEW(templ), (HWND)owner, proc, 0);
  if (!h) return 0;
  if (keys)
    for (HWND& m : gmodeless)
      if (!m || !IsWindow(m)) {
        m = h;
        break;
      }
  return (OsWin)h;
}

int osdestroywindow(OsWin w) {
  forgetdialog((HWND)w);
  return DestroyWindow((HWND)w) ? 1 : 0;
}

void ospostquitmessage(int code) { PostQuitMessage(code); }

int osmessageloop(OsWin dlg) {
  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
    if (dlg && IsDialogMessageW((HWND)dlg, &msg)) continue;
    HWND root = msg.hwnd ? GetAncestor(msg.hwnd, GA_ROOT) : nullptr;
    if (root && ismodeless(root) && IsDialogMessageW(root, &msg)) continue;
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  return (int)msg.wParam;
}

void osinitcommoncontrols() {
  INITCOMMONCONTROLSEX icc;
  icc.dwSize = sizeof icc;
  icc.dwICC = ICC_PROGRESS_CLASS | ICC_UPDOWN_CLASS | ICC_STANDARD_CLASSES;
  if (!InitCommonControlsEx(&icc)) InitCommonControls();
}
