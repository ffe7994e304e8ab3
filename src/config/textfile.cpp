// Reading a small text file of the program folder whole.  Holds no non-ASCII
// literal: the fuzz build compiles it with clang.
#include "config/textfile.h"

#include "os/os.h"

// The reason of a failed call, never 0.
static uint32_t reason(uint32_t fallback) {
  uint32_t e = osgetlasterror();
  return e ? e : fallback;
}


int readtextfile(const char* path, char* buf, uint32_t max, uint32_t* len, uint32_t* error) {
  *len = 0;
  *error = 0;
  buf[0] = 0;
  OsHandle f = oscreatefile(path, OS_GENERIC_READ | OS_GENERIC_WRITE, OS_FILE_SHARE_READ | OS_FILE_SHARE_WRITE,
                            OS_OPEN_EXISTING);
  if (f == OS_BADFILE || f == 0) {
    *error = reason(OS_ERROR_ACCESS_DENIED);
    // Only a file that is not there is missing; one that cannot be opened
    // is the user's all the same.
    if (!osfindfile(path)) {
      *error = 0;
      return TEXT_MISSING;
    }
    return TEXT_UNREAD;
  }
  // Read to the end of the file (a read may bring less than asked), then
  // one byte more tells whether the file goes on past the buffer.
  uint32_t n = 0;
  int result = TEXT_READ;
  for (;;) {
    uint32_t got = 0;
    char extra;
    int ok = n < max ? osreadfile(f, buf + n, max - n, &got) : osreadfile(f, &extra, 1, &got);
    if (!ok) {
      *error = reason(OS_ERROR_READ_FAULT);
      result = TEXT_UNREAD;
      break;
    }
    if (got == 0) break;
    if (n >= max) {
      result = TEXT_CUT;
      break;
    }
    n += got;
  }
  osclosehandle(f);
  if (result == TEXT_UNREAD) return result;
  buf[n] = 0;
  *len = n;
  return result;
}

// ---- replacing a file whole ------------------------------------------------------

// The first failure's reason is kept; nothing more is written after it.
static void replacefail(Replacement* r, uint32_t error) {
  if (!r->failed) {
    r->failed = 1;
    r->error = error ? error : OS_ERROR_WRITE_FAULT;
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
    replacefail(r, reason(OS_ERROR_WRITE_FAULT));
    return 0;
  }
  r->f = f;
  return 1;
}

int replacewrite(Replacement* r, const void* p, uint32_t n) {
  if (r->failed || !r->f) return 0;
  uint32_t error = 0;
  if (writeall(r->f, p, n, &error)) return 1;
  replacefail(r, error);
  return 0;
}

int endreplace(Replacement* r, int ok) {
  if (!ok) replacefail(r, OS_ERROR_WRITE_FAULT);
  if (r->f) {
    if (!r->failed && !osflushfilebuffers(r->f)) replacefail(r, reason(OS_ERROR_WRITE_FAULT));
    uint32_t error = 0;
    if (!closewritten(r->f, &error)) replacefail(r, error);
    r->f = 0;
  }
  if (!r->failed &&
      !osmovefileex(r->tmp, r->path, OS_MOVEFILE_REPLACE_EXISTING | OS_MOVEFILE_WRITE_THROUGH))
    replacefail(r, reason(OS_ERROR_WRITE_FAULT));
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
    if (!r.f) replacefail(&r, reason(OS_ERROR_WRITE_FAULT));
  }
  int ok = endreplace(&r, 1);
  *error = r.error;
  return ok;
}
