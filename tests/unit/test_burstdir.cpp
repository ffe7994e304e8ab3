// Reading a burst folder back: the burst log's lines, the frames' times and
// which frame files are there.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>

#include "capture/burst.h"
#include "capture/burstdir.h"
#include "kesto.h"
#include "os/fake/fakeos.h"
#include "support.h"

namespace {

class BurstDirTest : public ::testing::Test {
 protected:
  void SetUp() override {
    kestoreset();
    d.reset(new BurstDir);
    burstdirclear(d.get());
    dir = maketempdir();
  }
  void TearDown() override { removetree(dir); }
  void feed(const std::string& s) {
    burstdirtext(d.get(), s.data(), (int32_t)s.size());
    burstdirend(d.get());
  }
  std::unique_ptr<BurstDir> d;
  std::string dir;
};

// Lines exactly as the burst engine writes them read back with their number
// and Tic, both forms of the Tic.
TEST_F(BurstDirTest, EngineLinesReadBack) {
  OsTime t = {2009, 4, 0, 5, 14, 3, 22, 187};
  const int32_t ms[] = {0, 94, 999, 1000, 1500, 123456789, 5};
  std::string log = "disk free = 1234 MB\r\n";
  for (int i = 0; i < 7; i++) {
    char line[160];
    int n = burstlogline(line, sizeof line, i + 1, ms[i], t);
    log.append(line, (size_t)n);
  }
  feed(log);
  ASSERT_EQ(d->count, 7);
  EXPECT_EQ(d->damaged, 0);
  int64_t sum = 0;
  for (int i = 0; i < 7; i++) {
    EXPECT_EQ(d->frames[i].number, i + 1);
    EXPECT_EQ(d->frames[i].tic, ms[i]);
    if (i > 0) sum += ms[i];
    EXPECT_EQ(d->frames[i].time, sum) << i;  // frame 1 at 0, then the sum of the Tics from frame 2
  }
  EXPECT_STREQ(d->frames[2].name, "c00003.bmp");
  EXPECT_EQ(burstspan(d.get()), sum);
}

// Damaged lines are passed over and counted, the first one's line number
// kept; the frames around them stay.  Line ends CR, LF and CR LF all count,
// and a last line without an end is read.
TEST_F(BurstDirTest, DamagedLinesCounted) {
  feed("disk free = 5 MB\n"
       "DATA c00001.bmp Tic= 10 ms date 20090405_14:03_22.187\r"
       "DATA c00002.bmp Tic=abc ms\r\n"                 // 3: no number
       "DATA c00002.bmp Tic=     1,5 ms\n"              // 4: two digits of ms
       "DATA c0002.bmp Tic= 10 ms\n"                    // 5: four digits
       "DATA c00000.bmp Tic= 10 ms\n"                   // 6: frame 0
       "\r\n"
       "DATA c00003.bmp Tic= 20 ms date x\n"
       "DATA c00003.bmp Tic= 20 ms date x\n"            // 9: not above the last
       "DATA c00002.bmp Tic= 20 ms date x\n"            // 10: going back
       "garbage\n"                                       // 11
       "DATA c00004.bmp Tic= 30 msx\n"                  // 12: no space after ms
       "DATA c00005.bmp Tic=  7 ms");
  ASSERT_EQ(d->count, 3);
  EXPECT_EQ(d->frames[1].number, 3);
  EXPECT_EQ(d->frames[1].time, 20);
  EXPECT_EQ(d->frames[2].number, 5);
  EXPECT_EQ(d->frames[2].time, 27);
  EXPECT_EQ(d->damaged, 8);
  EXPECT_EQ(d->firstdamaged, 3);
}

// A line too long for the line buffer is one damaged line, however the text
// is cut into pieces, and the lines after it still read.
TEST_F(BurstDirTest, LongLineAndPiecesAnywhere) {
  std::string log = "DATA c00001.bmp Tic= 10 ms\r\n" + std::string(500, 'x') + "\r\nDATA c00002.bmp Tic= 40 ms\r\n";
  for (size_t cut = 0; cut <= log.size(); cut++) {
    burstdirclear(d.get());
    burstdirtext(d.get(), log.data(), (int32_t)cut);
    burstdirtext(d.get(), log.data() + cut, (int32_t)(log.size() - cut));
    burstdirend(d.get());
    ASSERT_EQ(d->count, 2) << cut;
    ASSERT_EQ(d->damaged, 1) << cut;
    ASSERT_EQ(d->frames[1].time, 40) << cut;
  }
}

// A negative Tic (the clock went back) keeps the frame and adds no time.
TEST_F(BurstDirTest, NegativeTicAddsNothing) {
  feed("DATA c00001.bmp Tic=  5 ms\nDATA c00002.bmp Tic= -3 ms\nDATA c00003.bmp Tic=  4 ms\n");
  ASSERT_EQ(d->count, 3);
  EXPECT_EQ(d->frames[1].tic, -3);
  EXPECT_EQ(d->frames[1].time, 0);
  EXPECT_EQ(d->frames[2].time, 4);
}

// The folder: the log found by its form, frames marked present or missing,
// other files left alone.
TEST_F(BurstDirTest, FolderFramesPresentAndMissing) {
  writefile(dir + "/c1403_22_187.txt",
            "disk free = 9 MB\r\nDATA c00001.bmp Tic= 50 ms date\r\nDATA c00002.bmp Tic= 33 ms date\r\n"
            "DATA c00003.bmp Tic= 34 ms date\r\n");
  writefile(dir + "/notes.txt", "DATA c00009.bmp Tic= 1 ms\r\n");
  writefile(dir + "/c00001.bmp", "BM");
  writefile(dir + "/c00003.bmp", "BM");
  writefile(dir + "/c00004.bmp", "BM");  // no line: not listed
  ASSERT_EQ(readburstdir(dir.c_str(), d.get()), BURSTDIR_READ);
  EXPECT_STREQ(d->logname, "c1403_22_187.txt");
  ASSERT_EQ(d->count, 3);
  EXPECT_EQ(d->frames[0].exists, 1);
  EXPECT_EQ(d->frames[1].exists, 0);
  EXPECT_EQ(d->frames[2].exists, 1);
  EXPECT_EQ(d->missing, 1);
  EXPECT_EQ(d->frames[2].time, 67);
  EXPECT_EQ(d->damaged, 0);
}

// No log: NOLOG, also for a folder that is not there.  Two logs: the first
// in name order.
TEST_F(BurstDirTest, NoLogAndTwoLogs) {
  writefile(dir + "/c00001.bmp", "BM");
  EXPECT_EQ(readburstdir(dir.c_str(), d.get()), BURSTDIR_NOLOG);
  EXPECT_EQ(readburstdir((dir + "/none").c_str(), d.get()), BURSTDIR_NOLOG);
  writefile(dir + "/c1403_22_190.txt", "DATA c00001.bmp Tic= 1 ms\r\nDATA c00002.bmp Tic= 2 ms\r\n");
  writefile(dir + "/c1403_22_187.txt", "DATA c00001.bmp Tic= 1 ms\r\n");
  ASSERT_EQ(readburstdir(dir.c_str(), d.get()), BURSTDIR_READ);
  EXPECT_STREQ(d->logname, "c1403_22_187.txt");
  EXPECT_EQ(d->count, 1);
}

// A log longer than the bound is read as far as the bound and marked cut;
// the table holds 99,999 frames and counts the lines past it.
TEST_F(BurstDirTest, BoundsOfLogAndTable) {
  std::string log;
  log.reserve(BURSTLOGMAX + 64);
  char line[64];
  for (int i = 1; i <= BURSTDIRFRAMES; i++) {
    int n = snprintf(line, sizeof line, "DATA c%05d.bmp Tic= 33 ms\r\n", i);
    log.append(line, (size_t)n);
  }
  burstdirclear(d.get());
  feed(log + "DATA c99999.bmp Tic= 33 ms\r\n");  // not above the last: damaged
  EXPECT_EQ(d->count, BURSTDIRFRAMES);
  EXPECT_EQ(d->damaged, 1);
  EXPECT_EQ(burstspan(d.get()), 33LL * (BURSTDIRFRAMES - 1));
  while (log.size() < BURSTLOGMAX) log += std::string(100, ' ') + "\r\n";
  log += "DATA c00001.bmp Tic= 1 ms\r\n";  // past the bound: never read
  writefile(dir + "/c0000_00_000.txt", log);
  ASSERT_EQ(readburstdir(dir.c_str(), d.get()), BURSTDIR_READ);
  EXPECT_EQ(d->cut, 1);
  EXPECT_EQ(d->count, BURSTDIRFRAMES);
  EXPECT_EQ(d->missing, BURSTDIRFRAMES);
}

// A log that cannot be opened is UNREAD with the reason, never "no log".
TEST_F(BurstDirTest, UnreadableLogTold) {
  writefile(dir + "/c1403_22_187.txt", "DATA c00001.bmp Tic= 1 ms\r\n");
  gfake.locked.push_back(dir + "/c1403_22_187.txt");
  EXPECT_EQ(readburstdir(dir.c_str(), d.get()), BURSTDIR_UNREAD);
  EXPECT_NE(d->error, 0u);
}

}  // namespace
