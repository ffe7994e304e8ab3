// The animated PNG of a burst folder, made step by step: first every
// frame's header is checked (its size decides which file it goes to),
// then the frames are read and added one by one.
#include "capture/burstapng.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "capture/bmpfile.h"

ApngJob gapngjob;
BurstDir gapngdir;

#define PHASE_CHECK 0
#define PHASE_WRITE 1

// Each frame's size (width << 16 | height) once checked, 0 for a frame that
// cannot be read as a picture; the Tics sorted for the median.
static uint32_t gsizes[BURSTDIRFRAMES];
static int64_t gscratch[BURSTDIRFRAMES];
static Apng gapng;
static int gapngopen;

void apngfilename(int32_t n, char* out, int size) {
  if (n <= 1)
    snprintf(out, (size_t)size, "%s", APNGNAME);
  else
    snprintf(out, (size_t)size, "burst_%d.png", (int)n);
}

int64_t burstmediantic(const BurstDir* d, int64_t* scratch) {
  if (d->count <= 0) return 0;
  if (d->count == 1) return d->frames[0].tic;
  int32_t n = d->count - 1;
  for (int32_t i = 0; i < n; i++) scratch[i] = d->frames[i + 1].tic;
  std::sort(scratch, scratch + n);
  if (n % 2) return scratch[n / 2];
  int64_t a = scratch[n / 2 - 1], b = scratch[n / 2];
  int64_t s = a + b;
  return s >= 0 ? s / 2 : -((-s + 1) / 2);
}

static void framepath(int32_t i, char* out, size_t size) {
  snprintf(out, size, "%s\\%s", gapngdir.folder, gapngdir.frames[i].name);
}

static void pngpath(int32_t n, char* out, size_t size) {
  char name[APNGNAMESIZE];
  apngfilename(n, name, (int)sizeof name);
  snprintf(out, size, "%s\\%s", gapngdir.folder, name);
}

static void freebuf() {
  ApngJob& j = gapngjob;
  if (j.bufmem) {
    osglobalunlock(j.bufmem);
    osglobalfree(j.bufmem);
  }
  j.bufmem = 0;
  j.buf = nullptr;
  j.bufsize = 0;
}

static int stop(int32_t fail, uint32_t error, const char* file) {
  ApngJob& j = gapngjob;
  if (gapngopen) {
    apngend(&gapng, 0);
    gapngopen = 0;
  }
  freebuf();
  j.fail = fail;
  j.error = error;
  snprintf(j.file, sizeof j.file, "%s", file ? file : "");
  j.active = 0;
  return APNGJOB_FAILED;
}

int apngjobbegin(const char* folder) {
  ApngJob& j = gapngjob;
  if (j.active) apngjobcancel();
  memset(&j, 0, sizeof j);
  int r = readburstdir(folder, &gapngdir);
  if (r == BURSTDIR_NOLOG) return stop(APNGFAIL_NOLOG, 0, folder);
  if (r != BURSTDIR_READ) return stop(APNGFAIL_LOG, gapngdir.error, folder);
  j.active = 1;
  j.phase = PHASE_CHECK;
  j.median = burstmediantic(&gapngdir, gscratch);
  return APNGJOB_MORE;
}

void apngjobcancel() {
  if (gapngjob.active) stop(APNGFAIL_NONE, 0, nullptr);
}

// Checks the header of frame i: its size, or 0.
static uint32_t checkframe(int32_t i) {
  if (!gapngdir.frames[i].exists) return 0;
  char path[PATHSIZE + 32];
  framepath(i, path, sizeof path);
  BmpInfo info;
  uint32_t error = 0;
  if (!bmpinfo(path, &info, &error) || info.width > APNGMAXSIDE || info.height > APNGMAXSIDE) return 0;
  if (info.size > gapngjob.bufsize) gapngjob.bufsize = info.size;
  return (uint32_t)info.width << 16 | (uint32_t)info.height;
}

// The index of the next usable frame after i, or the count.
static int32_t nextusable(int32_t i) {
  do i++;
  while (i < gapngdir.count && gsizes[i] == 0);
  return i;
}

// Starts the file of the run that begins at frame i.
static int beginfile(int32_t i) {
  ApngJob& j = gapngjob;
  uint32_t size = gsizes[i];
  int32_t frames = 0, k = i;
  while (k < gapngdir.count && (gsizes[k] == size || gsizes[k] == 0)) {
    if (gsizes[k]) frames++;
    k++;
  }
  j.runend = k;
  j.files++;
  char path[PATHSIZE + APNGNAMESIZE];
  pngpath(j.files, path, sizeof path);
  if (!apngbegin(&gapng, path, (int32_t)(size >> 16), (int32_t)(size & 0xFFFF), (uint32_t)frames))
    return stop(gapng.error == OS_ERROR_NOT_ENOUGH_MEMORY ? APNGFAIL_MEMORY : APNGFAIL_WRITE, gapng.error, path);
  gapngopen = 1;
  return APNGJOB_MORE;
}

// Adds frame i to the file being written, and ends the file after its last.
static int addframe(int32_t i) {
  ApngJob& j = gapngjob;
  char path[PATHSIZE + 32];
  framepath(i, path, sizeof path);
  BmpInfo info;
  uint32_t error = 0;
  if (!bmpread(path, &info, j.buf, j.bufsize, &error)) return stop(APNGFAIL_FRAME, error, path);
  if (((uint32_t)info.width << 16 | (uint32_t)info.height) != gsizes[i])
    return stop(APNGFAIL_FRAME, OS_ERROR_BAD_FORMAT, path);
  int32_t next = nextusable(i);
  int64_t ms = next < gapngdir.count ? gapngdir.frames[next].time - gapngdir.frames[i].time : j.median;
  if (ms < 0) ms = 0;
  if (ms > 0xFFFFFFFF) ms = 0xFFFFFFFF;
  ApngImage img{j.buf, info.width, info.height, info.stride, info.bytespp, info.topdown};
  char png[PATHSIZE + APNGNAMESIZE];
  pngpath(j.files, png, sizeof png);
  if (!apngframe(&gapng, img, apngdelay((uint32_t)ms)))
    return stop(gapng.error == OS_ERROR_NOT_ENOUGH_MEMORY ? APNGFAIL_MEMORY : APNGFAIL_WRITE, gapng.error, png);
  j.written++;
  if (next >= j.runend) {
    gapngopen = 0;
    if (!apngend(&gapng, 1)) return stop(APNGFAIL_WRITE, gapng.error, png);
    j.done++;
    apngfilename(j.files, j.last, (int)sizeof j.last);
    if (j.done == 1) apngfilename(1, j.first, (int)sizeof j.first);
  }
  return APNGJOB_MORE;
}

int apngjobstep(int32_t n) {
  ApngJob& j = gapngjob;
  if (!j.active) return j.fail ? APNGJOB_FAILED : APNGJOB_DONE;
  for (int32_t work = 0; work < n; work++) {
    if (j.phase == PHASE_CHECK) {
      for (int32_t c = 0; c < APNGCHECKS && j.next < gapngdir.count; c++, j.next++) {
        gsizes[j.next] = checkframe(j.next);
        if (gsizes[j.next])
          j.usable++;
        else
          j.skipped++;
      }
      if (j.next < gapngdir.count) continue;
      if (j.usable == 0) return stop(APNGFAIL_NOFRAME, 0, gapngdir.folder);
      if (!(j.bufmem = osglobalalloc(j.bufsize)) || !(j.buf = (uint8_t*)osgloballock(j.bufmem)))
        return stop(APNGFAIL_MEMORY, OS_ERROR_NOT_ENOUGH_MEMORY, gapngdir.folder);
      j.phase = PHASE_WRITE;
      j.next = nextusable(-1);
      continue;
    }
    if (j.next >= gapngdir.count) break;
    if (!gapngopen && beginfile(j.next) == APNGJOB_FAILED) return APNGJOB_FAILED;
    if (addframe(j.next) == APNGJOB_FAILED) return APNGJOB_FAILED;
    j.next = nextusable(j.next);
  }
  if (j.phase == PHASE_WRITE && j.next >= gapngdir.count) {
    freebuf();
    j.active = 0;
    return APNGJOB_DONE;
  }
  return APNGJOB_MORE;
}
