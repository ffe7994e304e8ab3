// "連写をアニメーションに": the animated PNG of the last burst, a command of
// the main window's system menu, made a few frames per housekeeping tick
// (so also after 停止) with the progress in the status line.
#pragma once

#include "os/os.h"

#define APNGTICKFRAMES 4   // frames added per housekeeping tick at most
#define APNGTICKMS 60      // and no more once a tick has taken this long

// Appends the command to the main window's system menu.
void apngmenu(OsWin main);
// The system menu command: 1 when id was this one and was handled.
int apngsyscommand(int id);
// Starts the animated PNG of the burst folder: the user is told when
// another one is being made, or when the folder cannot be read.
void apngstart(const char* folder);
// Drops an animated PNG still being made (the program ends): no part of it
// is left.
void apngabandon();
