// The fake desktop's side of the main window: creating it and delivering
// commands to its handlers.  Apart from fakeos.cpp so that programs which never
// make a main window (the fuzz targets) need not link the window's code.
#include "kesto.h"
#include "app/mainwin.h"
#include "config/setdlg.h"
#include "report/playlogdlg.h"
#include "os/fake/fakeos.h"
#include "res/resource.h"

// Created like CreateDialogParam does it: WM_CREATE, then WM_INITDIALOG.
OsWin oscreatemaindialog() {
  if (gfake.createmainfails) return 0;
  OsWin w = fakeaddwindow(KESTO_CLASS, "", 10, 10, 10 + 414, 10 + 176);
  mainwincreate(w);
  // The count field is an edit control: setting its text notifies the window.
  gfake.editchange = [](OsWin dlg, int id) {
    if (dlg == gkesto.mw.main && id == IDC_COUNT) mainwincommand(id, OS_EN_CHANGE);
  };
  mainwininitdialog();
  return w;
}

// The modeless dialogs whose handlers exist; the others fail to open.
OsWin oscreatedialog(int templ, OsWin owner) {
  if (templ != IDD_SETTINGS && templ != IDD_PLAYLOG) return 0;
  for (int t : gfake.dialogsfail)
    if (t == templ) return 0;
  OsWin w = fakeaddwindow("#32770", "", 30, 30, 30 + 454, 30 + 180);
  gfake.windows[0].owner = owner;
  gfake.windows[0].templ = templ;
  if (templ == IDD_SETTINGS) setdlginit(w);
  else playloginit(w);
  return w;
}

void ossendcommand(OsWin w, int id) {
  if (!w) return;
  if (w == gkesto.mw.main) mainwincommand(id, 0);
  else if (w == fakefinddialog(IDD_SETTINGS)) setdlgcommand(w, id);
  else if (w == fakefinddialog(IDD_PLAYLOG)) playlogcommand(w, id);
}

int osmessageloop(OsWin) { return gfake.quitposted ? gfake.quitcode : 0; }

int fakepump() {
  int n = 0;
  while (!gfake.posted.empty()) {
    auto p = gfake.posted.front();
    gfake.posted.erase(gfake.posted.begin());
    n++;
    if (p.first && p.first == gkesto.mw.main) mainwincommand(p.second, OS_BN_CLICKED);
    else ossendcommand(p.first, p.second);
  }
  return n;
}
