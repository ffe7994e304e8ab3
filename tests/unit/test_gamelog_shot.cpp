// The live shot parse over stretches of the live buffer.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "kesto.h"
#include "loggen.h"
#include "support.h"

namespace {

// Puts text at offset from of the live buffer followed by a zero byte, as the
// watcher does; returns the end offset.
int32_t putlive(int32_t from, const std::string& text) {
  memcpy(gkesto.livebuf + from, text.data(), text.size());
  gkesto.livebuf[from + text.size()] = 0;
  return from + (int32_t)text.size();
}

std::string shotblock(int club, int variant, int power, int hole, const uint8_t remain[4]) {
  uint8_t rec[SHOTSIZE];
  for (int i = 0; i < SHOTSIZE; i++) rec[i] = (uint8_t)(i * 7);
  rec[12] = (uint8_t)(hole - 1);
  rec[40] = (uint8_t)club;
  memcpy(rec + 106, remain, 4);
  rec[157] = (uint8_t)variant;
  rec[158] = (uint8_t)power;
  return logshotblock(rec);
}

const uint8_t k50m[4] = {0x00, 0x00, 0x48, 0x42};

class GamelogShot : public ::testing::Test {
 protected:
  void SetUp() override { kestoreset(); }
};

}  // namespace

TEST_F(GamelogShot, PlayerLinesWithoutShotData) {
  gkesto.shot.club = 40;
  gkesto.shot.power = 99;
  int32_t to = putlive(100, "*Hole  4\r\n*Player2 01\r\n*Player3 01\r\n");
  EXPECT_EQ(parseshot(gkesto.shot, gkesto.livebuf, 100, to), 1);
  EXPECT_EQ(gkesto.shot.hole, 4);
  EXPECT_EQ(gkesto.shot.player, 3);
  EXPECT_EQ(gkesto.shot.club, 0);
  EXPECT_EQ(gkesto.shot.power, 0);
  EXPECT_EQ(parseshot(gkesto.shot, gkesto.livebuf, to, to), 0);
  EXPECT_EQ(parseshot(gkesto.shot, gkesto.livebuf, to + 5, to), 0);
}

TEST_F(GamelogShot, ShotDataRecord) {
  int32_t to = putlive(0, "*Player1 02\r\n" + shotblock(30, 2, 120, 7, k50m));
  EXPECT_EQ(parseshot(gkesto.shot, gkesto.livebuf, 0, to), 3);
  EXPECT_EQ(gkesto.shot.club, 10);
  EXPECT_EQ(gkesto.shot.power, 120);
  EXPECT_EQ(gkesto.shot.hole, 7);
  EXPECT_EQ(gkesto.shot.player, 1);
  EXPECT_FLOAT_EQ(gkesto.shot.remain, 50.0f);
  EXPECT_EQ(gkesto.shot.shot[1], 7);
  EXPECT_EQ(gkesto.shot.shot[159], (uint8_t)(159 * 7));

  // The variant refines club 30 only: 1 -> 60, 3 -> 20, anything else leaves 30.
  const int variant[] = {0, 1, 3, 4};
  const int club[] = {30, 60, 20, 30};
  for (int i = 0; i < 4; i++) {
    to = putlive(0, shotblock(30, variant[i], 80, 1, k50m));
    EXPECT_EQ(parseshot(gkesto.shot, gkesto.livebuf, 0, to), 3);
    EXPECT_EQ(gkesto.shot.club, club[i]) << "variant " << variant[i];
  }
  to = putlive(0, shotblock(40, 1, 80, 1, k50m));
  parseshot(gkesto.shot, gkesto.livebuf, 0, to);
  EXPECT_EQ(gkesto.shot.club, 40);

  // A "*Player" line after the record keeps status 3 but clears club and power.
  to = putlive(0, shotblock(10, 0, 100, 2, k50m) + "*Player2 01\r\n");
  EXPECT_EQ(parseshot(gkesto.shot, gkesto.livebuf, 0, to), 3);
  EXPECT_EQ(gkesto.shot.club, 0);
  EXPECT_EQ(gkesto.shot.power, 0);
  EXPECT_EQ(gkesto.shot.player, 2);
}

TEST_F(GamelogShot, EarlyStops) {
  std::string t;
  for (int i = 1; i <= 1500; i++) t += "*Hole " + std::to_string(i) + "\r\n";
  int32_t to = putlive(0, t);
  EXPECT_EQ(parseshot(gkesto.shot, gkesto.livebuf, 0, to), 1000);
  EXPECT_EQ(gkesto.shot.hole, 999);

  // A line that consumes exactly 128 bytes stops the parse at its line count.
  to = putlive(0, "*Hole  3\r\n" + std::string(127, 'a') + "\n*Player1 01\r\n");
  EXPECT_EQ(parseshot(gkesto.shot, gkesto.livebuf, 0, to), 2);
  EXPECT_EQ(gkesto.shot.hole, 3);
  EXPECT_EQ(gkesto.shot.player, 0);
  to = putlive(0, "*Hole  3\r\n*Hole  5\r\n" + std::string(126, 'a') + "\r\n*Player1 01\r\n");
  EXPECT_EQ(parseshot(gkesto.shot, gkesto.livebuf, 0, to), 3);
  EXPECT_EQ(gkesto.shot.player, 0);
  // 127 bytes and CR LF consume 129: read on.
  to = putlive(0, std::string(127, 'a') + "\r\n*Player4 01\r\n");
  EXPECT_EQ(parseshot(gkesto.shot, gkesto.livebuf, 0, to), 1);
  EXPECT_EQ(gkesto.shot.player, 4);
  // A zero byte inside the stretch is damage, not its end: what follows is read on.
  t = std::string("*Player2 01\r\n\0", 14) + "*Player3 01\r\n";
  to = putlive(0, t);
  EXPECT_EQ(parseshot(gkesto.shot, gkesto.livebuf, 0, to), 1);
  EXPECT_EQ(gkesto.shot.player, 3);
}

TEST_F(GamelogShot, AZeroByteCostsOnlyTheRecordItIsIn) {
  // The game left a zero byte in the fourth line of a record, then shot again.
  std::string bad = shotblock(40, 0, 100, 3, k50m);
  size_t at = 0;
  for (int n = 0; n < 4; n++) at = bad.find('\n', at) + 1;
  bad[at + 4] = 0;
  std::string good = "*Player2 01\r\n" + shotblock(7, 0, 60, 4, k50m);
  int32_t to = putlive(200, "*Player1 02\r\n" + bad + good);
  EXPECT_EQ(parseshot(gkesto.shot, gkesto.livebuf, 200, to), 3);
  EXPECT_EQ(gkesto.shot.club, 7);
  EXPECT_EQ(gkesto.shot.hole, 4);
  EXPECT_EQ(gkesto.shot.player, 2);
  // Alone, the damaged record shows nothing: the last shot stays.
  to = putlive(200, "*Hole  3\r\n" + bad);
  EXPECT_EQ(parseshot(gkesto.shot, gkesto.livebuf, 200, to), 0);
  EXPECT_EQ(gkesto.shot.club, 7);
  EXPECT_EQ(gkesto.shot.power, 60);
  // The watcher's stretch end passes over it once its lines are all there,
  // and stops before a record still being written after it.
  EXPECT_EQ(shotstretchend(gkesto.livebuf, 200, to), to);
  int32_t whole = putlive(200, bad + good);
  int32_t half = 200 + (int32_t)(bad.size() + good.size() - 20);
  EXPECT_EQ(shotstretchend(gkesto.livebuf, 200, whole), whole);
  int32_t tag = 200 + (int32_t)bad.size() + 13;
  EXPECT_EQ(shotstretchend(gkesto.livebuf, 200, half), tag);
  // A run of zero bytes, then complete lines: read on after the run.
  to = putlive(200, std::string(300, '\0') + "*Player4 01\r\n");
  EXPECT_EQ(parseshot(gkesto.shot, gkesto.livebuf, 200, to), 1);
  EXPECT_EQ(gkesto.shot.player, 4);
  EXPECT_EQ(shotstretchend(gkesto.livebuf, 200, to), to);
}

TEST_F(GamelogShot, TagsAreExact) {
  int32_t to = putlive(0, "*Hole7\r\n*Hole  \r\nxShotData:\r\n00 01 02\r\n Player1 02\r\n");
  gkesto.shot.hole = 9;
  EXPECT_EQ(parseshot(gkesto.shot, gkesto.livebuf, 0, to), 0);
  // "*Hole7" is no hole line; "*Hole  " is one whose number cannot be read.
  EXPECT_EQ(gkesto.shot.hole, 0);
  EXPECT_EQ(gkesto.shot.shot[0], 0);
}

TEST_F(GamelogShot, TruncatedRecordNeverReadsPastTheStretch) {
  std::string block = shotblock(30, 1, 90, 12, k50m);
  // The stretch ends after the "ShotData:" line and three of its lines.
  size_t cut = 0;
  for (int n = 0; n < 4; n++) cut = block.find('\n', cut) + 1;
  std::string whole = "*Player3 04\r\n" + block;
  int32_t end = (int32_t)(13 + cut);
  // The rest of the record lies in the buffer beyond the stretch, with no zero
  // byte at its end: nothing of it may be read.
  memcpy(gkesto.livebuf + 2000, whole.data(), whole.size());
  gkesto.livebuf[2000 + whole.size()] = 0;
  EXPECT_EQ(parseshot(gkesto.shot, gkesto.livebuf, 2000, 2000 + end), 3);
  for (int i = 0; i < 48; i++)
    if (i != 12 && i != 40) {
      EXPECT_EQ(gkesto.shot.shot[i], (uint8_t)(i * 7)) << i;
    }
  for (int i = 48; i < SHOTSIZE; i++) EXPECT_EQ(gkesto.shot.shot[i], 0) << i;
  EXPECT_EQ(gkesto.shot.club, 30);  // variant byte 157 was not reached
  EXPECT_EQ(gkesto.shot.power, 0);
  EXPECT_EQ(gkesto.shot.hole, 12);
  EXPECT_FLOAT_EQ(gkesto.shot.remain, 0.0f);

  // Short lines and lines without hex digits give 0 for what they lack.
  int32_t to = putlive(0, "ShotData:\r\n11 22\r\nqq rr 33\r\n");
  EXPECT_EQ(parseshot(gkesto.shot, gkesto.livebuf, 0, to), 3);
  EXPECT_EQ(gkesto.shot.shot[0], 0x11);
  EXPECT_EQ(gkesto.shot.shot[1], 0x22);
  EXPECT_EQ(gkesto.shot.shot[2], 0);
  EXPECT_EQ(gkesto.shot.shot[16], 0);
  EXPECT_EQ(gkesto.shot.shot[18], 0x33);
}

TEST_F(GamelogShot, LastHoleOfAGeneratedGame) {
  std::vector<LogGenGame> info;
  std::string log = loggen(11, 1, &info);
  // The watcher's last stretch: from the last hole line to the end.
  size_t at = log.rfind("*Hole ");
  int32_t to = putlive(0, log);
  EXPECT_EQ(parseshot(gkesto.shot, gkesto.livebuf, (int32_t)at, to), 3);
  EXPECT_EQ(gkesto.shot.hole, info[0].lasthole);
  EXPECT_FLOAT_EQ(gkesto.shot.remain, 0.0f);  // the last shot holed out
  EXPECT_GE(gkesto.shot.power, 60);
  EXPECT_LE(gkesto.shot.power, 120);
}

TEST_F(GamelogShot, StretchEndLeavesWhatIsStillBeingWritten) {
  std::string block = shotblock(5, 0, 100, 3, k50m);
  std::string text = "*Player1 02\r\n" + block + "*Hole  4\r\n";
  int32_t to = putlive(500, text);
  EXPECT_EQ(shotstretchend(gkesto.livebuf, 500, to), to);
  // A last line without its end is left out; a lone CR counts as an end.
  to = putlive(500, "*Hole  4\r\n*Pla");
  EXPECT_EQ(shotstretchend(gkesto.livebuf, 500, to), 510);
  to = putlive(500, "*Hole  4\r");
  EXPECT_EQ(shotstretchend(gkesto.livebuf, 500, to), to);
  EXPECT_EQ(shotstretchend(gkesto.livebuf, 500, 500), 500);
  // A record short of its ten lines is left out from its tag line on.
  int32_t tag = 500 + 13;
  size_t nine = 0;
  for (int i = 0; i < 10; i++) nine = block.find('\n', nine) + 1;  // tag line and nine lines
  to = putlive(500, "*Player1 02\r\n" + block.substr(0, nine));
  EXPECT_EQ(shotstretchend(gkesto.livebuf, 500, to), tag);
  to = putlive(500, "*Player1 02\r\n" + block.substr(0, nine + 10));
  EXPECT_EQ(shotstretchend(gkesto.livebuf, 500, to), tag);
  // A record's lines are never taken for tags, however they read.
  to = putlive(500, "ShotData:\r\nShotData:\r\na\nb\nc\nd\ne\nf\ng\nh\ni\n");
  EXPECT_EQ(shotstretchend(gkesto.livebuf, 500, to), to);
}
