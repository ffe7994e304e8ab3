// Stands in for a web browser in the end-to-end tests: records how it was
// started (its command line as the system hands it over, and the window
// placement asked for in its start-up information) in standinbrowser.txt
// beside itself, then ends.  UTF-8, one "key value" a line; written to a
// temporary name first, so a reader never sees half of it.
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <cstdio>
#include <cwchar>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR, int) {
  wchar_t self[MAX_PATH];
  DWORD n = GetModuleFileNameW(nullptr, self, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return 2;
  wchar_t* slash = wcsrchr(self, L'\\');
  if (!slash) return 2;
  slash[1] = 0;
  wchar_t tmp[MAX_PATH + 32], out[MAX_PATH + 32];
  swprintf(tmp, MAX_PATH + 32, L"%lsstandinbrowser.tmp", self);
  swprintf(out, MAX_PATH + 32, L"%lsstandinbrowser.txt", self);

  STARTUPINFOW si;
  memset(&si, 0, sizeof si);
  si.cb = sizeof si;
  GetStartupInfoW(&si);
  const wchar_t* line = GetCommandLineW();
  char utf8[8192];
  int len = WideCharToMultiByte(CP_UTF8, 0, line, -1, utf8, sizeof utf8, nullptr, nullptr);
  if (len <= 0) utf8[0] = 0;
  char hex[2 * sizeof utf8 + 1];
  int h = 0;
  for (const char* p = utf8; *p; p++) h += sprintf(hex + h, "%02x", (unsigned char)*p);
  hex[h] = 0;

  FILE* f = _wfopen(tmp, L"wb");
  if (!f) return 3;
  fprintf(f, "cmdline %s\n", hex);
  fprintf(f, "flags 0x%lx\n", (unsigned long)si.dwFlags);
  fprintf(f, "x %lu\ny %lu\nw %lu\nh %lu\n", (unsigned long)si.dwX, (unsigned long)si.dwY,
          (unsigned long)si.dwXSize, (unsigned long)si.dwYSize);
  fclose(f);
  return MoveFileExW(tmp, out, MOVEFILE_REPLACE_EXISTING) ? 0 : 4;
}
