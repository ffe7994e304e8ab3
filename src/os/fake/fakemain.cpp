// The fake desktop's side of the main window: creating it and delivering
// commands to its handlers.  Apart from fakeos.cpp so that programs which never
// make a main window (the fuzz targets) need not link the window's code.
#include "kesto.h"
#include "os/fake/fakeos.h"
#include "res/resource.h"

static const OsDialogHandlers* handlersfor(int templ) {
  if (!gfake.handlers || !templ) return nullptr;
  for (const OsDialogHandlers& d : gfake.handlers->dialogs)
    if (d.templ == templ) return &d;
  return nullptr;
}

// The handlers of a live modeless dialog; null for other windows.
static const OsDialogHandlers* dialogof(OsWin w) {
  if (!w) return nullptr;
  for (const FakeWindow& x : gfake.windows)
    if (x.alive && x.id == w) return handlersfor(x.templ);
  return nullptr;
}

static void maincommand(int id, int code) {
  if (gfake.handlers && gfake.handlers->main.command) gfake.handlers->main.command(id, code);
}

// The edit controls whose changes the program follows notify their window.
static void editchanged(OsWin dlg, int id) {
  if (!dlg) return;
  if (dlg == gkesto.mw.main) {
    if (id == IDC_COUNT) maincommand(id, OS_EN_CHANGE);
    return;
  }
  const OsDialogHandlers* d = dialogof(dlg);
  if (!d || !d->command) return;
  if ((d->templ == IDD_AREA &&
       (id == IDA_TOP || id == IDA_LEFT || id == IDA_BOTTOM || id == IDA_RIGHT || id == IDA_COUNT)) ||
      (d->templ == IDD_FRAME && id == IDF_COUNT))
    d->command(dlg, id, OS_EN_CHANGE, 0);
}

static void command(OsWin w, int id, int code, intptr_t lp) {
  if (!w) return;
  if (w == gkesto.mw.main) {
    maincommand(id, code);
    return;
  }
  const OsDialogHandlers* d = dialogof(w);
  if (d && d->command) d->command(w, id, code, lp);
}

static void moved(OsWin w, int sized) {
  const OsDialogHandlers* d = dialogof(w);
  if (d && d->moved) d->moved(w, sized);
}

static void foreground(OsWin w) {
  const OsDialogHandlers* d = dialogof(w);
  if (d && d->focus) d->focus(w);
}

static void destroyed(OsWin w) {
  const OsDialogHandlers* d = dialogof(w);
  if (d && d->destroyed) d->destroyed(w);
}

// Created like CreateDialogParam does it: WM_CREATE, then WM_INITDIALOG.
OsWin oscreatemaindialog(const OsHandlers* handlers) {
  gfake.handlers = handlers;
  if (gfake.createmainfails) return 0;
  OsWin w = fakeaddwindow(KESTO_CLASS, "", 10, 10, 10 + 414, 10 + 176);
  gfake.editchange = editchanged;
  gfake.oncommand = command;
  gfake.onmoved = moved;
  gfake.onforeground = foreground;
  gfake.ondestroy = destroyed;
  if (handlers->main.create) handlers->main.create(w);
  if (handlers->main.initdialog) handlers->main.initdialog();
  return w;
}

// The modeless dialogs whose handlers exist; the others fail to open.  The
// area frame is a sizable window centred on the screen that takes the focus
// when it is made.
OsWin oscreatedialog(int templ, OsWin owner) {
  const OsDialogHandlers* h = handlersfor(templ);
  if (!h) return 0;
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
  if (h->init) h->init(w);
  // The area dialog is made the active window; the frame takes the focus.
  if (templ == IDD_AREA) gfake.foreground = w;
  else if (templ == IDD_FRAME && h->focus) h->focus(w);
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
