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
  uint32_t put = 0;
  if (b.log && oswritefile(b.log, line, n, &put) && put == n) return;
  if (b.logfails == 0 && (b.log || b.logerror == 0)) b.logerror = osgetlasterror();
  if (b.logerror == 0) b.logerror = OS_ERROR_WRITE_FAULT;
  b.logfails++;
}

// A frame that is not on disk: counted, the first one kept for the report.
static void framefailed(int32_t frameno, uint32_t error) {
  BurstFigures& b = gkesto.burst;
  if (b.framefails == 0) {
    b.firstfail = frameno;
    b.frameerror = error;
  }
  b.framefails++;
}

static void freeslot(int32_t i) {
  BurstFigures& b = gkesto.burst;
  if (!b.handles[i]) return;
  osglobalunlock(b.handles[i]);
  osglobalfree(b.handles[i]);
  b.handles[i] = 0;
  b.frames[i] = nullptr;
}

static void closelog() {
  BurstFigures& b = gkesto.burst;
  if (b.log) osclosehandle(b.log);
  b.log = 0;
}

// Writes the log line of the frame in slot i as frame number frameno, then
// the frame file, and frees the frame.  0 when the frame fails the file check
// (its block is still held then).  A line or a file that cannot be written
// is counted for the report at the end of the burst, a partial file removed;
// *writefailed tells of the file.
static int writeframe(int32_t i, int32_t frameno, int* writefailed) {
  BurstFigures& b = gkesto.burst;
  const uint8_t* p = b.frames[i];
  OsTime t;
  uint16_t* f[8] = {&t.year, &t.month, &t.dayofweek, &t.day, &t.hour, &t.minute, &t.second, &t.ms};
  for (int k = 0; k < 8; k++) *f[k] = get16(p + FRAMETIME + 2 * k);
  char line[160];
  int len = burstlogline(line, sizeof line, frameno, (int32_t)get32(p + FRAMEMS), t);
  burstlog(line, (uint32_t)len);
  *writefailed = 0;
  if (!framecheck(p)) return 0;
  char path[PATHSIZE + 32];
  snprintf(path, sizeof path, "%s\\c%05d.bmp", b.folder, frameno);
  OsHandle fh = oscreatefile(path, OS_GENERIC_READ | OS_GENERIC_WRITE, OS_FILE_SHARE_READ | OS_FILE_SHARE_WRITE,
                             OS_CREATE_ALWAYS);
  uint32_t error = 0;
  if (fh == OS_BADFILE) {
    error = osgetlasterror();
    *writefailed = 1;
  } else {
    uint32_t n = get32(p + FRAMEFILE + 2), put = 0;
    if (!oswritefile(fh, p + FRAMEFILE, n, &put) || put != n) {
      error = osgetlasterror();
      *writefailed = 1;
    }
    if (!osclosehandle(fh) && !*writefailed) {
      error = osgetlasterror();
      *writefailed = 1;
    }
    if (*writefailed) osdeletefile(path);
  }
  if (*writefailed) framefailed(frameno, error ? error : OS_ERROR_WRITE_FAULT);
  freeslot(i);
  return 1;
}

int burststep() {
  BurstFigures& b = gkesto.burst;
  int32_t i = b.straight ? 0 : b.slot;
  if (i < 0 || i >= FRAMESLOTS) return 1;
  if (!grabframe(&b.handles[i], &b.frames[i])) return 1;
  if (b.straight) {
    int failed = 0;
    if (!writeframe(0, b.ondisk + 1, &failed)) {
      // A frame that cannot be a file ends the burst; it is told at its end.
      char msg[128];
      snprintf(msg, sizeof msg, "c%05d.bmp を書き出せないため連写の保存を中止しました (%d 枚保存)", b.ondisk + 1,
               b.ondisk);
      ossetdlgitemtext(gkesto.mw.main, IDC_STATUSLINE, msg);
      framefailed(b.ondisk + 1, 0);
      b.checkfail = b.ondisk + 1;
      freeslot(0);
      return 1;
    }
    b.ondisk++;
    // A frame the disk does not take ends the burst too: the next would fail
    // the same way.
    if (failed || b.ondisk >= b.planned) {
      closelog();
      return 1;
    }
    return 0;
  }
  b.slot++;
  b.taken++;
  return b.taken >= b.planned ? 1 : 0;
}

int burstflush(int32_t n) {
  BurstFigures& b = gkesto.burst;
  int32_t left = b.taken - b.written;
  if (n > left) n = left;
  if (n < 0) n = 0;
  for (int32_t k = 0; k < n; k++) {
    int32_t i = b.writepos;
    int failed = 0;
    if (i < 0 || i >= FRAMESLOTS || !b.frames[i] || writeframe(i, i + 1, &failed)) {
      b.writepos++;
      continue;
    }
    // A frame that cannot be a file ends the burst: the frames after it are
    // dropped and freed, and the log is closed.  All of them are told as
    // lost at the end of the burst.
    char msg[128];
    snprintf(msg, sizeof msg, "c%05d.bmp を書き出せないため連写の保存を中止しました (%d 枚保存)", i + 1,
             i - b.framefails);
    framefailed(i + 1, 0);
    b.framefails += b.taken - i - 1;
    b.checkfail = i + 1;
    for (int32_t j = i; j < b.taken && j < FRAMESLOTS; j++) freeslot(j);
    b.writepos = b.taken;
    b.written = b.taken;
    closelog();
    ossetdlgitemtext(gkesto.mw.main, IDC_STATUSLINE, msg);
    return 0;
  }
  b.written += n;
  if (b.taken - b.written > 0) return 1;
  closelog();
  return 0;
}
