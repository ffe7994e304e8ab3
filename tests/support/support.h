// Shared helpers of the native tests, tools and benchmarks.
#pragma once

#include <string>

// A fresh folder under /tmp; removetree removes only such folders.
std::string maketempdir();
void removetree(const std::string& dir);
std::string readfile(const std::string& path);
bool writefile(const std::string& path, const std::string& bytes);

// Puts the program's record gkesto, the live state and the page server back to their start
// (all zero, as they are when the program starts) and the fake desktop back
// to its start (fakereset).
// Every test fixture starts from here, so no test sees what another left.
void kestoreset();
