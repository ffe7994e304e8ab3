// The live state for streaming against the fake desktop: every shot of a
// follow step in order, the board of a game followed from its middle, the
// JSON and the text files in live\, refused replacements, live.txt, the
// system menu's entries and "配信の設定".
#include <set>
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <sys/stat.h>
#include <vector>

#include "app/live.h"
#include "app/mainwin.h"
#include "app/startup.h"
#include "app/watch.h"
#include "config/course.h"
#include "kesto.h"
#include "loggen.h"
#include "os/fake/fakeos.h"
#include "res/resource.h"
#include "support.h"

namespace {

const char kcourse[] = "ロペ倶楽部";
const std::string kbom = "\xEF\xBB\xBF";

// A hole played in n strokes by one player, the last shot a putt.
std::string holeplayed(int player, int h, int n) {
  std::string s;
  for (int k = 1; k <= n; k++) s += logshot(player, k, h, k == n ? 70 : 10, 100.0f / k, 100);
  return s;
}

int parof(const char* course, int h) {
  int32_t k = findcourse(course, gkesto.courses);
  return k < 0 ? 0 : gkesto.courses[k].par[h - 1];
}

class Live : public ::testing::Test {
 protected:
  std::string dir, gamedir, golf;
  OsWin main = 0;

  void SetUp() override {
    kestoreset();
    dir = maketempdir();
    gfake.cwd = dir;
    gamedir = dir + "/GOLFDUKE_game_folder_of_the_live_tests";
    mkdir(gamedir.c_str(), 0755);
    golf = gamedir + "/golf.txt";
  }
  void TearDown() override { removetree(dir); }

  // The main window with complete settings (live.txt given as text when
  // not null), スタート pressed.
  void start(const char* livetxt = "FILES=1\r\n") {
    writefile(dir + "/loginit.txt", completeloginit(golf));
    if (livetxt) writefile(dir + "/live.txt", livetxt);
    ASSERT_TRUE(setpaths(dir.c_str()));
    main = oscreatemaindialog(&kestohandlers);
    mainwincommand(IDC_START, 0);
  }
  void tick(int n = 1) {
    for (int i = 0; i < n; i++)
      if (fakefindtimer(main, 1)) mainwintimer(1);
  }
  int A() const { return gkesto.mw.pace.ticks1s; }
  int B() const { return gkesto.mw.pace.ticks3s; }
  void append(const std::string& s) { writefile(golf, readfile(golf) + s); }
  // The next follow step.
  void step() {
    gkesto.mw.watch.ticks = A() - 1;
    tick();
  }
  OsWin follow(const std::string& text) {
    writefile(golf, text);
    OsWin g = fakeaddwindow("GAME", "ゴルフ漬け", 0, 0, 640, 480);
    tick(A());
    tick(B() - 1);
    EXPECT_EQ(gkesto.mw.watch.state, FollowLog);
    return g;
  }
  std::string live(const char* name) { return readfile(dir + "/live/" + name); }
  bool exists(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0;
  }
  std::string json() {
    static char b[16384];
    EXPECT_GE(livejson(b, (int32_t)sizeof b), 0);
    return b;
  }
};

}  // namespace

// Three records and a "*Player" line in one stretch: three shots in order,
// each with its own club and power; the main window still shows the state
// after the stretch (the "*Player" line's club 0), and shot.txt the last record.
TEST_F(Live, SeveralShotsInOneStepAreSeveralShotsInOrder) {
  start();
  follow(logbegin({"太郎"}, kcourse) + loghole(5));
  int32_t seq = glive.seq;
  append(logshot(1, 1, 5, 10, 200.0f, 110) + logshot(1, 2, 5, 50, 123.4f, 85) + logshot(1, 3, 5, 70, 3.0f, 30) +
         "*Player1 04\r\n");
  static WatchEvents ev;
  gkesto.mw.watch.ticks = A() - 1;
  watchstep(ev);
  std::vector<int> clubs, last;
  for (int32_t i = 0; i < ev.count; i++)
    if (ev.ev[i].kind == WatchShot) {
      clubs.push_back(ev.ev[i].shot.club);
      last.push_back(ev.ev[i].value);
    }
  EXPECT_EQ(clubs, (std::vector<int>{10, 50, 70}));
  EXPECT_EQ(last, (std::vector<int>{0, 0, 1}));
  for (int32_t i = 0; i < ev.count; i++)
    if (ev.ev[i].kind == WatchShot && ev.ev[i].value) {
      EXPECT_EQ(ev.ev[i].shown.club, 0);
    }

  // Through the tick: each one counted, the last one's own values in the files.
  append(logshot(1, 4, 5, 50, 123.4f, 85) + logshot(1, 5, 5, 10, 250.0f, 120) + logshot(1, 6, 5, 72, 1.0f, 12) +
         "*Player1 07\r\n");
  step();
  EXPECT_EQ(glive.seq, seq + 3);
  EXPECT_EQ(glive.shot.club, 72);
  EXPECT_EQ(glive.shot.power, 12);
  EXPECT_EQ(fakeitemtext(main, IDC_CLUB), "0");  // as the main window always showed it
  EXPECT_EQ(live("shot.txt"), kbom + u8"太郎  H5  Club 72  10.0%  残り 1.1y\r\n");
  EXPECT_EQ(live("club.txt"), kbom + "72\r\n");
  EXPECT_EQ(live("power.txt"), kbom + "10.0%\r\n");
  EXPECT_EQ(live("remaining.txt"), kbom + "1.1y\r\n");
  EXPECT_EQ(live("hole.txt"), kbom + "5\r\n");
  EXPECT_EQ(live("player.txt"), kbom + u8"太郎\r\n");
  // The example of the README: club 50 at 85 of 120 with 123.4 m left.
  append(logshot(1, 1, 6, 50, 123.4f, 85));
  step();
  EXPECT_EQ(live("shot.txt"), kbom + u8"太郎  H6  Club 50  70.8%  残り 123.4m\r\n");
}

// Followed from the middle of its second game, the log gives that game's
// whole board, the first game's strokes not mixed in.
TEST_F(Live, AGameFollowedFromItsMiddleGivesTheWholeBoard) {
  std::vector<LogGenGame> info;
  std::string log;
  for (uint64_t seed = 3;; seed++) {
    info.clear();
    log = loggen(seed, 2, &info);
    if (!info[1].pointbattle && info[1].firsthole == 1 && info[1].lasthole >= 12 && !info[1].endprogram) break;
  }
  // Cut where the second game's eighth hole begins.
  size_t second = log.find("** Stroke Begin **", log.find("** ", log.find("Begin **") + 10) + 1);
  if (second == std::string::npos) second = log.rfind("Begin **");
  size_t cut = log.find("*Hole  8\r\n", second);
  ASSERT_NE(cut, std::string::npos);
  start();
  follow(log.substr(0, cut));
  append(log.substr(cut, 2000));
  step();
  // The holes before following are all there already.
  const LogGenGame& g = info[1];
  for (int p = 0; p < g.players; p++)
    for (int h = 0; h < 7; h++) EXPECT_EQ(glive.game.stroke[p][h], g.stroke[p][h]) << p << " " << h;
  append(log.substr(cut + 2000));
  for (int i = 0; i < 10; i++) step();
  EXPECT_EQ(glive.game.players, g.players);
  for (int p = 0; p < g.players; p++)
    for (int h = 0; h < 18; h++) EXPECT_EQ(glive.game.stroke[p][h], g.stroke[p][h]) << p << " " << h;
  EXPECT_TRUE(glive.game.ended);
  // The same board as the whole log read at once (kestocard --live).
  std::string followed = json();
  memcpy(gkesto.livebuf, log.data(), log.size());
  gkesto.livebuf[log.size()] = 0;
  livefromlog((int32_t)log.size());
  std::string whole = json();
  EXPECT_EQ(followed.substr(followed.find("\"board\"")), whole.substr(whole.find("\"board\"")));
}

// A course the table does not know has no pars: no to-par in the JSON, a
// dash in the files; a known one gives to-par as golfers write it.
TEST_F(Live, AnUnknownCourseGivesNoToPar) {
  start();
  follow(logbegin({"Taro", "Hanako"}, "Nowhere Links") + loghole(1));
  append(holeplayed(1, 1, 4) + holeplayed(2, 1, 5) + loghole(2) + holeplayed(1, 2, 3));
  step();
  std::string j = json();
  EXPECT_NE(j.find("\"to_par\": null, \"thru\": 2"), std::string::npos) << j;
  EXPECT_EQ(j.find("\"to_par\": -"), std::string::npos);
  EXPECT_EQ(live("board.txt"), kbom + u8"Taro  —  2\r\nHanako  —  1\r\n");
  EXPECT_EQ(live("topar.txt"), kbom + u8"—\r\n");
  EXPECT_EQ(glive.haspars, 0);

  // The next game on a known course: even, over and under par.
  int p1 = parof(kcourse, 1), p2 = parof(kcourse, 2);
  ASSERT_GT(p1, 2);
  append("** Stroke End **\r\n" + logbegin({"Taro", "Hanako"}, kcourse) + loghole(1) + holeplayed(1, 1, p1) +
         holeplayed(2, 1, p1 + 2) + loghole(2) + holeplayed(1, 2, p2 - 1));
  step();
  EXPECT_EQ(live("board.txt"), kbom + "Taro  -1  2\r\nHanako  +2  1\r\n");
  EXPECT_EQ(live("topar.txt"), kbom + "-1\r\n");
  append(holeplayed(2, 2, p2 - 2));
  step();
  EXPECT_EQ(live("board.txt"), kbom + "Taro  -1  2\r\nHanako  E  2\r\n");
  j = json();
  EXPECT_NE(j.find("\"to_par\": 0, \"thru\": 2"), std::string::npos) << j;
}

// A name with markup and a lone lead byte before '<': the lead byte becomes
// U+FFFD and the rest stays text, escaped in JSON, as it is in the files.
TEST_F(Live, ANameWithMarkupStaysText) {
  start();
  std::string name = "\x81<b>&\"x</b>";
  follow(logbegin({name}, "<i>Links</i>") + loghole(3));
  append(logshot(1, 1, 3, 10, 50.0f, 60));
  step();
  std::string j = json();
  EXPECT_NE(j.find("\"name\": \"\xEF\xBF\xBD\\u003cb\\u003e\\u0026\\\"x\\u003c/b\\u003e\""), std::string::npos)
      << j;
  EXPECT_NE(j.find("\"course\": \"\\u003ci\\u003eLinks\\u003c/i\\u003e\""), std::string::npos) << j;
  EXPECT_EQ(j.find('<'), std::string::npos);
  EXPECT_EQ(live("player.txt"), kbom + "\xEF\xBF\xBD<b>&\"x</b>\r\n");
  EXPECT_EQ(live("shot.txt").substr(0, 20), kbom + "\xEF\xBF\xBD<b>&\"x</b>  H3");
}

// A move refused (a streaming tool holds the file) leaves the old file whole
// and no temporary; it is tried again at the next step, told once in the
// status line and in the dialog, never in a message box.
TEST_F(Live, ARefusedMoveIsRetriedAndNeverLeavesAPartialFile) {
  start();
  follow(logbegin({"Taro"}, kcourse) + loghole(1));
  append(logshot(1, 1, 1, 10, 200.0f, 60));
  step();
  std::string before = live("shot.txt");
  ASSERT_NE(before, "");
  std::string shotpath = dir + "/live/shot.txt";
  gfake.denied.push_back(shotpath);
  append(logshot(1, 2, 1, 50, 80.0f, 90));
  step();
  EXPECT_EQ(live("shot.txt"), before);
  EXPECT_FALSE(exists(shotpath + ".tmp"));
  EXPECT_EQ(live("club.txt"), kbom + "50\r\n");  // the others are replaced
  EXPECT_EQ(glive.failures, 1);
  EXPECT_NE(fakeitemtext(main, IDC_STATUSLINE).find("shot.txt"), std::string::npos);
  // Retried every tick while held; told once.
  ossetdlgitemtext(main, IDC_STATUSLINE, "x");
  tick(3);
  EXPECT_EQ(glive.failures, 4);
  EXPECT_EQ(fakeitemtext(main, IDC_STATUSLINE), "x");
  EXPECT_EQ(live("shot.txt"), before);
  // Released: the next tick writes it.
  gfake.denied.clear();
  tick();
  EXPECT_EQ(live("shot.txt"), kbom + "Taro  H1  Club 50  75.0%  " + u8"残り 80.0m\r\n");
  EXPECT_FALSE(exists(shotpath + ".tmp"));
  EXPECT_TRUE(gfake.boxes.empty());
  // Nothing new, nothing written.
  int32_t written = glive.written;
  tick(2);
  EXPECT_EQ(glive.written, written);

  // A write that fails half way: the temporary goes, the file stays whole.
  before = live("shot.txt");
  gfake.writefails = 1;
  append(logshot(1, 3, 1, 70, 2.0f, 20));
  step();
  EXPECT_EQ(live("shot.txt"), before);
  EXPECT_FALSE(exists(shotpath + ".tmp"));
  tick();
  EXPECT_EQ(live("club.txt"), kbom + "70\r\n");
  EXPECT_NE(live("shot.txt"), before);
  // The dialog tells the count and the last reason.
  EXPECT_EQ(livesyscommand(IDM_LIVESETTINGS), 1);
  OsWin d = fakefinddialog(IDD_LIVE);
  ASSERT_TRUE(d);
  EXPECT_NE(fakeitemtext(d, IDC_LIVE_STATE).find("失敗 5 回"), std::string::npos) << fakeitemtext(d, IDC_LIVE_STATE);
  EXPECT_TRUE(gfake.boxes.empty());
}

// Every entry KESTO puts in the system menu has an id of its own, in the
// range a system menu allows (below 0xF000, low four bits clear): two
// entries sharing one would both run the first one's command.
TEST_F(Live, SystemMenuEntriesHaveIdsOfTheirOwn) {
  start(nullptr);
  fakepump();
  std::set<uint32_t> ids;
  int entries = 0;
  for (const FakeMenuEntry& e : gfake.sysmenu) {
    if (e.flags & OS_MF_SEPARATOR) continue;
    entries++;
    EXPECT_TRUE(ids.insert(e.id).second) << "id " << e.id << " twice, at " << e.text;
    EXPECT_LT(e.id, 0xF000u);
    EXPECT_EQ(e.id & 0xFu, 0u);
  }
  EXPECT_GE(entries, 5);
}

// live.txt: missing means all off (no files, the menu entry unchecked);
// FILES=1 checks it; a damaged line is told once and taken as its default;
// the menu entry writes the file whole.
TEST_F(Live, SettingsFileAndSystemMenu) {
  start(nullptr);
  EXPECT_EQ(glive.set.files, 0);
  EXPECT_EQ(glive.set.port, LIVEPORT_DEFAULT);
  fakepump();
  EXPECT_TRUE(gfake.boxes.empty());
  const FakeMenuEntry* entry = nullptr;
  for (const FakeMenuEntry& e : gfake.sysmenu)
    if (e.id == IDM_LIVEFILES) entry = &e;
  ASSERT_TRUE(entry);
  EXPECT_EQ(entry->text, "配信用テキストファイル");
  EXPECT_EQ(entry->flags & OS_MF_CHECKED, 0u);
  follow(logbegin({"Taro"}, kcourse) + loghole(1));
  append(logshot(1, 1, 1, 10, 200.0f, 60));
  step();
  EXPECT_FALSE(exists(dir + "/live"));
  // Switched on from the menu: written at once, and live.txt saved.
  EXPECT_EQ(kestohandlers.main.syscommand(IDM_LIVEFILES), 1);  // through the handlers' table
  EXPECT_NE(entry->flags & OS_MF_CHECKED, 0u);
  EXPECT_EQ(readfile(dir + "/live.txt"), "// live.txt\r\nFILES=1\r\nSERVER=0\r\nPORT=8089\r\n");
  EXPECT_EQ(live("club.txt"), kbom + "10\r\n");
  EXPECT_EQ(live("board.txt"), kbom + "Taro  " + std::to_string(1 - parof(kcourse, 1)) + "  1\r\n");
  // A failed save is told (a command, not a tick) and the switch holds.
  gfake.denied.push_back(dir + "/live.txt");
  livesyscommand(IDM_LIVEFILES);
  ASSERT_EQ(gfake.boxes.size(), 1u);
  EXPECT_NE(gfake.boxes[0].text.find("live.txt"), std::string::npos);
  EXPECT_EQ(glive.set.files, 0);
  EXPECT_EQ(readfile(dir + "/live.txt"), "// live.txt\r\nFILES=1\r\nSERVER=0\r\nPORT=8089\r\n");
}

TEST_F(Live, ADamagedSettingsLineIsToldOnceAndDefaulted) {
  start("// live.txt\r\nFILES=1\r\nPORT=99999\r\nSERVER=1\r\n");
  EXPECT_EQ(glive.set.files, 1);
  EXPECT_EQ(glive.set.server, 1);
  EXPECT_EQ(glive.set.port, LIVEPORT_DEFAULT);
  fakepump();
  ASSERT_EQ(gfake.boxes.size(), 1u);
  EXPECT_NE(gfake.boxes[0].text.find("3 行目"), std::string::npos) << gfake.boxes[0].text;
  // Not replaced by defaults until the user changes a setting.
  EXPECT_EQ(readfile(dir + "/live.txt"), "// live.txt\r\nFILES=1\r\nPORT=99999\r\nSERVER=1\r\n");
  mainwincommand(IDC_STARTNOTICE, 0);
  EXPECT_EQ(gfake.boxes.size(), 1u);
}

TEST(LiveSettings, LinesAndValues) {
  struct Case {
    const char* text;
    int files, server, port, bad, firstbad;
  } cases[] = {
      {"", 0, 0, LIVEPORT_DEFAULT, 0, 0},
      {"FILES=1\r\nSERVER=1\r\nPORT=1\r\n", 1, 1, 1, 0, 0},
      {"FILES=1\nPORT=65535", 1, 0, 65535, 0, 0},
      {"// c\r\n\r\n  FILES=1  \r\n", 1, 0, LIVEPORT_DEFAULT, 0, 0},
      {"FILES=2\r\nPORT=0\r\nPORT=65536\r\n", 0, 0, LIVEPORT_DEFAULT, 3, 1},
      {"FILES=1\r\nfiles=0\r\nPORT=80x\r\nSERVER=\r\nX\r\n", 1, 0, LIVEPORT_DEFAULT, 4, 2},
      {"FILES =1\r\nFILESX=1\r\nPORT=000080\r\n", 0, 0, LIVEPORT_DEFAULT, 3, 1},
      {"PORT=00080\r\n", 0, 0, 80, 0, 0},
  };
  for (const Case& c : cases) {
    LiveSettings s;
    int32_t first = -1;
    EXPECT_EQ(parselivesettings(c.text, (int32_t)strlen(c.text), s, &first), c.bad) << c.text;
    EXPECT_EQ(first, c.firstbad) << c.text;
    EXPECT_EQ(s.files, c.files) << c.text;
    EXPECT_EQ(s.server, c.server) << c.text;
    EXPECT_EQ(s.port, c.port) << c.text;
  }
  // What is written reads back the same; a length stops the reader.
  LiveSettings w = {1, 1, 12345}, r;
  char text[128];
  ASSERT_GT(formatlivesettings(w, text, (int32_t)sizeof text), 0);
  EXPECT_EQ(parselivesettings(text, (int32_t)strlen(text), r, nullptr), 0);
  EXPECT_EQ(r.files, 1);
  EXPECT_EQ(r.port, 12345);
  EXPECT_EQ(parselivesettings("FILES=1\r\nPORT=12", 11, r, nullptr), 1);  // "PORT=12" cut to "P"
  EXPECT_EQ(formatlivesettings(w, text, 10), -1);
}

// "配信の設定…": the folder of the files, its button, the switch and 閉じる,
// through the handlers' table.
TEST_F(Live, TheDialogShowsTheFolderAndOpensIt) {
  start(nullptr);
  EXPECT_EQ(livesyscommand(IDM_LIVESETTINGS), 1);
  OsWin d = fakefinddialog(IDD_LIVE);
  ASSERT_TRUE(d);
  EXPECT_EQ(fakeitemtext(d, IDC_LIVE_FOLDER), dir + "\\live");
  EXPECT_NE(fakeitemtext(d, IDC_LIVE_STATE).find("失敗はありません"), std::string::npos);
  ossendcommand(d, IDC_LIVE_OPEN);
  ASSERT_EQ(gfake.opened.size(), 1u);
  EXPECT_EQ(gfake.opened[0].cmdline, dir + "\\live");
  EXPECT_TRUE(exists(dir + "/live"));
  oscheckdlgbutton(d, IDC_LIVE_FILES, 1);
  ossendcommand(d, IDC_LIVE_FILES);
  EXPECT_EQ(glive.set.files, 1);
  EXPECT_NE(readfile(dir + "/live.txt").find("FILES=1"), std::string::npos);
  // A new game followed keeps the count of shots and the open dialog.
  glive.seq = 7;
  livegamestarted(0, 1);
  EXPECT_EQ(glive.seq, 7);
  EXPECT_EQ(glive.dlg, d);
  ossendcommand(d, IDC_LIVE_END);
  EXPECT_EQ(glive.dlg, (OsWin)0);
  EXPECT_FALSE(fakefinddialog(IDD_LIVE));
}

// The state at the end of generated logs (kestocard --live) against what the
// generator put in the last game: names, strokes, totals and to-par, and one
// shot per ShotData record.
TEST(LiveFromLog, GeneratedLogsGiveTheLastGamesBoard) {
  memset(&glive, 0, sizeof glive);
  initcourses();
  for (uint64_t seed = 1; seed <= 12; seed++) {
    std::vector<LogGenGame> info;
    std::string log = loggen(seed, 3, &info);
    ASSERT_LT(log.size(), (size_t)LOGBUFSIZE);
    memcpy(gkesto.livebuf, log.data(), log.size());
    gkesto.livebuf[log.size()] = 0;
    livefromlog((int32_t)log.size());
    size_t records = 0;
    for (size_t at = log.find("ShotData:"); at != std::string::npos; at = log.find("ShotData:", at + 1)) records++;
    EXPECT_EQ(glive.seq, (int32_t)records) << seed;
    const LogGenGame& g = info.back();
    ASSERT_EQ(glive.game.players, g.players) << seed;
    EXPECT_EQ(glive.haspars, g.course >= 0 ? 1 : 0) << seed;
    for (int p = 0; p < g.players; p++) {
      int total = 0, topar = 0;
      for (int h = 0; h < 18; h++) {
        EXPECT_EQ(glive.game.stroke[p][h], g.stroke[p][h]) << seed;
        total += g.stroke[p][h];
        if (g.stroke[p][h] && g.course >= 0) topar += g.stroke[p][h] - kbuiltincourses[g.course].par[h];
      }
      EXPECT_EQ(std::string(glive.game.name[p]), g.name[p]) << seed;
      static char b[16384];
      livejson(b, (int32_t)sizeof b);
      std::string row = "\"player\": " + std::to_string(p + 1) + ", ";
      size_t at = std::string(b).find(row, std::string(b).find("\"board\""));
      ASSERT_NE(at, std::string::npos) << seed;
      std::string r = std::string(b).substr(at);
      EXPECT_NE(r.find("\"total\": " + std::to_string(total) + ", \"to_par\": " +
                       (g.course >= 0 ? std::to_string(topar) : std::string("null"))),
                std::string::npos)
          << seed << " " << r;
    }
  }
}
