// Loading a chosen log into the play-log buffer.
#include <gtest/gtest.h>

#include <string>

#include "kesto.h"
#include "os/fake/fakeos.h"
#include "report/playlog.h"
#include "support.h"

namespace {

OsHandle openread(const std::string& path) {
  return oscreatefile(path.c_str(), OS_GENERIC_READ, OS_FILE_SHARE_READ | OS_FILE_SHARE_WRITE,
                      OS_OPEN_EXISTING);
}

TEST(PlayLog, LoadsWholeFileBelowTheLimitOnly) {
  kestoreset();
  std::string dir = maketempdir();
  std::string path = dir + "/golf.txt";

  // One byte below the limit is read whole and terminated.
  std::string text(LOGBUFSIZE - 1, 'x');
  text[0] = 'A';
  ASSERT_TRUE(writefile(path, text));
  gkesto.playlog[LOGBUFSIZE - 1] = 'z';
  OsHandle f = openread(path);
  ASSERT_NE(f, OS_BADFILE);
  EXPECT_EQ(loadplaylog(f, osgetfilesize(f)), 1);
  EXPECT_EQ(gkesto.game.loglen, LOGBUFSIZE - 1);
  EXPECT_EQ(gkesto.playlog[0], 'A');
  EXPECT_EQ(gkesto.playlog[LOGBUFSIZE - 1], 0);
  EXPECT_TRUE(gfake.boxes.empty());

  // Exactly 4 MiB is refused before anything is read.
  text.push_back('y');
  ASSERT_TRUE(writefile(path, text));
  gkesto.playlog[0] = 'Q';
  f = openread(path);
  EXPECT_EQ(loadplaylog(f, osgetfilesize(f)), 0);
  ASSERT_EQ(gfake.boxes.size(), 1u);
  EXPECT_EQ(gfake.boxes[0].text, "logfile = 0x400000, >= 0x400000 !");
  EXPECT_EQ(gfake.boxes[0].caption, "Open error");
  EXPECT_EQ(gkesto.playlog[0], 'Q');

  // A file that shrank after its size was taken cannot be read whole.
  ASSERT_TRUE(writefile(path, "short"));
  f = openread(path);
  EXPECT_EQ(loadplaylog(f, 100), 0);
  ASSERT_EQ(gfake.boxes.size(), 2u);
  EXPECT_EQ(gfake.boxes[1].text, "ログファイルを読めません");
  removetree(dir);
}

// A read that fails or comes short never leaves the bytes of one log under
// the length and time of another: the loaded log is then empty.
TEST(PlayLog, ShortReadLeavesNoMixOfTwoLogs) {
  kestoreset();
  std::string dir = maketempdir();
  std::string good = dir + "/golfwatch.txt", bad = dir + "/golf.txt";
  ASSERT_TRUE(writefile(good, std::string(3000, 'A')));
  ASSERT_TRUE(writefile(bad, "BBBB"));
  OsHandle f = openread(good);
  ASSERT_EQ(loadplaylog(f, osgetfilesize(f)), 1);
  ASSERT_EQ(gkesto.game.loglen, 3000);
  ASSERT_NE(gkesto.mw.playlogtime.year, 0);

  f = openread(bad);
  EXPECT_EQ(loadplaylog(f, 2000), 0);  // the file is shorter than its size said
  ASSERT_EQ(gfake.boxes.size(), 1u);
  EXPECT_EQ(gfake.boxes[0].text, "ログファイルを読めません");
  EXPECT_EQ(gkesto.game.loglen, 0);
  EXPECT_EQ(gkesto.mw.playloglen, 0u);
  EXPECT_EQ(gkesto.playlog[0], 0);
  EXPECT_EQ(gkesto.mw.playlogtime.year, 0);
  removetree(dir);
}

}  // namespace
