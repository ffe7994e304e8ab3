// "HTM作成" through the seam: which games go into the page, and what the
// user is told and asked (the fake desktop's message boxes and answers).
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <ctime>
#include <string>
#include <sys/stat.h>
#include <sys/time.h>
#include <unistd.h>

#include "kesto.h"
#include "os/fake/fakeos.h"
#include "report/htmflow.h"
#include "report/mkhtm.h"
#include "report/playlog.h"
#include "support.h"

namespace {

// One game of a log: holes first to last, each player holing out in four;
// without an end marker when ended is false.
std::string game(int first, int last, bool pointbattle = false, bool ended = true) {
  std::string s = "Player1:Taro\r\nPlayer2:Hanako\r\n";
  s += pointbattle ? "** PointBattle Begin **\r\n" : "** Stroke Begin **\r\n";
  s += "2009/04/05 20:00:00\r\n*Club Setting*\r\nName: ロペ倶楽部\r\nTee:  1\r\n";
  char b[32];
  for (int h = first; h <= last; h++) {
    snprintf(b, sizeof b, "*Hole %2d\r\n", h);
    s += b;
    s += "*Player1 04\r\n*Player2 04\r\n";
  }
  if (ended) s += pointbattle ? "** PointBattle End **\r\n" : "** Stroke End **\r\n";
  return s;
}

size_t count(const std::string& s, const std::string& what) {
  size_t n = 0;
  for (size_t at = 0; (at = s.find(what, at)) != std::string::npos; at++) n++;
  return n;
}

class Flow : public ::testing::Test {
 protected:
  std::string dir;
  char olddir[4096];
  void SetUp() override {
    kestoreset();
    initcourses();
    ASSERT_TRUE(getcwd(olddir, sizeof olddir));
    dir = maketempdir();
    ASSERT_EQ(chdir(dir.c_str()), 0);
  }
  void TearDown() override {
    ASSERT_EQ(chdir(olddir), 0);
    removetree(dir);
  }
  // Loads the text as a log last written on 5 April 2009 at 21:07 local time.
  void load(const std::string& text) {
    std::string path = dir + "/golf.txt";
    ASSERT_TRUE(writefile(path, text));
    struct tm tm = {};
    tm.tm_year = 109;
    tm.tm_mon = 3;
    tm.tm_mday = 5;
    tm.tm_hour = 21;
    tm.tm_min = 7;
    tm.tm_sec = 42;
    tm.tm_isdst = -1;
    struct timeval tv[2] = {{mktime(&tm), 0}, {mktime(&tm), 0}};
    ASSERT_EQ(utimes(path.c_str(), tv), 0);
    OsHandle f = oscreatefile(path.c_str(), OS_GENERIC_READ, OS_FILE_SHARE_READ | OS_FILE_SHARE_WRITE,
                              OS_OPEN_EXISTING);
    ASSERT_NE(f, OS_BADFILE);
    ASSERT_EQ(readplaylog(f, osgetfilesize(f)), PLAYLOG_OK);
    osclosehandle(f);
  }
  std::string page() { return readfile(dir + "/log20090405_2107.html"); }
  bool pageexists() { return access((dir + "/log20090405_2107.html").c_str(), F_OK) == 0; }
};

const uint32_t kquestion = OS_MB_ICONINFORMATION | OS_MB_YESNO;

TEST_F(Flow, FullGamesWithoutQuestionShortGameAsked) {
  load(game(1, 18) + game(1, 18) + game(1, 9));
  gfake.answers = {OS_IDNO};
  EXPECT_EQ(htmcreate(playlogask), 2);
  ASSERT_EQ(gfake.boxes.size(), 1u);
  EXPECT_EQ(gfake.boxes[0].text, "9 hole, 18 ホール以下が 1 回。表示しますか？");
  EXPECT_EQ(gfake.boxes[0].caption, "HOLES");
  EXPECT_EQ(gfake.boxes[0].type, kquestion);
  std::string p = page();
  EXPECT_EQ(count(p, "<table"), 2u);
  EXPECT_EQ(count(p, "<title>log20090405_2107</title>"), 1u);
  EXPECT_EQ(count(p, "Created by"), 1u);

  // Answered Yes, the short game is the third table.
  fakereset();
  gfake.answers = {OS_IDYES};
  EXPECT_EQ(htmcreate(playlogask), 3);
  EXPECT_EQ(count(page(), "<table"), 3u);
}

TEST_F(Flow, FirstGameFromHoleTenIsTheOnlyOne) {
  load(game(10, 18) + game(1, 18) + game(1, 9));
  EXPECT_EQ(htmcreate(playlogask), 1);
  ASSERT_EQ(gfake.boxes.size(), 1u);
  EXPECT_EQ(gfake.boxes[0].text, "start hole = 10,last hole = 18");
  EXPECT_EQ(gfake.boxes[0].caption, "HOLES");
  EXPECT_EQ(gfake.boxes[0].type, (uint32_t)OS_MB_ICONINFORMATION);
  std::string p = page();
  EXPECT_EQ(count(p, "<table"), 1u);
  // Holes 1 to 9 were not played in it.
  EXPECT_EQ(count(p, "\t<td><font color=/00000> </font></td>\r\n"), 18u);
}

TEST_F(Flow, ElevenQuestionsAtMost) {
  std::string log = game(1, 18);
  for (int i = 0; i < 12; i++) log += game(1, 9);
  log += game(1, 18);  // never reached
  load(log);
  gfake.answers = std::vector<int>(12, OS_IDYES);
  EXPECT_EQ(htmcreate(playlogask), 12);
  ASSERT_EQ(gfake.boxes.size(), 11u);
  EXPECT_EQ(gfake.boxes[10].text, "9 hole, 18 ホール以下が 11 回。表示しますか？");
  EXPECT_EQ(count(page(), "<table"), 12u);
}

TEST_F(Flow, LaterGamesCountByTheirLastHoleOnly) {
  // A later game from hole 10 to 18 needs no question; an unended one is
  // neither written nor asked about.
  load(game(1, 18) + game(10, 18, true) + game(1, 9, false, false));
  EXPECT_EQ(htmcreate(playlogask), 2);
  EXPECT_TRUE(gfake.boxes.empty());
  std::string p = page();
  EXPECT_EQ(count(p, "<table"), 2u);
  EXPECT_EQ(count(p, "1-3H:"), 1u);  // the point battle's summary
}

// Nothing to write: the user is told what the log holds, and no page is
// written.
TEST_F(Flow, LogWithoutEndMarkerWritesNothing) {
  load(game(1, 18, false, false));
  EXPECT_EQ(htmcreate(playlogask), 0);
  ASSERT_EQ(gfake.boxes.size(), 1u);
  EXPECT_EQ(gfake.boxes[0].text,
            "終了マーク（** Stroke End ** など）のあるゲームがありません。HTML ファイルは作成しませんでした");
  EXPECT_EQ(gfake.boxes[0].caption, "No game");
  EXPECT_EQ(gfake.boxes[0].type, (uint32_t)OS_MB_ICONINFORMATION);
  EXPECT_FALSE(pageexists());

  // Games that ended before their first hole.
  gfake.boxes.clear();
  load(game(1, 0) + game(1, 0, true));
  EXPECT_EQ(htmcreate(playlogask), 0);
  ASSERT_EQ(gfake.boxes.size(), 1u);
  EXPECT_EQ(gfake.boxes[0].text, "終了したゲームはありますが、ホールの記録がありません。HTML ファイルは作成しませんでした");
  EXPECT_FALSE(pageexists());

  // An empty log (a read that failed empties it).
  gfake.boxes.clear();
  load("");
  EXPECT_EQ(htmcreate(playlogask), 0);
  ASSERT_EQ(gfake.boxes.size(), 1u);
  EXPECT_EQ(gfake.boxes[0].text, "ログが空です。HTML ファイルは作成しませんでした");
  EXPECT_FALSE(pageexists());

  // A game that ended before its first hole is passed over: the next one is
  // the first game.
  gfake.boxes.clear();
  load(game(1, 0) + game(1, 18) + game(1, 18));
  EXPECT_EQ(htmcreate(playlogask), 2);
  EXPECT_TRUE(gfake.boxes.empty());
  EXPECT_EQ(count(page(), "<table"), 2u);
}

TEST_F(Flow, PointBattleFlagIsResetForTheLog) {
  // A first game without a begin marker is stroke play, whatever the last
  // log was.
  std::string g = game(1, 18);
  g.erase(g.find("** Stroke Begin **\r\n"), 20);
  load(g);
  gkesto.game.pointbattle = 1;
  EXPECT_EQ(htmcreate(playlogask), 1);
  EXPECT_EQ(count(page(), "1-3H:"), 0u);
}

TEST_F(Flow, PageThatCannotBeCreatedIsReported) {
  load(game(1, 18) + game(1, 9));
  // The page is written beside itself first: that file cannot be made.
  ASSERT_EQ(mkdir((dir + "/log20090405_2107.html.tmp").c_str(), 0755), 0);
  gfake.answers = {OS_IDYES, OS_IDYES};
  EXPECT_EQ(htmcreate(playlogask), -1);
  ASSERT_EQ(gfake.boxes.size(), 2u);
  EXPECT_EQ(gfake.boxes[0].text, "mkhtm(&gkesto,1,0);");
  EXPECT_EQ(gfake.boxes[0].type, kquestion);
  EXPECT_EQ(gfake.boxes[1].text, "9 hole, 18 ホール以下が 1 回。表示しますか？");
  EXPECT_EQ(gkesto.page.out, 0u);
  EXPECT_NE(gkesto.page.failed, 0);

  // A page whose place is taken (a folder of its name) is written whole
  // beside it and then cannot take that place: a failure, nothing left.
  ASSERT_EQ(rmdir((dir + "/log20090405_2107.html.tmp").c_str()), 0);
  ASSERT_EQ(mkdir((dir + "/log20090405_2107.html").c_str(), 0755), 0);
  gfake.boxes.clear();
  gfake.answers = {OS_IDYES};
  EXPECT_EQ(htmcreate(playlogask), 2);
  EXPECT_NE(gkesto.page.failed, 0);
  EXPECT_NE(gkesto.page.error, 0u);
  EXPECT_FALSE(osfindfile((dir + "/log20090405_2107.html.tmp").c_str()));
  EXPECT_EQ(fakeleftovers(), "");
}

// While "HTM作成" asks 表示しますか？ the page is half made: its name still
// holds the earlier page, so Windows ending the session then (the program
// drops the page as it ends) leaves the earlier page whole and no other file.
std::string gseen;
void atquestion(const FakeMessageBox&) {
  gseen = readfile("log20090405_2107.html");
  abandonpage(&gkesto);
}

TEST_F(Flow, TheSessionEndingAtTheQuestionLeavesTheEarlierPageWhole) {
  load(game(1, 18) + game(1, 9));
  gfake.answers = {OS_IDNO};
  EXPECT_EQ(htmcreate(playlogask), 1);
  const std::string earlier = page();
  ASSERT_NE(earlier.find("Created by"), std::string::npos);
  gfake.boxes.clear();
  gfake.answers = {OS_IDYES};
  gfake.onbox = atquestion;
  htmcreate(playlogask);
  gfake.onbox = nullptr;
  ASSERT_EQ(gfake.boxes.size(), 1u);
  EXPECT_EQ(gseen, earlier);
  EXPECT_EQ(page(), earlier);
  EXPECT_FALSE(osfindfile((dir + "/log20090405_2107.html.tmp").c_str()));
  EXPECT_EQ(fakeleftovers(), "");
}

}  // namespace
