// One rule for every write and every read of a file.
#include "fileio.h"

// The reason of a failed call, never 0.
static uint32_t reason(uint32_t fallback) {
  uint32_t e = osgetlasterror();
  return e ? e : fallback;
}

int writeall(OsHandle f, const void* buf, uint32_t n, uint32_t* error) {
  const uint8_t* p = (const uint8_t*)buf;
  while (n > 0) {
    uint32_t put = 0;
    int ok = oswritefile(f, p, n, &put);
    if (put > 0 && put <= n) {
      // Some bytes went: the next call writes the rest, or tells why not.
      p += put;
      n -= put;
      continue;
    }
    // Nothing went: the reason is asked only of a call that failed.
    *error = ok ? 0 : osgetlasterror();
    if (*error == 0) *error = OS_ERROR_WRITE_FAULT;
    return 0;
  }
  return 1;
}

int closewritten(OsHandle f, uint32_t* error) {
  if (osclosehandle(f)) return 1;
  *error = reason(OS_ERROR_WRITE_FAULT);
  return 0;
}

int readall(OsHandle f, void* p, uint32_t n, uint32_t* got, uint32_t* error) {
  *got = 0;
  while (*got < n) {
    uint32_t k = 0;
    if (!osreadfile(f, (char*)p + *got, n - *got, &k)) {
      *got += k;
      *error = reason(OS_ERROR_READ_FAULT);
      return 0;
    }
    if (k == 0) {
      *error = OS_ERROR_HANDLE_EOF;
      return 0;
    }
    *got += k;
  }
  return 1;
}
