// Capture control in the main window: mode boxes and the burst count field.
#include "app/capctl.h"

#include <cstring>

#include "kesto.h"
#include "app/mainwin.h"
#include "res/resource.h"

void modeclick(int id) {
  CaptureControl& cc = gkesto.mw.cap;
  OsWin w = gkesto.mw.main;
  CaptureMode mine = id == IDC_SS ? ScreenshotMode : BurstMode;
  CaptureMode other = id == IDC_SS ? BurstMode : ScreenshotMode;
  int otherbox = id == IDC_SS ? IDC_BURST : IDC_SS;
  cc.prevmode = cc.mode;
  if (osisdlgbuttonchecked(w, id)) {
    cc.mode = mine;
    if (cc.prevmode == other) oscheckdlgbutton(w, otherbox, 0);
  } else if (cc.prevmode == mine) {
    cc.mode = CaptureOff;
  }
}

void showcount() {
  ossetdlgitemint(gkesto.mw.main, IDC_COUNT, gkesto.set.work.capturepage, 0);
}

void countchanged() {
  CaptureControl& cc = gkesto.mw.cap;
  MainWindowState& mw = gkesto.mw;
  if (cc.burst != BurstIdle) {
    if (cc.countguard) {
      cc.countguard = 0;
      return;
    }
    cc.countguard = 1;
    oskilltimer(mw.main, 1);
    osmessagebox(mw.main, "連写中にこの操作はできません", "STOP", OS_MB_ICONERROR);
    ossettimer(mw.main, 1, mw.period);
    showcount();
    return;
  }
  cc.countguard = 0;
  int ok = 0;
  int32_t v = osgetdlgitemint(mw.main, IDC_COUNT, &ok, 0);
  if (v < 0) v = 0;
  if (v >= 100000) v = 99999;
  if (v != gkesto.set.work.capturepage) {
    gkesto.set.work.capturepage = v;
    if (mw.areadlg) ossendcommand(mw.areadlg, IDC_SHOWCOUNT);
  }
}

void restorecapture() {
  Settings& s = gkesto.set;
  s.work = s.saved;
  memset(s.windowarea, 0, sizeof s.windowarea);
  const int32_t* m = s.work.enablearea == 1 ? s.work.defaultarea
                     : s.work.enablearea == 2 ? s.work.customarea
                                              : s.windowarea;
  memcpy(s.margins, m, sizeof s.margins);
}

void resetburst() {
  BurstFigures& b = gkesto.burst;
  b.planned = 0;
  b.taken = 0;
  b.written = 0;
  b.ondisk = 0;
  b.straight = 0;
}
