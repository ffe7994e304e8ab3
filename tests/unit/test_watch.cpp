// The game watcher against the fake desktop: finding the game, following
// golf.txt, the display of a shot, the end of a game and the failures.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#include "app/mainwin.h"
#include "app/startup.h"
#include "app/watch.h"
#include "kesto.h"
#include "loggen.h"
#include "os/fake/fakeos.h"
#include "res/resource.h"
#include "support.h"

namespace {

const char* kgame = "ゴルフ漬け";
const char* kgame2 = "ゴルフ漬け 特盛り";
const char* kmissing1 = "ゴルフ漬け　ログファイル golf.txt が見つかりません　１";
const char* kmissing2 = "ゴルフ漬け　ログファイル golf.txt が見つかりません　２";

std::string shot(int player, int hole, int club, float metres, int power) {
  uint8_t rec[SHOTSIZE];
  for (int i = 0; i < SHOTSIZE; i++) rec[i] = (uint8_t)(i * 3);
  rec[12] = (uint8_t)(hole - 1);
  rec[40] = (uint8_t)club;
  memcpy(rec + 106, &metres, 4);
  rec[157] = 0;
  rec[158] = (uint8_t)power;
  return "*Player" + std::to_string(player) + " 03\r\n" + logshotblock(rec);
}

class Watch : public ::testing::Test {
 protected:
  std::string dir, gamedir, golf;
  OsWin main = 0;

  void SetUp() override {
    kestoreset();
    dir = maketempdir();
    gfake.cwd = dir;
    // A game folder whose path passes the settings' test for the game's log.
    gamedir = dir + "/GOLFDUKE_game_folder_of_the_watcher_tests";
    mkdir(gamedir.c_str(), 0755);
    golf = gamedir + "/golf.txt";
  }
  void TearDown() override { removetree(dir); }

  // Opens the main window with complete settings at an interval row and
  // presses スタート.
  void start(int row = 1) {
    std::string ini = "// loginit.txt\r\nHOME=C:\\kesto\r\nDGPATH=" + golf +
                      "\r\nREAD_COURSE=0\r\nSAVE_COURSE=0\r\nIEXPLORE=0\r\nINTERVAL=" + std::to_string(row) +
                      "\r\nCAPTUREPAGE=100\r\nDEFAULTAREA=-29,-3,-3,-3\r\nCUSTOMAREA=-31,-5,-5,-5\r\n"
                      "ENABLEAREA=2\r\nLOCKONWINDOW=1\r\nENABLECAPKEY=0\r\nSELECTCAPKEY=L-Alt\r\n";
    writefile(dir + "/loginit.txt", ini);
    ASSERT_TRUE(setpaths(dir.c_str()));
    main = oscreatemaindialog(&kestohandlers);
    ASSERT_EQ(std::string(gkesto.set.gamelog), golf);
    mainwincommand(IDC_START, 0);
    ASSERT_EQ(gkesto.mw.watch.state, SeekGame);
  }
  // Delivers n timer-1 ticks while timer 1 runs.
  void tick(int n = 1) {
    for (int i = 0; i < n; i++)
      if (fakefindtimer(main, 1)) mainwintimer(1);
  }
  int A() const { return gkesto.mw.pace.ticks1s; }
  int B() const { return gkesto.mw.pace.ticks3s; }
  std::string item(int id) { return fakeitemtext(main, id); }
  WatchStateId state() const { return gkesto.mw.watch.state; }
  void append(const std::string& s) { writefile(golf, readfile(golf) + s); }
  bool timersrunning() { return fakefindtimer(main, 1) && fakefindtimer(main, 2); }

  // A game window in front over a golf.txt holding text, followed at once.
  OsWin follow(const std::string& text, const char* title = "ゴルフ漬け") {
    writefile(golf, text);
    OsWin g = fakeaddwindow("GAME", title, 0, 0, 640, 480);
    tick(A());
    EXPECT_EQ(state(), GameFound);
    tick(B() - 1);
    EXPECT_EQ(state(), FollowLog);
    return g;
  }
};

}  // namespace

TEST_F(Watch, ChecksComeEveryATicksAtTheSlowestAndFastestRows) {
  for (int row : {1, 7}) {
    SetUp();
    start(row);
    EXPECT_EQ(A(), row == 1 ? 2 : 30);
    OsWin other = fakeaddwindow("OTHER", "メモ帳", 0, 0, 10, 10);
    tick(A() - 1);
    EXPECT_EQ(item(IDC_WINTITLE), "") << "row " << row;
    tick();
    EXPECT_EQ(item(IDC_WINTITLE), "メモ帳") << "row " << row;
    ossetwindowtext(other, "other");
    tick(A() - 1);
    EXPECT_EQ(item(IDC_WINTITLE), "メモ帳") << "row " << row;
    tick();
    EXPECT_EQ(item(IDC_WINTITLE), "other") << "row " << row;
    // The game in front is found at the next check; the log is taken B ticks later.
    ossetwindowtext(other, kgame);
    tick(A());
    EXPECT_EQ(state(), GameFound);
    EXPECT_EQ(gkesto.mw.watch.gamewin, other);
    EXPECT_EQ(gkesto.mw.watch.edition, 0);
    TearDown();
  }
}

TEST_F(Watch, TheWalkLooksOnlyBelowTheForegroundWindowAndTakesExactTitles) {
  start();
  // Only beginning with the game's name is not enough, in front or below.
  fakeaddwindow("GAME", "ゴルフ漬け - 設定", 0, 0, 10, 10);
  fakeaddwindow("GAME", "ゴルフ漬け特盛り", 0, 0, 10, 10);
  OsWin fg = fakeaddwindow("OTHER", "ゴルフ漬け ", 0, 0, 10, 10);
  tick(A());
  EXPECT_EQ(state(), SeekGame);
  EXPECT_EQ(item(IDC_WINTITLE), "ゴルフ漬け ");
  // A game window above the foreground window is not examined.
  OsWin above = fakeaddwindow("GAME", kgame2, 0, 0, 10, 10);
  ossetforegroundwindow(fg);
  tick(A());
  EXPECT_EQ(state(), SeekGame);
  // One below it is found, with its edition taken from its title.
  fakeclosewindow(above);
  OsWin top = fakeaddwindow("OTHER", "top", 0, 0, 10, 10);
  OsWin game = fakeaddwindow("GAME", kgame2, 0, 0, 10, 10);
  fakeaddwindow("OTHER", "front", 0, 0, 10, 10);  // the new foreground window, above the game
  (void)top;
  tick(A());
  EXPECT_EQ(state(), GameFound);
  EXPECT_EQ(gkesto.mw.watch.gamewin, game);
  EXPECT_EQ(gkesto.mw.watch.edition, 1);
  EXPECT_EQ(item(IDC_WINTITLE), kgame2);
  EXPECT_EQ(gfake.lastgettextsize, 512);
}

TEST_F(Watch, TheWalkEndsAfter65534Windows) {
  start();
  OsWin fg = fakeaddwindow("OTHER", "front", 0, 0, 10, 10);
  // Below the foreground window: the main window, 65,533 others, then the
  // game as the 65,535th.
  std::vector<FakeWindow> many;
  for (int i = 0; i < 65533; i++) many.push_back(FakeWindow{(OsWin)(0x100000 + i), "X", "x", {0}, 0, true});
  many.push_back(FakeWindow{0x200000, "GAME", kgame, {0}, 0, true});
  gfake.windows.insert(gfake.windows.end(), many.begin(), many.end());
  gfake.foreground = fg;
  gkesto.mw.foreground = fg;
  EXPECT_EQ(findgamewin(), 0);
  EXPECT_EQ(gfake.getwindowcalls, 65534);
  // One window fewer and it is found.
  gfake.windows.erase(gfake.windows.end() - 2);
  gkesto.mw.foreground = fg;
  EXPECT_EQ(findgamewin(), 1);
  EXPECT_EQ(gkesto.mw.foreground, (OsWin)0x200000);
}

TEST_F(Watch, FollowsOnlyWhatTheGameAppendsAndShowsEachShot) {
  start();
  std::string before = "*Hole  1\r\n" + shot(1, 1, 1, 200.0f, 118);
  follow(before);
  EXPECT_EQ(item(IDC_STATUSLINE), "golf.txt 監視中");
  EXPECT_EQ(item(IDC_LOGSIZE), std::to_string(before.size()));
  EXPECT_EQ(gkesto.mw.watch.readpos, before.size());
  EXPECT_EQ(std::string(gkesto.livebuf, before.size()), before);
  // Records present before the game was found are never shown.
  EXPECT_EQ(item(IDC_CLUB), "");
  tick(3 * A());
  EXPECT_EQ(item(IDC_CLUB), "");

  // Club 70: yards.  50.0 m is bytes 00 00 48 42.
  append("*Hole  5\r\n" + shot(2, 5, 70, 50.0f, 120));
  tick(A() - 1);
  EXPECT_EQ(item(IDC_CLUB), "");
  tick();
  EXPECT_EQ(item(IDC_CLUB), "70");
  EXPECT_EQ(item(IDC_REMAIN), "54.7y");
  EXPECT_EQ(item(IDC_POWER), "100.000000");
  EXPECT_EQ(item(IDC_PLAYER), "2");
  EXPECT_EQ(item(IDC_HOLE), "5");
  EXPECT_EQ(item(IDC_STATUS), "3");
  EXPECT_EQ(item(IDC_PREVSIZE), std::to_string(before.size()));
  // Club 69 stays in metres, as does any club below 70.
  append(shot(2, 5, 69, 123.4f, 60));
  tick(A());
  EXPECT_EQ(item(IDC_CLUB), "69");
  EXPECT_EQ(item(IDC_REMAIN), "123.4m");
  EXPECT_EQ(item(IDC_POWER), "50.000000");
  append(shot(3, 6, 5, 123.4f, 1));
  tick(A());
  EXPECT_EQ(item(IDC_REMAIN), "123.4m");
  EXPECT_EQ(item(IDC_POWER), "0.833333");
  // Player lines alone: status 1, the last shot stays on show.
  append("*Player4 01\r\n");
  tick(A());
  EXPECT_EQ(item(IDC_STATUS), "1");
  EXPECT_EQ(item(IDC_PLAYER), "4");
  EXPECT_EQ(item(IDC_CLUB), "5");
  EXPECT_TRUE(gfake.boxes.empty());
}

TEST_F(Watch, AShrunkLogIsReadAgainOnlyPastTheOldPosition) {
  start();
  std::string before(1000, 'x');
  before += "\r\n";
  follow(before);
  uint32_t pos = gkesto.mw.watch.readpos;
  writefile(golf, "*Hole  9\r\n" + shot(1, 9, 3, 10.0f, 120));  // shorter than pos
  ASSERT_LT(readfile(golf).size(), pos);
  tick(3 * A());
  EXPECT_EQ(item(IDC_CLUB), "");
  EXPECT_EQ(gkesto.mw.watch.readpos, pos);
  // It grows past the old position: only the bytes from there on are parsed.
  std::string now = readfile(golf);
  now += std::string(pos - now.size(), ' ') + "\r\n" + shot(2, 4, 8, 33.0f, 120);
  writefile(golf, now);
  tick(A());
  EXPECT_EQ(item(IDC_CLUB), "8");
  EXPECT_EQ(item(IDC_HOLE), "4");
  EXPECT_EQ(item(IDC_PREVSIZE), std::to_string(pos));
}

TEST_F(Watch, AZeroByteInARecordCostsOnlyThatRecord) {
  start();
  follow("x\r\n");
  std::string bad = shot(1, 2, 40, 90.0f, 100);
  bad[bad.size() - 30] = 0;  // in the record's last line
  append(bad);
  tick(A());
  uint32_t pos = gkesto.mw.watch.readpos;
  EXPECT_EQ(pos, readfile(golf).size());
  EXPECT_EQ(item(IDC_CLUB), "");
  // The next ordinary shot is shown, and the file is not read again from the record.
  append(shot(2, 2, 8, 33.0f, 120));
  tick(A());
  EXPECT_EQ(item(IDC_CLUB), "8");
  EXPECT_EQ(item(IDC_PLAYER), "2");
  EXPECT_EQ(item(IDC_PREVSIZE), std::to_string(pos));
  EXPECT_EQ(gkesto.mw.watch.readpos, readfile(golf).size());
  EXPECT_TRUE(gfake.boxes.empty());
}

TEST_F(Watch, LineLimitAndFailedOpensDelayTheNextCheck) {
  start(3);  // A = 4, back-off -4
  follow("x\r\n");
  std::string many;
  for (int i = 0; i < 1500; i++) many += "line\r\n";
  append(many);
  tick(A());
  EXPECT_EQ(item(IDC_STATUS), "1000");
  // The next check comes after 3A ticks, from the new end.
  append(shot(1, 2, 7, 80.0f, 120));
  tick(3 * A() - 1);
  EXPECT_EQ(item(IDC_CLUB), "");
  tick();
  EXPECT_EQ(item(IDC_CLUB), "7");

  // An open that fails shows 1001 and tries again after 2A ticks.
  append(shot(1, 2, 9, 80.0f, 120));
  gfake.locked.push_back(golf);
  tick(A());
  EXPECT_EQ(item(IDC_STATUS), "1001");
  gfake.locked.clear();
  tick(2 * A() - 1);
  EXPECT_EQ(item(IDC_CLUB), "7");
  tick();
  EXPECT_EQ(item(IDC_CLUB), "9");
  EXPECT_TRUE(gfake.boxes.empty());
  EXPECT_TRUE(timersrunning());
}

TEST_F(Watch, AMissingOrEmptyLogStopsWatchingWithItsMessage) {
  // At discovery: missing.
  start();
  fakeaddwindow("GAME", kgame, 0, 0, 10, 10);
  tick(A() + B());
  ASSERT_EQ(gfake.boxes.size(), 1u);
  EXPECT_EQ(gfake.boxes[0].text, kmissing1);
  EXPECT_EQ(gfake.boxes[0].caption, "Open error");
  EXPECT_EQ(gfake.boxes[0].type, OS_MB_ICONERROR);
  EXPECT_EQ(gfake.boxes[0].timers, 0u);
  EXPECT_EQ(state(), WatchIdle);
  EXPECT_EQ(item(IDC_STATUSLINE), "KESTO を終了してください");
  EXPECT_FALSE(timersrunning());
  EXPECT_EQ(gkesto.mw.run, Running);
  // 停止 and スタート start the timers again, but the watcher stays idle.
  mainwincommand(IDC_STOP, 0);
  mainwincommand(IDC_START, 0);
  EXPECT_TRUE(timersrunning());
  writefile(golf, "x\r\n");
  tick(5 * B());
  EXPECT_EQ(state(), WatchIdle);
  EXPECT_EQ(gfake.boxes.size(), 1u);

  // At discovery: empty.
  TearDown();
  SetUp();
  start();
  writefile(golf, "");
  fakeaddwindow("GAME", kgame, 0, 0, 10, 10);
  tick(A() + B());
  ASSERT_EQ(gfake.boxes.size(), 1u);
  EXPECT_EQ(gfake.boxes[0].text, kmissing1);

  // While following: gone.
  TearDown();
  SetUp();
  start();
  follow("x\r\n");
  unlink(golf.c_str());
  tick(A());
  ASSERT_EQ(gfake.boxes.size(), 1u);
  EXPECT_EQ(gfake.boxes[0].text, kmissing2);
  EXPECT_EQ(gfake.boxes[0].timers, 0u);
  EXPECT_EQ(state(), WatchIdle);
  EXPECT_EQ(gkesto.mw.watch.following, 0);
  EXPECT_FALSE(timersrunning());
}

TEST_F(Watch, PauseAndResumeKeepTheStateAndTellTheUser) {
  start();
  follow("x\r\n");
  mainwincommand(IDC_STOP, 0);
  EXPECT_FALSE(timersrunning());
  append(shot(1, 3, 4, 20.0f, 120));
  mainwincommand(IDC_START, 0);
  EXPECT_EQ(item(IDC_STATUSLINE), "起動監視を再開しました");
  EXPECT_EQ(state(), FollowLog);
  EXPECT_EQ(gkesto.mw.watch.ticks, 0);
  tick(A() - 1);
  EXPECT_EQ(item(IDC_STATUSLINE), "起動監視を再開しました");
  tick();
  EXPECT_EQ(item(IDC_STATUSLINE), "golf.txt 監視中");
  EXPECT_EQ(item(IDC_CLUB), "4");
  EXPECT_EQ(gkesto.mw.watch.resume, 0);
}

TEST_F(Watch, TheGameEndsWithACopyOfItsLogAndTheSearchResumes) {
  start();
  std::string log = "*Hole  1\r\n" + shot(1, 1, 1, 200.0f, 118);
  OsWin g = follow(log, kgame2);
  append("** Stroke End **\r\n");
  fakeclosewindow(g);
  tick(A());
  EXPECT_EQ(item(IDC_STATUSLINE), "ゴルフ漬け 特盛り が終了しました");
  EXPECT_EQ(readfile(dir + "/golfwatch.txt"), readfile(golf));
  EXPECT_EQ(state(), GameEnded);
  EXPECT_EQ(gkesto.mw.watch.following, 0);
  EXPECT_EQ(gkesto.mw.watch.gamewin, 0u);
  EXPECT_EQ(gkesto.mw.watch.edition, 0);
  EXPECT_TRUE(timersrunning());
  EXPECT_TRUE(gfake.boxes.empty());
  tick(B() - 2);
  EXPECT_EQ(state(), GameEnded);
  tick();
  EXPECT_EQ(state(), SeekGame);
  EXPECT_EQ(item(IDC_STATUSLINE), "起動監視をスタートしました");

  // A second, shorter game replaces the copy whole.
  OsWin g2 = follow("y\r\n");
  fakeclosewindow(g2);
  tick(A());
  EXPECT_EQ(item(IDC_STATUSLINE), "ゴルフ漬け が終了しました");
  EXPECT_EQ(readfile(dir + "/golfwatch.txt"), "y\r\n");
}

TEST_F(Watch, ALogHeldWithoutWriteSharingIsStillRead) {
  start();
  gfake.writelocked.push_back(golf);
  std::string log = "*Hole  1\r\n" + shot(1, 1, 1, 200.0f, 118);
  OsWin g = follow(log);
  EXPECT_EQ(std::string(gkesto.livebuf, log.size()), log);
  fakeclosewindow(g);
  tick(A());
  EXPECT_EQ(readfile(dir + "/golfwatch.txt"), log);
}

TEST_F(Watch, AFailedCopyIsReportedAndWatchingGoesOn) {
  start();
  mkdir((dir + "/golfwatch.txt").c_str(), 0755);  // cannot be opened as a file
  OsWin g = follow("x\r\n");
  fakeclosewindow(g);
  tick(A());
  ASSERT_EQ(gfake.boxes.size(), 1u);
  EXPECT_EQ(gfake.boxes[0].text, "ゲームのログのコピー golfwatch.txt を保存できませんでした\r\n\r\n" + dir +
                                     "\\golfwatch.txt\r\n書き込みが許可されていません (エラー 5)\r\n\r\n"
                                     "前の golfwatch.txt は変更していません。");
  EXPECT_EQ(gfake.boxes[0].caption, "Write error");
  EXPECT_EQ(gfake.boxes[0].timers, 0u);
  EXPECT_TRUE(timersrunning());
  EXPECT_EQ(state(), GameEnded);
}

// golfwatch.txt is replaced, never truncated first: the copy of the game
// before stays whole when the disk fills.
TEST_F(Watch, ACopyTheDiskCannotHoldLeavesTheOldCopyWhole) {
  start();
  writefile(dir + "/golfwatch.txt", "the game before\r\n");
  gfake.diskroom = 5;
  OsWin g = follow("*Hole  1\r\n" + shot(1, 1, 1, 200.0f, 118));
  fakeclosewindow(g);
  tick(A());
  EXPECT_EQ(readfile(dir + "/golfwatch.txt"), "the game before\r\n");
  EXPECT_FALSE(osfindfile((dir + "/golfwatch.txt.tmp").c_str()));
  ASSERT_EQ(gfake.boxes.size(), 1u);
  EXPECT_NE(gfake.boxes[0].text.find("ディスクの空きが足りません (エラー 112)"), std::string::npos);
  EXPECT_EQ(state(), GameEnded);
}

TEST_F(Watch, ALogOf4MiBIsNeverReadPastTheLiveBuffer) {
  // Already too large when the game is found.
  start();
  writefile(golf, "x");
  ASSERT_EQ(truncate(golf.c_str(), LOGBUFSIZE), 0);
  memset(gkesto.playlog, 0x5A, 16);  // the bytes right after the live buffer
  OsWin g = fakeaddwindow("GAME", kgame, 0, 0, 10, 10);
  tick(A() + B());
  ASSERT_EQ(gfake.boxes.size(), 1u);
  EXPECT_EQ(gfake.boxes[0].text, "golf.txt = 4194304, >= 4194304 !");
  EXPECT_EQ(gfake.boxes[0].caption, "Open error");
  EXPECT_EQ(gfake.boxes[0].timers, 0u);
  EXPECT_EQ(item(IDC_STATUSLINE), "これ以上監視できません。KESTO を終了してください");
  EXPECT_FALSE(timersrunning());
  EXPECT_EQ(std::string(gkesto.playlog, 16), std::string(16, 0x5A));
  // After 停止 and スタート the follow step refuses it again.
  mainwincommand(IDC_STOP, 0);
  mainwincommand(IDC_START, 0);
  tick(A());
  ASSERT_EQ(gfake.boxes.size(), 2u);
  EXPECT_EQ(gfake.boxes[1].text, "golf.txt = 4194304, >= 4194304 !");
  // When that game ends, golfwatch.txt is still a whole copy.
  fakeclosewindow(g);
  mainwincommand(IDC_STOP, 0);
  mainwincommand(IDC_START, 0);
  tick(A());
  EXPECT_EQ(item(IDC_STATUSLINE), "ゴルフ漬け が終了しました");
  struct stat st;
  ASSERT_EQ(stat((dir + "/golfwatch.txt").c_str(), &st), 0);
  EXPECT_EQ(st.st_size, LOGBUFSIZE);
  EXPECT_EQ(std::string(gkesto.playlog, 16), std::string(16, 0x5A));
}

TEST_F(Watch, ALogGrowingTo4MiBWhileFollowedStopsTheTimers) {
  start();
  follow("x\r\n");
  ASSERT_EQ(truncate(golf.c_str(), LOGBUFSIZE + 10), 0);
  tick(A());
  ASSERT_EQ(gfake.boxes.size(), 1u);
  EXPECT_EQ(gfake.boxes[0].text, "golf.txt = 4194314, >= 4194304 !");
  EXPECT_EQ(state(), FollowLog);
  EXPECT_FALSE(timersrunning());
}

TEST_F(Watch, ANewSpeedTakesEffectWhenTimer1StartsAgain) {
  start(1);
  EXPECT_EQ(fakefindtimer(main, 1)->ms, 495u);
  gkesto.set.interval = 7;
  EXPECT_EQ(A(), 2);
  mainwincommand(IDC_STOP, 0);
  mainwincommand(IDC_START, 0);
  EXPECT_EQ(fakefindtimer(main, 1)->ms, 29u);
  EXPECT_EQ(A(), 30);
  EXPECT_EQ(B(), 100);
  EXPECT_EQ(gkesto.mw.pace.backoff, -30);
}

TEST_F(Watch, ARecordCaughtHalfWrittenIsShownWholeOnceComplete) {
  start();
  follow("x\r\n");
  std::string rec = shot(2, 5, 70, 50.0f, 120);
  size_t cut = rec.find("ShotData:") + 200;  // inside the record's lines
  append(rec.substr(0, cut));
  tick(A());
  EXPECT_EQ(item(IDC_PLAYER), "2");  // the player line before the record is taken
  EXPECT_EQ(item(IDC_CLUB), "");     // no shot made of a half record
  append(rec.substr(cut) + "*Hole  6\r\n*Play");  // the record ends; a line begins
  tick(A());
  EXPECT_EQ(item(IDC_CLUB), "70");
  EXPECT_EQ(item(IDC_REMAIN), "54.7y");
  EXPECT_EQ(item(IDC_HOLE), "6");
  EXPECT_EQ(gkesto.mw.watch.readpos, readfile(golf).size() - 5);
  append("er3 01\r\n");
  tick(A());
  EXPECT_EQ(item(IDC_PLAYER), "3");
  EXPECT_EQ(gkesto.mw.watch.readpos, readfile(golf).size());
}

// golfwatch.txt is made only from the whole of golf.txt: a read that brings
// less than asked is read on, and a read that fails keeps the old copy and
// says so.
TEST_F(Watch, TheCopyIsMadeOnlyFromTheWholeLog) {
  start();
  std::string log = "*Hole  1\r\n" + shot(1, 1, 1, 200.0f, 118) + shot(2, 1, 3, 150.5f, 90);
  OsWin g = follow(log);
  gfake.shortreads = -1;  // every read brings half of what it asks
  fakeclosewindow(g);
  tick(A());
  gfake.shortreads = 0;
  EXPECT_EQ(readfile(dir + "/golfwatch.txt"), log);
  EXPECT_TRUE(gfake.boxes.empty());

  tick(B());
  OsWin g2 = follow(log + "** Stroke End **\r\n");
  gfake.readfails = 1;
  fakeclosewindow(g2);
  tick(A());
  gfake.readfails = 0;
  EXPECT_EQ(readfile(dir + "/golfwatch.txt"), log);
  EXPECT_FALSE(osfindfile((dir + "/golfwatch.txt.tmp").c_str()));
  ASSERT_EQ(gfake.boxes.size(), 1u);
  EXPECT_EQ(gfake.boxes[0].text.rfind("ゲームのログ golf.txt を最後まで読めなかったため、golfwatch.txt を保存しませんでした\r\n\r\n" +
                                          golf + "\r\n",
                                      0),
            0u)
      << gfake.boxes[0].text;
  EXPECT_NE(gfake.boxes[0].text.find("前の golfwatch.txt は変更していません。"), std::string::npos);
  EXPECT_EQ(gfake.boxes[0].caption, "Write error");
  EXPECT_EQ(gfake.boxes[0].timers, 0u);
  EXPECT_TRUE(timersrunning());
  EXPECT_EQ(state(), GameEnded);
  EXPECT_EQ(fakeleftovers(), "");
}

// A step reports what happened in the order it happened and touches no
// window field itself: a shot, then the game's end with its copy, each
// listed for the main window's tick to apply.
TEST_F(Watch, AStepListsWhatHappenedInOrderAndDrawsNothing) {
  start();
  std::string log = "*Hole  1\r\n";
  OsWin g = follow(log);
  static WatchEvents ev;
  auto kinds = [&] {
    std::string k;
    for (int32_t i = 0; i < ev.count; i++) k += (char)('a' + ev.ev[i].kind);
    return k;
  };
  append(shot(2, 3, 7, 150.0f, 60));
  std::string clubbefore = item(IDC_CLUB);
  gkesto.mw.watch.ticks = A() - 1;
  watchstep(ev);
  EXPECT_EQ(item(IDC_CLUB), clubbefore);  // nothing drawn by the step
  // Log lengths, the shot, then status, player and hole, and how far the log is read.
  std::string k = kinds();
  ASSERT_EQ(k, std::string() + (char)('a' + WatchFieldNumber) + (char)('a' + WatchFieldNumber) +
                   (char)('a' + WatchShot) + (char)('a' + WatchFieldNumber) + (char)('a' + WatchFieldNumber) +
                   (char)('a' + WatchFieldNumber) + (char)('a' + WatchLogRead));
  EXPECT_EQ(ev.ev[2].shot.club, 7);
  EXPECT_EQ(ev.ev[5].id, IDC_HOLE);
  EXPECT_EQ(ev.lost, 0);

  append("** Stroke End **\r\n");
  fakeclosewindow(g);
  gkesto.mw.watch.ticks = A() - 1;
  watchstep(ev);
  k = kinds();
  EXPECT_EQ(k, std::string() + (char)('a' + WatchStopTicks) + (char)('a' + WatchFieldText) +
                   (char)('a' + WatchGameEnded) + (char)('a' + WatchLogCopied) + (char)('a' + WatchStartTicks));
  EXPECT_STREQ(ev.ev[1].text, "ゴルフ漬け が終了しました");
  EXPECT_EQ(item(IDC_STATUSLINE), "golf.txt 監視中");  // still as it was: the tick applies the list
  EXPECT_EQ(readfile(dir + "/golfwatch.txt"), readfile(golf));
}
