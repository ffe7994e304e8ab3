// "最後の連写を見る": the last burst's viewer page in the browser, a command
// of the main window's system menu.
#pragma once

#include "os/os.h"

// Appends the command to the main window's system menu.
void burstmenu(OsWin main);
// Shows the last burst's index.html as "ＩＥで表示" shows a page, writing it
// first when the folder has none (a burst taken before there were viewers,
// or one whose page could not be written).  No burst, or a page that cannot
// be written, is told in a message box.
void showlastburst(OsWin owner);
// The system menu command: 1 when it was this one and was handled.
int burstsyscommand(int id);
