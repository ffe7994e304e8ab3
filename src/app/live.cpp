// The live state, its JSON and the texts of its files.  The board is the whole-game parse of
// golf.txt as the watcher mirrors it in the live buffer, from the begin
// marker of the game in progress; names and texts go to UTF-8 through the
// CP932 table.
#include "app/live.h"

#include <cstdio>
#include <cstring>

#include "config/course.h"
#include "kesto.h"
#include "report/cp932.h"

LiveState glive;

const char* const klivefiles[LIVEFILES] = {"shot.txt",  "board.txt", "player.txt",    "hole.txt",
                                           "club.txt",  "power.txt", "remaining.txt", "topar.txt"};

#define SHOTFILES (~(1u << LiveBoardTxt) & ((1u << LIVEFILES) - 1))
#define BOARDFILES ((1u << LiveBoardTxt) | (1u << LiveToParTxt))
#define YARDS 1.0936133f  // yards in a metre, as the main window shows them


void livereset() {
  // The game and its last shot go; the count of shots, the settings, the
  // files' fortunes and the dialog stay.
  glive.hasshot = 0;
  memset(&glive.shot, 0, sizeof glive.shot);
  memset(&glive.game, 0, sizeof glive.game);
  glive.hasgame = 0;
  glive.gamepos = 0;
  glive.parsed = 0;
  glive.haspars = 0;
  memset(glive.par, 0, sizeof glive.par);
}

// A game begins in the stretch a parse read: a begin marker or a player's line.
static bool begun(const GameRecord& g) { return g.start[0] != 0 || g.players > 0; }

// One parse of the live buffer's first upto bytes from pos, on the names
// and course of the record base (the whole-log parse keeps them from game to game).
static void parsefrom(GameRecord& g, const GameRecord& base, const char* buf, int32_t upto, int32_t pos) {
  g = base;
  g.loglen = upto;
  g.readpos = pos;
  parsegamein(g, buf, 1, gkesto.courses);
}

// Where the next game begins after an ended one whose parse stopped at pos,
// or -1 when none has begun yet (what follows is read again next time).
static int32_t nextgame(const char* buf, int32_t upto, int32_t pos) {
  static GameRecord trial;
  for (;;) {
    parsefrom(trial, glive.game, buf, upto, pos);
    if (begun(trial)) return pos;
    if (!trial.ended || trial.readpos >= upto || trial.readpos <= pos) return -1;
    pos = trial.readpos;  // an end line with no game before it ("End Program")
  }
}

// Reads the game in progress from the live buffer's first upto bytes: from
// the begin of the game read last, on to a later game once one has begun;
// an ended game stays on the board until then.
static void readboard(const char* buf, int32_t upto) {
  static GameRecord next;
  if (upto < glive.parsed) {
    // A shorter log is another log: read from its start.
    memset(&glive.game, 0, sizeof glive.game);
    glive.gamepos = 0;
    glive.hasgame = 0;
  }
  glive.parsed = upto;
  for (int32_t guard = 0; guard < 100000 && glive.gamepos < upto; guard++) {
    parsefrom(next, glive.game, buf, upto, glive.gamepos);
    if (glive.hasgame && !begun(next)) break;
    glive.game = next;
    glive.hasgame = begun(next);
    if (!next.ended || next.readpos >= upto) break;
    int32_t pos = nextgame(buf, upto, next.readpos);
    if (pos < 0) break;
    glive.gamepos = pos;
  }
  int32_t k = glive.game.course[0] ? findcourse(glive.game.course, gkesto.courses) : -1;
  glive.haspars = k >= 0;
  if (k >= 0) memcpy(glive.par, gkesto.courses[k].par, sizeof glive.par);
  else memset(glive.par, 0, sizeof glive.par);
}

// ---- shots ------------------------------------------------------------------

void livegamestarted(int32_t len, int whole) {
  livereset();
  // Without the log whole in the buffer the board starts where following did.
  glive.gamepos = whole ? 0 : len;
  glive.parsed = glive.gamepos;
  livelogread(len);
}

void liveshot(const LiveShot& s) {
  glive.seq++;
  glive.shot = s;
  glive.hasshot = 1;
  glive.pending |= SHOTFILES;
}

// ---- texts --------------------------------------------------------------------

// A text being built in a buffer; cut marks one that did not fit.
struct Out {
  char* p;
  int32_t n, len;
  bool cut;
};

static void put(Out& o, const char* s, int32_t k) {
  if (o.cut || o.len + k >= o.n) {
    o.cut = true;
    return;
  }
  memcpy(o.p + o.len, s, (size_t)k);
  o.len += k;
  o.p[o.len] = 0;
}
static void puts_(Out& o, const char* s) { put(o, s, (int32_t)strlen(s)); }
static void putf(Out& o, const char* fmt, double v) {
  char b[64];
  int k = snprintf(b, sizeof b, fmt, v);
  put(o, b, k);
}
static void putn(Out& o, int32_t v) {
  char b[16];
  int k = snprintf(b, sizeof b, "%d", (int)v);
  put(o, b, k);
}

// A Shift-JIS text of the log as UTF-8.
static void pututf8(Out& o, const char* sjis, int32_t len) {
  char b[512];
  int32_t k = sjistoutf8(b, (int32_t)sizeof b, sjis, len);
  put(o, b, k);
}

// The name of player p (1 to 4) as the log gives it, or "Player<p>".
static void putname(Out& o, int32_t p) {
  if (p >= 1 && p <= 4 && glive.game.name[p - 1][0]) {
    pututf8(o, glive.game.name[p - 1], (int32_t)sizeof glive.game.name[0]);
  } else {
    puts_(o, "Player");
    putn(o, p);
  }
}

// A UTF-8 text as a JSON string: quotes, backslashes and control characters
// escaped, and < > & too, so that the text never becomes markup in a page.
static void putjson(Out& o, const char* s) {
  put(o, "\"", 1);
  for (const unsigned char* c = (const unsigned char*)s; *c; c++) {
    char b[8];
    if (*c == '"' || *c == '\\') {
      b[0] = '\\';
      b[1] = (char)*c;
      put(o, b, 2);
    } else if (*c < 0x20 || *c == '<' || *c == '>' || *c == '&') {
      snprintf(b, sizeof b, "\\u%04x", *c);
      put(o, b, 6);
    } else {
      put(o, (const char*)c, 1);
    }
  }
  put(o, "\"", 1);
}

static void putjsonsjis(Out& o, const char* sjis, int32_t len) {
  char b[512];
  sjistoutf8(b, (int32_t)sizeof b, sjis, len);
  putjson(o, b);
}

// The power in percent (120 is full power) and the distance left in the
// unit of the club: yards for clubs of 70 and above.
static double powerpercent(const LiveShot& s) { return s.power * 100.0 / 120.0; }
static bool yards(const LiveShot& s) { return s.club >= 70; }
static double remaining(const LiveShot& s) { return yards(s) ? (double)(s.remain * YARDS) : (double)s.remain; }
static void putremain(Out& o, const LiveShot& s) {
  putf(o, "%.1f", remaining(s));
  puts_(o, yards(s) ? "y" : "m");
}

// Player p's row of the board: strokes in all, holes with a stroke count,
// and strokes over par on those holes (the course's pars known).
struct Row {
  int32_t total, thru, topar;
};
static Row boardrow(int32_t p) {
  Row r = {0, 0, 0};
  for (int32_t h = 0; h < 18; h++) {
    int32_t s = glive.game.stroke[p - 1][h];
    if (s <= 0) continue;
    r.total += s;
    r.thru++;
    if (glive.par[h] > 0) r.topar += s - glive.par[h];
  }
  return r;
}

// To par as golfers write it: +3, E, -2; a dash without the course's pars.
static void puttopar(Out& o, const Row& r) {
  if (!glive.haspars) {
    puts_(o, u8"\u2014");
  } else if (r.topar == 0) {
    puts_(o, "E");
  } else {
    if (r.topar > 0) puts_(o, "+");
    putn(o, r.topar);
  }
}

// The game in progress, or null.
static void putgame(Out& o) {
  const GameRecord& g = glive.game;
  if (glive.hasgame) {
    puts_(o, "{\"course\": ");
    putjsonsjis(o, g.course, (int32_t)sizeof g.course);
    puts_(o, ", \"start\": ");
    putjsonsjis(o, g.start, (int32_t)sizeof g.start);
    puts_(o, g.pointbattle ? ", \"kind\": \"pointbattle\"" : ", \"kind\": \"stroke\"");
    puts_(o, ", \"hole\": ");
    putn(o, g.hole);
    puts_(o, g.ended ? ", \"ended\": true}" : ", \"ended\": false}");
  } else {
    puts_(o, "null");
  }
}

// The last shot, or null.
static void putshot(Out& o) {
  if (glive.hasshot) {
    const LiveShot& s = glive.shot;
    char name[512];
    Out no = {name, (int32_t)sizeof name, 0, false};
    putname(no, s.player);
    puts_(o, "{\"player\": ");
    putn(o, s.player);
    puts_(o, ", \"name\": ");
    putjson(o, name);
    puts_(o, ", \"hole\": ");
    putn(o, s.hole);
    puts_(o, ", \"club\": ");
    putn(o, s.club);
    putf(o, ", \"power\": %.1f", powerpercent(s));
    putf(o, ", \"remaining\": %.1f", remaining(s));
    puts_(o, yards(s) ? ", \"unit\": \"y\", \"text\": \"" : ", \"unit\": \"m\", \"text\": \"");
    putremain(o, s);
    puts_(o, "\"}");
  } else {
    puts_(o, "null");
  }
}

// The board: one row a player.
static void putboard(Out& o) {
  const GameRecord& g = glive.game;
  puts_(o, "[");
  for (int32_t p = 1; glive.hasgame && p <= g.players && p <= 4; p++) {
    Row r = boardrow(p);
    char name[512];
    Out no = {name, (int32_t)sizeof name, 0, false};
    putname(no, p);
    if (p > 1) puts_(o, ", ");
    puts_(o, "{\"player\": ");
    putn(o, p);
    puts_(o, ", \"name\": ");
    putjson(o, name);
    puts_(o, ", \"strokes\": [");
    for (int32_t h = 0; h < 18; h++) {
      if (h) puts_(o, ", ");
      if (g.stroke[p - 1][h] > 0) putn(o, g.stroke[p - 1][h]);
      else puts_(o, "null");
    }
    puts_(o, "], \"total\": ");
    putn(o, r.total);
    puts_(o, ", \"to_par\": ");
    if (glive.haspars) putn(o, r.topar);
    else puts_(o, "null");
    puts_(o, ", \"thru\": ");
    putn(o, r.thru);
    puts_(o, "}");
  }
  puts_(o, "]");
}

int32_t livejson(char* dst, int32_t n) {
  Out o = {dst, n, 0, false};
  if (n > 0) dst[0] = 0;
  puts_(o, "{\"seq\": ");
  putn(o, glive.seq);
  puts_(o, ", \"game\": ");
  putgame(o);
  puts_(o, ", \"shot\": ");
  putshot(o);
  puts_(o, ", \"board\": ");
  putboard(o);
  puts_(o, "}");
  return o.cut ? -1 : o.len;
}

int32_t livejsontext(const char* sjis, int32_t len, char* dst, int32_t n) {
  Out o = {dst, n, 0, false};
  if (n > 0) dst[0] = 0;
  putjsonsjis(o, sjis, len);
  return o.cut ? -1 : o.len;
}

int32_t livejsonpart(int32_t which, char* dst, int32_t n) {
  Out o = {dst, n, 0, false};
  if (n > 0) dst[0] = 0;
  switch (which) {
    case LiveGamePart: putgame(o); break;
    case LiveShotPart: putshot(o); break;
    case LiveBoardPart: putboard(o); break;
    default: return -1;
  }
  return o.cut ? -1 : o.len;
}

// The shooting player's row of the board.
static Row shooterrow() {
  int32_t p = glive.shot.player;
  if (p >= 1 && p <= 4) return boardrow(p);
  Row r = {0, 0, 0};
  return r;
}

int32_t livefiletext(int32_t file, char* dst, int32_t n) {
  Out o = {dst, n, 0, false};
  if (n > 0) dst[0] = 0;
  const LiveShot& s = glive.shot;
  if (file == LiveBoardTxt) {
    if (!glive.hasgame || glive.game.players <= 0) return -1;
    for (int32_t p = 1; p <= glive.game.players && p <= 4; p++) {
      Row r = boardrow(p);
      putname(o, p);
      puts_(o, "  ");
      puttopar(o, r);
      puts_(o, "  ");
      if (r.thru >= 18) puts_(o, "F");
      else putn(o, r.thru);
      puts_(o, "\r\n");
    }
    return o.cut ? -1 : o.len;
  }
  if (!glive.hasshot) return -1;
  switch (file) {
    case LiveShotTxt:
      putname(o, s.player);
      puts_(o, "  H");
      putn(o, s.hole);
      puts_(o, "  Club ");
      putn(o, s.club);
      putf(o, "  %.1f%%", powerpercent(s));
      puts_(o, u8"  残り ");
      putremain(o, s);
      break;
    case LivePlayerTxt: putname(o, s.player); break;
    case LiveHoleTxt: putn(o, s.hole); break;
    case LiveClubTxt: putn(o, s.club); break;
    case LivePowerTxt: putf(o, "%.1f%%", powerpercent(s)); break;
    case LiveRemainingTxt: putremain(o, s); break;
    case LiveToParTxt: puttopar(o, shooterrow()); break;
    default: return -1;
  }
  puts_(o, "\r\n");
  return o.cut ? -1 : o.len;
}

void livelogread(int32_t upto) {
  if (upto < 0) return;
  if (upto > LOGBUFSIZE - 1) upto = LOGBUFSIZE - 1;
  // The board file is replaced only when its text changed.
  static char before[LIVEFILETEXT], after[LIVEFILETEXT];
  int32_t a = livefiletext(LiveBoardTxt, before, (int32_t)sizeof before);
  readboard(gkesto.livebuf, upto);
  int32_t b = livefiletext(LiveBoardTxt, after, (int32_t)sizeof after);
  if (a != b || (b >= 0 && memcmp(before, after, (size_t)b) != 0)) glive.pending |= BOARDFILES;
}


void livefromlog(int32_t len) {
  livereset();
  glive.seq = 0;
  if (len < 0) len = 0;
  if (len > LOGBUFSIZE - 1) len = LOGBUFSIZE - 1;
  const char* buf = gkesto.livebuf;
  // The log goes in pieces that end before a tag line (the lines of a record
  // start with a hexadecimal digit, never with '*'), small enough that every
  // record of a piece is listed (a record and its "*Player" line are 12 lines).
  static StretchShots recs;
  LiveShot s;
  memset(&s, 0, sizeof s);
  int32_t from = 0, pos = 0, lines = 0;
  char line[LINESIZE];
  while (pos < len) {
    int32_t n = getloglinen(line, buf + pos, len - pos);
    if (n == 0) break;
    if (lines >= 12 * (STRETCHSHOTS - 4) && line[0] == '*') {
      parseshots(s, recs, buf, from, pos);
      for (int32_t i = recs.count > STRETCHSHOTS ? recs.count - STRETCHSHOTS : 0; i < recs.count; i++)
        liveshot(recs.shot[i % STRETCHSHOTS]);
      from = pos;
      lines = 0;
    }
    pos += n;
    lines++;
  }
  parseshots(s, recs, buf, from, len);
  for (int32_t i = recs.count > STRETCHSHOTS ? recs.count - STRETCHSHOTS : 0; i < recs.count; i++)
    liveshot(recs.shot[i % STRETCHSHOTS]);
  glive.pending = 0;
  readboard(buf, len);
}

