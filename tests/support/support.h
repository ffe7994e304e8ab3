// Shared helpers of the native tests, tools and benchmarks.
#pragma once

#include <string>

// A fresh folder under /tmp; removetree removes only such folders.
std::string maketempdir();
void removetree(const std::string& dir);
std::string readfile(const std::string& path);
bool writefile(const std::string& path, const std::string& bytes);
