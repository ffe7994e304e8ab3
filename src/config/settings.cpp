// loginit.txt: the reader, the writer, the interval table and the capture key
// table.  The reader takes outside text, so this file holds no Japanese
// literal (the capture key labels live in labels.cpp).
#include "config/settings.h"

#include <cstdio>
#include <cstring>

#include "kesto.h"
#include "config/textfile.h"
#include "gamelog/gamelog.h"
#include "os/os.h"

// period, ticks for about 1 s, ticks for about 3 s, back-off, list position,
// custom interval
const IntervalRow kintervals[INTERVALROWS] = {
    {495, 2, 6, -2, 0, 1000},  // custom interval
    {495, 2, 6, -2, 1, 0},     // 0.5 s
    {392, 3, 8, -3, 2, 0},     // 0.4 s
    {297, 4, 10, -4, 3, 0},    // 0.3 s
    {193, 5, 15, -5, 4, 0},    // 0.2 s
    {94, 10, 30, -10, 5, 0},   // 0.1 s
    {62, 15, 50, -15, 6, 0},   // 0.066 s
    {29, 30, 100, -30, 7, 0},  // 0.033 s
};

const CaptureKey kcapkeys[CAPKEYROWS] = {
    {"l-alt", "L-Alt", 0xA4},
    {"r-alt", "R-Alt", 0xA5},
    {"r-ctrl", "R-Ctrl", 0xA3},
    {"f12", "F12", 0x7B},
};

#define INIREADSIZE 4096  // loginit.txt is read only this far
#define INILINES 100      // lines looked at
// A line holds a key and a whole path: the longest path a path buffer takes
// comes back from the file whole.
#define INILINESIZE (PATHSIZE + 32)

int32_t intervalrow(int32_t pos) {
  for (int32_t i = 0; i < INTERVALROWS; i++)
    if (kintervals[i].listpos == pos) return i;
  return 0;
}

static bool isspc(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

int32_t readdec(const char* s, const char** end) {
  const char* p = s;
  while (isspc(*p)) p++;
  bool neg = false;
  if (*p == '+' || *p == '-') neg = *p++ == '-';
  if (*p < '0' || *p > '9') {
    if (end) *end = s;
    return 0;
  }
  // Gathered as a negative number so INT32_MIN fits; saturates either way.
  int64_t v = 0;
  for (; *p >= '0' && *p <= '9'; p++)
    if (v > -((int64_t)1 << 40)) v = v * 10 - (*p - '0');
  if (end) *end = p;
  if (neg) return v < INT32_MIN ? INT32_MIN : (int32_t)v;
  return -v > INT32_MAX ? INT32_MAX : (int32_t)-v;
}

void readdec4(const char* s, int32_t v[4]) {
  v[0] = v[1] = v[2] = v[3] = 0;
  const char* p = s;
  for (int i = 0; i < 4; i++) {
    if (i > 0) {
      if (*p != ',') return;
      p++;
    }
    const char* e;
    v[i] = readdec(p, &e);
    if (e == p) return;
    p = e;
  }
}

static int32_t clamp(int32_t v, int32_t lo, int32_t hi) { return v < lo ? lo : v > hi ? hi : v; }

// An area margin from -599 to 600 stays; any other becomes 0.
static void readarea(const char* value, int32_t* work, int32_t* saved) {
  int32_t v[4];
  readdec4(value, v);
  for (int i = 0; i < 4; i++) {
    int32_t m = v[i] >= -599 && v[i] <= 600 ? v[i] : 0;
    work[i] = saved[i] = m;
  }
}

static void setarea(int32_t* work, int32_t* saved, int32_t a, int32_t b, int32_t c, int32_t d) {
  work[0] = saved[0] = a;
  work[1] = saved[1] = b;
  work[2] = saved[2] = c;
  work[3] = saved[3] = d;
}

// The capture key row named by a SELECTCAPKEY value: the token ends at a
// blank or control byte, a "/", a byte of 0x80 or above, or after 8 bytes;
// letters are matched in lower case.  Row 0 when no row has that name.
static int32_t capkeyrow(const char* value) {
  char token[9];
  int n = 0;
  for (; n < 8; n++) {
    unsigned char c = (unsigned char)value[n];
    if (c <= 0x20 || c == 0x7F || c == '/' || c >= 0x80) break;
    token[n] = (char)(c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c);
  }
  token[n] = 0;
  for (int32_t i = 0; i < CAPKEYROWS; i++)
    if (strcmp(token, kcapkeys[i].readname) == 0) return i;
  return 0;
}

static bool key(const char* line, const char* name, const char** value) {
  size_t n = strlen(name);
  if (strncmp(line, name, n) != 0) return false;
  *value = line + n;
  return true;
}

void setgamelog(const char* path) {
  Settings& s = gkesto.set;
  int32_t l = sjiscopy(s.gamelog, PATHSIZE, path);
  // The game's folder is the path without "golf.txt", its separator kept; a
  // double-byte character is never cut in two.
  sjiscopyn(s.gamefolder, PATHSIZE, s.gamelog, l > 8 ? l - 8 : 0);
}

int32_t parsesettings(const char* text, int32_t len) {
  Settings& s = gkesto.set;
  int32_t mask = 0;
  int32_t pos = 0;
  char line[INILINESIZE];
  for (int32_t count = 0; count < INILINES && text && pos < len; count++) {
    int32_t n = getloglinesz(line, sizeof line, text + pos, len - pos);
    if (n <= 0) break;
    pos += n;
    if (n <= 2) continue;
    const char* v;
    if (key(line, "HOME=", &v)) {
      sjiscopy(s.homeread, PATHSIZE, v);
      mask |= LM_HOME;
    } else if (key(line, "DGPATH=", &v)) {
      sjiscopy(s.dgpath, PATHSIZE, v);
      // Only a full path to the game's golf.txt moves the game log.
      if (strlen(v) >= 48 && strcontains("GOLFDUKE", 8, v)) {
        setgamelog(v);
        mask |= LM_DGPATH;
      }
    } else if (key(line, "READ_COURSE=", &v)) {
      s.readcourse = readdec(v, nullptr);
      mask |= LM_READ_COURSE;
    } else if (key(line, "SAVE_COURSE=", &v)) {
      s.savecourse = readdec(v, nullptr);
      mask |= LM_SAVE_COURSE;
    } else if (key(line, "IEXPLORE=", &v)) {
      s.iexplore = readdec(v, nullptr);
      mask |= LM_IEXPLORE;
    } else if (key(line, "INTERVAL=", &v)) {
      int32_t i = readdec(v, nullptr);
      if (i <= 0) {
        s.interval = 1;
      } else if (i <= 7) {
        s.interval = i;
      } else {
        s.custominterval = i;
        s.interval = 0;
      }
      mask |= LM_INTERVAL;
    } else if (key(line, "CAPTUREPAGE=", &v)) {
      int32_t p = readdec(v, nullptr);
      p = p <= 0 ? 0 : p > 10000 ? 9999 : p;
      s.work.capturepage = s.saved.capturepage = p;
      mask |= LM_CAPTUREPAGE;
    } else if (key(line, "DEFAULTAREA=", &v)) {
      readarea(v, s.work.defaultarea, s.saved.defaultarea);
      mask |= LM_DEFAULTAREA;
    } else if (key(line, "CUSTOMAREA=", &v)) {
      readarea(v, s.work.customarea, s.saved.customarea);
      mask |= LM_CUSTOMAREA;
    } else if (key(line, "ENABLEAREA=", &v)) {
      s.work.enablearea = s.saved.enablearea = clamp(readdec(v, nullptr), 0, 2);
      mask |= LM_ENABLEAREA;
    } else if (key(line, "LOCKONWINDOW=", &v)) {
      s.work.lockon = s.saved.lockon = clamp(readdec(v, nullptr), 0, 1);
      mask |= LM_LOCKONWINDOW;
    } else if (key(line, "ENABLECAPKEY=", &v)) {
      s.work.enablecapkey = s.saved.enablecapkey = clamp(readdec(v, nullptr), 0, 2);
      mask |= LM_ENABLECAPKEY;
    } else if (key(line, "SELECTCAPKEY=", &v)) {
      s.work.selectcapkey = s.saved.selectcapkey = capkeyrow(v);
      mask |= LM_SELECTCAPKEY;
    }
  }
  memset(s.windowarea, 0, sizeof s.windowarea);

  if ((mask & LM_CAPTUREKEYS) == LM_CAPTUREKEYS) return mask;
  // Defaults for the capture keys not found.  The mask gains bits (never
  // carries), so a found key's bit is never disturbed.
  int32_t found = mask;
  mask |= LM_INTERVAL | LM_CAPTUREPAGE;
  if (!(found & LM_INTERVAL)) s.interval = 7;
  if (!(found & LM_CAPTUREPAGE)) s.work.capturepage = s.saved.capturepage = 100;
  if (!(found & LM_DEFAULTAREA)) {
    setarea(s.work.defaultarea, s.saved.defaultarea, -29, -3, -3, -3);
    mask |= LM_DEFAULTAREA | LM_ENABLECAPKEY;
  }
  if (!(found & LM_CUSTOMAREA)) {
    setarea(s.work.customarea, s.saved.customarea, -31, -5, -5, -5);
    mask |= LM_CUSTOMAREA | LM_ENABLECAPKEY;
  }
  if (!(found & LM_ENABLEAREA)) {
    s.work.enablearea = s.saved.enablearea = 2;
    mask |= LM_ENABLEAREA | LM_DEFAULTED;
  }
  if (!(found & LM_LOCKONWINDOW)) {
    s.work.lockon = s.saved.lockon = 1;
    mask |= LM_LOCKONWINDOW | LM_DEFAULTED;
  }
  // A missing capture key mode or capture key keeps its value (0 at start);
  // a missing SELECTCAPKEY never gains its own bit, so such a file is never
  // taken as complete.
  if (!(found & LM_ENABLECAPKEY)) mask |= LM_ENABLECAPKEY;
  if (!(found & LM_SELECTCAPKEY)) mask |= LM_ENABLECAPKEY;
  return mask;
}

int32_t readsettings() {
  static char text[INIREADSIZE + 1];
  uint32_t len = 0, error = 0;
  // A file longer than the buffer is read as far as the buffer holds.
  int r = readtextfile(gkesto.set.inifile, text, INIREADSIZE, &len, &error);
  gkesto.set.iniunread = r == TEXT_UNREAD;
  gkesto.set.inierror = error;
  if (r != TEXT_READ && r != TEXT_CUT) return 0;
  return parsesettings(text, (int32_t)len);
}

// Writes one line to the replacement; 1 when all its bytes went out.
static int putline(Replacement* r, const char* line) {
  return replacewrite(r, line, (uint32_t)strlen(line));
}

// loginit.txt is replaced whole: an old file stays as it was when any write fails.
int32_t writesettings() {
  const Settings& s = gkesto.set;
  gkesto.writeerror = 0;
  Replacement r;
  Replacement* f = &r;
  if (!beginreplace(f, s.inifile)) {
    gkesto.writeerror = r.error;
    return 0;
  }
  const CaptureSettings& c = s.saved;
  int32_t key = c.selectcapkey >= 0 && c.selectcapkey < CAPKEYROWS ? c.selectcapkey : 0;
  char lines[14][PATHSIZE + 48];
  const size_t n = sizeof lines[0];
  snprintf(lines[0], n, "// loginit.txt\r\n");
  snprintf(lines[1], n, "HOME=%.*s\r\n", PATHSIZE - 1, s.home);
  snprintf(lines[2], n, "DGPATH=%.*s\r\n", PATHSIZE - 1, s.dgpath);
  snprintf(lines[3], n, "READ_COURSE=%d\r\n", s.readcourse != 0);
  snprintf(lines[4], n, "SAVE_COURSE=%d\r\n", s.savecourse != 0);
  snprintf(lines[5], n, "IEXPLORE=%d\r\n", s.iexplore != 0);
  snprintf(lines[6], n, "INTERVAL=%d\r\n", s.interval == 0 ? s.custominterval : s.interval);
  snprintf(lines[7], n, "CAPTUREPAGE=%d\r\n", c.capturepage);
  snprintf(lines[8], n, "DEFAULTAREA=%d,%d,%d,%d\r\n", c.defaultarea[0], c.defaultarea[1],
           c.defaultarea[2], c.defaultarea[3]);
  snprintf(lines[9], n, "CUSTOMAREA=%d,%d,%d,%d\r\n", c.customarea[0], c.customarea[1],
           c.customarea[2], c.customarea[3]);
  snprintf(lines[10], n, "ENABLEAREA=%d\r\n", c.enablearea);
  snprintf(lines[11], n, "LOCKONWINDOW=%d\r\n", c.lockon);
  snprintf(lines[12], n, "ENABLECAPKEY=%d\r\n", c.enablecapkey);
  snprintf(lines[13], n, "SELECTCAPKEY=%s // L-Alt R-Alt R-Ctrl F12\r\n", kcapkeys[key].writename);
  int32_t mask = 0;
  for (int i = 0; i < 14; i++) {
    if (!putline(f, lines[i])) break;
    mask |= 1 << i;
  }
  if (!endreplace(f, 1)) {
    gkesto.writeerror = r.error;
    return 0;
  }
  // What is on the disk now is what the user saved.
  if (mask == LM_COMPLETE) gkesto.set.iniunread = 0;
  return mask;
}
