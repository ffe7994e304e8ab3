// The scorecard and link list writers against golden pages (Shift-JIS bytes
// in tests/unit/golden).
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#include "kesto.h"
#include "os/fake/fakeos.h"
#include "report/htmflow.h"
#include "report/mkhtm.h"
#include "support.h"

namespace {

const int8_t kpar[18] = {4, 4, 3, 5, 4, 4, 3, 4, 5, 4, 4, 3, 5, 4, 4, 3, 4, 5};
const int8_t kparrope[18] = {5, 4, 5, 3, 4, 4, 4, 3, 5, 4, 3, 5, 4, 3, 5, 4, 4, 5};

void setstrokes(int p, std::initializer_list<int> s) {
  int h = 0;
  for (int v : s) gkesto.game.stroke[p - 1][h++] = (int8_t)v;
}

// Stroke play, two players: player 1 starts 5, 4, 2 on pars 4, 4, 3; player 2
// played holes 1 to 9 only.
void gamestroke() {
  GameRecord& g = gkesto.game;
  memset(&g, 0, sizeof g);
  strcpy(g.course, "札幌国際カントリークラブ　島松コース");
  strcpy(g.link, "http://www.example.jp/sapporo/");
  strcpy(g.start, "2009/04/05 20:11:09");
  memcpy(g.par, kpar, sizeof g.par);
  g.players = 2;
  strcpy(g.name[0], "たろう");
  strcpy(g.name[1], "Hanako");
  setstrokes(1, {5, 4, 2, 5, 5, 3, 3, 4, 6, 4, 5, 3, 5, 4, 4, 3, 4, 6});
  setstrokes(2, {4, 5, 3, 6, 4, 4, 2, 5, 5});
}

// A course without pars, one player: dashes, plain strokes, a plain sum.
void gamenopars() {
  GameRecord& g = gkesto.game;
  memset(&g, 0, sizeof g);
  strcpy(g.course, "Practice Links");
  strcpy(g.start, "2009/04/05 21:00:00");
  g.players = 1;
  strcpy(g.name[0], "Taro");
  setstrokes(1, {4, 5, 3, 4, 4, 6, 3, 4, 5, 4, 4, 3, 5, 4, 4, 3, 4, 5});
}

// A point battle of four players with its six stage texts.
void gamepoints() {
  GameRecord& g = gkesto.game;
  memset(&g, 0, sizeof g);
  strcpy(g.course, "ロペ倶楽部");
  strcpy(g.link, "http://www.example.jp/rope/");
  strcpy(g.start, "2009/04/05 20:45:30");
  memcpy(g.par, kparrope, sizeof g.par);
  g.pointbattle = 1;
  g.players = 4;
  strcpy(g.name[0], "Taro");
  strcpy(g.name[1], "はなこ");
  strcpy(g.name[2], "ゴルフ太郎");
  strcpy(g.name[3], "Ken");
  setstrokes(1, {4, 4, 5, 3, 4, 3, 4, 3, 5, 4, 3, 4, 4, 3, 5, 4, 3, 5});  // -4
  setstrokes(2, {5, 4, 5, 3, 4, 4, 4, 3, 5, 4, 3, 5, 4, 3, 5, 4, 4, 5});  // par
  setstrokes(3, {6, 5, 6, 4, 5, 5, 5, 4, 6, 5, 4, 6, 5, 4, 6, 5, 5, 6});  // +18
  setstrokes(4, {5, 5, 4, 3, 4, 5, 4, 3, 5, 4, 3, 5, 4, 3, 5, 4, 4, 5});
  const char* st[6] = {"P1 2pt P2 1pt P3 0pt P4 1pt", "P1 4pt P2 2pt P3 0pt P4 1pt",
                       "P1 6pt P2 3pt P3 0pt P4 2pt", "P1 7pt P2 4pt P3 0pt P4 3pt",
                       "P1 9pt P2 5pt P3 0pt P4 3pt", "ステージ６"};
  for (int i = 0; i < 6; i++) strcpy(g.stage[i], st[i]);
}

// Markup in every text that comes from a log.
void gamemarkup() {
  GameRecord& g = gkesto.game;
  memset(&g, 0, sizeof g);
  strcpy(g.course, "A&B \"Links\" <Old> 表示");
  strcpy(g.link, "http://x.example/?a=1&b=\"2\"><script>");
  strcpy(g.start, "<i>now</i>");
  memcpy(g.par, kpar, sizeof g.par);
  g.pointbattle = 1;
  g.players = 1;
  strcpy(g.name[0], "<script>alert(\"x\")</script>");
  setstrokes(1, {4, 4, 3});
  for (int i = 0; i < 6; i++) strcpy(g.stage[i], "<b>P1</b> & P2");
}

void writetable() {
  mkhtm(&gkesto, 2, 0);
  mkhtm(&gkesto, 3, 0);
  for (int k = 1; k < gkesto.game.players; k++) mkhtm(&gkesto, 4, k);
  mkhtm(&gkesto, gkesto.game.pointbattle ? 6 : 5, 0);
}

class Writer : public ::testing::Test {
 protected:
  std::string dir;
  char olddir[4096];
  void SetUp() override {
    kestoreset();
    initcourses();
    ASSERT_TRUE(getcwd(olddir, sizeof olddir));
    dir = maketempdir();
    ASSERT_EQ(chdir(dir.c_str()), 0);
    pagename(OsTime{2009, 4, 0, 5, 21, 7, 0, 0});
  }
  void TearDown() override {
    ASSERT_EQ(chdir(olddir), 0);
    removetree(dir);
  }
  // Writes one page of the given games and returns its bytes.
  std::string page(std::initializer_list<void (*)()> games) {
    EXPECT_EQ(mkhtm(&gkesto, 1, 0), 0);
    for (auto make : games) {
      make();
      writetable();
    }
    mkhtm(&gkesto, 0, 0);
    EXPECT_EQ(gkesto.page.out, 0u);
    return readfile(dir + "/log20090405_2107.html");
  }
  static std::string golden(const char* name) { return readfile(std::string(KESTO_GOLDEN_DIR "/") + name); }
};

TEST_F(Writer, PageNameAndTitleFromTheLastWriteTime) {
  EXPECT_STREQ(gkesto.page.name, "log20090405_2107.html");
  EXPECT_STREQ(gkesto.page.title, "log20090405_2107");
}

// Each golden page is checked byte for byte; the expectations below point at
// the cells that matter so a failure says more than "differs".
TEST_F(Writer, ScoresAgainstParInTheirColours) {
  std::string p = page({gamestroke});
  EXPECT_EQ(p, golden("stroke.html"));
  // Holes 1 to 3 of player 1, then player 2's blank holes 10 to 18 and total.
  EXPECT_NE(p.find("<td>たろう</td>\r\n"
                   "\t<td><font color=/0000FF> +1 </font></td>\r\n"
                   "\t<td><font color=/00000> 0 </font></td>\r\n"
                   "\t<td><font color=/CC0000> -1 </font></td>\r\n"),
            std::string::npos);
  std::string blanks;
  for (int i = 0; i < 9; i++) blanks += "\t<td><font color=/00000> </font></td>\r\n";
  EXPECT_NE(p.find(blanks + "\t<td><font color=/0000FF> +2 </font></td>\r\n</tr>\r\n"), std::string::npos);
}

TEST_F(Writer, GameWithoutParsShowsDashesAndPlainStrokes) {
  std::string p = page({gamenopars});
  EXPECT_EQ(p, golden("nopars.html"));
  EXPECT_NE(p.find("<td>PAR</td>\r\n\t<td><font color=/00000> - </font></td>\r\n"), std::string::npos);
  EXPECT_NE(p.find("\t<td><font color=/000000> 74 </font></td>\r\n</tr>\r\n</table>\r\n"), std::string::npos);
}

TEST_F(Writer, PointBattleOfFourPlayersWithStageSummary) {
  std::string p = page({gamepoints});
  EXPECT_EQ(p, golden("points4.html"));
  EXPECT_NE(p.find("<td>Ken</td>"), std::string::npos);
  EXPECT_EQ(p.find("1-3H:"), p.rfind("1-3H:"));  // one summary
}

TEST_F(Writer, ThreeGamesInOnePage) {
  std::string p = page({gamestroke, gamenopars, gamepoints});
  EXPECT_EQ(p, golden("threegames.html"));
}

TEST_F(Writer, TextsFromTheLogAreEscaped) {
  std::string p = page({gamemarkup});
  EXPECT_EQ(p, golden("markup.html"));
  EXPECT_EQ(p.find("<script>"), std::string::npos);
  EXPECT_NE(p.find("<td>&lt;script&gt;alert(&quot;x&quot;)&lt;/script&gt;</td>"), std::string::npos);
}

// A lead byte before markup: a browser takes the lead byte alone and the
// markup after it as markup, so the writer must too.
void gameleadbyte() {
  gamemarkup();
  GameRecord& g = gkesto.game;
  const char* hostile = "\x81<img src=x onerror=alert(1)>\x81\"\x9f&";
  strcpy(g.course, hostile);
  strcpy(g.start, hostile);
  strcpy(g.name[0], hostile);
  strcpy(g.link, "http://x.example/\xe0\"><img src=x onerror=alert(2)>");
  for (int i = 0; i < 6; i++) strcpy(g.stage[i], hostile);
}

TEST_F(Writer, ALeadByteBeforeMarkupLeavesItEscaped) {
  std::string p = page({gameleadbyte});
  EXPECT_EQ(p.find("<img"), std::string::npos);
  EXPECT_EQ(p.find("onerror=alert(2)>"), std::string::npos);
  EXPECT_EQ(p.find("\x9f&<"), std::string::npos);
  // Name, course, start and the six stages: nine times, each whole.
  const std::string esc = "\x81&lt;img src=x onerror=alert(1)&gt;\x81&quot;\x9f&amp;";
  size_t n = 0;
  for (size_t at = 0; (at = p.find(esc, at)) != std::string::npos; at++) n++;
  EXPECT_EQ(n, 9u);
  EXPECT_NE(p.find("<a href=\"http://x.example/\xe0&quot;&gt;&lt;img src=x onerror=alert(2)&gt;\">"),
            std::string::npos);
  char b[16];
  // A lead byte cut off from its second byte at the end of a text is left out.
  EXPECT_EQ(htmlescape(b, sizeof b, "a\x81", 100), 1);
  EXPECT_EQ(htmlescape(b, sizeof b, "ab\x81" "c", 3), 2);
  // A lead byte with its trail byte stays one character: never cut apart.
  EXPECT_EQ(htmlescape(b, 4, "ab\x81\x40", 100), 2);
  // A golfcourse.txt name in the link list.
  strcpy(gkesto.courses[3].name, "\x81<img src=x onerror=alert(3)>");
  EXPECT_EQ(mklink(&gkesto), 1);
  std::string l = readfile(dir + "/linkcc.html");
  EXPECT_EQ(l.find("<img"), std::string::npos);
  EXPECT_NE(l.find("\">\x81&lt;img src=x onerror=alert(3)&gt;</a><br>\r\n"), std::string::npos);
}

TEST_F(Writer, TotalSignFollowsTheParOfHoleOne) {
  // Only hole 1 lacks a par: over par is still counted, shown without "+".
  ASSERT_EQ(mkhtm(&gkesto, 1, 0), 0);
  gamestroke();
  gkesto.game.par[0] = 0;
  gkesto.game.players = 1;
  writetable();
  mkhtm(&gkesto, 0, 0);
  std::string p = readfile(dir + "/log20090405_2107.html");
  // Hole 1: 5 strokes without par show 5; the other holes add +3 - 1 = 2.
  EXPECT_NE(p.find("<td>たろう</td>\r\n\t<td><font color=/000000> 5 </font></td>\r\n"), std::string::npos);
  EXPECT_NE(p.find("\t<td><font color=/000000> 7 </font></td>\r\n</tr>\r\n</table>"), std::string::npos);
  EXPECT_NE(p.find("\t<td><font color=/000000> 68 </font></td>\r\n</tr>"), std::string::npos);  // par sum
}

TEST_F(Writer, StepsWithoutAnOpenPageWriteNothing) {
  // A page that cannot be created: step 1 fails, the rest is harmless.
  strcpy(gkesto.page.name, "nosuchfolder/page.html");
  EXPECT_EQ(mkhtm(&gkesto, 1, 0), -1);
  gamestroke();
  writetable();
  EXPECT_EQ(mkhtm(&gkesto, 0, 0), 0);
  EXPECT_EQ(gkesto.page.out, 0u);
  // A page rewritten is truncated, not appended to.
  pagename(OsTime{2009, 4, 0, 5, 21, 7, 0, 0});
  std::string first = page({gamestroke, gamenopars});
  EXPECT_EQ(page({gamenopars}), golden("nopars.html"));
  EXPECT_GT(first.size(), golden("nopars.html").size());
}

TEST_F(Writer, EscapeCutsWholeEntitiesAndCharacters) {
  char b[8];
  EXPECT_EQ(htmlescape(b, sizeof b, "ab&c", 100), 7);
  EXPECT_STREQ(b, "ab&amp;");
  EXPECT_EQ(htmlescape(b, sizeof b, "abcde\"", 100), 5);  // "&quot;" does not fit whole
  EXPECT_STREQ(b, "abcde");
  EXPECT_EQ(htmlescape(b, sizeof b, "abcdefホ", 100), 6);  // nor does a double-byte character
  EXPECT_STREQ(b, "abcdef");
  EXPECT_EQ(htmlescape(b, sizeof b, "表<", 100), 6);  // trail byte 0x5C stays, "<" is escaped
  EXPECT_STREQ(b, "表&lt;");
  EXPECT_EQ(htmlescape(b, sizeof b, "abc<", 3), 3);  // no further than srcmax
  EXPECT_STREQ(b, "abc");
}

TEST_F(Writer, LinkListOfTheBuiltInTable) {
  EXPECT_EQ(mklink(&gkesto), 1);
  std::string p = readfile(dir + "/linkcc.html");
  const std::string head =
      "<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.0 Transitional//EN\">\r\n<html>\r\n<head>\r\n"
      "<title>収録カントリークラブ　リンク集</title>\r\n</head>\r\n<body>"
      "<a href=\"https://www.google.com/search?q=%E6%9C%AD%E5%B9%8C%E5%9B%BD%E9%9A%9B%E3%82%AB%E3%83%B3%E3%83%88"
      "%E3%83%AA%E3%83%BC%E3%82%AF%E3%83%A9%E3%83%96+%E5%B3%B6%E6%9D%BE%E3%82%B3%E3%83%BC%E3%82%B9\">"
      "札幌国際カントリークラブ　島松コース</a><br>\r\n";
  EXPECT_EQ(p.substr(0, head.size()), head);
  const std::string tail =
      "ゴルフパラダイス　ディープフォレストＧ．Ｃ．</a><br>\r\n"
      "<br><center><font size=\"-2\">Created by <a href=\"" KESTO_HOMEPAGE "\">KESTO v0.93</a></font></center>\r\n"
      "</body>\n</html>\r\n";
  ASSERT_GT(p.size(), tail.size());
  EXPECT_EQ(p.substr(p.size() - tail.size()), tail);
  size_t lines = 0;
  for (size_t at = 0; (at = p.find("</a><br>\r\n", at)) != std::string::npos; at++) lines++;
  EXPECT_EQ(lines, 103u);
  // Written again: one page of the same bytes.  A course name edited in
  // golfcourse.txt goes in escaped.
  EXPECT_EQ(mklink(&gkesto), 1);
  EXPECT_EQ(readfile(dir + "/linkcc.html"), p);
  strcpy(gkesto.courses[5].name, "<b>Fu&getsu</b>");
  EXPECT_EQ(mklink(&gkesto), 1);
  EXPECT_NE(readfile(dir + "/linkcc.html").find("\">&lt;b&gt;Fu&amp;getsu&lt;/b&gt;</a><br>\r\n"),
            std::string::npos);
}

TEST_F(Writer, LinkListThatCannotBeCreated) {
  ASSERT_EQ(mkdir("linkcc.html", 0755), 0);  // a folder of that name
  EXPECT_EQ(mklink(&gkesto), -1);
  EXPECT_EQ(gkesto.page.out, 0u);
}

// A page is written beside itself and takes the earlier page's place only
// when whole: a write that fails, comes short while the system calls it a
// success, or a close that fails leaves the earlier page as it was.
TEST_F(Writer, AFailedPageLeavesTheEarlierPageAsItWas) {
  const std::string path = dir + "/log20090405_2107.html";
  const std::string earlier = page({gamestroke});
  for (int fault = 0; fault < 5; fault++) {
    SCOPED_TRACE(fault);
    gfake.lasterror = 0;  // the short write and the close say nothing
    // A short write is followed by one for the rest, which the full disk
    // refuses.
    gfake.shortwrites = fault == 0;
    gfake.writefails = fault == 1;
    gfake.closefails = fault == 2;
    gfake.flushfails = fault == 3;
    gfake.diskroom = fault == 0 ? 700 : fault == 4 ? 1500 : -1;
    EXPECT_EQ(mkhtm(&gkesto, 1, 0), 0);
    gamepoints();
    writetable();
    mkhtm(&gkesto, 0, 0);
    gfake.diskroom = -1;
    EXPECT_NE(gkesto.page.failed, 0);
    EXPECT_NE(gkesto.page.error, 0u);
    EXPECT_EQ(readfile(path), earlier);
    EXPECT_FALSE(osfindfile((path + ".tmp").c_str()));
    EXPECT_EQ(fakeleftovers(), "");
  }
  // The same for the link list.
  ASSERT_EQ(mklink(&gkesto), 1);
  const std::string links = readfile(dir + "/linkcc.html");
  gfake.shortwrites = 1;
  gfake.diskroom = 100;
  EXPECT_EQ(mklink(&gkesto), -1);
  gfake.diskroom = -1;
  EXPECT_EQ(gkesto.page.error, (uint32_t)OS_ERROR_DISK_FULL);
  EXPECT_EQ(readfile(dir + "/linkcc.html"), links);
  EXPECT_FALSE(osfindfile((dir + "/linkcc.html.tmp").c_str()));
  // And a page written whole afterwards still matches its golden bytes.
  EXPECT_EQ(page({gamenopars}), golden("nopars.html"));
}

}  // namespace
