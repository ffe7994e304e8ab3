// The fake desktop's faults: the failures the program's tests inject must
// behave as Windows behaves, or the tests prove nothing.
#include <gtest/gtest.h>

#include <string>

#include "os/fake/fakeos.h"
#include "support.h"

namespace {

class FakeFaults : public ::testing::Test {
 protected:
  std::string dir;
  void SetUp() override {
    kestoreset();
    dir = maketempdir();
  }
  void TearDown() override { removetree(dir); }
  OsHandle create(const std::string& p) {
    return oscreatefile(p.c_str(), OS_GENERIC_WRITE, 0, OS_CREATE_ALWAYS);
  }
};

TEST_F(FakeFaults, FullDiskWritesWhatFitsAndSaysHowMuch) {
  gfake.diskroom = 10;
  OsHandle f = create(dir + "/a.bin");
  ASSERT_NE(f, OS_BADFILE);
  uint32_t put = 99;
  EXPECT_EQ(oswritefile(f, "0123456", 7, &put), 1);
  EXPECT_EQ(put, 7u);
  EXPECT_EQ(oswritefile(f, "789abc", 6, &put), 0);
  EXPECT_EQ(put, 3u);
  EXPECT_EQ(osgetlasterror(), OS_ERROR_DISK_FULL);
  EXPECT_EQ(oswritefile(f, "x", 1, &put), 0);
  EXPECT_EQ(put, 0u);
  EXPECT_EQ(fakeleftovers(), "open file: " + dir + "/a.bin\n");
  osclosehandle(f);
  EXPECT_EQ(readfile(dir + "/a.bin"), "0123456789");
  EXPECT_EQ(fakeleftovers(), "");

  // A copy that runs out of room leaves nothing behind.
  writefile(dir + "/src.txt", "abcdef");
  gfake.diskroom = 4;
  EXPECT_EQ(oscopyfile((dir + "/src.txt").c_str(), (dir + "/dst.txt").c_str(), 0), 0);
  EXPECT_EQ(osgetlasterror(), OS_ERROR_DISK_FULL);
  EXPECT_FALSE(osfindfile((dir + "/dst.txt").c_str()));
}

TEST_F(FakeFaults, DeniedPathsAndCountedFailures) {
  writefile(dir + "/old.txt", "old");
  writefile(dir + "/new.txt", "new");
  gfake.denied.push_back(dir + "/");  // the whole folder
  EXPECT_EQ(create(dir + "/any.txt"), OS_BADFILE);
  EXPECT_EQ(osgetlasterror(), OS_ERROR_ACCESS_DENIED);
  OsHandle r = oscreatefile((dir + "/old.txt").c_str(), OS_GENERIC_READ, OS_FILE_SHARE_READ, OS_OPEN_EXISTING);
  EXPECT_NE(r, OS_BADFILE);  // reading stays allowed
  osclosehandle(r);
  uint32_t both = OS_MOVEFILE_REPLACE_EXISTING | OS_MOVEFILE_WRITE_THROUGH;
  EXPECT_EQ(osmovefileex((dir + "/new.txt").c_str(), (dir + "/old.txt").c_str(), both), 0);
  gfake.denied.clear();

  gfake.movefails = 1;
  EXPECT_EQ(osmovefileex((dir + "/new.txt").c_str(), (dir + "/old.txt").c_str(), both), 0);
  EXPECT_EQ(osmovefileex((dir + "/new.txt").c_str(), (dir + "/old.txt").c_str(), 0), 0);  // exists
  EXPECT_EQ(osmovefileex((dir + "/new.txt").c_str(), (dir + "/old.txt").c_str(), both), 1);
  EXPECT_EQ(readfile(dir + "/old.txt"), "new");
  gfake.deletefails = 1;
  EXPECT_EQ(osdeletefile((dir + "/old.txt").c_str()), 0);
  EXPECT_EQ(osdeletefile((dir + "/old.txt").c_str()), 1);
  EXPECT_EQ(osdeletefile((dir + "/old.txt").c_str()), 0);
  EXPECT_EQ(osgetlasterror(), OS_ERROR_FILE_NOT_FOUND);
}

TEST_F(FakeFaults, ClipboardHeldAndBoxesWhileOpen) {
  fakeclipimage(10, 10);
  gfake.clipboardheld = 2;
  EXPECT_EQ(osopenclipboard(1), 0);
  EXPECT_EQ(osopenclipboard(1), 0);
  ASSERT_EQ(osopenclipboard(1), 1);
  osmessagebox(1, "while open", "c", 0);
  oscloseclipboard();
  osmessagebox(1, "closed", "c", 0);
  EXPECT_EQ(fakeboxeswithclipboard(), 1);
  EXPECT_EQ(gfake.boxes[0].clipboardopen, 1);
  EXPECT_EQ(gfake.boxes[1].clipboardopen, 0);
  gfake.clipboardheld = -1;
  for (int i = 0; i < 5; i++) EXPECT_EQ(osopenclipboard(1), 0);
  gfake.clipboardheld = 0;
  EXPECT_EQ(osopenclipboard(1), 1);
  EXPECT_EQ(fakeleftovers(), "clipboard open\n");
}

TEST_F(FakeFaults, TheNthBlockOrLockIsRefused) {
  gfake.allocrefuse = 2;
  OsHandle a = osglobalalloc(16), b = osglobalalloc(16), c = osglobalalloc(16);
  EXPECT_NE(a, 0u);
  EXPECT_EQ(b, 0u);
  EXPECT_NE(c, 0u);
  gfake.lockfailat = 2;
  EXPECT_NE(osgloballock(a), nullptr);
  EXPECT_EQ(osgloballock(c), nullptr);
  EXPECT_NE(osgloballock(c), nullptr);
  EXPECT_EQ(fakelockedblocks(), 2);
  osglobalunlock(a);
  osglobalfree(a);
  EXPECT_EQ(fakelockedblocks(), 1);
  EXPECT_NE(fakeleftovers().find("1 locks"), std::string::npos);
  osglobalunlock(c);
  osglobalfree(c);
  EXPECT_EQ(fakeleftovers(), "");
}

const char* glastcall;
void remember(const char* call) { glastcall = call; }

TEST_F(FakeFaults, AWindowGoesBetweenTwoCalls) {
  OsWin w = fakeaddwindow("C", "game", 0, 0, 100, 100);
  int32_t r[4];
  gfake.vanishwin = w;
  gfake.vanishafter = 2;
  EXPECT_EQ(osgetwindowrect(w, r), 1);
  EXPECT_EQ(osgetwindowrect(w, r), 0);
  EXPECT_EQ(osfindwindow("C", nullptr), 0u);

  // Only the named call counts.
  OsWin v = fakeaddwindow("C", "game", 0, 0, 100, 100);
  gfake.vanishwin = v;
  gfake.vanishafter = 1;
  gfake.vanishon = "osgetwindowrect";
  gfake.oncall = remember;
  char t[16];
  EXPECT_EQ(osgetwindowtext(v, t, sizeof t), 4);
  EXPECT_STREQ(glastcall, "osgetwindowtext");
  EXPECT_EQ(osgetwindowrect(v, r), 0);
  EXPECT_EQ(osgetwindowtext(v, t, sizeof t), 0);
}

}  // namespace
