// The last burst.
#include "capture/lastburst.h"

#include <cstdio>
#include <cstring>

#include "folders.h"
#include "kesto.h"

#define DATEDLEN 14  // "d05_1403_22_18"

int burstfoldername(const char* name, int* k) {
  static const char form[] = "d##_####_##_##";
  size_t n = strlen(name);
  if (n < DATEDLEN) return 0;
  for (size_t i = 0; i < DATEDLEN; i++) {
    char f = form[i], c = name[i];
    if (f == '#' ? (c < '0' || c > '9') : c != f) return 0;
  }
  *k = 1;
  if (n == DATEDLEN) return 1;
  // "_2" to "_99".
  if (name[DATEDLEN] != '_' || n > DATEDLEN + 3) return 0;
  int v = 0;
  for (size_t i = DATEDLEN + 1; i < n; i++) {
    if (name[i] < '0' || name[i] > '9') return 0;
    v = v * 10 + (name[i] - '0');
  }
  if (v < 2 || v > 99 || name[DATEDLEN + 1] == '0') return 0;
  *k = v;
  return 1;
}

// 1 when name is a month folder's name "cap%d%02d" (a year of four digits).
static int monthname(const char* name) {
  if (strncmp(name, "cap", 3) != 0 || strlen(name) != 9) return 0;
  for (int i = 3; i < 9; i++)
    if (name[i] < '0' || name[i] > '9') return 0;
  return 1;
}

int lastburstdir(char* out, int n) {
  const BurstFigures& b = gkesto.burst;
  if (b.lastfolder[0] && folderexists(b.lastfolder)) {
    int len = snprintf(out, (size_t)n, "%s", b.lastfolder);
    return len > 0 && len < n;
  }
  // The newest by name: the month, then the dated part, then its number.
  char best[PATHSIZE] = "", bestmonth[16] = "", bestdated[DATEDLEN + 1] = "";
  int bestk = 0;
  char pattern[PATHSIZE + 32];
  snprintf(pattern, sizeof pattern, "%s\\cap*", gkesto.set.home);
  OsFindData fd;
  OsHandle months = osfindfirstfile(pattern, &fd);
  if (months == OS_BADFILE || months == 0) return 0;
  do {
    if (!(fd.attributes & OS_FILE_ATTRIBUTE_DIRECTORY) || !monthname(fd.name)) continue;
    if (bestmonth[0] && strcmp(fd.name, bestmonth) < 0) continue;
    char month[PATHSIZE + 16];
    if (snprintf(month, sizeof month, "%s\\%s", gkesto.set.home, fd.name) >= (int)sizeof month) continue;
    char inner[PATHSIZE + 32];
    snprintf(inner, sizeof inner, "%s\\d*", month);
    OsFindData bd;
    OsHandle h = osfindfirstfile(inner, &bd);
    if (h == OS_BADFILE || h == 0) continue;
    do {
      int k = 0;
      if (!(bd.attributes & OS_FILE_ATTRIBUTE_DIRECTORY) || !burstfoldername(bd.name, &k)) continue;
      int cm = bestmonth[0] ? strcmp(fd.name, bestmonth) : 1;
      int cd = cm == 0 ? strncmp(bd.name, bestdated, DATEDLEN) : 0;
      if (cm < 0 || (cm == 0 && (cd < 0 || (cd == 0 && k <= bestk)))) continue;
      int len = snprintf(best, sizeof best, "%s\\%s", month, bd.name);
      if (len < 0 || len >= (int)sizeof best) {
        best[0] = 0;
        continue;
      }
      memcpy(bestmonth, fd.name, 10);  // "cap" and six digits, with the NUL
      memcpy(bestdated, bd.name, DATEDLEN);
      bestdated[DATEDLEN] = 0;
      bestk = k;
    } while (osfindnextfile(h, &bd));
    osfindclose(h);
  } while (osfindnextfile(months, &fd));
  osfindclose(months);
  if (!best[0]) return 0;
  int len = snprintf(out, (size_t)n, "%s", best);
  return len > 0 && len < n;
}
