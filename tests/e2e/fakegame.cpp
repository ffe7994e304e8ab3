// fakegame.exe: a stand-in for the golf game in end-to-end runs.
//
//   fakegame.exe TITLE [LOG_SOURCE GOLF_TXT SCHEDULE [STAMPFILE]]
//
// Opens a top-level window (class "FAKEGAME", client area 320 x 240 at screen
// position 500, 300) titled TITLE, painted with eight vertical stripes: red,
// green, blue, yellow, cyan, magenta, white, black, 40 pixels each.
//
// With LOG_SOURCE and GOLF_TXT it plays the game's log: GOLF_TXT is opened (or
// created) for writing with sharing for reading and writing, kept open while
// the window lives like the game keeps its golf.txt, and the bytes of
// LOG_SOURCE are appended to its end piece by piece as SCHEDULE says.
// LOG_SOURCE "-" means no source (the schedule can still close the window or
// show message boxes).
//
// With STAMPFILE every append is also written down there, one line each:
// "<GetTickCount64 ms> <bytes appended> <size of GOLF_TXT after>", so that the
// moment a watcher shows a record can be set against the moment it was
// written (both sides read the same clock). The file is created anew and each
// line is written through at once.
//
// SCHEDULE is a comma-separated list of items "T:ACTION", T in milliseconds
// after the window opened; items run in their order, each once its time has
// come (an item never runs before the one before it):
//   T:N           append the next N bytes of the source
//   T:*           append the rest of the source
//   T:lN          append the next N lines (each through its LF)
//   T:every=P/N   from T on, append N bytes every P ms until the source is used
//                 up; the items after it run only then
//   T:every=P/lN  the same with N lines each time
//   T:box=KIND    show a message box (caption "fakegame", text "テスト表示\r\n"
//                 followed by KIND) with the icon KIND: error, information,
//                 warning, question or none; the schedule waits while it is up
//   T:release     close GOLF_TXT (the window stays)
//   T:waitfile=F  wait until a file F exists (relative to the current
//                 folder), so that a test decides when the next items run
//   T:exit        close the window; the process ends with code 0
// Without an "exit" item the window stays until it gets WM_CLOSE.
// Exit code 2 means bad arguments or an unreadable source or log file.
#include <windows.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <wchar.h>

namespace {

struct Item {
  DWORD at;
  enum Kind { Bytes, Rest, Lines, Every, Box, Release, WaitFile, Exit } kind;
  DWORD n;
  DWORD period;
  bool lines;
  UINT icon;
  wchar_t name[64];
};

const int kMaxItems = 256;
Item items[kMaxItems];
int nitems = 0;
int nextitem = 0;
ULONGLONG started = 0;  // GetTickCount64, the clock of the stamps too
DWORD lastevery = 0;
bool everyarmed = false;
bool inbox = false;

char *source = NULL;
DWORD sourcelen = 0;
DWORD sourcepos = 0;
HANDLE golf = INVALID_HANDLE_VALUE;
HANDLE stamps = INVALID_HANDLE_VALUE;

const COLORREF kStripes[8] = {RGB(255, 0, 0),   RGB(0, 255, 0),   RGB(0, 0, 255),     RGB(255, 255, 0),
                              RGB(0, 255, 255), RGB(255, 0, 255), RGB(255, 255, 255), RGB(0, 0, 0)};

bool parseschedule(const wchar_t *s) {
  while (*s) {
    if (nitems == kMaxItems) return false;
    Item &it = items[nitems];
    memset(&it, 0, sizeof it);
    wchar_t *end;
    it.at = wcstoul(s, &end, 10);
    if (end == s || *end != L':') return false;
    s = end + 1;
    const wchar_t *stop = wcschr(s, L',');
    size_t len = stop ? (size_t)(stop - s) : wcslen(s);
    if (len == 1 && *s == L'*') {
      it.kind = Item::Rest;
    } else if (len > 1 && *s == L'l') {
      it.kind = Item::Lines;
      it.n = wcstoul(s + 1, &end, 10);
      if (end != s + len) return false;
    } else if (len > 6 && !wcsncmp(s, L"every=", 6)) {
      it.kind = Item::Every;
      it.period = wcstoul(s + 6, &end, 10);
      if (*end != L'/' || it.period == 0) return false;
      it.lines = end[1] == L'l';
      it.n = wcstoul(end + (it.lines ? 2 : 1), &end, 10);
      if (end != s + len || it.n == 0) return false;
    } else if (len > 4 && !wcsncmp(s, L"box=", 4)) {
      it.kind = Item::Box;
      size_t k = len - 4 < 15 ? len - 4 : 15;
      wcsncpy(it.name, s + 4, k);
      it.name[k] = 0;
      if (!wcscmp(it.name, L"error")) it.icon = MB_ICONERROR;
      else if (!wcscmp(it.name, L"information")) it.icon = MB_ICONINFORMATION;
      else if (!wcscmp(it.name, L"warning")) it.icon = MB_ICONWARNING;
      else if (!wcscmp(it.name, L"question")) it.icon = MB_ICONQUESTION;
      else if (!wcscmp(it.name, L"none")) it.icon = 0;
      else return false;
    } else if (len > 9 && len - 9 < 64 && !wcsncmp(s, L"waitfile=", 9)) {
      it.kind = Item::WaitFile;
      wcsncpy(it.name, s + 9, len - 9);
      it.name[len - 9] = 0;
    } else if (len == 7 && !wcsncmp(s, L"release", 7)) {
      it.kind = Item::Release;
    } else if (len == 4 && !wcsncmp(s, L"exit", 4)) {
      it.kind = Item::Exit;
    } else {
      it.kind = Item::Bytes;
      it.n = wcstoul(s, &end, 10);
      if (end != s + len) return false;
    }
    nitems++;
    s += len;
    if (*s == L',') s++;
  }
  return true;
}

void append(DWORD n) {
  if (n > sourcelen - sourcepos) n = sourcelen - sourcepos;
  if (n == 0 || golf == INVALID_HANDLE_VALUE) return;
  SetFilePointer(golf, 0, NULL, FILE_END);
  DWORD done = 0;
  WriteFile(golf, source + sourcepos, n, &done, NULL);
  FlushFileBuffers(golf);
  sourcepos += done;
  if (stamps != INVALID_HANDLE_VALUE) {
    LARGE_INTEGER size;
    if (!GetFileSizeEx(golf, &size)) size.QuadPart = -1;
    char line[80];
    int len = snprintf(line, sizeof line, "%llu %lu %lld\r\n", (unsigned long long)GetTickCount64(),
                       (unsigned long)done, (long long)size.QuadPart);
    DWORD written;
    WriteFile(stamps, line, (DWORD)len, &written, NULL);
  }
}

DWORD linesbytes(DWORD lines);

// What one step of an "every" item appends.
DWORD everybytes(const Item &it) { return it.lines ? linesbytes(it.n) : it.n; }

DWORD linesbytes(DWORD lines) {
  DWORD p = sourcepos;
  while (lines > 0 && p < sourcelen) {
    if (source[p++] == '\n') lines--;
  }
  return p - sourcepos;
}

void runschedule(HWND w) {
  DWORD now = (DWORD)(GetTickCount64() - started);
  while (!inbox && nextitem < nitems && now >= items[nextitem].at) {
    Item &it = items[nextitem];
    switch (it.kind) {
      case Item::Bytes: append(it.n); break;
      case Item::Rest: append(sourcelen - sourcepos); break;
      case Item::Lines: append(linesbytes(it.n)); break;
      case Item::Every:
        if (!everyarmed) {
          everyarmed = true;
          append(everybytes(it));
          // The steps count from the end of the first one, not from the
          // time read before it: an earlier append of this round or a write
          // that a busy machine held up must not pull the second step closer.
          lastevery = (DWORD)(GetTickCount64() - started);
        } else if (now - lastevery >= it.period) {
          lastevery += it.period;
          append(everybytes(it));
        }
        if (sourcepos < sourcelen) return;
        break;
      case Item::Box: {
        wchar_t text[64] = L"\u30c6\u30b9\u30c8\u8868\u793a\r\n";
        wcscat(text, it.name);
        inbox = true;
        MessageBoxW(w, text, L"fakegame", MB_OK | it.icon);
        inbox = false;
        now = (DWORD)(GetTickCount64() - started);
        break;
      }
      case Item::WaitFile:
        if (GetFileAttributesW(it.name) == INVALID_FILE_ATTRIBUTES) return;
        break;
      case Item::Release:
        if (golf != INVALID_HANDLE_VALUE) CloseHandle(golf);
        golf = INVALID_HANDLE_VALUE;
        break;
      case Item::Exit:
        nextitem++;
        PostMessageW(w, WM_CLOSE, 0, 0);
        return;
    }
    nextitem++;
  }
}

LRESULT CALLBACK wndproc(HWND w, UINT m, WPARAM wp, LPARAM lp) {
  switch (m) {
    case WM_TIMER:
      runschedule(w);
      return 0;
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(w, &ps);
      RECT cr;
      GetClientRect(w, &cr);
      for (int i = 0; i < 8; i++) {
        RECT r = {i * 40, 0, i * 40 + 40, cr.bottom};
        HBRUSH b = CreateSolidBrush(kStripes[i]);
        FillRect(dc, &r, b);
        DeleteObject(b);
      }
      EndPaint(w, &ps);
      return 0;
    }
    case WM_DESTROY:
      if (golf != INVALID_HANDLE_VALUE) CloseHandle(golf);
      golf = INVALID_HANDLE_VALUE;
      PostQuitMessage(0);
      return 0;
  }
  return DefWindowProcW(w, m, wp, lp);
}

bool loadsource(const wchar_t *path) {
  HANDLE f = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL, OPEN_EXISTING, 0, NULL);
  if (f == INVALID_HANDLE_VALUE) return false;
  DWORD size = GetFileSize(f, NULL);
  bool ok = size != INVALID_FILE_SIZE && size <= 64u * 1024 * 1024;
  if (ok) {
    source = (char *)malloc(size ? size : 1);
    DWORD done = 0;
    ok = source && ReadFile(f, source, size, &done, NULL) && done == size;
    sourcelen = size;
  }
  CloseHandle(f);
  return ok;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE inst, HINSTANCE, LPWSTR, int show) {
  int argc = 0;
  wchar_t **argv = CommandLineToArgvW(GetCommandLineW(), &argc);
  if (!argv || argc < 2) return 2;
  if (argc >= 5 && argc <= 6) {
    if (wcscmp(argv[2], L"-") != 0 && !loadsource(argv[2])) return 2;
    if (!parseschedule(argv[4])) return 2;
    golf = CreateFileW(argv[3], GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL, OPEN_ALWAYS,
                       FILE_ATTRIBUTE_NORMAL, NULL);
    if (golf == INVALID_HANDLE_VALUE) return 2;
    if (argc == 6) {
      // No buffering here: each line goes to the file with its WriteFile.
      stamps = CreateFileW(argv[5], GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, NULL);
      if (stamps == INVALID_HANDLE_VALUE) return 2;
    }
  } else if (argc != 2) {
    return 2;
  }

  WNDCLASSW wc = {};
  wc.lpfnWndProc = wndproc;
  wc.hInstance = inst;
  wc.hCursor = LoadCursorW(NULL, (LPCWSTR)IDC_ARROW);
  wc.hbrBackground = (HBRUSH)GetStockObject(BLACK_BRUSH);
  wc.lpszClassName = L"FAKEGAME";
  if (!RegisterClassW(&wc)) return 2;
  DWORD style = WS_OVERLAPPEDWINDOW & ~(WS_THICKFRAME | WS_MAXIMIZEBOX);
  RECT r = {0, 0, 320, 240};
  AdjustWindowRect(&r, style, FALSE);
  HWND w = CreateWindowW(L"FAKEGAME", argv[1], style, 500, 300, r.right - r.left, r.bottom - r.top, NULL, NULL,
                         inst, NULL);
  if (!w) return 2;
  ShowWindow(w, show == SW_HIDE ? SW_SHOWNORMAL : show);
  UpdateWindow(w);
  SetForegroundWindow(w);
  started = GetTickCount64();
  if (nitems > 0) {
    SetTimer(w, 1, 20, NULL);
    runschedule(w);
  }
  MSG msg;
  while (GetMessageW(&msg, NULL, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  return (int)msg.wParam;
}
