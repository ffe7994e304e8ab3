// The folders of screenshots and bursts: made when the name is needed, under
// the program folder, dated with the local time of the call.
#include <cstring>

#include "capture/burst.h"
#include "capture/capture.h"
#include "folders.h"
#include "kesto.h"

int ssname(char* path, int n) {
  OsTime t;
  osgetlocaltime(&t);
  char month[PATHSIZE + 32], day[PATHSIZE + 32], file[PATHSIZE + 96];
  int ok = sspaths(gkesto.set.home, t, month, day, file, (int)sizeof file) && makefolder(month) && makefolder(day) &&
           strlen(file) < (size_t)n;
  if (!ok) {
    oskilltimer(gkesto.mw.main, 1);
    oskilltimer(gkesto.mw.main, 2);
    osmessagebox(gkesto.mw.main, "フォルダを作成できませんでした", "DIR", OS_MB_SYSTEMMODAL | OS_MB_ICONERROR);
    return 0;
  }
  memcpy(path, file, strlen(file) + 1);
  return 1;
}

int burstnames() {
  BurstFigures& b = gkesto.burst;
  OsTime t;
  osgetlocaltime(&t);
  char month[PATHSIZE];
  if (!burstpaths(gkesto.set.home, t, month, b.folder, b.logpath, PATHSIZE)) return 0;
  return makefolder(month) && makefolder(b.folder);
}
