// probe.exe: drives and inspects the windows of another process from outside,
// the way a user (or an accessibility tool) would. One subcommand per run; the
// results go to stdout as ASCII lines "key value", a failure ends with exit
// code 1 and a one-line reason on stderr. Every wait polls against a deadline.
// A window may go away at any moment, above all when the probe's own input
// ends it: a posted input that was queued counts as done, and a read from a
// window that vanished meanwhile fails with that reason, never with partial
// output.
//
// Texts read from windows are printed twice: as the hexadecimal bytes of code
// page 932 (converted explicitly with 932, never with the ANSI code page, so
// the result does not depend on the system locale) and as UTF-8 with CR, LF
// and TAB escaped, for logs.
//
// Window handles are printed and taken as hexadecimal ("0x1a2b"); control ids
// as decimal or "0x" hexadecimal, -1 meaning 0xFFFF.
//
// Subcommands (timeouts in milliseconds, defaults in brackets):
//   find CLASS TITLE [5000]   wait for a top-level window; "*" matches any
//                             class or title; prints the handle
//   findall CLASS TITLE       print every matching top-level window, no wait
//   list                      every top-level window: handle, pid, visible,
//                             class and title
//   text HWND ID              text of a control (cp932 / utf8 / lossy lines)
//   title HWND                the window's own text, likewise
//   waittext HWND ID HEX [5000]  wait until the control's CP932 text equals HEX
//                             ("-" for the empty text); prints the text
//   controls HWND             the direct child windows in Z order (creation
//                             order for dialog templates): one "ctl" line each
//   click HWND ID             post BM_CLICK to the control
//   reclick HWND ID GAPMS [clip]  two BM_CLICKs GAPMS apart, then with clip a
//                             new 64 x 64 bitmap on the clipboard GAPMS later
//   endsession HWND           WM_QUERYENDSESSION, then WM_ENDSESSION (TRUE)
//                             when the window allows it; prints "query 0|1"
//   key HWND VK               post WM_KEYDOWN/WM_KEYUP to the window's focused
//                             control (or the window when nothing in it has the
//                             focus); this goes through the target's message
//                             loop, so IsDialogMessage turns Enter and Esc into
//                             IDOK / IDCANCEL as a real key press would.
//                             VK: enter, esc, tab, space or a number. A target
//                             that the key-down itself ends (Enter closing a
//                             dialog) gets no key-up; that is success
//   close HWND [sc]           post WM_CLOSE, or WM_SYSCOMMAND SC_CLOSE with "sc"
//   syscmd HWND ID            post WM_SYSCOMMAND with ID, as choosing the
//                             entry of that id in the window's system menu
//   settext HWND ID TEXT      WM_SETTEXT on the control
//   check HWND ID             BM_GETCHECK: prints 0, 1 or 2
//   msgbox [5000]             wait for a message box and describe it; its
//                             icon is read from the screen once painted
//                             (polled for up to 2 s; "icon_ms" says when)
//   answer ID [5000]          press button ID of the message box (posts
//                             WM_COMMAND) and wait until the box is gone
//   nomsgbox MS               succeed when no message box shows up within MS
//   clipbmp W H PATTERN       put a CF_BITMAP on the clipboard; PATTERN is
//                             "stripes", "grad" or "solid:RRGGBB"
//   clipscreen [FILE.bmp]     what PrintScreen does: the whole screen as a
//                             CF_BITMAP on the clipboard; with FILE the same
//                             pixels as a 24-bit BMP; prints "size W H"
//   rect HWND                 the window rectangle: "rect L T R B"
//   client HWND               the client area on the screen: "client X Y W H"
//                             (its top-left corner in screen coordinates and
//                             its size)
//   waitrect WIN L T R B [5000] [click=HWND:ID]
//                             wait until the window rectangle of WIN is L T R
//                             B, reading it every 5 ms; WIN is a handle or
//                             "owned:HWND", the first visible top-level
//                             "#32770" that HWND owns, looked for anew at each
//                             reading (a window that the click itself makes).
//                             With click= it first posts BM_CLICK to that
//                             control, so that the time is the program's own,
//                             not the probe's start. Prints "hwnd H", "ms N",
//                             the milliseconds from the start (or the click)
//                             to the match, and "seen N", those until the
//                             matching window was first found; a timeout names
//                             the last rectangle
//   grabtime W H N            N screen grabs of W x H pixels the way a burst
//                             takes them (compatible bitmap, BitBlt, GetDIBits
//                             to 24-bit rows); prints "grab_us" per grab
//   clipinfo                  clipboard sequence number and formats
//   foreground                the foreground window: handle, class, title
//   waitgone HWND [5000]      wait until the window no longer exists
//   waitfg HWND [5000]        wait until HWND is the foreground window
//   shot HWND FILE.bmp        screen pixels of the window as a 24-bit BMP;
//                             prints "size W H" and "client X Y W H", where the
//                             client area lies in the picture
//   pid HWND                  the process id owning the window
//   xwindow HWND [5000]       wait until Wine's X11 driver has given the
//                             top-level window its X window and print that
//                             window's id in decimal (the window property
//                             "__wine_x11_whole_window"), so that X tools can
//                             address it without matching titles, whose X
//                             encoding depends on the locale
//   watch HWND ID MS [HWND ID ...]
//                             follow the texts of the controls for MS ms,
//                             reading them every 5 ms; one line per change:
//                             "<GetTickCount64 ms> <id> <cp932 hex or ->", the
//                             first line of each control being its text at
//                             the start; with touch=FILE@MS arguments it
//                             creates FILE MS ms after that first reading and
//                             prints "touch <GetTickCount64 ms> <n>"
//   cputime PID|HWND          CPU time (user + kernel) of a process given by
//                             its decimal id or a window ("0x..."): cpu_ms
//                             (from the system process list, else from
//                             GetProcessTimes), the other figures for
//                             comparison, tick (GetTickCount64 when read) and
//                             running (0 once it has ended)
//   openfile PATH [5000]      wait for the system open-file dialog (a visible
//                             top-level "#32770" titled "File Name"), print
//                             its handle, owner and first file-type entry, put
//                             PATH into its file-name field and press OK, or
//                             press Cancel when PATH is "-"; then wait until
//                             the dialog is gone
//   items HWND ID             entries of a combo or list box: "count N",
//                             "sel N" and "item I HEX" (CP932) per entry
//   select HWND ID N          pick entry N of a combo or list box as a user
//                             does: set the selection, then notify the parent
//                             (CBN_SELCHANGE or LBN_SELCHANGE)
//   owned HWND                the top-level windows HWND owns: one line
//                             "win HWND CLASS VISIBLE EXSTYLE L T R B" each
//   cursor                    the mouse position on the screen: "cursor X Y"
//   topmost                   the visible topmost windows, top first: "top
//                             HWND XWIN" (XWIN: the X window, decimal)
//   gonetime ACTION TIMEOUT HWND...
//                             post ACTION (click=HWND:ID, close=HWND, sc=HWND
//                             or key=HWND:esc|enter) and time, reading every
//                             5 ms, until each HWND is hidden and gone:
//                             "hidden HWND MS", "gone HWND MS", "ms N"
//   hold PATH SHARE MARKER RELEASE [60000]
//                             another program holding a file: opens PATH for
//                             reading with the share mode SHARE ("0", "r",
//                             "w" or "rw": FILE_SHARE_READ / _WRITE), creates
//                             the file MARKER once it holds it, and closes it
//                             when the file RELEASE appears (polled every
//                             20 ms); fails when not released in time
//   textfit HWND FACE POINTS [WEIGHT] [CHARSET]
//                             the child controls' texts measured in the font
//                             of a dialog template's FONT line, against the
//                             room each control gives its text (see
//                             cmdtextfit)
#include <windows.h>

#include <fcntl.h>
#include <io.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <wchar.h>

namespace {

const UINT kSendTimeout = 2000;

int fail(const char *fmt, ...) {
  va_list ap;
  va_start(ap, fmt);
  fputs("probe: ", stderr);
  vfprintf(stderr, fmt, ap);
  fputc('\n', stderr);
  va_end(ap);
  return 1;
}

// UTF-8 bytes of a wide string (for logs and argument echo).
void toutf8(const wchar_t *w, int wlen, char *out, int outsize) {
  int n = WideCharToMultiByte(CP_UTF8, 0, w, wlen, out, outsize - 1, NULL, NULL);
  if (n < 0) n = 0;
  out[n] = 0;
}

// Prints "<key>cp932 HEX", "<key>utf8 TEXT" and "<key>lossy 0|1".
void printtext(const char *key, const wchar_t *w, int wlen) {
  static char mb[131072];
  static char u8[262144];
  BOOL lossy = FALSE;
  int n = 0;
  if (wlen > 0) n = WideCharToMultiByte(932, WC_NO_BEST_FIT_CHARS, w, wlen, mb, sizeof mb, NULL, &lossy);
  printf("%scp932 ", key);
  for (int i = 0; i < n; i++) printf("%02x", (unsigned char)mb[i]);
  printf("\n");
  toutf8(w, wlen, u8, sizeof u8);
  printf("%sutf8 ", key);
  for (const char *p = u8; *p; p++) {
    if (*p == '\r') fputs("\\r", stdout);
    else if (*p == '\n') fputs("\\n", stdout);
    else if (*p == '\t') fputs("\\t", stdout);
    else if (*p == '\\') fputs("\\\\", stdout);
    else fputc(*p, stdout);
  }
  printf("\n%slossy %d\n", key, lossy ? 1 : 0);
}

// WM_GETTEXT across processes; returns the length or -1 when the window did
// not answer in time.
int readtext(HWND h, wchar_t *buf, int size) {
  DWORD_PTR r = 0;
  buf[0] = 0;
  if (!SendMessageTimeoutW(h, WM_GETTEXT, (WPARAM)size, (LPARAM)buf, SMTO_ABORTIFHUNG, kSendTimeout, &r))
    return -1;
  if ((int)r >= size) r = size - 1;
  buf[r] = 0;
  return (int)wcslen(buf);
}

// Why a message to a window got no answer: the window may have been destroyed
// meanwhile, which is a different fault from a hung one.
const char *noanswer(HWND h) { return IsWindow(h) ? "no answer in time" : "the window is gone"; }

unsigned long long hx(HWND h) { return (unsigned long long)(ULONG_PTR)h; }

bool parsehwnd(const wchar_t *s, HWND *out) {
  wchar_t *end = NULL;
  unsigned long long v = wcstoull(s, &end, 16);
  if (!end || *end || end == s) return false;
  *out = (HWND)(ULONG_PTR)v;
  return true;
}

bool parseint(const wchar_t *s, long long *out) {
  wchar_t *end = NULL;
  long long v = wcstoll(s, &end, 0);
  if (!end || *end || end == s) return false;
  *out = v;
  return true;
}

int parsetimeout(int argc, wchar_t **argv, int i, int def) {
  long long v;
  if (i < argc && parseint(argv[i], &v) && v >= 0) return (int)v;
  return def;
}

// Control of a dialog by id; -1 and 0xFFFF both name the static id.
HWND control(HWND dlg, long long id) {
  if (id == -1) id = 0xFFFF;
  HWND c = GetDlgItem(dlg, (int)id);
  if (!c && id == 0xFFFF) c = GetDlgItem(dlg, -1);
  return c;
}

bool wideeq(const wchar_t *pattern, const wchar_t *s) {
  return wcscmp(pattern, L"*") == 0 || wcscmp(pattern, s) == 0;
}

struct FindCtx {
  const wchar_t *cls;
  const wchar_t *title;
  HWND found[256];
  int count;
};

BOOL CALLBACK findproc(HWND h, LPARAM lp) {
  FindCtx *f = (FindCtx *)lp;
  wchar_t cls[256], title[1024];
  if (!GetClassNameW(h, cls, 256)) return TRUE;
  if (!wideeq(f->cls, cls)) return TRUE;
  if (readtext(h, title, 1024) < 0) title[0] = 0;
  if (!wideeq(f->title, title)) return TRUE;
  if (f->count < 256) f->found[f->count++] = h;
  return TRUE;
}

int findwindows(const wchar_t *cls, const wchar_t *title, HWND *out, int max) {
  static FindCtx f;
  f.cls = cls;
  f.title = title;
  f.count = 0;
  EnumWindows(findproc, (LPARAM)&f);
  int n = f.count < max ? f.count : max;
  for (int i = 0; i < n; i++) out[i] = f.found[i];
  return f.count;
}

// ---- message boxes -------------------------------------------------------

bool isclass(HWND h, const wchar_t *name) {
  wchar_t cls[64];
  return GetClassNameW(h, cls, 64) && _wcsicmp(cls, name) == 0;
}

// A message box: a visible top-level "#32770" window whose children are only
// statics and buttons, with a text static of id 0xFFFF and at least one
// button with a standard command id (IDOK .. IDCONTINUE).
bool ismsgbox(HWND h) {
  if (!IsWindowVisible(h) || !isclass(h, L"#32770")) return false;
  bool text = false, button = false;
  for (HWND c = GetWindow(h, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
    int id = GetDlgCtrlID(c) & 0xFFFF;
    if (isclass(c, L"Static")) {
      if (id == 0xFFFF) text = true;
    } else if (isclass(c, L"Button")) {
      if (id >= IDOK && id <= 11) button = true;
    } else {
      return false;
    }
  }
  return text && button;
}

struct BoxCtx {
  HWND box;
};

BOOL CALLBACK boxproc(HWND h, LPARAM lp) {
  if (ismsgbox(h)) {
    ((BoxCtx *)lp)->box = h;
    return FALSE;
  }
  return TRUE;
}

HWND findmsgbox() {
  BoxCtx b = {NULL};
  EnumWindows(boxproc, (LPARAM)&b);
  return b.box;
}

HWND waitmsgbox(int timeout) {
  DWORD start = GetTickCount();
  for (;;) {
    HWND b = findmsgbox();
    if (b) return b;
    if ((int)(GetTickCount() - start) >= timeout) return NULL;
    Sleep(50);
  }
}

// A top-down 32-bit DIB section of w x h pixels for a memory context.
static HBITMAP dib32(HDC mem, int w, int h, void **bits) {
  BITMAPINFO bi = {};
  bi.bmiHeader.biSize = sizeof bi.bmiHeader;
  bi.bmiHeader.biWidth = w;
  bi.bmiHeader.biHeight = -h;
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 32;
  *bits = NULL;
  return CreateDIBSection(mem, &bi, DIB_RGB_COLORS, bits, NULL, 0);
}

// Screen pixels of a rectangle as 32-bit BGRX, top-down.
bool grab(const RECT &r, DWORD *px) {
  int w = r.right - r.left, h = r.bottom - r.top;
  HDC screen = GetDC(NULL);
  HDC mem = CreateCompatibleDC(screen);
  void *bits = NULL;
  HBITMAP bm = dib32(mem, w, h, &bits);
  bool ok = false;
  if (bm) {
    HGDIOBJ old = SelectObject(mem, bm);
    ok = BitBlt(mem, 0, 0, w, h, screen, r.left, r.top, SRCCOPY) != 0;
    GdiFlush();
    if (ok) memcpy(px, bits, (size_t)w * h * 4);
    SelectObject(mem, old);
    DeleteObject(bm);
  }
  DeleteDC(mem);
  ReleaseDC(NULL, screen);
  return ok;
}

// Share of pixels of the icon static that equal the icon drawn by this process
// over the static's own background colour (taken from its top-left pixel,
// which the system icons leave transparent).
double iconscore(const DWORD *shot, int w, int h, HICON icon) {
  static DWORD mine[128 * 128];
  HDC screen = GetDC(NULL);
  HDC mem = CreateCompatibleDC(screen);
  void *bits = NULL;
  HBITMAP bm = dib32(mem, w, h, &bits);
  double score = 0;
  if (bm) {
    HGDIOBJ old = SelectObject(mem, bm);
    DWORD bg = shot[0] & 0xFFFFFF;
    HBRUSH br = CreateSolidBrush(RGB((bg >> 16) & 0xFF, (bg >> 8) & 0xFF, bg & 0xFF));
    RECT r = {0, 0, w, h};
    FillRect(mem, &r, br);
    DeleteObject(br);
    DrawIconEx(mem, 0, 0, icon, w, h, 0, NULL, DI_NORMAL);
    GdiFlush();
    memcpy(mine, bits, (size_t)w * h * 4);
    int same = 0;
    for (int i = 0; i < w * h; i++) {
      int d = 0;
      for (int s = 0; s < 24; s += 8) {
        int a = (shot[i] >> s) & 0xFF, b = (mine[i] >> s) & 0xFF;
        d += a > b ? a - b : b - a;
      }
      if (d <= 24) same++;
    }
    score = (double)same / (w * h);
    SelectObject(mem, old);
    DeleteObject(bm);
  }
  DeleteDC(mem);
  ReleaseDC(NULL, screen);
  return score;
}

// The icon kind of a message box: error, information, warning, question or
// none. The icon handle is compared with the system icons first (on Windows
// they are shared between processes); under Wine each process loads its own
// copies, so the pixels on screen are compared as well.
const char *iconkind(HWND box, char *detail, int detailsize) {
  static const struct {
    LPCWSTR res;
    const char *name;
  } kinds[] = {{IDI_ERROR, "error"}, {IDI_INFORMATION, "information"},
               {IDI_WARNING, "warning"}, {IDI_QUESTION, "question"}};
  detail[0] = 0;
  HWND st = NULL;
  for (HWND c = GetWindow(box, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
    if (isclass(c, L"Static") && (GetWindowLongW(c, GWL_STYLE) & SS_TYPEMASK) == SS_ICON) {
      st = c;
      break;
    }
  }
  if (!st || !IsWindowVisible(st)) return "none";
  DWORD_PTR r = 0;
  if (!SendMessageTimeoutW(st, STM_GETICON, 0, 0, SMTO_ABORTIFHUNG, kSendTimeout, &r) || !r) return "none";
  for (auto &k : kinds)
    if ((HICON)r == LoadIconW(NULL, k.res)) return k.name;
  RECT rc;
  GetWindowRect(st, &rc);
  int w = rc.right - rc.left, h = rc.bottom - rc.top;
  if (w <= 0 || h <= 0 || w > 128 || h > 128) return "unknown";
  static DWORD shot[128 * 128];
  if (!grab(rc, shot)) return "unknown";
  const char *best = "unknown";
  double bestscore = 0;
  int used = 0;
  for (auto &k : kinds) {
    double s = iconscore(shot, w, h, LoadIconW(NULL, k.res));
    used += snprintf(detail + used, detailsize - used, "%s%s=%.3f", used ? " " : "", k.name, s);
    if (s > bestscore) {
      bestscore = s;
      best = k.name;
    }
  }
  return bestscore >= 0.95 ? best : "unknown";
}

// The icon kind once the box has drawn it: iconkind read again every 20 ms
// until it names a kind (not "unknown", which is what a box not yet painted
// gives) or ms milliseconds have passed, or the box is gone.
const char *waiticon(HWND box, int ms, char *detail, int detailsize) {
  ULONGLONG end = GetTickCount64() + (ULONGLONG)ms;
  for (;;) {
    const char *kind = iconkind(box, detail, detailsize);
    if (strcmp(kind, "unknown") != 0 || !IsWindow(box) || GetTickCount64() >= end) return kind;
    Sleep(20);
  }
}

// Prints the description; false when the box was destroyed before it had
// been read whole (what was printed may then be empty or partial). The icon
// is looked for for up to iconms milliseconds (waiticon).
bool describebox(HWND box, int iconms = 2000) {
  static wchar_t buf[8192];
  printf("hwnd 0x%llx\n", (unsigned long long)(ULONG_PTR)box);
  printf("owner 0x%llx\n", (unsigned long long)(ULONG_PTR)GetWindow(box, GW_OWNER));
  DWORD pid = 0;
  GetWindowThreadProcessId(box, &pid);
  printf("pid %lu\n", (unsigned long)pid);
  int n = readtext(box, buf, 8192);
  printtext("caption_", buf, n < 0 ? 0 : n);
  HWND t = GetDlgItem(box, 0xFFFF);
  n = t ? readtext(t, buf, 8192) : 0;
  printtext("text_", buf, n < 0 ? 0 : n);
  char detail[256];
  ULONGLONG before = GetTickCount64();
  const char *kind = waiticon(box, iconms, detail, sizeof detail);
  printf("icon %s\n", kind);
  printf("icon_ms %llu\n", GetTickCount64() - before);
  if (detail[0]) printf("iconscore %s\n", detail);
  printf("buttons");
  for (HWND c = GetWindow(box, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT))
    if (isclass(c, L"Button") && IsWindowVisible(c)) printf(" %d", GetDlgCtrlID(c));
  printf("\n");
  return IsWindow(box) != 0;
}

// ---- bitmaps -------------------------------------------------------------

bool writebmp(const wchar_t *path, int w, int h, const DWORD *px) {
  int stride = (w * 3 + 3) & ~3;
  DWORD imagesize = (DWORD)stride * h;
  BITMAPFILEHEADER fh = {};
  BITMAPINFOHEADER ih = {};
  fh.bfType = 0x4D42;
  fh.bfOffBits = sizeof fh + sizeof ih;
  fh.bfSize = fh.bfOffBits + imagesize;
  ih.biSize = sizeof ih;
  ih.biWidth = w;
  ih.biHeight = h;
  ih.biPlanes = 1;
  ih.biBitCount = 24;
  ih.biSizeImage = imagesize;
  HANDLE f = CreateFileW(path, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
  if (f == INVALID_HANDLE_VALUE) return false;
  DWORD done;
  bool ok = WriteFile(f, &fh, sizeof fh, &done, NULL) && WriteFile(f, &ih, sizeof ih, &done, NULL);
  static unsigned char row[4 * 4096];
  for (int y = h - 1; ok && y >= 0; y--) {
    memset(row, 0, stride);
    for (int x = 0; x < w; x++) {
      DWORD p = px[(size_t)y * w + x];
      row[x * 3] = p & 0xFF;
      row[x * 3 + 1] = (p >> 8) & 0xFF;
      row[x * 3 + 2] = (p >> 16) & 0xFF;
    }
    ok = WriteFile(f, row, stride, &done, NULL) && done == (DWORD)stride;
  }
  CloseHandle(f);
  return ok;
}

COLORREF stripe(int i) {
  static const COLORREF c[8] = {RGB(255, 0, 0),   RGB(0, 255, 0),   RGB(0, 0, 255),     RGB(255, 255, 0),
                                RGB(0, 255, 255), RGB(255, 0, 255), RGB(255, 255, 255), RGB(0, 0, 0)};
  return c[i & 7];
}

// ---- subcommands ---------------------------------------------------------

int cmdfind(int argc, wchar_t **argv) {
  if (argc < 4) return fail("find CLASS TITLE [timeout]");
  int timeout = parsetimeout(argc, argv, 4, 5000);
  DWORD start = GetTickCount();
  for (;;) {
    HWND h[1];
    if (findwindows(argv[2], argv[3], h, 1) > 0) {
      printf("0x%llx\n", (unsigned long long)(ULONG_PTR)h[0]);
      return 0;
    }
    if ((int)(GetTickCount() - start) >= timeout) break;
    Sleep(50);
  }
  char c[512], t[1024];
  toutf8(argv[2], -1, c, sizeof c);
  toutf8(argv[3], -1, t, sizeof t);
  return fail("no window of class \"%s\" titled \"%s\" within %d ms", c, t, timeout);
}

int cmdfindall(int argc, wchar_t **argv) {
  if (argc < 4) return fail("findall CLASS TITLE");
  static HWND h[256];
  int n = findwindows(argv[2], argv[3], h, 256);
  for (int i = 0; i < n && i < 256; i++) printf("0x%llx\n", (unsigned long long)(ULONG_PTR)h[i]);
  return 0;
}

BOOL CALLBACK listproc(HWND h, LPARAM) {
  wchar_t cls[256], title[1024];
  char c8[512], t8[2048];
  if (!GetClassNameW(h, cls, 256)) cls[0] = 0;
  int n = readtext(h, title, 1024);
  if (n < 0) title[0] = 0;
  DWORD pid = 0;
  GetWindowThreadProcessId(h, &pid);
  toutf8(cls, -1, c8, sizeof c8);
  toutf8(title, -1, t8, sizeof t8);
  printf("0x%llx pid=%lu visible=%d owner=0x%llx class=%s title=%s\n", (unsigned long long)(ULONG_PTR)h,
         (unsigned long)pid, IsWindowVisible(h) ? 1 : 0,
         (unsigned long long)(ULONG_PTR)GetWindow(h, GW_OWNER), c8, t8);
  return TRUE;
}

int cmdlist() {
  EnumWindows(listproc, 0);
  return 0;
}

int cmdtext(int argc, wchar_t **argv, bool own) {
  HWND h;
  long long id = 0;
  if (argc < (own ? 3 : 4) || !parsehwnd(argv[2], &h) || (!own && !parseint(argv[3], &id)))
    return fail(own ? "title HWND" : "text HWND ID");
  if (!IsWindow(h)) return fail("no window 0x%llx", hx(h));
  HWND c = own ? h : control(h, id);
  if (!c) return fail(IsWindow(h) ? "window 0x%llx has no control %lld" : "window 0x%llx is gone", hx(h), id);
  static wchar_t buf[65536];
  int n = readtext(c, buf, 65536);
  if (n < 0) return fail("WM_GETTEXT: %s", noanswer(c));
  printtext("", buf, n);
  return 0;
}

int cmdwaittext(int argc, wchar_t **argv) {
  HWND h;
  long long id;
  if (argc < 5 || !parsehwnd(argv[2], &h) || !parseint(argv[3], &id)) return fail("waittext HWND ID HEX [timeout]");
  int timeout = parsetimeout(argc, argv, 5, 5000);
  static char want[4096];
  int wantlen = 0;
  if (wcscmp(argv[4], L"-") != 0) {
    for (const wchar_t *p = argv[4]; p[0] && p[1] && wantlen < (int)sizeof want; p += 2) {
      wchar_t two[3] = {p[0], p[1], 0};
      want[wantlen++] = (char)wcstoul(two, NULL, 16);
    }
  }
  static wchar_t buf[65536];
  static char mb[131072];
  DWORD start = GetTickCount();
  int n = 0, len = 0;
  for (;;) {
    if (!IsWindow(h)) {
      printtext("", buf, n < 0 ? 0 : n);
      return fail("window 0x%llx is gone (waiting for control %lld)", hx(h), id);
    }
    HWND c = control(h, id);
    if (!c) return fail(IsWindow(h) ? "no control %lld" : "window gone (waiting for control %lld)", id);
    n = readtext(c, buf, 65536);
    len = n > 0 ? WideCharToMultiByte(932, WC_NO_BEST_FIT_CHARS, buf, n, mb, sizeof mb, NULL, NULL) : 0;
    if (n >= 0 && len == wantlen && memcmp(mb, want, len) == 0) {
      printtext("", buf, n);
      return 0;
    }
    if ((int)(GetTickCount() - start) >= timeout) break;
    Sleep(50);
  }
  printtext("", buf, n < 0 ? 0 : n);
  return fail("control %lld did not get the expected text within %d ms", id, timeout);
}

int cmdcontrols(int argc, wchar_t **argv) {
  HWND h;
  if (argc < 3 || !parsehwnd(argv[2], &h)) return fail("controls HWND");
  if (!IsWindow(h)) return fail("no window");
  RECT cr;
  GetClientRect(h, &cr);
  printf("window hwnd=0x%llx style=0x%08lx client_w=%ld client_h=%ld\n", (unsigned long long)(ULONG_PTR)h,
         (unsigned long)GetWindowLongW(h, GWL_STYLE), cr.right, cr.bottom);
  static wchar_t buf[65536];
  static char mb[131072];
  for (HWND c = GetWindow(h, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
    wchar_t cls[256];
    char c8[512];
    if (!GetClassNameW(c, cls, 256)) cls[0] = 0;
    toutf8(cls, -1, c8, sizeof c8);
    RECT r;
    GetWindowRect(c, &r);
    MapWindowPoints(NULL, h, (POINT *)&r, 2);
    int n = readtext(c, buf, 65536);
    int len = n > 0 ? WideCharToMultiByte(932, WC_NO_BEST_FIT_CHARS, buf, n, mb, sizeof mb, NULL, NULL) : 0;
    printf("ctl hwnd=0x%llx id=%d class=%s style=0x%08lx exstyle=0x%08lx x=%ld y=%ld w=%ld h=%ld visible=%d "
           "enabled=%d cp932=",
           (unsigned long long)(ULONG_PTR)c, GetDlgCtrlID(c), c8, (unsigned long)GetWindowLongW(c, GWL_STYLE),
           (unsigned long)GetWindowLongW(c, GWL_EXSTYLE), r.left, r.top, r.right - r.left, r.bottom - r.top,
           IsWindowVisible(c) ? 1 : 0, IsWindowEnabled(c) ? 1 : 0);
    for (int i = 0; i < len; i++) printf("%02x", (unsigned char)mb[i]);
    printf("\n");
  }
  // A window destroyed during the walk ends it early: the list is not whole.
  if (!IsWindow(h)) return fail("window 0x%llx went away while its controls were listed", hx(h));
  return 0;
}

int cmdclick(int argc, wchar_t **argv) {
  HWND h;
  long long id;
  if (argc < 4 || !parsehwnd(argv[2], &h) || !parseint(argv[3], &id)) return fail("click HWND ID");
  if (!IsWindow(h)) return fail("no window 0x%llx", hx(h));
  HWND c = control(h, id);
  if (!c) return fail(IsWindow(h) ? "no control %lld" : "window gone before control %lld was clicked", id);
  // One post: once it is queued the click happens, even when it ends the
  // program before this probe returns. A window that is gone before the post
  // was not clicked.
  if (!PostMessageW(c, BM_CLICK, 0, 0)) {
    DWORD e = GetLastError();
    if (e == ERROR_INVALID_WINDOW_HANDLE || !IsWindow(c)) return fail("control %lld went away before the click", id);
    return fail("PostMessage failed (%lu)", e);
  }
  return 0;
}

int cmdclipbmp(int argc, wchar_t **argv);

// Clicks a control twice, GAPMS apart, and with "clip" puts a new bitmap in
// the clipboard GAPMS after that: quicker than three probe runs, so the
// program sees all three within a few of its ticks.
int cmdreclick(int argc, wchar_t **argv) {
  HWND h;
  long long id, gap;
  if (argc < 5 || !parsehwnd(argv[2], &h) || !parseint(argv[3], &id) || !parseint(argv[4], &gap) || gap < 0)
    return fail("reclick HWND ID GAPMS [clip]");
  HWND c = control(h, id);
  if (!c) return fail("no control %lld", id);
  if (!PostMessageW(c, BM_CLICK, 0, 0)) return fail("first click: PostMessage failed (%lu)", GetLastError());
  Sleep((DWORD)gap);
  if (!PostMessageW(c, BM_CLICK, 0, 0)) return fail("second click: PostMessage failed (%lu)", GetLastError());
  if (argc < 6 || wcscmp(argv[5], L"clip") != 0) return 0;
  Sleep((DWORD)gap);
  wchar_t a0[] = L"probe", a1[] = L"clipbmp", w[] = L"64", hh[] = L"64", pat[] = L"grad";
  wchar_t *clip[] = {a0, a1, w, hh, pat};
  return cmdclipbmp(5, clip);
}

// Windows ending the session, as it tells a program's top-level window:
// WM_QUERYENDSESSION, then WM_ENDSESSION with TRUE (each waited for).
int cmdendsession(int argc, wchar_t **argv) {
  HWND h;
  if (argc < 3 || !parsehwnd(argv[2], &h)) return fail("endsession HWND");
  DWORD_PTR r = 0;
  if (!SendMessageTimeoutW(h, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF, SMTO_ABORTIFHUNG, 10000, &r))
    return fail("WM_QUERYENDSESSION not answered (%lu)", GetLastError());
  printf("query %lu\n", (unsigned long)r);
  if (!r) return 0;
  if (!SendMessageTimeoutW(h, WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF, SMTO_ABORTIFHUNG, 60000, &r))
    return fail("WM_ENDSESSION not answered (%lu)", GetLastError());
  return 0;
}

int cmdkey(int argc, wchar_t **argv) {
  HWND h;
  if (argc < 4 || !parsehwnd(argv[2], &h)) return fail("key HWND VK");
  UINT vk;
  long long v;
  if (!_wcsicmp(argv[3], L"enter") || !_wcsicmp(argv[3], L"return")) vk = VK_RETURN;
  else if (!_wcsicmp(argv[3], L"esc") || !_wcsicmp(argv[3], L"escape")) vk = VK_ESCAPE;
  else if (!_wcsicmp(argv[3], L"tab")) vk = VK_TAB;
  else if (!_wcsicmp(argv[3], L"space")) vk = VK_SPACE;
  else if (parseint(argv[3], &v) && v > 0 && v < 256) vk = (UINT)v;
  else return fail("unknown key");
  if (!IsWindow(h)) return fail("no window");
  GUITHREADINFO gi = {};
  gi.cbSize = sizeof gi;
  HWND target = h;
  if (GetGUIThreadInfo(GetWindowThreadProcessId(h, NULL), &gi) && gi.hwndFocus &&
      (gi.hwndFocus == h || IsChild(h, gi.hwndFocus)))
    target = gi.hwndFocus;
  UINT scan = MapVirtualKeyW(vk, MAPVK_VK_TO_VSC);
  LPARAM down = 1 | ((LPARAM)scan << 16);
  LPARAM up = down | (1u << 30) | (1u << 31);
  if (!PostMessageW(target, WM_KEYDOWN, vk, down)) {
    DWORD e = GetLastError();
    if (e == ERROR_INVALID_WINDOW_HANDLE || !IsWindow(target))
      return fail("window 0x%llx went away before the key-down", hx(target));
    return fail("PostMessage failed (%lu)", e);
  }
  printf("target 0x%llx\n", hx(target));
  // The key-down alone may end the target (Enter or Esc closing a dialog)
  // before the key-up is posted; the key has then done its work.
  if (!PostMessageW(target, WM_KEYUP, vk, up)) {
    DWORD e = GetLastError();
    if (e == ERROR_INVALID_WINDOW_HANDLE || !IsWindow(target)) {
      printf("gone after key-down\n");
      return 0;
    }
    return fail("PostMessage of the key-up failed (%lu)", e);
  }
  return 0;
}

int cmdclose(int argc, wchar_t **argv) {
  HWND h;
  if (argc < 3 || !parsehwnd(argv[2], &h)) return fail("close HWND [sc]");
  // One post, as with click: a window that is gone before it was not closed
  // by this probe, which the caller has to know.
  BOOL ok = argc > 3 && !wcscmp(argv[3], L"sc") ? PostMessageW(h, WM_SYSCOMMAND, SC_CLOSE, 0)
                                               : PostMessageW(h, WM_CLOSE, 0, 0);
  if (!ok) {
    DWORD e = GetLastError();
    if (e == ERROR_INVALID_WINDOW_HANDLE || !IsWindow(h)) return fail("no window 0x%llx to close", hx(h));
    return fail("PostMessage failed (%lu)", e);
  }
  return 0;
}

int cmdsyscmd(int argc, wchar_t **argv) {
  HWND h;
  long long id;
  if (argc < 4 || !parsehwnd(argv[2], &h) || !parseint(argv[3], &id)) return fail("syscmd HWND ID");
  if (!PostMessageW(h, WM_SYSCOMMAND, (WPARAM)id, 0)) {
    DWORD e = GetLastError();
    if (e == ERROR_INVALID_WINDOW_HANDLE || !IsWindow(h)) return fail("no window 0x%llx", hx(h));
    return fail("PostMessage failed (%lu)", e);
  }
  return 0;
}

int cmdsettext(int argc, wchar_t **argv) {
  HWND h;
  long long id;
  if (argc < 5 || !parsehwnd(argv[2], &h) || !parseint(argv[3], &id)) return fail("settext HWND ID TEXT");
  HWND c = control(h, id);
  if (!c) return fail(IsWindow(h) ? "no control %lld" : "no window (control %lld)", id);
  DWORD_PTR r = 0;
  if (!SendMessageTimeoutW(c, WM_SETTEXT, 0, (LPARAM)argv[4], SMTO_ABORTIFHUNG, kSendTimeout, &r))
    return fail("WM_SETTEXT: %s", noanswer(c));
  return 0;
}

int cmdcheck(int argc, wchar_t **argv) {
  HWND h;
  long long id;
  if (argc < 4 || !parsehwnd(argv[2], &h) || !parseint(argv[3], &id)) return fail("check HWND ID");
  HWND c = control(h, id);
  if (!c) return fail(IsWindow(h) ? "no control %lld" : "no window (control %lld)", id);
  DWORD_PTR r = 0;
  if (!SendMessageTimeoutW(c, BM_GETCHECK, 0, 0, SMTO_ABORTIFHUNG, kSendTimeout, &r))
    return fail("BM_GETCHECK: %s", noanswer(c));
  printf("%d\n", (int)r);
  return 0;
}

int cmdmsgbox(int argc, wchar_t **argv) {
  int timeout = parsetimeout(argc, argv, 2, 5000);
  HWND b = waitmsgbox(timeout);
  if (!b) return fail("no message box within %d ms", timeout);
  // The icon is compared on screen once the box has painted it: read until
  // it matches one kind, for up to 2 s.
  if (!describebox(b)) return fail("the message box closed while it was read");
  return 0;
}

int cmdanswer(int argc, wchar_t **argv) {
  long long id;
  if (argc < 3 || !parseint(argv[2], &id)) return fail("answer ID [timeout]");
  int timeout = parsetimeout(argc, argv, 3, 5000);
  HWND b = waitmsgbox(timeout);
  if (!b) return fail("no message box within %d ms", timeout);
  HWND btn = GetDlgItem(b, (int)id);
  if (!btn) {
    if (!IsWindow(b)) return fail("the message box closed before it was answered");
    return fail("the message box has no button %lld", id);
  }
  // Once the press is queued the box may close at any moment, even before
  // PostMessage returns; that is the answer taking effect. A box that was
  // gone before the post was not answered by this probe.
  if (!PostMessageW(b, WM_COMMAND, MAKEWPARAM((WORD)id, BN_CLICKED), (LPARAM)btn)) {
    DWORD e = GetLastError();
    if (e == ERROR_INVALID_WINDOW_HANDLE || !IsWindow(b)) return fail("the message box closed before it was answered");
    return fail("PostMessage failed (%lu)", e);
  }
  DWORD start = GetTickCount();
  while (IsWindow(b) && IsWindowVisible(b)) {
    if ((int)(GetTickCount() - start) >= timeout) return fail("the message box stayed after button %lld", id);
    Sleep(50);
  }
  return 0;
}

int cmdnomsgbox(int argc, wchar_t **argv) {
  int ms = parsetimeout(argc, argv, 2, 1000);
  HWND b = waitmsgbox(ms);
  if (b) {
    describebox(b, 500);  // even a box that closed at once did appear
    return fail("a message box appeared");
  }
  return 0;
}

int cmdclipbmp(int argc, wchar_t **argv) {
  long long w, h;
  if (argc < 5 || !parseint(argv[2], &w) || !parseint(argv[3], &h) || w <= 0 || h <= 0 || w > 4096 || h > 4096)
    return fail("clipbmp W H stripes|grad|solid:RRGGBB");
  const wchar_t *pat = argv[4];
  COLORREF solid = 0;
  int kind;
  if (!wcscmp(pat, L"stripes")) kind = 0;
  else if (!wcscmp(pat, L"grad")) kind = 1;
  else if (!wcsncmp(pat, L"solid:", 6) && wcslen(pat) == 12) {
    unsigned long v = wcstoul(pat + 6, NULL, 16);
    solid = RGB((v >> 16) & 0xFF, (v >> 8) & 0xFF, v & 0xFF);
    kind = 2;
  } else return fail("unknown pattern");
  HDC screen = GetDC(NULL);
  HDC mem = CreateCompatibleDC(screen);
  HBITMAP bm = CreateCompatibleBitmap(screen, (int)w, (int)h);
  ReleaseDC(NULL, screen);
  if (!bm) return fail("CreateCompatibleBitmap failed");
  HGDIOBJ old = SelectObject(mem, bm);
  if (kind == 0) {
    for (int i = 0; i < 8; i++) {
      RECT r = {(int)(w * i / 8), 0, (int)(w * (i + 1) / 8), (int)h};
      HBRUSH br = CreateSolidBrush(stripe(i));
      FillRect(mem, &r, br);
      DeleteObject(br);
    }
  } else if (kind == 1) {
    for (int x = 0; x < w; x++) {
      RECT r = {x, 0, x + 1, (int)h};
      HBRUSH br = CreateSolidBrush(RGB(x * 255 / w, 128, 255 - x * 255 / w));
      FillRect(mem, &r, br);
      DeleteObject(br);
    }
  } else {
    RECT r = {0, 0, (int)w, (int)h};
    HBRUSH br = CreateSolidBrush(solid);
    FillRect(mem, &r, br);
    DeleteObject(br);
  }
  SelectObject(mem, old);
  DeleteDC(mem);
  DWORD start = GetTickCount();
  while (!OpenClipboard(NULL)) {
    if (GetTickCount() - start > 3000) return fail("clipboard busy");
    Sleep(50);
  }
  EmptyClipboard();
  HANDLE r = SetClipboardData(CF_BITMAP, bm);
  CloseClipboard();
  if (!r) return fail("SetClipboardData failed (%lu)", GetLastError());
  printf("seq %lu\n", (unsigned long)GetClipboardSequenceNumber());
  return 0;
}

int cmdclipscreen(int argc, wchar_t **argv) {
  int w = GetSystemMetrics(SM_CXSCREEN), h = GetSystemMetrics(SM_CYSCREEN);
  if (w <= 0 || h <= 0 || w > 4096 || h > 4096) return fail("odd screen size %d x %d", w, h);
  DWORD *px = (DWORD *)malloc((size_t)w * h * 4);
  if (!px) return fail("out of memory");
  RECT r = {0, 0, w, h};
  if (!grab(r, px)) {
    free(px);
    return fail("could not grab the screen");
  }
  if (argc >= 3 && !writebmp(argv[2], w, h, px)) {
    free(px);
    return fail("could not write the picture");
  }
  // The clipboard gets a device-dependent bitmap of exactly these pixels.
  HDC screen = GetDC(NULL);
  HBITMAP bm = CreateCompatibleBitmap(screen, w, h);
  BITMAPINFO bi = {};
  bi.bmiHeader.biSize = sizeof bi.bmiHeader;
  bi.bmiHeader.biWidth = w;
  bi.bmiHeader.biHeight = -h;
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 32;
  bi.bmiHeader.biCompression = BI_RGB;
  int lines = bm ? SetDIBits(screen, bm, 0, h, px, &bi, DIB_RGB_COLORS) : 0;
  ReleaseDC(NULL, screen);
  free(px);
  if (lines != h) return fail("SetDIBits set %d of %d lines", lines, h);
  DWORD start = GetTickCount();
  while (!OpenClipboard(NULL)) {
    if (GetTickCount() - start > 3000) return fail("clipboard busy");
    Sleep(50);
  }
  EmptyClipboard();
  HANDLE ok = SetClipboardData(CF_BITMAP, bm);
  CloseClipboard();
  if (!ok) return fail("SetClipboardData failed (%lu)", GetLastError());
  printf("size %d %d\n", w, h);
  return 0;
}

int cmdrect(int argc, wchar_t **argv) {
  HWND h;
  if (argc < 3 || !parsehwnd(argv[2], &h)) return fail("rect HWND");
  RECT r;
  if (!GetWindowRect(h, &r)) return fail("no window");
  printf("rect %ld %ld %ld %ld\n", r.left, r.top, r.right, r.bottom);
  return 0;
}

int cmdclient(int argc, wchar_t **argv) {
  HWND h;
  if (argc < 3 || !parsehwnd(argv[2], &h)) return fail("client HWND");
  POINT o = {0, 0};
  RECT r;
  if (!GetClientRect(h, &r) || !ClientToScreen(h, &o)) return fail("no window");
  printf("client %ld %ld %ld %ld\n", o.x, o.y, r.right, r.bottom);
  return 0;
}

struct OwnedFind {
  HWND owner;
  HWND found;
};

BOOL CALLBACK ownedfindproc(HWND h, LPARAM lp) {
  OwnedFind *o = (OwnedFind *)lp;
  if (GetWindow(h, GW_OWNER) != o->owner || !IsWindowVisible(h) || !isclass(h, L"#32770")) return TRUE;
  o->found = h;
  return FALSE;
}

int cmdwaitrect(int argc, wchar_t **argv) {
  const char *usage = "waitrect WIN L T R B [timeout] [click=HWND:ID]";
  if (argc < 7) return fail(usage);
  long long v[4];
  HWND win = NULL, owner = NULL;
  bool byowner = !wcsncmp(argv[2], L"owned:", 6);
  if (!(byowner ? parsehwnd(argv[2] + 6, &owner) : parsehwnd(argv[2], &win)))
    return fail(usage);
  for (int i = 0; i < 4; i++)
    if (!parseint(argv[3 + i], &v[i])) return fail(usage);
  int timeout = 5000;
  HWND clickwin = NULL;
  long long clickid = 0;
  for (int i = 7; i < argc; i++) {
    long long t;
    if (!wcsncmp(argv[i], L"click=", 6)) {
      wchar_t clickarg[64];
      wcsncpy(clickarg, argv[i] + 6, 63);
      clickarg[63] = 0;
      wchar_t *colon = wcschr(clickarg, L':');
      if (!colon) return fail(usage);
      *colon = 0;
      if (!parsehwnd(clickarg, &clickwin) || !parseint(colon + 1, &clickid)) return fail(usage);
    } else if (parseint(argv[i], &t) && t >= 0) {
      timeout = (int)t;
    } else {
      return fail(usage);
    }
  }
  ULONGLONG start = GetTickCount64();
  if (clickwin) {
    HWND c = control(clickwin, clickid);
    if (!c) return fail(IsWindow(clickwin) ? "no control %lld" : "no window (control %lld)", clickid);
    if (!PostMessageW(c, BM_CLICK, 0, 0)) return fail("control %lld went away before the click", clickid);
    start = GetTickCount64();
  }
  RECT last = {};
  bool seen = false;
  HWND prev = NULL;
  ULONGLONG since = 0;  // when prev was first found
  for (;;) {
    HWND h = win;
    if (byowner) {
      OwnedFind o = {owner, NULL};
      EnumWindows(ownedfindproc, (LPARAM)&o);
      h = o.found;
    }
    ULONGLONG now = GetTickCount64();
    if (h != prev) {
      prev = h;
      since = now;
    }
    RECT r;
    if (h && GetWindowRect(h, &r)) {
      last = r;
      seen = true;
      if (r.left == v[0] && r.top == v[1] && r.right == v[2] && r.bottom == v[3]) {
        printf("hwnd 0x%llx\nms %llu\nseen %llu\n", hx(h), now - start, since - start);
        return 0;
      }
    } else if (!byowner) {
      return fail("no window 0x%llx", hx(win));
    }
    if (now - start >= (ULONGLONG)timeout) {
      if (!seen) return fail("no window within %d ms", timeout);
      return fail("the window is at %ld %ld %ld %ld after %d ms", last.left, last.top, last.right, last.bottom,
                  timeout);
    }
    Sleep(5);
  }
}

int cmdgrabtime(int argc, wchar_t **argv) {
  long long w, h, n;
  if (argc < 5 || !parseint(argv[2], &w) || !parseint(argv[3], &h) || !parseint(argv[4], &n) || w <= 0 || h <= 0 ||
      w > 4096 || h > 4096 || n <= 0 || n > 10000)
    return fail("grabtime W H N");
  int stride = ((int)w * 3 + 3) & ~3;
  unsigned char *buf = (unsigned char *)malloc((size_t)stride * h);
  if (!buf) return fail("out of memory");
  LARGE_INTEGER f, a, b;
  QueryPerformanceFrequency(&f);
  for (long long i = 0; i < n; i++) {
    QueryPerformanceCounter(&a);
    HDC screen = GetDC(GetDesktopWindow());
    HDC mem = CreateCompatibleDC(screen);
    HBITMAP bm = CreateCompatibleBitmap(screen, (int)w, (int)h);
    HGDIOBJ old = SelectObject(mem, bm);
    BitBlt(mem, 0, 0, (int)w, (int)h, screen, 0, 0, SRCCOPY);
    SelectObject(mem, old);
    BITMAPINFO bi = {};
    bi.bmiHeader.biSize = sizeof bi.bmiHeader;
    bi.bmiHeader.biWidth = (LONG)w;
    bi.bmiHeader.biHeight = (LONG)h;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 24;
    GetDIBits(screen, bm, 0, (UINT)h, buf, &bi, DIB_RGB_COLORS);
    DeleteDC(mem);
    DeleteObject(bm);
    ReleaseDC(GetDesktopWindow(), screen);
    QueryPerformanceCounter(&b);
    printf("grab_us %lld\n", (long long)((b.QuadPart - a.QuadPart) * 1000000 / f.QuadPart));
  }
  free(buf);
  return 0;
}

int cmdclipinfo() {
  printf("seq %lu\n", (unsigned long)GetClipboardSequenceNumber());
  DWORD start = GetTickCount();
  while (!OpenClipboard(NULL)) {
    if (GetTickCount() - start > 3000) return fail("clipboard busy");
    Sleep(50);
  }
  printf("formats");
  for (UINT f = EnumClipboardFormats(0); f; f = EnumClipboardFormats(f)) printf(" %u", f);
  printf("\n");
  HANDLE d = GetClipboardData(CF_DIB);
  if (d) {
    BITMAPINFOHEADER *bi = (BITMAPINFOHEADER *)GlobalLock(d);
    if (bi) {
      printf("dib %ldx%ld bpp=%u\n", bi->biWidth, bi->biHeight, bi->biBitCount);
      GlobalUnlock(d);
    }
  }
  CloseClipboard();
  return 0;
}

int cmdforeground() {
  HWND h = GetForegroundWindow();
  printf("hwnd 0x%llx\n", (unsigned long long)(ULONG_PTR)h);
  wchar_t cls[256];
  char c8[512];
  if (!h || !GetClassNameW(h, cls, 256)) cls[0] = 0;
  toutf8(cls, -1, c8, sizeof c8);
  printf("class %s\n", c8);
  static wchar_t buf[4096];
  int n = h ? readtext(h, buf, 4096) : 0;
  printtext("title_", buf, n < 0 ? 0 : n);
  return 0;
}

int cmdwaitgone(int argc, wchar_t **argv) {
  HWND h;
  if (argc < 3 || !parsehwnd(argv[2], &h)) return fail("waitgone HWND [timeout]");
  int timeout = parsetimeout(argc, argv, 3, 5000);
  DWORD start = GetTickCount();
  while (IsWindow(h)) {
    if ((int)(GetTickCount() - start) >= timeout) return fail("window still there after %d ms", timeout);
    Sleep(50);
  }
  return 0;
}

int cmdwaitfg(int argc, wchar_t **argv) {
  HWND h;
  if (argc < 3 || !parsehwnd(argv[2], &h)) return fail("waitfg HWND [timeout]");
  int timeout = parsetimeout(argc, argv, 3, 5000);
  DWORD start = GetTickCount();
  for (;;) {
    HWND f = GetForegroundWindow();
    if (f == h) return 0;
    if ((int)(GetTickCount() - start) >= timeout)
      return fail("foreground is 0x%llx, not 0x%llx", (unsigned long long)(ULONG_PTR)f,
                  (unsigned long long)(ULONG_PTR)h);
    Sleep(50);
  }
}

int cmdshot(int argc, wchar_t **argv) {
  HWND h;
  if (argc < 4 || !parsehwnd(argv[2], &h)) return fail("shot HWND FILE.bmp");
  if (!IsWindow(h)) return fail("no window");
  RECT r;
  if (!GetWindowRect(h, &r)) return fail("no window");
  RECT screen = {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
  IntersectRect(&r, &r, &screen);
  int w = r.right - r.left, hh = r.bottom - r.top;
  if (w <= 0 || hh <= 0 || w > 4096 || hh > 4096) return fail("window is off screen");
  DWORD *px = (DWORD *)malloc((size_t)w * hh * 4);
  if (!px) return fail("out of memory");
  bool grabbed = grab(r, px);
  POINT o = {0, 0};
  RECT cr = {};
  // A window destroyed before its pixels were copied leaves what was under
  // it in the picture.
  bool there = ClientToScreen(h, &o) && GetClientRect(h, &cr) && IsWindow(h);
  bool ok = grabbed && there && writebmp(argv[3], w, hh, px);
  free(px);
  if (!there) return fail("the window went away while it was captured");
  if (!ok) return fail("could not grab or write the picture");
  printf("size %d %d\n", w, hh);
  printf("client %ld %ld %ld %ld\n", o.x - r.left, o.y - r.top, cr.right, cr.bottom);
  return 0;
}

int cmdpid(int argc, wchar_t **argv) {
  HWND h;
  if (argc < 3 || !parsehwnd(argv[2], &h)) return fail("pid HWND");
  DWORD pid = 0;
  if (!GetWindowThreadProcessId(h, &pid)) return fail("no window");
  printf("%lu\n", (unsigned long)pid);
  return 0;
}

int cmdxwindow(int argc, wchar_t **argv) {
  HWND h;
  long long timeout = 5000;
  if (argc < 3 || !parsehwnd(argv[2], &h) || (argc > 3 && !parseint(argv[3], &timeout)))
    return fail("xwindow HWND [timeout]");
  ULONGLONG deadline = GetTickCount64() + (ULONGLONG)timeout;
  for (;;) {
    if (!IsWindow(h)) return fail("no window");
    HANDLE x = GetPropW(h, L"__wine_x11_whole_window");
    if (x) {
      printf("%llu\n", (unsigned long long)(ULONG_PTR)x);
      return 0;
    }
    if (GetTickCount64() >= deadline) return fail("window %p has no X window after %lld ms", (void *)h, timeout);
    Sleep(20);
  }
}

int cmdwatch(int argc, wchar_t **argv) {
  const int kMax = 32;
  // touch=FILE@MS arguments: files to create MS ms after the first reading.
  struct Touch {
    const wchar_t *path;
    long long at;
    bool done;
  };
  static Touch touches[kMax];
  int ntouch = 0;
  int kept = 2;
  for (int i = 2; i < argc; i++) {
    if (wcsncmp(argv[i], L"touch=", 6) != 0) {
      argv[kept++] = argv[i];
      continue;
    }
    if (ntouch == kMax) return fail("watch: at most %d files to touch", kMax);
    wchar_t *at = wcsrchr(argv[i], L'@');
    if (!at || !parseint(at + 1, &touches[ntouch].at)) return fail("watch: touch=FILE@MS");
    *at = 0;
    touches[ntouch].path = argv[i] + 6;
    touches[ntouch].done = false;
    ntouch++;
  }
  argc = kept;
  if (argc < 5 || (argc - 5) % 2) return fail("watch HWND ID MS [HWND ID ...] [touch=FILE@MS ...]");
  long long ms;
  if (!parseint(argv[4], &ms) || ms < 0) return fail("watch: bad duration");
  struct Watched {
    HWND c;
    long long id;
    char text[1024];
    int len;
    bool seen;
  };
  static Watched w[kMax];
  int count = 0;
  for (int i = 2; i < argc; i += i == 2 ? 3 : 2) {
    HWND h;
    long long id;
    if (count == kMax) return fail("watch: at most %d controls", kMax);
    if (!parsehwnd(argv[i], &h) || !parseint(argv[i + 1], &id)) return fail("watch HWND ID MS [HWND ID ...]");
    if (!IsWindow(h)) return fail("no window 0x%llx", hx(h));
    w[count].c = control(h, id);
    if (!w[count].c) return fail("window 0x%llx has no control %lld", hx(h), id);
    w[count].id = id;
    w[count].seen = false;
    count++;
  }
  static wchar_t buf[4096];
  ULONGLONG start = GetTickCount64();
  ULONGLONG end = start + (ULONGLONG)ms;
  bool first = true;
  for (;;) {
    for (int i = 0; i < count; i++) {
      int n = readtext(w[i].c, buf, 4096);
      ULONGLONG t = GetTickCount64();
      if (n < 0) {
        if (IsWindow(w[i].c)) continue;  // busy this time round
        fflush(stdout);
        return fail("control %lld went away while it was watched", w[i].id);
      }
      char mb[1024];
      int len = n > 0 ? WideCharToMultiByte(932, WC_NO_BEST_FIT_CHARS, buf, n, mb, sizeof mb, NULL, NULL) : 0;
      if (w[i].seen && len == w[i].len && memcmp(mb, w[i].text, len) == 0) continue;
      w[i].seen = true;
      w[i].len = len;
      memcpy(w[i].text, mb, len);
      printf("%llu %lld ", (unsigned long long)t, w[i].id);
      if (len == 0) fputc('-', stdout);
      for (int j = 0; j < len; j++) printf("%02x", (unsigned char)mb[j]);
      fputc('\n', stdout);
      fflush(stdout);
    }
    // Files are touched only once every control has been read, so whatever
    // they set off is seen.
    if (first) start = GetTickCount64();
    first = false;
    for (int i = 0; i < ntouch; i++) {
      if (touches[i].done || GetTickCount64() < start + (ULONGLONG)touches[i].at) continue;
      HANDLE f = CreateFileW(touches[i].path, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL,
                             CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
      if (f == INVALID_HANDLE_VALUE) return fail("watch: cannot create the file to touch (%lu)", GetLastError());
      CloseHandle(f);
      touches[i].done = true;
      printf("touch %llu %d\n", (unsigned long long)GetTickCount64(), i);
      fflush(stdout);
    }
    if (GetTickCount64() >= end) return 0;
    Sleep(5);
  }
}

// The fields of NtQuerySystemInformation(SystemProcessInformation) that are
// read here; the layout is that of 64-bit Windows.
struct ProcThread {
  LARGE_INTEGER kernel, user, created;
  ULONG wait;
  PVOID start;
  HANDLE pid, tid;
  LONG priority, basepriority;
  ULONG switches, state, reason;
};
struct ProcEntry {
  ULONG next, threads;
  LARGE_INTEGER reserved[3];
  LARGE_INTEGER created, user, kernel;
  USHORT namelen, namemax;
  PWSTR name;
  LONG basepriority;
  HANDLE pid, parent;
  ULONG handles, session;
  ULONG_PTR key;
  SIZE_T vm[11];
  SIZE_T io[6];  // IO_COUNTERS
  ProcThread thread[1];
};

// User and kernel time of a process in 100 ns steps from the system's
// process list: the process's own totals (*proc) and the sum over its
// threads (*threads). False when the process is not in the list.
bool listedtimes(DWORD pid, ULONGLONG *proc, ULONGLONG *threads) {
  typedef LONG(WINAPI * Query)(int, PVOID, ULONG, PULONG);
  Query q = (Query)(void *)GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtQuerySystemInformation");
  if (!q) return false;
  static unsigned char buf[4 << 20];
  ULONG got = 0;
  if (q(5 /* SystemProcessInformation */, buf, sizeof buf, &got) < 0) return false;
  for (ULONG off = 0;;) {
    const ProcEntry *e = (const ProcEntry *)(buf + off);
    if ((DWORD)(ULONG_PTR)e->pid == pid) {
      *proc = e->user.QuadPart + e->kernel.QuadPart;
      *threads = 0;
      for (ULONG t = 0; t < e->threads; t++) *threads += e->thread[t].user.QuadPart + e->thread[t].kernel.QuadPart;
      return true;
    }
    if (!e->next) return false;
    off += e->next;
  }
}

int cmdcputime(int argc, wchar_t **argv) {
  if (argc < 3) return fail("cputime PID|HWND");
  DWORD pid = 0;
  HWND h;
  long long v;
  if (!wcsncmp(argv[2], L"0x", 2) || !wcsncmp(argv[2], L"0X", 2)) {
    if (!parsehwnd(argv[2], &h) || !GetWindowThreadProcessId(h, &pid)) return fail("no window %ls", argv[2]);
  } else if (parseint(argv[2], &v) && v > 0) {
    pid = (DWORD)v;
  } else {
    return fail("cputime PID|HWND");
  }
  HANDLE p = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid);
  if (!p) return fail("OpenProcess(%lu) failed (%lu)", (unsigned long)pid, GetLastError());
  FILETIME created, ended, kernel, user;
  DWORD code = 0;
  bool ok = GetProcessTimes(p, &created, &ended, &kernel, &user) && GetExitCodeProcess(p, &code);
  ULONGLONG proc = 0, threads = 0;
  bool listed = listedtimes(pid, &proc, &threads);
  ULONGLONG tick = GetTickCount64();
  CloseHandle(p);
  if (!ok) return fail("GetProcessTimes failed (%lu)", GetLastError());
  // FILETIME counts 100 ns steps.
  ULONGLONG k = ((ULONGLONG)kernel.dwHighDateTime << 32 | kernel.dwLowDateTime) / 10000;
  ULONGLONG u = ((ULONGLONG)user.dwHighDateTime << 32 | user.dwLowDateTime) / 10000;
  // Wine (8.0) answers GetProcessTimes for another process with the times
  // of the calling process; its system process list has the real figures
  // (read from the kernel), and on Windows the two agree. So the list wins.
  printf("cpu_ms %llu\n", listed ? proc / 10000 : k + u);
  printf("gettimes_ms %llu\nuser_ms %llu\nkernel_ms %llu\n", k + u, u, k);
  if (listed) printf("listed_ms %llu\nthreads_ms %llu\n", proc / 10000, threads / 10000);
  printf("tick %llu\nrunning %d\n", (unsigned long long)tick, code == STILL_ACTIVE ? 1 : 0);
  return 0;
}

// ---- the system open-file dialog ---------------------------------------------

struct FileDlgCtx {
  HWND dlg;
};

BOOL CALLBACK filedlgproc(HWND h, LPARAM lp) {
  wchar_t title[64];
  if (IsWindowVisible(h) && isclass(h, L"#32770") && readtext(h, title, 64) >= 0 &&
      !wcscmp(title, L"File Name")) {
    ((FileDlgCtx *)lp)->dlg = h;
    return FALSE;
  }
  return TRUE;
}

BOOL CALLBACK firsteditproc(HWND h, LPARAM lp) {
  if (isclass(h, L"Edit") && IsWindowVisible(h)) {
    *(HWND *)lp = h;
    return FALSE;
  }
  return TRUE;
}

// The file-name field: the combo box cmb13 (0x47C) of the Explorer-style
// dialog, the edit edt1 (0x480), or else the first visible edit in it.
HWND filenamefield(HWND dlg) {
  HWND f = GetDlgItem(dlg, 0x47C);
  if (!f) f = GetDlgItem(dlg, 0x480);
  if (!f) EnumChildWindows(dlg, firsteditproc, (LPARAM)&f);
  return f;
}

int cmdopenfile(int argc, wchar_t **argv) {
  if (argc < 3) return fail("openfile PATH|- [timeout]");
  int timeout = parsetimeout(argc, argv, 3, 5000);
  DWORD start = GetTickCount();
  FileDlgCtx f = {NULL};
  for (;;) {
    EnumWindows(filedlgproc, (LPARAM)&f);
    if (f.dlg) break;
    if ((int)(GetTickCount() - start) >= timeout) return fail("no open-file dialog within %d ms", timeout);
    Sleep(50);
  }
  printf("dialog 0x%llx\nowner 0x%llx\n", (unsigned long long)(ULONG_PTR)f.dlg,
         (unsigned long long)(ULONG_PTR)GetWindow(f.dlg, GW_OWNER));
  // The file types: combo box cmb1 (0x470).
  HWND types = GetDlgItem(f.dlg, 0x470);
  DWORD_PTR n = 0, len = 0;
  if (types && SendMessageTimeoutW(types, CB_GETCOUNT, 0, 0, SMTO_ABORTIFHUNG, kSendTimeout, &n) && n > 0 &&
      SendMessageTimeoutW(types, CB_GETLBTEXTLEN, 0, 0, SMTO_ABORTIFHUNG, kSendTimeout, &len) && len < 256) {
    wchar_t first[256] = L"";
    DWORD_PTR r = 0;
    SendMessageTimeoutW(types, CB_GETLBTEXT, 0, (LPARAM)first, SMTO_ABORTIFHUNG, kSendTimeout, &r);
    printf("types %d\n", (int)n);
    printtext("type0", first, (int)wcslen(first));
  }
  int button = IDCANCEL;
  if (wcscmp(argv[2], L"-") != 0) {
    HWND field = filenamefield(f.dlg);
    if (!field) return fail("the open-file dialog has no file-name field");
    DWORD_PTR r = 0;
    if (!SendMessageTimeoutW(field, WM_SETTEXT, 0, (LPARAM)argv[2], SMTO_ABORTIFHUNG, kSendTimeout, &r))
      return fail("WM_SETTEXT timed out");
    button = IDOK;
  }
  // Pressed until the dialog goes: a press right after it appeared can be lost.
  DWORD pressed = 0;
  start = GetTickCount();
  while (IsWindow(f.dlg) && IsWindowVisible(f.dlg)) {
    if ((int)(GetTickCount() - start) >= timeout) return fail("the open-file dialog stayed after button %d", button);
    if (!pressed || GetTickCount() - pressed >= 1000) {
      PostMessageW(f.dlg, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED), (LPARAM)GetDlgItem(f.dlg, button));
      pressed = GetTickCount();
    }
    Sleep(50);
  }
  return 0;
}

}  // namespace

bool iscombo(HWND c) { return isclass(c, L"ComboBox"); }

int cmditems(int argc, wchar_t **argv) {
  HWND h;
  long long id;
  if (argc < 4 || !parsehwnd(argv[2], &h) || !parseint(argv[3], &id)) return fail("items HWND ID");
  HWND c = control(h, id);
  if (!c) return fail(IsWindow(h) ? "no control %lld" : "no window (control %lld)", id);
  bool combo = iscombo(c);
  DWORD_PTR n = 0, sel = 0;
  if (!SendMessageTimeoutW(c, combo ? CB_GETCOUNT : LB_GETCOUNT, 0, 0, SMTO_ABORTIFHUNG, kSendTimeout, &n) ||
      !SendMessageTimeoutW(c, combo ? CB_GETCURSEL : LB_GETCURSEL, 0, 0, SMTO_ABORTIFHUNG, kSendTimeout, &sel))
    return fail("count: %s", noanswer(c));
  printf("count %d\nsel %d\n", (int)n, (int)(LONG_PTR)sel);
  static wchar_t buf[4096];
  static char mb[8192];
  for (int i = 0; i < (int)n; i++) {
    DWORD_PTR len = 0;
    if (!SendMessageTimeoutW(c, combo ? CB_GETLBTEXTLEN : LB_GETTEXTLEN, i, 0, SMTO_ABORTIFHUNG, kSendTimeout, &len) ||
        (LONG_PTR)len < 0 || len >= 4096)
      return fail("entry %d: %s", i, noanswer(c));
    DWORD_PTR got = 0;
    if (!SendMessageTimeoutW(c, combo ? CB_GETLBTEXT : LB_GETTEXT, i, (LPARAM)buf, SMTO_ABORTIFHUNG, kSendTimeout,
                             &got))
      return fail("entry %d: %s", i, noanswer(c));
    buf[len] = 0;
    int m = WideCharToMultiByte(932, WC_NO_BEST_FIT_CHARS, buf, (int)wcslen(buf), mb, sizeof mb, NULL, NULL);
    printf("item %d ", i);
    for (int k = 0; k < m; k++) printf("%02x", (unsigned char)mb[k]);
    printf("\n");
  }
  return 0;
}

int cmdselect(int argc, wchar_t **argv) {
  HWND h;
  long long id, n;
  if (argc < 5 || !parsehwnd(argv[2], &h) || !parseint(argv[3], &id) || !parseint(argv[4], &n))
    return fail("select HWND ID N");
  HWND c = control(h, id);
  if (!c) return fail(IsWindow(h) ? "no control %lld" : "no window (control %lld)", id);
  bool combo = iscombo(c);
  DWORD_PTR r = 0;
  if (!SendMessageTimeoutW(c, combo ? CB_SETCURSEL : LB_SETCURSEL, (WPARAM)n, 0, SMTO_ABORTIFHUNG, kSendTimeout, &r))
    return fail("select: %s", noanswer(c));
  if ((LONG_PTR)r != n) return fail("entry %lld cannot be selected", n);
  // Posted: the parent may answer with a message box of its own.
  WORD code = combo ? CBN_SELCHANGE : LBN_SELCHANGE;
  if (!PostMessageW(h, WM_COMMAND, MAKEWPARAM((WORD)id, code), (LPARAM)c)) return fail("window gone");
  return 0;
}

struct OwnedCtx {
  HWND owner;
  int count;
};

BOOL CALLBACK ownedproc(HWND h, LPARAM lp) {
  OwnedCtx *o = (OwnedCtx *)lp;
  if (GetWindow(h, GW_OWNER) != o->owner) return TRUE;
  wchar_t cls[256];
  char c8[512];
  if (!GetClassNameW(h, cls, 256)) cls[0] = 0;
  toutf8(cls, -1, c8, sizeof c8);
  RECT r = {};
  GetWindowRect(h, &r);
  printf("win 0x%llx %s %d %08lx %ld %ld %ld %ld\n", hx(h), c8, IsWindowVisible(h) ? 1 : 0,
         (unsigned long)GetWindowLongW(h, GWL_EXSTYLE), r.left, r.top, r.right, r.bottom);
  o->count++;
  return TRUE;
}

int cmdowned(int argc, wchar_t **argv) {
  HWND h;
  if (argc < 3 || !parsehwnd(argv[2], &h)) return fail("owned HWND");
  if (!IsWindow(h)) return fail("no window 0x%llx", hx(h));
  OwnedCtx o = {h, 0};
  EnumWindows(ownedproc, (LPARAM)&o);
  return 0;
}

int cmdcursor() {
  POINT pt;
  if (!GetCursorPos(&pt)) return fail("GetCursorPos failed (%lu)", GetLastError());
  printf("cursor %ld %ld\n", pt.x, pt.y);
  return 0;
}

// topmost: the visible topmost windows, top first, one line "top HWND XWIN"
// each, XWIN being the X window Wine made for it (decimal, 0 when none).
// Wine 8's virtual desktop can leave the X window of a topmost window below
// one that a click has just activated, though Win32's order still has it on
// top; the harness raises these X windows again (Ctx.restack_topmost).
BOOL CALLBACK topmostproc(HWND h, LPARAM) {
  if (IsWindowVisible(h) && (GetWindowLongW(h, GWL_EXSTYLE) & WS_EX_TOPMOST))
    printf("top 0x%llx %llu\n", hx(h), (unsigned long long)(ULONG_PTR)GetPropW(h, L"__wine_x11_whole_window"));
  return TRUE;
}

int cmdtopmost() {
  EnumWindows(topmostproc, 0);
  return 0;
}

// ---- closing and text fit ----------------------------------------------------

// gonetime ACTION TIMEOUT HWND...: performs ACTION, then reads every 5 ms
// whether each window HWND still exists and is visible. ACTION is
// click=HWND:ID (BM_CLICK posted to the control), close=HWND (WM_CLOSE),
// sc=HWND (WM_SYSCOMMAND SC_CLOSE) or key=HWND:esc|enter (the key posted as
// in "key"). Prints per window "hidden HWND MS" (no longer visible) and
// "gone HWND MS" (destroyed), the milliseconds from the post; then "ms N",
// when the last one was gone. Fails, naming what is left, when a window is
// still there after TIMEOUT ms.
int cmdgonetime(int argc, wchar_t **argv) {
  const char *usage = "gonetime click=HWND:ID|close=HWND|sc=HWND|key=HWND:esc|enter TIMEOUT HWND...";
  const int kMax = 16;
  long long timeout;
  if (argc < 5 || !parseint(argv[3], &timeout) || timeout < 0 || argc - 4 > kMax) return fail(usage);
  struct Target {
    HWND h;
    long long hidden, gone;
  } t[kMax];
  int n = 0;
  for (int i = 4; i < argc; i++) {
    if (!parsehwnd(argv[i], &t[n].h)) return fail(usage);
    if (!IsWindow(t[n].h)) return fail("no window 0x%llx before the action", hx(t[n].h));
    t[n].hidden = t[n].gone = -1;
    n++;
  }
  wchar_t act[128];
  wcsncpy(act, argv[2], 127);
  act[127] = 0;
  wchar_t *eq = wcschr(act, L'=');
  if (!eq) return fail(usage);
  *eq = 0;
  wchar_t *arg = eq + 1, *colon = wcschr(arg, L':');
  if (colon) *colon = 0;
  HWND w;
  if (!parsehwnd(arg, &w)) return fail(usage);
  HWND target = w;
  UINT msg;
  WPARAM wp = 0;
  LPARAM lp = 0;
  UINT vk = 0;
  if (!wcscmp(act, L"click")) {
    long long id;
    if (!colon || !parseint(colon + 1, &id)) return fail(usage);
    target = control(w, id);
    if (!target) return fail("window 0x%llx has no control %lld", hx(w), id);
    msg = BM_CLICK;
  } else if (!wcscmp(act, L"close")) {
    msg = WM_CLOSE;
  } else if (!wcscmp(act, L"sc")) {
    msg = WM_SYSCOMMAND;
    wp = SC_CLOSE;
  } else if (!wcscmp(act, L"key")) {
    if (!colon) return fail(usage);
    if (!_wcsicmp(colon + 1, L"esc")) vk = VK_ESCAPE;
    else if (!_wcsicmp(colon + 1, L"enter")) vk = VK_RETURN;
    else return fail(usage);
    GUITHREADINFO gi = {};
    gi.cbSize = sizeof gi;
    if (GetGUIThreadInfo(GetWindowThreadProcessId(w, NULL), &gi) && gi.hwndFocus &&
        (gi.hwndFocus == w || IsChild(w, gi.hwndFocus)))
      target = gi.hwndFocus;
    msg = WM_KEYDOWN;
    wp = vk;
    lp = 1 | ((LPARAM)MapVirtualKeyW(vk, MAPVK_VK_TO_VSC) << 16);
  } else {
    return fail(usage);
  }
  if (!PostMessageW(target, msg, wp, lp)) return fail("window 0x%llx went away before the action", hx(target));
  ULONGLONG start = GetTickCount64();
  if (vk) PostMessageW(target, WM_KEYUP, vk, lp | (1u << 30) | (1u << 31));  // may be gone: the key has worked
  for (;;) {
    ULONGLONG now = GetTickCount64();
    int left = 0;
    for (int i = 0; i < n; i++) {
      if (t[i].gone >= 0) continue;
      if (!IsWindow(t[i].h)) {
        t[i].gone = (long long)(now - start);
        if (t[i].hidden < 0) t[i].hidden = t[i].gone;
        continue;
      }
      if (t[i].hidden < 0 && !IsWindowVisible(t[i].h)) t[i].hidden = (long long)(now - start);
      left++;
    }
    if (!left || now - start >= (ULONGLONG)timeout) break;
    Sleep(5);
  }
  long long last = 0;
  bool all = true;
  for (int i = 0; i < n; i++) {
    printf("hidden 0x%llx %lld\n", hx(t[i].h), t[i].hidden);
    printf("gone 0x%llx %lld\n", hx(t[i].h), t[i].gone);
    if (t[i].gone < 0) all = false;
    if (t[i].gone > last) last = t[i].gone;
  }
  fflush(stdout);
  if (!all) {
    for (int i = 0; i < n; i++)
      if (t[i].gone < 0)
        return fail("window 0x%llx still there %lld ms after the action (%s)", hx(t[i].h), timeout,
                    t[i].hidden >= 0 ? "hidden" : "visible");
  }
  printf("ms %lld\n", last);
  return 0;
}

// The English family name (name id 1, Windows platform, US English, else any
// Windows language) in the 'name' table of the font selected into dc, as
// UTF-8; "-" when there is none.
void fontfamily(HDC dc, char *out, int outsize) {
  static unsigned char t[1 << 16];
  snprintf(out, outsize, "-");
  const DWORD tag = 'n' | ('a' << 8) | ('m' << 16) | ((DWORD)'e' << 24);
  DWORD n = GetFontData(dc, tag, 0, t, sizeof t);
  if (n == GDI_ERROR || n < 6) return;
  auto be16 = [&](DWORD at) { return at + 1 < n ? (unsigned)(t[at] << 8 | t[at + 1]) : 0u; };
  unsigned count = be16(2), strings = be16(4);
  int best = -1, bestrank = 0;
  for (unsigned i = 0; i < count; i++) {
    DWORD r = 6 + 12 * i;
    unsigned platform = be16(r), lang = be16(r + 4), id = be16(r + 6);
    if (platform != 3 || id != 1) continue;
    int rank = lang == 0x409 ? 2 : 1;
    if (rank > bestrank) best = (int)i, bestrank = rank;
  }
  if (best < 0) return;
  DWORD r = 6 + 12 * best;
  unsigned len = be16(r + 8), off = be16(r + 10);
  static wchar_t w[256];
  int k = 0;
  for (unsigned j = 0; j + 1 < len && k < 255 && strings + off + j + 1 < n; j += 2)
    w[k++] = (wchar_t)(t[strings + off + j] << 8 | t[strings + off + j + 1]);
  w[k] = 0;
  toutf8(w, -1, out, outsize);
}

// A text as a control draws it: "&&" is one "&", a single "&" marks the next
// character and takes no room. (Static controls with SS_NOPREFIX and edits
// draw every character.)
int stripprefix(const wchar_t *in, int n, wchar_t *out) {
  int k = 0;
  for (int i = 0; i < n; i++) {
    if (in[i] == L'&') {
      if (i + 1 < n && in[i + 1] == L'&') out[k++] = in[++i];
      continue;
    }
    out[k++] = in[i];
  }
  out[k] = 0;
  return k;
}

// The width a text's ink takes from the drawing origin: its advance width
// (GetTextExtentPoint32W) less the blank that the last glyph keeps after its
// ink (its right side bearing, the C width, when positive).
long inkwidth(HDC dc, const wchar_t *w, int n, long advance) {
  if (n <= 0) return 0;
  ABC abc;
  if (GetCharABCWidthsW(dc, w[n - 1], w[n - 1], &abc) && abc.abcC > 0) return advance - abc.abcC;
  return advance;
}

void printhex932(const wchar_t *w, int n) {
  static char mb[8192];
  int len = n > 0 ? WideCharToMultiByte(932, WC_NO_BEST_FIT_CHARS, w, n, mb, sizeof mb, NULL, NULL) : 0;
  for (int i = 0; i < len; i++) printf("%02x", (unsigned char)mb[i]);
}

// textfit HWND FACE POINTS [WEIGHT] [CHARSET]: the texts of the window's
// child controls measured in the font a dialog template with that FONT line
// gets, made here the way the dialog manager makes it (CreateFont of
// -MulDiv(POINTS, LOGPIXELSY, 72) pixels, the weight, DEFAULT_CHARSET unless
// CHARSET is given), so the face is mapped by this desktop's font settings as
// the dialog's own is. Prints "font" (the face the desktop gave, its height
// and the dialog base units that font gives: the alphabet's average width as
// GdiGetCharDimensions takes it, and tmHeight; spaces in names as "_"),
// "window" (its client size)
// and per control a "fit" line: text width and height (GetTextExtentPoint32W;
// ink_w leaves out the blank after the last glyph's ink) against the room the
// control gives its text, "ok" 1 when the ink's width and the height fit, 0
// when not, "-" when the kind is not judged here (edits, whose text scrolls;
// combo and list boxes, whose entries are judged on their own). For
// combo and list boxes an "item" line per entry against the room of the
// selection field or the list. The room (client rectangle, so borders of
// the window itself are outside it already) less:
//   push button   2 x SM_CXEDGE across, 2 x SM_CYEDGE down (the raised edge)
//   check / radio box  the box glyph, 12 px at 96 dpi + 1, and the gap after
//                 it, half the width of "0" (as the button control lays it
//                 out); the same for three-state boxes
//   group box     7 px at either side of the caption
//   static text   nothing
//   combo box     2 px of border at either side, the drop button
//                 (SM_CXVSCROLL) and 1 px before the text
//   list box      1 px at either side
int cmdtextfit(int argc, wchar_t **argv) {
  HWND h;
  long long points, weight = 0, charset = DEFAULT_CHARSET;
  if (argc < 5 || !parsehwnd(argv[2], &h) || !parseint(argv[4], &points) || points <= 0 ||
      (argc > 5 && !parseint(argv[5], &weight)) || (argc > 6 && !parseint(argv[6], &charset)))
    return fail("textfit HWND FACE POINTS [WEIGHT] [CHARSET]");
  if (!IsWindow(h)) return fail("no window 0x%llx", hx(h));
  HDC dc = GetDC(NULL);
  int dpix = GetDeviceCaps(dc, LOGPIXELSX), dpiy = GetDeviceCaps(dc, LOGPIXELSY);
  HFONT font = CreateFontW(-MulDiv((int)points, dpiy, 72), 0, 0, 0, (int)weight, FALSE, FALSE, FALSE, (BYTE)charset,
                           0, 0, PROOF_QUALITY, FF_DONTCARE, argv[3]);
  if (!font) {
    ReleaseDC(NULL, dc);
    return fail("CreateFont failed");
  }
  HGDIOBJ old = SelectObject(dc, font);
  TEXTMETRICW tm;
  GetTextMetricsW(dc, &tm);
  wchar_t face[LF_FACESIZE] = L"";
  GetTextFaceW(dc, LF_FACESIZE, face);
  SIZE az;
  static const wchar_t alphabet[] = L"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
  GetTextExtentPoint32W(dc, alphabet, 52, &az);
  SIZE zero;
  GetTextExtentPoint32W(dc, L"0", 1, &zero);
  // The face asked for (GetTextFace names it as asked, replaced or not) and
  // the family of the font file that draws it.
  char face8[256], family8[256] = "-";
  toutf8(face, -1, face8, sizeof face8);
  fontfamily(dc, family8, sizeof family8);
  for (char *q = family8; *q; q++)
    if (*q == ' ') *q = '_';
  for (char *q = face8; *q; q++)
    if (*q == ' ') *q = '_';
  printf("font face=%s family=%s height=%ld avecharw=%ld base_x=%ld base_y=%ld dpi=%d\n", face8, family8,
         tm.tmHeight, tm.tmAveCharWidth, (az.cx / 26 + 1) / 2, tm.tmHeight, dpiy);
  RECT wr;
  GetClientRect(h, &wr);
  printf("window hwnd=0x%llx client_w=%ld client_h=%ld\n", hx(h), wr.right, wr.bottom);
  int edgex = GetSystemMetrics(SM_CXEDGE), edgey = GetSystemMetrics(SM_CYEDGE);
  int glyph = 12 * dpix / 96 + 1, gap = zero.cx / 2, button = GetSystemMetrics(SM_CXVSCROLL);
  static wchar_t buf[4096], shown[4096];
  for (HWND c = GetWindow(h, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
    wchar_t cls[64];
    if (!GetClassNameW(c, cls, 64)) continue;
    LONG style = GetWindowLongW(c, GWL_STYLE);
    RECT cr;
    GetClientRect(c, &cr);
    int aw = cr.right, ah = cr.bottom;
    const char *kind = NULL;
    bool judged = true, items = false, prefix = true;
    if (!_wcsicmp(cls, L"Button")) {
      switch (style & BS_TYPEMASK) {
        case BS_PUSHBUTTON: case BS_DEFPUSHBUTTON:
          kind = "push"; aw -= 2 * edgex; ah -= 2 * edgey; break;
        case BS_CHECKBOX: case BS_AUTOCHECKBOX: case BS_3STATE: case BS_AUTO3STATE:
          kind = "check"; aw -= glyph + gap; break;
        case BS_RADIOBUTTON: case BS_AUTORADIOBUTTON:
          kind = "radio"; aw -= glyph + gap; break;
        case BS_GROUPBOX:
          kind = "group"; aw -= 14; break;
        default:
          kind = "button"; judged = false;
      }
    } else if (!_wcsicmp(cls, L"Static")) {
      int t = style & SS_TYPEMASK;
      if (t == SS_LEFT || t == SS_CENTER || t == SS_RIGHT || t == SS_SIMPLE || t == SS_LEFTNOWORDWRAP) kind = "static";
      else { kind = "picture"; judged = false; }
      prefix = !(style & SS_NOPREFIX);
    } else if (!_wcsicmp(cls, L"Edit")) {
      kind = "edit"; judged = false; prefix = false;
    } else if (!_wcsicmp(cls, L"ComboBox")) {
      kind = "combo"; judged = false; items = true; prefix = false;
      aw -= 2 * 2 + button + 1;
    } else if (!_wcsicmp(cls, L"ListBox")) {
      kind = "list"; judged = false; items = true; prefix = false;
      aw -= 2;
    } else {
      kind = "other"; judged = false; prefix = false;
    }
    int n = readtext(c, buf, 4096);
    if (n < 0) {
      SelectObject(dc, old);
      DeleteObject(font);
      ReleaseDC(NULL, dc);
      return fail("control %d: %s", GetDlgCtrlID(c), noanswer(c));
    }
    int m = prefix ? stripprefix(buf, n, shown) : (wcscpy(shown, buf), n);
    SIZE sz = {0, 0};
    if (m > 0) GetTextExtentPoint32W(dc, shown, m, &sz);
    long th = m > 0 ? sz.cy : 0;
    long ink = inkwidth(dc, shown, m, sz.cx);
    char cls8[128];
    toutf8(cls, -1, cls8, sizeof cls8);
    const char *ok = !judged || m == 0 ? "-" : (ink <= aw && th <= ah ? "1" : "0");
    printf("fit hwnd=0x%llx id=%d class=%s kind=%s visible=%d text_w=%ld ink_w=%ld text_h=%ld avail_w=%d avail_h=%d "
           "ok=%s cp932=",
           hx(c), GetDlgCtrlID(c), cls8, kind, IsWindowVisible(c) ? 1 : 0, sz.cx, ink, th, aw, ah, ok);
    printhex932(shown, m);
    printf("\n");
    if (!items) continue;
    bool combo = !_wcsicmp(cls, L"ComboBox");
    DWORD_PTR count = 0;
    if (!SendMessageTimeoutW(c, combo ? CB_GETCOUNT : LB_GETCOUNT, 0, 0, SMTO_ABORTIFHUNG, kSendTimeout, &count))
      return fail("control %d: %s", GetDlgCtrlID(c), noanswer(c));
    for (int i = 0; i < (int)count && i < 256; i++) {
      DWORD_PTR len = 0, got = 0;
      if (!SendMessageTimeoutW(c, combo ? CB_GETLBTEXTLEN : LB_GETTEXTLEN, i, 0, SMTO_ABORTIFHUNG, kSendTimeout, &len) ||
          (LONG_PTR)len < 0 || len >= 4096 ||
          !SendMessageTimeoutW(c, combo ? CB_GETLBTEXT : LB_GETTEXT, i, (LPARAM)buf, SMTO_ABORTIFHUNG, kSendTimeout,
                               &got))
        return fail("control %d entry %d: %s", GetDlgCtrlID(c), i, noanswer(c));
      buf[len] = 0;
      SIZE isz = {0, 0};
      if (len) GetTextExtentPoint32W(dc, buf, (int)len, &isz);
      long iink = inkwidth(dc, buf, (int)len, isz.cx);
      printf("item id=%d index=%d text_w=%ld ink_w=%ld avail_w=%d ok=%d cp932=", GetDlgCtrlID(c), i, isz.cx, iink, aw,
             iink <= aw ? 1 : 0);
      printhex932(buf, (int)len);
      printf("\n");
    }
  }
  SelectObject(dc, old);
  DeleteObject(font);
  ReleaseDC(NULL, dc);
  if (!IsWindow(h)) return fail("window 0x%llx went away while its controls were measured", hx(h));
  return 0;
}

static int cmdhold(int argc, wchar_t **argv) {
  if (argc < 6) return fail("usage: hold PATH SHARE MARKER RELEASE [TIMEOUT]");
  const wchar_t *sh = argv[3];
  DWORD share = 0;
  if (!wcscmp(sh, L"r")) share = FILE_SHARE_READ;
  else if (!wcscmp(sh, L"w")) share = FILE_SHARE_WRITE;
  else if (!wcscmp(sh, L"rw")) share = FILE_SHARE_READ | FILE_SHARE_WRITE;
  else if (wcscmp(sh, L"0")) return fail("share mode must be 0, r, w or rw");
  DWORD timeout = argc > 6 ? (DWORD)wcstoul(argv[6], NULL, 10) : 60000;
  HANDLE h = CreateFileW(argv[2], GENERIC_READ, share, NULL, OPEN_EXISTING, 0, NULL);
  if (h == INVALID_HANDLE_VALUE) return fail("cannot open the file to hold: error %lu", GetLastError());
  HANDLE m = CreateFileW(argv[4], GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL);
  if (m == INVALID_HANDLE_VALUE) {
    CloseHandle(h);
    return fail("cannot create the marker: error %lu", GetLastError());
  }
  CloseHandle(m);
  ULONGLONG start = GetTickCount64();
  while (GetFileAttributesW(argv[5]) == INVALID_FILE_ATTRIBUTES) {
    if (GetTickCount64() - start >= timeout) {
      CloseHandle(h);
      return fail("not released within %lu ms", timeout);
    }
    Sleep(20);
  }
  CloseHandle(h);
  printf("held_ms %llu\n", (unsigned long long)(GetTickCount64() - start));
  return 0;
}

int wmain(int argc, wchar_t **argv) {
  _setmode(_fileno(stdout), _O_BINARY);
  if (argc < 2) return fail("usage: probe SUBCOMMAND ARGS... (see the source)");
  const wchar_t *c = argv[1];
  int r;
  if (!wcscmp(c, L"find")) r = cmdfind(argc, argv);
  else if (!wcscmp(c, L"findall")) r = cmdfindall(argc, argv);
  else if (!wcscmp(c, L"list")) r = cmdlist();
  else if (!wcscmp(c, L"text")) r = cmdtext(argc, argv, false);
  else if (!wcscmp(c, L"title")) r = cmdtext(argc, argv, true);
  else if (!wcscmp(c, L"waittext")) r = cmdwaittext(argc, argv);
  else if (!wcscmp(c, L"controls")) r = cmdcontrols(argc, argv);
  else if (!wcscmp(c, L"click")) r = cmdclick(argc, argv);
  else if (!wcscmp(c, L"key")) r = cmdkey(argc, argv);
  else if (!wcscmp(c, L"reclick")) r = cmdreclick(argc, argv);
  else if (!wcscmp(c, L"endsession")) r = cmdendsession(argc, argv);
  else if (!wcscmp(c, L"close")) r = cmdclose(argc, argv);
  else if (!wcscmp(c, L"settext")) r = cmdsettext(argc, argv);
  else if (!wcscmp(c, L"syscmd")) r = cmdsyscmd(argc, argv);
  else if (!wcscmp(c, L"check")) r = cmdcheck(argc, argv);
  else if (!wcscmp(c, L"msgbox")) r = cmdmsgbox(argc, argv);
  else if (!wcscmp(c, L"answer")) r = cmdanswer(argc, argv);
  else if (!wcscmp(c, L"nomsgbox")) r = cmdnomsgbox(argc, argv);
  else if (!wcscmp(c, L"clipbmp")) r = cmdclipbmp(argc, argv);
  else if (!wcscmp(c, L"clipinfo")) r = cmdclipinfo();
  else if (!wcscmp(c, L"clipscreen")) r = cmdclipscreen(argc, argv);
  else if (!wcscmp(c, L"rect")) r = cmdrect(argc, argv);
  else if (!wcscmp(c, L"client")) r = cmdclient(argc, argv);
  else if (!wcscmp(c, L"waitrect")) r = cmdwaitrect(argc, argv);
  else if (!wcscmp(c, L"grabtime")) r = cmdgrabtime(argc, argv);
  else if (!wcscmp(c, L"foreground")) r = cmdforeground();
  else if (!wcscmp(c, L"waitgone")) r = cmdwaitgone(argc, argv);
  else if (!wcscmp(c, L"waitfg")) r = cmdwaitfg(argc, argv);
  else if (!wcscmp(c, L"shot")) r = cmdshot(argc, argv);
  else if (!wcscmp(c, L"pid")) r = cmdpid(argc, argv);
  else if (!wcscmp(c, L"xwindow")) r = cmdxwindow(argc, argv);
  else if (!wcscmp(c, L"watch")) r = cmdwatch(argc, argv);
  else if (!wcscmp(c, L"cputime")) r = cmdcputime(argc, argv);
  else if (!wcscmp(c, L"openfile")) r = cmdopenfile(argc, argv);
  else if (!wcscmp(c, L"items")) r = cmditems(argc, argv);
  else if (!wcscmp(c, L"select")) r = cmdselect(argc, argv);
  else if (!wcscmp(c, L"owned")) r = cmdowned(argc, argv);
  else if (!wcscmp(c, L"gonetime")) r = cmdgonetime(argc, argv);
  else if (!wcscmp(c, L"cursor")) r = cmdcursor();
  else if (!wcscmp(c, L"topmost")) r = cmdtopmost();
  else if (!wcscmp(c, L"textfit")) r = cmdtextfit(argc, argv);
  else if (!wcscmp(c, L"hold")) r = cmdhold(argc, argv);
  else r = fail("unknown subcommand");
  fflush(stdout);
  return r;
}
