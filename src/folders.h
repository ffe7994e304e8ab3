// Folders under the program folder (backups, screenshots, bursts): they are
// made by looking for them, creating them when absent and looking again; the
// second miss is the error.
#pragma once

#include <cstdint>

// 1 when a search for the path finds it (a file of that name counts too).
int folderexists(const char* path);
// Looks for the folder and creates it when absent; 1 when it is there
// afterwards, 0 when the look after creating still misses it.
int makefolder(const char* path);
// Free MiB on the drive of a folder ("C:\" from its first three characters);
// 0 when the system cannot tell, clamped to INT32_MAX.
int32_t freediskmb(const char* folder);
