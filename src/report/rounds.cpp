// The round history: logs cut into games with the whole-game parse, each
// game kept once, in date order.  Holds no non-ASCII literal: the fuzz build
// compiles it with clang.
#include "report/rounds.h"

#include <cstdlib>
#include <cstring>

#include "config/textfile.h"
#include "kesto.h"
#include "gamelog/gamelog.h"
#include "gamelog/logtags.h"

// One log at a time, never the play-log or live buffer.
static char glogbuf[LOGBUFSIZE];

void roundsfree(RoundHistory& h) {
  free(h.games);
  free(h.slots);
  free(h.logs);
  memset(&h, 0, sizeof h);
}

static bool isdigit8(char c) { return c >= '0' && c <= '9'; }

// The number of n digits at s (n from 1 to 4).
static int32_t digits(const char* s, int32_t n) {
  int32_t v = 0;
  for (int32_t i = 0; i < n; i++) v = v * 10 + (s[i] - '0');
  return v;
}

// The length of the run of digits at s.
static int32_t runlen(const char* s) {
  int32_t n = 0;
  while (isdigit8(s[n])) n++;
  return n;
}

void startdatetime(const char* text, int32_t* date, int32_t* time) {
  *date = 0;
  *time = -1;
  int32_t len = (int32_t)strnlen(text, 4096);
  int32_t from = 0;
  // Digits, "/" and ":" are below 0x40, so no Shift-JIS trail byte is taken
  // for one of them.
  for (int32_t i = 0; i < len; i++) {
    if (!isdigit8(text[i]) || (i > 0 && isdigit8(text[i - 1]))) continue;
    if (runlen(text + i) != 4 || text[i + 4] != '/') continue;
    int32_t m = runlen(text + i + 5);
    if (m < 1 || m > 2 || text[i + 5 + m] != '/') continue;
    int32_t d = runlen(text + i + 6 + m);
    if (d < 1 || d > 2) continue;
    int32_t month = digits(text + i + 5, m), day = digits(text + i + 6 + m, d);
    if (month < 1 || month > 12 || day < 1 || day > 31) continue;
    *date = digits(text + i, 4) * 10000 + month * 100 + day;
    from = i + 6 + m + d;
    break;
  }
  for (int32_t i = from; i < len; i++) {
    if (!isdigit8(text[i]) || (i > from && isdigit8(text[i - 1]))) continue;
    int32_t hl = runlen(text + i);
    if (hl < 1 || hl > 2 || text[i + hl] != ':' || runlen(text + i + hl + 1) < 2) continue;
    int32_t hh = digits(text + i, hl), mm = digits(text + i + hl + 1, 2);
    if (hh > 23 || mm > 59) continue;
    *time = hh * 100 + mm;
    break;
  }
}

RoundRow roundrow(const RoundGame& g, int32_t player) {
  RoundRow r = {0, 0, 0, false};
  bool parknown = true;
  for (int32_t k = 0; k < 18; k++) {
    int32_t s = g.stroke[player - 1][k];
    if (s == 0) continue;
    r.holes++;
    r.strokes += s;
    if (g.par[k] == 0) parknown = false;
    r.par += g.par[k];
  }
  if (!parknown || r.holes == 0) r.par = -1;
  r.full = r.holes == 18 && parknown;
  return r;
}

bool samegame(const RoundGame& a, const RoundGame& b) {
  if (a.players != b.players || a.pointbattle != b.pointbattle) return false;
  if (strcmp(a.start, b.start) != 0 || strcmp(a.course, b.course) != 0) return false;
  for (int32_t p = 0; p < a.players; p++)
    if (strcmp(a.name[p], b.name[p]) != 0 || memcmp(a.stroke[p], b.stroke[p], 18) != 0) return false;
  return true;
}

static uint32_t fnv(uint32_t h, const void* p, size_t n) {
  const uint8_t* b = (const uint8_t*)p;
  for (size_t i = 0; i < n; i++) h = (h ^ b[i]) * 16777619u;
  return h;
}

static uint32_t gamehash(const RoundGame& g) {
  uint32_t h = 2166136261u;
  h = fnv(h, g.start, strlen(g.start) + 1);
  h = fnv(h, g.course, strlen(g.course) + 1);
  h = fnv(h, &g.players, sizeof g.players);
  h = fnv(h, &g.pointbattle, sizeof g.pointbattle);
  for (int32_t p = 0; p < g.players; p++) {
    h = fnv(h, g.name[p], strlen(g.name[p]) + 1);
    h = fnv(h, g.stroke[p], 18);
  }
  return h;
}

// Grows an array of *cap elements of size bytes to hold need; false when
// the system refuses (the array is then as it was).
static bool grow(void** a, int32_t* cap, int32_t need, size_t size) {
  if (need <= *cap) return true;
  int32_t n = *cap ? *cap : 64;
  while (n < need) {
    if (n > INT32_MAX / 2) return false;
    n *= 2;
  }
  void* p = realloc(*a, (size_t)n * size);
  if (!p) return false;
  *a = p;
  *cap = n;
  return true;
}

// Puts game i into the same-game table (which has room).
static void place(RoundHistory& h, int32_t i) {
  uint32_t mask = (uint32_t)h.nslots - 1;
  uint32_t s = h.games[i].hash & mask;
  while (h.slots[s]) s = (s + 1) & mask;
  h.slots[s] = (uint32_t)i + 1;
}

// Makes the same-game table at least twice as large as count + 1.
static bool roomfortable(RoundHistory& h) {
  if ((int64_t)h.nslots >= 2 * ((int64_t)h.count + 1)) return true;
  int32_t n = h.nslots ? h.nslots : 256;
  while ((int64_t)n < 2 * ((int64_t)h.count + 1)) {
    if (n > INT32_MAX / 2) return false;
    n *= 2;
  }
  uint32_t* t = (uint32_t*)calloc((size_t)n, sizeof *t);
  if (!t) return false;
  free(h.slots);
  h.slots = t;
  h.nslots = n;
  for (int32_t i = 0; i < h.count; i++) place(h, i);
  return true;
}

// Keeps g unless an earlier game is the same: 1 kept, 0 already there, -1
// no memory.
static int32_t keep(RoundHistory& h, RoundGame& g) {
  g.hash = gamehash(g);
  if (h.nslots) {
    uint32_t mask = (uint32_t)h.nslots - 1;
    for (uint32_t s = g.hash & mask; h.slots[s]; s = (s + 1) & mask) {
      const RoundGame& o = h.games[h.slots[s] - 1];
      if (o.hash == g.hash && samegame(o, g)) return 0;
    }
  }
  if (!grow((void**)&h.games, &h.cap, h.count + 1, sizeof(RoundGame)) || !roomfortable(h)) return -1;
  g.order = (uint32_t)h.count;
  h.games[h.count] = g;
  place(h, h.count);
  h.count++;
  return 1;
}

// The game just parsed as a RoundGame.  Its pars are those of its own
// course: none when the table does not know the course or the game named
// none, whatever an earlier game of the log left in the record.
static void takegame(const GameRecord& r, RoundGame& g) {
  memset(&g, 0, sizeof g);
  memcpy(g.start, r.start, sizeof g.start);
  memcpy(g.course, r.course, sizeof g.course);
  g.players = r.players < 0 ? 0 : r.players > 4 ? 4 : r.players;
  for (int32_t p = 0; p < g.players; p++) {
    memcpy(g.name[p], r.name[p], sizeof g.name[p]);
    memcpy(g.stroke[p], r.stroke[p], 18);
  }
  g.start[sizeof g.start - 1] = 0;
  g.course[sizeof g.course - 1] = 0;
  for (int32_t p = 0; p < 4; p++) g.name[p][sizeof g.name[p] - 1] = 0;
  g.pointbattle = r.pointbattle;
  g.courseindex = g.course[0] ? findcourse(g.course, gkesto.courses) : -1;
  if (g.courseindex >= 0) memcpy(g.par, gkesto.courses[g.courseindex].par, sizeof g.par);
  startdatetime(g.start, &g.date, &g.time);
}

// The line at t + pos (the text ends at end and holds no zero byte) as the
// log's line reader cuts it: its length without the line end, and in *used
// the bytes it takes with its line end.  Read in place, nothing copied.
static inline int32_t lineat(const char* t, int32_t pos, int32_t end, int32_t* used) {
  const char* s = t + pos;
  int32_t max = end - pos < LINESIZE - 1 ? end - pos : LINESIZE - 1;
  // The first CR or LF: an LF, then a CR before it.
  const char* lf = (const char*)memchr(s, '\n', (size_t)max);
  int32_t i = lf ? (int32_t)(lf - s) : max;
  const char* cr = (const char*)memchr(s, '\r', (size_t)i);
  if (cr) i = (int32_t)(cr - s);
  *used = i;
  if (i < max) {
    *used = i + 1;
    if (pos + i + 1 < end && s[i + 1] == '\n') *used = i + 2;
  }
  return i;
}

static inline bool tagat(const char* s, int32_t len, const char* tag, int32_t n) {
  return len >= n && memcmp(s, tag, (size_t)n) == 0;
}
#define TAGAT(s, len, tag) tagat((s), (len), (tag), (int32_t)sizeof(tag) - 1)

// The shots of the game in t[from, end), the stretch the whole-game parse
// read for it: its lines are taken as that parse takes them (the start text
// after a begin marker and the two lines after "*Club Setting*" stand in
// for their tag line, the ten lines of a ShotData record are never tags).
// Of a record only the three bytes wanted are read: the hole (byte 12, line
// 0), the club (byte 40, line 2) and the club variant (byte 157, line 9).
static void takeshots(const char* t, int32_t from, int32_t end, RoundGame& g) {
  int32_t pos = from, player = 0, used;
  while (pos < end) {
    int32_t len = lineat(t, pos, end, &used);
    const char* s = t + pos;
    pos += used;
    if (used <= 2) continue;
    if (TAGAT(s, len, "Player") && len >= 8 && s[6] >= '1' && s[6] <= '4' && s[7] == ':') continue;
    if (TAGAT(s, len, "** PointBattle Begin **") || TAGAT(s, len, "** PointBattle Resume **") ||
        TAGAT(s, len, "** Stroke Resume **") || TAGAT(s, len, "** Stroke Begin **")) {
      s = t + pos;
      len = lineat(t, pos, end, &used);
      pos += used;
    }
    if (TAGAT(s, len, "*Club Setting*")) {
      for (int32_t k = 0; k < 2; k++) {
        s = t + pos;
        len = lineat(t, pos, end, &used);
        pos += used;
      }
    }
    if (TAGAT(s, len, "*Player")) {
      int32_t p = len > 7 ? (unsigned char)s[7] & 15 : 0;
      if (p >= 1 && p <= 4) player = p;
    } else if (TAGAT(s, len, "ShotData:")) {
      uint8_t rec[SHOTSIZE] = {};
      for (int32_t r = 0; r < SHOTLINES; r++) {
        const char* l = t + pos;
        int32_t n = pos < end ? lineat(t, pos, end, &used) : (used = 0);
        pos += used;
        if (r == 0) rec[12] = (uint8_t)linehex(l, n, 3 * 12);
        else if (r == 2) rec[40] = (uint8_t)linehex(l, n, 3 * 8);
        else if (r == 9) rec[157] = (uint8_t)linehex(l, n, 3 * 13);
      }
      int32_t hole = rec[12] + 1;
      if (player == 0 || hole > 18) continue;
      int32_t p = player - 1, k = hole - 1;
      if (g.shots[p][k] < 255) g.shots[p][k]++;
      bool putt = shotclub(rec) >= PUTTCLUB;
      if (putt) {
        if (g.putts[p][k] < 255) g.putts[p][k]++;
        if (!g.firstputt[p][k]) g.firstputt[p][k] = g.shots[p][k];
      }
      g.holedputt[p][k] = putt;
    }
  }
}

// Makes the record ready for the next game: course, pars and kind are the
// game's own.  A kind of -1 tells after the parse that no begin or resume
// marker was read.
static void newgame(GameRecord& rec, int32_t from) {
  rec.course[0] = 0;
  rec.link[0] = 0;
  memset(rec.par, 0, sizeof rec.par);
  rec.pointbattle = -1;
  rec.readpos = from;
}

static bool isplayerline(const char* s, int32_t n) {
  return n >= 8 && memcmp(s, "Player", 6) == 0 && s[6] >= '1' && s[6] <= '4' && s[7] == ':';
}

// Where the game of the begin marker line at b begins: at the first of the
// "Player1:" to "Player4:" lines right before it, which belong to it.
static int32_t gamestart(const char* t, int32_t from, int32_t b) {
  while (b > from) {
    int32_t e = b;  // the line before b ends at e, its line end excluded
    if (t[e - 1] == '\n') e--;
    if (e > from && t[e - 1] == '\r') e--;
    if (e == b) break;
    int32_t s = e;
    while (s > from && t[s - 1] != '\n' && t[s - 1] != '\r') s--;
    if (!isplayerline(t + s, e - s)) break;
    b = s;
  }
  return b;
}

// The start of the last game begun by a "** Stroke Begin **" or "**
// PointBattle Begin **" line in t[from, to) when there are two or more
// such lines (the earlier games were never finished), else -1.
static int32_t lastbegin(const char* t, int32_t from, int32_t to) {
  int32_t found = 0, last = -1;
  static const char kstroke[] = "** Stroke ", kpoint[] = "** PointBattle ";
  // Looked for by its "g", a letter the shot records' hexadecimal lines never hold.
  for (int32_t i = from + 2; i < to;) {
    const char* q = (const char*)memchr(t + i, 'g', (size_t)(to - i));
    if (!q) break;
    int32_t at = (int32_t)(q - t) - 2;
    i = at + 3;
    if (to - at < 8 || memcmp(t + at, "Begin **", 8) != 0) continue;
    q = t + at;
    int32_t b = -1;
    if (at - from >= 10 && memcmp(q - 10, kstroke, 10) == 0) b = at - 10;
    else if (at - from >= 15 && memcmp(q - 15, kpoint, 15) == 0) b = at - 15;
    if (b < 0 || (b > from && t[b - 1] != '\n' && t[b - 1] != '\r')) continue;
    found++;
    last = b;
  }
  return found >= 2 ? gamestart(t, from, last) : -1;
}

// Cuts the log text in glogbuf (len bytes) into games.  A game counts only
// when its end marker was read: runs of zero bytes (what a crash during an
// append leaves) cut the text into stretches read one by one, the game they
// cut off is dropped, and so is a game that a later begin marker shows was
// never finished.  Nothing of a dropped game reaches the next one.
static void cutlog(RoundHistory& h, RoundLog& l, int32_t len) {
  // A fresh record for each log: nothing carries over from the log before.
  static GameRecord rec;
  memset(&rec, 0, sizeof rec);
  int32_t pos = 0;
  while (pos < len) {
    const char* z = (const char*)memchr(glogbuf + pos, 0, (size_t)(len - pos));
    int32_t stretch = z ? (int32_t)(z - glogbuf) : len;
    rec.loglen = stretch;
    while (pos < stretch) {
      newgame(rec, pos);
      parsegamein(rec, glogbuf, 1, gkesto.courses);
      if (!rec.ended) {
        // Cut off by zero bytes or the end of the log.
        if (rec.pointbattle >= 0 || rec.players > 0) memset(rec.name, 0, sizeof rec.name);
        break;
      }
      int32_t again = lastbegin(glogbuf, pos, rec.readpos), from = pos;
      if (again > pos) {
        memset(rec.name, 0, sizeof rec.name);
        newgame(rec, again);
        parsegamein(rec, glogbuf, 1, gkesto.courses);  // ends at the same end marker
        from = again;
      }
      pos = rec.readpos;
      if (rec.pointbattle < 0) continue;  // an end marker without its game
      RoundGame g;
      takegame(rec, g);
      l.games++;
      int32_t k = keep(h, g);
      if (k < 0) {
        h.nomemory = 1;
        l.status = ROUNDLOG_NOMEMORY;
        return;
      }
      l.added += k;
      // The shots are read only for a game kept: a repeated one has them already.
      if (k) takeshots(glogbuf, from, rec.readpos, h.games[h.count - 1]);
    }
    if (!z) break;
    pos = stretch;
    while (pos < len && glogbuf[pos] == 0) pos++;
    if (l.zeroruns < ZEROSPANS) {
      l.zero[l.zeroruns].offset = (uint32_t)stretch;
      l.zero[l.zeroruns].length = (uint32_t)(pos - stretch);
    }
    l.zeroruns++;
  }
}

// A new entry of the log list, or null when memory is refused.
static RoundLog* newlog(RoundHistory& h, const char* path) {
  if (!grow((void**)&h.logs, &h.logcap, h.nlogs + 1, sizeof(RoundLog))) {
    h.nomemory = 1;
    return nullptr;
  }
  RoundLog* l = &h.logs[h.nlogs++];
  memset(l, 0, sizeof *l);
  sjiscopy(l->path, sizeof l->path, path);
  l->status = ROUNDLOG_UNREADABLE;
  return l;
}

// The log of size bytes now in glogbuf.
static int32_t addread(RoundHistory& h, RoundLog& l, uint32_t size) {
  glogbuf[size] = 0;
  l.status = ROUNDLOG_READ;
  if (size > 0) cutlog(h, l, (int32_t)size);
  return l.status;
}

int32_t roundsaddtext(RoundHistory& h, const char* name, const char* text, uint32_t size) {
  RoundLog* l = newlog(h, name);
  if (!l) return ROUNDLOG_NOMEMORY;
  l->size = size;
  if (size >= LOGBUFSIZE) return l->status = ROUNDLOG_TOOBIG;
  memcpy(glogbuf, text, size);
  return addread(h, *l, size);
}

int32_t roundsaddlog(RoundHistory& h, const char* path) {
  RoundLog* lp = newlog(h, path);
  if (!lp) return ROUNDLOG_NOMEMORY;
  RoundLog& l = *lp;
  OsHandle f = oscreatefile(path, OS_GENERIC_READ, OS_FILE_SHARE_READ | OS_FILE_SHARE_WRITE, OS_OPEN_EXISTING);
  if (f == OS_BADFILE || f == 0) return l.status;
  uint32_t size = osgetfilesize(f);
  uint32_t got = 0;
  if (size == OS_INVALID_FILE_SIZE) {
    osclosehandle(f);
    return l.status;
  }
  l.size = size;
  if (size >= LOGBUFSIZE) {
    osclosehandle(f);
    return l.status = ROUNDLOG_TOOBIG;
  }
  uint32_t error = 0;
  int ok = size == 0 || readall(f, glogbuf, size, &got, &error);
  osclosehandle(f);
  if (!ok) return l.status;
  return addread(h, l, size);
}

static int cmpgames(const void* pa, const void* pb) {
  const RoundGame& a = *(const RoundGame*)pa;
  const RoundGame& b = *(const RoundGame*)pb;
  // Games without a date first, in their order; the others by date and time.
  bool da = a.date != 0, db = b.date != 0;
  if (da != db) return da ? 1 : -1;
  if (da) {
    if (a.date != b.date) return a.date < b.date ? -1 : 1;
    if (a.time != b.time) return a.time < b.time ? -1 : 1;
  }
  return a.order < b.order ? -1 : a.order > b.order ? 1 : 0;
}

void roundssort(RoundHistory& h) {
  if (h.count > 1) qsort(h.games, (size_t)h.count, sizeof(RoundGame), cmpgames);
  // The same-game table holds indices: rebuild it for the new order.
  if (h.nslots) {
    memset(h.slots, 0, (size_t)h.nslots * sizeof *h.slots);
    for (int32_t i = 0; i < h.count; i++) place(h, i);
  }
}
