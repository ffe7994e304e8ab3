// The main window against the fake desktop: start-up, run states, the end
// sequence and the free-disk figure.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#include "kesto.h"
#include "app/mainwin.h"
#include "app/startup.h"
#include "folders.h"
#include "os/fake/fakeos.h"
#include "res/resource.h"
#include "support.h"

namespace {

const char* kcomplete =
    "// loginit.txt\r\nHOME=C:\\kesto\r\nDGPATH=\r\nREAD_COURSE=0\r\nSAVE_COURSE=0\r\nIEXPLORE=0\r\n"
    "INTERVAL=3\r\nCAPTUREPAGE=100\r\nDEFAULTAREA=-29,-3,-3,-3\r\nCUSTOMAREA=-31,-5,-5,-5\r\n"
    "ENABLEAREA=2\r\nLOCKONWINDOW=1\r\nENABLECAPKEY=0\r\nSELECTCAPKEY=L-Alt // L-Alt R-Alt R-Ctrl F12\r\n";

class MainWindow : public ::testing::Test {
 protected:
  std::string dir;
  void SetUp() override {
    fakereset();
    memset(&gkesto.set, 0, sizeof gkesto.set);
    memset(&gkesto.mw, 0, sizeof gkesto.mw);
    memset(&gkesto.burst, 0, sizeof gkesto.burst);  // nothing of an earlier test's burst
    dir = maketempdir();
    gfake.cwd = dir;
  }
  void TearDown() override { removetree(dir); }
  // Creates the main window in the temporary program folder.
  OsWin open(const char* loginit = nullptr) {
    if (loginit) writefile(dir + "/loginit.txt", loginit);
    EXPECT_TRUE(setpaths(dir.c_str()));
    return oscreatemaindialog(&kestohandlers);
  }
  std::string item(int id) { return fakeitemtext(gkesto.mw.main, id); }
};

TEST_F(MainWindow, StartWithoutSettingsOnlyComplains) {
  OsWin w = open();
  EXPECT_EQ(gkesto.set.loadmask, 0);
  mainwincommand(IDC_START, 0);
  ASSERT_EQ(gfake.boxes.size(), 1u);
  EXPECT_EQ(gfake.boxes[0].caption, "設定エラー");
  EXPECT_EQ(gfake.boxes[0].text,
            "ゴルフ漬けのフォルダが設定されていません\r\n設定ボタンを押して環境設定をしてください");
  EXPECT_EQ(gfake.boxes[0].type, OS_MB_ICONERROR);
  EXPECT_EQ(gfake.boxes[0].owner, w);
  EXPECT_EQ(item(IDC_STATUS), "0");
  EXPECT_EQ(gkesto.mw.run, NeverStarted);
  EXPECT_TRUE(gfake.timers.empty());
  // Pause does nothing either.
  mainwincommand(IDC_STOP, 0);
  EXPECT_EQ(gfake.boxes.size(), 1u);
  EXPECT_EQ(item(IDC_STATUSLINE), "");
  EXPECT_EQ(gkesto.mw.run, NeverStarted);
}

TEST_F(MainWindow, StartPauseResume) {
  open(kcomplete);
  EXPECT_EQ(gkesto.set.complete, 1);
  EXPECT_EQ(gkesto.mw.period, 297u);  // interval row 3
  mainwincommand(IDC_START, 0);
  EXPECT_TRUE(gfake.boxes.empty());
  EXPECT_EQ(gkesto.mw.run, Running);
  EXPECT_EQ(gkesto.mw.watch.state, SeekGame);
  EXPECT_EQ(item(IDC_STATUSLINE), "起動監視をスタートしました");
  ASSERT_NE(fakefindtimer(gkesto.mw.main, 1), nullptr);
  EXPECT_EQ(fakefindtimer(gkesto.mw.main, 1)->ms, 297u);
  ASSERT_NE(fakefindtimer(gkesto.mw.main, 2), nullptr);
  EXPECT_EQ(fakefindtimer(gkesto.mw.main, 2)->ms, 30u);

  // Start while running changes nothing.
  gkesto.mw.watch.ticks = 5;
  mainwincommand(IDC_START, 0);
  EXPECT_EQ(gkesto.mw.watch.ticks, 5);
  EXPECT_EQ(item(IDC_STATUSLINE), "起動監視をスタートしました");

  mainwincommand(IDC_STOP, 0);
  EXPECT_EQ(gkesto.mw.run, Paused);
  EXPECT_TRUE(gfake.timers.empty());
  EXPECT_EQ(gkesto.mw.watch.ticks, 0);
  EXPECT_EQ(item(IDC_STATUSLINE), "監視を中断しました。スタートで再開します");

  // Resume keeps the watcher's state and sets the resume notice.
  gkesto.mw.watch.state = FollowLog;
  gkesto.mw.watch.delay = 3;
  mainwincommand(IDC_START, 0);
  EXPECT_EQ(gkesto.mw.run, Running);
  EXPECT_EQ(gkesto.mw.watch.state, FollowLog);
  EXPECT_EQ(gkesto.mw.watch.resume, 1);
  EXPECT_EQ(gkesto.mw.watch.delay, 0);
  EXPECT_EQ(item(IDC_STATUSLINE), "起動監視を再開しました");
  EXPECT_EQ(gfake.timers.size(), 2u);
  EXPECT_TRUE(gfake.boxes.empty());
}

TEST_F(MainWindow, DefaultedCaptureSettingsNoticeEveryStart) {
  open("HOME=C:\\x\r\nDGPATH=\r\nREAD_COURSE=0\r\nSAVE_COURSE=0\r\nIEXPLORE=0\r\n");
  ASSERT_TRUE(gkesto.set.loadmask & LM_DEFAULTED);
  for (int press = 0; press < 2; press++) {
    gfake.boxes.clear();
    mainwincommand(IDC_START, 0);
    ASSERT_EQ(gfake.boxes.size(), 2u);
    EXPECT_EQ(gfake.boxes[0].caption, "範囲設定");
    EXPECT_EQ(gfake.boxes[0].type, OS_MB_ICONINFORMATION);
    EXPECT_EQ(gfake.boxes[1].caption, "設定エラー");
  }
  char hex[16];
  snprintf(hex, sizeof hex, "%X", (unsigned)gkesto.set.loadmask);
  EXPECT_EQ(item(IDC_STATUS), hex);
  EXPECT_EQ(gkesto.mw.run, NeverStarted);
}

// A file that names the capture key but lacks the area choice or the lock-on
// setting had those set to their defaults: it is not complete, however many
// keys it holds.
TEST_F(MainWindow, DefaultedAreaChoiceOrLockOnIsNeverComplete) {
  const std::string full = kcomplete;
  for (const char* drop : {"ENABLEAREA=2\r\n", "LOCKONWINDOW=1\r\n"}) {
    SCOPED_TRACE(drop);
    std::string text = full;
    text.erase(text.find(drop), strlen(drop));
    fakereset();
    memset(&gkesto.set, 0, sizeof gkesto.set);
    memset(&gkesto.mw, 0, sizeof gkesto.mw);
    open(text.c_str());
    ASSERT_TRUE(gkesto.set.loadmask & LM_SELECTCAPKEY);
    ASSERT_TRUE(gkesto.set.loadmask & LM_DEFAULTED);
    EXPECT_EQ(gkesto.set.complete, 0);
    mainwincommand(IDC_START, 0);
    ASSERT_EQ(gfake.boxes.size(), 2u);
    EXPECT_EQ(gfake.boxes[0].caption, "範囲設定");
    EXPECT_EQ(gfake.boxes[1].caption, "設定エラー");
    EXPECT_EQ(gkesto.mw.run, NeverStarted);
  }
}

TEST_F(MainWindow, InitialisationLeavesCleanState) {
  OsHandle img = fakeclipimage(640, 480);
  gfake.perffreq = 3579545;
  open(kcomplete);
  EXPECT_EQ(gfake.windows[0].title, KESTO_TITLE);
  EXPECT_EQ(gfake.clipboardempties, 0) << "the user's clipboard is left as it is";
  EXPECT_EQ(gfake.clipimage, img);
  EXPECT_EQ(gfake.clipboardopen, 0);
  EXPECT_EQ(gkesto.mw.countsperms, 3579);
  EXPECT_EQ(item(IDC_COUNT), "100");
  EXPECT_EQ(osisdlgbuttonchecked(gkesto.mw.main, IDC_SS), 0);
  EXPECT_EQ(gkesto.mw.screenw, 1280);
  EXPECT_EQ(gkesto.set.work.enablearea, 2);
  EXPECT_EQ(gkesto.set.margins[0], -31);
  EXPECT_EQ(gkesto.burst.diskthreshold, 250);
  EXPECT_EQ(gfake.lastdiskroot, "C:\\");
}

TEST_F(MainWindow, ANewUsersFirstSaveKeepsTheCustomInterval) {
  // Without loginit.txt the interval row is the custom one, 100.0 s; saving
  // must write it so that it reads back as the same row.
  open();
  EXPECT_EQ(gkesto.set.interval, 0);
  EXPECT_EQ(gkesto.set.custominterval, 1000);
  ASSERT_EQ(writesettings(), LM_COMPLETE);
  EXPECT_NE(readfile(dir + "/loginit.txt").find("\r\nINTERVAL=1000\r\n"), std::string::npos);
  gkesto.set.interval = 5;
  readsettings();
  EXPECT_EQ(gkesto.set.interval, 0);
}

TEST_F(MainWindow, EndSequenceWritesCoursesOnce) {
  open();  // no loginit.txt: SAVE_COURSE stays 1
  mainwincommand(IDC_END, 0);
  EXPECT_EQ(gfake.quitposted, 1);
  EXPECT_EQ(gfake.quitcode, 0);
  std::string courses = readfile(dir + "/golfcourse.txt");
  EXPECT_EQ(courses.rfind("# KESTO COURSE PAR\r\n", 0), 0u);
  // Destroying the window afterwards does not run it again.
  mainwindestroy();
  EXPECT_EQ(gfake.quitposted, 1);
  EXPECT_TRUE(gfake.boxes.empty());
}

// golfcourse.txt is replaced at exit, never truncated first: a disk that
// fills halfway leaves the old file as it was, and the message says why.
TEST_F(MainWindow, ACourseFileTheDiskCannotHoldStaysAsItWas) {
  open();  // SAVE_COURSE stays 1
  writefile(dir + "/golfcourse.txt", "# the user's own courses\r\n");
  gfake.diskroom = 1000;
  mainwincommand(IDC_END, 0);
  EXPECT_EQ(gfake.quitposted, 1);
  EXPECT_EQ(readfile(dir + "/golfcourse.txt"), "# the user's own courses\r\n");
  EXPECT_FALSE(osfindfile((dir + "/golfcourse.txt.tmp").c_str()));
  EXPECT_EQ(fakeleftovers(), "");
  ASSERT_EQ(gfake.boxes.size(), 1u);
  EXPECT_EQ(gfake.boxes[0].caption, "Save Error");
  const std::string& t = gfake.boxes[0].text;
  EXPECT_NE(t.find(" 回の書き込みエラー！\r\n\r\n" + dir + "\\golfcourse.txt\r\nディスクの空きが足りません (エラー 112)"
                   "\r\n\r\ngolfcourse.txt は変更していません。"),
            std::string::npos)
      << t;
}

TEST_F(MainWindow, EndSequenceRespectsSaveCourseAndReportsFailure) {
  open(kcomplete);  // SAVE_COURSE=0
  mainwincommand(2, 0);
  EXPECT_EQ(gfake.quitposted, 1);
  EXPECT_EQ(readfile(dir + "/golfcourse.txt"), "");

  // A course file that cannot be created is reported and the program still ends.
  fakereset();
  gfake.cwd = dir;
  remove((dir + "/loginit.txt").c_str());
  open();
  std::string blocked = dir + "/golfcourse.txt";
  remove(blocked.c_str());
  ASSERT_EQ(mkdir(blocked.c_str(), 0755), 0);
  mainwindestroy();
  ASSERT_EQ(gfake.boxes.size(), 1u);
  EXPECT_EQ(gfake.boxes[0].text, "golfcourse.txt を保存できませんでした\r\n\r\n" + dir +
                                     "\\golfcourse.txt\r\n書き込みが許可されていません (エラー 5)\r\n\r\n"
                                     "golfcourse.txt は変更していません。");
  EXPECT_EQ(gfake.boxes[0].caption, "Save Error");
  EXPECT_EQ(gfake.quitposted, 1);
  rmdir(blocked.c_str());
}

TEST_F(MainWindow, DialogsThatCannotOpenSayWhich) {
  open();
  gfake.dialogsfail = {IDD_SETTINGS, IDD_AREA};
  mainwincommand(IDC_SETTINGS, 0);
  mainwincommand(IDC_AREA, 0);
  ASSERT_EQ(gfake.boxes.size(), 2u);
  EXPECT_EQ(gfake.boxes[0].text, "CONFIGLOG");
  EXPECT_EQ(gfake.boxes[1].text, "CONFIGSS");
  EXPECT_EQ(gfake.boxes[1].caption, "Open error");
  EXPECT_EQ(gkesto.mw.setdlg, 0u);
}

TEST(FreeDisk, FigureTruncatesInOrderAndClamps) {
  fakereset();
  gfake.bps = 512;
  gfake.spc = 8;
  gfake.freeclusters = 2621440;  // 10 GiB
  EXPECT_EQ(freediskmb("D:\\games\\x"), 10240);
  EXPECT_EQ(gfake.lastdiskroot, "D:\\");
  gfake.freeclusters = 1023;  // less than 1024 clusters count as none
  EXPECT_EQ(freediskmb("C:\\"), 0);
  gfake.bps = 4096;
  gfake.spc = 128;
  gfake.freeclusters = 0xFFFFFFFF;  // just below 2 TiB in MiB: still fits
  EXPECT_EQ(freediskmb("C:\\"), 2147483136);
  gfake.spc = 255;  // beyond what 32 bits hold

  EXPECT_EQ(freediskmb("C:\\"), INT32_MAX);
  gfake.diskfails = 1;
  EXPECT_EQ(freediskmb("C:\\"), 0);
  EXPECT_EQ(freediskmb(""), 0);
}

TEST(StartUp, SecondCopyHandsOverAndEnds) {
  fakereset();
  OsWin first = fakeaddwindow(KESTO_CLASS, KESTO_TITLE, 0, 0, 10, 10);
  fakeaddwindow("Other", "other", 0, 0, 10, 10);
  gfake.mutexexists = 1;
  EXPECT_EQ(kestomain(1), 0);
  EXPECT_EQ(gfake.foreground, first);
  EXPECT_TRUE(gfake.boxes.empty());
}

TEST(StartUp, LongFolderIsRefusedWithAMessage) {
  fakereset();
  memset(&gkesto.set, 0, sizeof gkesto.set);
  gfake.cwd = "C:\\" + std::string(495, 'a');  // 498 bytes: golfcourse.txt would not fit
  EXPECT_EQ(kestomain(1), 0);
  ASSERT_EQ(gfake.boxes.size(), 1u);
  EXPECT_EQ(gfake.boxes[0].caption, "Open error");
  EXPECT_EQ(gkesto.set.inifile[0], 0);

  std::string ok = "C:\\" + std::string(493, 'a');  // 496 + 15 = 511 bytes
  EXPECT_TRUE(setpaths(ok.c_str()));
  EXPECT_EQ(strlen(gkesto.set.coursefile), 511u);
  EXPECT_STREQ(gkesto.set.gamelog + strlen(gkesto.set.gamelog) - 9, "\\golf.txt");
  EXPECT_TRUE(setpaths("C:\\"));
  EXPECT_STREQ(gkesto.set.inifile, "C:\\loginit.txt");
}

TEST(StartUp, MissingLayeredWindowsEndsAfterWindowCreated) {
  fakereset();
  std::string dir = maketempdir();
  gfake.cwd = dir;
  gfake.procaddressfails = 1;
  EXPECT_EQ(kestomain(1), 0);
  ASSERT_EQ(gfake.boxes.size(), 1u);
  EXPECT_EQ(gfake.boxes[0].caption, "Error");
  EXPECT_EQ(gfake.boxes[0].type, OS_MB_OK);
  EXPECT_NE(gfake.boxes[0].owner, 0u);
  removetree(dir);
}

}  // namespace
