// The BMP layout, the capture rectangle and the screen grab.
#include "capture/capture.h"

#include <cstdint>
#include <cstdio>
#include <cstring>

#include "kesto.h"

uint32_t rowpad(int32_t n) {
  uint32_t b = (uint32_t)n * 3u;
  return (4u - b % 4u) % 4u;
}

uint32_t rowstride(int32_t width) {
  uint32_t w = width < 0 ? 0u - (uint32_t)width : (uint32_t)width;
  return w * 3u + rowpad((int32_t)w);
}

uint64_t imagesize(int32_t width, int32_t height) {
  uint64_t w = width < 0 ? (uint64_t)(-(int64_t)width) : (uint64_t)width;
  uint64_t h = height < 0 ? (uint64_t)(-(int64_t)height) : (uint64_t)height;
  return ((w * 3 + 3) & ~(uint64_t)3) * h;
}

void put16(uint8_t* p, uint16_t v) {
  p[0] = (uint8_t)v;
  p[1] = (uint8_t)(v >> 8);
}

void put32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; i++) p[i] = (uint8_t)(v >> (8 * i));
}

uint16_t get16(const uint8_t* p) { return (uint16_t)(p[0] | p[1] << 8); }

uint32_t get32(const uint8_t* p) {
  return (uint32_t)p[0] | (uint32_t)p[1] << 8 | (uint32_t)p[2] << 16 | (uint32_t)p[3] << 24;
}

void putfileheader(uint8_t* p, uint32_t isize) {
  p[0] = 'B';
  p[1] = 'M';
  put32(p + 2, isize + BMPHEADERS);
  put16(p + 6, 0);
  put16(p + 8, 0);
  put32(p + 10, BMPHEADERS);
}

void putinfoheader(uint8_t* p, const OsBitmapHeader& h) {
  put32(p, h.size);
  put32(p + 4, (uint32_t)h.width);
  put32(p + 8, (uint32_t)h.height);
  put16(p + 12, h.planes);
  put16(p + 14, h.bitcount);
  put32(p + 16, h.compression);
  put32(p + 20, h.sizeimage);
  put32(p + 24, (uint32_t)h.xppm);
  put32(p + 28, (uint32_t)h.yppm);
  put32(p + 32, h.clrused);
  put32(p + 36, h.clrimportant);
}

OsBitmapHeader rgbheader(const OsBitmapHeader& from, int32_t width, int32_t height) {
  OsBitmapHeader h = from;
  h.size = BMPINFOHEADER;
  h.width = width;
  h.height = height;
  h.bitcount = 24;
  h.compression = 0;
  h.sizeimage = (uint32_t)imagesize(width, height);
  return h;
}

int32_t satcoord(int64_t v) { return v < -COORDMAX ? -COORDMAX : v > COORDMAX ? COORDMAX : (int32_t)v; }

int32_t sat32(int64_t v) { return v < INT32_MIN ? INT32_MIN : v > INT32_MAX ? INT32_MAX : (int32_t)v; }

void applymargins(const int32_t win[4], const int32_t m[4], int32_t out[4]) {
  // Margins: top, left, bottom, right; rectangles: left, top, right, bottom.
  // A margin may be typed near either end of 32 bits: summed in 64.
  out[0] = satcoord((int64_t)win[0] - m[1]);
  out[1] = satcoord((int64_t)win[1] - m[0]);
  out[2] = satcoord((int64_t)win[2] + m[3]);
  out[3] = satcoord((int64_t)win[3] + m[2]);
}

int capturerect(int32_t out[4]) {
  int32_t r[4];
  OsWin wins[2] = {gkesto.mw.watch.gamewin, gkesto.chosenwin};
  for (OsWin w : wins)
    if (w && osgetwindowrect(w, r)) {
      applymargins(r, gkesto.set.margins, out);
      return 1;
    }
  if (gkesto.framerectread) {
    memcpy(out, gkesto.framerect, sizeof gkesto.framerect);
    return 1;
  }
  if (gkesto.mw.foreground && osgetwindowrect(gkesto.mw.foreground, out)) return 1;
  memset(out, 0, 4 * sizeof out[0]);
  return 0;
}

int grabframe(OsHandle* handle, uint8_t** frame) {
  BurstFigures& b = gkesto.burst;
  *handle = 0;
  *frame = nullptr;
  int64_t now = 0;
  osqueryperformancecounter(&now);
  int64_t perms = gkesto.mw.countsperms > 0 ? gkesto.mw.countsperms : 1;
  int32_t ms = (int32_t)((now - b.starttime) / perms);
  OsTime t;
  osgetlocaltime(&t);

  int32_t r[4];
  capturerect(r);
  int64_t w = (int64_t)r[2] - r[0], h = (int64_t)r[3] - r[1];
  if (w < 0) w = -w;
  if (h < 0) h = -h;
  // Nothing to copy: no frame.
  if (w == 0 || h == 0) return GRABFAILED;
  // A rectangle beyond 32-bit sizes cannot be a frame.
  if (w > 0x7FFFFFFF || h > 0x7FFFFFFF) return GRABNOBLOCK;
  uint64_t isize = imagesize((int32_t)w, (int32_t)h);
  if (isize > FRAMEIMAGEMAX) return GRABNOBLOCK;

  OsHandle m = osglobalalloc((uint32_t)isize + FRAMEPIXELS);
  if (!m) return GRABNOBLOCK;
  uint8_t* p = (uint8_t*)osgloballock(m);
  if (!p) {
    osglobalfree(m);
    return GRABNOBLOCK;
  }
  OsBitmapHeader sys;
  memset(&sys, 0, sizeof sys);
  sys.size = BMPINFOHEADER;
  if (!osgrabscreen(r, &sys, p + FRAMEPIXELS, (uint32_t)isize) || sys.planes != 1) {
    // No bitmap, no copy or no rows: a black or empty picture is no frame.
    osglobalunlock(m);
    osglobalfree(m);
    return GRABFAILED;
  }
  b.starttime = now;
  OsBitmapHeader hdr = rgbheader(sys, (int32_t)w, (int32_t)h);
  put32(p + FRAMEMS, (uint32_t)ms);
  put16(p + 4, 0);
  const uint16_t f[8] = {t.year, t.month, t.dayofweek, t.day, t.hour, t.minute, t.second, t.ms};
  for (int i = 0; i < 8; i++) put16(p + FRAMETIME + 2 * i, f[i]);
  putfileheader(p + FRAMEFILE, hdr.sizeimage);
  putinfoheader(p + FRAMEINFO, hdr);
  *handle = m;
  *frame = p;
  return GRABBED;
}

int writewholefile(const char* path, uint32_t disposition, const void* a, uint32_t na, const void* b, uint32_t nb,
                   uint32_t* error) {
  *error = 0;
  OsHandle f = oscreatefile(path, OS_GENERIC_READ | OS_GENERIC_WRITE, OS_FILE_SHARE_READ | OS_FILE_SHARE_WRITE,
                            disposition);
  if (f == OS_BADFILE) {
    // Nothing of ours is there to remove.
    *error = osgetlasterror();
    if (*error == 0) *error = OS_ERROR_WRITE_FAULT;
    return 0;
  }
  // Whether it worked and why not are kept apart: a call may fail with no
  // reason, or report success for fewer bytes than asked.
  int whole = writeall(f, a, na, error) && writeall(f, b, nb, error);
  if (!osclosehandle(f) && whole) {
    whole = 0;
    *error = osgetlasterror();
  }
  if (whole) return 1;
  if (*error == 0) *error = OS_ERROR_WRITE_FAULT;
  osdeletefile(path);  // no partial file is left behind
  return 0;
}

int sspaths(const char* home, const OsTime& t, char* month, char* day, char* file, int n) {
  int a = snprintf(month, (size_t)n, "%s\\ss%d%02d", home, t.year, t.month);
  if (a < 0 || a >= n) return 0;
  int b = snprintf(day, (size_t)n, "%s\\d%02d", month, t.day);
  if (b < 0 || b >= n) return 0;
  int c = snprintf(file, (size_t)n, "%s\\KestoSS_%d%02d%02d_%02d%02d_%02d_%03d.bmp", day, t.year, t.month, t.day,
                   t.hour, t.minute, t.second, t.ms);
  return c >= 0 && c < n;
}

int clipimagesize(const OsBitmapHeader& h, uint64_t bufsize, int32_t* width, int32_t* height) {
  // The height's sign only says which way the rows run; INT32_MIN has no
  // positive counterpart and is too tall anyway.
  *width = 0;
  *height = 0;
  if (h.width <= 0 || h.height == 0 || h.height == INT32_MIN) return 0;
  int32_t H = h.height < 0 ? -h.height : h.height;
  if (imagesize(h.width, H) > bufsize) return 0;
  *width = h.width;
  *height = H;
  return 1;
}

int cropinside(int32_t width, int32_t height, const int32_t r[4]) {
  // Each test keeps the next one's arithmetic in range.
  return width > 0 && height > 0 && r[0] >= 0 && r[1] >= 0 && r[2] > r[0] && r[3] > r[1] && r[2] <= width &&
         r[3] <= height && r[2] - r[0] < width;
}

void croprows(const uint8_t* full, int32_t width, int32_t height, const int32_t r[4], uint8_t* crop) {
  int32_t cw = r[2] - r[0], ch = r[3] - r[1];
  uint32_t fstride = rowstride(width), cstride = rowstride(cw), pad = rowpad(cw);
  // Bottom-up rows: row y of the cut is row height - r[3] + y of the image.
  for (int32_t y = ch - 1; y >= 0; y--) {
    const uint8_t* src = full + (size_t)(height - r[3] + y) * fstride + (size_t)r[0] * 3;
    uint8_t* dst = crop + (size_t)y * cstride;
    memcpy(dst, src, (size_t)cw * 3);
    memset(dst + (size_t)cw * 3, 0, pad);
  }
}
