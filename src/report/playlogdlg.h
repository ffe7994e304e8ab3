// The play-log dialog (template 102): the path of the loaded log, the
// scorecard page, the course link list, another log and the browser.  The
// system layer hands the dialog's messages to these handlers.
#pragma once

#include "os/os.h"
#include "res/resource.h"


void playloginit(OsWin dlg);             // WM_INITDIALOG
void playlogcommand(OsWin dlg, int id);  // WM_COMMAND (low word of wParam)
// The close box and Esc: like "終了".
void playlogclose(OsWin dlg);

// The browser the page is shown with, its drive letter that of the Windows
// folder, into buf (n bytes).
void browserpath(char* buf, int n);
// Shows the page gkesto.page.name of the program folder: in the browser at
// its path, else with the system's program for pages; "error" when neither
// starts.  Messages are owned by owner.
void showpage(OsWin owner);
// The same for the page name (a file of the program folder).
void showfile(OsWin owner, const char* name);
// The same for a page given by its whole path.
void showpath(OsWin owner, const char* path);
