// The capture control against the fake desktop: the mode boxes, screenshots
// of clipboard images with the crop to the game window and its failures,
// bursts started and stopped by the clipboard and the capture key, written
// out to numbered files with their log, the shortcuts and the count field.
#include <gtest/gtest.h>

#include <cstring>
#include <dirent.h>
#include <string>
#include <sys/stat.h>
#include <vector>

#include "app/capctl.h"
#include "app/mainwin.h"
#include "app/startup.h"
#include "capture/burst.h"
#include "capture/capture.h"
#include "kesto.h"
#include "os/fake/fakeos.h"
#include "res/resource.h"
#include "support.h"

namespace {

const char* kgame = "ゴルフ漬け";

// Every file under dir (relative paths), sorted.
void listfiles(const std::string& dir, const std::string& rel, std::vector<std::string>& out) {
  DIR* d = opendir(dir.c_str());
  if (!d) return;
  while (dirent* e = readdir(d)) {
    std::string n = e->d_name;
    if (n == "." || n == "..") continue;
    std::string full = dir + "/" + n;
    struct stat st;
    if (stat(full.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) listfiles(full, rel + n + "/", out);
    else out.push_back(rel + n);
  }
  closedir(d);
  std::sort(out.begin(), out.end());
}

struct Bmp {
  int32_t w = 0, h = 0;
  std::string data;
  bool ok = false;
  uint32_t pixel(int x, int y) const {  // from the top left
    const uint8_t* p = (const uint8_t*)data.data() + 54 + (size_t)rowstride(w) * (size_t)(h - 1 - y) + 3 * (size_t)x;
    return (uint32_t)p[2] << 16 | (uint32_t)p[1] << 8 | p[0];
  }
};

Bmp readbmp(const std::string& path) {
  Bmp b;
  b.data = readfile(path);
  if (b.data.size() < 54 || b.data.compare(0, 2, "BM") != 0) return b;
  const uint8_t* p = (const uint8_t*)b.data.data();
  b.w = (int32_t)get32(p + 18);
  b.h = (int32_t)get32(p + 22);
  b.ok = get32(p + 2) == b.data.size() && get16(p + 28) == 24 &&
         b.data.size() == 54 + (size_t)rowstride(b.w) * (size_t)b.h && get32(p + 34) == b.data.size() - 54;
  return b;
}

// The DATA lines of a burst log.
int datalines(const std::string& log) {
  int n = 0;
  for (size_t p = log.find("DATA c"); p != std::string::npos; p = log.find("DATA c", p + 1)) n++;
  return n;
}

class CapCtl : public ::testing::Test {
 protected:
  std::string dir, golf;
  OsWin main = 0;

  void SetUp() override {
    kestoreset();
    dir = maketempdir();
    gfake.cwd = dir;
    std::string gamedir = dir + "/GOLFDUKE_game_folder_of_the_capture_tests";
    mkdir(gamedir.c_str(), 0755);
    golf = gamedir + "/golf.txt";
    writefile(golf, "** Stroke Begin **\r\n");
  }
  void TearDown() override {
    // Whatever a test left in memory is freed, so the sanitizer sees the
    // engine's own leaks only.
    gfake.blocks.clear();
    if (gkesto.burst.log) osclosehandle(gkesto.burst.log);
    gkesto.burst.log = 0;
    removetree(dir);
  }

  void start(int row = 7, int pages = 100, int capkeymode = 0, const char* capkey = "L-Alt") {
    std::string ini = "// loginit.txt\r\nHOME=" + dir + "\r\nDGPATH=" + golf +
                      "\r\nREAD_COURSE=0\r\nSAVE_COURSE=0\r\nIEXPLORE=0\r\nINTERVAL=" + std::to_string(row) +
                      "\r\nCAPTUREPAGE=" + std::to_string(pages) +
                      "\r\nDEFAULTAREA=-29,-3,-3,-3\r\nCUSTOMAREA=-31,-5,-5,-5\r\n"
                      "ENABLEAREA=0\r\nLOCKONWINDOW=1\r\nENABLECAPKEY=" + std::to_string(capkeymode) +
                      "\r\nSELECTCAPKEY=" + capkey + "\r\n";
    writefile(dir + "/loginit.txt", ini);
    ASSERT_TRUE(setpaths(dir.c_str()));
    main = oscreatemaindialog(&kestohandlers);
    mainwincommand(IDC_START, 0);
    ASSERT_TRUE(fakefindtimer(main, 1));
  }
  // n timer-1 ticks while timer 1 runs; the clock moves one period each.
  void tick(int n = 1) {
    for (int i = 0; i < n; i++) {
      gfake.perfcount += (int64_t)gkesto.mw.period * 10000;
      gfake.localtime.ms = (uint16_t)((gfake.localtime.ms + gkesto.mw.period) % 1000);
      if (fakefindtimer(main, 1)) mainwintimer(1);
    }
  }
  // A timer-2 tick, then the clicks it posted.
  void poll() {
    if (fakefindtimer(main, 2)) mainwintimer(2);
    fakepump();
  }
  void click(int id, int check) {
    oscheckdlgbutton(main, id, check);
    mainwincommand(id, OS_BN_CLICKED);
  }
  std::string item(int id) { return fakeitemtext(main, id); }
  std::vector<std::string> files() {
    std::vector<std::string> out;
    listfiles(dir, "", out);
    std::vector<std::string> caps;
    // A burst's viewer page has tests of its own (BurstViewer): these count
    // the frames and logs.
    for (auto& f : out)
      if ((f.rfind("ss", 0) == 0 || f.rfind("cap", 0) == 0) && f.find("index.html") == std::string::npos)
        caps.push_back(f);
    return caps;
  }
  // The game window in front, found by the watcher.
  OsWin game(int l, int t, int r, int b) {
    OsWin g = fakeaddwindow("GAME", kgame, l, t, r, b);
    tick(gkesto.mw.pace.ticks1s);
    EXPECT_EQ(gkesto.mw.watch.gamewin, g);
    return g;
  }
  size_t boxes(const char* caption) {
    size_t n = 0;
    for (auto& b : gfake.boxes) n += b.caption == caption;
    return n;
  }
};

}  // namespace

TEST_F(CapCtl, TheModeBoxesExcludeEachOther) {
  start();
  click(IDC_SS, 1);
  EXPECT_EQ(gkesto.mw.cap.mode, ScreenshotMode);
  click(IDC_BURST, 1);
  EXPECT_EQ(gkesto.mw.cap.mode, BurstMode);
  EXPECT_EQ(osisdlgbuttonchecked(main, IDC_SS), 0);
  EXPECT_EQ(gkesto.mw.cap.prevmode, ScreenshotMode);
  click(IDC_BURST, 0);
  EXPECT_EQ(gkesto.mw.cap.mode, CaptureOff);
  // Unchecking a box that was not the mode in force changes nothing.
  click(IDC_SS, 1);
  oscheckdlgbutton(main, IDC_BURST, 0);
  mainwincommand(IDC_BURST, OS_BN_CLICKED);
  EXPECT_EQ(gkesto.mw.cap.mode, ScreenshotMode);
}

TEST_F(CapCtl, AScreenshotIsCutToTheGameWindowInFrontOnAnUnalignedScreen) {
  gfake.screenw = 1366;
  gfake.screenh = 768;
  start();
  OsWin g = game(101, 33, 101 + 643, 33 + 509);  // odd width: rows of 1932 bytes
  click(IDC_SS, 1);
  gfake.localtime = OsTime{2009, 4, 0, 5, 9, 5, 7, 42};
  fakeclipimage(1366, 768);
  mainwintimer(1);
  std::vector<std::string> f = files();
  ASSERT_EQ(f, std::vector<std::string>{"ss200904/d05/KestoSS_20090405_0905_07_042.bmp"});
  Bmp b = readbmp(dir + "/" + f[0]);
  ASSERT_TRUE(b.ok);
  EXPECT_EQ(b.w, 643);
  EXPECT_EQ(b.h, 509);
  for (int y : {0, 1, 254, 508})
    for (int x : {0, 1, 321, 642}) ASSERT_EQ(b.pixel(x, y), fakepixel(101 + x, 33 + y)) << x << "," << y;
  EXPECT_EQ(get32((const uint8_t*)b.data.data() + 38), 3780u) << "resolution as the system reports it";
  EXPECT_EQ(gfake.clipimage, 0u) << "the clipboard is emptied";
  EXPECT_TRUE(gfake.boxes.empty());

  // The same image is never saved twice.
  OsHandle same = gfake.images.back().handle;
  gfake.clipimage = same;
  tick(3);
  EXPECT_EQ(files().size(), 1u);

  // Another window in front: the whole screen.
  OsWin other = fakeaddwindow("OTHER", "メモ帳", 0, 0, 50, 50);
  gfake.localtime.second = 9;
  fakeclipimage(1366, 768);
  tick();
  f = files();
  ASSERT_EQ(f.size(), 2u);
  b = readbmp(dir + "/" + f[1]);
  ASSERT_TRUE(b.ok);
  EXPECT_EQ(b.w, 1366);
  EXPECT_EQ(b.h, 768);
  EXPECT_EQ(b.pixel(1365, 767), fakepixel(1365, 767));
  (void)g;
  (void)other;
}

TEST_F(CapCtl, AGameWindowOffTheDesktopIsNotCutAndChecksPauseAboutThreeSeconds) {
  start(1);
  game(-8, 100, 632, 580);
  click(IDC_SS, 1);
  fakeclipimage(1280, 1024);
  tick();
  ASSERT_EQ(boxes("Capture RECT is out of window"), 1u);
  EXPECT_EQ(gfake.boxes.back().text,
            "rectdgwin.left = -8\r\nrectdgwin.top = 100\r\nrectdgwin.right = 632\r\nrectdgwin.bottom = 580\r\n\r\n"
            "ゴルフ漬けのウインドウがデスクトップをはみ出しています。");
  EXPECT_EQ(gfake.boxes.back().timers, 0u) << "the timers stop while the box is up";
  std::vector<std::string> f = files();
  ASSERT_EQ(f.size(), 1u);
  EXPECT_EQ(readbmp(dir + "/" + f[0]).w, 1280) << "a waiting image is saved whole";
  // B ticks without checks, then the next check shows the box again.
  int b = gkesto.mw.pace.ticks3s;
  tick(b - 1);
  EXPECT_EQ(boxes("Capture RECT is out of window"), 1u);
  tick();
  EXPECT_EQ(boxes("Capture RECT is out of window"), 2u);
}

TEST_F(CapCtl, TheGameWindowGoneEndsTheGameWithoutAWatcherStep) {
  start(7);
  OsWin g = game(0, 0, 640, 480);
  click(IDC_SS, 1);
  fakeclosewindow(g);
  int ticks = gkesto.mw.watch.ticks;
  tick();
  ASSERT_EQ(boxes("Process Not found"), 1u);
  EXPECT_EQ(gfake.boxes.back().text, "ゴルフ漬けウインドウが見つかりません");
  EXPECT_EQ(gfake.boxes.back().type, OS_MB_SYSTEMMODAL | OS_MB_ICONERROR);
  EXPECT_EQ(gkesto.mw.watch.state, GameEnded);
  EXPECT_EQ(gkesto.mw.watch.delay, gkesto.mw.pace.ticks1s);
  EXPECT_EQ(gkesto.mw.watch.gamewin, 0u);
  EXPECT_EQ(gkesto.mw.watch.following, 0);
  EXPECT_EQ(gkesto.mw.watch.ticks, ticks) << "no watcher step in that tick";
  EXPECT_EQ(item(IDC_STATUSLINE), "ゴルフ漬け が終了しました");
  EXPECT_TRUE(fakefindtimer(main, 1) && fakefindtimer(main, 2));
  // B - A ticks later the watcher looks for the game again.
  tick(gkesto.mw.pace.ticks3s - gkesto.mw.pace.ticks1s);
  EXPECT_EQ(gkesto.mw.watch.state, SeekGame);
}

TEST_F(CapCtl, TheDesktopMayBe2560By1638AndNotAPixelMore) {
  gfake.screenw = 2560;
  gfake.screenh = 1638;
  start();
  click(IDC_SS, 1);
  tick(3);
  EXPECT_EQ(gkesto.mw.cap.mode, ScreenshotMode);
  EXPECT_TRUE(gfake.boxes.empty());
  gkesto.mw.screenh = 1639;
  tick(3);
  EXPECT_EQ(boxes("desktop over"), 1u);
  EXPECT_EQ(gfake.boxes.back().text,
            "パソコンのデスクトップが大きすぎます。\r\n\r\n面積を　2560 x 1638 ピクセル以下にしてください。");
  EXPECT_EQ(gkesto.mw.cap.mode, CaptureOff);
  EXPECT_EQ(osisdlgbuttonchecked(main, IDC_SS), 0);
}

TEST_F(CapCtl, AClipboardImageTooLargeForTheBuffersIsSkippedOnce) {
  start();
  click(IDC_SS, 1);
  gfake.clipboardopen = 0;
  fakeclipimage(2400, 2400);  // 17,280,000 bytes of rows
  tick();
  EXPECT_EQ(boxes("Error"), 1u);
  EXPECT_EQ(gfake.rowsfetched, 0);
  EXPECT_TRUE(files().empty());
  tick(5);
  EXPECT_EQ(boxes("Error"), 1u);
  // One whose rows cannot be read is told once and stays on the clipboard.
  OsHandle unreadable = fakeclipimage(640, 480);
  gfake.images.back().rowsfail = 1;
  tick(5);
  ASSERT_EQ(boxes("Error"), 2u);
  EXPECT_EQ(gfake.boxes.back().text,
            "クリップボードの画像を読み取れないため保存しませんでした\r\n\r\n画像はクリップボードに残しています。");
  EXPECT_EQ(gfake.clipimage, unreadable);
  EXPECT_TRUE(files().empty());
  // One that fits is saved as usual.
  fakeclipimage(2560, 1638);
  tick();
  EXPECT_EQ(files().size(), 1u);
}

TEST_F(CapCtl, AScreenshotFolderThatCannotBeMadeIsSaidAndNothingIsWritten) {
  start();
  click(IDC_SS, 1);
  gfake.localtime = OsTime{2009, 4, 0, 5, 9, 5, 7, 42};
  writefile(dir + "/ss200904", "a file where the folder should be");
  fakeclipimage(640, 480);
  tick();
  ASSERT_EQ(boxes("DIR"), 1u);
  EXPECT_EQ(gfake.boxes.back().text, "フォルダを作成できませんでした");
  EXPECT_EQ(gfake.boxes.back().timers, 0u);
  EXPECT_TRUE(fakefindtimer(main, 1) && fakefindtimer(main, 2));
}

// A burst of 5 frames at row 7, started by a clipboard image.
TEST_F(CapCtl, ABurstOfFivePagesWritesFiveFramesAndItsLog) {
  start(7, 5);
  click(IDC_BURST, 1);
  OsWin area = fakeaddwindow("OTHER", "area", 20, 10, 20 + 641, 10 + 480);
  gfake.localtime = OsTime{2009, 4, 0, 5, 14, 3, 22, 187 - 29};  // the tick moves the clock first
  fakeclipimage(1280, 1024);
  tick();
  EXPECT_EQ(gkesto.mw.cap.burst, BurstRunning);
  EXPECT_EQ(gkesto.burst.planned, 5);
  EXPECT_EQ(gkesto.burst.taken, 1);
  EXPECT_EQ(gfake.pbrangehi, 5u);
  EXPECT_EQ(gfake.pbcolor, 0xFF0000u);
  // Blue on a themed Windows too: the bar is drawn without visual styles.
  EXPECT_EQ(gfake.unstyled, std::vector<OsWin>{gkesto.mw.progress});
  EXPECT_EQ(gfake.clipimage, gfake.images.back().handle) << "a burst leaves the image in the clipboard";
  tick(3);
  EXPECT_EQ(gkesto.burst.taken, 4);
  EXPECT_EQ(gfake.pbpos, 4u);
  EXPECT_EQ(item(IDC_FITS), "1");
  EXPECT_EQ(gfake.blocks.size(), 4u);
  tick();  // the fifth frame, then the write-out at once
  EXPECT_EQ(gkesto.mw.cap.burst, BurstIdle);
  EXPECT_TRUE(gfake.blocks.empty());
  EXPECT_EQ(gkesto.burst.log, 0u);
  EXPECT_EQ(gkesto.mw.cap.toggled, 0);
  std::vector<std::string> f = files();
  const std::string folder = "cap200904/d05_1403_22_18/";
  ASSERT_EQ(f, (std::vector<std::string>{folder + "c00001.bmp", folder + "c00002.bmp", folder + "c00003.bmp",
                                         folder + "c00004.bmp", folder + "c00005.bmp", folder + "c1403_22_187.txt"}));
  for (int i = 0; i < 5; i++) {
    Bmp b = readbmp(dir + "/" + f[i]);
    ASSERT_TRUE(b.ok) << f[i];
    EXPECT_EQ(b.w, 641);
    EXPECT_EQ(b.h, 480);
    EXPECT_EQ(b.pixel(640, 479), fakepixel(20 + 640, 10 + 479));
  }
  std::string log = readfile(dir + "/" + f[5]);
  EXPECT_EQ(log.substr(0, log.find('\n') + 1), "disk free = 10240 MB\r\n");
  EXPECT_NE(log.find("DATA c00001.bmp Tic=  0 ms date 20090405_14:03_22.187\r\n"), std::string::npos) << log;
  EXPECT_NE(log.find("DATA c00002.bmp Tic= 29 ms date 20090405_14:03_22.216\r\n"), std::string::npos) << log;
  EXPECT_NE(log.find("DATA c00005.bmp Tic= 29 ms"), std::string::npos) << log;
  EXPECT_EQ(log.find("c00006"), std::string::npos);
  (void)area;
}

// The clock set back to the same hundredth: the second burst goes to a folder
// of its own, and the first burst's frames and log stay as they were.
TEST_F(CapCtl, ABurstAtATimeAlreadyUsedKeepsTheEarlierFolder) {
  start(7, 2);
  click(IDC_BURST, 1);
  fakeaddwindow("OTHER", "area", 20, 10, 20 + 64, 10 + 48);
  const OsTime at{2009, 4, 0, 5, 14, 3, 22, 187 - 29};
  gfake.localtime = at;
  fakeclipimage(1280, 1024);
  tick(2);
  ASSERT_EQ(gkesto.mw.cap.burst, BurstIdle);
  const std::string first = "cap200904/d05_1403_22_18/", second = "cap200904/d05_1403_22_18_2/";
  std::vector<std::string> before = files();
  ASSERT_EQ(before, (std::vector<std::string>{first + "c00001.bmp", first + "c00002.bmp", first + "c1403_22_187.txt"}));
  std::string log = readfile(dir + "/" + first + "c1403_22_187.txt");
  std::string frame = readfile(dir + "/" + first + "c00001.bmp");
  fakeaddwindow("OTHER", "area", 30, 10, 30 + 80, 10 + 48);  // another window in front, another size
  gfake.localtime = at;
  fakeclipimage(1280, 1024);
  tick(2);
  ASSERT_EQ(gkesto.mw.cap.burst, BurstIdle);
  EXPECT_EQ(files(), (std::vector<std::string>{first + "c00001.bmp", first + "c00002.bmp", first + "c1403_22_187.txt",
                                               second + "c00001.bmp", second + "c00002.bmp",
                                               second + "c1403_22_187.txt"}));
  EXPECT_EQ(readfile(dir + "/" + first + "c1403_22_187.txt"), log);
  EXPECT_TRUE(readfile(dir + "/" + first + "c00001.bmp") == frame) << "the first burst's frame was overwritten";
  EXPECT_EQ(readbmp(dir + "/" + second + "c00001.bmp").w, 80);

  // With "_3" to "_99" taken as well, the burst is refused before anything is
  // written, and every earlier folder is left as it was.
  for (int k = 3; k <= 99; k++) mkdir((dir + "/cap200904/d05_1403_22_18_" + std::to_string(k)).c_str(), 0755);
  before = files();
  gfake.boxes.clear();
  gfake.localtime = at;
  fakeclipimage(1280, 1024);
  tick(2);
  EXPECT_EQ(gkesto.mw.cap.burst, BurstIdle);
  ASSERT_FALSE(gfake.boxes.empty());
  EXPECT_EQ(gfake.boxes.back().text, "フォルダを作成できませんでした\r\n\r\n連写は中止しました。");
  EXPECT_EQ(files(), before);
  EXPECT_EQ(gkesto.burst.log, 0u);
}

TEST_F(CapCtl, StraightToDiskWritesEachFrameAsItIsTaken) {
  start(1, 3);
  click(IDC_BURST, 1);
  fakeaddwindow("OTHER", "area", 0, 0, 64, 48);
  fakeclipimage(1280, 1024);
  tick();
  EXPECT_EQ(gkesto.burst.straight, 1);
  EXPECT_TRUE(gfake.blocks.empty()) << "no frame is kept";
  EXPECT_EQ(gkesto.burst.ondisk, 1);
  tick(2);
  EXPECT_EQ(gkesto.burst.ondisk, 3);
  EXPECT_EQ(gkesto.burst.log, 0u) << "the log closes with the last frame";
  EXPECT_EQ(gkesto.mw.cap.burst, BurstIdle);
  std::vector<std::string> f = files();
  ASSERT_EQ(f.size(), 4u);
  std::string log = readfile(dir + "/" + f[3]);
  EXPECT_NE(log.find("DATA c00003.bmp Tic=495 ms"), std::string::npos) << log;
  EXPECT_EQ(gfake.allocs, 3);
}

TEST_F(CapCtl, TheTriggersFollowTheCaptureKeyMode) {
  for (int mode : {0, 1, 2}) {
    SetUp();
    start(7, 0, mode, "F12");
    click(IDC_BURST, 1);
    fakeaddwindow("OTHER", "area", 0, 0, 64, 48);
    fakeclipimage(1280, 1024);
    tick();
    bool byclip = gkesto.mw.cap.burst == BurstRunning;
    EXPECT_EQ(byclip, mode != 1) << "mode " << mode;
    if (byclip) {
      // A second image stops it.
      fakeclipimage(1280, 1024);
      tick();
      EXPECT_NE(gkesto.mw.cap.burst, BurstRunning) << "mode " << mode;
      tick(5);
      EXPECT_EQ(gkesto.mw.cap.burst, BurstIdle) << "mode " << mode;
    }
    gfake.keystate[0x7B] = 0x8000;
    poll();
    bool bykey = gkesto.mw.cap.burst == BurstRunning;
    EXPECT_EQ(bykey, mode != 0) << "mode " << mode;
    poll();  // held: no second toggle
    EXPECT_EQ(gkesto.mw.cap.burst == BurstRunning, bykey) << "mode " << mode;
    gfake.keystate[0x7B] = 0;
    poll();
    if (bykey) {
      tick(3);
      gfake.keystate[0x7B] = 0x8001;
      poll();
      EXPECT_NE(gkesto.mw.cap.burst, BurstRunning) << "mode " << mode;
      tick(400);
      EXPECT_EQ(gkesto.mw.cap.burst, BurstIdle) << "mode " << mode;
    }
    EXPECT_TRUE(gfake.blocks.empty()) << "mode " << mode;
    TearDown();
  }
}

TEST_F(CapCtl, ShortcutsFireOncePerPressWithLeftCtrl) {
  start(7, 100);
  ASSERT_EQ(item(IDC_COUNT), "100");
  gfake.keystate[0x31] = 0x8000;
  poll();
  EXPECT_EQ(item(IDC_COUNT), "100") << "1 without left Ctrl does nothing";
  EXPECT_EQ(gkesto.set.work.capturepage, 100);
  gfake.keystate[0x31] = 0;
  poll();
  gfake.keystate[OS_VK_LCONTROL] = 0x8000;
  gfake.keystate[0x31] = 0x8000;
  poll();
  EXPECT_EQ(item(IDC_COUNT), "1");
  EXPECT_EQ(gkesto.set.work.capturepage, 1);
  gkesto.set.work.capturepage = 7;  // held: not set again
  poll();
  poll();
  EXPECT_EQ(gkesto.set.work.capturepage, 7);
  gfake.keystate[0x31] = 0;
  poll();
  gfake.keystate[0x31] = 0x8000;
  poll();
  EXPECT_EQ(gkesto.set.work.capturepage, 1) << "pressed again: set again";
  gfake.keystate[0x31] = 0;
  gfake.keystate[0x30] = 0x8000;
  poll();
  EXPECT_EQ(gkesto.set.work.capturepage, 0);
  gfake.keystate[0x30] = 0;
  gfake.keystate[0x52] = 0x8000;
  poll();
  EXPECT_EQ(item(IDC_COUNT), "100") << "R: the saved count";
  EXPECT_EQ(gkesto.set.work.capturepage, 100);
  gfake.keystate[0x52] = 0;
  gfake.keystate[OS_VK_F1] = 0x8000;
  poll();
  EXPECT_EQ(gkesto.mw.cap.mode, ScreenshotMode);
  gfake.keystate[OS_VK_F2] = 0x8000;
  poll();
  EXPECT_EQ(gkesto.mw.cap.mode, BurstMode);
  EXPECT_EQ(osisdlgbuttonchecked(main, IDC_SS), 0);
  gfake.keystate[OS_VK_F1] = 0;
  poll();
  gfake.keystate[OS_VK_F1] = 0x8000;
  poll();
  EXPECT_EQ(osisdlgbuttonchecked(main, IDC_SS), 1);
  EXPECT_EQ(osisdlgbuttonchecked(main, IDC_BURST), 0);
  oscheckdlgbutton(main, IDC_BURST, 1);  // both checked, as only a program can leave them
  gfake.keystate[OS_VK_F3] = 0x8000;
  poll();
  EXPECT_EQ(osisdlgbuttonchecked(main, IDC_SS), 0);
  EXPECT_EQ(osisdlgbuttonchecked(main, IDC_BURST), 0);
  EXPECT_EQ(gkesto.mw.cap.mode, CaptureOff);
}

TEST_F(CapCtl, TheCountFieldClampsAndRefusesChangesDuringABurst) {
  start(7, 100);
  ossetdlgitemtext(main, IDC_COUNT, "100000");
  EXPECT_EQ(gkesto.set.work.capturepage, 99999);
  EXPECT_EQ(item(IDC_COUNT), "100000") << "the field is not rewritten";
  ossetdlgitemtext(main, IDC_COUNT, "4294967295");
  EXPECT_EQ(gkesto.set.work.capturepage, 99999) << "2^31 or more is large, never negative";
  ossetdlgitemtext(main, IDC_COUNT, "2147483648");
  EXPECT_EQ(gkesto.set.work.capturepage, 99999);
  ossetdlgitemtext(main, IDC_COUNT, "-3");
  EXPECT_EQ(gkesto.set.work.capturepage, 0);
  ossetdlgitemtext(main, IDC_COUNT, "50");
  EXPECT_EQ(gkesto.set.work.capturepage, 50);

  click(IDC_BURST, 1);
  fakeaddwindow("OTHER", "area", 0, 0, 64, 48);
  fakeclipimage(640, 480);
  tick();
  ASSERT_EQ(gkesto.mw.cap.burst, BurstRunning);
  ossetdlgitemtext(main, IDC_COUNT, "7");
  ASSERT_EQ(boxes("STOP"), 1u);
  EXPECT_EQ(gfake.boxes.back().text, "連写中にこの操作はできません");
  EXPECT_EQ(gfake.boxes.back().timers, 1u) << "timer 2 keeps running";
  EXPECT_EQ(item(IDC_COUNT), "50");
  EXPECT_EQ(gkesto.set.work.capturepage, 50);
  EXPECT_EQ(gkesto.mw.cap.countguard, 0);
  EXPECT_TRUE(fakefindtimer(main, 1));
}

// A frame the window outgrew mid-burst cannot be a BMP file: it alone is
// skipped, with its log line, and told; the frames after it are written.
TEST_F(CapCtl, AFrameFailingTheFileCheckIsTheOnlyOneSkipped) {
  start(7, 8);
  click(IDC_BURST, 1);
  OsWin area = fakeaddwindow("OTHER", "area", 0, 0, 64, 48);
  gfake.localtime = OsTime{2009, 4, 0, 5, 14, 3, 22, 187};
  fakeclipimage(640, 480);
  tick(3);
  ASSERT_EQ(gkesto.burst.taken, 3);
  // The fourth frame is larger than any frame file may be.
  fakewindow(area)->rect[2] = 3000;
  fakewindow(area)->rect[3] = 1500;
  tick();
  fakewindow(area)->rect[2] = 64;
  fakewindow(area)->rect[3] = 48;
  tick(3);
  ASSERT_EQ(gkesto.burst.taken, 7);
  EXPECT_EQ(gfake.blocks.size(), 7u);
  tick();  // the eighth frame, then the write-out
  EXPECT_EQ(gkesto.mw.cap.burst, BurstIdle);
  EXPECT_TRUE(gfake.blocks.empty());
  EXPECT_EQ(gkesto.burst.log, 0u) << "the log is closed";
  std::vector<std::string> f = files();
  ASSERT_EQ(f.size(), 8u) << "seven frames and the log";
  for (int k : {1, 2, 3, 5, 6, 7, 8}) {
    char name[16];
    snprintf(name, sizeof name, "c%05d.bmp", k);
    EXPECT_NE(std::find_if(f.begin(), f.end(), [&](const std::string& x) { return x.find(name) != std::string::npos; }),
              f.end())
        << name;
  }
  std::string log = readfile(dir + "/" + f.back());
  EXPECT_EQ(datalines(log), 7);
  EXPECT_EQ(log.find("DATA c00004.bmp"), std::string::npos) << "no line for the skipped frame";
  EXPECT_NE(log.find("DATA c00008.bmp"), std::string::npos);
  ASSERT_EQ(boxes("Error"), 1u);
  EXPECT_EQ(gfake.boxes.back().text,
            "連写の画像 1 枚は大きすぎて BMP ファイルにできないため飛ばしました (最初は c00004.bmp)。\r\n"
            "その画像のログの行もありません。");
  EXPECT_EQ(item(IDC_STATUSLINE), "連写の保存を終えました (飛ばした画像 1 枚、取り込めなかった 0 回、ログの失敗 0 行)");
  // The next burst starts clean.
  fakeclipimage(640, 480);
  tick(10);
  EXPECT_EQ(gkesto.mw.cap.burst, BurstIdle);
  EXPECT_EQ(boxes("Error"), 1u);
  EXPECT_TRUE(gfake.blocks.empty());
}

// A grab that copies nothing is no frame: no number, no file, no log line;
// its interval goes to the next frame's Tic, and the failed grabs are told
// when the burst is over.
TEST_F(CapCtl, AFailedGrabIsNoFrameAndItsIntervalGoesToTheNext) {
  start(7, 4);
  click(IDC_BURST, 1);
  fakeaddwindow("OTHER", "area", 0, 0, 64, 48);
  fakeclipimage(640, 480);
  tick();  // frame 1
  gfake.grabfails = 2;
  gfake.blitfails = 1;
  tick(3);  // no frame
  ASSERT_EQ(gkesto.burst.taken, 1);
  tick(3);
  ASSERT_EQ(gkesto.mw.cap.burst, BurstIdle);
  std::vector<std::string> f = files();
  ASSERT_EQ(f.size(), 5u);
  for (int i = 0; i < 4; i++) EXPECT_TRUE(readbmp(dir + "/" + f[(size_t)i]).ok) << f[(size_t)i];
  std::string log = readfile(dir + "/" + f.back());
  EXPECT_EQ(datalines(log), 4);
  EXPECT_NE(log.find("DATA c00002.bmp Tic=116 ms"), std::string::npos) << "three failed grabs and a frame: " << log;
  EXPECT_NE(log.find("DATA c00003.bmp Tic= 29 ms"), std::string::npos) << log;
  ASSERT_EQ(boxes("Error"), 1u);
  EXPECT_EQ(gfake.boxes.back().text, "画面を取り込めなかった 3 回は画像にしていません。");
  EXPECT_EQ(fakeleftovers(), "");
}

TEST_F(CapCtl, AFrameThatCannotBeAllocatedEndsTheBurstWithTheFramesTaken) {
  start(7, 100);
  click(IDC_BURST, 1);
  fakeaddwindow("OTHER", "area", 0, 0, 64, 48);
  gfake.allocfailat = 4;
  fakeclipimage(640, 480);
  tick(4);
  EXPECT_EQ(gkesto.mw.cap.burst, BurstIdle);
  EXPECT_EQ(files().size(), 4u);
  EXPECT_TRUE(gfake.blocks.empty());
}

TEST_F(CapCtl, LeavingBurstModeWritesTheFramesOutTenPerTickAndTakesNoMore) {
  start(7, 0);
  click(IDC_BURST, 1);
  fakeaddwindow("OTHER", "area", 0, 0, 16, 16);
  fakeclipimage(640, 480);
  tick(25);
  ASSERT_EQ(gkesto.burst.taken, 25);
  click(IDC_SS, 1);
  EXPECT_EQ(gkesto.mw.cap.mode, ScreenshotMode);
  long grabs = gfake.grabs;
  tick();
  EXPECT_EQ(gkesto.burst.written, 10);
  EXPECT_EQ(gkesto.mw.cap.burst, BurstWriting) << "no frame is taken any more, even if 連写 comes back";
  EXPECT_EQ(gfake.pbpos, 15u);
  tick(2);
  EXPECT_EQ(gkesto.burst.written, 25);
  EXPECT_EQ(gkesto.mw.cap.burst, BurstIdle);
  EXPECT_EQ(gfake.grabs, grabs);
  EXPECT_TRUE(gfake.blocks.empty());
}

// Less free memory than the reserve plans no frame: the burst is refused
// with a message, makes no folder and takes nothing.
TEST_F(CapCtl, ABurstBelowTheMemoryReserveIsRefused) {
  start(7, 100);
  click(IDC_BURST, 1);
  fakeaddwindow("OTHER", "area", 0, 0, 640, 480);
  gfake.availphys = 1048576u * 63;
  fakeclipimage(640, 480);
  tick();
  ASSERT_EQ(boxes("Memory is too small"), 1u);
  EXPECT_EQ(gfake.boxes.back().text, "空きメモリが足りません\r\n\r\n連写は中止しました。");
  EXPECT_EQ(gfake.boxes.back().type, (uint32_t)(OS_MB_SYSTEMMODAL | OS_MB_ICONERROR));
  EXPECT_EQ(gkesto.mw.cap.burst, BurstIdle);
  EXPECT_EQ(gkesto.mw.cap.toggled, 0);
  EXPECT_EQ(gfake.allocs, 0);
  EXPECT_TRUE(files().empty());
  EXPECT_TRUE(fakefindtimer(main, 1) && fakefindtimer(main, 2));
  tick(3);
  EXPECT_EQ(boxes("Memory is too small"), 1u) << "the same image starts nothing again";
}

TEST_F(CapCtl, TheEstimateShowsZeroBelowTheMemoryReserve) {
  start(7);
  click(IDC_BURST, 1);
  fakeaddwindow("OTHER", "area", 0, 0, 640, 480);
  gfake.availphys = 1073741824u;
  tick(gkesto.mw.pace.ticks1s + 1);
  EXPECT_EQ(item(IDC_FREEMEM), "1024");
  EXPECT_EQ(item(IDC_FITS), std::to_string((1073741824LL - 67108864) / 10 * 9 / (1920LL * 480 + 74)));
  gfake.availphys = 1048576u * 20;
  tick(gkesto.mw.pace.ticks1s + 1);
  EXPECT_EQ(item(IDC_FITS), "0");
  EXPECT_EQ(item(IDC_FREEMEM), "20");
}

// A trigger while a burst has frames in memory never starts another over
// them, whatever the 連写 box did meanwhile; a burst of count 0 stops too.
TEST_F(CapCtl, ATriggerAfterTheBurstBoxClearedAndTickedAgainNeverStartsABurstOverFramesInMemory) {
  for (int pages : {300, 0}) {
    SetUp();
    start(7, pages);
    click(IDC_BURST, 1);
    fakeaddwindow("OTHER", "area", 0, 0, 32, 24);
    fakeclipimage(640, 480);
    tick(60);
    ASSERT_EQ(gkesto.burst.taken, 60);
    click(IDC_BURST, 0);
    tick();
    long grabs = gfake.grabs;
    click(IDC_BURST, 1);
    tick();
    EXPECT_EQ(gfake.grabs, grabs) << "pages " << pages << ": no frame is taken after 連写 was cleared";
    ASSERT_EQ(gkesto.burst.written, 20);
    fakeclipimage(640, 480);  // the trigger
    tick(5);
    EXPECT_EQ(gkesto.mw.cap.burst, BurstIdle) << "pages " << pages;
    EXPECT_EQ(gfake.grabs, grabs) << "pages " << pages << ": no second burst";
    std::vector<std::string> f = files();
    ASSERT_EQ(f.size(), 61u) << "pages " << pages << ": 60 frames and one log";
    EXPECT_EQ(datalines(readfile(dir + "/" + f.back())), 60);
    EXPECT_EQ(fakeleftovers(), "") << "pages " << pages;
    // Once it is written out, the next trigger starts a new burst; a trigger
    // then stops it, even with a count of 0.
    fakeclipimage(640, 480);
    tick(3);
    EXPECT_EQ(gkesto.mw.cap.burst, BurstRunning);
    fakeclipimage(640, 480);
    tick(2);
    EXPECT_EQ(gkesto.mw.cap.burst, BurstIdle) << "pages " << pages;
    EXPECT_EQ(fakeleftovers(), "") << "pages " << pages;
    TearDown();
  }
}

TEST_F(CapCtl, EditingTheCountWhilePausedLeavesTimer1Stopped) {
  start(7, 50);
  click(IDC_BURST, 1);
  fakeaddwindow("OTHER", "area", 0, 0, 32, 24);
  fakeclipimage(640, 480);
  tick(3);
  mainwincommand(IDC_STOP, 0);
  ASSERT_EQ(gkesto.mw.run, Paused);
  ossetdlgitemtext(main, IDC_COUNT, "7");
  ASSERT_EQ(boxes("STOP"), 1u);
  EXPECT_EQ(fakefindtimer(main, 1), nullptr) << "the count field never starts timer 1";
  EXPECT_TRUE(gfake.timers.empty());
  mainwincommand(IDC_START, 0);
  EXPECT_TRUE(fakefindtimer(main, 1) && fakefindtimer(main, 2));
}

namespace {

// Scripted from a message box: the room made on the disk when the n-th box
// comes up (from 1), and what was held in memory then.
int groomat = 0;
size_t gblocksatfirst = 0;
void makeroom(const FakeMessageBox&) {
  if (gfake.boxes.size() == 1) gblocksatfirst = gfake.blocks.size();
  if ((int)gfake.boxes.size() == groomat) gfake.diskroom = -1;
}

}  // namespace

// A frame the disk refuses stops the write-out: it and every later frame
// stay in memory while the user is asked, with the file and the reason.
// キャンセル asks to confirm the discard, いいえ goes back; 再試行 writes on
// from the frame that failed.  Nothing is lost unless the user says so.
TEST_F(CapCtl, AFrameTheDiskRefusesWaitsInMemoryUntilTheUserRetriesOrDiscards) {
  start(7, 12);
  click(IDC_BURST, 1);
  fakeaddwindow("OTHER", "area", 0, 0, 64, 48);  // frames of 9270 bytes
  gfake.localtime = OsTime{2009, 4, 0, 5, 14, 3, 22, 187 - 29};
  fakeclipimage(640, 480);
  tick(11);
  gfake.diskroom = 5 * 9270 + 300;  // five frames, their log lines, and a sixth frame in part
  gfake.answers = {OS_IDCANCEL, OS_IDNO, OS_IDRETRY, OS_IDRETRY};
  groomat = 4;  // the disk is still full at the first 再試行
  gfake.onbox = makeroom;
  tick();
  gfake.onbox = nullptr;
  ASSERT_EQ(gkesto.mw.cap.burst, BurstIdle);
  ASSERT_EQ(gfake.boxes.size(), 4u);
  EXPECT_EQ(gblocksatfirst, 7u) << "the frame that failed and every later one are in memory";
  const std::string file = dir + "\\cap200904\\d05_1403_22_18\\c00006.bmp";
  const std::string ask = "連写の画像を保存できませんでした\r\n\r\n" + file +
                          "\r\nディスクの空きが足りません (エラー 112)\r\n\r\n"
                          "保存していない画像 7 枚はメモリーに残しています。\r\n"
                          "空きを作ってから「再試行」を押すと続きを保存します。";
  for (size_t k : {0, 2, 3}) {
    EXPECT_EQ(gfake.boxes[k].text, ask) << k;
    EXPECT_EQ(gfake.boxes[k].caption, "Write error");
    EXPECT_EQ(gfake.boxes[k].type, (uint32_t)(OS_MB_RETRYCANCEL | OS_MB_SYSTEMMODAL | OS_MB_ICONERROR));
    EXPECT_EQ(gfake.boxes[k].timers, 0u);
  }
  EXPECT_EQ(gfake.boxes[1].text,
            "保存していない連写の画像 7 枚を破棄します。よろしいですか？\r\n\r\n「いいえ」で保存の確認に戻ります。");
  EXPECT_EQ(gfake.boxes[1].type, (uint32_t)(OS_MB_YESNO | OS_MB_SYSTEMMODAL | OS_MB_ICONWARNING));
  std::vector<std::string> f = files();
  ASSERT_EQ(f.size(), 13u);
  for (int i = 0; i < 12; i++) EXPECT_TRUE(readbmp(dir + "/" + f[(size_t)i]).ok) << f[(size_t)i];
  EXPECT_EQ(datalines(readfile(dir + "/" + f.back())), 12) << "one line per frame, each once";
  EXPECT_EQ(fakeleftovers(), "");
  EXPECT_TRUE(fakefindtimer(main, 1) && fakefindtimer(main, 2));

  // キャンセル and はい: the frames are freed, and the status line says how many.
  gfake.boxes.clear();
  gfake.diskroom = 200;  // the log's first line, no frame
  gfake.answers = {OS_IDCANCEL, OS_IDYES};
  fakeclipimage(640, 480);
  tick(12);
  ASSERT_EQ(gkesto.mw.cap.burst, BurstIdle);
  EXPECT_EQ(gfake.boxes.size(), 2u);
  // The full disk refuses the viewer page too: told after the discard.
  EXPECT_EQ(item(IDC_STATUSLINE).rfind("保存できなかった連写の画像 12 枚を破棄しました / 連写のビューアを保存できませんでした", 0), 0u)
      << item(IDC_STATUSLINE);
  EXPECT_EQ(fakeleftovers(), "");
  EXPECT_EQ(files().size(), 14u) << "only the second burst's log";

  // A log that cannot be made: every line of it is told as lost, the frames
  // are saved.
  gfake.boxes.clear();
  gfake.diskroom = -1;
  gfake.localtime = OsTime{2009, 4, 0, 5, 14, 5, 0, 1000 - 29};  // the tick moves the clock first
  gfake.denied.push_back(dir + "/cap200904/d05_1405_00_00/c1405_00_000.txt");
  fakeclipimage(640, 480);
  tick(13);
  ASSERT_EQ(boxes("Write error"), 1u);
  EXPECT_EQ(gfake.boxes.back().text, "連写のログ 13 行を書き込めませんでした。\r\n" + dir +
                                         "\\cap200904\\d05_1405_00_00\\c1405_00_000.txt\r\n"
                                         "書き込みが許可されていません (エラー 5)");
}

// Straight to disk: a frame the disk refuses stays in memory, the burst
// takes no more, and the same question is asked; a frame failing the file
// check is skipped and the burst goes on; a full frame of the largest
// desktop passes the check.
TEST_F(CapCtl, StraightToDiskAFrameTheDiskRefusesWaitsAndOneTooLargeIsSkipped) {
  start(1, 5);
  click(IDC_BURST, 1);
  OsWin area = fakeaddwindow("OTHER", "area", 0, 0, 3000, 1500);
  fakeclipimage(640, 480);
  tick();
  EXPECT_EQ(item(IDC_STATUSLINE), "c00001.bmp は大きすぎて BMP ファイルにできないため飛ばしました (ログの行もありません)");
  EXPECT_EQ(gkesto.mw.cap.burst, BurstRunning) << "the burst goes on";
  fakewindow(area)->rect[2] = 2560;
  fakewindow(area)->rect[3] = 1638;
  tick();
  EXPECT_EQ(gkesto.burst.ondisk, 1);
  fakewindow(area)->rect[2] = 64;
  fakewindow(area)->rect[3] = 48;
  gfake.diskroom = 9270 + 100;
  tick();  // frame 3 is written, with its line
  EXPECT_TRUE(gfake.boxes.empty());
  gfake.answers = {OS_IDRETRY};
  groomat = 1;
  gfake.onbox = makeroom;
  long grabs = gfake.grabs;
  tick();  // frame 4 is refused
  gfake.onbox = nullptr;
  EXPECT_EQ(gblocksatfirst, 1u) << "the frame is kept while the user is asked";
  EXPECT_EQ(gfake.grabs, grabs + 1) << "no frame is taken after it";
  ASSERT_EQ(boxes("Write error"), 1u);
  EXPECT_NE(gfake.boxes[0].text.find("c00004.bmp\r\nディスクの空きが足りません (エラー 112)"), std::string::npos);
  ASSERT_EQ(gkesto.mw.cap.burst, BurstIdle);
  std::vector<std::string> f = files();
  ASSERT_EQ(f.size(), 4u) << "three frames and the log";
  Bmp big = readbmp(dir + "/" + f[0]);
  EXPECT_TRUE(big.ok);
  EXPECT_EQ(big.w, 2560);
  EXPECT_EQ(big.data.size(), 2560u * 1638 * 3 + 54);
  EXPECT_TRUE(readbmp(dir + "/" + f[1]).ok);
  EXPECT_TRUE(readbmp(dir + "/" + f[2]).ok);
  EXPECT_NE(f[2].find("c00004.bmp"), std::string::npos);
  std::string log = readfile(dir + "/" + f.back());
  EXPECT_EQ(datalines(log), 3);
  EXPECT_EQ(log.find("DATA c00001.bmp"), std::string::npos);
  ASSERT_EQ(boxes("Error"), 1u) << "the skipped frame is told at the end";
  EXPECT_EQ(fakeleftovers(), "");
}

// 終了, Enter, Esc and the close box with frames in memory: the frames are
// written out on timer 1 (and timer 1 alone), the progress in the status
// line, then the program ends; the window going or Windows ending the
// session writes them at once.
TEST_F(CapCtl, EndingWithFramesInMemoryWritesThemOutFirst) {
  enum Way { End, Esc, CloseBox, Paused, Destroy, Session };
  for (Way way : {End, Esc, CloseBox, Paused, Destroy, Session}) {
    SetUp();
    start(7, 100);
    click(IDC_BURST, 1);
    fakeaddwindow("OTHER", "area", 0, 0, 64, 48);
    fakeclipimage(640, 480);
    tick(34);
    ASSERT_EQ(gkesto.burst.taken, 34);
    long grabs = gfake.grabs;
    switch (way) {
      case End: mainwincommand(IDC_END, 0); break;
      case Esc: mainwincommand(2, 0); break;
      case CloseBox: mainwinclose(); break;
      case Paused:
        mainwincommand(IDC_STOP, 0);
        mainwincommand(IDC_END, 0);
        break;
      case Destroy: mainwindestroy(); break;
      case Session:
        EXPECT_EQ(mainwinqueryend(), 1);
        EXPECT_EQ(gfake.blockreason, "連写の画像を保存しています") << "Windows is asked to wait";
        tick();
        mainwinendsession(1);
        EXPECT_EQ(gfake.blockreason, "") << "and told when it need wait no more";
        break;
    }
    if (way == Destroy || way == Session) {
      EXPECT_EQ(gfake.quitposted, 1) << way;
    } else {
      EXPECT_EQ(gfake.quitposted, 0) << way << ": not before the frames are written";
      EXPECT_EQ(gkesto.mw.run, Ending) << way;
      EXPECT_TRUE(fakefindtimer(main, 1)) << way;
      EXPECT_FALSE(fakefindtimer(main, 2)) << way << ": no capture key, no shortcuts";
      tick();
      EXPECT_EQ(item(IDC_STATUSLINE), "終了する前に連写の画像を保存しています (10 / 34 枚)") << way;
      mainwincommand(IDC_START, 0);  // changes nothing now
      mainwincommand(IDC_END, 0);    // nor does a second 終了
      tick(3);
      EXPECT_EQ(gfake.quitposted, 1) << way;
      EXPECT_TRUE(gfake.timers.empty()) << way;
    }
    EXPECT_EQ(gfake.grabs, grabs) << way << ": no frame taken after the end began";
    std::vector<std::string> f = files();
    ASSERT_EQ(f.size(), 35u) << way;
    for (int i = 0; i < 34; i++) EXPECT_TRUE(readbmp(dir + "/" + f[(size_t)i]).ok) << way << " " << f[(size_t)i];
    EXPECT_EQ(datalines(readfile(dir + "/" + f.back())), 34) << way;
    EXPECT_EQ(fakeleftovers(), "") << way;
    EXPECT_TRUE(gfake.boxes.empty()) << way;
    TearDown();
  }
}

namespace {

// Scripted from the retry question: 終了, Esc, the close box and a new
// trigger while it is up, then room on the disk.
OsWin gmain = 0;
void endwhileasked(const FakeMessageBox& b) {
  if (gfake.boxes.size() != 1) return;
  gblocksatfirst = gfake.blocks.size();
  mainwincommand(IDC_END, 0);
  mainwincommand(2, 0);
  mainwinclose();
  fakeclipimage(640, 480);
  if (fakefindtimer(gmain, 1)) mainwintimer(1);
  if (fakefindtimer(gmain, 2)) mainwintimer(2);
  gfake.diskroom = -1;
}

}  // namespace

// Ending while the disk refuses the frames: 終了 asks the same question,
// and while it is up nothing ends, no burst starts and no frame is freed;
// when Windows ends the session no one is asked, and only then are frames
// that cannot be written lost.
TEST_F(CapCtl, EndingWithADiskThatRefusesAsksAndOnlyTheSessionsEndLosesFrames) {
  for (int session : {0, 1}) {
    SetUp();
    start(7, 100);
    click(IDC_BURST, 1);
    fakeaddwindow("OTHER", "area", 0, 0, 64, 48);
    fakeclipimage(640, 480);
    tick(20);
    ASSERT_EQ(gkesto.burst.taken, 20);
    gfake.diskroom = 3 * 9270 + 300;
    long grabs = gfake.grabs;
    if (session) {
      EXPECT_EQ(mainwinqueryend(), 1);
      mainwinendsession(1);
      EXPECT_EQ(gfake.quitposted, 1);
      EXPECT_TRUE(gfake.boxes.empty()) << "no one is there to answer";
      EXPECT_EQ(files().size(), 4u) << "three frames and the log";
      // The full disk refuses the viewer page too: told after the discard.
  EXPECT_EQ(item(IDC_STATUSLINE).rfind("保存できなかった連写の画像 17 枚を破棄しました / 連写のビューアを保存できませんでした", 0), 0u)
      << item(IDC_STATUSLINE);
    } else {
      gmain = main;
      gfake.onbox = endwhileasked;
      gfake.answers = {OS_IDRETRY};
      mainwincommand(IDC_END, 0);
      tick();
      gfake.onbox = nullptr;
      ASSERT_EQ(gfake.boxes.size(), 1u);
      EXPECT_EQ(gblocksatfirst, 17u);
      EXPECT_NE(gfake.boxes[0].text.find("c00004.bmp"), std::string::npos);
      EXPECT_EQ(gfake.quitposted, 0) << "nothing ends while the question is up";
      tick(3);
      EXPECT_EQ(gfake.quitposted, 1);
      std::vector<std::string> f = files();
      ASSERT_EQ(f.size(), 21u);
      EXPECT_EQ(datalines(readfile(dir + "/" + f.back())), 20);
    }
    EXPECT_EQ(gfake.grabs, grabs) << "no burst started";
    EXPECT_EQ(fakeleftovers(), "");
    TearDown();
  }
}

// A screenshot that cannot be written whole: the message names the file and
// the reason, no partial file is left, and the picture stays on the
// clipboard until the next PrintScreen is saved.
TEST_F(CapCtl, AScreenshotThatCannotBeWrittenIsNamedRemovedAndLeftOnTheClipboard) {
  start();
  click(IDC_SS, 1);
  gfake.localtime = OsTime{2009, 4, 0, 5, 9, 5, 7, 42};
  const std::string name = dir + "\\ss200904\\d05\\KestoSS_20090405_0905_07_042.bmp";
  // Writes that keep reporting success for half their bytes, down to none,
  // or a close that fails, with no reason from the system, are a failure all
  // the same.
  struct Fault {
    int64_t room;
    bool denied;
    const char* reason;
    int shortwrite = 0, closefail = 0;
  };
  for (Fault f : {Fault{100000, false, "ディスクの空きが足りません (エラー 112)"},
                  Fault{0, false, "ディスクの空きが足りません (エラー 112)"},
                  Fault{-1, true, "書き込みが許可されていません (エラー 5)"},
                  Fault{-1, false, "書き込みに失敗しました (エラー 29)", -1, 0},
                  Fault{-1, false, "書き込みに失敗しました (エラー 29)", 0, 1}}) {
    SCOPED_TRACE(f.reason);
    gfake.boxes.clear();
    gfake.diskroom = f.room;
    gfake.shortwrites = f.shortwrite;
    gfake.closefails = f.closefail;
    if (f.denied) gfake.denied.push_back(dir + "/ss200904/");
    OsHandle img = fakeclipimage(640, 480);
    gfake.localtime = OsTime{2009, 4, 0, 5, 9, 5, 7, 42};
    mainwintimer(1);
    ASSERT_EQ(gfake.boxes.size(), 1u);
    EXPECT_EQ(gfake.boxes[0].caption, "Write Error");
    EXPECT_EQ(gfake.boxes[0].text, "スクリーンショットを保存できませんでした\r\n\r\n" + name + "\r\n" + f.reason +
                                       "\r\n\r\n画像はクリップボードに残しています。");
    EXPECT_EQ(gfake.boxes[0].timers, 0u);
    EXPECT_EQ(fakeboxeswithclipboard(), 0);
    EXPECT_TRUE(files().empty()) << "no partial picture";
    EXPECT_EQ(fakeleftovers(), "");
    // Later checks neither save it again nor take it off the clipboard.
    tick(5);
    EXPECT_EQ(gfake.boxes.size(), 1u);
    EXPECT_EQ(gfake.clipimage, img);
    gfake.denied.clear();
  }
  // With room again the next PrintScreen is saved and leaves the clipboard.
  gfake.diskroom = -1;
  fakeclipimage(640, 480);
  tick();
  std::vector<std::string> f = files();
  ASSERT_EQ(f.size(), 1u);
  EXPECT_TRUE(readbmp(dir + "/" + f[0]).ok);
  EXPECT_EQ(gfake.clipimage, 0u);
  EXPECT_EQ(gfake.boxes.size(), 1u);
}

// The clipboard is never open behind a message box, and a clipboard another
// program holds for a tick changes nothing: the image it hides is neither
// lost nor taken for a new one afterwards.
TEST_F(CapCtl, AClipboardHeldByAnotherProgramChangesNothing) {
  start(7, 0);
  click(IDC_SS, 1);
  gfake.localtime = OsTime{2009, 4, 0, 5, 9, 5, 7, 42};
  writefile(dir + "/ss200904", "a file where the folder should be");
  fakeclipimage(640, 480);
  gfake.clipboardheld = 1;
  tick();
  EXPECT_TRUE(gfake.boxes.empty());
  tick();  // the folder's message, then the too large image's
  ASSERT_EQ(boxes("DIR"), 1u);
  fakeclipimage(2400, 2400);
  tick();
  ASSERT_EQ(boxes("Error"), 1u);
  EXPECT_EQ(fakeboxeswithclipboard(), 0);
  EXPECT_EQ(gfake.clipboardopen, 0);
  remove((dir + "/ss200904").c_str());
  fakeclipimage(640, 480);
  gfake.clipboardheld = 1;
  tick();
  EXPECT_TRUE(files().empty());
  tick();
  EXPECT_EQ(files().size(), 1u);

  // A burst of count 0 runs until stopped; a tick of a held clipboard does
  // not stop it.
  click(IDC_BURST, 1);
  fakeclipimage(1280, 1024);
  tick();
  ASSERT_EQ(gkesto.mw.cap.burst, BurstRunning);
  gfake.clipboardheld = 1;
  tick();
  tick();
  EXPECT_EQ(gkesto.mw.cap.burst, BurstRunning);
  EXPECT_EQ(gkesto.burst.taken, 3);
  fakeclipimage(1280, 1024);  // the second PrintScreen stops it
  tick();
  EXPECT_NE(gkesto.mw.cap.burst, BurstRunning);
}

// The image on the clipboard when KESTO starts is the user's: in screenshot
// mode it is neither saved nor emptied, in burst mode it starts no burst,
// until something new comes to the clipboard.
TEST_F(CapCtl, TheImageOnTheClipboardAtStartIsTheUsersUntilANewOneComes) {
  for (int noseq : {0, 1}) {
    SCOPED_TRACE(noseq ? "no clipboard sequence number" : "the clipboard's sequence number");
    SetUp();
    gfake.clipseqzero = noseq;
    OsHandle mine = fakeclipimage(800, 600);
    start(7, 3);
    EXPECT_EQ(gfake.clipboardempties, 0);
    click(IDC_SS, 1);
    tick(5);
    click(IDC_BURST, 1);
    tick(5);
    click(IDC_SS, 1);
    tick(5);
    EXPECT_TRUE(files().empty());
    EXPECT_EQ(gfake.grabs, 0);
    EXPECT_EQ(gfake.clipimage, mine);
    EXPECT_EQ(gfake.clipboardempties, 0);
    EXPECT_TRUE(gfake.boxes.empty());
    // A new PrintScreen is saved and leaves the clipboard as before.
    fakeclipimage(640, 480);
    tick();
    EXPECT_EQ(files().size(), 1u);
    EXPECT_EQ(gfake.clipimage, 0u);
    TearDown();
  }
}

// A screenshot never replaces a file: a name taken already (the clock set
// back) gets _2, _3, ...
TEST_F(CapCtl, AScreenshotNameTakenAlreadyGetsANumber) {
  start();
  click(IDC_SS, 1);
  const std::string day = dir + "/ss200904/d05/";
  mkdir((dir + "/ss200904").c_str(), 0755);
  mkdir(day.c_str(), 0755);
  writefile(day + "KestoSS_20090405_0905_07_042.bmp", "an earlier screenshot");
  writefile(day + "KestoSS_20090405_0905_07_042_2.bmp", "and another");
  for (int k = 0; k < 2; k++) {
    fakeclipimage(640, 480);
    gfake.localtime = OsTime{2009, 4, 0, 5, 9, 5, 7, 42};
    mainwintimer(1);
  }
  EXPECT_EQ(readfile(day + "KestoSS_20090405_0905_07_042.bmp"), "an earlier screenshot");
  EXPECT_EQ(readfile(day + "KestoSS_20090405_0905_07_042_2.bmp"), "and another");
  EXPECT_TRUE(readbmp(day + "KestoSS_20090405_0905_07_042_3.bmp").ok);
  EXPECT_TRUE(readbmp(day + "KestoSS_20090405_0905_07_042_4.bmp").ok);
  EXPECT_TRUE(gfake.boxes.empty());
}

// The end of a burst's write-out writes index.html beside the frames with
// the frames of the log; a page the disk refuses (the move over it fails) is
// told in the status line with its path and reason, after the frames and
// the log are whole, and leaves no temporary.
TEST_F(CapCtl, TheViewerIsWrittenWhenTheBurstEndsAndAFailedOneIsToldLosingNothing) {
  start(7, 5);
  click(IDC_BURST, 1);
  fakeaddwindow("OTHER", "area", 20, 10, 20 + 64, 10 + 48);
  gfake.localtime = OsTime{2009, 4, 0, 5, 14, 3, 22, 187 - 29};
  fakeclipimage(1280, 1024);
  tick(5);
  ASSERT_EQ(gkesto.mw.cap.burst, BurstIdle);
  const std::string folder = dir + "/cap200904/d05_1403_22_18/";
  std::string page = readfile(folder + "index.html");
  EXPECT_NE(page.find("[\"c00005.bmp\",5,29,116,1]"), std::string::npos) << page.size();
  EXPECT_EQ(std::string(gkesto.burst.lastfolder), dir + "\\cap200904\\d05_1403_22_18");

  gfake.localtime = OsTime{2009, 4, 0, 5, 14, 4, 0, 0};
  gfake.movefails = 1;
  fakeclipimage(1280, 1024);
  tick(5);
  ASSERT_EQ(gkesto.mw.cap.burst, BurstIdle);
  const std::string second = dir + "/cap200904/d05_1404_00_02/";
  std::string status = item(IDC_STATUSLINE);
  EXPECT_EQ(status.rfind("連写のビューアを保存できませんでした " + dir + "\\cap200904\\d05_1404_00_02\\index.html: ", 0), 0u)
      << status;
  EXPECT_EQ(readfile(second + "index.html"), "");
  EXPECT_EQ(datalines(readfile(second + "c1404_00_029.txt")), 5);
  for (int i = 1; i <= 5; i++) EXPECT_TRUE(readbmp(second + "c0000" + std::to_string(i) + ".bmp").ok) << i;
  EXPECT_EQ(fakeleftovers(), "");
  std::vector<std::string> all;
  listfiles(dir, "", all);
  for (auto& f : all) EXPECT_EQ(f.find(".tmp"), std::string::npos) << f;
}
