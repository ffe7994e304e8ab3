// The burst viewer page: what it holds for hostile folder names, how a page
// that cannot be written is told and leaves nothing behind, the last burst
// and the system menu's "最後の連写を見る".
#include <gtest/gtest.h>

#include <string>
#include <sys/stat.h>

#include "app/burstmenu.h"
#include "app/startup.h"
#include "capture/lastburst.h"
#include "kesto.h"
#include "os/fake/fakeos.h"
#include "report/burstview.h"
#include "res/resource.h"
#include "support.h"

namespace {

class BurstViewer : public ::testing::Test {
 protected:
  void SetUp() override {
    kestoreset();
    dir = maketempdir();
    gfake.cwd = dir;
    snprintf(gkesto.set.home, sizeof gkesto.set.home, "%s", dir.c_str());
  }
  void TearDown() override { removetree(dir); }
  // A burst folder at path (host path) with frames 1..n and their log.
  void burst(const std::string& path, int n, int tic = 33) {
    mkdir(path.c_str(), 0755);
    std::string log = "disk free = 10 MB\r\n";
    for (int i = 1; i <= n; i++) {
      char name[16], line[96];
      snprintf(name, sizeof name, "c%05d.bmp", i);
      writefile(path + "/" + name, "BM");
      snprintf(line, sizeof line, "DATA %s Tic=%3d ms date 20090405_14:03_22.187\r\n", name, i == 1 ? 0 : tic);
      log += line;
    }
    writefile(path + "/c1403_22_187.txt", log);
  }
  static bool exists(const std::string& p) {
    struct stat st;
    return stat(p.c_str(), &st) == 0;
  }
  std::string dir;
};

// A folder whose name carries & ' # % and Shift-JIS characters whose
// second byte is a backslash (表 ソ): the page shows it as UTF-8, escaped as
// text, in the heading and the title (the name after the last real
// backslash), and in the data as a JSON string where < > & cannot close the
// script element.  The page's own texts are UTF-8 with its charset declared.
TEST_F(BurstViewer, HostileFolderNamesStayText) {
  const std::string name = "K&'#% x\x95\x5c\x83\x5c";  // 表ソ in Shift-JIS
  burst(dir + "/" + name, 3);
  std::string folder = dir + "\\" + name;
  ViewerResult r;
  ASSERT_EQ(writeburstviewer(folder.c_str(), &r), VIEWER_WRITTEN);
  EXPECT_EQ(r.frames, 3);
  std::string page = readfile(dir + "/" + name + "/index.html");
  EXPECT_NE(page.find("<meta charset=\"utf-8\">"), std::string::npos);
  const std::string shown = "K&amp;&#39;#% x\xe8\xa1\xa8\xe3\x82\xbd";  // 表ソ in UTF-8
  EXPECT_NE(page.find("<title>" + shown + " - KESTO</title>"), std::string::npos) << page.substr(0, 600);
  EXPECT_NE(page.find("\">" + dir + "\\" + shown + "</h1>"), std::string::npos);
  EXPECT_NE(page.find("\"folder\":\"" + dir + "\\\\K\\u0026'#% x\xe8\xa1\xa8\xe3\x82\xbd\""), std::string::npos);
  EXPECT_EQ(page.find("K&'"), std::string::npos) << "the name unescaped";
  EXPECT_EQ(page.find('\x95'), std::string::npos) << "Shift-JIS bytes in a UTF-8 page";
  // Frame addresses are made by the page from the names, percent-encoded.
  EXPECT_NE(page.find("encodeURIComponent(F[k][0])"), std::string::npos);
  EXPECT_NE(page.find("[\"c00003.bmp\",3,33,66,1]"), std::string::npos);
}

// The frames listed are those of the log, with a frame whose file is gone
// marked so; a file with no log line is not listed.  No log: nothing is
// written.
TEST_F(BurstViewer, FramesComeFromTheLog) {
  burst(dir + "/b", 4);
  remove((dir + "/b/c00002.bmp").c_str());
  writefile(dir + "/b/c00009.bmp", "BM");
  ViewerResult r;
  ASSERT_EQ(writeburstviewer((dir + "\\b").c_str(), &r), VIEWER_WRITTEN);
  EXPECT_EQ(r.frames, 4);
  EXPECT_EQ(r.missing, 1);
  std::string page = readfile(dir + "/b/index.html");
  EXPECT_NE(page.find("[\"c00002.bmp\",2,33,33,0]"), std::string::npos);
  EXPECT_EQ(page.find("c00009"), std::string::npos);
  mkdir((dir + "/empty").c_str(), 0755);
  EXPECT_EQ(writeburstviewer((dir + "\\empty").c_str(), &r), VIEWER_NOLOG);
  EXPECT_FALSE(exists(dir + "/empty/index.html"));
}

// A page the disk refuses at each step (the temporary's write, its flush,
// the move over the old page): VIEWER_FAILED with the page's path and the
// system's reason, the earlier page as it was, no temporary left, the frames
// and the log untouched.
TEST_F(BurstViewer, AFailedWriteIsToldAndLeavesNothing) {
  burst(dir + "/b", 3);
  writefile(dir + "/b/index.html", "earlier page");
  std::string log = readfile(dir + "/b/c1403_22_187.txt");
  for (int step = 0; step < 3; step++) {
    kestoreset();
    gfake.cwd = dir;
    if (step == 0) gfake.writefails = 1;
    if (step == 1) gfake.flushfails = 1;
    if (step == 2) gfake.movefails = 1;
    ViewerResult r;
    ASSERT_EQ(writeburstviewer((dir + "\\b").c_str(), &r), VIEWER_FAILED) << step;
    EXPECT_EQ(std::string(r.path), dir + "\\b\\index.html");
    EXPECT_NE(r.error, 0u) << step;
    EXPECT_EQ(readfile(dir + "/b/index.html"), "earlier page") << step;
    EXPECT_FALSE(exists(dir + "/b/index.html.tmp")) << step;
    EXPECT_EQ(fakeleftovers(), "") << step;
    EXPECT_EQ(readfile(dir + "/b/c1403_22_187.txt"), log);
    EXPECT_EQ(readfile(dir + "/b/c00003.bmp"), "BM");
  }
  ViewerResult r;
  ASSERT_EQ(writeburstviewer((dir + "\\b").c_str(), &r), VIEWER_WRITTEN);
  EXPECT_NE(readfile(dir + "/b/index.html"), "earlier page");
}

// The last burst: the one written since start while its folder is there,
// else the newest burst folder by month, dated name and "_k" number;
// screenshot folders and other names are not bursts.
TEST_F(BurstViewer, TheLastBurstFolder) {
  char out[PATHSIZE];
  EXPECT_EQ(lastburstdir(out, sizeof out), 0);
  mkdir((dir + "/ss200905").c_str(), 0755);
  mkdir((dir + "/ss200905/d01").c_str(), 0755);
  EXPECT_EQ(lastburstdir(out, sizeof out), 0) << "a screenshot folder is no burst";
  for (const char* m : {"/cap200904", "/cap200812", "/cap2009xx"}) mkdir((dir + m).c_str(), 0755);
  for (const char* b : {"/cap200904/d05_1403_22_18", "/cap200904/d05_1403_22_18_2", "/cap200904/d05_1403_22_18_10",
                        "/cap200904/d04_2359_59_99", "/cap200812/d31_2359_59_99", "/cap2009xx/d31_2359_59_99",
                        "/cap200904/d05_1403_22_18_x", "/cap200904/d99"})
    mkdir((dir + b).c_str(), 0755);
  ASSERT_EQ(lastburstdir(out, sizeof out), 1);
  EXPECT_EQ(std::string(out), dir + "\\cap200904\\d05_1403_22_18_10");
  snprintf(gkesto.burst.lastfolder, PATHSIZE, "%s\\cap200812\\d31_2359_59_99", dir.c_str());
  ASSERT_EQ(lastburstdir(out, sizeof out), 1);
  EXPECT_EQ(std::string(out), std::string(gkesto.burst.lastfolder)) << "the burst written since start comes first";
  snprintf(gkesto.burst.lastfolder, PATHSIZE, "%s\\cap200812\\gone", dir.c_str());
  ASSERT_EQ(lastburstdir(out, sizeof out), 1);
  EXPECT_EQ(std::string(out), dir + "\\cap200904\\d05_1403_22_18_10") << "a folder removed since is not the last";
  EXPECT_EQ(lastburstdir(out, 10), 0) << "a path that does not fit";
}

// "最後の連写を見る": no burst is said in a box; a burst taken before there
// were viewers gets its page written, then opened as pages are; a folder
// with no log is said, naming it.
TEST_F(BurstViewer, TheMenuOpensTheLastBurstsViewer) {
  OsWin main = fakeaddwindow("KESTO", "KESTO", 0, 0, 100, 100);
  gkesto.mw.main = main;
  burstmenu(main);
  ASSERT_FALSE(gfake.sysmenu.empty());
  EXPECT_EQ(gfake.sysmenu.back().id, (uint32_t)IDM_BURSTVIEW);
  EXPECT_EQ(gfake.sysmenu.back().text, "最後の連写を見る");
  EXPECT_EQ(burstsyscommand(IDM_BURSTVIEW), 1);
  ASSERT_EQ(gfake.boxes.size(), 1u);
  EXPECT_NE(gfake.boxes[0].text.find("見られる連写がありません"), std::string::npos);
  EXPECT_TRUE(gfake.opened.empty() && gfake.started.empty());

  mkdir((dir + "/cap200904").c_str(), 0755);
  burst(dir + "/cap200904/d05_1403_22_18", 2);
  EXPECT_EQ(burstsyscommand(IDM_BURSTVIEW), 1);
  EXPECT_EQ(gfake.boxes.size(), 1u);
  EXPECT_TRUE(exists(dir + "/cap200904/d05_1403_22_18/index.html"));
  ASSERT_EQ(gfake.opened.size() + gfake.started.size(), 1u);
  std::string cmd = gfake.opened.empty() ? gfake.started[0].cmdline : gfake.opened[0].cmdline;
  EXPECT_NE(cmd.find(dir + "\\cap200904\\d05_1403_22_18\\index.html"), std::string::npos) << cmd;

  mkdir((dir + "/cap200904/d06_0000_00_00").c_str(), 0755);
  EXPECT_EQ(burstsyscommand(IDM_BURSTVIEW), 1);
  ASSERT_EQ(gfake.boxes.size(), 2u);
  EXPECT_NE(gfake.boxes[1].text.find("d06_0000_00_00"), std::string::npos) << gfake.boxes[1].text;
  EXPECT_EQ(burstsyscommand(IDM_LIVESETTINGS), 0);
}

// A program folder whose name ends with ソ (second byte 0x5C): its last
// byte is no separator to strip, so loginit.txt and the bursts are found in
// it; real trailing backslashes still go.
TEST_F(BurstViewer, AProgramFolderEndingInATrailByte5CIsKept) {
  const std::string folder = "Z:\\K&'#% \x95\x5c\x83\x5c";
  ASSERT_TRUE(setpaths(folder.c_str()));
  EXPECT_EQ(std::string(gkesto.set.home), folder);
  EXPECT_EQ(std::string(gkesto.set.inifile), folder + "\\loginit.txt");
  ASSERT_TRUE(setpaths((folder + "\\\\").c_str()));
  EXPECT_EQ(std::string(gkesto.set.home), folder);
  ASSERT_TRUE(setpaths("C:\\"));
  EXPECT_EQ(std::string(gkesto.set.home), "C:");
}

}  // namespace
