// The fake desktop's side of the main window: creating it and delivering
// commands to its handlers.  Apart from fakeos.cpp so that programs which never
// make a main window (the fuzz targets) need not link the window's code.
#include "kesto.h"
#include "app/mainwin.h"
#include "os/fake/fakeos.h"

// Created like CreateDialogParam does it: WM_CREATE, then WM_INITDIALOG.
OsWin oscreatemaindialog() {
  if (gfake.createmainfails) return 0;
  OsWin w = fakeaddwindow(KESTO_CLASS, "", 10, 10, 10 + 414, 10 + 176);
  mainwincreate(w);
  mainwininitdialog();
  return w;
}

void ossendcommand(OsWin w, int id) {
  if (w && w == gkesto.mw.main) mainwincommand(id, 0);
}

int osmessageloop(OsWin) { return gfake.quitposted ? gfake.quitcode : 0; }
