// Shared helpers of the native tests, tools and benchmarks.
#include "support.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <unistd.h>

#include "app/live.h"
#include "app/server.h"
#include "app/ticks.h"
#include "kesto.h"
#include "os/fake/fakeos.h"

std::string maketempdir() {
  char tmpl[] = "/tmp/kestotest.XXXXXX";
  char* d = mkdtemp(tmpl);
  return d ? std::string(d) : std::string();
}

void removetree(const std::string& dir) {
  if (dir.rfind("/tmp/kestotest.", 0) != 0) return;
  std::string cmd = "rm -rf '" + dir + "'";
  if (system(cmd.c_str()) != 0) fprintf(stderr, "could not remove %s\n", dir.c_str());
}

std::string readfile(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  std::stringstream ss;
  ss << f.rdbuf();
  return ss.str();
}

bool writefile(const std::string& path, const std::string& bytes) {
  std::ofstream f(path, std::ios::binary | std::ios::trunc);
  f << bytes;
  return (bool)f;
}

void kestoreset() {
  memset(&gkesto, 0, sizeof gkesto);
  memset(&glive, 0, sizeof glive);
  memset(&gserver, 0, sizeof gserver);
  // The server's housekeeping is not left to a later test's window.
  removehousekeeper(serverhousekeeping);
  fakereset();
}
