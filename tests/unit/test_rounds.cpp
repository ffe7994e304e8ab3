// The round history and its statistics: logs cut into games, each game once,
// the CSV's fields and the figures of the page; and "成績集計" in the main
// window through the fake desktop.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
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
      "h12,h13,h14,h15,h16,h17,h18\r\n"
      "no date,,,\xE3\x83\xAD\xE3\x83\x9A\xE5\x80\xB6\xE6\xA5\xBD\xE9\x83\xA8,pointbattle,Taro,18,90,74,16,"
      "5,5,5,5,5,5,5,5,5,5,5,5,5,5,5,5,5,5\r\n"
      "no date,,,\xE3\x83\xAD\xE3\x83\x9A\xE5\x80\xB6\xE6\xA5\xBD\xE9\x83\xA8,pointbattle,Hanako,18,72,74,-2,"
      "4,4,4,4,4,4,4,4,4,4,4,4,4,4,4,4,4,4\r\n"
      "2009/04/05 20:00,2009-04-05,20:00,\xE3\x83\xAD\xE3\x83\x9A\xE5\x80\xB6\xE6\xA5\xBD\xE9\x83\xA8,stroke,"
      "\"Ka,ne \"\"K\"\"\",9,36,37,-1,4,4,4,4,4,4,4,4,4,,,,,,,,,\r\n"
      "2009/04/06 08:00,2009-04-06,08:00,Practice Links,stroke,Taro,18,72,,,"
      "4,4,4,4,4,4,4,4,4,4,4,4,4,4,4,4,4,4\r\n";
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
  ASSERT_EQ(gfake.sysmenu.size(), 2u);
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
