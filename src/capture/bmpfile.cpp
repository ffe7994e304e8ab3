// Reading BMP files back, every field checked before it is used.
#include "capture/bmpfile.h"

#include "capture/capture.h"
#include "fileio.h"

#define BMPMAXSIDE 32768

// Little-endian fields (kept here: the console tool links no screen grab).
static uint16_t le16(const uint8_t* p) { return (uint16_t)(p[0] | p[1] << 8); }
static uint32_t le32(const uint8_t* p) {
  return (uint32_t)p[0] | (uint32_t)p[1] << 8 | (uint32_t)p[2] << 16 | (uint32_t)p[3] << 24;
}

static OsHandle openbmp(const char* path, uint32_t* error) {
  OsHandle f = oscreatefile(path, OS_GENERIC_READ, OS_FILE_SHARE_READ | OS_FILE_SHARE_WRITE, OS_OPEN_EXISTING);
  if (f == OS_BADFILE || f == 0) {
    uint32_t e = osgetlasterror();
    *error = e ? e : OS_ERROR_FILE_NOT_FOUND;
    return 0;
  }
  return f;
}

// The headers of the open file f.
static int readinfo(OsHandle f, BmpInfo* info, uint32_t* error) {
  uint8_t h[BMPHEADERS];
  uint32_t got = 0;
  uint32_t filesize = osgetfilesize(f);
  if (!readall(f, h, sizeof h, &got, error)) {
    if (*error == OS_ERROR_HANDLE_EOF) *error = OS_ERROR_BAD_FORMAT;
    return 0;
  }
  *error = OS_ERROR_BAD_FORMAT;
  if (h[0] != 'B' || h[1] != 'M' || filesize == OS_INVALID_FILE_SIZE) return 0;
  uint32_t offset = le32(h + 10), infosize = le32(h + 14);
  int32_t width = (int32_t)le32(h + 18), height = (int32_t)le32(h + 22);
  uint16_t bits = le16(h + 28);
  uint32_t compression = le32(h + 30);
  if (infosize < BMPINFOHEADER || offset < BMPFILEHEADER + infosize || (bits != 24 && bits != 32) ||
      compression != 0 || width < 1 || width > BMPMAXSIDE || height == INT32_MIN || height == 0)
    return 0;
  int topdown = height < 0;
  if (topdown) height = -height;
  if (height > BMPMAXSIDE) return 0;
  uint32_t bytespp = bits / 8u;
  uint32_t stride = ((uint32_t)width * bytespp + 3u) & ~3u;
  uint64_t size = (uint64_t)stride * (uint32_t)height;
  if (size > BMPREADMAX || offset > filesize || size > filesize - offset) return 0;
  info->width = width;
  info->height = height;
  info->bytespp = (int32_t)bytespp;
  info->topdown = topdown;
  info->offset = offset;
  info->stride = stride;
  info->size = (uint32_t)size;
  *error = 0;
  return 1;
}

int bmpinfo(const char* path, BmpInfo* info, uint32_t* error) {
  OsHandle f = openbmp(path, error);
  if (!f) return 0;
  int ok = readinfo(f, info, error);
  osclosehandle(f);
  return ok;
}

int bmpread(const char* path, BmpInfo* info, uint8_t* buf, uint32_t size, uint32_t* error) {
  OsHandle f = openbmp(path, error);
  if (!f) return 0;
  int ok = readinfo(f, info, error);
  if (ok && info->size > size) {
    *error = OS_ERROR_BAD_FORMAT;
    ok = 0;
  }
  if (ok && !ossetfilepointer(f, info->offset)) {
    uint32_t e = osgetlasterror();
    *error = e ? e : OS_ERROR_READ_FAULT;
    ok = 0;
  }
  uint32_t got = 0;
  if (ok) ok = readall(f, buf, info->size, &got, error);
  osclosehandle(f);
  return ok;
}
