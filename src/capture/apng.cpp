// The animated PNG encoder: header chunks, then per frame a frame control
// chunk and the rectangle's rows, filtered and compressed into chunks of at
// most APNGCHUNK bytes that go to the file as soon as they are full.
#include "capture/apng.h"

#include <cstring>

#include "fileio.h"

#define FILTERS 5  // none, sub, up, average, paeth

static const uint8_t kpngsig[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};

ApngDelay apngdelay(uint32_t ms) {
  if (ms <= 65535) return ApngDelay{(uint16_t)ms, 1000};
  static const uint16_t dens[3] = {100, 10, 1};
  for (int i = 0; i < 3; i++) {
    uint32_t unit = 1000u / dens[i];
    uint32_t n = (uint32_t)(((uint64_t)ms + unit / 2) / unit);
    if (n <= 65535) return ApngDelay{(uint16_t)n, dens[i]};
  }
  return ApngDelay{65535, 1};
}

static void putbe32(uint8_t* p, uint32_t v) {
  p[0] = (uint8_t)(v >> 24);
  p[1] = (uint8_t)(v >> 16);
  p[2] = (uint8_t)(v >> 8);
  p[3] = (uint8_t)v;
}

static void putbe16(uint8_t* p, uint16_t v) {
  p[0] = (uint8_t)(v >> 8);
  p[1] = (uint8_t)v;
}

static void fail(Apng* a, uint32_t error) {
  if (!a->failed) {
    a->failed = 1;
    a->error = error ? error : OS_ERROR_WRITE_FAULT;
  }
}

// Writes the chunk whose type and n data bytes are in a->chunk from offset 4
// (the data after the type, and after the sequence number for fdAT and
// fcTL, which the caller counts in n).
static int putchunk(Apng* a, const char* type, uint32_t n) {
  if (a->failed) return 0;
  putbe32(a->chunk, n);
  memcpy(a->chunk + 4, type, 4);
  uLong crc = crc32(0L, a->chunk + 4, (uInt)(n + 4));
  putbe32(a->chunk + 8 + n, (uint32_t)crc);
  if (!replacewrite(&a->r, a->chunk, n + 12)) {
    fail(a, a->r.error);
    return 0;
  }
  a->outbytes += n + 12;
  return 1;
}

// Data chunks of the frame being compressed: IDAT for the first frame,
// fdAT (with a sequence number) for the others.
static uint32_t dataoffset(const Apng* a) { return a->added == 0 ? 8 : 12; }

static void resetout(Apng* a) {
  a->z.next_out = a->chunk + dataoffset(a);
  a->z.avail_out = APNGCHUNK;
}

static int flushdata(Apng* a) {
  uint32_t n = APNGCHUNK - a->z.avail_out;
  if (n == 0) return 1;
  int ok;
  if (a->added == 0) {
    ok = putchunk(a, "IDAT", n);
  } else {
    putbe32(a->chunk + 8, a->seq++);
    ok = putchunk(a, "fdAT", n + 4);
  }
  resetout(a);
  return ok;
}

// Compresses n bytes of the frame's stream; with finish, ends the stream.
static int compress(Apng* a, const uint8_t* p, uint32_t n, int finish) {
  a->z.next_in = (Bytef*)p;
  a->z.avail_in = n;
  for (;;) {
    int r = deflate(&a->z, finish ? Z_FINISH : Z_NO_FLUSH);
    if (r == Z_STREAM_ERROR) {
      fail(a, OS_ERROR_NOT_ENOUGH_MEMORY);
      return 0;
    }
    if (a->z.avail_out == 0 && !flushdata(a)) return 0;
    if (finish ? r == Z_STREAM_END : a->z.avail_in == 0) break;
  }
  return finish ? flushdata(a) : 1;
}

int apngbegin(Apng* a, const char* path, int32_t width, int32_t height, uint32_t frames) {
  memset(&a->z, 0, sizeof a->z);
  a->zready = 0;
  a->width = width;
  a->height = height;
  a->frames = frames;
  a->added = 0;
  a->seq = 0;
  a->prevmem = a->rowmem = 0;
  a->prev = a->rows = nullptr;
  a->failed = 0;
  a->error = 0;
  a->outbytes = 0;
  memset(a->rect, 0, sizeof a->rect);
  a->r.f = 0;
  a->r.tmp[0] = 0;
  a->r.path = a->path;
  a->r.failed = 0;
  size_t len = strlen(path);
  if (len >= sizeof a->path) {
    a->path[0] = 0;
    fail(a, OS_ERROR_PATH_NOT_FOUND);
    return 0;
  }
  memcpy(a->path, path, len + 1);
  if (width < 1 || height < 1 || width > APNGMAXSIDE || height > APNGMAXSIDE || frames < 1) {
    fail(a, OS_ERROR_WRITE_FAULT);
    return 0;
  }
  uint64_t prevsize = (uint64_t)width * 3 * (uint64_t)height;
  uint64_t rowsize = (uint64_t)width * 3 + FILTERS * ((uint64_t)width * 3 + 1);
  if (prevsize > 0xFFFFFFF0u || !(a->prevmem = osglobalalloc((uint32_t)prevsize)) ||
      !(a->prev = (uint8_t*)osgloballock(a->prevmem)) || !(a->rowmem = osglobalalloc((uint32_t)rowsize)) ||
      !(a->rows = (uint8_t*)osgloballock(a->rowmem)) ||
      deflateInit2(&a->z, 6, Z_DEFLATED, 15, 8, Z_DEFAULT_STRATEGY) != Z_OK) {
    fail(a, OS_ERROR_NOT_ENOUGH_MEMORY);
    apngend(a, 0);
    return 0;
  }
  a->zready = 1;
  if (!beginreplace(&a->r, a->path)) {
    fail(a, a->r.error);
    apngend(a, 0);
    return 0;
  }
  if (!replacewrite(&a->r, kpngsig, sizeof kpngsig)) fail(a, a->r.error);
  a->outbytes = sizeof kpngsig;
  uint8_t* d = a->chunk + 8;
  putbe32(d, (uint32_t)width);
  putbe32(d + 4, (uint32_t)height);
  d[8] = 8;   // bits per sample
  d[9] = 2;   // RGB
  d[10] = 0;  // deflate
  d[11] = 0;  // adaptive filters
  d[12] = 0;  // not interlaced
  putchunk(a, "IHDR", 13);
  putbe32(d, frames);
  putbe32(d + 4, 0);  // loop for ever
  putchunk(a, "acTL", 8);
  if (a->failed) {
    apngend(a, 0);
    return 0;
  }
  return 1;
}

// Top row first: row y of the image (y from the top).
static const uint8_t* imagerow(const ApngImage& img, int32_t y) {
  int32_t r = img.topdown ? y : img.height - 1 - y;
  return img.px + (uint64_t)img.stride * (uint32_t)r;
}

void apngchanged(const ApngImage& img, uint8_t* rgb, uint8_t* row, int copy, int32_t rect[4]) {
  int32_t w = img.width, x0 = w, x1 = -1, y0 = -1, y1 = -1;
  uint32_t linesize = (uint32_t)w * 3;
  for (int32_t y = 0; y < img.height; y++) {
    const uint8_t* s = imagerow(img, y);
    uint8_t* d = row;
    for (int32_t x = 0; x < w; x++, s += img.bytespp, d += 3) {
      d[0] = s[2];
      d[1] = s[1];
      d[2] = s[0];
    }
    uint8_t* old = rgb + (uint64_t)linesize * (uint32_t)y;
    if (memcmp(old, row, linesize) == 0) continue;
    int32_t l = 0, r = w - 1;
    while (memcmp(old + l * 3, row + l * 3, 3) == 0) l++;
    while (memcmp(old + r * 3, row + r * 3, 3) == 0) r--;
    if (l < x0) x0 = l;
    if (r > x1) x1 = r;
    if (y0 < 0) y0 = y;
    y1 = y;
    if (copy) memcpy(old, row, linesize);
  }
  if (y0 < 0) {
    rect[0] = rect[1] = 0;
    rect[2] = rect[3] = 1;
    return;
  }
  rect[0] = x0;
  rect[1] = y0;
  rect[2] = x1 - x0 + 1;
  rect[3] = y1 - y0 + 1;
}

static uint8_t paeth(uint8_t a, uint8_t b, uint8_t c) {
  int p = a + b - c;
  int pa = p > a ? p - a : a - p;
  int pb = p > b ? p - b : b - p;
  int pc = p > c ? p - c : c - p;
  if (pa <= pb && pa <= pc) return a;
  return pb <= pc ? b : c;
}

// The row filtered with filter f (the row above is up, zeros for none) into
// o: the filter byte, then n bytes.  Returns the sum of the bytes taken as
// signed, or stops once it passes limit.
static uint64_t filterone(int f, const uint8_t* cur, const uint8_t* up, uint32_t n, uint8_t* o, uint64_t limit) {
  o[0] = (uint8_t)f;
  uint8_t* d = o + 1;
  uint64_t sum = 0;
#define COST(v) ((v) < 128 ? (v) : 256 - (v))
  switch (f) {
    case 0:
      for (uint32_t i = 0; i < n; i++) sum += COST(cur[i]);
      memcpy(d, cur, n);
      return sum;
    case 1:
      for (uint32_t i = 0; i < n && sum <= limit; i++) {
        uint8_t v = (uint8_t)(cur[i] - (i >= 3 ? cur[i - 3] : 0));
        d[i] = v;
        sum += COST(v);
      }
      return sum;
    case 2:
      for (uint32_t i = 0; i < n && sum <= limit; i++) {
        uint8_t v = (uint8_t)(cur[i] - up[i]);
        d[i] = v;
        sum += COST(v);
      }
      return sum;
    case 3:
      for (uint32_t i = 0; i < n && sum <= limit; i++) {
        uint8_t v = (uint8_t)(cur[i] - (uint8_t)(((i >= 3 ? cur[i - 3] : 0) + up[i]) / 2));
        d[i] = v;
        sum += COST(v);
      }
      return sum;
    default:
      for (uint32_t i = 0; i < n && sum <= limit; i++) {
        uint8_t v = (uint8_t)(cur[i] - (i >= 3 ? paeth(cur[i - 3], up[i], up[i - 3]) : up[i]));
        d[i] = v;
        sum += COST(v);
      }
      return sum;
  }
#undef COST
}

// Filters the n bytes of cur (up: the row above, or null) each way into out
// (FILTERS rows of n + 1 bytes) and returns the row whose bytes, taken as
// signed, sum to the least.  The first row of a rectangle has no row above:
// none and sub are tried, the others being the same as they.
static const uint8_t* filterrow(const uint8_t* cur, const uint8_t* up, uint32_t n, uint8_t* out) {
  const uint8_t* best = nullptr;
  uint64_t bestsum = ~(uint64_t)0;
  for (int f = 0; f < (up ? FILTERS : 2); f++) {
    uint8_t* o = out + (uint64_t)f * (n + 1);
    uint64_t sum = filterone(f, cur, up, n, o, bestsum);
    if (sum < bestsum) {
      bestsum = sum;
      best = o;
    }
  }
  return best;
}

int apngframe(Apng* a, const ApngImage& img, ApngDelay delay) {
  if (a->failed) return 0;
  if (img.width != a->width || img.height != a->height || a->added >= a->frames ||
      (img.bytespp != 3 && img.bytespp != 4)) {
    fail(a, OS_ERROR_WRITE_FAULT);
    return 0;
  }
  uint32_t linesize = (uint32_t)a->width * 3;
  uint8_t* row = a->rows;
  uint8_t* filtered = a->rows + linesize;
  if (a->added == 0) {
    // The whole first frame: every row differs from nothing.
    memset(a->prev, 0, (uint64_t)linesize * (uint32_t)a->height);
    apngchanged(img, a->prev, row, 1, a->rect);
    a->rect[0] = a->rect[1] = 0;
    a->rect[2] = a->width;
    a->rect[3] = a->height;
  } else {
    apngchanged(img, a->prev, row, 1, a->rect);
  }
  // The frame control chunk.
  uint8_t* d = a->chunk + 8;
  putbe32(d, a->seq++);
  putbe32(d + 4, (uint32_t)a->rect[2]);
  putbe32(d + 8, (uint32_t)a->rect[3]);
  putbe32(d + 12, (uint32_t)a->rect[0]);
  putbe32(d + 16, (uint32_t)a->rect[1]);
  putbe16(d + 20, delay.num);
  putbe16(d + 22, delay.den);
  d[24] = 0;  // dispose: none
  d[25] = 0;  // blend: source
  if (!putchunk(a, "fcTL", 26)) return 0;
  // The rectangle's rows, each filtered against the one above it.
  if (deflateReset(&a->z) != Z_OK) {
    fail(a, OS_ERROR_NOT_ENOUGH_MEMORY);
    return 0;
  }
  resetout(a);
  uint32_t n = (uint32_t)a->rect[2] * 3;
  const uint8_t* up = nullptr;
  for (int32_t y = a->rect[1]; y < a->rect[1] + a->rect[3]; y++) {
    const uint8_t* cur = a->prev + (uint64_t)linesize * (uint32_t)y + (uint32_t)a->rect[0] * 3;
    const uint8_t* f = filterrow(cur, up, n, filtered);
    if (!compress(a, f, n + 1, 0)) return 0;
    up = cur;
  }
  if (!compress(a, nullptr, 0, 1)) return 0;
  a->added++;
  return 1;
}

int apngend(Apng* a, int ok) {
  if (ok && !a->failed && a->added != a->frames) fail(a, OS_ERROR_WRITE_FAULT);
  if (!ok) fail(a, OS_ERROR_WRITE_FAULT);
  if (!a->failed) putchunk(a, "IEND", 0);
  int whole = 0;
  if (a->r.f || a->r.tmp[0]) {
    // The replacement keeps its own first reason; ours goes first.
    whole = endreplace(&a->r, !a->failed);
    if (!whole) fail(a, a->r.error);
  }
  if (a->zready) deflateEnd(&a->z);
  a->zready = 0;
  if (a->rowmem) {
    osglobalunlock(a->rowmem);
    osglobalfree(a->rowmem);
  }
  if (a->prevmem) {
    osglobalunlock(a->prevmem);
    osglobalfree(a->prevmem);
  }
  a->rowmem = a->prevmem = 0;
  a->rows = a->prev = nullptr;
  return whole && !a->failed;
}
