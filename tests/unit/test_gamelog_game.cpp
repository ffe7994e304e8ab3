// The whole-game parse, the course match and the log generator.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "kesto.h"
#include "report/htmflow.h"
#include "loggen.h"
#include "support.h"

namespace {

void putlog(const std::string& text) {
  ASSERT_LT(text.size(), (size_t)LOGBUFSIZE);
  memcpy(gkesto.playlog, text.data(), text.size());
  gkesto.playlog[text.size()] = 0;
  gkesto.game.loglen = (int32_t)text.size();
}

class GamelogGame : public ::testing::Test {
 protected:
  void SetUp() override {
    kestoreset();
    initcourses();
  }
};

const char kgame1[] =
    "Player1:Taro\r\n"
    "Player2:Hanako\r\n"
    "** Stroke Begin **\r\n"
    "2008/05/17 21:03:44\r\n"
    "*Hole  1\r\n"
    "*Player1 01\r\n"
    "*Player2 01\r\n"
    "*Hole  2\r\n"
    "*Player2 03\r\n"
    "** Stroke End **\r\n";

}  // namespace

TEST_F(GamelogGame, TwoGamesAndTheReadPosition) {
  std::string second =
      "Player1:Jiro\r\n"
      "** PointBattle Resume **\r\n"
      "resumed\r\n"
      "*Hole 16\r\n"
      "*Player1 04\r\n"
      "*Hole 17\r\n"
      "End Program(0)\r\n";
  putlog(kgame1 + second);
  EXPECT_EQ(parsegame(0), 2);
  EXPECT_EQ(gkesto.game.readpos, (int32_t)strlen(kgame1));
  EXPECT_EQ(gkesto.game.players, 2);
  EXPECT_EQ(gkesto.game.stroke[1][1], 3);
  EXPECT_EQ(gkesto.game.firsthole, 1);
  EXPECT_EQ(gkesto.game.pointbattle, 0);
  EXPECT_STREQ(gkesto.game.start, "2008/05/17 21:03:44");

  // "End Program(0)" ends the second game like an end marker.
  EXPECT_EQ(parsegame(1), 17);
  EXPECT_EQ(gkesto.game.readpos, gkesto.game.loglen);
  EXPECT_EQ(gkesto.game.players, 1);
  EXPECT_EQ(gkesto.game.stroke[0][15], 4);
  EXPECT_EQ(gkesto.game.stroke[1][1], 0);  // strokes are reset per game
  EXPECT_EQ(gkesto.game.firsthole, 16);
  EXPECT_EQ(gkesto.game.pointbattle, 1);
  EXPECT_STREQ(gkesto.game.start, "resumed");
  EXPECT_STREQ(gkesto.game.name[0], "Jiro");
  EXPECT_STREQ(gkesto.game.name[1], "Hanako");  // names are never cleared

  // continue = 0 starts over; a stroke game after a point battle clears the flag.
  EXPECT_EQ(parsegame(0), 2);
  EXPECT_EQ(gkesto.game.pointbattle, 0);
  EXPECT_EQ(parsegame(1), 17);
  EXPECT_EQ(parsegame(1), 0);  // nothing left
}

TEST_F(GamelogGame, UnendedAndEmptyLogs) {
  putlog("Player1:Solo\r\nPlayer2:Other\r\n");
  EXPECT_EQ(parsegame(0), 0);
  EXPECT_STREQ(gkesto.game.name[0], "Solo");
  EXPECT_EQ(gkesto.game.readpos, gkesto.game.loglen);

  // A game without end marker: read to the end, 0 returned.
  putlog("** Stroke Begin **\r\nx\r\n*Hole  3\r\n*Player1 02\r\n");
  EXPECT_EQ(parsegame(0), 0);
  EXPECT_EQ(gkesto.game.readpos, gkesto.game.loglen);
  EXPECT_EQ(gkesto.game.stroke[0][2], 2);

  putlog("");
  EXPECT_EQ(parsegame(0), 0);

  // A zero byte inside the log ends the text: the read position moves to the
  // end so that the caller's loop ends.
  std::string t = std::string(kgame1) + std::string("*Hole  5\r\n\0** Stroke End **\r\n", 29);
  putlog(t);
  EXPECT_EQ(parsegame(0), 2);
  EXPECT_EQ(parsegame(1), 5);
  EXPECT_EQ(gkesto.game.readpos, gkesto.game.loglen);
}

TEST_F(GamelogGame, StagesStrokesAndPlayers) {
  putlog(
      "** PointBattle Begin **\r\n"
      "start\r\n"
      "*Player3 01\r\n"  // before any hole: counts the player, records nothing
      "*Hole  5\r\n"
      "*Player2 03\r\n"
      "*Player2 4 \r\n"
      "*Player5 07\r\n"  // no such player
      "*Player0 07\r\n"
      " Stage3:third\r\n"
      " Stage7:seven\r\n"
      " Stage6:six\r\n"
      " Stage\r\n"
      "*Hole7\r\n"  // no hole line
      "** PointBattle End **\r\n");
  EXPECT_EQ(parsegame(0), 5);
  EXPECT_EQ(gkesto.game.stroke[1][4], 4);
  EXPECT_EQ(gkesto.game.players, 3);
  EXPECT_EQ(gkesto.game.player, 2);
  for (int p = 0; p < 4; p++)
    for (int h = 0; h < 18; h++)
      if (!(p == 1 && h == 4)) {
        EXPECT_EQ(gkesto.game.stroke[p][h], 0) << p << "," << h;
      }
  EXPECT_STREQ(gkesto.game.stage[2], "third");
  EXPECT_STREQ(gkesto.game.stage[5], "six");
  EXPECT_STREQ(gkesto.game.stage[0], "");  // " Stage" alone: slot 0, empty text
  EXPECT_EQ(gkesto.game.pointbattle, 1);

  putlog(" Stage9:nine\r\n Stage0:zero\r\n*Hole 0\r\n*Hole 12\r\n*Hole  3\r\nEnd Program(0)\r\n");
  EXPECT_EQ(parsegame(0), 3);
  EXPECT_STREQ(gkesto.game.stage[0], "zero");
  EXPECT_EQ(gkesto.game.firsthole, 12);  // the first non-zero hole
}

TEST_F(GamelogGame, ShotDataLinesAreNotTags) {
  // The ten lines after "ShotData:" are skipped whatever they hold.
  putlog(
      "*Hole  1\r\nShotData:\r\n*Player1 09\r\n*Hole  9\r\n** Stroke End **\r\n"
      "1\r\n2\r\n3\r\n4\r\n5\r\n6\r\n7\r\n"
      "x ShotData:\r\n*Player1 05\r\n** Stroke End **\r\n");
  EXPECT_EQ(parsegame(0), 1);
  EXPECT_EQ(gkesto.game.stroke[0][0], 5);
}

TEST_F(GamelogGame, CourseMatch) {
  EXPECT_EQ(findcourse("札幌国際カントリークラブ　島松コース", gkesto.courses), 0);
  EXPECT_EQ(findcourse("ANAダイヤモンドゴルフクラブ 南ウィング", gkesto.courses), 21);
  EXPECT_EQ(findcourse("ANA 南", gkesto.courses), 21);
  EXPECT_EQ(findcourse("姉ヶ崎カントリー倶楽部　西コース", gkesto.courses), 28);
  EXPECT_EQ(findcourse("姉ヶ崎カントリー倶楽部", gkesto.courses), -1);
  EXPECT_EQ(findcourse("富士クラシック", gkesto.courses), 37);
  EXPECT_EQ(findcourse("Practice Links", gkesto.courses), -1);
  EXPECT_EQ(findcourse("", gkesto.courses), -1);

  // An empty first keyword matches nothing; a first keyword longer than 8
  // bytes is compared whole, with the second part after it.
  strcpy(gkesto.courses[0].keyword, "");
  EXPECT_NE(findcourse("札幌国際カントリークラブ　島松コース", gkesto.courses), 0);
  strcpy(gkesto.courses[5].keyword, "ABCDEFGHIJ,Z");
  EXPECT_EQ(findcourse("xxABCDEFGHIJxxZ", gkesto.courses), 5);
  EXPECT_EQ(findcourse("xxABCDEFGHIxxZ", gkesto.courses), -1);
  EXPECT_EQ(findcourse("xxABCDEFGHIJxx", gkesto.courses), -1);

  EXPECT_TRUE(strcontains("abc", 2, "xxab"));
  EXPECT_FALSE(strcontains("abc", 3, "xxab"));
  EXPECT_FALSE(strcontains("abc", 1, ""));
  EXPECT_FALSE(strcontains("abcdef", 6, "abc"));
}

TEST_F(GamelogGame, ClubSettingSetsParsAndLink) {
  const CourseRecord& row = gkesto.courses[21];
  putlog(
      "*Club Setting*\r\n"
      "Name: ANAダイヤモンドゴルフクラブ 南ウィング\r\n"
      "*Hole  4\r\n"  // the number line takes the tag line's place
      "** Stroke End **\r\n"
      "*Club Setting*\r\n"
      "Name: Practice Links\r\n"
      "Tee:  1\r\n"
      "** Stroke End **\r\n");
  EXPECT_EQ(parsegame(0), 4);
  EXPECT_STREQ(gkesto.game.course, "ANAダイヤモンドゴルフクラブ 南ウィング");
  EXPECT_EQ(memcmp(gkesto.game.par, row.par, 18), 0);
  std::string link = std::string(row.web).substr(3, sizeof gkesto.game.link - 1);
  EXPECT_EQ(std::string(gkesto.game.link), link);
  // An unknown course keeps the pars and link of the last match.
  EXPECT_EQ(parsegame(1), 0);
  EXPECT_STREQ(gkesto.game.course, "Practice Links");
  EXPECT_EQ(memcmp(gkesto.game.par, row.par, 18), 0);
  EXPECT_EQ(std::string(gkesto.game.link), link);
}

TEST_F(GamelogGame, LongTextsAreCutWhole) {
  std::string name = "AB";
  for (int i = 0; i < 50; i++) name += "亜";
  std::string course = "C";
  for (int i = 0; i < 55; i++) course += "亜";
  putlog("Player3:" + name + "\r\n** Stroke Begin **\r\n" + name + "\r\n*Club Setting*\r\nName: " + course +
         "\r\nTee:  1\r\n Stage2:" + name + "\r\n** Stroke End **\r\n");
  EXPECT_EQ(parsegame(0), 0);
  EXPECT_EQ(std::string(gkesto.game.name[2]), name.substr(0, 62));
  EXPECT_EQ(std::string(gkesto.game.start), name.substr(0, 62));
  EXPECT_EQ(std::string(gkesto.game.stage[1]), name.substr(0, 62));
  EXPECT_EQ(std::string(gkesto.game.course), course.substr(0, 103));
}

TEST(GamelogGen, Deterministic) {
  std::string a = loggen(42, 5), b = loggen(42, 5), c = loggen(43, 5);
  EXPECT_EQ(a, b);
  EXPECT_NE(a, c);
  std::string s = loggensize(42, 1 << 20);
  EXPECT_LE(s.size(), (size_t)(1 << 20));
  EXPECT_GT(s.size(), (size_t)(1 << 19));
}

TEST_F(GamelogGame, GeneratedLogReadsBackGameByGame) {
  std::vector<LogGenGame> info;
  std::string log = loggen(2024, 40, &info);
  putlog(log);
  int32_t found = 0, calls = 0;
  bool more = true;
  for (int32_t last = parsegame(0); more && calls < 200; last = parsegame(1)) {
    calls++;
    if (last) {
      ASSERT_LT(found, (int32_t)info.size());
      const LogGenGame& g = info[found];
      EXPECT_EQ(last, g.lasthole) << "game " << found;
      EXPECT_EQ(gkesto.game.firsthole, g.firsthole) << "game " << found;
      EXPECT_EQ(gkesto.game.players, g.players) << "game " << found;
      EXPECT_EQ(gkesto.game.pointbattle, g.pointbattle) << "game " << found;
      EXPECT_EQ(memcmp(gkesto.game.stroke, g.stroke, sizeof g.stroke), 0) << "game " << found;
      EXPECT_EQ(std::string(gkesto.game.start), g.start);
      EXPECT_EQ(std::string(gkesto.game.course), g.coursename);
      for (int p = 0; p < g.players; p++) EXPECT_EQ(std::string(gkesto.game.name[p]), g.name[p]);
      found++;
    }
    more = gkesto.game.readpos < gkesto.game.loglen;
  }
  EXPECT_EQ(found, 40);
}
