// The fake desktop's clipboard and screen: the clipboard and the images it
// holds, their rows, and grabs of the screen's picture (fakepixel).
#include "os/fake/fakeos.h"

#include <cstring>

#include "os/fake/fakeshared.h"

// ---- the clipboard ----------------------------------------------------------

int osopenclipboard(OsWin) {
  if (gfake.oncall) gfake.oncall("osopenclipboard");
  if (takefault(gfake.clipboardheld)) return failwith(OS_ERROR_ACCESS_DENIED);
  if (gfake.clipboardopen) return 0;
  gfake.clipboardopen = 1;
  return 1;
}

int osemptyclipboard() {
  if (!gfake.clipboardopen) return 0;
  gfake.clipboardempties++;
  gfake.clipseq++;
  gfake.clipboardhasimage = 0;
  gfake.clipimage = 0;
  return 1;
}

OsHandle osgetclipboardbitmap() { return gfake.clipboardopen ? gfake.clipimage : 0; }

uint32_t osgetclipboardsequencenumber() { return gfake.clipseqzero ? 0 : gfake.clipseq; }

int oscloseclipboard() {
  if (!gfake.clipboardopen) return 0;
  gfake.clipboardopen = 0;
  return 1;
}

// ---- bitmaps and the screen -------------------------------------------------

uint32_t fakepixel(int x, int y) {
  uint32_t r = (uint32_t)(x * 7 + y * 3) & 0xFF;
  uint32_t g = (uint32_t)(x ^ (y * 5)) & 0xFF;
  uint32_t b = (uint32_t)(x / 3 + y * 11 + 1) & 0xFF;
  return r << 16 | g << 8 | b;
}

OsHandle fakeclipimage(int w, int h) {
  OsHandle hd = 0xB000 + (OsHandle)gfake.images.size() * 4;
  gfake.images.push_back(FakeImage{hd, w, h, 1, 0});
  gfake.clipimage = hd;
  gfake.clipboardhasimage = 1;
  gfake.clipseq++;
  return hd;
}

static FakeImage* findimage(OsHandle h) {
  for (auto& i : gfake.images)
    if (i.handle == h) return &i;
  return nullptr;
}

static uint64_t fakeimagesize(int64_t w, int64_t h) {
  if (w < 0) w = -w;
  if (h < 0) h = -h;
  return (uint64_t)((w * 3 + 3) & ~(int64_t)3) * (uint64_t)h;
}

// Bottom-up 24-bit rows of the screen's picture from (left, top), black
// outside the screen.
static void fillrows(uint8_t* buf, int32_t left, int32_t top, int32_t w, int32_t h, int onscreenonly) {
  uint64_t stride = fakeimagesize(w, 1);
  for (int32_t y = 0; y < h; y++) {
    uint8_t* row = buf + stride * (uint64_t)(h - 1 - y);
    memset(row, 0, (size_t)stride);
    for (int32_t x = 0; x < w; x++) {
      int64_t sx = (int64_t)left + x, sy = (int64_t)top + y;
      if (onscreenonly && (sx < 0 || sy < 0 || sx >= gfake.screenw || sy >= gfake.screenh)) continue;
      uint32_t p = fakepixel((int)sx, (int)sy);
      row[3 * x] = (uint8_t)p;
      row[3 * x + 1] = (uint8_t)(p >> 8);
      row[3 * x + 2] = (uint8_t)(p >> 16);
    }
  }
}

int osgetbitmapheader(OsHandle bmp, OsBitmapHeader* h) {
  FakeImage* i = findimage(bmp);
  memset(h, 0, sizeof *h);
  h->size = 40;
  if (!i) return 0;
  h->width = i->width;
  h->height = i->height;
  h->planes = i->planes;
  h->bitcount = 32;
  h->compression = 3;  // bit fields, as a 32-bit screen's bitmap reports it
  h->sizeimage = (uint32_t)(4ull * (uint64_t)(i->width < 0 ? -i->width : i->width) *
                            (uint64_t)(i->height < 0 ? -i->height : i->height));
  h->xppm = 3780;
  h->yppm = 3780;
  return 1;
}

int osgetbitmaprows(OsHandle bmp, OsBitmapHeader* h, void* buf, uint32_t size) {
  FakeImage* i = findimage(bmp);
  if (!i || i->rowsfail) return 0;
  int32_t w = i->width, hh = i->height < 0 ? -i->height : i->height;
  uint64_t need = fakeimagesize(w, hh);
  if (w <= 0 || need > size) return 0;
  h->bitcount = 24;
  h->compression = 0;
  h->sizeimage = (uint32_t)need;
  fillrows((uint8_t*)buf, 0, 0, w, hh, 0);
  gfake.rowsfetched++;
  return 1;
}

int osgrabscreen(const int32_t r[4], OsBitmapHeader* h, void* buf, uint32_t size) {
  gfake.grabs++;
  memcpy(gfake.lastgrab, r, sizeof gfake.lastgrab);
  int64_t w = (int64_t)r[2] - r[0], hh = (int64_t)r[3] - r[1];
  if (w < 0) w = -w;
  if (hh < 0) hh = -hh;
  memset(h, 0, sizeof *h);
  h->size = 40;
  // CreateCompatibleBitmap fails for an empty size
  if (w == 0 || hh == 0 || takefault(gfake.grabfails)) return 0;
  h->planes = 1;
  h->bitcount = 32;
  if (takefault(gfake.blitfails)) return 0;
  if (fakeimagesize(w, hh) > size) return 0;
  fillrows((uint8_t*)buf, r[0], r[1], (int32_t)w, (int32_t)hh, 1);
  gfake.grabsok++;
  return 1;
}

int osgetsystemmetrics(int index) {
  if (index == OS_SM_CXSCREEN) return gfake.screenw;
  if (index == OS_SM_CYSCREEN) return gfake.screenh;
  return 0;
}
