// The rules of the capture area: margins and rectangles, the frame's close
// box, the marker bar, the speed and window list texts, and the capture
// settings' restore.
#include <cstdio>
#include <cstring>

#include "capture/area.h"
#include "capture/capture.h"
#include "gamelog/gamelog.h"
#include "kesto.h"

void marginsfromrects(const int32_t target[4], const int32_t frame[4], int32_t m[4]) {
  m[0] = sat32((int64_t)target[1] - frame[1]);
  m[1] = sat32((int64_t)target[0] - frame[0]);
  m[2] = sat32((int64_t)frame[3] - target[3]);
  m[3] = sat32((int64_t)frame[2] - target[2]);
}

void moveedge(const int32_t frame[4], int i, int32_t old, int32_t v, int32_t out[4]) {
  for (int k = 0; k < 4; k++) out[k] = satcoord(frame[k]);
  int64_t d = (int64_t)v - old;
  switch (i) {
    case 0: out[1] = satcoord(frame[1] - d); break;
    case 1: out[0] = satcoord(frame[0] - d); break;
    case 2: out[3] = satcoord(frame[3] + d); break;
    default: out[2] = satcoord(frame[2] + d); break;
  }
}

int closeboxhit(const int32_t win[4], int32_t x, int32_t y) {
  return x >= win[2] - 19 && x <= win[2] - 3 && y >= win[1] + 3 && y <= win[1] + 21;
}

void markerspan(int32_t W, int32_t width, int32_t pos, int32_t* left, int32_t* right) {
  *left = W * pos / 100;
  *right = *left + W * width / 100;
}

void markercolours(int focus, SlideMode slide, uint32_t* fill, uint32_t* outline) {
  if (!focus) {
    *fill = OS_RGB(160, 96, 32);
    *outline = OS_RGB(192, 96, 32);
  } else if (slide != SlideOff) {
    *fill = *outline = OS_RGB(240, 32, 0);
  } else {
    *fill = *outline = OS_RGB(240, 128, 0);
  }
}

int32_t slideposition(int32_t x, int32_t winleft, int32_t clientw, int32_t width) {
  if (clientw <= 0) return 0;
  int32_t pos = (x - winleft) * 100 / clientw - width / 2;
  if (pos > 100 - width) pos = 100 - width;
  if (pos < 0) pos = 0;
  return pos;
}

void customlabel(int32_t tenths, char* out, int n) {
  snprintf(out, (size_t)n, "%d.%1d 秒", tenths / 10, tenths % 10);
}

int winlisthidden(const char* title) {
  return strncmp(title, "imejpstmain", 11) == 0 || strcmp(title, "Default IME") == 0 || title[0] == 0;
}

void winlistentry(const char* title, const char* module, int slot, char* out) {
  // The title and the module name are whole Shift-JIS texts; the entry is
  // built in a buffer that holds them all and then cut at a character's end.
  static char whole[512 + 256 + 32];
  snprintf(whole, sizeof whole, "<%s> %s #%d", title[0] ? title : "タイトル名無し", module, slot);
  sjiscopy(out, WINTEXTSIZE, whole);
}

int32_t clampcount(int32_t v) { return v < 0 ? 0 : v > 99999 ? 99999 : v; }

int32_t fieldint(const char* text) {
  const char* p = text;
  while (*p == ' ' || (*p >= '\t' && *p <= '\r')) p++;
  bool neg = false;
  if (*p == '+' || *p == '-') neg = *p++ == '-';
  if (*p < '0' || *p > '9') return 0;
  int64_t v = 0;
  for (; *p >= '0' && *p <= '9'; p++)
    if (v < ((int64_t)1 << 40)) v = v * 10 + (*p - '0');
  while (*p == ' ' || (*p >= '\t' && *p <= '\r')) p++;
  if (*p) return 0;  // not a number, as the system's own reading has it
  return sat32(neg ? -v : v);
}

int32_t* marginset() {
  Settings& s = gkesto.set;
  return s.work.enablearea == 1 ? s.work.defaultarea : s.work.enablearea == 2 ? s.work.customarea : s.windowarea;
}

void loadmargins() { memcpy(gkesto.set.margins, marginset(), sizeof gkesto.set.margins); }

void restorecapture() {
  Settings& s = gkesto.set;
  s.work = s.saved;
  memset(s.windowarea, 0, sizeof s.windowarea);
  loadmargins();
}

static const char* const kspeeds[INTERVALROWS - 1] = {"0.5 秒", "0.4 秒", "0.3 秒", "0.2 秒",
                                                      "0.1 秒", "0.066 秒", "0.033 秒"};

void fillspeeds(OsWin list, uint32_t addmsg, uint32_t selmsg) {
  char custom[32];
  customlabel(gkesto.set.custominterval, custom, sizeof custom);
  osaddstring(list, addmsg, custom);
  for (const char* s : kspeeds) osaddstring(list, addmsg, s);
  int32_t row = gkesto.set.interval;
  if (row < 0 || row >= INTERVALROWS) row = 0;
  ossendmessage(list, selmsg, (uintptr_t)kintervals[row].listpos, 0);
}

int burstrunning() { return gkesto.mw.cap.burst != BurstIdle; }

void pickspeed(OsWin owner, OsWin list, int combo, OsWin other, const char* caption) {
  int32_t row = gkesto.set.interval;
  if (row < 0 || row >= INTERVALROWS) row = 0;
  if (burstrunning()) {
    ossendmessage(list, combo ? OS_CB_SETCURSEL : OS_LB_SETCURSEL, (uintptr_t)kintervals[row].listpos, 0);
    osmessagebox(owner, "連写中にこの操作はできません", caption, OS_MB_ICONERROR);
    return;
  }
  intptr_t pos = ossendmessage(list, combo ? OS_CB_GETCURSEL : OS_LB_GETCURSEL, 0, 0);
  if (pos < 0) return;
  int32_t picked = intervalrow((int32_t)pos);
  if (picked == row) return;
  // Timer 1 takes the row's period the next time it starts.
  gkesto.set.interval = picked;
  if (other) ossendmessage(other, combo ? OS_LB_SETCURSEL : OS_CB_SETCURSEL, (uintptr_t)pos, 0);
}
