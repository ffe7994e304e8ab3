// The file calls of the system seam for a Windows console tool: what the log
// reader, the course reader and the page writers use, without the windows,
// timers and message boxes of kesto.exe's seam.  Paths are Shift-JIS and are
// converted with code page 932, as kesto.exe does.
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <cstring>

#include "os/os.h"

#define WBUF 1024

static void towide(const char* s, wchar_t* w, int n) {
  int got = MultiByteToWideChar(932, 0, s, -1, w, n);
  if (got <= 0) w[0] = 0;  // too long for MAX_PATH-style buffers: no such file
}

OsHandle oscreatefile(const char* path, uint32_t access, uint32_t share, uint32_t disposition) {
  wchar_t w[WBUF];
  towide(path, w, WBUF);
  if (!w[0]) return OS_BADFILE;
  HANDLE h = CreateFileW(w, access, share, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
  return h == INVALID_HANDLE_VALUE ? OS_BADFILE : (OsHandle)h;
}

int osreadfile(OsHandle f, void* buf, uint32_t n, uint32_t* got) {
  DWORD g = 0;
  BOOL ok = ReadFile((HANDLE)f, buf, n, &g, nullptr);
  *got = g;
  return ok ? 1 : 0;
}

int oswritefile(OsHandle f, const void* buf, uint32_t n, uint32_t* put) {
  DWORD p = 0;
  BOOL ok = WriteFile((HANDLE)f, buf, n, &p, nullptr);
  *put = p;
  return ok && p == n ? 1 : 0;
}

int osclosehandle(OsHandle h) { return CloseHandle((HANDLE)h) ? 1 : 0; }

uint32_t osgetfilesize(OsHandle f) {
  DWORD high = 0;
  DWORD low = GetFileSize((HANDLE)f, &high);
  if (low == INVALID_FILE_SIZE && GetLastError() != NO_ERROR) return OS_INVALID_FILE_SIZE;
  return high ? OS_INVALID_FILE_SIZE : low;
}

int osgetfiletimelocal(OsHandle f, OsTime* t) {
  FILETIME write, local;
  SYSTEMTIME st;
  if (!GetFileTime((HANDLE)f, nullptr, nullptr, &write)) return 0;
  if (!FileTimeToLocalFileTime(&write, &local) || !FileTimeToSystemTime(&local, &st)) return 0;
  t->year = st.wYear;
  t->month = st.wMonth;
  t->dayofweek = st.wDayOfWeek;
  t->day = st.wDay;
  t->hour = st.wHour;
  t->minute = st.wMinute;
  t->second = st.wSecond;
  t->ms = st.wMilliseconds;
  return 1;
}

uint32_t osgetlasterror() { return GetLastError(); }
