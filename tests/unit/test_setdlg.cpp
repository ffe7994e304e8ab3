// The settings dialog and the backup against the fake desktop: the check
// boxes in and out, saving, choosing the game's golf.txt, the log chooser's
// guard and the dated backup of the game's files.
#include <gtest/gtest.h>

#include <cstring>
#include <ctime>
#include <string>
#include <sys/stat.h>
#include <sys/time.h>

#include "kesto.h"
#include "app/mainwin.h"
#include "app/startup.h"
#include "config/setdlg.h"
#include "folders.h"
#include "os/fake/fakeos.h"
#include "report/playlog.h"
#include "res/resource.h"
#include "support.h"

namespace {

const char kbadsettings[] = "環境設定が正しくないか、読み込まれていません";

// Sets a file's last-write time to a local time.
void setmtime(const std::string& path, int y, int mo, int d, int h, int mi, int s) {
  struct tm tm;
  memset(&tm, 0, sizeof tm);
  tm.tm_year = y - 1900;
  tm.tm_mon = mo - 1;
  tm.tm_mday = d;
  tm.tm_hour = h;
  tm.tm_min = mi;
  tm.tm_sec = s;
  tm.tm_isdst = -1;
  struct timeval tv[2];
  tv[0].tv_sec = tv[1].tv_sec = mktime(&tm);
  tv[0].tv_usec = tv[1].tv_usec = 0;
  ASSERT_EQ(utimes(path.c_str(), tv), 0);
}

class SettingsDialog : public ::testing::Test {
 protected:
  std::string dir, game, golf;  // program folder, game folder, its golf.txt (host paths)
  std::string wgame, wgolf;      // the same as the program names them
  void SetUp() override {
    kestoreset();
    dir = maketempdir();
    ASSERT_FALSE(dir.empty());
    gfake.cwd = dir;
    game = dir + "/GOLFDUKE";
    ASSERT_EQ(mkdir(game.c_str(), 0755), 0);
    golf = game + "/golf.txt";
    wgame = dir + "\\GOLFDUKE\\";
    wgolf = wgame + "golf.txt";
    ASSERT_TRUE(writefile(golf, "*Hole 1\r\n"));
    ASSERT_TRUE(writefile(game + "/user.db", std::string("USER\0db", 7)));
    ASSERT_TRUE(writefile(game + "/replay.db", "REPLAY"));
    ASSERT_TRUE(setpaths(dir.c_str()));
    ASSERT_NE(oscreatemaindialog(&kestohandlers), 0u);
  }
  void TearDown() override { removetree(dir); }
  // Opens the dialog with the main window's button.
  OsWin opendlg() {
    mainwincommand(IDC_SETTINGS, 0);
    EXPECT_NE(gkesto.mw.setdlg, 0u);
    return gkesto.mw.setdlg;
  }
  void choose(const std::string& path) { gfake.openanswers.push_back(FakeOpenAnswer{1, path, 0}); }
  // Chooses the game's golf.txt in the dialog.
  void choosegolf(OsWin dlg) {
    choose(wgolf);
    setdlgcommand(dlg, IDC_SET_CHOOSE);
  }
};

TEST_F(SettingsDialog, OpensWithTheOptionsAndClosesTakingThemOrNot) {
  gkesto.set.readcourse = 1;
  gkesto.set.savecourse = 0;
  gkesto.set.iexplore = 1;
  OsWin dlg = opendlg();
  EXPECT_EQ(osisdlgbuttonchecked(dlg, IDC_SET_READCOURSE), 1);
  EXPECT_EQ(osisdlgbuttonchecked(dlg, IDC_SET_SAVECOURSE), 0);
  EXPECT_EQ(osisdlgbuttonchecked(dlg, IDC_SET_IEXPLORE), 1);
  EXPECT_EQ(fakeitemtext(dlg, IDC_SET_PATH), "");

  // A second press of 設定 is the dialog's own 終了: the boxes are taken.
  oscheckdlgbutton(dlg, IDC_SET_READCOURSE, 0);
  oscheckdlgbutton(dlg, IDC_SET_SAVECOURSE, 1);
  mainwincommand(IDC_SETTINGS, 0);
  EXPECT_EQ(gkesto.mw.setdlg, 0u);
  EXPECT_EQ(fakefinddialog(IDD_SETTINGS), 0u);
  EXPECT_EQ(gkesto.set.readcourse, 0);
  EXPECT_EQ(gkesto.set.savecourse, 1);
  EXPECT_EQ(gkesto.set.iexplore, 1);
  EXPECT_TRUE(gfake.boxes.empty());
  EXPECT_EQ(readfile(dir + "/loginit.txt"), "");  // 終了 writes nothing

  // The close box (and Esc) close without taking them.
  dlg = opendlg();
  EXPECT_EQ(osisdlgbuttonchecked(dlg, IDC_SET_SAVECOURSE), 1);
  oscheckdlgbutton(dlg, IDC_SET_IEXPLORE, 0);
  setdlgclose(dlg);
  EXPECT_EQ(gkesto.mw.setdlg, 0u);
  EXPECT_EQ(gkesto.set.iexplore, 1);
  // Only the three options change; capture settings stay.
  EXPECT_EQ(gkesto.set.interval, 0);
}

TEST_F(SettingsDialog, SaveWritesLoginitAndCompletesTheSettings) {
  OsWin dlg = opendlg();
  choosegolf(dlg);
  gkesto.set.complete = 0;
  oscheckdlgbutton(dlg, IDC_SET_READCOURSE, 1);
  setdlgcommand(dlg, IDC_SET_SAVE);
  ASSERT_EQ(gfake.boxes.size(), 1u);
  EXPECT_EQ(gfake.boxes[0].text, "環境データを ファイル名 loginit.txt で保存しました");
  EXPECT_EQ(gfake.boxes[0].caption, "Write OK");
  EXPECT_EQ(gfake.boxes[0].type, OS_MB_ICONINFORMATION);
  EXPECT_EQ(gfake.boxes[0].owner, dlg);
  EXPECT_EQ(gkesto.set.complete, 1);
  std::string ini = readfile(dir + "/loginit.txt");
  EXPECT_NE(ini.find("\r\nDGPATH=" + wgolf + "\r\n"), std::string::npos) << ini;
  EXPECT_NE(ini.find("\r\nREAD_COURSE=1\r\n"), std::string::npos);
  EXPECT_EQ(gkesto.mw.setdlg, dlg);  // the dialog stays open

  // A settings file that cannot be written: the error, and the flag unchanged.
  ASSERT_EQ(remove((dir + "/loginit.txt").c_str()), 0);
  ASSERT_EQ(mkdir((dir + "/loginit.txt").c_str(), 0755), 0);
  gkesto.set.complete = 0;
  setdlgcommand(dlg, IDC_SET_SAVE);
  ASSERT_EQ(gfake.boxes.size(), 2u);
  EXPECT_EQ(gfake.boxes[1].text, "環境データ保存に失敗しました\r\n\r\n" + dir +
                                     "\\loginit.txt\r\n書き込みが許可されていません (エラー 5)\r\n\r\n"
                                     "loginit.txt は変更していません。");
  EXPECT_EQ(gfake.boxes[1].caption, "Write Error");
  EXPECT_EQ(gfake.boxes[1].type, OS_MB_ICONERROR);
  EXPECT_EQ(gkesto.set.complete, 0);
}

// loginit.txt is replaced, never truncated: whatever step fails, the old file
// stays byte for byte, no temporary is left and the message says why.
TEST_F(SettingsDialog, ASaveThatFailsAnywhereLeavesTheOldLoginitAsItWas) {
  OsWin dlg = opendlg();
  choosegolf(dlg);
  const std::string ini = dir + "/loginit.txt";
  const std::string old = "// loginit.txt\r\nHOME=C:\\old\r\nREAD_COURSE=1\r\n";
  struct Fault {
    const char* name;
    int64_t room;  // bytes the disk takes
    long flush, move;
    const char* reason;
  };
  const Fault faults[] = {
      {"disk full at once", 0, 0, 0, "ディスクの空きが足りません (エラー 112)"},
      {"disk full after a line", 16, 0, 0, "ディスクの空きが足りません (エラー 112)"},
      {"disk full one byte short", 0, 0, 0, "ディスクの空きが足りません (エラー 112)"},
      {"flush fails", -1, 1, 0, "書き込みに失敗しました (エラー 29)"},
      {"move fails", -1, 0, 1, "書き込みが許可されていません (エラー 5)"},
  };
  // The size of a whole new file, for the fault one byte short of it.
  ASSERT_TRUE(writefile(ini, old));
  setdlgcommand(dlg, IDC_SET_SAVE);
  const std::string whole = readfile(ini);
  ASSERT_GT(whole.size(), 100u);
  for (const Fault& f : faults) {
    SCOPED_TRACE(f.name);
    ASSERT_TRUE(writefile(ini, old));
    gfake.boxes.clear();
    gfake.diskroom = std::string(f.name) == "disk full one byte short" ? (int64_t)whole.size() - 1 : f.room;
    gfake.flushfails = f.flush;
    gfake.movefails = f.move;
    setdlgcommand(dlg, IDC_SET_SAVE);
    gfake.diskroom = -1;
    EXPECT_EQ(readfile(ini), old);
    EXPECT_FALSE(osfindfile((dir + "\\loginit.txt.tmp").c_str()));
    EXPECT_EQ(fakeleftovers(), "");
    ASSERT_EQ(gfake.boxes.size(), 1u);
    EXPECT_EQ(gfake.boxes[0].caption, "Write Error");
    EXPECT_EQ(gfake.boxes[0].text, "環境データ保存に失敗しました\r\n\r\n" + dir + "\\loginit.txt\r\n" + f.reason +
                                       "\r\n\r\nloginit.txt は変更していません。");
  }
  // With room again the file is replaced whole.
  gfake.boxes.clear();
  setdlgcommand(dlg, IDC_SET_SAVE);
  EXPECT_EQ(readfile(ini), whole);
  ASSERT_EQ(gfake.boxes.size(), 1u);
  EXPECT_EQ(gfake.boxes[0].caption, "Write OK");
}

TEST_F(SettingsDialog, ChoosingGolfTxtSetsTheGameLog) {
  OsWin dlg = opendlg();
  choosegolf(dlg);
  ASSERT_EQ(gfake.opencalls.size(), 1u);
  const FakeOpenCall& c = gfake.opencalls[0];
  EXPECT_EQ(c.owner, dlg);
  EXPECT_EQ(c.filter, std::string("テキスト(*.txt)\0*.txt\0", sizeof "テキスト(*.txt)\0*.txt\0" - 1));
  EXPECT_EQ(c.initialdir, dir);
  EXPECT_EQ(c.title, "File Name");
  EXPECT_EQ(c.flags, OS_OFN_PATHMUSTEXIST | OS_OFN_NOVALIDATE);
  EXPECT_EQ(c.proposed, "");
  EXPECT_TRUE(gfake.boxes.empty());
  EXPECT_EQ(fakeitemtext(dlg, IDC_SET_PATH), wgolf);
  EXPECT_STREQ(gkesto.set.dgpath, wgolf.c_str());
  EXPECT_STREQ(gkesto.set.gamelog, wgolf.c_str());
  EXPECT_STREQ(gkesto.set.gamefolder, wgame.c_str());
  EXPECT_EQ(gkesto.set.complete, 1);
  // The choice is kept open nowhere: the file can be removed.
  EXPECT_EQ(remove(golf.c_str()), 0);

  // The next chooser proposes the last choice; cancelling changes nothing.
  gkesto.set.complete = 0;
  setdlgcommand(dlg, IDC_SET_CHOOSE);
  ASSERT_EQ(gfake.opencalls.size(), 2u);
  EXPECT_EQ(gfake.opencalls[1].proposed, wgolf);
  // A file that does not open, silently nothing either.
  choose(dir + "\\nothere\\golf.txt");
  setdlgcommand(dlg, IDC_SET_CHOOSE);
  EXPECT_TRUE(gfake.boxes.empty());
  EXPECT_EQ(fakeitemtext(dlg, IDC_SET_PATH), wgolf);
  EXPECT_STREQ(gkesto.set.gamelog, wgolf.c_str());
  EXPECT_EQ(gkesto.set.complete, 0);

  // A failing dialog says so with its extended error.
  gfake.openanswers.push_back(FakeOpenAnswer{0, "", OS_FNERR_BUFFERTOOSMALL});
  setdlgcommand(dlg, IDC_SET_CHOOSE);
  ASSERT_EQ(gfake.boxes.size(), 1u);
  EXPECT_EQ(gfake.boxes[0].text, "GetOpenFileName error 0x3003");
  EXPECT_EQ(gfake.boxes[0].caption, "Open error");
  EXPECT_EQ(gfake.boxes[0].type, OS_MB_ICONERROR);
  EXPECT_STREQ(gkesto.set.gamelog, wgolf.c_str());

  // Any file will do; its folder is its path without the last 8 bytes.
  writefile(dir + "/mylog.txt", "x");
  choose(dir + "\\mylog.txt");
  setdlgcommand(dlg, IDC_SET_CHOOSE);
  EXPECT_STREQ(gkesto.set.gamefolder, (dir + "\\m").c_str());
}

TEST_F(SettingsDialog, GameFolderNeverSplitsADoubleByteCharacter) {
  setgamelog("C:\\漢あa.txt");  // a cut of 8 bytes would leave the first byte of 漢
  EXPECT_STREQ(gkesto.set.gamefolder, "C:\\");
  setgamelog("C:\\ゲーム\\golf.txt");
  EXPECT_STREQ(gkesto.set.gamefolder, "C:\\ゲーム\\");
  setgamelog("a.txt");
  EXPECT_STREQ(gkesto.set.gamefolder, "");
}

TEST_F(SettingsDialog, ChooserRefusesTheFollowedGolfTxtOnly) {
  OsWin dlg = opendlg();
  choosegolf(dlg);
  gkesto.set.complete = 0;
  gkesto.set.dgpath[0] = 0;
  gkesto.mw.watch.state = FollowLog;
  choosegolf(dlg);
  ASSERT_EQ(gfake.boxes.size(), 1u);
  EXPECT_EQ(gfake.boxes[0].text,
            "ゴルフ漬け動作中で使用中の、golf.txt ログ表示はできません。\r\nゴルフ漬けを終了してから、操作してください");
  EXPECT_EQ(gfake.boxes[0].caption, "禁止");
  EXPECT_EQ(gfake.boxes[0].type, OS_MB_ICONERROR);
  EXPECT_EQ(gfake.boxes[0].owner, dlg);
  EXPECT_EQ(gkesto.set.complete, 0);
  EXPECT_STREQ(gkesto.set.dgpath, "");
  // While the game is merely sought, the same file is accepted.
  gkesto.mw.watch.state = SeekGame;
  choosegolf(dlg);
  EXPECT_EQ(gfake.boxes.size(), 1u);
  EXPECT_EQ(gkesto.set.complete, 1);
}

TEST_F(SettingsDialog, PlayLogButtonOffersAllThreeFilters) {
  // ログ表示 reads the chosen log into the play-log buffer, owned by the main window.
  writefile(dir + "/old.txt", "*Hole 7\r\n");
  choose(dir + "\\old.txt");
  mainwincommand(IDC_PLAYLOG, 0);
  ASSERT_EQ(gfake.opencalls.size(), 1u);
  EXPECT_EQ(gfake.opencalls[0].owner, gkesto.mw.main);
  const char want[] = "テキスト(*.txt)\0*.txt\0ログ(*.dat)\0*.dat\0すべて (*.*)\0*.*\0";
  EXPECT_EQ(gfake.opencalls[0].filter, std::string(want, sizeof want - 1));
  EXPECT_EQ(gkesto.mw.playloglen, 9u);
  EXPECT_STREQ(gkesto.playlog, "*Hole 7\r\n");
  EXPECT_STREQ(gkesto.logpath, (dir + "\\old.txt").c_str());
}

// ---- the backup --------------------------------------------------------------

class Backup : public SettingsDialog {
 protected:
  std::string dayfolder() { return dir + "/ym200904/d05"; }
  std::string question() {
    return "user.db と、replay.db はそのまま\r\ngolf.txt を golf05_2107_45.txt で以下のフォルダにコピーしますか？\r\n\r\n" +
           dir + "\\ym200904\\d05";
  }
  OsWin ready() {
    OsWin dlg = opendlg();
    choosegolf(dlg);
    setmtime(golf, 2009, 4, 5, 21, 7, 45);
    return dlg;
  }
};

TEST_F(Backup, RefusedWithoutSettingsOrGameLog) {
  OsWin dlg = opendlg();
  setdlgcommand(dlg, IDC_SET_BACKUP);
  ASSERT_EQ(gfake.boxes.size(), 1u);
  EXPECT_EQ(gfake.boxes[0].text, kbadsettings);
  EXPECT_EQ(gfake.boxes[0].caption, "Error");
  EXPECT_EQ(gfake.boxes[0].type, OS_MB_ICONERROR | OS_MB_YESNO);
  // Complete settings whose golf.txt is gone: the same message.
  choosegolf(dlg);
  remove(golf.c_str());
  setdlgcommand(dlg, IDC_SET_BACKUP);
  ASSERT_EQ(gfake.boxes.size(), 2u);
  EXPECT_EQ(gfake.boxes[1].text, kbadsettings);
  EXPECT_FALSE(folderexists((dir + "\\ym200904").c_str()));
}

TEST_F(Backup, NamesComeFromTheLogsLastWriteTime) {
  OsWin dlg = ready();
  gfake.answers = {OS_IDYES, OS_IDYES};
  setdlgcommand(dlg, IDC_SET_BACKUP);
  ASSERT_EQ(gfake.boxes.size(), 2u);
  EXPECT_EQ(gfake.boxes[0].text, dir + "\\ym200904 フォルダを作成しますか？");
  EXPECT_EQ(gfake.boxes[0].caption, "DIR");
  EXPECT_EQ(gfake.boxes[0].type, OS_MB_ICONINFORMATION | OS_MB_YESNO);
  EXPECT_EQ(gfake.boxes[1].text, question());
  EXPECT_EQ(gfake.boxes[1].caption, "DIR");
  EXPECT_EQ(gfake.boxes[1].type, OS_MB_ICONINFORMATION | OS_MB_YESNO);
  EXPECT_EQ(readfile(dayfolder() + "/golf05_2107_45.txt"), "*Hole 1\r\n");
  EXPECT_EQ(readfile(dayfolder() + "/user.db"), std::string("USER\0db", 7));
  EXPECT_EQ(readfile(dayfolder() + "/replay.db"), "REPLAY");

  // A second backup of the unchanged golf.txt replaces the first, without
  // asking for the month folder again.
  writefile(game + "/replay.db", "REPLAY 2");
  gfake.boxes.clear();
  gfake.answers = {OS_IDYES};
  setdlgcommand(dlg, IDC_SET_BACKUP);
  ASSERT_EQ(gfake.boxes.size(), 1u);
  EXPECT_EQ(gfake.boxes[0].text, question());
  EXPECT_EQ(readfile(dayfolder() + "/replay.db"), "REPLAY 2");

  // No to the copy question copies nothing and says nothing.
  writefile(game + "/user.db", "changed");
  gfake.boxes.clear();
  gfake.answers = {OS_IDNO};
  setdlgcommand(dlg, IDC_SET_BACKUP);
  EXPECT_EQ(gfake.boxes.size(), 1u);
  EXPECT_EQ(readfile(dayfolder() + "/user.db"), std::string("USER\0db", 7));
}

TEST_F(Backup, NoToTheMonthFolderStops) {
  OsWin dlg = ready();
  gfake.answers = {OS_IDNO};
  setdlgcommand(dlg, IDC_SET_BACKUP);
  ASSERT_EQ(gfake.boxes.size(), 2u);
  EXPECT_EQ(gfake.boxes[1].text, "バックアップを中止しました。");
  EXPECT_EQ(gfake.boxes[1].caption, "バックアップ");
  EXPECT_EQ(gfake.boxes[1].type, OS_MB_ICONINFORMATION);
  EXPECT_FALSE(folderexists((dir + "\\ym200904").c_str()));
}

TEST_F(Backup, FoldersThatCannotBeMadeStopIt) {
  OsWin dlg = ready();
  gfake.mkdirfails = 1;
  gfake.answers = {OS_IDYES};
  setdlgcommand(dlg, IDC_SET_BACKUP);
  ASSERT_EQ(gfake.boxes.size(), 2u);
  EXPECT_EQ(gfake.boxes[1].text, "フォルダを作成できませんでした");
  EXPECT_EQ(gfake.boxes[1].caption, "DIR");
  EXPECT_EQ(gfake.boxes[1].type, OS_MB_ICONINFORMATION);

  // The month folder is there, the day folder cannot be made: no question.
  ASSERT_EQ(mkdir((dir + "/ym200904").c_str(), 0755), 0);
  gfake.boxes.clear();
  setdlgcommand(dlg, IDC_SET_BACKUP);
  ASSERT_EQ(gfake.boxes.size(), 1u);
  EXPECT_EQ(gfake.boxes[0].text, "フォルダを作成できませんでした。\r\n\r\nバックアップは中止しました。");
  EXPECT_EQ(gfake.boxes[0].type, OS_MB_ICONINFORMATION);
}

TEST_F(Backup, FailedCopiesAreNamed) {
  OsWin dlg = ready();
  ASSERT_EQ(remove((game + "/replay.db").c_str()), 0);
  gfake.answers = {OS_IDYES, OS_IDYES};
  setdlgcommand(dlg, IDC_SET_BACKUP);
  ASSERT_EQ(gfake.boxes.size(), 3u);
  const std::string missing = "\r\nファイルが見つかりません (エラー 2)";
  EXPECT_EQ(gfake.boxes[2].text, "次のファイルをコピーできませんでした。\r\n\r\n" + wgame + "replay.db" + missing);
  EXPECT_EQ(gfake.boxes[2].caption, "DIR");
  EXPECT_EQ(gfake.boxes[2].type, OS_MB_ICONERROR);
  EXPECT_EQ(gfake.boxes[2].owner, dlg);
  // What could be copied was.
  EXPECT_EQ(readfile(dayfolder() + "/golf05_2107_45.txt"), "*Hole 1\r\n");
  EXPECT_EQ(readfile(dayfolder() + "/user.db"), std::string("USER\0db", 7));

  // Both databases missing: both named, one per line.
  remove((game + "/user.db").c_str());
  gfake.boxes.clear();
  gfake.answers = {OS_IDYES};
  setdlgcommand(dlg, IDC_SET_BACKUP);
  ASSERT_EQ(gfake.boxes.size(), 2u);
  EXPECT_EQ(gfake.boxes[1].text, "次のファイルをコピーできませんでした。\r\n\r\n" + wgame + "user.db" + missing +
                                     "\r\n" + wgame + "replay.db" + missing);

  // A disk that fills during a copy: the earlier backup of that file stays
  // whole, and the reason is given.
  writefile(game + "/user.db", std::string(5000, 'u'));
  writefile(game + "/replay.db", "R");
  gfake.boxes.clear();
  gfake.answers = {OS_IDYES};
  gfake.diskroom = 20;  // golf.txt fits, user.db does not, and nothing after it
  setdlgcommand(dlg, IDC_SET_BACKUP);
  ASSERT_EQ(gfake.boxes.size(), 2u);
  const std::string full = "\r\nディスクの空きが足りません (エラー 112)";
  EXPECT_EQ(gfake.boxes[1].text, "次のファイルをコピーできませんでした。\r\n\r\n" + wgame + "user.db" + full + "\r\n" +
                                     wgame + "replay.db" + full);
  EXPECT_EQ(readfile(dayfolder() + "/user.db"), std::string("USER\0db", 7));
  EXPECT_FALSE(osfindfile((dayfolder() + "/replay.db").c_str()));
  EXPECT_FALSE(osfindfile((dayfolder() + "/user.db.tmp").c_str()));
}

TEST(Folders, LookCreateLookAgain) {
  kestoreset();
  std::string dir = maketempdir();
  std::string sub = dir + "\\a";
  EXPECT_FALSE(folderexists(sub.c_str()));
  EXPECT_TRUE(makefolder(sub.c_str()));
  EXPECT_TRUE(folderexists(sub.c_str()));
  EXPECT_TRUE(makefolder(sub.c_str()));  // there already
  // A parent that is missing: the second look misses, that is the error.
  EXPECT_FALSE(makefolder((dir + "\\x\\y").c_str()));
  // A file of that name counts as there.
  writefile(dir + "/f", "");
  EXPECT_TRUE(makefolder((dir + "\\f").c_str()));
  removetree(dir);
}

}  // namespace
