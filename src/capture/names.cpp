// The folders of screenshots and bursts: made when the name is needed, under
// the program folder, dated with the local time of the call.
#include <cstdio>
#include <cstring>

#include "capture/burst.h"
#include "capture/capture.h"
#include "folders.h"
#include "kesto.h"

int ssname(char* path, int n, const char** why) {
  *why = "";
  OsTime t;
  osgetlocaltime(&t);
  char month[PATHSIZE + 32], day[PATHSIZE + 32], file[PATHSIZE + 96];
  int ok = sspaths(gkesto.set.home, t, month, day, file, (int)sizeof file) && makefolder(month) && makefolder(day) &&
           strlen(file) < (size_t)n;
  if (!ok) {
    *why = "フォルダを作成できませんでした";
    return 0;
  }
  // A name taken already (the clock was set back) gets "_2", "_3", ...:
  // an earlier screenshot is never overwritten.
  size_t len = strlen(file);
  if (folderexists(file)) {
    char dated[PATHSIZE + 96];
    memcpy(dated, file, len - 4);  // without ".bmp"
    dated[len - 4] = 0;
    for (int k = 2;; k++) {
      int a = snprintf(file, sizeof file, "%s_%d.bmp", dated, k);
      if (k > 99 || a < 0 || a >= n) {
        *why = "スクリーンショットの名前を決められませんでした";
        return 0;
      }
      if (!folderexists(file)) break;
    }
    len = strlen(file);
  }
  memcpy(path, file, len + 1);
  return 1;
}

// A burst never writes into the folder of an earlier one: when the dated name
// is taken (the clock was set back, or a folder was copied in), "_2", "_3", ...
// is added to it, so the earlier frames are not overwritten.
int burstnames() {
  BurstFigures& b = gkesto.burst;
  OsTime t;
  osgetlocaltime(&t);
  char month[PATHSIZE];
  if (!burstpaths(gkesto.set.home, t, month, b.folder, b.logpath, PATHSIZE)) return 0;
  if (!makefolder(month)) return 0;
  if (folderexists(b.folder)) {
    char dated[PATHSIZE];
    size_t n = strlen(b.folder);
    memcpy(dated, b.folder, n + 1);
    char logname[PATHSIZE];
    const char* slash = strrchr(b.logpath, '\\');
    snprintf(logname, sizeof logname, "%s", slash ? slash : "");
    int k = 2;
    for (;; k++) {
      if (k > 99) return 0;
      int a = snprintf(b.folder, PATHSIZE, "%s_%d", dated, k);
      if (a < 0 || a >= PATHSIZE) return 0;
      if (!folderexists(b.folder)) break;
    }
    int c = snprintf(b.logpath, PATHSIZE, "%s%s", b.folder, logname);
    if (c < 0 || c >= PATHSIZE) return 0;
  }
  return makefolder(b.folder);
}
