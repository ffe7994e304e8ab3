// Folders are made by looking, creating, looking again.  Holds no Japanese
// literal, so every build can link it.
#include "folders.h"

#include "os/os.h"

int folderexists(const char* path) { return osfindfile(path); }

int makefolder(const char* path) {
  if (osfindfile(path)) return 1;
  oscreatedirectory(path);
  return osfindfile(path);
}
