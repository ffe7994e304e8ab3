// Start-up: single instance, paths, the main window and the message loop.
#pragma once

#include "os/os.h"

// The handlers of the main window and of every dialog, handed to the system
// layer with the main window.
extern const OsHandlers kestohandlers;

// Runs the program; returns the process exit code.
int kestomain(int showcmd);
// Builds the program folder and the paths of golf.txt, golfcourse.txt and
// loginit.txt from a current directory; 0 when a path would not fit.
int setpaths(const char* cwd);
