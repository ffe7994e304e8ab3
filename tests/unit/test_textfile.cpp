// Replacing a file whole through a temporary beside it.
#include <gtest/gtest.h>

#include <string>

#include "config/textfile.h"
#include "os/fake/fakeos.h"
#include "support.h"

namespace {

class Replace : public ::testing::Test {
 protected:
  std::string dir;
  void SetUp() override {
    kestoreset();
    dir = maketempdir();
  }
  void TearDown() override { removetree(dir); }
};

TEST_F(Replace, ACopyReplacesTheOldFileOnlyWhenItIsWholeOnTheDisk) {
  std::string from = dir + "/golf.txt", to = dir + "/golfwatch.txt";
  writefile(from, std::string(3000, 'g'));
  writefile(to, "old");
  uint32_t error = 0;
  for (int fault = 0; fault < 4; fault++) {
    SCOPED_TRACE(fault);
    gfake.diskroom = fault == 0 ? 2999 : -1;
    gfake.flushfails = fault == 1;
    gfake.movefails = fault == 2;
    if (fault == 3) gfake.denied.push_back(to + ".tmp");
    EXPECT_EQ(replacebycopy(from.c_str(), to.c_str(), &error), 0);
    EXPECT_NE(error, 0u);
    EXPECT_EQ(readfile(to), "old");
    EXPECT_FALSE(osfindfile((to + ".tmp").c_str()));
    EXPECT_EQ(fakeleftovers(), "");
  }
  gfake.denied.clear();
  EXPECT_EQ(replacebycopy(from.c_str(), to.c_str(), &error), 1);
  EXPECT_EQ(readfile(to), std::string(3000, 'g'));
  // A file that was not there is made.
  EXPECT_EQ(replacefile((dir + "/new.txt").c_str(), "abc", 3, &error), 1);
  EXPECT_EQ(readfile(dir + "/new.txt"), "abc");
  EXPECT_FALSE(osfindfile((dir + "/new.txt.tmp").c_str()));
}

// One rule for every write: a write that comes short while the system calls
// it a success, and a close that fails, are failures; the reason is never
// taken from a last error that is not about them, and is never 0.  The old
// file stays, the temporary goes.
TEST_F(Replace, AShortWriteOrAFailedCloseFailsWhateverTheLastErrorSays) {
  std::string path = dir + "/loginit.txt";
  writefile(path, "old");
  for (int fault = 0; fault < 2; fault++) {
    for (uint32_t stale : {0u, (uint32_t)OS_ERROR_FILE_NOT_FOUND}) {
      SCOPED_TRACE(fault * 100 + (int)stale);
      gfake.lasterror = stale;
      // A write that comes short on a disk that fills, then one that puts
      // nothing: the reason is the disk's, whatever was left in the last error.
      gfake.shortwrites = fault == 0;
      if (fault == 0) gfake.diskroom = 5;
      gfake.closefails = fault == 1;
      uint32_t error = 0;
      EXPECT_EQ(replacefile(path.c_str(), "new text", 8, &error), 0);
      if (fault == 0) {
        EXPECT_EQ(error, (uint32_t)OS_ERROR_DISK_FULL);
      }
      EXPECT_NE(error, 0u);
      EXPECT_EQ(readfile(path), "old");
      EXPECT_FALSE(osfindfile((path + ".tmp").c_str()));
      EXPECT_EQ(fakeleftovers(), "");
      gfake.diskroom = -1;
    }
  }
  // The single calls, for writers of their own.  A short write is followed
  // by one for the rest; one that puts nothing and says it succeeded is a
  // write fault.
  std::string x = dir + "/x";
  OsHandle f = oscreatefile(x.c_str(), OS_GENERIC_WRITE, 0, OS_CREATE_ALWAYS);
  uint32_t error = 0;
  gfake.lasterror = OS_ERROR_FILE_NOT_FOUND;
  gfake.shortwrites = 1;
  EXPECT_EQ(writeall(f, "abcd", 4, &error), 1);
  gfake.shortwrites = 1;
  EXPECT_EQ(writeall(f, "e", 1, &error), 0);
  EXPECT_EQ(error, (uint32_t)OS_ERROR_WRITE_FAULT);
  gfake.lasterror = 0;
  gfake.closefails = 1;
  error = 0;
  EXPECT_EQ(closewritten(f, &error), 0);
  EXPECT_EQ(error, (uint32_t)OS_ERROR_WRITE_FAULT);
  EXPECT_EQ(readfile(x), "abcd");
}

// Reads go on until the size is in; a file that ends first or a read that
// fails is no whole read.  A file that is there but cannot be opened is
// never taken for a missing one.
TEST_F(Replace, ReadsAreWholeOrFailures) {
  std::string path = dir + "/golf.txt";
  std::string text(5000, 'x');
  writefile(path, text);
  OsHandle f = oscreatefile(path.c_str(), OS_GENERIC_READ, OS_FILE_SHARE_READ, OS_OPEN_EXISTING);
  char buf[6000];
  uint32_t got = 0, error = 0;
  gfake.shortreads = -1;
  EXPECT_EQ(readall(f, buf, 5000, &got, &error), 1);
  EXPECT_EQ(got, 5000u);
  ossetfilepointer(f, 4000);
  EXPECT_EQ(readall(f, buf, 1001, &got, &error), 0);  // the file ends first
  EXPECT_EQ(got, 1000u);
  EXPECT_EQ(error, (uint32_t)OS_ERROR_HANDLE_EOF);
  gfake.shortreads = 0;
  osclosehandle(f);

  uint32_t len = 0;
  gfake.shortreads = -1;
  EXPECT_EQ(readtextfile(path.c_str(), buf, 5000, &len, &error), TEXT_READ);
  EXPECT_EQ(len, 5000u);
  EXPECT_EQ(readtextfile(path.c_str(), buf, 4096, &len, &error), TEXT_CUT);
  EXPECT_EQ(len, 4096u);
  gfake.shortreads = 0;
  gfake.readfails = 1;
  EXPECT_EQ(readtextfile(path.c_str(), buf, 5000, &len, &error), TEXT_UNREAD);
  gfake.readfails = 0;
  gfake.locked.push_back(path);
  EXPECT_EQ(readtextfile(path.c_str(), buf, 5000, &len, &error), TEXT_UNREAD);
  EXPECT_EQ(error, (uint32_t)OS_ERROR_SHARING_VIOLATION);
  EXPECT_EQ(readtextfile((dir + "/none.txt").c_str(), buf, 5000, &len, &error), TEXT_MISSING);
  EXPECT_EQ(error, 0u);
  EXPECT_EQ(fakeleftovers(), "");
}

}  // namespace
