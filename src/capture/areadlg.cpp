// The capture area dialog: the margins of the area in force and the frame
// edges they move, the area choice, the speed, the burst size, the capture
// key, the zoom view of the frame's corners, save and restore.
#include <cstdio>
#include <cstring>

#include "capture/area.h"
#include "capture/capture.h"
#include "config/setdlg.h"
#include "fileerror.h"
#include "kesto.h"
#include "res/resource.h"

static const int kmarginids[4] = {IDA_TOP, IDA_LEFT, IDA_BOTTOM, IDA_RIGHT};
const int32_t kzoomregion[4] = {63, 33, 175, 123};

static int marginfield(int id) {
  for (int i = 0; i < 4; i++)
    if (kmarginids[i] == id) return i;
  return -1;
}

static int32_t capkeystate(OsWin dlg) {
  int s = osisdlgbuttonchecked(dlg, IDA_CAPKEY);
  return s == 1 || s == 2 ? s : 0;
}

static void refreshcontrols(OsWin dlg) {
  Settings& s = gkesto.set;
  for (int i = 0; i < 4; i++) ossetdlgitemint(dlg, kmarginids[i], s.margins[i], 1);
  oscheckdlgbutton(dlg, IDA_W1, s.work.enablearea == 1);
  oscheckdlgbutton(dlg, IDA_W2, s.work.enablearea == 2);
  oscheckdlgbutton(dlg, IDA_W0, s.work.enablearea == 0);
  oscheckdlgbutton(dlg, IDA_LOCKON, s.work.lockon == 1);
  oscheckdlgbutton(dlg, IDA_CAPKEY, s.work.enablecapkey == 1 || s.work.enablecapkey == 2 ? s.work.enablecapkey : 0);
  ossendmessage(osgetdlgitem(dlg, IDA_KEYLIST), OS_CB_SETCURSEL, (uintptr_t)s.work.selectcapkey, 0);
}

static void showsize(OsWin dlg, const int32_t r[4]) {
  char b[32];
  snprintf(b, sizeof b, "%dx%d", r[2] - r[0], r[3] - r[1]);
  ossetdlgitemtext(dlg, IDA_SIZE, b);
}

void areadlginit(OsWin dlg) {
  Settings& s = gkesto.set;
  AreaDialogState& a = gkesto.area;
  gkesto.mw.areadlg = dlg;
  oscheckdlgbutton(dlg, s.work.enablearea == 1 ? IDA_W1 : s.work.enablearea == 2 ? IDA_W2 : IDA_W0, 1);
  if (s.work.lockon) oscheckdlgbutton(dlg, IDA_LOCKON, 1);
  oscheckdlgbutton(dlg, IDA_CAPKEY, s.work.enablecapkey == 1 || s.work.enablecapkey == 2 ? s.work.enablecapkey : 0);

  // The arrows stop at -600 and 600 and an up-down control puts its position
  // into its field: a margin beyond them is kept as it is and shown whole.
  memset(a.guard, 0, sizeof a.guard);
  loadmargins();
  int32_t keep[4];
  memcpy(keep, s.margins, sizeof keep);
  static const int kupdowns[4] = {IDA_UPDOWN_TOP, IDA_UPDOWN_LEFT, IDA_UPDOWN_BOTTOM, IDA_UPDOWN_RIGHT};
  for (int i = 0; i < 4; i++) {
    uint32_t style = OS_WS_CHILD | OS_WS_BORDER | OS_WS_VISIBLE | OS_UDS_SETBUDDYINT |
                     (i == 3 ? OS_UDS_ALIGNLEFT : OS_UDS_ALIGNRIGHT);
    oscreateupdowncontrol(style, dlg, kupdowns[i], osgetdlgitem(dlg, kmarginids[i]), 600, -600, keep[i]);
  }
  memcpy(s.margins, keep, sizeof keep);
  memcpy(marginset(), keep, sizeof keep);
  for (int i = 0; i < 4; i++) ossetdlgitemint(dlg, kmarginids[i], keep[i], 1);

  a.target = 0;
  fillspeeds(osgetdlgitem(dlg, IDA_SPEED), OS_CB_ADDSTRING, OS_CB_SETCURSEL);
  OsWin keys = osgetdlgitem(dlg, IDA_KEYLIST);
  for (const char* k : kcapkeylabels) osaddstring(keys, OS_CB_ADDSTRING, k);
  ossendmessage(keys, OS_CB_SETCURSEL, (uintptr_t)s.work.selectcapkey, 0);
  ossetdlgitemint(dlg, IDA_COUNT, s.work.capturepage, 0);

  gkesto.mw.framewin = 0;
  a.timerstarted = 0;
  a.targetknown = 0;
  a.lock = LockIdle;
  fillwinlist(dlg, 1);
  a.ticks = 0;
  a.zoomrepaint = 0;
  memset(a.guard, 0, sizeof a.guard);
}

// A margin field changed: the frame's edge follows, the margin is kept.
static void marginedit(OsWin dlg, int i) {
  Settings& s = gkesto.set;
  AreaDialogState& a = gkesto.area;
  OsWin f = gkesto.mw.framewin;
  int32_t fr[4];
  int haveframe = f && osgetwindowrect(f, fr);
  if (a.guard[i]) {
    a.guard[i] = 0;
    return;
  }
  // Held to 32 bits, never wrapped: the frame's edge follows it.
  int32_t v = dlgfieldint(dlg, kmarginids[i]);
  if (haveframe && v != s.margins[i]) {
    int32_t nr[4];
    moveedge(fr, i, s.margins[i], v, nr);
    osmovewindow(f, nr[0], nr[1], nr[2] - nr[0], nr[3] - nr[1], 1);
  }
  s.margins[i] = v;
  marginset()[i] = v;
}

// The frame moved (sized 0) or was resized (1).
static void framereport(OsWin dlg, intptr_t sized) {
  Settings& s = gkesto.set;
  AreaDialogState& a = gkesto.area;
  OsWin f = gkesto.mw.framewin;
  if (!f || !osgetwindowrect(f, gkesto.framerect)) return;
  showsize(dlg, gkesto.framerect);
  refreshzoom();
  a.zoomrepaint = 1;
  int32_t t[4];
  int measure = 0;
  if (sized == 1) {
    measure = osgetwindowrect(a.target, t);
  } else if (osgetforegroundwindow() != a.target && osgetwindowrect(a.target, t)) {
    measure = osgetwindowrect(f, gkesto.framerect);
  }
  if (measure) {
    marginsfromrects(t, gkesto.framerect, s.margins);
    refreshcontrols(dlg);
    memcpy(marginset(), s.margins, sizeof s.margins);
  }
  osinvalidaterect(dlg, kzoomregion, 1);
}

void refreshzoom() {
  AreaDialogState& a = gkesto.area;
  const int32_t* fr = gkesto.framerect;
  int64_t r[4] = {(int64_t)fr[0] - 6, (int64_t)fr[1] - 5, (int64_t)fr[2] + 6, (int64_t)fr[3] + 5};
  // Clipped to the primary screen.
  if (r[0] < 0) r[0] = 0;
  if (r[1] < 0) r[1] = 0;
  if (r[2] > gkesto.mw.screenw) r[2] = gkesto.mw.screenw;
  if (r[3] > gkesto.mw.screenh) r[3] = gkesto.mw.screenh;
  a.zoomw = 0;
  a.zoomtoprows = a.zoombottomrows = 0;
  int64_t w = r[2] - r[0], h = r[3] - r[1];
  if (w <= 0 || h <= 0) return;
  if (w > ZOOMMAXW) w = ZOOMMAXW;
  int32_t rows = h < ZOOMROWS ? (int32_t)h : ZOOMROWS;
  uint32_t stride = rowstride((int32_t)w);
  uint32_t* strips[2] = {gkesto.zoomtop, gkesto.zoombottom};
  int32_t* got[2] = {&a.zoomtoprows, &a.zoombottomrows};
  for (int s = 0; s < 2; s++) {
    int32_t top = (int32_t)(s == 0 ? r[1] : r[3] - rows);
    int32_t g[4] = {(int32_t)r[0], top, (int32_t)(r[0] + w), top + rows};
    OsBitmapHeader hd;
    if (!osgrabscreen(g, &hd, gkesto.zoomgrab, sizeof gkesto.zoomgrab)) continue;
    // Bottom-up 24-bit rows become top-down colours.
    for (int32_t y = 0; y < rows; y++) {
      const uint8_t* src = gkesto.zoomgrab + (size_t)stride * (size_t)(rows - 1 - y);
      uint32_t* dst = strips[s] + (size_t)y * ZOOMMAXW;
      for (int32_t x = 0; x < (int32_t)w; x++) dst[x] = OS_RGB(src[3 * x + 2], src[3 * x + 1], src[3 * x]);
    }
    *got[s] = rows;
  }
  a.zoomw = (int32_t)w;
}

// One tile: 12 x 10 pixels of a strip from pixel first on, four times as
// large, outlined.  0 when a square could not be drawn; pixels beyond the
// grab are left out.
static int drawtile(OsHandle dc, int32_t x, int32_t y, const uint32_t* strip, int32_t rows, int64_t first) {
  int32_t outline[4] = {x - 1, y - 1, x + 49, y + 41};
  osrectangle(dc, outline, OS_NOFILL, OS_RGB(0, 0, 0));
  int ok = 1;
  for (int32_t row = 0; row < rows && row < ZOOMROWS; row++)
    for (int32_t c = 0; c < 12; c++) {
      int64_t i = first + c;
      if (i < 0 || i >= gkesto.area.zoomw) continue;
      uint32_t colour = strip[(size_t)row * ZOOMMAXW + (size_t)i];
      int32_t sq[4] = {x + 4 * c, y + 4 * row, x + 4 * c + 4, y + 4 * row + 4};
      if (!osrectangle(dc, sq, colour, colour)) ok = 0;
    }
  return ok;
}

void areadlgpaint(OsWin dlg) {
  AreaDialogState& a = gkesto.area;
  OsHandle dc = osbeginpaint(dlg);
  int failed = 0;
  if (dc && gkesto.mw.framewin && a.zoomrepaint) {
    a.zoomrepaint = 0;
    int64_t fw = (int64_t)gkesto.framerect[2] - gkesto.framerect[0];
    drawtile(dc, 64, 34, gkesto.zoomtop, a.zoomtoprows, 0);
    drawtile(dc, 120, 34, gkesto.zoomtop, a.zoomtoprows, fw);
    drawtile(dc, 64, 82, gkesto.zoombottom, a.zoombottomrows, 0);
    failed = !drawtile(dc, 120, 82, gkesto.zoombottom, a.zoombottomrows, fw);
    uint32_t black = OS_RGB(0, 0, 0);
    osdrawline(dc, 87, 66, 87, 90, black);
    osdrawline(dc, 104, 53, 128, 53, black);
    osdrawline(dc, 144, 66, 144, 90, black);
    osdrawline(dc, 104, 102, 128, 102, black);
  }
  if (dc) osendpaint(dlg, dc);
  if (failed) osmessagebox(dlg, "RectAngle error", "PAINT", OS_MB_ICONERROR);
}

int32_t dlgfieldint(OsWin dlg, int id) {
  char text[64];
  if (osgetdlgitemtext(dlg, id, text, sizeof text) <= 0) return 0;
  text[sizeof text - 1] = 0;
  return fieldint(text);
}

static void savearea(OsWin dlg) {
  if (!confirminisave(dlg)) return;
  Settings& s = gkesto.set;
  s.work.capturepage = clampcount(dlgfieldint(dlg, IDA_COUNT));
  s.work.lockon = osisdlgbuttonchecked(dlg, IDA_LOCKON) == 1;
  s.work.enablecapkey = s.saved.enablecapkey = capkeystate(dlg);
  memcpy(s.saved.defaultarea, s.work.defaultarea, sizeof s.saved.defaultarea);
  memcpy(s.saved.customarea, s.work.customarea, sizeof s.saved.customarea);
  s.saved.enablearea = s.work.enablearea;
  s.saved.lockon = s.work.lockon;
  s.saved.selectcapkey = s.work.selectcapkey;
  s.saved.capturepage = s.work.capturepage;
  if (writesettings() == LM_COMPLETE) {
    s.complete = 1;
    osmessagebox(dlg, "環境データを ファイル名 loginit.txt で保存しました", "Write OK", OS_MB_ICONINFORMATION);
  } else {
    char b[1024];
    failuretext(b, (int)sizeof b, "環境データ保存に失敗しました", gkesto.set.inifile, gkesto.writeerror,
                "loginit.txt は変更していません。");
    osmessagebox(dlg, b, "Write Error", OS_MB_ICONERROR);
  }
  ossendcommand(gkesto.mw.main, IDC_SHOWCOUNT);
}

static void restorearea(OsWin dlg) {
  AreaDialogState& a = gkesto.area;
  for (int32_t& g : a.guard) g = 1;
  restorecapture();
  refreshcontrols(dlg);
  if (gkesto.mw.framewin) {
    a.lock = LockIdle;
    closeframe();
    ospostcommand(dlg, IDA_FRAME);
  }
}

static void closearea(OsWin dlg, int takecount) {
  if (takecount)
    gkesto.set.work.capturepage = clampcount(dlgfieldint(dlg, IDA_COUNT));
  ossendcommand(gkesto.mw.main, IDC_SHOWCOUNT);
  osdestroywindow(dlg);
  areadlgdestroyed(dlg);
}

void areadlgcommand(OsWin dlg, int id, int code, intptr_t lp) {
  Settings& s = gkesto.set;
  int i = marginfield(id);
  if (i >= 0) {
    if (code == OS_EN_CHANGE) marginedit(dlg, i);
    return;
  }
  switch (id) {
    case IDA_FRAMEMOVED: framereport(dlg, lp); break;
    case IDA_FRAME:
      if (code == OS_BN_CLICKED) showframe(dlg);
      break;
    case IDA_CLEAR:
      if (code == OS_BN_CLICKED) clearchoice(dlg);
      break;
    case IDA_SEARCH:
      if (code == OS_BN_CLICKED) fillwinlist(dlg, 0);
      break;
    case IDA_WINLIST:
      if (code == OS_CBN_SELCHANGE) takeentry(dlg, 1);
      break;
    case IDA_SPEED:
      if (code == OS_CBN_SELCHANGE) {
        OsWin other = gkesto.mw.framewin ? osgetdlgitem(gkesto.mw.framewin, IDF_SPEED) : 0;
        pickspeed(dlg, osgetdlgitem(dlg, IDA_SPEED), 1, other, "COMBO");
      }
      break;
    case IDA_KEYLIST:
      if (code == OS_CBN_SELCHANGE) {
        intptr_t k = ossendmessage(osgetdlgitem(dlg, IDA_KEYLIST), OS_CB_GETCURSEL, 0, 0);
        if (k >= 0 && k < CAPKEYROWS) s.work.selectcapkey = (int32_t)k;
      }
      break;
    case IDA_CAPKEY:
      if (code == OS_BN_CLICKED) s.work.enablecapkey = capkeystate(dlg);
      break;
    case IDA_SAVE: savearea(dlg); break;
    case IDA_RESTORE:
      if (code == OS_BN_CLICKED) restorearea(dlg);
      break;
    case IDA_END: closearea(dlg, 1); break;
    case OS_IDCANCEL: closearea(dlg, 0); break;
    case IDC_SHOWCOUNT: ossetdlgitemint(dlg, IDA_COUNT, s.work.capturepage, 0); break;
    default: break;
  }
}

void areadlgtimer(OsWin dlg, int id) {
  Settings& s = gkesto.set;
  AreaDialogState& a = gkesto.area;
  if (id != IDA_TIMER) return;
  int32_t before = s.work.enablearea;
  if (osisdlgbuttonchecked(dlg, IDA_W1) == 1) s.work.enablearea = 1;
  if (osisdlgbuttonchecked(dlg, IDA_W2) == 1) s.work.enablearea = 2;
  if (osisdlgbuttonchecked(dlg, IDA_W0) == 1) s.work.enablearea = 0;
  if (s.work.enablearea != before) {
    for (int32_t& g : a.guard) g = 1;
    loadmargins();
    refreshcontrols(dlg);
    if (gkesto.mw.framewin) {
      a.lock = LockIdle;
      ossetforegroundwindow(gkesto.mw.framewin);
    }
  }
  s.work.lockon = osisdlgbuttonchecked(dlg, IDA_LOCKON) == 1;
  s.work.enablecapkey = capkeystate(dlg);
  a.ticks++;
  lockonstep(dlg);
}

void areadlgfocus(OsWin dlg) {
  AreaDialogState& a = gkesto.area;
  if (a.timerstarted) return;
  ossettimer(dlg, IDA_TIMER, 200);
  a.timerstarted = 1;
  a.ticks = 0;
}

void areadlgactivate(OsWin) { gkesto.area.zoomrepaint = 1; }

void areadlgclose(OsWin dlg) {
  osdestroywindow(dlg);
  areadlgdestroyed(dlg);
}

void areadlgdestroyed(OsWin dlg) {
  if (gkesto.mw.areadlg == dlg) gkesto.mw.areadlg = 0;
  gkesto.mw.framewin = 0;
  gkesto.area.lock = LockIdle;
}
