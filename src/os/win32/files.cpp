// The text conversion and the file calls of the system seam on Windows: what
// kesto.exe and the console tool kestocard.exe share (with the folder search
// and the movable memory blocks a burst's animated PNG needs).  Holds no
// window code.
// Paths are Shift-JIS and are converted with code page 932 explicitly.
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <cstring>

#include "os/os.h"
#include "sjis.h"
#include "os/win32/oswin32.h"

// ---- text conversion -------------------------------------------------------

// A Shift-JIS text as UTF-16, in a buffer of n wide characters (cut when
// longer, never inside a character).  Converted run by run (sjisrun), so a
// lone lead byte never takes the byte after it.  1 when the whole text
// fits, else 0.
int towide(const char* s, wchar_t* w, int n) {
  if (n <= 0) return 0;
  w[0] = 0;
  if (!s) return 1;
  int len = (int)strlen(s);
  int got = 0;
  int whole = 1;
  for (int i = 0; i < len;) {
    if (got >= n - 1) {
      whole = 0;
      break;
    }
    int end = sjisrun(s, len, i);
    int keep = end - i;
    int k = MultiByteToWideChar(932, 0, s + i, keep, w + got, n - 1 - got);
    if (k <= 0) {
      // Too long for the buffer: convert what fits, without a broken character.
      while (keep > 0 && (k = MultiByteToWideChar(932, 0, s + i, keep, w + got, n - 1 - got)) <= 0)
        keep = sjiscut(s + i, keep, keep - 1);
      if (k > 0) got += k;
      whole = 0;
      break;
    }
    got += k;
    i = end;
  }
  w[got] = 0;
  return whole;
}

// A UTF-16 text as Shift-JIS in a buffer of n bytes, cut without splitting a
// double-byte character.  Returns the length, or -1 when a character has no
// Shift-JIS form (the text then holds '?' for it).
int tosjis(const wchar_t* w, int wlen, char* s, int n) {
  if (n <= 0) return 0;
  s[0] = 0;
  if (wlen < 0) wlen = (int)wcslen(w);
  if (wlen == 0) return 0;
  BOOL lossy = FALSE;
  int need = WideCharToMultiByte(932, WC_NO_BEST_FIT_CHARS, w, wlen, nullptr, 0, nullptr, &lossy);
  if (need <= 0) return 0;
  char stackbuf[2048];
  char* full = need <= (int)sizeof stackbuf ? stackbuf : (char*)HeapAlloc(GetProcessHeap(), 0, need);
  if (!full) return 0;
  WideCharToMultiByte(932, WC_NO_BEST_FIT_CHARS, w, wlen, full, need, nullptr, &lossy);
  int keep = sjiscut(full, need, n - 1);
  memcpy(s, full, keep);
  s[keep] = 0;
  if (full != stackbuf) HeapFree(GetProcessHeap(), 0, full);
  return lossy ? -1 : keep;
}

// ---- files -----------------------------------------------------------------

// Whether a file or folder of that name is there (the readers tell a file
// they cannot open from a missing one with it).
int osfindfile(const char* path) {
  wchar_t w[WBUF];
  towide(path, w, WBUF);
  WIN32_FIND_DATAW fd;
  HANDLE h = FindFirstFileW(w, &fd);
  if (h == INVALID_HANDLE_VALUE) return 0;
  FindClose(h);
  return 1;
}

// ---- searching a folder ----------------------------------------------------

// A found entry as the seam tells it; 0 when its name has no Shift-JIS form
// or does not fit (it is then passed over).
static int takefound(const WIN32_FIND_DATAW& w, OsFindData* fd) {
  fd->attributes = w.dwFileAttributes & OS_FILE_ATTRIBUTE_DIRECTORY;
  int n = tosjis(w.cFileName, -1, fd->name, sizeof fd->name);
  return n > 0 && n < (int)sizeof fd->name - 1;
}

int osfindnextfile(OsHandle h, OsFindData* fd) {
  WIN32_FIND_DATAW w;
  while (FindNextFileW((HANDLE)h, &w))
    if (takefound(w, fd)) return 1;
  return 0;
}

OsHandle osfindfirstfile(const char* pattern, OsFindData* fd) {
  wchar_t w[WBUF];
  towide(pattern, w, WBUF);
  WIN32_FIND_DATAW found;
  HANDLE h = FindFirstFileW(w, &found);
  if (h == INVALID_HANDLE_VALUE) return OS_BADFILE;
  if (takefound(found, fd) || osfindnextfile((OsHandle)h, fd)) return (OsHandle)h;
  FindClose(h);
  return OS_BADFILE;
}

int osfindclose(OsHandle h) { return FindClose((HANDLE)h) ? 1 : 0; }

OsHandle oscreatefile(const char* path, uint32_t access, uint32_t share, uint32_t disposition) {
  // A path too long for the buffer is no file: a cut one could name another.
  wchar_t w[WBUF];
  if (!towide(path, w, WBUF)) return OS_BADFILE;
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

int ossetfilepointer(OsHandle f, uint32_t offset) {
  LONG high = 0;
  DWORD r = SetFilePointer((HANDLE)f, (LONG)offset, &high, FILE_BEGIN);
  return r == INVALID_SET_FILE_POINTER && GetLastError() != NO_ERROR ? 0 : 1;
}

int oscopyfile(const char* from, const char* to, int failifexists) {
  wchar_t wf[WBUF], wt[WBUF];
  towide(from, wf, WBUF);
  towide(to, wt, WBUF);
  return CopyFileW(wf, wt, failifexists ? TRUE : FALSE) ? 1 : 0;
}

int osflushfilebuffers(OsHandle f) { return FlushFileBuffers((HANDLE)f) ? 1 : 0; }

// A path as UTF-16 only when it fits whole: a cut one could name another file.
static int wholepath(const char* path, wchar_t* w) {
  int need = MultiByteToWideChar(932, 0, path, -1, nullptr, 0);
  if (need <= 0 || need > WBUF) {
    SetLastError(ERROR_FILENAME_EXCED_RANGE);
    return 0;
  }
  towide(path, w, WBUF);
  return 1;
}

int osmovefileex(const char* from, const char* to, uint32_t flags) {
  wchar_t wf[WBUF], wt[WBUF];
  if (!wholepath(from, wf) || !wholepath(to, wt)) return 0;
  return MoveFileExW(wf, wt, flags) ? 1 : 0;
}

int osdeletefile(const char* path) {
  wchar_t w[WBUF];
  if (!wholepath(path, w)) return 0;
  return DeleteFileW(w) ? 1 : 0;
}

uint32_t osgetcompressedfilesize(const char* path) {
  wchar_t w[WBUF];
  towide(path, w, WBUF);
  DWORD high = 0;
  DWORD low = GetCompressedFileSizeW(w, &high);
  if (low == INVALID_FILE_SIZE && GetLastError() != NO_ERROR) return OS_INVALID_FILE_SIZE;
  return high ? OS_INVALID_FILE_SIZE : low;
}

static void totime(const SYSTEMTIME& st, OsTime* t) {
  t->year = st.wYear;
  t->month = st.wMonth;
  t->dayofweek = st.wDayOfWeek;
  t->day = st.wDay;
  t->hour = st.wHour;
  t->minute = st.wMinute;
  t->second = st.wSecond;
  t->ms = st.wMilliseconds;
}

int osgetfiletimelocal(OsHandle f, OsTime* t) {
  FILETIME write, local;
  SYSTEMTIME st;
  if (!GetFileTime((HANDLE)f, nullptr, nullptr, &write)) return 0;
  if (!FileTimeToLocalFileTime(&write, &local) || !FileTimeToSystemTime(&local, &st)) return 0;
  totime(st, t);
  return 1;
}

int osgetdiskfreespace(const char* root, uint32_t* spc, uint32_t* bps, uint32_t* freeclusters,
                       uint32_t* totalclusters) {
  wchar_t w[16];
  towide(root, w, 16);
  DWORD a = 0, b = 0, c = 0, d = 0;
  if (!w[0] || !GetDiskFreeSpaceW(w, &a, &b, &c, &d)) return 0;
  *spc = a;
  *bps = b;
  *freeclusters = c;
  *totalclusters = d;
  return 1;
}

uint32_t osgetcurrentdirectory(uint32_t n, char* buf) {
  wchar_t w[32768];
  DWORD len = GetCurrentDirectoryW(32768, w);
  if (len == 0 || len >= 32768) return 0;
  static char full[4 * 32768];
  int got = tosjis(w, (int)len, full, (int)sizeof full);
  if (got < 0) return 0;  // a character without a Shift-JIS form: the path cannot be used
  if ((uint32_t)got + 1 > n) return (uint32_t)got + 1;
  memcpy(buf, full, got + 1);
  return (uint32_t)got;
}

uint32_t osgetwindowsdirectory(uint32_t n, char* buf) {
  wchar_t w[MAX_PATH + 1];
  UINT len = GetWindowsDirectoryW(w, MAX_PATH + 1);
  if (len == 0 || len > MAX_PATH) return 0;
  char full[4 * (MAX_PATH + 1)];
  int got = tosjis(w, (int)len, full, (int)sizeof full);
  if (got <= 0) return 0;
  if ((uint32_t)got + 1 > n) return (uint32_t)got + 1;
  memcpy(buf, full, got + 1);
  return (uint32_t)got;
}

void osgetlocaltime(OsTime* t) {
  SYSTEMTIME st;
  GetLocalTime(&st);
  totime(st, t);
}

uint32_t osgetlasterror() { return GetLastError(); }

// ---- movable memory blocks -----------------------------------------------------

OsHandle osglobalalloc(uint32_t size) { return (OsHandle)GlobalAlloc(GMEM_MOVEABLE, size); }
void* osgloballock(OsHandle m) { return GlobalLock((HGLOBAL)m); }
int osglobalunlock(OsHandle m) { return GlobalUnlock((HGLOBAL)m) ? 1 : 0; }
OsHandle osglobalfree(OsHandle m) { return (OsHandle)GlobalFree((HGLOBAL)m); }
