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
#include "capture/area.h"
#include "config/setdlg.h"
#include "report/mkhtm.h"
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
    kestoreset();
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
    kestoreset();
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
  kestoreset();
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
  kestoreset();
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
  kestoreset();
  OsWin first = fakeaddwindow(KESTO_CLASS, KESTO_TITLE, 0, 0, 10, 10);
  fakeaddwindow("Other", "other", 0, 0, 10, 10);
  gfake.mutexexists = 1;
  EXPECT_EQ(kestomain(1), 0);
  EXPECT_EQ(gfake.foreground, first);
  EXPECT_TRUE(gfake.boxes.empty());
}

TEST(StartUp, LongFolderIsRefusedWithAMessage) {
  kestoreset();
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
  kestoreset();
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

// The user's own files are never replaced by defaults.  With READ_COURSE=1
// a golfcourse.txt that another program holds at start (no reading shared)
// is told, the built-in table is used, and the file is not written at exit
// although it is free by then.
const char* kreadcourses =
    "// loginit.txt\r\nHOME=C:\\kesto\r\nDGPATH=\r\nREAD_COURSE=1\r\nSAVE_COURSE=1\r\nIEXPLORE=0\r\n"
    "INTERVAL=3\r\nCAPTUREPAGE=100\r\nDEFAULTAREA=-29,-3,-3,-3\r\nCUSTOMAREA=-31,-5,-5,-5\r\n"
    "ENABLEAREA=2\r\nLOCKONWINDOW=1\r\nENABLECAPKEY=0\r\nSELECTCAPKEY=L-Alt // L-Alt R-Alt R-Ctrl F12\r\n";
const char* kusercourses = "# KESTO COURSE PAR\r\nCOURSENO: 1,112\r\nNAME: \"My own course\"\r\n";

TEST_F(MainWindow, ACourseFileHeldAtStartIsKeptAtExit) {
  const std::string courses = dir + "/golfcourse.txt";
  writefile(courses, kusercourses);
  gfake.locked.push_back(courses);
  open(kreadcourses);
  gfake.locked.clear();  // released before 終了
  EXPECT_STREQ(gkesto.courses[0].name, "札幌国際カントリークラブ　島松コース");  // the built-in table
  EXPECT_TRUE(gfake.boxes.empty());  // told once the window is up
  EXPECT_EQ(fakepump(), 1);
  ASSERT_EQ(gfake.boxes.size(), 1u);
  EXPECT_EQ(gfake.boxes[0].text, "コースデータ golfcourse.txt を読めませんでした\r\n\r\n" + dir +
                                     "\\golfcourse.txt\r\nほかのプログラムが使用中です (エラー 32)\r\n\r\n"
                                     "組み込みのコース表を使います。終了時に golfcourse.txt は保存しません。");
  EXPECT_EQ(gfake.boxes[0].caption, "Open error");
  EXPECT_EQ(gfake.boxes[0].owner, gkesto.mw.main);
  mainwincommand(IDC_END, 0);
  EXPECT_EQ(gfake.quitposted, 1);
  EXPECT_EQ(readfile(courses), kusercourses);
  EXPECT_EQ(gfake.boxes.size(), 1u);

  // Read whole, even a read at a time bringing less than asked, the file is
  // the table's and is written back at exit.
  kestoreset();
  gfake.cwd = dir;
  gfake.shortreads = -1;
  open(kreadcourses);
  gfake.shortreads = 0;
  EXPECT_STREQ(gkesto.courses[0].name, "My own course");
  EXPECT_EQ(fakepump(), 0);
  mainwincommand(IDC_END, 0);
  EXPECT_TRUE(gfake.boxes.empty());
  std::string written = readfile(courses);
  EXPECT_NE(written.find("NAME: \"My own course\"\r\n"), std::string::npos);
  EXPECT_NE(written.find("COURSENO: 103,"), std::string::npos);

  // One longer than the reader takes gives it its first part and is kept.
  kestoreset();
  gfake.cwd = dir;
  std::string longfile = kusercourses + std::string(70000, '#') + "\r\n";
  writefile(courses, longfile);
  open(kreadcourses);
  EXPECT_STREQ(gkesto.courses[0].name, "My own course");
  mainwincommand(IDC_END, 0);
  EXPECT_EQ(readfile(courses), longfile);
  EXPECT_TRUE(gfake.boxes.empty());
}

// A loginit.txt that is there but cannot be read is told at start; its
// start values never replace it or golfcourse.txt without the user's save.
TEST_F(MainWindow, AnUnreadableLoginitIsToldAndNothingIsReplacedByDefaults) {
  const std::string ini = dir + "/loginit.txt", courses = dir + "/golfcourse.txt";
  writefile(courses, kusercourses);
  writefile(ini, kreadcourses);
  gfake.locked.push_back(ini);
  OsWin w = open();
  gfake.locked.clear();
  EXPECT_EQ(gkesto.set.loadmask, 0);
  EXPECT_EQ(gkesto.set.savecourse, 1);  // the start values
  EXPECT_EQ(fakepump(), 1);
  ASSERT_EQ(gfake.boxes.size(), 1u);
  EXPECT_EQ(gfake.boxes[0].text, "設定ファイル loginit.txt を読めませんでした\r\n\r\n" + dir +
                                     "\\loginit.txt\r\nほかのプログラムが使用中です (エラー 32)\r\n\r\n"
                                     "設定は既定値で始めます。loginit.txt は「設定保存」で保存するまで書き換えません。\r\n"
                                     "終了時に golfcourse.txt も保存しません。");
  EXPECT_EQ(gfake.boxes[0].caption, "Open error");
  EXPECT_EQ(gfake.boxes[0].type, OS_MB_ICONERROR);

  // The capture area dialog's 保存 would write the start values of the
  // settings it does not show: it asks first, and いいえ writes nothing.
  mainwincommand(IDC_AREA, 0);
  OsWin area = fakefinddialog(IDD_AREA);
  ASSERT_NE(area, 0u);
  gfake.answers = {OS_IDNO};
  areadlgcommand(area, IDA_SAVE, OS_BN_CLICKED, 0);
  ASSERT_EQ(gfake.boxes.size(), 2u);
  EXPECT_EQ(gfake.boxes[1].type, OS_MB_ICONQUESTION | OS_MB_YESNO);
  EXPECT_NE(gfake.boxes[1].text.find("保存しますか？"), std::string::npos);
  EXPECT_EQ(readfile(ini), kreadcourses);

  // 終了: neither file is touched.
  mainwincommand(IDC_END, 0);
  EXPECT_EQ(gfake.quitposted, 1);
  EXPECT_EQ(readfile(ini), kreadcourses);
  EXPECT_EQ(readfile(courses), kusercourses);
  EXPECT_EQ(gfake.boxes.size(), 2u);
  (void)w;

  // 設定保存 is the user's own: it writes loginit.txt, and the area
  // dialog's 保存 asks no more after it.
  kestoreset();
  gfake.cwd = dir;
  gfake.locked.push_back(ini);
  open();
  gfake.locked.clear();
  fakepump();
  mainwincommand(IDC_SETTINGS, 0);
  OsWin set = fakefinddialog(IDD_SETTINGS);
  ASSERT_NE(set, 0u);
  setdlgcommand(set, IDC_SET_SAVE);
  EXPECT_EQ(gfake.boxes.back().caption, "Write OK");
  EXPECT_NE(readfile(ini), kreadcourses);
  EXPECT_EQ(gkesto.set.iniunread, 0);
  size_t boxes = gfake.boxes.size();
  mainwincommand(IDC_AREA, 0);
  areadlgcommand(fakefinddialog(IDD_AREA), IDA_SAVE, OS_BN_CLICKED, 0);
  ASSERT_EQ(gfake.boxes.size(), boxes + 1);
  EXPECT_EQ(gfake.boxes.back().caption, "Write OK");
  // golfcourse.txt stays: the table in force was never read from it.
  mainwincommand(IDC_END, 0);
  EXPECT_EQ(readfile(courses), kusercourses);

  // A first run (no loginit.txt) is not told, and the built-in table is
  // written as ever; so is it with READ_COURSE=0 and SAVE_COURSE=1.
  for (int firstrun = 1; firstrun >= 0; firstrun--) {
    SCOPED_TRACE(firstrun);
    kestoreset();
    gfake.cwd = dir;
    remove(ini.c_str());
    writefile(courses, kusercourses);
    if (!firstrun) {
      std::string t = kreadcourses;
      t.replace(t.find("READ_COURSE=1"), 13, "READ_COURSE=0");
      writefile(ini, t);
    }
    open();
    EXPECT_EQ(fakepump(), 0);
    mainwincommand(IDC_END, 0);
    EXPECT_TRUE(gfake.boxes.empty());
    EXPECT_NE(readfile(courses).find("NAME: \"札幌国際カントリークラブ　島松コース\"\r\n"), std::string::npos);
  }
}

// Windows ending the session while a page is half written (a question of
// "HTM作成" is up): the page is dropped, the earlier one stays whole.
TEST_F(MainWindow, TheSessionEndingMidPageLeavesTheEarlierPage) {
  char olddir[4096];
  ASSERT_TRUE(getcwd(olddir, sizeof olddir));
  ASSERT_EQ(chdir(dir.c_str()), 0);
  open();
  strcpy(gkesto.page.name, "log20090405_2107.html");
  writefile(dir + "/log20090405_2107.html", "the earlier page");
  ASSERT_EQ(mkhtm(&gkesto, 1, 0), 0);
  EXPECT_EQ(mainwinqueryend(), 1);
  mainwinendsession(1);
  EXPECT_EQ(gfake.quitposted, 1);
  EXPECT_EQ(readfile(dir + "/log20090405_2107.html"), "the earlier page");
  EXPECT_FALSE(osfindfile((dir + "/log20090405_2107.html.tmp").c_str()));
  EXPECT_EQ(fakeleftovers(), "");
  ASSERT_EQ(chdir(olddir), 0);
}

}  // namespace
