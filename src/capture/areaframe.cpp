// The area frame: a see-through, topmost, sizable window whose rectangle is
// the capture area.  Its band carries the count field, the speed list, the
// close box and the marker bar with its menu.
#include <cstring>

#include "capture/area.h"
#include "capture/capture.h"
#include "kesto.h"
#include "res/resource.h"

#define BANDHEIGHT 19

static void invalidateband(OsWin f) {
  int32_t r[4];
  if (!osgetclientrect(f, r)) return;
  r[3] = BANDHEIGHT;
  osinvalidaterect(f, r, 1);
}

// The area dialog's face colour as drawn on the screen, 5 pixels right of
// and 34 below its top-left corner.  0 when it could not be read.
static int samplekey(OsWin dlg, uint32_t* key) {
  int32_t d[4];
  if (!osgetwindowrect(dlg, d)) return 0;
  int32_t px[4] = {d[0] + 5, d[1] + 34, d[0] + 6, d[1] + 35};
  uint8_t pixel[4];
  OsBitmapHeader h;
  if (!osgrabscreen(px, &h, pixel, sizeof pixel)) return 0;
  *key = OS_RGB(pixel[2], pixel[1], pixel[0]);
  return 1;
}

int framecreate(OsWin dlg) {
  FrameState& fs = gkesto.frame;
  uint32_t key = 0;
  int sampled = samplekey(dlg, &key);
  gkesto.area.colourkey = key;
  OsWin f = oscreatedialog(IDD_FRAME, dlg);
  if (!f) {
    osmessagebox(dlg, "DLGSETAREA", "Open error", OS_MB_ICONERROR);
    return 0;
  }
  gkesto.mw.framewin = f;
  int32_t ex = osgetwindowlong(f, OS_GWL_EXSTYLE);
  ossetwindowlong(f, OS_GWL_EXSTYLE, ex | OS_WS_EX_LAYERED);
  if (sampled && ossetlayeredwindowattributes(gkesto.setlayered, f, key, 128, OS_LWA_COLORKEY)) {
    fs.seethrough = 1;
  } else {
    // A layered window without its attributes is never drawn: the frame is
    // then cut to its border and band instead, and the area shows through
    // the hole.
    ossetwindowlong(f, OS_GWL_EXSTYLE, ex);
    fs.seethrough = oscuttoband(f, BANDHEIGHT) ? 2 : 0;
  }
  osshowwindow(f, 1);
  osupdatewindow(f);
  return 1;
}

int closeframe() {
  OsWin f = gkesto.mw.framewin;
  if (!f) return 0;
  osdestroywindow(f);
  gkesto.mw.framewin = 0;
  return 1;
}

void frameinit(OsWin f) {
  FrameState& fs = gkesto.frame;
  gkesto.mw.framewin = f;
  fs.focus = 0;
  fs.dragging = 0;
  fs.moving = 0;
  fs.count = osgetdlgitem(f, IDF_COUNT);
  fs.speed = osgetdlgitem(f, IDF_SPEED);
  fillspeeds(fs.speed, OS_LB_ADDSTRING, OS_LB_SETCURSEL);
  ossetdlgitemint(f, IDF_COUNT, gkesto.set.work.capturepage, 0);
}

static void countedited(OsWin f) {
  Settings& s = gkesto.set;
  int32_t typed = dlgfieldint(f, IDF_COUNT);
  // Held to 0 ... 99999 here, and shown so: the other windows show the count
  // unsigned, where a negative one would read as a huge one.
  int32_t v = clampcount(typed);
  if (v == s.work.capturepage && v == typed) return;
  if (burstrunning()) {
    ossetdlgitemint(f, IDF_COUNT, s.work.capturepage, 0);
    osmessagebox(f, "連写中にこの操作はできません", "LIST", OS_MB_ICONERROR);
    return;
  }
  s.work.capturepage = v;
  if (v != typed) ossetdlgitemint(f, IDF_COUNT, v, 0);
  ossendcommand(gkesto.mw.main, IDC_SHOWCOUNT);
  if (gkesto.mw.areadlg) ossendcommand(gkesto.mw.areadlg, IDC_SHOWCOUNT);
}

static void setfocusflag(OsWin f, int on) {
  gkesto.frame.focus = on;
  invalidateband(f);
}

void framecommand(OsWin f, int id, int code) {
  MarkerState& m = gkesto.marker;
  switch (id) {
    case IDF_COUNT:
      if (code == OS_EN_CHANGE) countedited(f);
      else if (code == OS_EN_SETFOCUS) setfocusflag(f, 1);
      else if (code == OS_EN_KILLFOCUS) setfocusflag(f, 0);
      break;
    case IDF_SPEED:
      if (code == OS_LBN_SELCHANGE) {
        OsWin other = gkesto.mw.areadlg ? osgetdlgitem(gkesto.mw.areadlg, IDA_SPEED) : 0;
        pickspeed(f, osgetdlgitem(f, IDF_SPEED), 0, other, "LIST");
      }
      else if (code == OS_LBN_SETFOCUS) setfocusflag(f, 1);
      else if (code == OS_LBN_KILLFOCUS) setfocusflag(f, 0);
      break;
    case IDC_SHOWCOUNT: ossetdlgitemint(f, IDF_COUNT, gkesto.set.work.capturepage, 0); break;
    case OS_IDCANCEL: osdestroywindow(f); framedestroyed(f); break;
    case IDF_SLIDE:
      m.slide = SlideArmed;
      ossetcapture(f);
      invalidateband(f);
      break;
    case IDF_THIRTIETH:
      m.width = 3;
      invalidateband(f);
      break;
    case IDF_TENTH:
      m.width = 10;
      invalidateband(f);
      break;
    case IDF_WHOLE:
      m.width = 100;
      m.pos = 0;
      invalidateband(f);
      break;
    default: break;
  }
}

void framefocus(OsWin f) {
  setfocusflag(f, 1);
  armlockon();
}

void framelbuttondown(OsWin f) {
  FrameState& fs = gkesto.frame;
  MarkerState& m = gkesto.marker;
  if (m.slide != SlideOff) {
    m.slide = SlideOff;
    invalidateband(f);
  }
  setfocusflag(f, 1);
  int32_t p[2] = {0, 0};
  osgetcursorpos(p);
  memcpy(fs.start, p, sizeof p);
  memcpy(fs.prev, p, sizeof p);
  int32_t w[4];
  if (osgetwindowrect(f, w) && closeboxhit(w, p[0], p[1])) {
    osdestroywindow(f);
    framedestroyed(f);
    return;
  }
  ossetcapture(f);
  fs.dragging = 1;
}

void framemousemove(OsWin f) {
  FrameState& fs = gkesto.frame;
  MarkerState& m = gkesto.marker;
  int32_t p[2] = {0, 0}, w[4], c[4];
  if (m.slide == Sliding) {
    if (osgetcursorpos(p) && osgetwindowrect(f, w) && osgetclientrect(f, c)) {
      m.pos = slideposition(p[0], w[0], c[2] - c[0], m.width);
      invalidateband(f);
    }
    return;
  }
  if (!fs.dragging || !osgetwindowrect(f, w) || !osgetcursorpos(p)) return;
  if ((p[0] != fs.prev[0] || p[1] != fs.prev[1]) && !fs.moving) {
    fs.moving = 1;
    osmovewindow(f, w[0] + p[0] - fs.prev[0], w[1] + p[1] - fs.prev[1], w[2] - w[0], w[3] - w[1], 0);
    fs.moving = 0;
  }
  memcpy(fs.prev, p, sizeof p);
}

void framelbuttonup(OsWin f) {
  osreleasecapture();
  gkesto.frame.dragging = 0;
  invalidateband(f);
}

void framerbuttondown(OsWin f) {
  MarkerState& m = gkesto.marker;
  if (m.slide == SlideArmed) {
    m.slide = Sliding;
    return;
  }
  if (m.slide != SlideOff) return;
  static const int ids[4] = {IDF_SLIDE, IDF_THIRTIETH, IDF_TENTH, IDF_WHOLE};
  static const char* const texts[4] = {" 右クリックの状態で移動 ", " 幅３０分の１ ", " 幅１０分の１ ", "  全体   "};
  int32_t p[2] = {0, 0};
  osgetcursorpos(p);
  ostrackpopupmenu(f, p[0], p[1], 4, ids, texts);
}

void framerbuttonup(OsWin f) {
  MarkerState& m = gkesto.marker;
  osreleasecapture();
  if (m.slide != SlideOff) invalidateband(f);
  m.slide = SlideOff;
}

void framemoved(OsWin f, int sized) {
  if (sized && gkesto.frame.seethrough == 2) oscuttoband(f, BANDHEIGHT);
  if (gkesto.mw.areadlg) ossendmessage(gkesto.mw.areadlg, OS_WM_COMMAND, IDA_FRAMEMOVED, sized ? 1 : 0);
}

void framepaint(OsWin f) {
  FrameState& fs = gkesto.frame;
  MarkerState& m = gkesto.marker;
  OsHandle dc = osbeginpaint(f);
  if (!dc) return;
  int32_t c[4] = {0, 0, 0, 0};
  osgetclientrect(f, c);
  int32_t W = c[2] - c[0];
  int32_t bar[4] = {0, 0, 0, 18};
  markerspan(W, m.width, m.pos, &bar[0], &bar[2]);
  uint32_t fill, outline;
  markercolours(fs.focus, m.slide, &fill, &outline);
  osrectangle(dc, bar, fill, outline);
  int32_t box[4] = {W - 22, 0, W - 3, 18};
  osrectangle(dc, box, OS_RGB(240, 128, 128), OS_RGB(240, 192, 192));
  ostextout(dc, W - 19, 0, "Ｘ", OS_RGB(255, 255, 255), c);
  if (m.width == 100 && W > 40) {
    ostextout(dc, 2, 0, "連", OS_RGB(0, 0, 0), c);
    ostextout(dc, 65, 0, "速", OS_RGB(0, 0, 0), c);
  }
  osendpaint(f, dc);
}

void framedestroyed(OsWin f) {
  FrameState& fs = gkesto.frame;
  if (gkesto.mw.framewin == f) gkesto.mw.framewin = 0;
  if (fs.dragging || gkesto.marker.slide != SlideOff) osreleasecapture();
  fs.dragging = 0;
  fs.focus = 0;
  gkesto.marker.slide = SlideOff;
}
