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
    fakereset();
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

}  // namespace
