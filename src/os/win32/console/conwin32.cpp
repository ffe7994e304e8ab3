// The console side of a command-line tool on Windows.
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <cstdlib>
#include <cstring>

#include "os/console/console.h"

static void writeall(HANDLE h, const char* s, DWORD n) {
  while (n > 0) {
    DWORD w = 0;
    if (!WriteFile(h, s, n, &w, nullptr) || w == 0) return;
    s += w;
    n -= w;
  }
}

void conputs(int stream, const char* sjis) {
  HANDLE h = GetStdHandle(stream == 1 ? STD_OUTPUT_HANDLE : STD_ERROR_HANDLE);
  if (h == INVALID_HANDLE_VALUE || h == nullptr) return;
  int len = (int)strlen(sjis);
  if (len == 0) return;
  int wn = MultiByteToWideChar(932, 0, sjis, len, nullptr, 0);
  if (wn <= 0) return;
  wchar_t* w = (wchar_t*)malloc(sizeof(wchar_t) * (size_t)wn);
  if (!w) return;
  MultiByteToWideChar(932, 0, sjis, len, w, wn);
  DWORD mode = 0;
  if (GetConsoleMode(h, &mode)) {
    // A console shows UTF-16 whatever its code page.
    DWORD done = 0;
    WriteConsoleW(h, w, (DWORD)wn, &done, nullptr);
  } else {
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
  free(w);
}

// The arguments are Shift-JIS already (see wmain).
void conputarg(int stream, const char* arg) { conputs(stream, arg); }

int wmain(int argc, wchar_t** wargv) {
  // The seam takes Shift-JIS paths; a character without a Shift-JIS form
  // becomes '?', and such a file cannot be opened.
  char** argv = (char**)calloc((size_t)argc + 1, sizeof(char*));
  if (!argv) return 2;
  for (int i = 0; i < argc; i++) {
    int n = WideCharToMultiByte(932, 0, wargv[i], -1, nullptr, 0, nullptr, nullptr);
    argv[i] = (char*)calloc(n > 0 ? (size_t)n : 1, 1);
    if (!argv[i]) return 2;
    if (n > 0) WideCharToMultiByte(932, 0, wargv[i], -1, argv[i], n, nullptr, nullptr);
  }
  return conmain(argc, argv);
}
