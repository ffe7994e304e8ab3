// The game watcher: waits for the game's window, follows golf.txt while the
// game appends to it, shows every new shot and keeps golfwatch.txt when the
// game ends.  One step per timer-1 tick.
#pragma once

#include <cstdint>

#include "os/os.h"

// One watcher step; the main window calls it on every timer-1 tick after the
// capture work.
void watchstep();
// Looks for the game's window below the foreground window in Z order; 1 when
// found (the title buffer, the edition flag and the foreground window of this
// tick then name it), else 0.
int findgamewin();
// Shows the last shot of the live parse: club, remaining distance, power.
void showshot();
// The capture control found the game window gone: the status line names the
// ended game and the watcher waits in GameEnded, about a second shorter than
// after an end it saw itself (D starts at A).
void gamewindowgone();
