// The capture area against the fake desktop: the rules of margins, close box
// and marker bar, the area dialog's fields, lists, save and restore, the
// window list with its target and the lock-on, and the frame's drag, count,
// menu and painting.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>

#include "app/mainwin.h"
#include "app/startup.h"
#include "capture/area.h"
#include "capture/capture.h"
#include "kesto.h"
#include "os/fake/fakeos.h"
#include "res/resource.h"
#include "support.h"

namespace {

const char* kgame = "ゴルフ漬け";

TEST(AreaRules, MarginsAndEdges) {
  int32_t target[4] = {100, 200, 500, 600}, frame[4] = {95, 195, 510, 603}, m[4];
  marginsfromrects(target, frame, m);
  EXPECT_EQ(std::vector<int32_t>(m, m + 4), (std::vector<int32_t>{5, 5, 3, 10}));
  int32_t out[4];
  moveedge(frame, 0, 2, 5, out);  // top 2 -> 5: the top edge goes up by 3, the bottom stays
  EXPECT_EQ(std::vector<int32_t>(out, out + 4), (std::vector<int32_t>{95, 192, 510, 603}));
  moveedge(frame, 1, 5, 0, out);
  EXPECT_EQ(out[0], 100);
  EXPECT_EQ(out[2], 510);
  moveedge(frame, 2, 3, -2, out);
  EXPECT_EQ(out[3], 598);
  EXPECT_EQ(out[1], 195);
  moveedge(frame, 3, 10, 12, out);
  EXPECT_EQ(out[2], 512);
  EXPECT_EQ(out[0], 95);
}

// Margins typed near either end of 32 bits: edges are held to COORDMAX, so
// every width and height between them fits; nothing wraps to the other side.
TEST(AreaRules, MarginsNearTheEndsOf32BitsDoNotWrap) {
  const int32_t win[4] = {100, 200, 740, 680};
  int32_t m[4] = {INT32_MAX, INT32_MIN, INT32_MAX, INT32_MAX}, out[4];
  applymargins(win, m, out);
  EXPECT_EQ(std::vector<int32_t>(out, out + 4), (std::vector<int32_t>{COORDMAX, -COORDMAX, COORDMAX, COORDMAX}));
  const int32_t in[4] = {INT32_MIN, INT32_MIN, INT32_MIN, INT32_MIN};
  applymargins(win, in, out);
  EXPECT_EQ(std::vector<int32_t>(out, out + 4), (std::vector<int32_t>{COORDMAX, COORDMAX, -COORDMAX, -COORDMAX}));
  EXPECT_GT((int64_t)out[0] - out[2], 0) << "inverted, not wrapped";

  // The frame's edge follows a margin that jumps from one end to the other.
  const int32_t frame[4] = {95, 195, 510, 603};
  moveedge(frame, 0, INT32_MIN, INT32_MAX, out);
  EXPECT_EQ(out[1], -COORDMAX);
  EXPECT_EQ(out[3], 603);
  moveedge(frame, 3, INT32_MIN, INT32_MAX, out);
  EXPECT_EQ(out[2], COORDMAX);
  moveedge(frame, 1, INT32_MAX, INT32_MIN, out);
  EXPECT_EQ(out[0], COORDMAX);

  const int32_t far[4] = {INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX}, near[4] = {10, 10, -20, -20};
  marginsfromrects(near, far, m);
  EXPECT_EQ(std::vector<int32_t>(m, m + 4), (std::vector<int32_t>{INT32_MAX, INT32_MAX, INT32_MAX, INT32_MAX}));
  marginsfromrects(far, near, m);
  EXPECT_EQ(std::vector<int32_t>(m, m + 4), (std::vector<int32_t>{INT32_MIN, INT32_MIN, INT32_MIN, INT32_MIN}));
}

TEST(AreaRules, CloseBoxBounds) {
  int32_t w[4] = {100, 50, 400, 300};
  EXPECT_TRUE(closeboxhit(w, 390, 60));   // 10 px from the right, 10 below the top
  EXPECT_FALSE(closeboxhit(w, 380, 60));  // 20 px from the right
  EXPECT_TRUE(closeboxhit(w, 381, 53));   // corners included
  EXPECT_TRUE(closeboxhit(w, 397, 71));
  EXPECT_FALSE(closeboxhit(w, 398, 60));
  EXPECT_FALSE(closeboxhit(w, 390, 72));
}

TEST(AreaRules, MarkerGeometryColoursAndSliding) {
  int32_t l, r;
  markerspan(280, 100, 0, &l, &r);
  EXPECT_EQ(l, 0);
  EXPECT_EQ(r, 280);
  markerspan(287, 3, 97, &l, &r);  // each product truncated on its own
  EXPECT_EQ(l, 278);
  EXPECT_EQ(r, 278 + 8);
  markerspan(280, 10, 97, &l, &r);  // past the band's end: the painting clips it
  EXPECT_EQ(r, 271 + 28);
  EXPECT_GT(r, 280);
  // The cursor at the frame's right edge puts a bar of width 3 at 97, at the
  // left edge at 0.
  EXPECT_EQ(slideposition(100 + 288, 100, 280, 3), 97);
  EXPECT_EQ(slideposition(90, 100, 280, 3), 0);
  EXPECT_EQ(slideposition(100 + 140, 100, 280, 10), 45);
  uint32_t fill, outline;
  markercolours(0, SlideOff, &fill, &outline);
  EXPECT_EQ(fill, OS_RGB(160, 96, 32));
  EXPECT_EQ(outline, OS_RGB(192, 96, 32));
  markercolours(1, SlideArmed, &fill, &outline);
  EXPECT_EQ(fill, OS_RGB(240, 32, 0));
  EXPECT_EQ(outline, OS_RGB(240, 32, 0));
  markercolours(1, Sliding, &fill, &outline);
  EXPECT_EQ(fill, OS_RGB(240, 32, 0));
  markercolours(1, SlideOff, &fill, &outline);
  EXPECT_EQ(fill, OS_RGB(240, 128, 0));
  EXPECT_EQ(outline, OS_RGB(240, 128, 0));
}

TEST(AreaRules, TextsAndCounts) {
  char b[32];
  customlabel(25, b, sizeof b);
  EXPECT_STREQ(b, "2.5 秒");
  customlabel(1000, b, sizeof b);
  EXPECT_STREQ(b, "100.0 秒");
  EXPECT_TRUE(winlisthidden("imejpstmain window"));
  EXPECT_TRUE(winlisthidden("Default IME"));
  EXPECT_TRUE(winlisthidden(""));
  EXPECT_FALSE(winlisthidden("Default IME 2"));
  EXPECT_FALSE(winlisthidden("imejpstmai"));
  char e[WINTEXTSIZE];
  winlistentry(kgame, "fakegame.exe", 2, e);
  EXPECT_STREQ(e, "<ゴルフ漬け> fakegame.exe #2");
  winlistentry("", "x.exe", 7, e);
  EXPECT_STREQ(e, "<タイトル名無し> x.exe #7");
  // A long title is cut at 255 bytes, never inside a double-byte character.
  std::string title = "a";
  while (title.size() < 400) title += "漬";
  winlistentry(title.c_str(), "m.exe", 9, e);
  EXPECT_EQ(strlen(e), 254u);  // "<a" and 126 characters; one more would need 256
  EXPECT_EQ(std::string(e, 2), "<a");
  EXPECT_EQ(clampcount(100000), 99999);
  EXPECT_EQ(clampcount(-5), 0);
  EXPECT_EQ(clampcount(42), 42);
  // A count typed as 2^31 or more is large, never negative.
  EXPECT_EQ(clampcount(fieldint("2147483648")), 99999);
  EXPECT_EQ(clampcount(fieldint("4294967291")), 99999);
  EXPECT_EQ(clampcount(fieldint("99999999999999999999999")), 99999);
  EXPECT_EQ(fieldint(" 250 "), 250);
  EXPECT_EQ(fieldint("-5"), -5);
  EXPECT_EQ(fieldint("-99999999999"), INT32_MIN);
  EXPECT_EQ(fieldint(""), 0);
  EXPECT_EQ(fieldint("12a"), 0);
}

class Area : public ::testing::Test {
 protected:
  std::string dir;
  OsWin main = 0, game = 0, dlg = 0;

  void SetUp() override {
    kestoreset();
    gkesto.setlayered = (void*)&fakereset;  // looked up at start-up
    dir = maketempdir();
    gfake.cwd = dir;
  }
  void TearDown() override { removetree(dir); }

  // The program started with these capture settings; the stand-in game's
  // window is in front of it.
  void open(const char* area = "ENABLEAREA=2", const char* custom = "CUSTOMAREA=2,-5,-5,-5",
            const char* interval = "INTERVAL=7", const char* pages = "CAPTUREPAGE=100") {
    std::string ini = "HOME=" + dir + "\r\nDGPATH=" + dir + "/golf.txt\r\nREAD_COURSE=0\r\nSAVE_COURSE=0\r\n" +
                      "IEXPLORE=0\r\n" + interval + "\r\n" + pages + "\r\nDEFAULTAREA=-29,-3,-3,-3\r\n" + custom +
                      "\r\n" + area + "\r\nLOCKONWINDOW=1\r\nENABLECAPKEY=0\r\nSELECTCAPKEY=F12\r\n";
    ASSERT_TRUE(writefile(dir + "/loginit.txt", ini));
    ASSERT_TRUE(setpaths(dir.c_str()));
    main = oscreatemaindialog(&kestohandlers);
    game = fakeaddwindow("FAKEGAME", kgame, 100, 200, 500, 600);
    fakewindow(game)->module = "fakegame.exe";
    gkesto.mw.watch.gamewin = game;  // the watcher has found the game
    mainwincommand(IDC_AREA, 0);
    dlg = gkesto.mw.areadlg;
    ASSERT_TRUE(dlg);
    areadlgfocus(dlg);  // the timer starts with the first focus
  }
  void tick(int n = 1) {
    for (int i = 0; i < n; i++) areadlgtimer(dlg, IDA_TIMER);
  }
  std::vector<int32_t> rect(OsWin w) {
    int32_t r[4] = {0, 0, 0, 0};
    osgetwindowrect(w, r);
    return std::vector<int32_t>(r, r + 4);
  }
  std::vector<std::string> fields() {
    return {fakeitemtext(dlg, IDA_TOP), fakeitemtext(dlg, IDA_LEFT), fakeitemtext(dlg, IDA_BOTTOM),
            fakeitemtext(dlg, IDA_RIGHT)};
  }
  // 枠表示 and the snap about a second later: the frame on the game.
  OsWin showlocked() {
    areadlgcommand(dlg, IDA_FRAME, OS_BN_CLICKED, 0);
    OsWin f = gkesto.mw.framewin;
    EXPECT_TRUE(f);
    tick(5);
    EXPECT_EQ(gkesto.area.lock, LockLocked);
    return f;
  }
};

TEST_F(Area, OpensWithItsListsAndFieldsAndClosesFromTheMainWindow) {
  open("ENABLEAREA=2", "CUSTOMAREA=2,-5,-5,-5", "INTERVAL=25");
  EXPECT_EQ(fields(), (std::vector<std::string>{"2", "-5", "-5", "-5"}));
  EXPECT_EQ(osisdlgbuttonchecked(dlg, IDA_W2), 1);
  EXPECT_EQ(osisdlgbuttonchecked(dlg, IDA_LOCKON), 1);
  ASSERT_EQ(gfake.updowns.size(), 4u);
  EXPECT_EQ(gfake.updowns[0].id, IDA_UPDOWN_TOP);
  EXPECT_EQ(gfake.updowns[3].id, IDA_UPDOWN_RIGHT);
  EXPECT_TRUE(gfake.updowns[3].style & OS_UDS_ALIGNLEFT);
  EXPECT_EQ(gfake.updowns[0].lower, -600);
  std::vector<std::string> speeds = fakelist(dlg, IDA_SPEED);
  ASSERT_EQ(speeds.size(), 8u);
  EXPECT_EQ(speeds[0], "2.5 秒");
  EXPECT_EQ(speeds[7], "0.033 秒");
  EXPECT_EQ(fakelistsel(dlg, IDA_SPEED), 0);
  EXPECT_EQ(fakelist(dlg, IDA_KEYLIST), (std::vector<std::string>{"左 Alt", "右 Alt", "右 Ctrl", "F12"}));
  EXPECT_EQ(fakelistsel(dlg, IDA_KEYLIST), 3);
  EXPECT_EQ(fakeitemtext(dlg, IDA_COUNT), "100");
  // The list: no window, the foreground window (the game), the windows below.
  std::vector<std::string> wins = fakelist(dlg, IDA_WINLIST);
  ASSERT_EQ(wins.size(), 3u);
  EXPECT_EQ(wins[0], "ウインドウ選択無し");
  EXPECT_EQ(wins[1], kgame);
  EXPECT_EQ(wins[2], "<KESTO v0.93>  #2");
  EXPECT_EQ(fakelistsel(dlg, IDA_WINLIST), 1);  // the game's entry, taken
  EXPECT_EQ(gkesto.area.target, game);
  EXPECT_EQ(gkesto.chosenwin, 0u);  // taken at opening, not chosen
  EXPECT_EQ(fakeitemtext(dlg, IDA_SIZE), "390x397");
  // A second 範囲 closes it through its "終了", which takes the count.
  ossetdlgitemtext(dlg, IDA_COUNT, "250");
  mainwincommand(IDC_AREA, 0);
  EXPECT_EQ(gkesto.mw.areadlg, 0u);
  EXPECT_EQ(fakefinddialog(IDD_AREA), 0u);
  EXPECT_EQ(gkesto.set.work.capturepage, 250);
  EXPECT_EQ(fakeitemtext(main, IDC_COUNT), "250");
}

TEST_F(Area, ListFilterAndModules) {
  open();
  fakeaddwindow("X", "Default IME", 0, 0, 1, 1);
  fakeaddwindow("X", "imejpstmainfoo", 0, 0, 1, 1);
  OsWin untitled = fakeaddwindow("X", "", 0, 0, 1, 1);
  fakewindow(untitled)->procdenied = 1;
  OsWin top = fakeaddwindow("X", "Top", 0, 0, 1, 1);  // the foreground window now
  fakewindow(top)->module = "top.exe";
  areadlgcommand(dlg, IDA_SEARCH, OS_BN_CLICKED, 0);
  std::vector<std::string> wins = fakelist(dlg, IDA_WINLIST);
  // The dialog is not below the foreground window; the IME windows and the
  // untitled one are left out.
  ASSERT_GE(wins.size(), 4u);
  EXPECT_EQ(wins[1], "Top");
  EXPECT_EQ(wins[2], "<ゴルフ漬け> fakegame.exe #2");
  EXPECT_EQ(fakelistsel(dlg, IDA_WINLIST), 0);  // "Window 検索" takes nothing
  oscheckdlgbutton(dlg, IDA_ALL, 1);
  areadlgcommand(dlg, IDA_SEARCH, OS_BN_CLICKED, 0);
  wins = fakelist(dlg, IDA_WINLIST);
  EXPECT_EQ(wins[2], "<タイトル名無し>  #2");  // its process could not be opened
  EXPECT_EQ(wins[3], "<imejpstmainfoo>  #3");
  EXPECT_EQ(wins[4], "<Default IME>  #4");
}

TEST_F(Area, TopFieldMovesTheFramesTopEdgeOnly) {
  open();
  OsWin f = showlocked();
  EXPECT_EQ(rect(f), (std::vector<int32_t>{105, 198, 495, 595}));  // the game widened by 2, -5, -5, -5
  EXPECT_EQ(gfake.foreground, f);
  ossetdlgitemtext(dlg, IDA_TOP, "5");
  EXPECT_EQ(rect(f), (std::vector<int32_t>{105, 195, 495, 595}));
  EXPECT_EQ(gkesto.set.margins[0], 5);
  EXPECT_EQ(gkesto.set.work.customarea[0], 5);
  EXPECT_EQ(gkesto.set.saved.customarea[0], 2);  // not saved
  EXPECT_EQ(fields(), (std::vector<std::string>{"5", "-5", "-5", "-5"}));
  // "-" on the way to "-5" reads as 0.
  ossetdlgitemtext(dlg, IDA_TOP, "-");
  EXPECT_EQ(gkesto.set.margins[0], 0);
  EXPECT_EQ(rect(f)[1], 200);
}

TEST_F(Area, DraggingTheBandMovesTheFrameAndTheMargins) {
  open();
  OsWin f = showlocked();
  std::vector<int32_t> before = rect(f);
  gfake.cursor[0] = before[0] + 8;
  gfake.cursor[1] = before[1] + 10;
  framelbuttondown(f);
  EXPECT_EQ(gfake.capture, f);
  gfake.cursor[0] += 15;
  gfake.cursor[1] -= 7;
  framemousemove(f);
  framelbuttonup(f);
  EXPECT_EQ(gfake.capture, 0u);
  EXPECT_EQ(rect(f), (std::vector<int32_t>{before[0] + 15, before[1] - 7, before[2] + 15, before[3] - 7}));
  EXPECT_EQ(std::vector<int32_t>(gkesto.set.margins, gkesto.set.margins + 4),
            (std::vector<int32_t>{2 + 7, -5 - 15, -5 - 7, -5 + 15}));
  EXPECT_EQ(std::vector<int32_t>(gkesto.set.work.customarea, gkesto.set.work.customarea + 4),
            (std::vector<int32_t>{9, -20, -12, 10}));
  EXPECT_EQ(fields(), (std::vector<std::string>{"9", "-20", "-12", "10"}));
  EXPECT_EQ(fakeitemtext(dlg, IDA_SIZE), "390x397");
  // A move the program makes while the target has the focus leaves them.
  gfake.foreground = game;
  osmovewindow(f, 0, 0, 390, 397, 1);
  EXPECT_EQ(gkesto.set.margins[0], 9);
}

TEST_F(Area, CloseBoxClosesAndABandClickDrags) {
  open();
  OsWin f = showlocked();
  std::vector<int32_t> r = rect(f);
  gfake.cursor[0] = r[2] - 20;
  gfake.cursor[1] = r[1] + 10;
  framelbuttondown(f);
  EXPECT_TRUE(gkesto.frame.dragging);
  framelbuttonup(f);
  gfake.cursor[0] = r[2] - 10;
  framelbuttondown(f);
  EXPECT_EQ(gkesto.mw.framewin, 0u);
  EXPECT_EQ(fakefinddialog(IDD_FRAME), 0u);
}

TEST_F(Area, LockOnSnapsThenFollowsTheTarget) {
  open();
  areadlgcommand(dlg, IDA_FRAME, OS_BN_CLICKED, 0);
  OsWin f = gkesto.mw.framewin;
  ASSERT_TRUE(f);
  EXPECT_EQ(gkesto.area.lock, LockArmed);  // the new frame took the focus
  EXPECT_EQ(gfake.foreground, game);       // and the target was brought to the front
  std::vector<int32_t> centred = rect(f);
  tick(4);
  EXPECT_EQ(rect(f), centred);
  tick();
  EXPECT_EQ(gkesto.area.lock, LockLocked);
  EXPECT_EQ(gkesto.area.ticks, 0);
  EXPECT_EQ(gfake.foreground, f);
  EXPECT_EQ(rect(f), (std::vector<int32_t>{105, 198, 495, 595}));
  // The target moves: the first check comes five ticks after the snap, then
  // every tick.
  FakeWindow* g = fakewindow(game);
  g->rect[0] += 40;
  g->rect[2] += 40;
  tick(4);
  EXPECT_EQ(rect(f)[0], 105);
  tick();
  EXPECT_EQ(rect(f)[0], 145);
  EXPECT_EQ(gkesto.area.ticks, 4);
  g->rect[1] += 10;
  g->rect[3] += 10;
  tick();
  EXPECT_EQ(rect(f)[1], 208);
  // Without "Lock on" a locked frame stays where it is.
  oscheckdlgbutton(dlg, IDA_LOCKON, 0);
  g->rect[1] += 10;
  tick(6);
  EXPECT_EQ(rect(f)[1], 208);
  EXPECT_EQ(gkesto.set.work.lockon, 0);
  // 枠表示 again: idle, no frame.
  areadlgcommand(dlg, IDA_FRAME, OS_BN_CLICKED, 0);
  EXPECT_EQ(gkesto.mw.framewin, 0u);
  EXPECT_EQ(gkesto.area.lock, LockIdle);
}

TEST_F(Area, WithoutATargetTheFrameIsTheCaptureArea) {
  open();
  areadlgcommand(dlg, IDA_CLEAR, OS_BN_CLICKED, 0);
  EXPECT_EQ(gkesto.area.target, 0u);
  EXPECT_EQ(fakelistsel(dlg, IDA_WINLIST), 0);
  areadlgcommand(dlg, IDA_FRAME, OS_BN_CLICKED, 0);  // slot 0: nothing taken
  OsWin f = gkesto.mw.framewin;
  ASSERT_TRUE(f);
  EXPECT_EQ(gkesto.area.lock, LockIdle);
  EXPECT_FALSE(gkesto.framerectread);
  tick(5);
  EXPECT_TRUE(gkesto.framerectread);
  EXPECT_EQ(std::vector<int32_t>(gkesto.framerect, gkesto.framerect + 4), rect(f));
  // Without a target only the size follows the frame.
  osmovewindow(f, 10, 10, 300, 200, 1);
  EXPECT_EQ(fakeitemtext(dlg, IDA_SIZE), "300x200");
  EXPECT_EQ(gkesto.set.margins[0], 2);
  EXPECT_EQ(gkesto.framerect[2], 310);
}

TEST_F(Area, AreaChoiceLoadsItsMarginsWithoutMovingTheFrame) {
  open("ENABLEAREA=1");
  OsWin f = showlocked();
  EXPECT_EQ(rect(f), (std::vector<int32_t>{103, 229, 497, 597}));  // DEFAULTAREA -29,-3,-3,-3
  oscheckdlgbutton(dlg, IDA_W1, 0);
  oscheckdlgbutton(dlg, IDA_W2, 1);
  tick();
  EXPECT_EQ(gkesto.set.work.enablearea, 2);
  EXPECT_EQ(fields(), (std::vector<std::string>{"2", "-5", "-5", "-5"}));
  EXPECT_EQ(rect(f), (std::vector<int32_t>{103, 229, 497, 597}));  // the fields' handlers moved nothing
  EXPECT_EQ(std::vector<int32_t>(gkesto.area.guard, gkesto.area.guard + 4), (std::vector<int32_t>{0, 0, 0, 0}));
  EXPECT_EQ(gkesto.area.lock, LockArmed);  // brought to the front: lock-on re-places it
  tick(5);
  EXPECT_EQ(rect(f), (std::vector<int32_t>{105, 198, 495, 595}));
  EXPECT_EQ(gkesto.set.work.defaultarea[0], -29);
}

TEST_F(Area, SaveClampsTheCountAndWritesTheFile) {
  open();
  ossetdlgitemtext(dlg, IDA_COUNT, "100000");
  ossetdlgitemtext(dlg, IDA_LEFT, "-7");
  oscheckdlgbutton(dlg, IDA_CAPKEY, 2);
  areadlgcommand(dlg, IDA_SAVE, OS_BN_CLICKED, 0);
  ASSERT_EQ(gfake.boxes.size(), 1u);
  EXPECT_EQ(gfake.boxes[0].text, "環境データを ファイル名 loginit.txt で保存しました");
  EXPECT_EQ(gfake.boxes[0].caption, "Write OK");
  EXPECT_EQ(gfake.boxes[0].type, OS_MB_ICONINFORMATION);
  EXPECT_EQ(gkesto.set.saved.capturepage, 99999);
  EXPECT_EQ(fakeitemtext(main, IDC_COUNT), "99999");
  std::string ini = readfile(dir + "/loginit.txt");
  EXPECT_NE(ini.find("CAPTUREPAGE=99999\r\n"), std::string::npos);
  EXPECT_NE(ini.find("CUSTOMAREA=2,-7,-5,-5\r\n"), std::string::npos);
  EXPECT_NE(ini.find("ENABLECAPKEY=2\r\n"), std::string::npos);
  EXPECT_EQ(gkesto.set.complete, 1);
  // 2^31 and more are large counts, never negative ones.
  for (const char* typed : {"2147483648", "4294967296"}) {
    ossetdlgitemtext(dlg, IDA_COUNT, "5");
    areadlgcommand(dlg, IDA_SAVE, OS_BN_CLICKED, 0);
    ossetdlgitemtext(dlg, IDA_COUNT, typed);
    areadlgcommand(dlg, IDA_SAVE, OS_BN_CLICKED, 0);
    EXPECT_EQ(gkesto.set.saved.capturepage, 99999) << typed;
  }
  // A file that cannot be written says so.
  gfake.locked.push_back(dir + "/loginit.txt");
  areadlgcommand(dlg, IDA_SAVE, OS_BN_CLICKED, 0);
  EXPECT_EQ(gfake.boxes.back().text, "環境データ保存に失敗しました\r\n\r\n" + dir +
                                         "\\loginit.txt\r\nほかのプログラムが使用中です (エラー 32)\r\n\r\n"
                                         "loginit.txt は変更していません。");
  EXPECT_EQ(gfake.boxes.back().caption, "Write Error");
}

TEST_F(Area, RestoreZeroesTheWindowAreaAndRemakesTheFrame) {
  open("ENABLEAREA=0");
  OsWin f = showlocked();
  ossetdlgitemtext(dlg, IDA_TOP, "12");
  EXPECT_EQ(gkesto.set.windowarea[0], 12);
  areadlgcommand(dlg, IDA_RESTORE, OS_BN_CLICKED, 0);
  EXPECT_EQ(fields(), (std::vector<std::string>{"0", "0", "0", "0"}));
  EXPECT_EQ(gkesto.set.windowarea[0], 0);
  EXPECT_EQ(fakefinddialog(IDD_FRAME), 0u);
  EXPECT_FALSE(fakewindow(f));
  fakepump();  // the posted 枠表示
  OsWin again = gkesto.mw.framewin;
  ASSERT_TRUE(again);
  tick(5);
  EXPECT_EQ(rect(again), (std::vector<int32_t>{100, 200, 500, 600}));
}

TEST_F(Area, SpeedFollowsBothListsAndIsRefusedDuringABurst) {
  open();
  OsWin f = showlocked();
  fakesetlistsel(dlg, IDA_SPEED, 2);
  areadlgcommand(dlg, IDA_SPEED, OS_CBN_SELCHANGE, 0);
  EXPECT_EQ(gkesto.set.interval, 2);
  EXPECT_EQ(fakelistsel(f, IDF_SPEED), 2);
  mainwincommand(IDC_START, 0);
  EXPECT_EQ(fakefindtimer(main, 1)->ms, 392u);  // the row's period when timer 1 starts
  fakesetlistsel(f, IDF_SPEED, 5);
  framecommand(f, IDF_SPEED, OS_LBN_SELCHANGE);
  EXPECT_EQ(gkesto.set.interval, 5);
  EXPECT_EQ(fakelistsel(dlg, IDA_SPEED), 5);
  gkesto.mw.cap.burst = BurstRunning;
  fakesetlistsel(dlg, IDA_SPEED, 1);
  areadlgcommand(dlg, IDA_SPEED, OS_CBN_SELCHANGE, 0);
  EXPECT_EQ(gfake.boxes.back().caption, "COMBO");
  EXPECT_EQ(fakelistsel(dlg, IDA_SPEED), 5);
  fakesetlistsel(f, IDF_SPEED, 1);
  framecommand(f, IDF_SPEED, OS_LBN_SELCHANGE);
  EXPECT_EQ(gfake.boxes.back().text, "連写中にこの操作はできません");
  EXPECT_EQ(gfake.boxes.back().caption, "LIST");
  EXPECT_EQ(fakelistsel(f, IDF_SPEED), 5);
  EXPECT_EQ(gkesto.set.interval, 5);
  gkesto.mw.cap.burst = BurstIdle;
}

TEST_F(Area, FrameCountUpdatesTheOtherFieldsAtOnce) {
  open();
  OsWin f = showlocked();
  EXPECT_EQ(fakeitemtext(f, IDF_COUNT), "100");
  ossetdlgitemtext(f, IDF_COUNT, "300");
  EXPECT_EQ(gkesto.set.work.capturepage, 300);
  EXPECT_EQ(fakeitemtext(main, IDC_COUNT), "300");
  EXPECT_EQ(fakeitemtext(dlg, IDA_COUNT), "300");
  // A count beyond the main window's bounds comes back corrected.
  ossetdlgitemtext(f, IDF_COUNT, "-5");
  EXPECT_EQ(gkesto.set.work.capturepage, 0);
  EXPECT_EQ(fakeitemtext(f, IDF_COUNT), "0");
  ossetdlgitemtext(f, IDF_COUNT, "2147483648");
  EXPECT_EQ(gkesto.set.work.capturepage, 99999);
  EXPECT_EQ(fakeitemtext(f, IDF_COUNT), "99999");
  ossetdlgitemtext(f, IDF_COUNT, "0");
  gkesto.mw.cap.burst = BurstRunning;
  ossetdlgitemtext(f, IDF_COUNT, "7");
  EXPECT_EQ(fakeitemtext(f, IDF_COUNT), "0");
  EXPECT_EQ(gfake.boxes.back().caption, "LIST");
  gkesto.mw.cap.burst = BurstIdle;
}

TEST_F(Area, MenuAndSlidingDriveTheMarkerBar) {
  open();
  OsWin f = showlocked();
  FakeWindow* fw = fakewindow(f);
  int32_t W = fw->rect[2] - fw->rect[0] - 2 * fw->border;
  auto bar = [&]() {
    gfake.draws.clear();
    framepaint(f);
    return gfake.draws.at(0);
  };
  FakeDraw d = bar();
  EXPECT_EQ(std::vector<int32_t>(d.r, d.r + 4), (std::vector<int32_t>{0, 0, W, 18}));
  EXPECT_EQ(d.fill, OS_RGB(240, 128, 0));
  EXPECT_EQ(gfake.draws.size(), 5u);  // bar, close box, "Ｘ", "連", "速"
  EXPECT_EQ(gfake.draws[1].fill, OS_RGB(240, 128, 128));
  EXPECT_EQ(gfake.draws[2].text, "Ｘ");
  EXPECT_EQ(gfake.draws[2].r[0], W - 19);
  // The menu: four entries; " 幅３０分の１ " chosen.
  gfake.menuanswer = IDF_THIRTIETH;
  framerbuttondown(f);
  ASSERT_EQ(gfake.menus.size(), 1u);
  EXPECT_EQ(gfake.menus[0].texts, (std::vector<std::string>{" 右クリックの状態で移動 ", " 幅３０分の１ ",
                                                            " 幅１０分の１ ", "  全体   "}));
  EXPECT_EQ(gfake.menus[0].ids, (std::vector<int>{1025, 1024, 1003, 1001}));
  framerbuttonup(f);
  fakepump();
  EXPECT_EQ(gkesto.marker.width, 3);
  EXPECT_EQ(bar().r[2], W * 3 / 100);
  EXPECT_EQ(gfake.draws.size(), 3u);  // no labels on a short bar
  // Slide it to the right edge: armed, then sliding with the right button.
  gfake.menuanswer = IDF_SLIDE;
  framerbuttondown(f);
  fakepump();
  EXPECT_EQ(gkesto.marker.slide, SlideArmed);
  EXPECT_EQ(gfake.capture, f);
  EXPECT_EQ(bar().fill, OS_RGB(240, 32, 0));
  framerbuttondown(f);  // no menu this time
  EXPECT_EQ(gfake.menus.size(), 2u);
  EXPECT_EQ(gkesto.marker.slide, Sliding);
  gfake.cursor[0] = fw->rect[2];
  framemousemove(f);
  EXPECT_EQ(gkesto.marker.pos, 97);
  framerbuttonup(f);
  EXPECT_EQ(gkesto.marker.slide, SlideOff);
  EXPECT_EQ(gfake.capture, 0u);
  // Width 10 keeps the position and reaches past the band.
  gfake.menuanswer = IDF_TENTH;
  framerbuttondown(f);
  fakepump();
  d = bar();
  EXPECT_EQ(d.r[0], W * 97 / 100);
  EXPECT_GT(d.r[2], W);
  gfake.menuanswer = IDF_WHOLE;
  framerbuttondown(f);
  fakepump();
  EXPECT_EQ(gkesto.marker.pos, 0);
  EXPECT_EQ(bar().r[2], W);
  // The focus leaving the frame's controls darkens the bar.
  framecommand(f, IDF_COUNT, OS_EN_KILLFOCUS);
  EXPECT_EQ(bar().fill, OS_RGB(160, 96, 32));
  // The marker survives the frame.
  areadlgcommand(dlg, IDA_FRAME, OS_BN_CLICKED, 0);
  gfake.menuanswer = 0;
  EXPECT_EQ(gkesto.marker.width, 100);
}

TEST_F(Area, ZoomViewTilesAndTheirFailure) {
  open();
  OsWin f = showlocked();
  areadlgactivate(dlg);
  gfake.draws.clear();
  areadlgpaint(dlg);
  // Four outlines, 4 x 120 squares, four lines.
  ASSERT_EQ(gfake.draws.size(), 4u + 480u + 4u);
  const FakeDraw& outline = gfake.draws[0];
  EXPECT_EQ(std::vector<int32_t>(outline.r, outline.r + 4), (std::vector<int32_t>{63, 33, 113, 75}));
  EXPECT_EQ(outline.fill, OS_NOFILL);
  // The top-left tile's first square is the screen 6 left of and 5 above
  // the frame's corner.
  int32_t fr[4];
  osgetwindowrect(f, fr);
  uint32_t p = fakepixel(fr[0] - 6, fr[1] - 5);
  EXPECT_EQ(gfake.draws[1].fill, OS_RGB(p >> 16 & 0xFF, p >> 8 & 0xFF, p & 0xFF));
  EXPECT_EQ(gfake.draws.back().kind, 'l');
  // Painted once per mark.
  gfake.draws.clear();
  areadlgpaint(dlg);
  EXPECT_TRUE(gfake.draws.empty());
  // A frame partly off the screen: the right tiles are cut where the grab ends.
  osmovewindow(f, 1280 - 100, 10, 200, 100, 1);
  gfake.draws.clear();
  areadlgpaint(dlg);
  EXPECT_LT(gfake.draws.size(), 488u);
  EXPECT_EQ(gkesto.area.zoomw, 106);
  osmovewindow(f, 300, 300, 200, 100, 1);
  gfake.rectfails = 1;
  areadlgactivate(dlg);
  areadlgpaint(dlg);
  ASSERT_FALSE(gfake.boxes.empty());
  EXPECT_EQ(gfake.boxes.back().text, "RectAngle error");
  EXPECT_EQ(gfake.boxes.back().caption, "PAINT");
}

TEST_F(Area, SeeThroughByColourKeyOrCutToTheBand) {
  open();
  OsWin f = showlocked();
  int32_t d[4];
  osgetwindowrect(dlg, d);
  uint32_t p = fakepixel(d[0] + 5, d[1] + 34);
  EXPECT_EQ(gfake.layeredwin, f);
  EXPECT_EQ(gfake.layeredkey, OS_RGB(p >> 16 & 0xFF, p >> 8 & 0xFF, p & 0xFF));
  EXPECT_EQ(gfake.layeredflags, OS_LWA_COLORKEY);
  EXPECT_TRUE(fakewindow(f)->exstyle & OS_WS_EX_LAYERED);
  areadlgcommand(dlg, IDA_FRAME, OS_BN_CLICKED, 0);
  // No colour-keyed windows: not layered (it would not be drawn), cut
  // instead, and cut again at every resize.
  gkesto.setlayered = nullptr;
  areadlgcommand(dlg, IDA_FRAME, OS_BN_CLICKED, 0);
  f = gkesto.mw.framewin;
  ASSERT_TRUE(f);
  EXPECT_FALSE(fakewindow(f)->exstyle & OS_WS_EX_LAYERED);
  EXPECT_EQ(gkesto.frame.seethrough, 2);
  size_t cuts = gfake.cuts.size();
  EXPECT_GE(cuts, 1u);
  osmovewindow(f, 0, 0, 300, 300, 1);
  EXPECT_EQ(gfake.cuts.size(), cuts + 1);
  // The frame cannot be made at all.
  areadlgcommand(dlg, IDA_FRAME, OS_BN_CLICKED, 0);
  gfake.dialogsfail = {IDD_FRAME};
  areadlgcommand(dlg, IDA_FRAME, OS_BN_CLICKED, 0);
  EXPECT_EQ(gfake.boxes.back().text, "DLGSETAREA");
  EXPECT_EQ(gfake.boxes.back().caption, "Open error");
  EXPECT_EQ(gkesto.mw.framewin, 0u);
}

TEST_F(Area, MarginsBeyondTheArrowsRangeSurviveReopening) {
  open();
  ossetdlgitemtext(dlg, IDA_TOP, "700");  // typing is free
  ossetdlgitemtext(dlg, IDA_RIGHT, "-900");
  areadlgcommand(dlg, IDA_END, OS_BN_CLICKED, 0);
  mainwincommand(IDC_AREA, 0);
  dlg = gkesto.mw.areadlg;
  EXPECT_EQ(fields(), (std::vector<std::string>{"700", "-5", "-5", "-900"}));
  EXPECT_EQ(gkesto.set.work.customarea[0], 700);
  EXPECT_EQ(gkesto.set.margins[3], -900);
}

// A margin typed beyond 32 bits is held there; the frame's edge and the
// capture rectangle go as far as they can, never round to the other side.
TEST_F(Area, HugeMarginsMoveTheFrameWithoutWrapping) {
  open();
  OsWin f = showlocked();
  int32_t bottom = rect(f)[3];
  ossetdlgitemtext(dlg, IDA_TOP, "99999999999");
  EXPECT_EQ(gkesto.set.margins[0], INT32_MAX);
  EXPECT_EQ(rect(f)[1], -COORDMAX);
  EXPECT_EQ(rect(f)[3], bottom) << "the bottom edge stays";
  int32_t r[4];
  ASSERT_TRUE(capturerect(r));
  EXPECT_EQ(r[1], -COORDMAX);
  ossetdlgitemtext(dlg, IDA_TOP, "-99999999999");
  EXPECT_EQ(gkesto.set.margins[0], INT32_MIN);
  EXPECT_EQ(rect(f)[1], COORDMAX);
}

TEST_F(Area, CloseBoxOfTheDialogKeepsEditsUnsaved) {
  open();
  ossetdlgitemtext(dlg, IDA_RIGHT, "3");
  ossetdlgitemtext(dlg, IDA_COUNT, "55");
  areadlgclose(dlg);
  EXPECT_EQ(gkesto.mw.areadlg, 0u);
  EXPECT_EQ(gkesto.set.work.customarea[3], 3);
  EXPECT_EQ(gkesto.set.saved.customarea[3], -5);
  EXPECT_EQ(gkesto.set.work.capturepage, 100);  // the close box takes no count
}

}  // namespace
