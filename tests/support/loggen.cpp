// A generator of golf.txt logs as the game writes them: games of one to four
// players, stroke play and point battle, begun or resumed, ended by an end
// marker or by the end of the program, each shot followed by its ShotData.
#include "loggen.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "config/course.h"

uint64_t LogRandom::next() {
  uint64_t z = (state += 0x9E3779B97F4A7C15ull);
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
  return z ^ (z >> 31);
}

int32_t LogRandom::below(int32_t n) { return n <= 1 ? 0 : (int32_t)(next() % (uint64_t)n); }

static void add(std::string& out, const char* fmt, ...) {
  char b[512];
  va_list ap;
  va_start(ap, fmt);
  int n = vsnprintf(b, sizeof b, fmt, ap);
  va_end(ap);
  if (n > (int)sizeof b - 1) n = (int)sizeof b - 1;
  if (n > 0) out.append(b, (size_t)n);
  out += "\r\n";
}

std::string logshotblock(const uint8_t* rec) {
  std::string out = "ShotData:\r\n";
  static const char hex[] = "0123456789ABCDEF";
  for (int r = 0; r < 10; r++) {
    for (int j = 0; j < 16; j++) {
      uint8_t b = rec[16 * r + j];
      if (j) out += ' ';
      out += hex[b >> 4];
      out += hex[b & 15];
    }
    out += "\r\n";
  }
  return out;
}

static const char* const knames[] = {
    "Taro", "Hanako", "KESTO", "Jiro", "Sakura", "Ken", "Mika", "Player",
    "たろう", "はなこ", "ゴルフ太郎", "ひろし", "さくら", "漬け名人", "ケン", "みか",
};
#define NNAMES ((int32_t)(sizeof knames / sizeof knames[0]))

static const int8_t kdefaultpar[18] = {4, 4, 3, 5, 4, 4, 3, 4, 5, 4, 4, 3, 5, 4, 4, 3, 4, 5};

// A score on a hole of the given par.
static int32_t score(LogRandom& rnd, int32_t par) {
  int32_t x = rnd.below(100);
  int32_t d = x < 1 ? -2 : x < 13 ? -1 : x < 58 ? 0 : x < 86 ? 1 : x < 96 ? 2 : 3;
  int32_t s = par + d;
  return s < 1 ? 1 : s;
}

static void putfloat(uint8_t* rec, int32_t at, float f) {
  uint32_t bits;
  memcpy(&bits, &f, 4);
  for (int i = 0; i < 4; i++) rec[at + i] = (uint8_t)(bits >> (8 * i));
}

// One shot: the "*Player" line and its ShotData block.  A hole of strokes
// shots ends with putts putts (none for a chip-in or a hole in one); left is
// the player's distance to the hole in decimetres, before and after the shot.
static void shot(LogRandom& rnd, std::string& out, int32_t player, int32_t hole, int32_t stroke, int32_t strokes,
                 int32_t putts, int32_t& left, int32_t par) {
  add(out, "*Player%d %02d", player, stroke);
  uint8_t rec[160];
  for (int i = 0; i < 160; i++) rec[i] = (uint8_t)rnd.below(256);
  int32_t approaches = strokes - putts, before = left, after, club;
  if (stroke <= approaches) {
    if (stroke == strokes)
      after = 0;  // holed from off the green
    else if (stroke == approaches)
      after = rnd.range(10, 240);  // on the green
    else
      after = before * (approaches - stroke) / (approaches - stroke + 1) * rnd.range(85, 115) / 100 + 250;
    if (stroke == 1 && par >= 4)
      club = 10;
    else if (before > 1800)
      club = 20;
    else if (before > 900)
      club = 30;
    else
      club = 40 + 10 * rnd.below(3);
  } else {
    after = stroke == strokes ? 0 : rnd.range(3, 30);
    club = 70 + rnd.below(3);  // putters
  }
  left = after;
  rec[0] = (uint8_t)player;
  rec[1] = (uint8_t)stroke;
  rec[12] = (uint8_t)(hole - 1);
  rec[40] = (uint8_t)club;
  putfloat(rec, 106, (float)after / 10.0f);
  rec[157] = (uint8_t)rnd.below(4);
  rec[158] = (uint8_t)(club >= 70 ? rnd.range(60, 90) : rnd.range(80, 120));
  out += logshotblock(rec);
}

// The putts of a hole of strokes shots: mostly two, some one or three, now
// and then none (a chip-in); never all of them.
static int32_t puttsof(LogRandom& rnd, int32_t strokes) {
  int32_t x = rnd.below(100);
  int32_t k = x < 3 ? 0 : x < 25 ? 1 : x < 90 ? 2 : 3;
  return k < strokes - 1 ? k : strokes - 1;
}

static void game(LogRandom& rnd, std::string& out, LogGenGame& g, int32_t index) {
  g = LogGenGame();
  g.pointbattle = rnd.below(3) == 0;
  int32_t x = rnd.below(20);  // solo rounds are the most common
  g.players = x < 8 ? 1 : x < 14 ? 2 : x < 17 ? 3 : 4;
  g.resumed = rnd.below(8) == 0;
  g.endprogram = rnd.below(10) == 0;
  g.firsthole = g.resumed ? rnd.range(2, 16) : 1;
  g.lasthole = g.endprogram ? rnd.range(g.firsthole, 17) : 18;
  g.course = rnd.below(10) == 0 ? -1 : rnd.below(COURSES);
  g.coursename = g.course < 0 ? "Practice Links" : kbuiltincourses[g.course].name;
  const int8_t* par = g.course < 0 ? kdefaultpar : kbuiltincourses[g.course].par;

  // Lines before the begin marker belong to the game.
  if (rnd.below(6) == 0) add(out, "** Replay Load **");
  add(out, "*Game Setting*");
  add(out, "Mode:%s Players:%d", g.pointbattle ? "PointBattle" : "Stroke", g.players);
  for (int32_t p = 0; p < g.players; p++) {
    g.name[p] = knames[rnd.below(NNAMES)];
    add(out, "Player%d:%s", p + 1, g.name[p].c_str());
  }
  if (g.resumed) add(out, g.pointbattle ? "** PointBattle Load **" : "** Stroke Load **");
  if (g.pointbattle)
    add(out, g.resumed ? "** PointBattle Resume **" : "** PointBattle Begin **");
  else
    add(out, g.resumed ? "** Stroke Resume **" : "** Stroke Begin **");
  char start[64];
  snprintf(start, sizeof start, "%04d/%02d/%02d %02d:%02d:%02d", 2008 + index / 300, 1 + index / 25 % 12,
           1 + index % 25, rnd.range(8, 23), rnd.below(60), rnd.below(60));
  g.start = start;
  add(out, "%s", start);
  add(out, "*Club Setting*");
  add(out, "Name: %s", g.coursename.c_str());
  add(out, "Tee:  %d", rnd.range(1, 3));

  int32_t points[4] = {0, 0, 0, 0};
  for (int32_t h = g.firsthole; h <= g.lasthole; h++) {
    int32_t hp = par[h - 1] ? par[h - 1] : 4;
    int32_t length = hp == 3 ? rnd.range(1200, 2000) : hp == 4 ? rnd.range(3000, 4200) : rnd.range(4300, 5200);
    add(out, "*Hole %2d", h);
    add(out, " Par%d %dm Wind %dm", hp, length / 10, rnd.below(8));
    int32_t strokes[4] = {0, 0, 0, 0}, left[4];
    int32_t most = 0;
    for (int32_t p = 0; p < g.players; p++) {
      strokes[p] = score(rnd, hp);
      g.stroke[p][h - 1] = (int8_t)strokes[p];
      g.putts[p][h - 1] = (int8_t)puttsof(rnd, strokes[p]);
      left[p] = length;
      if (strokes[p] > most) most = strokes[p];
    }
    // Players take turns until each has holed out.
    for (int32_t s = 1; s <= most; s++)
      for (int32_t p = 0; p < g.players; p++)
        if (s <= strokes[p]) shot(rnd, out, p + 1, h, s, strokes[p], g.putts[p][h - 1], left[p], hp);
    if (g.pointbattle) {
      int32_t best = 99;
      for (int32_t p = 0; p < g.players; p++)
        if (strokes[p] < best) best = strokes[p];
      for (int32_t p = 0; p < g.players; p++)
        if (strokes[p] == best) points[p]++;
      if (h % 3 == 0) {
        std::string t;
        char b[32];
        for (int32_t p = 0; p < g.players; p++) {
          snprintf(b, sizeof b, "%sP%d %dpt", p ? " " : "", p + 1, points[p]);
          t += b;
        }
        add(out, " Stage%d:%s", h / 3, t.c_str());
      }
    }
  }
  if (g.endprogram)
    add(out, "End Program(0)");
  else
    add(out, g.pointbattle ? "** PointBattle End **" : "** Stroke End **");
  // Sometimes the program is closed after the game.
  if (!g.endprogram && rnd.below(8) == 0) add(out, "End Program(0)");
}

std::string loggen(uint64_t seed, int32_t games, std::vector<LogGenGame>* info) {
  LogRandom rnd(seed);
  std::string out;
  if (info) info->clear();
  for (int32_t i = 0; i < games; i++) {
    LogGenGame g;
    game(rnd, out, g, i);
    if (info) info->push_back(g);
  }
  return out;
}

std::string loggensize(uint64_t seed, int32_t maxbytes, std::vector<LogGenGame>* info) {
  LogRandom rnd(seed);
  std::string out, one;
  if (info) info->clear();
  for (int32_t i = 0;; i++) {
    LogGenGame g;
    one.clear();
    game(rnd, one, g, i);
    if (out.size() + one.size() > (size_t)maxbytes) break;
    out += one;
    if (info) info->push_back(g);
  }
  return out;
}

std::string loggencourses() {
  std::string out = "# KESTO COURSE PAR\r\n";
  for (int32_t k = 0; k < COURSES; k++) {
    const CourseRecord& c = kbuiltincourses[k];
    add(out, "COURSENO: %d,%d", k + 1, c.number);
    add(out, "NAME: \"%s\"", c.name);
    std::string par = "PAR: ";
    for (int h = 0; h < 18; h++) {
      if (h) par += ',';
      par += (char)('0' + c.par[h]);
    }
    add(out, "%s", par.c_str());
    add(out, "KEYWORD: \"%s\"", c.keyword);
    out += "\r\n";
  }
  return out;
}

std::string loggensettings(uint64_t seed) {
  LogRandom rnd(seed);
  static const char* const keys[] = {"L-Alt", "R-Alt", "R-Ctrl", "F12"};
  std::string out;
  add(out, "// loginit.txt");
  add(out, "HOME=C:\\KESTO");
  add(out, "DGPATH=C:\\Program Files\\GOLFDUKE\\GolfDuke Tokumori\\data\\golf.txt");
  add(out, "READ_COURSE=%d", rnd.below(2));
  add(out, "SAVE_COURSE=%d", rnd.below(2));
  add(out, "IEXPLORE=%d", rnd.below(2));
  add(out, "INTERVAL=%d", rnd.below(4) == 0 ? rnd.range(8, 50) : rnd.range(1, 7));
  add(out, "CAPTUREPAGE=%d", rnd.range(0, 500));
  add(out, "DEFAULTAREA=%d,%d,%d,%d", -29, -3, -3, -3);
  add(out, "CUSTOMAREA=%d,%d,%d,%d", -rnd.below(40), -rnd.below(9), -rnd.below(9), -rnd.below(9));
  add(out, "ENABLEAREA=%d", rnd.below(3));
  add(out, "LOCKONWINDOW=%d", rnd.below(2));
  add(out, "ENABLECAPKEY=%d", rnd.below(3));
  add(out, "SELECTCAPKEY=%s // L-Alt R-Alt R-Ctrl F12", keys[rnd.below(4)]);
  return out;
}
