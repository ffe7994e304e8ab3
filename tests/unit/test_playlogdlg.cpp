// The play-log dialog through the fake desktop: opening it from the main
// window with IEXPLORE off and on, "HTM作成" and its questions, "リンク集作成"
// written and not, another log with "データ", and the three ways "ＩＥで表示"
// can end (the browser, the system's program for pages, "error").
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <ctime>
#include <string>
#include <sys/stat.h>
#include <sys/time.h>
#include <unistd.h>

#include "kesto.h"
#include "app/mainwin.h"
#include "app/startup.h"
#include "config/course.h"
#include "os/fake/fakeos.h"
#include "report/playlogdlg.h"
#include "res/resource.h"
#include "support.h"

namespace {

const char kbrowser[] = "C:\\program files\\internet explorer\\iexplore.exe";
const char kpage[] = "log20090405_2107.html";

// One game: holes first to last, two players holing out in four.
std::string game(int first, int last) {
  std::string s = "Player1:Taro\r\nPlayer2:Hanako\r\n** Stroke Begin **\r\n"
                  "2009/04/05 20:00:00\r\n*Club Setting*\r\nName: ロペ倶楽部\r\nTee:  1\r\n";
  char b[32];
  for (int h = first; h <= last; h++) {
    snprintf(b, sizeof b, "*Hole %2d\r\n", h);
    s += b;
    s += "*Player1 04\r\n*Player2 04\r\n";
  }
  return s + "** Stroke End **\r\n";
}

size_t count(const std::string& s, const std::string& what) {
  size_t n = 0;
  for (size_t at = 0; (at = s.find(what, at)) != std::string::npos; at++) n++;
  return n;
}

class PlayLogDialog : public ::testing::Test {
 protected:
  std::string dir, log;  // program folder (also the current one), the log in it
  char olddir[4096];
  void SetUp() override {
    kestoreset();
    initcourses();
    ASSERT_TRUE(getcwd(olddir, sizeof olddir));
    dir = maketempdir();
    ASSERT_FALSE(dir.empty());
    ASSERT_EQ(chdir(dir.c_str()), 0);
    gfake.cwd = dir;
    ASSERT_TRUE(setpaths(dir.c_str()));
    ASSERT_NE(oscreatemaindialog(&kestohandlers), 0u);
    gfake.boxes.clear();
    gfake.programs.push_back(kbrowser);
    log = dir + "/golf_saved.txt";
    writelog(log, game(1, 18) + game(1, 18) + game(1, 9));
  }
  void TearDown() override {
    ASSERT_EQ(chdir(olddir), 0);
    removetree(dir);
  }
  // A log last written on 5 April 2009 at 21:07 local time.
  void writelog(const std::string& path, const std::string& text) {
    ASSERT_TRUE(writefile(path, text));
    struct tm tm = {};
    tm.tm_year = 109;
    tm.tm_mon = 3;
    tm.tm_mday = 5;
    tm.tm_hour = 21;
    tm.tm_min = 7;
    tm.tm_isdst = -1;
    struct timeval tv[2] = {{mktime(&tm), 0}, {mktime(&tm), 0}};
    ASSERT_EQ(utimes(path.c_str(), tv), 0);
  }
  // ログ表示 on the main window, choosing path.
  OsWin open(const std::string& path) {
    gfake.openanswers.push_back(FakeOpenAnswer{1, path, 0});
    mainwincommand(IDC_PLAYLOG, 0);
    return gkesto.mw.logdlg;
  }
  std::string page() { return readfile(dir + "/" + kpage); }
  bool pagethere() {
    struct stat st;
    return stat((dir + "/" + kpage).c_str(), &st) == 0;
  }
  std::string cmdline() { return " " + dir + "\\" + kpage; }
};

TEST_F(PlayLogDialog, OpensWithThePathAndClosesOnTheSecondPress) {
  OsWin dlg = open(log);
  ASSERT_NE(dlg, 0u);
  EXPECT_EQ(dlg, fakefinddialog(IDD_PLAYLOG));
  EXPECT_EQ(fakeitemtext(dlg, IDC_LOG_PATH), log);
  EXPECT_EQ(gkesto.game.loglen, (uint32_t)(2 * game(1, 18).size() + game(1, 9).size()));
  // IEXPLORE off: nothing is written or started by itself.
  EXPECT_EQ(fakepump(), 0);
  EXPECT_FALSE(pagethere());
  EXPECT_TRUE(gfake.started.empty() && gfake.opened.empty() && gfake.boxes.empty());

  // The second press closes it without asking for a file.
  mainwincommand(IDC_PLAYLOG, 0);
  EXPECT_EQ(gkesto.mw.logdlg, 0u);
  EXPECT_EQ(fakefinddialog(IDD_PLAYLOG), 0u);
  EXPECT_EQ(gfake.opencalls.size(), 1u);

  // The close box (and Esc) close it the same way; the loaded log stays.
  dlg = open(log);
  ASSERT_NE(dlg, 0u);
  playlogclose(dlg);
  EXPECT_EQ(gkesto.mw.logdlg, 0u);
  EXPECT_EQ(fakefinddialog(IDD_PLAYLOG), 0u);
  EXPECT_GT(gkesto.game.loglen, 0u);
}

TEST_F(PlayLogDialog, RefusedLogsOpenNoDialog) {
  std::string big = dir + "/big.txt";
  writelog(big, std::string(LOGBUFSIZE, 'x'));
  EXPECT_EQ(open(big), 0u);
  ASSERT_EQ(gfake.boxes.size(), 1u);
  EXPECT_EQ(gfake.boxes[0].text, "logfile = 0x400000, >= 0x400000 !");
  // A cancelled choice: no dialog, no message.
  mainwincommand(IDC_PLAYLOG, 0);
  EXPECT_EQ(gkesto.mw.logdlg, 0u);
  EXPECT_EQ(gfake.boxes.size(), 1u);
}

TEST_F(PlayLogDialog, WithIexploreThePageIsWrittenAndShownOnceTheDialogIsUp) {
  // The browser's drive is that of the Windows folder.
  gfake.windowsdir = "D:\\WINNT";
  gfake.programs = {"D:\\program files\\internet explorer\\iexplore.exe"};
  gkesto.set.iexplore = 1;
  gfake.answers = {OS_IDYES};
  OsWin dlg = open(log);
  ASSERT_NE(dlg, 0u);
  EXPECT_FALSE(pagethere());
  EXPECT_EQ(fakepump(), 1);
  EXPECT_EQ(count(page(), "<table"), 3u);
  ASSERT_EQ(gfake.started.size(), 1u);
  const FakeProcess& p = gfake.started[0];
  EXPECT_EQ(p.program, "D:\\program files\\internet explorer\\iexplore.exe");
  EXPECT_EQ(p.cmdline, cmdline());
  EXPECT_EQ(p.inherit, 1);
  EXPECT_EQ(p.flags, 48u);
  ASSERT_TRUE(p.placed);
  EXPECT_EQ(p.place.x, 40);
  EXPECT_EQ(p.place.y, 40);
  EXPECT_EQ(p.place.w, 640);
  EXPECT_EQ(p.place.h, 100);

  // "データ" cancelled: the loaded log's page again, and the browser again.
  ASSERT_EQ(remove((dir + "/" + kpage).c_str()), 0);
  gfake.answers = {OS_IDNO};
  playlogcommand(dlg, IDC_LOG_DATA);
  EXPECT_EQ(gfake.opencalls.back().owner, dlg);
  EXPECT_EQ(count(page(), "<table"), 2u);
  EXPECT_EQ(gfake.started.size(), 2u);
  EXPECT_EQ(fakeitemtext(dlg, IDC_LOG_PATH), log);

  // "データ" with a log too large stops there: no page, no browser.
  std::string big = dir + "/big.txt";
  writelog(big, std::string(LOGBUFSIZE, 'x'));
  gfake.openanswers.push_back(FakeOpenAnswer{1, big, 0});
  ASSERT_EQ(remove((dir + "/" + kpage).c_str()), 0);
  playlogcommand(dlg, IDC_LOG_DATA);
  EXPECT_FALSE(pagethere());
  EXPECT_EQ(gfake.started.size(), 2u);
  EXPECT_EQ(gfake.boxes.back().text, "logfile = 0x400000, >= 0x400000 !");
}

// With IEXPLORE on, a log with nothing to write is told about in a box
// owned by the dialog, and no browser starts on a page that was not written.
TEST_F(PlayLogDialog, NothingToWriteIsToldAndStartsNoBrowser) {
  gkesto.set.iexplore = 1;
  std::string unended = dir + "/unended.txt";
  std::string g = game(1, 18);
  writelog(unended, g.substr(0, g.size() - 18));
  OsWin dlg = open(unended);
  ASSERT_NE(dlg, 0u);
  fakepump();
  EXPECT_FALSE(pagethere());
  EXPECT_TRUE(gfake.started.empty());
  EXPECT_TRUE(gfake.opened.empty());
  ASSERT_EQ(gfake.boxes.size(), 1u);
  EXPECT_EQ(gfake.boxes[0].caption, "No game");
  EXPECT_EQ(gfake.boxes[0].owner, dlg);

  // "データ" on a file whose read fails empties the loaded log: "HTM作成"
  // then says so and writes nothing.
  gkesto.set.iexplore = 0;
  gfake.openanswers.push_back(FakeOpenAnswer{1, log, 0});
  playlogcommand(dlg, IDC_LOG_DATA);
  ASSERT_GT(gkesto.game.loglen, 0);
  gfake.openanswers.push_back(FakeOpenAnswer{1, unended, 0});
  gfake.boxes.clear();
  gfake.readfails = 1;
  playlogcommand(dlg, IDC_LOG_DATA);
  gfake.readfails = 0;
  ASSERT_EQ(gfake.boxes.size(), 1u);
  EXPECT_EQ(gfake.boxes[0].text, "ログファイルを読めません");
  EXPECT_EQ(gkesto.game.loglen, 0);
  gfake.boxes.clear();
  playlogcommand(dlg, IDC_LOG_HTM);
  EXPECT_FALSE(pagethere());
  ASSERT_EQ(gfake.boxes.size(), 1u);
  EXPECT_EQ(gfake.boxes[0].text, "ログが空です。HTML ファイルは作成しませんでした");
}

TEST_F(PlayLogDialog, ClosedBeforeThePostedCommandArrivesWritesNothing) {
  gkesto.set.iexplore = 1;
  OsWin dlg = open(log);
  ASSERT_NE(dlg, 0u);
  playlogcommand(dlg, IDC_LOG_END);
  fakepump();
  EXPECT_FALSE(pagethere());
  EXPECT_TRUE(gfake.started.empty());
}

TEST_F(PlayLogDialog, HtmAsksAboutTheShortGameOwnedByTheDialog) {
  OsWin dlg = open(log);
  ASSERT_NE(dlg, 0u);
  gfake.answers = {OS_IDNO};
  playlogcommand(dlg, IDC_LOG_HTM);
  ASSERT_EQ(gfake.boxes.size(), 1u);
  EXPECT_EQ(gfake.boxes[0].owner, dlg);
  EXPECT_EQ(gfake.boxes[0].text, "9 hole, 18 ホール以下が 1 回。表示しますか？");
  EXPECT_EQ(gfake.boxes[0].caption, "HOLES");
  EXPECT_EQ(gfake.boxes[0].type, OS_MB_ICONINFORMATION | OS_MB_YESNO);
  std::string first = page();
  EXPECT_EQ(count(first, "<table"), 2u);
  EXPECT_EQ(first.compare(first.size() - 9, 9, "</html>\r\n"), 0);
  // IEXPLORE off: no browser.
  EXPECT_TRUE(gfake.started.empty() && gfake.opened.empty());

  // Yes this time: the same page with the third table, rewritten whole.
  gfake.answers = {OS_IDYES};
  playlogcommand(dlg, IDC_LOG_HTM);
  EXPECT_EQ(count(page(), "<table"), 3u);
  EXPECT_EQ(count(page(), "<html>"), 1u);
}

TEST_F(PlayLogDialog, LinkListIsConfirmedOnlyWhenWritten) {
  OsWin dlg = open(log);
  ASSERT_NE(dlg, 0u);
  playlogcommand(dlg, IDC_LOG_LINKS);
  ASSERT_EQ(gfake.boxes.size(), 1u);
  EXPECT_EQ(gfake.boxes[0].text, "KESTO フォルダに、linkcc.html を作成しました");
  EXPECT_EQ(gfake.boxes[0].caption, "リンク集");
  EXPECT_EQ(gfake.boxes[0].type, OS_MB_ICONINFORMATION);
  EXPECT_EQ(gfake.boxes[0].owner, dlg);
  EXPECT_EQ(count(readfile(dir + "/linkcc.html"), "<a href="), (size_t)COURSES + 1);  // and the credit link

  // A folder of that name: the page cannot be written, and the user is told.
  ASSERT_EQ(remove((dir + "/linkcc.html").c_str()), 0);
  ASSERT_EQ(mkdir((dir + "/linkcc.html").c_str(), 0755), 0);
  playlogcommand(dlg, IDC_LOG_LINKS);
  ASSERT_EQ(gfake.boxes.size(), 2u);
  EXPECT_EQ(gfake.boxes[1].text, "linkcc.html を作成できませんでした\r\n\r\n" + dir +
                                     "\\linkcc.html\r\n書き込みが許可されていません (エラー 5)\r\n\r\n"
                                     "linkcc.html は変更していません。");
  EXPECT_EQ(gfake.boxes[1].caption, "Write error");
  EXPECT_EQ(gfake.boxes[1].type, OS_MB_ICONERROR);
}

// A page the disk cannot hold whole is named with the reason, replaces
// nothing, and the browser is never started on it.
TEST_F(PlayLogDialog, APageNotWrittenWholeIsNamedRemovedAndNeverShown) {
  gkesto.set.iexplore = 1;
  gfake.answers = {OS_IDYES};
  OsWin dlg = open(log);
  ASSERT_NE(dlg, 0u);
  gfake.diskroom = 700;
  EXPECT_EQ(fakepump(), 1);
  EXPECT_FALSE(pagethere());
  EXPECT_TRUE(gfake.started.empty() && gfake.opened.empty());
  const std::string why = "\r\n\r\n" + dir + "\\" + kpage + "\r\nディスクの空きが足りません (エラー 112)\r\n\r\n" +
                          kpage + " は変更していません。";
  ASSERT_EQ(gfake.boxes.size(), 2u);  // the short game's question, then the failure
  EXPECT_EQ(gfake.boxes[1].text, "スコアカードのページを作成できませんでした" + why);
  EXPECT_EQ(gfake.boxes[1].caption, "Write error");
  playlogcommand(dlg, IDC_LOG_BROWSE);
  EXPECT_TRUE(gfake.started.empty() && gfake.opened.empty());
  EXPECT_EQ(gfake.boxes.back().text, "スコアカードのページを作成できなかったため表示しません" + why);
  // The link list the same way.
  gfake.diskroom = 300;
  playlogcommand(dlg, IDC_LOG_LINKS);
  EXPECT_FALSE(osfindfile((dir + "/linkcc.html").c_str()));
  EXPECT_EQ(gfake.boxes.back().caption, "Write error");
  EXPECT_EQ(fakeleftovers(), "");

  // With room again: the page, whole, and the browser on it.
  gfake.diskroom = -1;
  gfake.answers = {OS_IDYES};
  playlogcommand(dlg, IDC_LOG_HTM);
  EXPECT_EQ(page().compare(page().size() - 9, 9, "</html>\r\n"), 0);
  EXPECT_EQ(gfake.started.size(), 1u);
}

TEST_F(PlayLogDialog, ShowPageFallsBackToTheSystemThenToError) {
  OsWin dlg = open(log);
  ASSERT_NE(dlg, 0u);
  gfake.answers = {OS_IDNO};
  playlogcommand(dlg, IDC_LOG_HTM);
  gfake.boxes.clear();

  playlogcommand(dlg, IDC_LOG_BROWSE);
  ASSERT_EQ(gfake.started.size(), 1u);
  EXPECT_EQ(gfake.started[0].program, kbrowser);
  EXPECT_EQ(gfake.started[0].cmdline, cmdline());
  EXPECT_TRUE(gfake.opened.empty());

  // No browser at its path: the system opens the page.
  gfake.programs.clear();
  playlogcommand(dlg, IDC_LOG_BROWSE);
  EXPECT_EQ(gfake.started.size(), 1u);
  ASSERT_EQ(gfake.opened.size(), 1u);
  EXPECT_EQ(gfake.opened[0].cmdline, dir + "\\" + kpage);
  EXPECT_TRUE(gfake.boxes.empty());

  // Neither: "error".
  gfake.shellopenfails = 1;
  playlogcommand(dlg, IDC_LOG_BROWSE);
  ASSERT_EQ(gfake.boxes.size(), 1u);
  EXPECT_EQ(gfake.boxes[0].text, "error");
  EXPECT_EQ(gfake.boxes[0].caption, "error");
  EXPECT_EQ(gfake.boxes[0].type, OS_MB_ICONERROR);
  EXPECT_EQ(gfake.boxes[0].owner, dlg);
}

}  // namespace
