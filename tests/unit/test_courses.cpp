// The built-in course table and golfcourse.txt.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "kesto.h"
#include "config/textfile.h"
#include "os/fake/fakeos.h"
#include "support.h"

namespace {

class ConfigCourses : public ::testing::Test {
 protected:
  std::string dir;
  void SetUp() override {
    kestoreset();
    initcourses();
    dir = maketempdir();
    ASSERT_FALSE(dir.empty());
    snprintf(gkesto.set.coursefile, PATHSIZE, "%s\\golfcourse.txt", dir.c_str());
  }
  void TearDown() override { removetree(dir); }
  int32_t writetable() {
    Replacement r;
    EXPECT_TRUE(beginreplace(&r, gkesto.set.coursefile));
    int32_t failed = writecourses(&r);
    EXPECT_TRUE(endreplace(&r, 1));
    return failed;
  }
  int32_t load(const std::string& text) {
    EXPECT_TRUE(writefile(dir + "/golfcourse.txt", text));
    return readcourses();
  }
  bool unchanged(int row) {
    return memcmp(&gkesto.courses[row], &kbuiltincourses[row], sizeof(CourseRecord)) == 0;
  }
  bool tableunchanged() {
    return memcmp(gkesto.courses, kbuiltincourses, sizeof gkesto.courses) == 0;
  }
};

TEST_F(ConfigCourses, BuiltInTable) {
  const CourseRecord* t = kbuiltincourses;
  EXPECT_EQ(t[0].number, 112);
  EXPECT_STREQ(t[0].name, "札幌国際カントリークラブ　島松コース");
  EXPECT_STREQ(t[17].keyword, "川奈,富士");
  EXPECT_STREQ(t[32].name, "川奈ホテルゴルフコ－ス 大島コース");
  EXPECT_STREQ(t[102].name, "ゴルフパラダイス　ディープフォレストＧ．Ｃ．");
  EXPECT_EQ(t[102].number, 10002);
  for (int r = 0; r < COURSES; r++) {
    const CourseRecord& c = t[r];
    int total = 0;
    for (int h = 0; h < 18; h++) {
      EXPECT_GE(c.par[h], 3) << r;
      EXPECT_LE(c.par[h], 5) << r;
      total += c.par[h];
    }
    if (r != 1) {  // row 1 is a par 74 course
      EXPECT_GE(total, 70) << r;
      EXPECT_LE(total, 72) << r;
    }
    EXPECT_EQ(memcmp(c.spare, "\0\0\0\0", 4), 0) << r;
    EXPECT_LT(strnlen(c.name, sizeof c.name), sizeof c.name) << r;
    EXPECT_LT(strnlen(c.keyword, sizeof c.keyword), sizeof c.keyword) << r;
    EXPECT_EQ(c.keylen, (int32_t)strcspn(c.keyword, ",")) << r;
    EXPECT_GT(c.keylen, 0) << r;
    EXPECT_LE(c.keylen, 8) << r;
    if (r < 20) {
      EXPECT_GE(c.number, 8) << r;
      EXPECT_LE(c.number, 174) << r;
    } else if (r < 100) {
      EXPECT_EQ(c.number, 0) << r;
    } else {
      EXPECT_EQ(c.number, 10000 + r - 100) << r;
    }
    ASSERT_NE(c.web, nullptr);
    EXPECT_EQ(strncmp(c.web, "// http", 7), 0) << r;
    for (const char* p = c.web; *p; p++) EXPECT_TRUE(*p > 0x20 || (*p == ' ' && p == c.web + 2)) << r;
    // The scorecard link field takes the whole address, never a cut one.
    EXPECT_LT(strlen(c.web + 3), sizeof(GameRecord::link)) << r;
  }
  EXPECT_EQ(t[COURSES].number, -1);
  EXPECT_STREQ(t[COURSES].name, "end");
  EXPECT_STREQ(t[COURSES].keyword, "end");
  for (int h = 0; h < 18; h++) EXPECT_EQ(t[COURSES].par[h], 0);
}

// Keywords are matched in table order, so a keyword that no name holds, or
// one that an earlier row's name also holds, gives a course another's pars.
TEST_F(ConfigCourses, EveryBuiltInNameFindsItsOwnRow) {
  for (int r = 0; r < COURSES; r++) EXPECT_EQ(findcourse(kbuiltincourses[r].name, gkesto.courses), r) << kbuiltincourses[r].name;
  EXPECT_STREQ(kbuiltincourses[34].keyword, "東筑");
  EXPECT_EQ(kbuiltincourses[34].keylen, 4);
}

TEST_F(ConfigCourses, WriterOutput) {
  EXPECT_EQ(writetable(), 0);
  std::string text = readfile(dir + "/golfcourse.txt");
  std::string first =
      "# KESTO COURSE PAR\r\n"
      "COURSENO: 1,112\r\nNAME: \"札幌国際カントリークラブ　島松コース\"\r\n"
      "PAR: 4,4,5,4,3,4,4,3,5,4,3,4,4,4,5,3,4,5\r\nKEYWORD: \"札幌\"\r\n\r\n"
      "COURSENO: 2,8\r\n";
  EXPECT_EQ(text.compare(0, first.size(), first), 0);
  size_t blocks = 0;
  for (size_t p = text.find("COURSENO: "); p != std::string::npos; p = text.find("COURSENO: ", p + 1))
    blocks++;
  EXPECT_EQ(blocks, (size_t)COURSES);
  std::string last =
      "COURSENO: 103,10002\r\nNAME: \"ゴルフパラダイス　ディープフォレストＧ．Ｃ．\"\r\n"
      "PAR: 4,4,3,5,4,5,3,4,4,5,3,4,4,5,4,4,3,4\r\nKEYWORD: \"ディー\"\r\n\r\n";
  ASSERT_GE(text.size(), last.size());
  EXPECT_EQ(text.substr(text.size() - last.size()), last);
  // Every write into a file that could not be made fails: the header and 4 a block.
  Replacement bad;
  EXPECT_FALSE(beginreplace(&bad, std::string(600, 'a').c_str()));
  EXPECT_EQ(writecourses(&bad), 1 + 4 * COURSES);
  EXPECT_FALSE(endreplace(&bad, 1));
}

TEST_F(ConfigCourses, RoundTripRestoresTheTable) {
  ASSERT_EQ(writetable(), 0);
  for (int r = 0; r < COURSES; r++) {
    CourseRecord& c = gkesto.courses[r];
    strcpy(c.name, "x");
    strcpy(c.keyword, "y,z");
    c.keylen = 1;
    memset(c.par, 9, sizeof c.par);
  }
  EXPECT_EQ(readcourses(), COURSES);
  EXPECT_TRUE(tableunchanged());
}

TEST_F(ConfigCourses, RecordsOutOfRangeOnlyCount) {
  int32_t n = load(
      "COURSENO: 0,0\r\nNAME: \"zero\"\r\nPAR: 3,3,3\r\nKEYWORD: \"zz\"\r\n\r\n"
      "COURSENO: 104,0\r\nNAME: \"far\"\r\nPAR: 5,5,5\r\nKEYWORD: \"ff\"\r\n\r\n"
      "NAME: \"stray\"\r\n");
  EXPECT_EQ(n, 2);
  EXPECT_TRUE(tableunchanged());
  EXPECT_EQ(readcourses(), 2);  // the file is read again the same way
  // No file: nothing read, nothing changed.
  snprintf(gkesto.set.coursefile, PATHSIZE, "%s\\none.txt", dir.c_str());
  EXPECT_EQ(readcourses(), 0);
  EXPECT_TRUE(tableunchanged());
}

TEST_F(ConfigCourses, ThreeLinesBelongToARecord) {
  // A block without its NAME line still has PAR and KEYWORD read.
  EXPECT_EQ(load("COURSENO: 2,8\r\nPAR: 3,3,3\r\nKEYWORD: \"AB,CD\"\r\n\r\n"), 1);
  const CourseRecord& c = gkesto.courses[1];
  EXPECT_STREQ(c.name, kbuiltincourses[1].name);
  EXPECT_STREQ(c.keyword, "AB,CD");
  EXPECT_EQ(c.keylen, 2);
  EXPECT_EQ(memcmp(c.par, "\3\3\3", 3), 0);
  EXPECT_EQ(memcmp(c.par + 3, kbuiltincourses[1].par + 3, 15), 0);  // holes 4 to 18 stay

  // Without the empty line the next COURSENO falls within the three lines,
  // where it neither counts nor starts a record.
  initcourses();
  EXPECT_EQ(load("COURSENO:3\r\nPAR: 5,5\r\nKEYWORD: \"Q\"\r\nCOURSENO: 4\r\nNAME: \"lost\"\r\n"), 1);
  EXPECT_STREQ(gkesto.courses[2].keyword, "Q");
  EXPECT_EQ(gkesto.courses[2].keylen, 1);
  EXPECT_TRUE(unchanged(3));
  EXPECT_TRUE(unchanged(4));

  // The end of the text ends the look; a short line uses up one of the three.
  initcourses();
  EXPECT_EQ(load("COURSENO: 5\r\n\r\nX\r\nY\r\nNAME: \"late\"\r\nCOURSENO: 6\r\nNAME: \"six"), 2);
  EXPECT_TRUE(unchanged(4));
  EXPECT_STREQ(gkesto.courses[5].name, "six");
}

TEST_F(ConfigCourses, FieldsAreCut) {
  std::string wide;
  for (int i = 0; i < 60; i++) wide += "札";  // 120 bytes of double-byte characters
  ASSERT_EQ(wide.size(), 120u);
  load("COURSENO: 1\r\nNAME: \"" + wide + "\"\r\nKEYWORD: \"" + std::string(20, 'K') + "\"\r\n" +
       "COURSENO: 2\r\nNAME: \"" + std::string(120, 'n') + "\r\nKEYWORD: no quote\r\n");
  const CourseRecord* c = gkesto.courses;
  EXPECT_EQ(strlen(c[0].name), 100u);  // the 51st character does not fit whole
  EXPECT_EQ(std::string(c[0].name), wide.substr(0, 100));
  EXPECT_EQ(std::string(c[0].keyword), std::string(15, 'K'));
  EXPECT_EQ(c[0].keylen, 15);
  EXPECT_EQ(std::string(c[1].name), std::string(101, 'n'));  // no closing quote: to the line end
  EXPECT_STREQ(c[1].keyword, "");
  EXPECT_EQ(c[1].keylen, 0);
  EXPECT_EQ(c[0].number, 112);  // numbers and web pages are never read
  EXPECT_EQ(c[1].web, kbuiltincourses[1].web);
}

TEST_F(ConfigCourses, ParDigits) {
  load("COURSENO: 1\r\nPAR: 0,12,5,x,4\r\nNAME: \"n\"\r\nKEYWORD: \"k\"\r\n"
       "COURSENO: 2\r\nPAR:3,3,3,3,3,3,3,3,3,3,3,3,3,3,3,3,3,3,5,5\r\n");
  const int8_t* p = gkesto.courses[0].par;
  EXPECT_EQ(p[0], kbuiltincourses[0].par[0]);  // 0 leaves the hole
  EXPECT_EQ(p[1], 2);                          // last digit of 12
  EXPECT_EQ(p[2], 5);
  EXPECT_EQ(p[3], kbuiltincourses[0].par[3]);
  EXPECT_EQ(p[4], 4);
  EXPECT_EQ(memcmp(p + 5, kbuiltincourses[0].par + 5, 13), 0);
  for (int h = 0; h < 18; h++) EXPECT_EQ(gkesto.courses[1].par[h], 3);  // at most 18 holes
}

TEST_F(ConfigCourses, StopsAfterTheLastRecordStart) {
  std::string text;
  for (int i = 0; i < COURSES; i++) text += "COURSENO: 0\r\n";
  text += "COURSENO: 7\r\nNAME: \"late\"\r\n";
  EXPECT_EQ(load(text), COURSES);
  EXPECT_TRUE(tableunchanged());
}

}  // namespace
