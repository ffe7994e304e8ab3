// loginit.txt: reader bounds and defaults, the writer's lines, round trip.
#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <string>

#include "kesto.h"
#include "os/fake/fakeos.h"
#include "support.h"

namespace {

class ConfigSettings : public ::testing::Test {
 protected:
  std::string dir;
  void SetUp() override {
    kestoreset();
    dir = maketempdir();
    ASSERT_FALSE(dir.empty());
    Settings& s = gkesto.set;
    snprintf(s.home, PATHSIZE, "%s", dir.c_str());
    snprintf(s.inifile, PATHSIZE, "%s\\loginit.txt", dir.c_str());
    snprintf(s.gamelog, PATHSIZE, "%s\\golf.txt", dir.c_str());
    s.savecourse = 1;
    s.custominterval = 1000;
  }
  void TearDown() override { removetree(dir); }
  int32_t load(const std::string& text) {
    EXPECT_TRUE(writefile(dir + "/loginit.txt", text));
    return readsettings();
  }
  std::string written() { return readfile(dir + "/loginit.txt"); }
};

TEST_F(ConfigSettings, IntervalValues) {
  Settings& s = gkesto.set;
  const struct { const char* value; int32_t index; int32_t custom; } cases[] = {
      {"0", 1, 1000}, {"-3", 1, 1000}, {"abc", 1, 1000}, {"7", 7, 1000},
      {"8", 0, 8},    {" 25x", 0, 25}, {"99999999999999", 0, INT32_MAX},
  };
  for (const auto& c : cases) {
    s.interval = 5;
    s.custominterval = 1000;
    int32_t mask = load(std::string("INTERVAL=") + c.value + "\r\n");
    EXPECT_TRUE(mask & LM_INTERVAL) << c.value;
    EXPECT_EQ(s.interval, c.index) << c.value;
    EXPECT_EQ(s.custominterval, c.custom) << c.value;
  }
  // A custom interval of 8 is written back as 8.
  load("INTERVAL=8\r\n");
  EXPECT_EQ(writesettings(), LM_COMPLETE);
  EXPECT_NE(written().find("\r\nINTERVAL=8\r\n"), std::string::npos);

  for (int32_t pos = 0; pos < 8; pos++) EXPECT_EQ(intervalrow(pos), pos);
  EXPECT_EQ(intervalrow(8), 0);
  EXPECT_EQ(intervalrow(-1), 0);
}

TEST_F(ConfigSettings, CapturePageAndAreaBounds) {
  CaptureSettings& w = gkesto.set.work;
  CaptureSettings& v = gkesto.set.saved;
  const struct { const char* value; int32_t page; } pages[] = {
      {"10000", 10000}, {"10001", 9999}, {"-5", 0}, {"123456789012", 9999}, {"-123456789012", 0}};
  for (const auto& c : pages) {
    load(std::string("CAPTUREPAGE=") + c.value + "\r\n");
    EXPECT_EQ(w.capturepage, c.page) << c.value;
    EXPECT_EQ(v.capturepage, c.page) << c.value;
  }

  load("DEFAULTAREA=600,-599,-600,601\r\nCUSTOMAREA=5\r\n");
  const int32_t d[4] = {600, -599, 0, 0}, u[4] = {5, 0, 0, 0};
  for (int i = 0; i < 4; i++) {
    EXPECT_EQ(w.defaultarea[i], d[i]);
    EXPECT_EQ(v.defaultarea[i], d[i]);
    EXPECT_EQ(w.customarea[i], u[i]);
    EXPECT_EQ(v.customarea[i], u[i]);
  }
  // A list that breaks off leaves the rest 0; a huge number is out of range.
  load("DEFAULTAREA=1,,3,4\r\nCUSTOMAREA=-99999999999,7, 8 ,9\r\n");
  const int32_t d2[4] = {1, 0, 0, 0}, u2[4] = {0, 7, 8, 0};
  for (int i = 0; i < 4; i++) {
    EXPECT_EQ(w.defaultarea[i], d2[i]);
    EXPECT_EQ(w.customarea[i], u2[i]);
  }

  load("ENABLEAREA=3\r\nLOCKONWINDOW=-1\r\nENABLECAPKEY=9\r\n");
  EXPECT_EQ(w.enablearea, 2);
  EXPECT_EQ(w.lockon, 0);
  EXPECT_EQ(v.enablecapkey, 2);
  load("ENABLEAREA=-4\r\nLOCKONWINDOW=5\r\nENABLECAPKEY=-1\r\n");
  EXPECT_EQ(v.enablearea, 0);
  EXPECT_EQ(v.lockon, 1);
  EXPECT_EQ(w.enablecapkey, 0);
}

TEST_F(ConfigSettings, CaptureKeyToken) {
  const struct { const char* value; int32_t row; } cases[] = {
      {"F12", 3},      {"f12", 3},     {"ctrl", 0},  {"r-alt/x", 1},
      {"R-Ctrl", 2},   {"f12345678", 0}, {"L-ALT", 0}, {"\tr-alt", 0},
  };
  for (const auto& c : cases) {
    gkesto.set.work.selectcapkey = gkesto.set.saved.selectcapkey = 1;
    if (c.row == 1) gkesto.set.work.selectcapkey = gkesto.set.saved.selectcapkey = 0;
    int32_t mask = load(std::string("SELECTCAPKEY=") + c.value + "\r\n");
    EXPECT_TRUE(mask & LM_SELECTCAPKEY);
    EXPECT_EQ(gkesto.set.work.selectcapkey, c.row) << c.value;
    EXPECT_EQ(gkesto.set.saved.selectcapkey, c.row) << c.value;
  }
  // The writer's own line for row 2 selects row 2 again.
  gkesto.set.saved.selectcapkey = 2;
  ASSERT_EQ(writesettings(), LM_COMPLETE);
  std::string text = written();
  EXPECT_NE(text.find("SELECTCAPKEY=R-Ctrl // L-Alt R-Alt R-Ctrl F12\r\n"), std::string::npos);
  gkesto.set.saved.selectcapkey = 0;
  EXPECT_EQ(readsettings() & LM_SELECTCAPKEY, LM_SELECTCAPKEY);
  EXPECT_EQ(gkesto.set.saved.selectcapkey, 2);
}

TEST_F(ConfigSettings, KeysAreCaseSensitive) {
  int32_t mask = load("interval=3\r\nCapturePage=5\r\nhome=x\r\n");
  EXPECT_EQ(mask & (LM_HOME | LM_CAPTUREKEYS), LM_INTERVAL | LM_CAPTUREPAGE | LM_DEFAULTAREA |
                                                   LM_CUSTOMAREA | LM_ENABLEAREA |
                                                   LM_LOCKONWINDOW | LM_ENABLECAPKEY);
  EXPECT_EQ(gkesto.set.interval, 7);  // the default, not 3
  EXPECT_EQ(gkesto.set.work.capturepage, 100);
  EXPECT_STREQ(gkesto.set.homeread, "");
}

TEST_F(ConfigSettings, FiveLinesGiveTheDefaults) {
  std::string dg = "C:\\Program Files\\GOLFDUKE\\some game folder\\golf.txt";
  ASSERT_GE(dg.size(), 48u);
  int32_t mask = load("HOME=C:\\kesto\r\nDGPATH=" + dg +
                      "\r\nREAD_COURSE=1\r\nSAVE_COURSE=0\r\nIEXPLORE=1\r\n");
  const Settings& s = gkesto.set;
  EXPECT_EQ(mask, 0x2FFF);
  EXPECT_NE(mask & LM_CAPTUREKEYS, LM_CAPTUREKEYS);  // never taken as complete
  EXPECT_STREQ(s.homeread, "C:\\kesto");
  EXPECT_EQ(s.readcourse, 1);
  EXPECT_EQ(s.savecourse, 0);
  EXPECT_EQ(s.iexplore, 1);
  EXPECT_EQ(s.interval, 7);
  for (const CaptureSettings* c : {&s.work, &s.saved}) {
    EXPECT_EQ(c->capturepage, 100);
    const int32_t d[4] = {-29, -3, -3, -3}, u[4] = {-31, -5, -5, -5};
    for (int i = 0; i < 4; i++) {
      EXPECT_EQ(c->defaultarea[i], d[i]);
      EXPECT_EQ(c->customarea[i], u[i]);
    }
    EXPECT_EQ(c->enablearea, 2);
    EXPECT_EQ(c->lockon, 1);
    EXPECT_EQ(c->enablecapkey, 0);
    EXPECT_EQ(c->selectcapkey, 0);
  }

  // Every key present: no default, no extra bit; the window area is cleared.
  gkesto.set.windowarea[2] = 7;
  mask = load("INTERVAL=3\r\nCAPTUREPAGE=5\r\nDEFAULTAREA=1,2,3,4\r\nCUSTOMAREA=5,6,7,8\r\n"
              "ENABLEAREA=1\r\nLOCKONWINDOW=0\r\nENABLECAPKEY=1\r\nSELECTCAPKEY=f12\r\n");
  EXPECT_EQ(mask, LM_CAPTUREKEYS);
  EXPECT_EQ(s.windowarea[2], 0);
  EXPECT_EQ(s.work.enablearea, 1);
  EXPECT_EQ(s.saved.lockon, 0);
}

TEST_F(ConfigSettings, DgpathNeedsLengthAndGameName) {
  const Settings& s = gkesto.set;
  std::string start = s.gamelog;
  std::string p47 = "C:\\GOLFDUKE\\" + std::string(47 - 12 - 8, 'x') + "golf.txt";
  ASSERT_EQ(p47.size(), 47u);
  int32_t mask = load("DGPATH=" + p47 + "\r\n");
  EXPECT_FALSE(mask & LM_DGPATH);
  EXPECT_EQ(s.dgpath, p47);
  EXPECT_EQ(s.gamelog, start);

  std::string lower = "C:\\golfduke\\" + std::string(40, 'x') + "golf.txt";
  mask = load("DGPATH=" + lower + "\r\n");
  EXPECT_FALSE(mask & LM_DGPATH);
  EXPECT_EQ(s.dgpath, lower);
  EXPECT_EQ(s.gamelog, start);

  std::string p48 = "C:\\GOLFDUKE\\" + std::string(48 - 12 - 8, 'x') + "golf.txt";
  mask = load("DGPATH=" + p48 + "\r\n");
  EXPECT_TRUE(mask & LM_DGPATH);
  EXPECT_EQ(s.dgpath, p48);
  EXPECT_EQ(s.gamelog, p48);
  EXPECT_EQ(s.gamefolder, p48.substr(0, 40));
}

TEST_F(ConfigSettings, OnlyTheFirstHundredLinesAndBytesCount) {
  std::string text;
  for (int i = 0; i < 98; i++) text += i % 3 ? "// comment\r\n" : "\r\n";  // short lines count too
  text += "INTERVAL=3\r\nCAPTUREPAGE=50\r\nDEFAULTAREA=1,1,1,1\r\n";      // lines 99 to 101
  int32_t mask = load(text);
  EXPECT_EQ(gkesto.set.interval, 3);
  EXPECT_EQ(gkesto.set.work.capturepage, 50);
  EXPECT_EQ(gkesto.set.work.defaultarea[0], -29);  // the 101st line was ignored
  EXPECT_TRUE(mask & LM_DEFAULTED);

  // Nothing past the first 4,096 bytes is read.
  std::string pad = "//" + std::string(124, '-') + "\r\n";  // 128 bytes a line
  text.clear();
  for (int i = 0; i < 32; i++) text += pad;                // exactly 4,096 bytes
  load(text + "INTERVAL=2\r\n");
  EXPECT_EQ(gkesto.set.interval, 7);
}

TEST_F(ConfigSettings, WriterAndReaderRoundTrip) {
  Settings& s = gkesto.set;
  snprintf(s.dgpath, PATHSIZE, "D:\\Games\\GOLFDUKE\\Golf Duke Deluxe\\data\\golf.txt");
  s.readcourse = 1;
  s.savecourse = 0;
  s.iexplore = 7;  // written as 1
  s.interval = 0;
  s.custominterval = 15;
  CaptureSettings c = {250, {-29, -3, -3, 600}, {-599, 1, 2, 3}, 1, 1, 2, 3};
  s.saved = c;
  ASSERT_EQ(writesettings(), LM_COMPLETE);
  std::string expect =
      "// loginit.txt\r\nHOME=" + dir + "\r\nDGPATH=" + s.dgpath +
      "\r\nREAD_COURSE=1\r\nSAVE_COURSE=0\r\nIEXPLORE=1\r\nINTERVAL=15\r\nCAPTUREPAGE=250\r\n"
      "DEFAULTAREA=-29,-3,-3,600\r\nCUSTOMAREA=-599,1,2,3\r\nENABLEAREA=1\r\nLOCKONWINDOW=1\r\n"
      "ENABLECAPKEY=2\r\nSELECTCAPKEY=F12 // L-Alt R-Alt R-Ctrl F12\r\n";
  EXPECT_EQ(written(), expect);

  Settings before = s;
  memset(&s.work, 0, sizeof s.work);
  memset(&s.saved, 0, sizeof s.saved);
  s.readcourse = s.savecourse = s.iexplore = s.interval = s.custominterval = 0;
  memset(s.dgpath, 0, PATHSIZE);
  EXPECT_EQ(readsettings(), 0x1FFF);
  EXPECT_EQ(memcmp(&s.saved, &before.saved, sizeof c), 0);
  EXPECT_EQ(memcmp(&s.work, &before.saved, sizeof c), 0);
  EXPECT_STREQ(s.dgpath, before.dgpath);
  EXPECT_STREQ(s.gamelog, before.dgpath);
  EXPECT_STREQ(s.homeread, dir.c_str());
  EXPECT_EQ(s.interval, 0);
  EXPECT_EQ(s.custominterval, 15);
  EXPECT_EQ(s.iexplore, 1);

  // An existing longer file is truncated.
  ASSERT_TRUE(writefile(dir + "/loginit.txt", std::string(5000, 'z')));
  EXPECT_EQ(writesettings(), LM_COMPLETE);
  EXPECT_EQ(written(), expect);
}

// The longest paths the path buffers hold come back whole after a write and
// a read; a longer value is cut at a character's end.
TEST_F(ConfigSettings, LongestPathsSurviveWriteAndRead) {
  Settings& s = gkesto.set;
  std::string folder = "C:\\";
  while (folder.size() + 17 + 40 <= PATHSIZE - 1) folder += "ゴルフ漬け特盛り\\";  // 17 bytes a folder
  std::string home = folder + std::string(PATHSIZE - 1 - folder.size(), 'h');
  std::string dg = folder + "GOLFDUKE\\";
  dg += std::string(PATHSIZE - 1 - dg.size() - 8, 'g') + "golf.txt";
  ASSERT_EQ(home.size(), (size_t)PATHSIZE - 1);
  ASSERT_EQ(dg.size(), (size_t)PATHSIZE - 1);
  snprintf(s.home, PATHSIZE, "%s", home.c_str());
  snprintf(s.dgpath, PATHSIZE, "%s", dg.c_str());
  ASSERT_EQ(writesettings(), LM_COMPLETE);
  memset(s.dgpath, 0, PATHSIZE);
  memset(s.homeread, 0, PATHSIZE);
  int32_t mask = readsettings();
  EXPECT_EQ(mask & (LM_HOME | LM_DGPATH), LM_HOME | LM_DGPATH);
  EXPECT_EQ(s.homeread, home);
  EXPECT_EQ(s.dgpath, dg);
  EXPECT_EQ(s.gamelog, dg);
  EXPECT_EQ(s.gamefolder, dg.substr(0, dg.size() - 8));
  // Read again as written: the file stays the same.
  std::string first = written();
  ASSERT_EQ(writesettings(), LM_COMPLETE);
  EXPECT_EQ(written(), first);

  // A value longer than a path buffer keeps what fits, whole characters only.
  std::string wide = "C:\\GOLFDUKE\\";
  for (int i = 0; i < 300; i++) wide += "漬";
  load("DGPATH=" + wide + "\r\nINTERVAL=2\r\n");
  EXPECT_EQ(strlen(s.dgpath), 12u + 2 * 249);
  EXPECT_EQ(wide.compare(0, strlen(s.dgpath), s.dgpath), 0);
  EXPECT_EQ(s.interval, 2) << "the line after it is its own";
}

TEST_F(ConfigSettings, MissingFileChangesNothing) {
  Settings before = gkesto.set;
  EXPECT_EQ(readsettings(), 0);
  EXPECT_EQ(memcmp(&before, &gkesto.set, sizeof before), 0);
  // A folder that does not exist cannot take the file.
  snprintf(gkesto.set.inifile, PATHSIZE, "%s\\nofolder\\loginit.txt", dir.c_str());
  EXPECT_EQ(writesettings(), 0);
  // An empty file is read: every default applies.
  snprintf(gkesto.set.inifile, PATHSIZE, "%s\\loginit.txt", dir.c_str());
  EXPECT_EQ(load(""), 0x2FE0);
}

}  // namespace
