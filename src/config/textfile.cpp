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

// ---- replacing a file whole ------------------------------------------------------

static void replacefail(Replacement* r) {
  if (!r->failed) {
    r->failed = 1;
    r->error = osgetlasterror();
    if (r->error == 0) r->error = OS_ERROR_WRITE_FAULT;
  }
}

int beginreplace(Replacement* r, const char* path) {
  r->f = 0;
  r->path = path;
  r->failed = 0;
  r->error = 0;
  r->tmp[0] = 0;
  uint32_t len = 0;
  while (path[len]) len++;
  if (len + 5 > sizeof r->tmp) {
    r->failed = 1;
    r->error = OS_ERROR_PATH_NOT_FOUND;
    return 0;
  }
  for (uint32_t i = 0; i < len; i++) r->tmp[i] = path[i];
  const char* ext = ".tmp";
  for (uint32_t i = 0; i < 5; i++) r->tmp[len + i] = ext[i];
  OsHandle f = oscreatefile(r->tmp, OS_GENERIC_READ | OS_GENERIC_WRITE, 0, OS_CREATE_ALWAYS);
  if (f == OS_BADFILE || f == 0) {
    replacefail(r);
    return 0;
  }
  r->f = f;
  return 1;
}

int replacewrite(Replacement* r, const void* p, uint32_t n) {
  if (r->failed || !r->f) return 0;
  uint32_t put = 0;
  if (oswritefile(r->f, p, n, &put) && put == n) return 1;
  replacefail(r);
  return 0;
}

int endreplace(Replacement* r, int ok) {
  if (!ok) replacefail(r);
  if (r->f) {
    if (!r->failed && !osflushfilebuffers(r->f)) replacefail(r);
    if (!osclosehandle(r->f)) replacefail(r);
    r->f = 0;
  }
  if (!r->failed &&
      !osmovefileex(r->tmp, r->path, OS_MOVEFILE_REPLACE_EXISTING | OS_MOVEFILE_WRITE_THROUGH))
    replacefail(r);
  if (r->failed && r->tmp[0]) osdeletefile(r->tmp);
  return !r->failed;
}

int replacefile(const char* path, const void* p, uint32_t n, uint32_t* error) {
  Replacement r;
  if (beginreplace(&r, path)) replacewrite(&r, p, n);
  int ok = endreplace(&r, 1);
  *error = r.error;
  return ok;
}

int replacebycopy(const char* from, const char* to, uint32_t* error) {
  Replacement r;
  if (beginreplace(&r, to)) {
    // The system copies the bytes; the copy is then opened again to be
    // flushed to the disk before it takes the old file's place.
    osclosehandle(r.f);
    r.f = 0;
    if (oscopyfile(from, r.tmp, 0)) {
      r.f = oscreatefile(r.tmp, OS_GENERIC_READ | OS_GENERIC_WRITE, 0, OS_OPEN_EXISTING);
      if (r.f == OS_BADFILE) r.f = 0;
    }
    if (!r.f) replacefail(&r);
  }
  int ok = endreplace(&r, 1);
  *error = r.error;
  return ok;
}
