// Reading a small text file of the program folder whole.  Holds no non-ASCII
// literal: the fuzz build compiles it with clang.
#include "config/textfile.h"

#include "os/os.h"

int readtextfile(const char* path, char* buf, uint32_t max, uint32_t* len) {
  *len = 0;
  OsHandle f = oscreatefile(path, OS_GENERIC_READ | OS_GENERIC_WRITE, OS_FILE_SHARE_READ | OS_FILE_SHARE_WRITE,
                            OS_OPEN_EXISTING);
  if (f == OS_BADFILE || f == 0) return 0;
  uint32_t n = 0;
  int ok = 1;
  while (n < max) {
    uint32_t got = 0;
    ok = osreadfile(f, buf + n, max - n, &got);
    if (!ok || got == 0) break;
    n += got;
  }
  osclosehandle(f);
  if (!ok) return 0;
  buf[n] = 0;
  *len = n;
  return 1;
}
