// Choosing a play log and loading it into the play-log buffer.
#pragma once

#include <cstdint>

#include "os/os.h"

// Lets the user choose a log file and opens it; 1 with the open file and its
// size, 0 when cancelled or refused.
int openlog(OsHandle* f, uint32_t* size);
// Reads an open log file whole into the play-log buffer and closes it; 1 on
// success, 0 (after its message) when the file is too large or unreadable.
int loadplaylog(OsHandle f, uint32_t size);
