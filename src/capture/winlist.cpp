// The window list of the area dialog, the target window the margins are
// measured from, and the lock-on that keeps the frame on the target.
#include <cstdio>
#include <cstring>

#include "capture/area.h"
#include "capture/capture.h"
#include "gamelog/gamelog.h"
#include "kesto.h"

#define TITLESIZE 512  // GetWindowText: at most 511 characters

int32_t enumwindows(OsWin dlg) {
  static char title[TITLESIZE];
  static char module[256];
  WindowSlot* slots = gkesto.winlist;
  int all = osisdlgbuttonchecked(dlg, IDA_ALL) == 1;
  OsWin start = osgetforegroundwindow();
  for (int i = 0; i < WINLISTSIZE; i++) {
    slots[i].win = 0;
    slots[i].text[0] = 0;
  }
  sjiscopy(slots[0].text, WINTEXTSIZE, "ウインドウ選択無し");
  slots[1].win = start;
  title[0] = 0;
  if (start) osgetwindowtext(start, title, TITLESIZE);
  sjiscopy(slots[1].text, WINTEXTSIZE, title);
  int32_t n = 2;
  // Windows above the foreground window are never listed.
  for (OsWin w = start ? osgetwindow(start, OS_GW_HWNDNEXT) : 0; w && n < WINLISTSIZE;
       w = osgetwindow(w, OS_GW_HWNDNEXT)) {
    title[0] = 0;
    osgetwindowtext(w, title, TITLESIZE);
    if (!all && winlisthidden(title)) continue;
    module[0] = 0;
    osgetwindowmodulename(w, module, sizeof module);
    winlistentry(title, module, n, slots[n].text);
    slots[n].win = w;
    n++;
  }
  gkesto.winlistcount = n;
  return n;
}

void fillwinlist(OsWin dlg, int preselect) {
  int32_t n = enumwindows(dlg);
  OsWin list = osgetdlgitem(dlg, IDA_WINLIST);
  ossendmessage(list, OS_CB_RESETCONTENT, 0, 0);
  for (int32_t i = 0; i < n; i++) osaddstring(list, OS_CB_ADDSTRING, gkesto.winlist[i].text);
  if (!preselect) {
    ossendmessage(list, OS_CB_SETCURSEL, 0, 0);
    return;
  }
  OsWin game = gkesto.mw.watch.gamewin, chosen = gkesto.chosenwin;
  int32_t sel = 0;
  for (int32_t i = 1; i < n; i++) {
    OsWin w = gkesto.winlist[i].win;
    if (w && (w == game || w == chosen)) sel = i;
  }
  ossendmessage(list, OS_CB_SETCURSEL, (uintptr_t)sel, 0);
  takeentry(dlg, 0);
}

void takeentry(OsWin dlg, int chosen) {
  AreaDialogState& a = gkesto.area;
  a.targetknown = 0;
  intptr_t sel = ossendmessage(osgetdlgitem(dlg, IDA_WINLIST), OS_CB_GETCURSEL, 0, 0);
  if (sel < 0 || sel >= gkesto.winlistcount) return;
  OsWin w = gkesto.winlist[sel].win;
  int32_t r[4];
  if (!w || !osgetwindowrect(w, r)) return;
  memcpy(a.prevcheck, r, sizeof r);
  a.target = w;
  if (chosen) gkesto.chosenwin = w;
  a.targetknown = 1;
  applymargins(r, gkesto.set.margins, a.targetrect);
  char b[32];
  snprintf(b, sizeof b, "%dx%d", a.targetrect[2] - a.targetrect[0], a.targetrect[3] - a.targetrect[1]);
  ossetdlgitemtext(dlg, IDA_SIZE, b);
}

void showframe(OsWin dlg) {
  AreaDialogState& a = gkesto.area;
  takeentry(dlg, 1);
  a.lock = LockIdle;
  a.ticks = 0;
  if (closeframe()) return;
  if (framecreate(dlg) && a.target) ossetforegroundwindow(a.target);
}

void clearchoice(OsWin dlg) {
  gkesto.area.target = 0;
  gkesto.chosenwin = 0;
  closeframe();
  ossendmessage(osgetdlgitem(dlg, IDA_WINLIST), OS_CB_SETCURSEL, 0, 0);
}

void armlockon() {
  AreaDialogState& a = gkesto.area;
  if (a.lock == LockIdle && a.targetknown) a.lock = LockArmed;
}

// The target's rectangle now: the latest check becomes the previous one.
static int checktarget() {
  AreaDialogState& a = gkesto.area;
  memcpy(a.prevcheck, a.lastcheck, sizeof a.prevcheck);
  int32_t r[4];
  if (!osgetwindowrect(a.target, r)) return 0;
  memcpy(a.lastcheck, r, sizeof r);
  return 1;
}

// Puts the frame on the target widened by the margins.
static void placeframe(OsWin dlg) {
  AreaDialogState& a = gkesto.area;
  OsWin f = gkesto.mw.framewin;
  int32_t r[4];
  applymargins(a.lastcheck, gkesto.set.margins, r);
  osmovewindow(f, r[0], r[1], r[2] - r[0], r[3] - r[1], 1);
  osgetwindowrect(f, gkesto.framerect);
  refreshzoom();
  a.zoomrepaint = 1;
  osinvalidaterect(dlg, kzoomregion, 1);
}

void lockonstep(OsWin dlg) {
  AreaDialogState& a = gkesto.area;
  OsWin f = gkesto.mw.framewin;
  if (a.ticks < 5) return;
  switch (a.lock) {
    case LockIdle:
      // Without a window the frame's own rectangle is the capture area.
      if (f && osgetwindowrect(f, gkesto.framerect)) gkesto.framerectread = 1;
      break;
    case LockArmed:
      a.ticks = 0;
      a.lock = LockLocked;
      if (!a.target || !f) break;
      ossetforegroundwindow(f);
      if (checktarget()) placeframe(dlg);
      break;
    case LockLocked:
      if (!gkesto.set.work.lockon) break;
      a.ticks = 4;
      if (f && checktarget() && memcmp(a.lastcheck, a.prevcheck, sizeof a.lastcheck) != 0) placeframe(dlg);
      break;
  }
}
