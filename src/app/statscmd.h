// "成績集計": the statistics of every game in the player's logs, a command
// of the main window's system menu.
#pragma once

#include "os/os.h"

#define IDM_STATS 0x1F10  // the system menu command (low four bits 0, below 0xF000)

// Appends the command to the main window's system menu.
void statsmenu(OsWin main);
// Reads the game's golf.txt, golfwatch.txt and every backup log
// ym*\d*\golf*.txt of the program folder, writes stats.html and rounds.csv
// into the program folder and shows the page in the browser.  The play-log
// buffer, the game record and the live buffer are not touched.
void statscommand();
// The main window's WM_SYSCOMMAND with the id masked (wParam & 0xFFF0): 1 when
// it was the program's own system menu command and was handled, 0 for the
// system's.
int mainwinsyscommand(int id);
