// The round history and its statistics: logs cut into games, each game once,
// the CSV's fields and the figures of the page; and "成績集計" in the main
// window through the fake desktop.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>
#include <sys/stat.h>
#include <unistd.h>

#include "app/mainwin.h"
#include "app/startup.h"
#include "app/statscmd.h"
#include "kesto.h"
#include "os/fake/fakeos.h"
#include "report/cp932.h"
#include "report/rounds.h"
#include "report/stats.h"
#include "loggen.h"
#include "support.h"

namespace {

// One game: the players' names, the course, start text, holes first to
// last with each player's strokes from strokes(p, hole); no end marker when
// ended is false.
std::string game(const std::string& start, const std::string& course, int first, int last,
                 std::initializer_list<std::string> names, int (*strokes)(int p, int h), bool pb = false,
                 bool ended = true) {
  std::string s;
  int p = 1;
  for (const std::string& n : names) s += "Player" + std::to_string(p++) + ":" + n + "\r\n";
  s += pb ? "** PointBattle Begin **\r\n" : "** Stroke Begin **\r\n";
  s += start + "\r\n*Club Setting*\r\nName: " + course + "\r\nTee:  1\r\n";
  char b[32];
  for (int h = first; h <= last; h++) {
    snprintf(b, sizeof b, "*Hole %2d\r\n", h);
    s += b;
    for (int q = 1; q < p; q++) {
      snprintf(b, sizeof b, "*Player%d %02d\r\n", q, strokes(q, h));
      s += b;
    }
  }
  if (ended) s += pb ? "** PointBattle End **\r\n" : "** Stroke End **\r\n";
  return s;
}

int fours(int, int) { return 4; }
int fives(int p, int) { return p == 1 ? 5 : 4; }
int threeonfirst(int, int h) { return h == 1 ? 3 : 4; }

// ロペ倶楽部's pars: 5,4,5,3,4,4,4,3,5 / 4,3,5,4,3,5,4,4,5 (74).
const char kcourse[] = "ロペ倶楽部";

class Rounds : public ::testing::Test {
 protected:
  std::string dir;
  RoundHistory h;
  void SetUp() override {
    kestoreset();
    initcourses();
    memset(&h, 0, sizeof h);
    dir = maketempdir();
  }
  void TearDown() override {
    roundsfree(h);
    removetree(dir);
  }
  std::string log(const std::string& name, const std::string& text) {
    std::string p = dir + "/" + name;
    EXPECT_TRUE(writefile(p, text));
    return p;
  }
};

TEST_F(Rounds, CutsFinishedGamesAndCountsARepeatedGameOnce) {
  std::string a = game("2009/04/05 20:00:00", kcourse, 1, 18, {"Taro", "Hanako"}, fours) +
                  game("2009/04/06 09:30:00", kcourse, 1, 9, {"Taro"}, fours) +
                  game("2009/04/07 10:00:00", kcourse, 1, 18, {"Taro"}, fours, false, false);  // no end
  std::string b = game("2009/04/08 11:00:00", kcourse, 1, 18, {"Taro"}, fives, true);
  EXPECT_EQ(roundsaddlog(h, log("golf.txt", a).c_str()), ROUNDLOG_READ);
  EXPECT_EQ(roundsaddlog(h, log("golfwatch.txt", a + b).c_str()), ROUNDLOG_READ);
  EXPECT_EQ(roundsaddlog(h, log("backup.txt", b + a).c_str()), ROUNDLOG_READ);
  EXPECT_EQ(roundsaddlog(h, (dir + "/missing.txt").c_str()), ROUNDLOG_UNREADABLE);
  ASSERT_EQ(h.count, 3);
  EXPECT_EQ(h.logs[0].games, 2);
  EXPECT_EQ(h.logs[0].added, 2);
  EXPECT_EQ(h.logs[1].games, 3);
  EXPECT_EQ(h.logs[1].added, 1);
  EXPECT_EQ(h.logs[2].added, 0);
  roundssort(h);
  EXPECT_EQ(h.games[0].date, 20090405);
  EXPECT_EQ(h.games[1].time, 930);
  EXPECT_EQ(h.games[2].pointbattle, 1);
  EXPECT_EQ(h.games[0].players, 2);
  EXPECT_EQ(h.games[0].courseindex, 1);
}

TEST_F(Rounds, SameGameNeedsEveryNameAndStroke) {
  std::string g1 = game("2009/04/05 20:00:00", kcourse, 1, 18, {"Taro", "Hanako"}, fours);
  std::string g2 = game("2009/04/05 20:00:00", kcourse, 1, 18, {"Taro", "Hanako"}, threeonfirst);
  std::string g3 = game("2009/04/05 20:00:00", kcourse, 1, 18, {"Taro", "Hanaka"}, fours);
  std::string g4 = game("2009/04/05 20:00:00", kcourse, 1, 18, {"Taro", "Hanako"}, fours, true);
  // The same game with a stage text of its own is still the same game.
  std::string g5 = g1;
  g5.insert(g5.find("** Stroke End"), " Stage1:P1 3pt\r\n");
  roundsaddlog(h, log("a.txt", g1 + g2 + g3 + g4 + g5).c_str());
  EXPECT_EQ(h.count, 4);
  EXPECT_TRUE(samegame(h.games[0], h.games[0]));
  EXPECT_FALSE(samegame(h.games[0], h.games[1]));
}

TEST_F(Rounds, A4MiBLogIsSkipped) {
  std::string big(LOGBUFSIZE, ' ');
  EXPECT_EQ(roundsaddlog(h, log("big.txt", big).c_str()), ROUNDLOG_TOOBIG);
  EXPECT_EQ(h.logs[0].size, (uint32_t)LOGBUFSIZE);
  EXPECT_EQ(h.count, 0);
}

TEST(StartText, DateAndTime) {
  int32_t d, t;
  startdatetime("2009/4/5 9:07:11", &d, &t);
  EXPECT_EQ(d, 20090405);
  EXPECT_EQ(t, 907);
  startdatetime("start 12:30 then 2008/12/31 23:59", &d, &t);  // the time after the date
  EXPECT_EQ(d, 20081231);
  EXPECT_EQ(t, 2359);
  startdatetime("Round at 7:45", &d, &t);
  EXPECT_EQ(d, 0);
  EXPECT_EQ(t, 745);
  startdatetime("2009/13/01 25:00", &d, &t);
  EXPECT_EQ(d, 0);
  EXPECT_EQ(t, -1);
  startdatetime("12009/04/05", &d, &t);  // five digits are no year
  EXPECT_EQ(d, 0);
}

TEST(Csv, QuotingAndDecoding) {
  char b[256];
  csvfield(b, sizeof b, "plain");
  EXPECT_STREQ(b, "plain");
  csvfield(b, sizeof b, "Ka,ne \"K\"");
  EXPECT_STREQ(b, "\"Ka,ne \"\"K\"\"\"");
  csvfield(b, sizeof b, "a\r\nb");
  EXPECT_STREQ(b, "\"a\r\nb\"");
  // Never cut inside a character or without the closing quote.
  csvfield(b, 7, "\xE3\x83\xAD,\xE3\x83\x9A");
  EXPECT_STREQ(b, "\"\xE3\x83\xAD,\"");
  // Shift-JIS to UTF-8: full-width, half-width katakana, a bad pair, a lone lead byte.
  sjistoutf8(b, sizeof b, "\x83\x8D\xB1\x85\x40x\x81", 64);
  EXPECT_STREQ(b, "\xE3\x83\xAD\xEF\xBD\xB1\xEF\xBF\xBDx\xEF\xBF\xBD");
  sjistoutf8(b, 4, "\x83\x8D\x83\x8D", 4);
  EXPECT_STREQ(b, "\xE3\x83\xAD");
}

TEST_F(Rounds, CsvRowsInDateOrder) {
  // A course without pars in a log of its own (the record starts fresh), a
  // 9-hole game, a point-battle game, names with commas and quotes.
  roundsaddlog(h, log("a.txt", game("2009/04/06 08:00", "Practice Links", 1, 18, {"Taro"}, fours)).c_str());
  roundsaddlog(h, log("b.txt", game("2009/04/05 20:00", kcourse, 1, 9, {"Ka,ne \"K\""}, fours) +
                                   game("no date", kcourse, 1, 18, {"Taro", "Hanako"}, fives, true))
                      .c_str());
  roundssort(h);
  std::string out = dir + "/rounds.csv";
  ASSERT_EQ(writeroundscsv(h, out.c_str(), nullptr), 1);
  std::string csv = readfile(out);
  std::string x =
      "\xEF\xBB\xBFstart,date,time,course,kind,player,holes,strokes,par,to_par,h1,h2,h3,h4,h5,h6,h7,h8,h9,h10,h11,"
      "h12,h13,h14,h15,h16,h17,h18,putts,gir\r\n"
      "no date,,,\xE3\x83\xAD\xE3\x83\x9A\xE5\x80\xB6\xE6\xA5\xBD\xE9\x83\xA8,pointbattle,Taro,18,90,74,16,"
      "5,5,5,5,5,5,5,5,5,5,5,5,5,5,5,5,5,5,,\r\n"
      "no date,,,\xE3\x83\xAD\xE3\x83\x9A\xE5\x80\xB6\xE6\xA5\xBD\xE9\x83\xA8,pointbattle,Hanako,18,72,74,-2,"
      "4,4,4,4,4,4,4,4,4,4,4,4,4,4,4,4,4,4,,\r\n"
      "2009/04/05 20:00,2009-04-05,20:00,\xE3\x83\xAD\xE3\x83\x9A\xE5\x80\xB6\xE6\xA5\xBD\xE9\x83\xA8,stroke,"
      "\"Ka,ne \"\"K\"\"\",9,36,37,-1,4,4,4,4,4,4,4,4,4,,,,,,,,,,,\r\n"
      "2009/04/06 08:00,2009-04-06,08:00,Practice Links,stroke,Taro,18,72,,,"
      "4,4,4,4,4,4,4,4,4,4,4,4,4,4,4,4,4,4,,\r\n";
  EXPECT_EQ(csv, x);
}

TEST_F(Rounds, Figures) {
  // Taro: two 18-hole rounds on ロペ倶楽部 (72 = -2, then 90 = +16), a 9-hole
  // game; Hanako: 72 with a 3 on hole 1 (71 = -3).
  roundsaddlog(h, log("a.txt", game("2009/04/05 20:00", kcourse, 1, 18, {"Taro", "Hanako"}, fours) +
                                   game("2009/04/06 20:00", kcourse, 1, 18, {"Taro", "Hanako"}, fives) +
                                   game("2009/04/07 20:00", kcourse, 1, 18, {"Hanako"}, threeonfirst) +
                                   game("2009/04/08 20:00", kcourse, 1, 9, {"Taro"}, fours))
                      .c_str());
  roundssort(h);
  StatsFigures f;
  ASSERT_EQ(statsfigures(h, f), 1);
  ASSERT_EQ(f.nplayers, 2);
  ASSERT_EQ(f.rounds, 6);
  const PlayerFigures& t = f.players[0];
  EXPECT_STREQ(t.name, "Taro");
  EXPECT_EQ(t.full, 2);
  EXPECT_EQ(t.other, 1);
  EXPECT_EQ(t.strokes, 72 + 90);
  EXPECT_EQ(t.topar, -2 + 16);
  EXPECT_EQ(t.best, 0);
  EXPECT_EQ(t.besttopar, -2);
  // Fours on 6 par 5s, 8 par 4s, 4 par 3s, twice over 18 holes and once
  // over the first nine (3 par 5s, 4 par 4s, 2 par 3s); fives in between.
  EXPECT_EQ(t.results[BIRDIE], 6 + 3);
  EXPECT_EQ(t.results[PARHOLE], 8 + 4 + 6);
  EXPECT_EQ(t.results[BOGEY], 4 + 2 + 8);
  EXPECT_EQ(t.results[DOUBLE], 4);
  EXPECT_EQ(t.results[EAGLE], 0);
  EXPECT_EQ(t.parholes[0], 10);
  EXPECT_EQ(t.partopar[0], 4 + 2 + 8);
  const PlayerFigures& k = f.players[1];
  EXPECT_EQ(k.full, 3);
  EXPECT_EQ(k.best, 2);
  EXPECT_EQ(k.besttopar, -3);
  EXPECT_EQ(k.results[EAGLE], 1);  // 3 on a par 5
  ASSERT_EQ(f.ncourses, 1);
  EXPECT_EQ(f.courses[0].rounds, 6);
  EXPECT_EQ(f.courses[0].full, 5);
  EXPECT_EQ(f.courses[0].last, 3);
  EXPECT_EQ(f.courses[0].holeplays[0], 6);
  statsfree(f);

  char b[16];
  fmtsigned(b, sizeof b, 34, 10);
  EXPECT_STREQ(b, "+3.4");
  fmtsigned(b, sizeof b, -1, 30);
  EXPECT_STREQ(b, "-0.0");
  fmtsigned(b, sizeof b, -12, 10);
  EXPECT_STREQ(b, "-1.2");
  fmtsigned(b, sizeof b, 5, 100);
  EXPECT_STREQ(b, "+0.1");

  // The page: Shift-JIS, texts escaped, one chart line per player.
  roundsaddlog(h, log("b.txt", game("2009/04/09 20:00", kcourse, 1, 18, {"<b>&"}, fours)).c_str());
  roundssort(h);
  std::string page = dir + "/stats.html";
  ASSERT_EQ(writestatspage(h, page.c_str(), nullptr), 1);
  std::string html = readfile(page);
  EXPECT_EQ(html.find("<b>&"), std::string::npos);
  EXPECT_NE(html.find("&lt;b&gt;&amp;"), std::string::npos);
  EXPECT_NE(html.find("\x83\x8D\x83\x79"), std::string::npos);  // ロペ in Shift-JIS
  EXPECT_EQ(html.find("<script"), std::string::npos);
  // One chart for three players, each with a point for every 18-hole round
  // (the one-round player too, whose line alone would draw nothing).
  auto count = [&](const std::string& what) {
    size_t n = 0;
    for (size_t at = 0; (at = html.find(what, at)) != std::string::npos; at++) n++;
    return n;
  };
  EXPECT_EQ(count("<svg"), 1u);
  EXPECT_EQ(count("class=\"trend-player\""), 3u);
  EXPECT_EQ(count("class=\"trend-point\""), 2u + 3u + 1u);
  EXPECT_EQ(count("class=\"trend-avg\""), 3u);
  // The to-par range -4..+17 from the rounds: par labelled once, no "+0".
  EXPECT_EQ(count(">+0<"), 0u);
  EXPECT_EQ(count("class=\"zero\""), 1u);
  EXPECT_NE(html.find(">+17</text>"), std::string::npos);
  EXPECT_NE(html.find(">-4</text>"), std::string::npos);
  EXPECT_NE(html.find(">2009-04-05</text>"), std::string::npos);
  EXPECT_NE(html.find(">2009-04-09</text>"), std::string::npos);
}

// The CSV rows (header left out) of the history as it stands.
std::string csvrows(RoundHistory& h, const std::string& dir) {
  roundssort(h);
  std::string out = dir + "/rounds.csv";
  EXPECT_EQ(writeroundscsv(h, out.c_str(), nullptr), 1);
  std::string csv = readfile(out);
  return csv.substr(csv.find("\r\n") + 2);
}

// The figures of a sorted history, the players by name, as one text to
// compare histories by.
std::string figuretext(const RoundHistory& h) {
  StatsFigures f;
  EXPECT_EQ(statsfigures(h, f), 1);
  std::string t;
  char b[256];
  for (int32_t i = 0; i < f.nplayers; i++) {
    const PlayerFigures& p = f.players[i];
    snprintf(b, sizeof b, "%s full %d other %d strokes %lld topar %lld best %d/%d r %d %d %d %d %d par3 %d/%d\n", p.name,
             p.full, p.other, (long long)p.strokes, (long long)p.topar, p.beststrokes, p.besttopar, p.results[0],
             p.results[1], p.results[2], p.results[3], p.results[4], p.partopar[0], p.parholes[0]);
    t += b;
  }
  for (int32_t i = 0; i < f.ncourses; i++) {
    const CourseFigures& c = f.courses[i];
    snprintf(b, sizeof b, "[%s] rounds %d full %d topar %lld plays1 %d\n", c.name, c.rounds, c.full,
             (long long)c.topar, c.holeplays[0]);
    t += b;
  }
  statsfree(f);
  return t;
}

// A course the table does not know has no pars, whatever game came before it
// in the same log; the order of the logs changes nothing.
TEST_F(Rounds, UnknownCourseAfterAKnownOneHasNoParsInEitherOrder) {
  std::string known = game("2009/04/05 20:00", kcourse, 1, 18, {"Taro"}, fours);
  std::string unknown = game("2009/04/06 08:00", "Practice Links", 1, 18, {"Taro"}, fours);
  roundsaddlog(h, log("a.txt", known + unknown).c_str());
  std::string rows = csvrows(h, dir), figures = figuretext(h);
  EXPECT_NE(rows.find("2009/04/06 08:00,2009-04-06,08:00,Practice Links,stroke,Taro,18,72,,,4,"), std::string::npos)
      << rows;
  EXPECT_NE(figures.find("Taro full 1 other 1 strokes 72 topar -2 "), std::string::npos) << figures;
  EXPECT_NE(figures.find("[Practice Links] rounds 1 full 0 topar 0 plays1 0"), std::string::npos) << figures;
  // Holes of the unknown course have no par: only the known round's 18 holes.
  StatsFigures f;
  ASSERT_EQ(statsfigures(h, f), 1);
  int32_t holes = 0;
  for (int32_t k = 0; k < RESULTS; k++) holes += f.players[0].results[k];
  EXPECT_EQ(holes, 18);
  statsfree(f);

  // The same games in the other order, and in one log each.
  RoundHistory o;
  memset(&o, 0, sizeof o);
  roundsaddlog(o, log("b.txt", unknown + known).c_str());
  EXPECT_EQ(csvrows(o, dir), rows);
  EXPECT_EQ(figuretext(o), figures);
  roundsfree(o);
  roundsaddlog(o, log("c.txt", unknown).c_str());
  roundsaddlog(o, log("d.txt", known).c_str());
  EXPECT_EQ(csvrows(o, dir), rows);
  EXPECT_EQ(figuretext(o), figures);
  roundsfree(o);
}

// A game without a "*Club Setting*" line has no course and no pars: it does
// not take the name or pars of the game before it.
TEST_F(Rounds, AGameWithoutACourseLineHasNoCourse) {
  std::string nocourse = "Player1:Taro\r\n** Stroke Begin **\r\n2009/04/06 08:00\r\n";
  for (int k = 1; k <= 18; k++) nocourse += "*Hole " + std::to_string(k) + "\r\n*Player1 04\r\n";
  nocourse += "** Stroke End **\r\n";
  roundsaddlog(h, log("a.txt", game("2009/04/05 20:00", kcourse, 1, 18, {"Taro"}, fours) + nocourse).c_str());
  ASSERT_EQ(h.count, 2);
  std::string rows = csvrows(h, dir);
  EXPECT_NE(rows.find("2009/04/06 08:00,2009-04-06,08:00,,stroke,Taro,18,72,,,4,"), std::string::npos) << rows;
  EXPECT_STREQ(h.games[1].course, "");
  EXPECT_EQ(h.games[1].courseindex, -1);
  std::string figures = figuretext(h);
  EXPECT_NE(figures.find("Taro full 1 other 1 strokes 72 topar -2 "), std::string::npos) << figures;
  EXPECT_NE(figures.find("[] rounds 1 full 0"), std::string::npos) << figures;
}

// A crash during an append leaves zero bytes: the game they cut off does not
// count, the finished game after them does, and the page names the stretch.
TEST_F(Rounds, AZeroCutGameIsDroppedAndTheFinishedGameAfterItCounts) {
  std::string cut = game("2009/04/05 20:00", kcourse, 1, 9, {"Jiro", "Saburo"}, fives, false, false);
  std::string zeros(3000, '\0');
  std::string after = game("2009/04/06 09:00", kcourse, 1, 18, {"Hanako"}, fours);
  std::string text = cut + zeros + after + zeros.substr(0, 7);
  std::string path = log("golf.txt", text);
  EXPECT_EQ(roundsaddlog(h, path.c_str()), ROUNDLOG_READ);
  ASSERT_EQ(h.count, 1);
  EXPECT_EQ(h.logs[0].games, 1);
  const RoundGame& g = h.games[0];
  EXPECT_STREQ(g.start, "2009/04/06 09:00");
  EXPECT_EQ(g.players, 1);
  EXPECT_STREQ(g.name[0], "Hanako");
  EXPECT_EQ(roundrow(g, 1).strokes, 72);
  ASSERT_EQ(h.logs[0].zeroruns, 2);
  EXPECT_EQ(h.logs[0].zero[0].offset, (uint32_t)cut.size());
  EXPECT_EQ(h.logs[0].zero[0].length, 3000u);
  EXPECT_EQ(h.logs[0].zero[1].offset, (uint32_t)(cut.size() + 3000 + after.size()));
  EXPECT_EQ(h.logs[0].zero[1].length, 7u);

  // Zero bytes inside a game: neither the part before them nor the part
  // after them, which ends with the end marker but has no begin, counts.
  std::string whole = game("2009/04/07 10:00", kcourse, 1, 18, {"Jiro"}, fours);
  size_t mid = whole.find("*Hole 10");
  roundsaddlog(h, log("b.txt", whole.substr(0, mid) + zeros + whole.substr(mid)).c_str());
  EXPECT_EQ(h.logs[1].games, 0);
  EXPECT_EQ(h.logs[1].zeroruns, 1);
  EXPECT_EQ(h.count, 1);

  roundssort(h);
  std::string page = dir + "/stats.html";
  ASSERT_EQ(writestatspage(h, page.c_str(), nullptr), 1);
  std::string html = readfile(page);
  char want[64];
  snprintf(want, sizeof want, "%zu", cut.size());
  size_t at = html.find(path);
  ASSERT_NE(at, std::string::npos);
  EXPECT_NE(html.find(want, at), std::string::npos) << html;
}

// A begin marker drops the unfinished game before it: neither its strokes
// nor its players reach the next game; a resumed game stays one game.
TEST_F(Rounds, ABeginMarkerDropsTheUnfinishedGameBeforeIt) {
  std::string cut = game("2009/04/05 20:00", kcourse, 1, 9, {"Jiro", "Saburo"}, fives, false, false);
  std::string next = game("2009/04/06 09:00", kcourse, 10, 18, {"Hanako"}, fours);
  std::string bare = next.substr(next.find("** Stroke Begin"));  // no player lines of its own
  std::string resumed = game("2009/04/07 09:00", kcourse, 1, 9, {"Taro"}, fours, false, false) +
                        "** Stroke Resume **\r\n2009/04/07 10:00\r\n*Hole 10\r\n*Player1 04\r\n** Stroke End **\r\n";
  roundsaddlog(h, log("a.txt", cut + next + cut + bare + resumed).c_str());
  ASSERT_EQ(h.count, 3);
  EXPECT_EQ(h.logs[0].games, 3);
  EXPECT_EQ(h.games[0].players, 1);
  EXPECT_STREQ(h.games[0].name[0], "Hanako");
  RoundRow r = roundrow(h.games[0], 1);
  EXPECT_EQ(r.holes, 9);
  EXPECT_EQ(r.strokes, 36);
  // The game after the second cut one names nobody: Jiro was the cut game's.
  EXPECT_EQ(h.games[1].players, 1);
  EXPECT_STREQ(h.games[1].name[0], "");
  EXPECT_EQ(roundrow(h.games[1], 1).holes, 9);
  EXPECT_EQ(roundrow(h.games[2], 1).holes, 10);
  EXPECT_STREQ(h.games[2].name[0], "Taro");
}

// To-par and averages read as C's "%+.1f" of the double sum / count, made by
// the project's own code (MinGW's printf rounds differently).
TEST(Signs, AsPrintfPlusPointOneOfTheQuotient) {
  char b[32], want[32];
  fmtsigned(b, sizeof b, 29, 4);  // 7.25: a tie, to even
  EXPECT_STREQ(b, "+7.2");
  fmtsigned(b, sizeof b, 0, 7);
  EXPECT_STREQ(b, "+0.0");
  fmtsigned(b, sizeof b, -1, 30);
  EXPECT_STREQ(b, "-0.0");
  fmtsigned(b, sizeof b, 35, 100);  // 0.35 is a little below, as a double
  EXPECT_STREQ(b, "+0.3");
  fmtaverage(b, sizeof b, 1, 8, 2, true);  // 0.125
  EXPECT_STREQ(b, "+0.12");
  fmtaverage(b, sizeof b, 1449, 20, 1, false);  // 72.45
  EXPECT_STREQ(b, "72.5");
  // Every quotient of a sweep, against this system's printf.
  int32_t wrong = 0;
  for (int32_t count = 1; count <= 64; count++)
    for (int64_t sum = -3000; sum <= 3000; sum += 1) {
      for (int32_t d = 1; d <= 2; d++) {
        fmtaverage(b, sizeof b, sum, count, d, true);
        snprintf(want, sizeof want, d == 1 ? "%+.1f" : "%+.2f", (double)sum / count);
        if (strcmp(b, want) != 0 && wrong++ < 5) ADD_FAILURE() << sum << "/" << count << ": " << b << " " << want;
      }
      fmtaverage(b, sizeof b, sum * 37, count, 1, false);
      snprintf(want, sizeof want, "%.1f", (double)(sum * 37) / count);
      if (strcmp(b, want) != 0 && wrong++ < 5) ADD_FAILURE() << sum * 37 << "/" << count << ": " << b << " " << want;
    }
  EXPECT_EQ(wrong, 0);
  const int64_t big[][2] = {{INT64_C(123456789012), 7}, {-INT64_C(9007199254740993), 3}, {1, 2147483647}};
  for (const auto& v : big) {
    fmtaverage(b, sizeof b, v[0], (int32_t)v[1], 1, true);
    snprintf(want, sizeof want, "%+.1f", (double)v[0] / (int32_t)v[1]);
    EXPECT_STREQ(b, want);
  }
}

// Text fields that a spreadsheet would take for a formula get an apostrophe;
// numbers stay numbers and the page shows the names as they are.
TEST_F(Rounds, CsvTextFieldsNeverBecomeFormulas) {
  roundsaddlog(h, log("a.txt", game("-2009/04/05 20:00", "=HYPERLINK(\"x\")", 1, 18,
                                    {"=1+2", "+Taro", "-Jiro", "@Hanako"}, fours) +
                                   game("2009/04/06 20:00", kcourse, 1, 18, {"\tTab", "Ken-1", "1"}, fours))
                      .c_str());
  std::string rows = csvrows(h, dir);
  EXPECT_NE(rows.find("'-2009/04/05 20:00,2009-04-05,20:00,\"'=HYPERLINK(\"\"x\"\")\",stroke,'=1+2,18,72,,,4,"), std::string::npos)
      << rows;
  EXPECT_NE(rows.find(",stroke,'+Taro,18,"), std::string::npos) << rows;
  EXPECT_NE(rows.find(",stroke,'-Jiro,18,"), std::string::npos) << rows;
  EXPECT_NE(rows.find(",stroke,'@Hanako,18,"), std::string::npos) << rows;
  EXPECT_NE(rows.find(",stroke,'\tTab,18,72,74,-2,4,"), std::string::npos) << rows;
  EXPECT_NE(rows.find(",stroke,Ken-1,18,"), std::string::npos) << rows;
  EXPECT_NE(rows.find(",stroke,1,18,"), std::string::npos) << rows;
  EXPECT_EQ(rows.find("'4"), std::string::npos);
  std::string page = dir + "/stats.html";
  ASSERT_EQ(writestatspage(h, page.c_str(), nullptr), 1);
  std::string html = readfile(page);
  EXPECT_NE(html.find(">=1+2<"), std::string::npos);
  EXPECT_EQ(html.find("'=1+2"), std::string::npos);
}

// ---- shots, putts and greens ---------------------------------------------------

// ロペ倶楽部's pars, hole 1 to 18.
const int kpar[18] = {5, 4, 5, 3, 4, 4, 4, 3, 5, 4, 3, 5, 4, 3, 5, 4, 4, 5};

// A ShotData block of a shot on hole (1-18) with club (byte 40) and variant (byte 157).
std::string shotrec(int hole, int club, int variant = 0) {
  uint8_t rec[160] = {};
  for (int i = 0; i < 160; i++) rec[i] = (uint8_t)(i * 37 + 11);  // bytes nobody reads
  rec[12] = (uint8_t)(hole - 1);
  rec[40] = (uint8_t)club;
  rec[157] = (uint8_t)variant;
  return logshotblock(rec);
}

// A hole played with approaches shots of club 40 and then putts shots of club 70.
std::vector<int> hole(int approaches, int putts) {
  std::vector<int> c(approaches, 40);
  c.insert(c.end(), putts, 70);
  return c;
}

// A game of Taro on ロペ倶楽部 (or course): hole k (1 to holes.size()) played
// with the clubs holes[k - 1], a "*Player" line and a ShotData record a shot;
// strokes[k - 1], when given and not 0, is the count the last "*Player" line
// gives instead of the number of shots.
std::string clubgame(const std::string& start, const std::vector<std::vector<int>>& holes, bool pb = false,
                     const std::vector<int>& strokes = {}, const std::string& course = kcourse) {
  std::string s = "Player1:Taro\r\n";
  s += pb ? "** PointBattle Begin **\r\n" : "** Stroke Begin **\r\n";
  s += start + "\r\n*Club Setting*\r\nName: " + course + "\r\nTee:  1\r\n";
  char b[32];
  for (size_t k = 0; k < holes.size(); k++) {
    snprintf(b, sizeof b, "*Hole %2d\r\n", (int)k + 1);
    s += b;
    int n = (int)holes[k].size();
    for (int i = 0; i < n; i++) {
      snprintf(b, sizeof b, "*Player1 %02d\r\n", i == n - 1 && k < strokes.size() && strokes[k] ? strokes[k] : i + 1);
      s += b + shotrec((int)k + 1, holes[k][i]);
    }
  }
  return s + (pb ? "** PointBattle End **\r\n" : "** Stroke End **\r\n");
}

// Every hole of ロペ倶楽部 on the green in regulation and two putts (par).
std::vector<std::vector<int>> parround() {
  std::vector<std::vector<int>> r;
  for (int k = 0; k < 18; k++) r.push_back(hole(kpar[k] - 2, 2));
  return r;
}

// The edges of each definition on one round: a first putt exactly at par - 1
// is a green, at par it is not; a chip-in has no putt and is no green; a hole
// in one is; three putts; club 69 is no putter, 70 is.
TEST_F(Rounds, PuttsAndGreensOfEveryKindOfHole) {
  std::vector<std::vector<int>> r = parround();
  r[0] = hole(3, 2);              // par 5: first putt at 4 = par - 1: a green
  r[1] = hole(3, 1);              // par 4: first putt at 4 = par: no green, one putt
  r[2] = hole(4, 0);              // par 5: a chip-in for par, no putt, no green
  r[3] = {10};                    // par 3: a hole in one, a green without a putt
  r[4] = hole(2, 3);              // par 4: a green, three putts
  r[5] = {10, 40, 69, 70};        // par 4: club 69 is the third shot, an approach: no green
  r[6] = {10, 30, 71};            // par 4: a birdie putt of club 71 (30 with variant 0 stays 30)
  // A round of pars after it: the chip-in and the hole in one are 2 holes
  // of 36 without a putt, so putts are shown.
  roundsaddlog(h, log("a.txt", clubgame("2009/05/01 10:00", r) + clubgame("2009/05/02 10:00", parround())).c_str());
  ASSERT_EQ(h.count, 2);
  roundssort(h);
  const RoundGame& g = h.games[0];
  EXPECT_EQ(g.shots[0][2], 4);
  EXPECT_EQ(g.putts[0][2], 0);
  EXPECT_EQ(g.holedputt[0][2], 0);
  EXPECT_EQ(g.firstputt[0][0], 4);
  EXPECT_EQ(g.firstputt[0][5], 4);
  int32_t putts, one, three, greens;
  ASSERT_TRUE(roundputts(g, 1, &putts, &one, &three, &greens));
  // Holes 8-18 two putts each (22), then 2+1+0+0+3+1+1.
  EXPECT_EQ(putts, 22 + 8);
  EXPECT_EQ(one, 3);
  EXPECT_EQ(three, 1);
  // Greens: holes 8-18, hole 1, the hole in one, hole 5, hole 7.
  EXPECT_EQ(greens, 11 + 4);

  StatsFigures f;
  ASSERT_EQ(statsfigures(h, f), 1);
  EXPECT_EQ(f.putt.holes, 36);
  EXPECT_EQ(f.putt.counted, 36);
  EXPECT_EQ(f.putt.holed, 34);  // the chip-in and the hole in one end without a putt
  EXPECT_TRUE(f.putt.shown);
  const KindFigures& k = f.players[0].kind[0];
  EXPECT_EQ(k.puttrounds, 2);
  EXPECT_EQ(k.putts, 30 + 36);
  EXPECT_EQ(k.greens, 15 + 18);
  statsfree(f);

  std::string rows = csvrows(h, dir);
  EXPECT_NE(rows.find(",30,15\r\n"), std::string::npos) << rows;
  EXPECT_NE(rows.find(",36,18\r\n"), std::string::npos) << rows;
  std::string page = dir + "/stats.html";
  ASSERT_EQ(writestatspage(h, page.c_str(), nullptr), 1);
  std::string html = readfile(page);
  // 66 putts in 2 rounds, 3 one-putt and 1 three-putt holes, 33 of 36 greens.
  EXPECT_NE(html.find(">Taro</td><td class=\"t\">ストローク</td><td>2</td><td>33.0</td><td>1.5</td><td>0.5</td>"
                      "<td>91.7 %</td>"),
            std::string::npos);
  // The hole in one is listed with its date and course.
  EXPECT_NE(html.find("<tr><td>2009-05-01</td><td class=\"t\">Taro</td><td class=\"t\">ロペ倶楽部</td><td>4</td>"
                      "<td>3</td><td>1</td><td class=\"t\">ホールインワン</td></tr>"),
            std::string::npos);
}

// A hole whose records are fewer than its strokes leaves the round without
// putts; a record before any "*Player" line or of a hole beyond 18 counts
// nowhere; a repeated game keeps its shots.
TEST_F(Rounds, ShotsBelongToThePlayerBeforeThemAndTheirOwnHole) {
  std::vector<std::vector<int>> r = parround();
  std::string text = clubgame("2009/05/01 10:00", r, false, {6});  // hole 1: 5 records, 6 strokes
  text.insert(text.find("*Hole  1"), shotrec(2, 70) + shotrec(30, 70));
  roundsaddlog(h, log("a.txt", text).c_str());
  roundsaddlog(h, log("b.txt", text).c_str());
  ASSERT_EQ(h.count, 1);
  const RoundGame& g = h.games[0];
  EXPECT_EQ(g.shots[0][0], 5);
  EXPECT_EQ(g.stroke[0][0], 6);
  EXPECT_EQ(g.shots[0][1], 4);
  EXPECT_FALSE(roundputts(g, 1, nullptr, nullptr, nullptr, nullptr));
  std::string rows = csvrows(h, dir);
  EXPECT_NE(rows.find(",4,4,5,,\r\n"), std::string::npos) << rows;  // holes 16-18, then no putts
}

// The 90 % rule: putts are shown with 9 of 10 holes ending in a putt, left
// out (with the counts that failed) with 16 of 18 and with no record at all.
TEST_F(Rounds, PuttsAreLeftOutWhenLessThanNinetyPercentEndInAPutt) {
  std::vector<std::vector<int>> r = parround();
  r.resize(10);
  r[0] = hole(5, 0);
  roundsaddlog(h, log("a.txt", clubgame("2009/05/01 10:00", r)).c_str());
  PuttCheck c = puttcheck(h);
  EXPECT_EQ(c.holes, 10);
  EXPECT_EQ(c.both, 9);
  EXPECT_TRUE(c.shown);
  std::string rows = csvrows(h, dir);
  // A short round: its putts, and its greens, as its pars are known.
  EXPECT_NE(rows.find(",,,,,,,,,18,9\r\n"), std::string::npos) << rows;
  roundsfree(h);

  r = parround();
  r[0] = hole(5, 0);
  r[8] = hole(6, 0);
  roundsaddlog(h, log("b.txt", clubgame("2009/05/02 10:00", r)).c_str());
  c = puttcheck(h);
  EXPECT_EQ(c.holes, 18);
  EXPECT_EQ(c.counted, 18);
  EXPECT_EQ(c.holed, 16);
  EXPECT_FALSE(c.shown);
  rows = csvrows(h, dir);
  EXPECT_NE(rows.find(",4,5,,\r\n"), std::string::npos) << rows;
  std::string page = dir + "/stats.html";
  ASSERT_EQ(writestatspage(h, page.c_str(), nullptr), 1);
  std::string html = readfile(page);
  EXPECT_NE(html.find("18 / 18 (100.0 %)"), std::string::npos);
  EXPECT_NE(html.find("16 / 18 (88.9 %)"), std::string::npos);
  EXPECT_EQ(html.find("<th>パーオン</th>"), std::string::npos);
  roundsfree(h);

  roundsaddlog(h, log("c.txt", game("2009/05/03 10:00", kcourse, 1, 18, {"Taro"}, fours)).c_str());
  EXPECT_EQ(puttcheck(h).holes, 0);
  EXPECT_FALSE(puttcheck(h).shown);
  ASSERT_EQ(writestatspage(h, page.c_str(), nullptr), 1);
  EXPECT_NE(readfile(page).find("ShotData) がないため"), std::string::npos);
}

// The generator's putts, counted by the history: an independent record of
// every hole's putts against what the log's records give.
TEST_F(Rounds, PuttsOfGeneratedLogsAreTheGeneratorsOwn) {
  std::vector<LogGenGame> info;
  std::string text = loggen(20091207, 20, &info);
  ASSERT_EQ(roundsaddtext(h, "gen", text.data(), (uint32_t)text.size()), ROUNDLOG_READ);
  int64_t want = 0, got = 0;
  int32_t holes = 0, holed = 0;
  for (const LogGenGame& g : info)
    for (int p = 0; p < g.players; p++)
      for (int k = 0; k < 18; k++)
        if (g.stroke[p][k]) {
          want += g.putts[p][k];
          holes++;
          holed += g.putts[p][k] > 0;
        }
  for (int32_t i = 0; i < h.count; i++)
    for (int32_t p = 1; p <= h.games[i].players; p++) {
      int32_t n = 0;
      ASSERT_TRUE(roundputts(h.games[i], p, &n, nullptr, nullptr, nullptr)) << i;
      got += n;
    }
  EXPECT_EQ(got, want);
  PuttCheck c = puttcheck(h);
  EXPECT_EQ(c.holes, holes);
  EXPECT_EQ(c.counted, holes);
  EXPECT_EQ(c.holed, holed);
  EXPECT_TRUE(c.shown);
}

// n rounds of Taro's on ロペ倶楽部 (par 74) of the given to pars, a day apart.
int gextra;
int extrafours(int, int h) { return h <= gextra ? 5 : 4; }  // 72 (-2) and gextra strokes more
std::string formrounds(const std::vector<int>& topar, int day0, bool pb = false) {
  std::string s;
  char start[32];
  for (size_t i = 0; i < topar.size(); i++) {
    gextra = topar[i] + 2;
    snprintf(start, sizeof start, "2009/%02d/%02d 10:00", 1 + (day0 + (int)i) / 28, 1 + (day0 + (int)i) % 28);
    s += game(start, kcourse, 1, 18, {"Taro"}, extrafours, pb);
  }
  return s;
}

std::string indexof(const KindFigures& k) {
  int64_t sum;
  int32_t count;
  if (!formindex(k, &sum, &count)) return "none";
  char b[16];
  fmtsigned(b, sizeof b, sum, count);
  return b + std::string("/") + std::to_string(count);
}

// The handicap-like figure: none below 3 rounds, the best one of 3, the best
// 7 of 19 (40 % rounded down), the best 8 of the last 20 only; recent form
// over the last 10; point-battle rounds counted apart.
TEST_F(Rounds, HandicapLikeFigureAndRecentForm) {
  auto figures = [&](const std::string& text) {
    roundsfree(h);
    roundsaddlog(h, log("f.txt", text).c_str());
    roundssort(h);
    StatsFigures f;
    EXPECT_EQ(statsfigures(h, f), 1);
    std::string t = indexof(f.players[0].kind[0]);
    int64_t sum;
    int32_t count;
    formrecent(f.players[0].kind[0], &sum, &count);
    char b[16];
    fmtsigned(b, sizeof b, sum, count);
    t += " " + std::string(b) + "/" + std::to_string(count) + " pb " + indexof(f.players[0].kind[1]);
    statsfree(f);
    return t;
  };
  EXPECT_EQ(figures(formrounds({3, -2}, 0)), "none +0.5/2 pb none");
  EXPECT_EQ(figures(formrounds({3, -2, 1}, 0)), "-2.0/1 +0.7/3 pb none");
  std::vector<int> v;
  for (int i = 0; i < 19; i++) v.push_back(16 - i);  // +16 down to -2
  // Best 7: -2..+4 (7 / 7); the last 10: +7 down to -2.
  EXPECT_EQ(figures(formrounds(v, 0)), "+1.0/7 +2.5/10 pb none");
  v.push_back(-2);
  // -2, -2, -1 .. +4: 5 / 8; the last 10: +6 down to -2, -2.
  EXPECT_EQ(figures(formrounds(v, 0)), "+0.6/8 +1.6/10 pb none");
  // 25 rounds, the first five the best: only the last 20 count.
  std::vector<int> w(5, -2);
  w.insert(w.end(), 20, 8);
  // Point-battle rounds far better do not move the stroke figures.
  EXPECT_EQ(figures(formrounds(w, 0) + formrounds({-2, -2, -2}, 40, true)), "+8.0/8 +8.0/10 pb -2.0/1");
  std::string page = dir + "/stats.html";
  ASSERT_EQ(writestatspage(h, page.c_str(), nullptr), 1);
  std::string html = readfile(page);
  EXPECT_NE(html.find("公式のハンディキャップではありません"), std::string::npos);
  EXPECT_NE(html.find(">Taro</td><td class=\"t\">ストローク</td><td>+8.0</td><td>+6.0</td><td>+8.0</td>"),
            std::string::npos);
  EXPECT_NE(html.find(">Taro</td><td class=\"t\">ポイント</td><td>-2.0</td><td>-2.0</td><td>-2.0</td>"),
            std::string::npos);
  // The chart's running average: one line a kind, point battle dashed over
  // its hollow points.
  auto count = [&](const std::string& what) {
    size_t n = 0;
    for (size_t at = 0; (at = html.find(what, at)) != std::string::npos; at++) n++;
    return n;
  };
  EXPECT_EQ(count("class=\"trend-avg\""), 2u);
  EXPECT_EQ(count("stroke-dasharray=\"5 3\""), 1u);
  EXPECT_EQ(count("class=\"trend-point\""), 28u);
  EXPECT_EQ(count("fill=\"#fff\""), 3u);
  // The stroke-play average ends at +8, on the last stroke-play point (the
  // 25th), not pulled down by the point-battle rounds after it.
  size_t avg = html.find("points=\"", html.find("class=\"trend-avg\"")) + 8;
  std::string pts = html.substr(avg, html.find('"', avg) - avg);
  pts = pts.substr(0, pts.size() - 1);
  std::string last = pts.substr(pts.rfind(' ') + 1);
  size_t at = 0;
  for (int i = 0; i < 25; i++) at = html.find("class=\"trend-point\"", at) + 1;
  size_t cx = html.find("cx=\"", at) + 4, cy = html.find("cy=\"", at) + 4;
  EXPECT_EQ(last, html.substr(cx, html.find('"', cx) - cx) + "," + html.substr(cy, html.find('"', cy) - cy));
}

// The two nines, birdies per round, the eagles list and a course's holes.
TEST_F(Rounds, NinesBirdiesEaglesAndTheHolesOfACourse) {
  // fives: Taro 90 (+16: +8 and +8), Hanako 72 (-2); threeonfirst: a 3 on
  // the par 5 first, an eagle, then fours.
  roundsaddlog(h, log("a.txt", game("2009/04/05 20:00", kcourse, 1, 18, {"Taro", "Hanako"}, fives) +
                                   game("2009/04/06 20:00", kcourse, 1, 18, {"Hanako"}, threeonfirst) +
                                   game("2009/04/07 20:00", kcourse, 1, 9, {"Hanako"}, fours))
                      .c_str());
  roundssort(h);
  StatsFigures f;
  ASSERT_EQ(statsfigures(h, f), 1);
  ASSERT_STREQ(f.players[1].name, "Hanako");
  const KindFigures& hk = f.players[1].kind[0];
  EXPECT_EQ(hk.full, 2);
  // Pars 37 and 37: fours give -1 a nine; the 3 one less.
  EXPECT_EQ(hk.front, -1 + -2);
  EXPECT_EQ(hk.back, -1 + -1);
  EXPECT_EQ(hk.birdies, 6 + 5);  // the par 5s but the eagle's
  // Taro's fives: 45 on each nine of 37, hole 10 (par 4) in the back nine.
  EXPECT_EQ(f.players[0].kind[0].front, 8);
  EXPECT_EQ(f.players[0].kind[0].back, 8);
  statsfree(f);
  std::string page = dir + "/stats.html";
  ASSERT_EQ(writestatspage(h, page.c_str(), nullptr), 1);
  std::string html = readfile(page);
  EXPECT_NE(html.find(">Hanako</td><td class=\"t\">ストローク</td><td>-1.5</td><td>-1.0</td><td>5.5</td>"),
            std::string::npos);
  EXPECT_NE(html.find("<td>2009-04-06</td><td class=\"t\">Hanako</td><td class=\"t\">ロペ倶楽部</td><td>1</td>"
                      "<td>5</td><td>3</td><td class=\"t\">イーグル</td>"),
            std::string::npos);
  // The course: pars, then each player's average on every hole; its rounds
  // with the short one.
  EXPECT_NE(html.find("<tr><th class=\"t\">パー</th><th></th><th>5</th><th>4</th><th>5</th><th>3</th>"),
            std::string::npos);
  EXPECT_NE(html.find(">Hanako</td><td class=\"t\">ストローク</td><td>3.5</td><td>4.0</td>"), std::string::npos);
  EXPECT_NE(html.find(">Taro</td><td class=\"t\">ストローク</td><td>5.0</td><td>5.0</td>"), std::string::npos);
  EXPECT_NE(html.find("<tr><td>2009-04-07</td><td class=\"t\">Hanako</td><td class=\"t\">ストローク</td><td>9</td>"
                      "<td>36</td><td>-</td></tr>"),
            std::string::npos);
  EXPECT_NE(html.find("<tr><td>2009-04-05</td><td class=\"t\">Taro</td><td class=\"t\">ストローク</td><td>18</td>"
                      "<td>90</td><td>+16</td></tr>"),
            std::string::npos);
}

// "成績集計" in the main window, with the program folder in a temporary folder.
class StatsCommand : public ::testing::Test {
 protected:
  std::string dir;
  char olddir[4096];
  void SetUp() override {
    kestoreset();
    ASSERT_TRUE(getcwd(olddir, sizeof olddir));
    dir = maketempdir();
    ASSERT_EQ(chdir(dir.c_str()), 0);
    gfake.cwd = dir;
    ASSERT_TRUE(setpaths(dir.c_str()));
    ASSERT_NE(oscreatemaindialog(&kestohandlers), 0u);
    gfake.programs.push_back("C:\\program files\\internet explorer\\iexplore.exe");
  }
  void TearDown() override {
    ASSERT_EQ(chdir(olddir), 0);
    removetree(dir);
  }
};

TEST_F(StatsCommand, InTheSystemMenuReadsEveryLogAndShowsThePage) {
  ASSERT_GE(gfake.sysmenu.size(), 2u);  // the streaming entries follow
  EXPECT_EQ(gfake.sysmenu[1].id, (uint32_t)IDM_STATS);
  EXPECT_EQ(gfake.sysmenu[1].text, "成績集計");
  EXPECT_EQ(mainwinsyscommand(0xF060), 0);  // SC_CLOSE is the system's

  std::string g1 = game("2009/04/05 20:00", kcourse, 1, 18, {"Taro"}, fours);
  std::string g2 = game("2009/04/06 20:00", kcourse, 1, 18, {"Taro"}, fives);
  std::string g3 = game("2009/04/07 20:00", kcourse, 1, 18, {"Taro"}, threeonfirst);
  ASSERT_TRUE(writefile(dir + "/golfwatch.txt", g1));
  ASSERT_EQ(mkdir((dir + "/ym200904").c_str(), 0755), 0);
  ASSERT_EQ(mkdir((dir + "/ym200904/d05").c_str(), 0755), 0);
  ASSERT_TRUE(writefile(dir + "/ym200904/d05/golf05_2107_45.txt", g1 + g2));
  // Not backup logs: the game's other files, a file named like a month folder.
  ASSERT_TRUE(writefile(dir + "/ym200904/d05/user.db", g3));
  ASSERT_TRUE(writefile(dir + "/ym200905", g3));
  ASSERT_TRUE(writefile(dir + "/game.txt", g2 + g3));
  snprintf(gkesto.set.gamelog, sizeof gkesto.set.gamelog, "%s/game.txt", dir.c_str());
  // The play-log dialog's log and record stay as they were.
  memcpy(gkesto.playlog, "KEEP", 5);
  gkesto.game.loglen = 4;
  GameRecord before = gkesto.game;

  EXPECT_EQ(mainwinsyscommand(IDM_STATS), 1);
  EXPECT_TRUE(gfake.boxes.empty());
  std::string csv = readfile(dir + "/rounds.csv");
  size_t rows = 0;
  for (char c : csv) rows += c == '\n';
  EXPECT_EQ(rows, 4u);  // the header and three games
  std::string html = readfile(dir + "/stats.html");
  EXPECT_NE(html.find("golf05_2107_45.txt : 2"), std::string::npos);
  EXPECT_EQ(html.find("user.db"), std::string::npos);
  EXPECT_EQ(html.find("ym200905"), std::string::npos);
  ASSERT_EQ(gfake.started.size(), 1u);
  EXPECT_EQ(gfake.started[0].cmdline, " " + dir + "\\stats.html");
  EXPECT_STREQ(gkesto.playlog, "KEEP");
  EXPECT_EQ(memcmp(&before, &gkesto.game, sizeof before), 0);
}

TEST_F(StatsCommand, NoLogsNoGamesAndAFailedWriteAreTold) {
  mainwinsyscommand(IDM_STATS);
  ASSERT_EQ(gfake.boxes.size(), 1u);
  EXPECT_EQ(gfake.boxes[0].caption, "成績集計");
  EXPECT_NE(gfake.boxes[0].text.find("ログが見つかりません"), std::string::npos);

  ASSERT_TRUE(writefile(dir + "/golfwatch.txt", "Player1:Taro\r\n"));
  mainwinsyscommand(IDM_STATS);
  ASSERT_EQ(gfake.boxes.size(), 2u);
  EXPECT_NE(gfake.boxes[1].text.find("終わったゲームがありません"), std::string::npos);
  EXPECT_FALSE(osfindfile((dir + "/stats.html").c_str()));

  // A folder where the page would go: the write fails, no browser starts.
  ASSERT_TRUE(writefile(dir + "/golfwatch.txt", game("2009/04/05 20:00", kcourse, 1, 18, {"Taro"}, fours)));
  ASSERT_EQ(mkdir((dir + "/stats.html").c_str(), 0755), 0);
  mainwinsyscommand(IDM_STATS);
  ASSERT_EQ(gfake.boxes.size(), 3u);
  EXPECT_EQ(gfake.boxes[2].caption, "Write error");
  EXPECT_NE(gfake.boxes[2].text.find("stats.html"), std::string::npos);
  EXPECT_TRUE(gfake.started.empty());
  EXPECT_TRUE(gfake.opened.empty());
}

// A disk that fills while the files are written: both earlier files stay
// whole, the messages name the file and the reason, and no browser starts on
// the old page.
TEST_F(StatsCommand, AFullDiskKeepsTheEarlierFilesAndSaysWhy) {
  ASSERT_TRUE(writefile(dir + "/golfwatch.txt", game("2009/04/05 20:00", kcourse, 1, 18, {"Taro"}, fours)));
  mainwinsyscommand(IDM_STATS);
  ASSERT_TRUE(gfake.boxes.empty());
  const std::string csv = readfile(dir + "/rounds.csv"), html = readfile(dir + "/stats.html");
  ASSERT_FALSE(csv.empty());
  gfake.started.clear();

  ASSERT_TRUE(writefile(dir + "/golfwatch.txt", game("2009/04/05 20:00", kcourse, 1, 18, {"Taro"}, fours) +
                                                    game("2009/04/06 09:00", kcourse, 1, 18, {"Hanako"}, fours)));
  gfake.diskroom = 100;
  mainwinsyscommand(IDM_STATS);
  gfake.diskroom = -1;
  ASSERT_EQ(gfake.boxes.size(), 2u);
  for (const auto& box : gfake.boxes) {
    EXPECT_EQ(box.caption, "Write error");
    EXPECT_NE(box.text.find("(エラー 112)"), std::string::npos) << box.text;
  }
  EXPECT_NE(gfake.boxes[0].text.find(dir + "\\rounds.csv"), std::string::npos) << gfake.boxes[0].text;
  EXPECT_NE(gfake.boxes[1].text.find(dir + "\\stats.html"), std::string::npos) << gfake.boxes[1].text;
  EXPECT_EQ(readfile(dir + "/rounds.csv"), csv);
  EXPECT_EQ(readfile(dir + "/stats.html"), html);
  EXPECT_FALSE(osfindfile((dir + "/rounds.csv.tmp").c_str()));
  EXPECT_FALSE(osfindfile((dir + "/stats.html.tmp").c_str()));
  EXPECT_TRUE(gfake.started.empty());
  EXPECT_TRUE(gfake.opened.empty());
}

}  // namespace
