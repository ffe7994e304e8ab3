// The console side of a command-line tool on Windows.
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <cwchar>

#include "os/console/console.h"
#include "sjis.h"

static void writeall(HANDLE h, const char* s, DWORD n) {
  while (n > 0) {
    DWORD w = 0;
    if (!WriteFile(h, s, n, &w, nullptr) || w == 0) return;
    s += w;
    n -= w;
  }
}

// Writes a UTF-16 text to standard output (stream 1) or standard error: to a
// console as UTF-16, to a file or pipe in the console's code page.
static void conputw(int stream, const wchar_t* w, int wn) {
  HANDLE h = GetStdHandle(stream == 1 ? STD_OUTPUT_HANDLE : STD_ERROR_HANDLE);
  if (h == INVALID_HANDLE_VALUE || h == nullptr || wn <= 0) return;
  DWORD mode = 0;
  if (GetConsoleMode(h, &mode)) {
    // A console shows UTF-16 whatever its code page.
    DWORD done = 0;
    WriteConsoleW(h, w, (DWORD)wn, &done, nullptr);
    return;
  }
  UINT cp = GetConsoleOutputCP();
  if (cp == 0) cp = GetACP();  // no console at all
  int n = WideCharToMultiByte(cp, 0, w, wn, nullptr, 0, nullptr, nullptr);
  char* s = n > 0 ? (char*)malloc((size_t)n) : nullptr;
  if (s) {
    WideCharToMultiByte(cp, 0, w, wn, s, n, nullptr, nullptr);
    writeall(h, s, (DWORD)n);
    free(s);
  }
}

void conputs(int stream, const char* sjis) {
  int len = (int)strlen(sjis);
  if (len == 0) return;
  // Converted piece by piece by the Shift-JIS rule: a lead byte that stands
  // alone is converted alone, so the byte after it keeps its own meaning.
  // No piece gives more wide characters than it has bytes.
  wchar_t* w = (wchar_t*)malloc(sizeof(wchar_t) * (size_t)len);
  if (!w) return;
  int wn = 0;
  for (int i = 0; i < len;) {
    int end = sjisrun(sjis, len, i);
    int k = MultiByteToWideChar(932, 0, sjis + i, end - i, w + wn, len - wn);
    if (k > 0) wn += k;
    i = end;
  }
  conputw(stream, w, wn);
  free(w);
}

// The arguments are Shift-JIS already (see wmain).
void conputarg(int stream, const char* arg) { conputs(stream, arg); }

void conpututf8(int stream, const char* utf8) {
  writeall(GetStdHandle(stream == 1 ? STD_OUTPUT_HANDLE : STD_ERROR_HANDLE), utf8, (DWORD)strlen(utf8));
}

// An argument as Shift-JIS, exactly: nullptr when some character of it has
// no Shift-JIS form.  A best-fit character would name another file, so none
// is taken, and the text must come back the same from Shift-JIS.
static char* exactsjis(const wchar_t* warg) {
  BOOL lossy = FALSE;
  int n = WideCharToMultiByte(932, WC_NO_BEST_FIT_CHARS, warg, -1, nullptr, 0, nullptr, &lossy);
  if (n <= 0 || lossy) return nullptr;
  char* s = (char*)calloc((size_t)n, 1);
  if (!s) return nullptr;
  lossy = FALSE;
  WideCharToMultiByte(932, WC_NO_BEST_FIT_CHARS, warg, -1, s, n, nullptr, &lossy);
  int wn = MultiByteToWideChar(932, 0, s, -1, nullptr, 0);
  wchar_t* back = wn > 0 ? (wchar_t*)calloc((size_t)wn, sizeof(wchar_t)) : nullptr;
  bool same = back && MultiByteToWideChar(932, 0, s, -1, back, wn) > 0 && wcscmp(back, warg) == 0;
  free(back);
  if (lossy || !same) {
    free(s);
    return nullptr;
  }
  return s;
}

int wmain(int argc, wchar_t** wargv) {
  // The seam takes Shift-JIS paths: an argument without an exact Shift-JIS
  // form is refused, by name, before anything is done.
  char** argv = (char**)calloc((size_t)argc + 1, sizeof(char*));
  if (!argv) return 2;
  for (int i = 0; i < argc; i++) {
    argv[i] = exactsjis(wargv[i]);
    if (!argv[i]) {
      static const wchar_t head[] = L"kestocard: ";
      static const wchar_t tail[] = L": this name has no exact Shift-JIS (code page 932) form; KESTO cannot use it\n";
      conputw(2, head, (int)wcslen(head));
      conputw(2, wargv[i], (int)wcslen(wargv[i]));
      conputw(2, tail, (int)wcslen(tail));
      return 2;
    }
  }
  return conmain(argc, argv);
}
