// Folders are made by looking, creating, looking again.  Holds no Japanese
// literal, so every build can link it.
#include "folders.h"

#include <cstring>

#include "os/os.h"

int folderexists(const char* path) { return osfindfile(path); }

int makefolder(const char* path) {
  if (osfindfile(path)) return 1;
  oscreatedirectory(path);
  return osfindfile(path);
}

int32_t freediskmb(const char* folder) {
  char root[4];
  size_t n = strnlen(folder, 3);
  memcpy(root, folder, n);
  root[n] = 0;
  uint32_t spc = 0, bps = 0, freeclusters = 0, total = 0;
  if (!osgetdiskfreespace(root, &spc, &bps, &freeclusters, &total)) return 0;
  // The divisions truncate in this order; only they can lose anything, so the
  // product is taken in 64 bits and clamped instead of wrapping.
  uint64_t mb = (uint64_t)(bps / 16) * (freeclusters / 1024) * spc / 64;
  return mb > INT32_MAX ? INT32_MAX : (int32_t)mb;
}
