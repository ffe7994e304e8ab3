// Reading a small text file of the program folder whole.
#pragma once

#include <cstdint>

// Reads at most max bytes of the file at path into buf (max + 1 bytes) and
// terminates them with a NUL.  The file is opened for reading and writing,
// shared, existing only, so a read-only file counts as missing.  1 with the
// length in *len, or 0 when the file cannot be opened or read.
int readtextfile(const char* path, char* buf, uint32_t max, uint32_t* len);
