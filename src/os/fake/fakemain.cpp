// The fake desktop's side of the main window: creating it and delivering
// commands to its handlers.  Apart from fakeos.cpp so that programs which never
// make a main window (the fuzz targets) need not link the window's code.
#include "kesto.h"
#include "app/mainwin.h"
#include "capture/area.h"
#include "config/setdlg.h"
#include "report/playlogdlg.h"
#include "os/fake/fakeos.h"
#include "res/resource.h"

static OsWin areadialog() { return fakefinddialog(IDD_AREA); }
static OsWin framewindow() { return fakefinddialog(IDD_FRAME); }

// The edit controls whose changes the program follows notify their window.
static void editchanged(OsWin dlg, int id) {
  if (!dlg) return;
  if (dlg == gkesto.mw.main && id == IDC_COUNT) mainwincommand(id, OS_EN_CHANGE);
  else if (dlg == areadialog() &&
           (id == IDA_TOP || id == IDA_LEFT || id == IDA_BOTTOM || id == IDA_RIGHT || id == IDA_COUNT))
    areadlgcommand(dlg, id, OS_EN_CHANGE, 0);
  else if (dlg == framewindow() && id == IDF_COUNT)
    framecommand(dlg, id, OS_EN_CHANGE);
}

static void command(OsWin w, int id, int code, intptr_t lp) {
  if (!w) return;
  if (w == gkesto.mw.main) mainwincommand(id, code);
  else if (w == fakefinddialog(IDD_SETTINGS)) setdlgcommand(w, id);
  else if (w == fakefinddialog(IDD_PLAYLOG)) playlogcommand(w, id);
  else if (w == areadialog()) areadlgcommand(w, id, code, lp);
  else if (w == framewindow()) framecommand(w, id, code);
}

static void moved(OsWin w, int sized) {
  if (w && w == framewindow()) framemoved(w, sized);
}

static void foreground(OsWin w) {
  if (w && w == framewindow()) framefocus(w);
  else if (w && w == areadialog()) areadlgfocus(w);
}

static void destroyed(OsWin w) {
  if (w && w == areadialog()) areadlgdestroyed(w);
  else if (w && w == framewindow()) framedestroyed(w);
}

// Created like CreateDialogParam does it: WM_CREATE, then WM_INITDIALOG.
OsWin oscreatemaindialog() {
  if (gfake.createmainfails) return 0;
  OsWin w = fakeaddwindow(KESTO_CLASS, "", 10, 10, 10 + 414, 10 + 176);
  gfake.editchange = editchanged;
  gfake.oncommand = command;
  gfake.onmoved = moved;
  gfake.onforeground = foreground;
  gfake.ondestroy = destroyed;
  mainwincreate(w);
  mainwininitdialog();
  return w;
}

// The modeless dialogs whose handlers exist; the others fail to open.  The
// area frame is a sizable window centred on the screen that takes the focus
// when it is made.
OsWin oscreatedialog(int templ, OsWin owner) {
  if (templ != IDD_SETTINGS && templ != IDD_PLAYLOG && templ != IDD_AREA && templ != IDD_FRAME) return 0;
  for (int t : gfake.dialogsfail)
    if (t == templ) return 0;
  OsWin w;
  if (templ == IDD_FRAME) {
    int cx = gfake.screenw / 2, cy = gfake.screenh / 2;
    w = fakeaddwindow("#32770", "", cx - 140, cy - 91, cx + 140, cy + 91);
    gfake.windows[0].border = 4;
  } else if (templ == IDD_AREA) {
    // Made hidden: the window in front stays there until it is shown.
    OsWin front = gfake.foreground;
    w = fakeaddwindow("#32770", "", 345, 0, 345 + 353, 0 + 197);
    gfake.foreground = front;
  } else {
    w = fakeaddwindow("#32770", "", 30, 30, 30 + 454, 30 + 180);
  }
  gfake.windows[0].owner = owner;
  gfake.windows[0].templ = templ;
  switch (templ) {
    case IDD_SETTINGS: setdlginit(w); break;
    case IDD_PLAYLOG: playloginit(w); break;
    case IDD_AREA:
      areadlginit(w);
      gfake.foreground = w;
      break;
    default:
      frameinit(w);
      framefocus(w);
      break;
  }
  return w;
}

void ossendcommand(OsWin w, int id) { command(w, id, 0, 0); }

int osmessageloop(OsWin) { return gfake.quitposted ? gfake.quitcode : 0; }

int fakepump() {
  int n = 0;
  while (!gfake.posted.empty()) {
    auto p = gfake.posted.front();
    gfake.posted.erase(gfake.posted.begin());
    n++;
    command(p.first, p.second, OS_BN_CLICKED, 0);
  }
  return n;
}
