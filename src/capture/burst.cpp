// The burst capture engine.
#include "capture/burst.h"

#include <cstdio>
#include <cstring>

#include "capture/capture.h"
#include "kesto.h"
#include "res/resource.h"

#define MEMRESERVE 67108864u  // physical memory a burst leaves alone

void burstprep() {
  BurstFigures& b = gkesto.burst;
  b.straight = gkesto.mw.pace.period > b.diskthreshold ? 1 : 0;
  int32_t r[4] = {0, 0, 0, 0};
  if (!osgetwindowrect(gkesto.mw.foreground, r)) memset(r, 0, sizeof r);
  // In 64 bits: neither a large window, 4 TiB of free disk nor less memory
  // than the reserve wraps.
  int64_t w = (int64_t)r[2] - r[0], h = (int64_t)r[3] - r[1];
  uint64_t framebytes = imagesize(sat32(w), sat32(h)) + FRAMEPIXELS;
  uint64_t planned;
  if (b.straight) {
    uint64_t kb = framebytes / 1024u;
    if (kb < 1) kb = 1;
    uint64_t freemb = gkesto.mw.freemb > 0 ? (uint64_t)gkesto.mw.freemb : 0;
    planned = (freemb * 1024u / 10u * 9u) / kb;
    if (planned > DISKFRAMEMAX) planned = DISKFRAMEMAX;
  } else {
    uint64_t avail = osavailphys();
    // Nothing is planned in the memory the burst leaves alone.
    planned = avail > MEMRESERVE ? (avail - MEMRESERVE) / 10u * 9u / framebytes : 0;
    if (planned > MEMFRAMEMAX) planned = MEMFRAMEMAX;
  }
  int32_t pages = gkesto.set.work.capturepage;
  if (pages > 0 && (uint64_t)pages < planned) planned = (uint64_t)pages;
  b.planned = (int32_t)planned;
  b.slot = 0;
  b.writepos = 0;
  b.ondisk = 0;
}

int burstpaths(const char* home, const OsTime& t, char* month, char* folder, char* log, int n) {
  int a = snprintf(month, (size_t)n, "%s\\cap%d%02d", home, t.year, t.month);
  if (a < 0 || a >= n) return 0;
  int b = snprintf(folder, (size_t)n, "%s\\d%02d_%02d%02d_%02d_%02d", month, t.day, t.hour, t.minute, t.second,
                   t.ms / 10);
  if (b < 0 || b >= n) return 0;
  int c = snprintf(log, (size_t)n, "%s\\c%02d%02d_%02d_%03d.txt", folder, t.hour, t.minute, t.second, t.ms);
  return c >= 0 && c < n;
}

int burstlogline(char* out, int n, int32_t frameno, int32_t ms, const OsTime& t) {
  char date[64];
  snprintf(date, sizeof date, "date %d%02d%02d_%02d:%02d_%02d.%03d\r\n", t.year, t.month, t.day, t.hour, t.minute,
           t.second, t.ms);
  int len;
  if (ms < 1000)
    len = snprintf(out, (size_t)n, "DATA c%05d.bmp Tic=%3d ms %s", frameno, ms, date);
  else
    len = snprintf(out, (size_t)n, "DATA c%05d.bmp Tic=%7d,%03d ms %s", frameno, ms / 1000, ms % 1000, date);
  if (len < 0) return 0;
  return len < n ? len : n - 1;
}

int framecheck(const uint8_t* frame) {
  const uint8_t* f = frame + FRAMEFILE;
  uint32_t size = get32(f + 2);
  // The file size counts both headers besides the pixels.
  return f[0] == 'B' && f[1] == 'M' && size >= BMPHEADERS && size - BMPHEADERS <= FRAMEFILEMAX;
}

void burstlog(const char* line, uint32_t n) {
  BurstFigures& b = gkesto.burst;
  uint32_t error = 0;
  if (b.log && writeall(b.log, line, n, &error)) return;
  if (b.logfails == 0 && b.log) b.logerror = error;
  if (b.logerror == 0) b.logerror = OS_ERROR_WRITE_FAULT;
  b.logfails++;
}

static void freeslot(int32_t i) {
  BurstFigures& b = gkesto.burst;
  if (!b.handles[i]) return;
  osglobalunlock(b.handles[i]);
  osglobalfree(b.handles[i]);
  b.handles[i] = 0;
  b.frames[i] = nullptr;
}

// The burst log is flushed and closed at the end of the burst; a failure is
// told with the burst.
static void closelog() {
  BurstFigures& b = gkesto.burst;
  if (!b.log) return;
  int ok = osflushfilebuffers(b.log);
  uint32_t error = ok ? 0 : osgetlasterror();
  if (!osclosehandle(b.log) && ok) {
    ok = 0;
    error = osgetlasterror();
  }
  b.log = 0;
  if (ok) return;
  b.logclosefail = 1;
  if (b.logerror == 0) b.logerror = error ? error : OS_ERROR_WRITE_FAULT;
}

// Writes the file of the frame in slot i as frame number frameno, then its
// log line, and frees the frame.  0 when the file could not be made whole
// (the frame is still held, *error says why, no partial file is left).
static int writeframe(int32_t i, int32_t frameno, uint32_t* error) {
  BurstFigures& b = gkesto.burst;
  const uint8_t* p = b.frames[i];
  char path[PATHSIZE + 32];
  snprintf(path, sizeof path, "%s\\c%05d.bmp", b.folder, frameno);
  if (!writewholefile(path, OS_CREATE_ALWAYS, p + FRAMEFILE, get32(p + FRAMEFILE + 2), nullptr, 0, error)) return 0;
  OsTime t;
  uint16_t* f[8] = {&t.year, &t.month, &t.dayofweek, &t.day, &t.hour, &t.minute, &t.second, &t.ms};
  for (int k = 0; k < 8; k++) *f[k] = get16(p + FRAMETIME + 2 * k);
  char line[160];
  int len = burstlogline(line, sizeof line, frameno, (int32_t)get32(p + FRAMEMS), t);
  burstlog(line, (uint32_t)len);
  freeslot(i);
  return 1;
}

// Writes up to n frames in order without closing the log.
static int writeon(int32_t n) {
  BurstFigures& b = gkesto.burst;
  b.waiting = 0;
  for (int32_t k = 0; k < n && b.written < b.taken; k++) {
    int32_t i = b.written % FRAMESLOTS, frameno = b.written + 1;
    if (b.frames[i] && !framecheck(b.frames[i])) {
      // Too large for a BMP file: this frame alone is skipped, and told.
      char msg[160];
      snprintf(msg, sizeof msg, "c%05d.bmp は大きすぎて BMP ファイルにできないため飛ばしました (ログの行もありません)",
               frameno);
      ossetdlgitemtext(gkesto.mw.main, IDC_STATUSLINE, msg);
      if (b.skipped++ == 0) b.firstskip = frameno;
      freeslot(i);
    } else if (b.frames[i]) {
      uint32_t error = 0;
      if (!writeframe(i, frameno, &error)) {
        b.waiting = 1;
        b.failframe = frameno;
        b.frameerror = error;
        return FLUSHSTOPPED;
      }
      b.ondisk++;
    }
    b.written++;
    b.writepos = b.written;
  }
  return b.taken > b.written ? FLUSHMORE : FLUSHDONE;
}

int burststep() {
  BurstFigures& b = gkesto.burst;
  // Every slot holds a frame not yet written: the burst takes no more.
  if (b.taken - b.written >= FRAMESLOTS) return 1;
  int32_t i = b.taken % FRAMESLOTS;
  int got = grabframe(&b.handles[i], &b.frames[i]);
  if (got == GRABNOBLOCK) return 1;
  if (got == GRABFAILED) {
    b.grabfails++;
    return 0;
  }
  b.taken++;
  b.slot = b.taken % FRAMESLOTS;
  if (b.straight && writeon(1) == FLUSHSTOPPED) return 1;
  return b.taken >= b.planned ? 1 : 0;
}

int burstflush(int32_t n) {
  int r = writeon(n < 0 ? 0 : n);
  if (r == FLUSHDONE) closelog();
  return r;
}

void burstdiscard() {
  BurstFigures& b = gkesto.burst;
  for (; b.written < b.taken; b.written++) {
    freeslot(b.written % FRAMESLOTS);
    b.discarded++;
  }
  b.writepos = b.written;
  b.waiting = 0;
  closelog();
}
