// A fresh folder for the files a fuzz target writes, made once: under
// $KESTO_FUZZ_DIR when set (scripts/fuzz.sh points it at a folder it removes
// afterwards), else under /tmp.
#pragma once

#include <cstdlib>
#include <string>
#include <unistd.h>

inline std::string fuzzdir(const char* name) {
  const char* base = getenv("KESTO_FUZZ_DIR");
  std::string t = std::string(base && *base ? base : "/tmp") + "/" + name + "-XXXXXX";
  if (!mkdtemp(&t[0])) abort();
  return t;
}
