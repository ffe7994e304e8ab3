// The capture engine against the fake desktop: the BMP layout, the frame
// record, the capture rectangle, the screen grab, the names of screenshots
// and bursts, the burst log lines and the burst plan.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <sys/stat.h>

#include "capture/burst.h"
#include "capture/capture.h"
#include "kesto.h"
#include "os/fake/fakeos.h"
#include "support.h"

namespace {

class Capture : public ::testing::Test {
 protected:
  void SetUp() override {
    kestoreset();
    gkesto.mw.countsperms = 10000;
    gkesto.burst.diskthreshold = 250;
  }
  // Grabs one frame; the block stays for the test to read.
  std::vector<uint8_t> grab() {
    OsHandle h = 0;
    uint8_t* p = nullptr;
    EXPECT_TRUE(grabframe(&h, &p));
    if (!p) return {};
    std::vector<uint8_t> rec(gfake.blocks.back().bytes);
    EXPECT_EQ(p, gfake.blocks.back().bytes.data());
    osglobalunlock(h);
    osglobalfree(h);
    return rec;
  }
};

// The pixel (x, y), counted from the top left, of a bottom-up 24-bit BMP
// whose pixels start at data.
uint32_t bmppixel(const uint8_t* data, int32_t w, int32_t h, int x, int y) {
  const uint8_t* p = data + (size_t)rowstride(w) * (size_t)(h - 1 - y) + 3 * (size_t)x;
  return (uint32_t)p[2] << 16 | (uint32_t)p[1] << 8 | p[0];
}

}  // namespace

TEST(BmpLayout, RowsArePaddedToFourBytesAndTheFileIs54BytesMore) {
  const int32_t widths[] = {1, 2, 3, 4, 5, 640, 641, 1366};
  const uint32_t strides[] = {4, 8, 12, 12, 16, 1920, 1924, 4100};
  for (int i = 0; i < 8; i++) {
    EXPECT_EQ(rowstride(widths[i]), strides[i]) << widths[i];
    EXPECT_EQ((rowstride(widths[i]) - 3 * (uint32_t)widths[i]), rowpad(widths[i])) << widths[i];
    EXPECT_EQ(rowstride(-widths[i]), strides[i]) << "negative width " << widths[i];
  }
  EXPECT_EQ(imagesize(641, 480), 1924u * 480u);
  EXPECT_EQ(imagesize(641, -480), 1924u * 480u);
  // Beyond 32 bits the size does not wrap.
  EXPECT_EQ(imagesize(100000, 100000), 300000ull * 100000ull);

  uint8_t h[BMPFILEHEADER];
  putfileheader(h, 1924u * 480u);
  EXPECT_EQ(std::string((char*)h, 2), "BM");
  EXPECT_EQ(get32(h + 2), 1924u * 480u + 54u);
  EXPECT_EQ(get32(h + 6), 0u);
  EXPECT_EQ(get32(h + 10), 54u);
}

TEST(BmpLayout, ClipboardHeadersAndCutsOfAnySize) {
  OsBitmapHeader h;
  memset(&h, 0, sizeof h);
  int32_t w = -1, ht = -1;
  // Rows in either order; a height of INT32_MIN has no size.
  h.width = 640;
  h.height = -480;
  EXPECT_EQ(clipimagesize(h, CAPBUFSIZE, &w, &ht), 1);
  EXPECT_EQ(w, 640);
  EXPECT_EQ(ht, 480);
  h.height = INT32_MIN;
  EXPECT_EQ(clipimagesize(h, CAPBUFSIZE, &w, &ht), 0);
  EXPECT_EQ(w, 0);
  h.height = 2;
  h.width = 0x7FFFFFFF;  // rows of 6 GiB: never taken
  EXPECT_EQ(clipimagesize(h, CAPBUFSIZE, &w, &ht), 0);
  // A window far off the image is never a cut, however far.
  const int32_t far[4] = {-2147483647 - 1, 0, 2147483647, 10};
  EXPECT_EQ(cropinside(640, 480, far), 0);
  const int32_t whole[4] = {0, 0, 640, 480};
  EXPECT_EQ(cropinside(640, 480, whole), 0);  // as wide as the image: no cut
  // A cut of 2 x 2 from the top-left corner of a 3 x 3 image, bottom-up rows.
  uint8_t full[3 * 12], cut[2 * 8];
  for (int row = 0; row < 3; row++)
    for (int x = 0; x < 3; x++) full[(2 - row) * 12 + x * 3] = (uint8_t)(10 * row + x);
  const int32_t r[4] = {0, 0, 2, 2};
  ASSERT_EQ(cropinside(3, 3, r), 1);
  memset(cut, 0xEE, sizeof cut);
  croprows(full, 3, 3, r, cut);
  EXPECT_EQ(cut[8], 0);       // top row, left: (0, 0)
  EXPECT_EQ(cut[8 + 3], 1);   // top row: (1, 0)
  EXPECT_EQ(cut[0], 10);      // bottom row: (0, 1)
  EXPECT_EQ(cut[6], 0);       // row padding
  EXPECT_EQ(cut[7], 0);
}

TEST_F(Capture, TheFrameRecordHoldsTimingTimeAndABmpFileOfTheRectangle) {
  OsWin fg = fakeaddwindow("OTHER", "front", 10, 20, 10 + 641, 20 + 3);
  gkesto.mw.foreground = fg;
  gfake.localtime = OsTime{2009, 4, 0, 5, 14, 3, 22, 187};
  gkesto.burst.starttime = 1000000;
  gfake.perfcount = 1000000 + 94 * 10000 + 9999;  // 94.9 ms: truncated
  std::vector<uint8_t> r = grab();
  ASSERT_EQ(r.size(), 1924u * 3u + 76u);
  EXPECT_EQ((int32_t)get32(&r[FRAMEMS]), 94);
  EXPECT_EQ(gkesto.burst.starttime, gfake.perfcount) << "the reading becomes the previous one";
  const uint16_t t[8] = {2009, 4, 0, 5, 14, 3, 22, 187};
  for (int i = 0; i < 8; i++) EXPECT_EQ(get16(&r[6 + 2 * i]), t[i]) << "time field " << i;
  const uint8_t* f = &r[22];
  EXPECT_EQ(std::string((const char*)f, 2), "BM");
  EXPECT_EQ(get32(f + 2), 1924u * 3u + 54u);
  EXPECT_EQ(get32(f + 10), 54u);
  const uint8_t* i = &r[36];
  EXPECT_EQ(get32(i), 40u);
  EXPECT_EQ((int32_t)get32(i + 4), 641);
  EXPECT_EQ((int32_t)get32(i + 8), 3);
  EXPECT_EQ(get16(i + 12), 1);
  EXPECT_EQ(get16(i + 14), 24);
  EXPECT_EQ(get32(i + 16), 0u);
  EXPECT_EQ(get32(i + 20), 1924u * 3u);
  for (int y = 0; y < 3; y++) {
    for (int x : {0, 1, 320, 640}) EXPECT_EQ(bmppixel(&r[76], 641, 3, x, y), fakepixel(10 + x, 20 + y));
    const uint8_t* pad = &r[76] + 1924 * (2 - y) + 1923;
    EXPECT_EQ(*pad, 0) << "row " << y << " pads with zero";
  }
  EXPECT_TRUE(framecheck(r.data()));
}

TEST_F(Capture, TheRectangleComesFromTheGameThenTheChosenWindowThenTheFrameThenTheForeground) {
  // Margins top, left, bottom, right (-29, -3, -3, -3): a 646 x 509 window
  // gives a 640 x 477 frame.
  int32_t m[4] = {-29, -3, -3, -3};
  memcpy(gkesto.set.margins, m, sizeof m);
  OsWin game = fakeaddwindow("GAME", "game", 100, 50, 100 + 646, 50 + 509);
  OsWin chosen = fakeaddwindow("OTHER", "chosen", 0, 0, 300, 200);
  OsWin fg = fakeaddwindow("OTHER", "front", 5, 6, 7, 8);
  gkesto.mw.watch.gamewin = game;
  gkesto.chosenwin = chosen;
  gkesto.framerectread = 1;
  int32_t fr[4] = {1, 2, 30, 40};
  memcpy(gkesto.framerect, fr, sizeof fr);
  gkesto.mw.foreground = fg;
  int32_t r[4];
  ASSERT_TRUE(capturerect(r));
  EXPECT_EQ(r[0], 103);
  EXPECT_EQ(r[1], 79);
  EXPECT_EQ(r[2], 743);
  EXPECT_EQ(r[3], 556);
  std::vector<uint8_t> rec = grab();
  EXPECT_EQ((int32_t)get32(&rec[40]), 640);
  EXPECT_EQ((int32_t)get32(&rec[44]), 477);

  gkesto.mw.watch.gamewin = 0;
  capturerect(r);
  EXPECT_EQ(std::vector<int32_t>(r, r + 4), (std::vector<int32_t>{3, 29, 297, 197})) << "chosen window, margins";
  fakeclosewindow(chosen);  // a window gone gives way to the next choice
  capturerect(r);
  EXPECT_EQ(std::vector<int32_t>(r, r + 4), (std::vector<int32_t>{1, 2, 30, 40})) << "frame rectangle unchanged";
  gkesto.chosenwin = 0;
  gkesto.framerectread = 0;
  capturerect(r);
  EXPECT_EQ(std::vector<int32_t>(r, r + 4), (std::vector<int32_t>{5, 6, 7, 8})) << "foreground, no margins";
}

TEST_F(Capture, GrabsOfOddRectanglesStayInsideTheirBlocks) {
  // Partly off screen: what lies outside the screen is black.
  gkesto.mw.foreground = fakeaddwindow("OTHER", "off", -100, -50, 100, 50);
  std::vector<uint8_t> r = grab();
  ASSERT_EQ(r.size(), (size_t)rowstride(200) * 100 + 76);
  EXPECT_EQ(bmppixel(&r[76], 200, 100, 0, 0), 0u);
  EXPECT_EQ(bmppixel(&r[76], 200, 100, 150, 70), fakepixel(50, 20));
  // Edges the wrong way round: the sizes are taken as they are, positive.
  ossetforegroundwindow(gkesto.mw.foreground);
  gkesto.mw.foreground = fakeaddwindow("OTHER", "flipped", 300, 200, 250, 170);
  r = grab();
  EXPECT_EQ((int32_t)get32(&r[40]), 50);
  EXPECT_EQ((int32_t)get32(&r[44]), 30);
  // A grab that copies nothing is no frame: zero width, no window at all, no
  // bitmap, a failed copy.  Nothing is kept, and the time of the previous
  // frame stays, so its interval goes to the next frame.
  OsHandle h = 0;
  uint8_t* p = nullptr;
  int64_t previous = gkesto.burst.starttime;
  gfake.perfcount += 5000000;
  for (int way = 0; way < 4; way++) {
    SCOPED_TRACE(way);
    gkesto.mw.foreground = way == 0 ? fakeaddwindow("OTHER", "flat", 10, 10, 10, 90)
                           : way == 1 ? 0
                                      : fakeaddwindow("OTHER", "small", 0, 0, 8, 8);
    if (way == 2) gfake.grabfails = 1;
    if (way == 3) gfake.blitfails = 1;
    EXPECT_EQ(grabframe(&h, &p), GRABFAILED);
    EXPECT_EQ(h, 0u);
    EXPECT_TRUE(gfake.blocks.empty());
    EXPECT_EQ(gkesto.burst.starttime, previous);
  }
  r = grab();
  EXPECT_EQ((int32_t)get32(&r[FRAMEMS]), 500) << "the failed grabs' time belongs to this frame";
  // A rectangle whose picture would pass 2 GiB is never allocated.
  long before = gfake.allocs;
  gkesto.mw.foreground = fakeaddwindow("OTHER", "huge", -2000000000, -2000000000, 2000000000, 2000000000);
  EXPECT_EQ(grabframe(&h, &p), GRABNOBLOCK);
  EXPECT_EQ(gfake.allocs, before);
  // A block that cannot be had is reported.
  gkesto.mw.foreground = fakeaddwindow("OTHER", "small", 0, 0, 8, 8);
  gfake.allocfailat = gfake.allocs + 1;
  EXPECT_FALSE(grabframe(&h, &p));
  EXPECT_EQ(h, 0u);
  EXPECT_TRUE(gfake.blocks.empty());
}

TEST(CaptureNames, ScreenshotAndBurstNamesCarryTheLocalTime) {
  OsTime t{2009, 4, 0, 5, 9, 5, 7, 42};
  char month[256], day[256], file[256];
  ASSERT_TRUE(sspaths("C:\\kesto", t, month, day, file, 256));
  EXPECT_STREQ(month, "C:\\kesto\\ss200904");
  EXPECT_STREQ(day, "C:\\kesto\\ss200904\\d05");
  EXPECT_STREQ(file, "C:\\kesto\\ss200904\\d05\\KestoSS_20090405_0905_07_042.bmp");
  EXPECT_FALSE(sspaths("C:\\kesto", t, month, day, file, 40)) << "a name that does not fit";

  OsTime b{2009, 4, 0, 5, 14, 3, 22, 187};
  char folder[256], log[256];
  ASSERT_TRUE(burstpaths("C:\\kesto", b, month, folder, log, 256));
  EXPECT_STREQ(month, "C:\\kesto\\cap200904");
  EXPECT_STREQ(folder, "C:\\kesto\\cap200904\\d05_1403_22_18");
  EXPECT_STREQ(log, "C:\\kesto\\cap200904\\d05_1403_22_18\\c1403_22_187.txt");
}

TEST(BurstLog, LinesUnderASecondAndFromASecondOn) {
  OsTime t{2009, 4, 0, 5, 14, 3, 22, 187};
  char b[160];
  burstlogline(b, sizeof b, 2, 94, t);
  EXPECT_STREQ(b, "DATA c00002.bmp Tic= 94 ms date 20090405_14:03_22.187\r\n");
  burstlogline(b, sizeof b, 3, 1500, t);
  EXPECT_STREQ(b, "DATA c00003.bmp Tic=      1,500 ms date 20090405_14:03_22.187\r\n");
  burstlogline(b, sizeof b, 4, 999, t);
  EXPECT_STREQ(b, "DATA c00004.bmp Tic=999 ms date 20090405_14:03_22.187\r\n");
  burstlogline(b, sizeof b, 99999, 1000, t);
  EXPECT_STREQ(b, "DATA c99999.bmp Tic=      1,000 ms date 20090405_14:03_22.187\r\n");
  EXPECT_EQ(burstlogline(b, 10, 1, 5, t), 9) << "cut to the buffer";
}

TEST_F(Capture, ThePlanComesFromMemoryOrDiskAndThePageCount) {
  gkesto.mw.foreground = fakeaddwindow("OTHER", "area", 0, 0, 640, 480);
  gkesto.mw.pace = kintervals[7];
  gfake.availphys = 1073741824u;
  gkesto.set.work.capturepage = 0;
  burstprep();
  EXPECT_EQ(gkesto.burst.straight, 0);
  EXPECT_EQ(gkesto.burst.planned, 982);
  gkesto.set.work.capturepage = 100;
  burstprep();
  EXPECT_EQ(gkesto.burst.planned, 100);
  gkesto.set.work.capturepage = 5000;
  burstprep();
  EXPECT_EQ(gkesto.burst.planned, 982) << "a page count above the plan does not raise it";
  // The slots cap a memory burst; less memory than the reserve plans
  // nothing, whatever the page count.
  gkesto.set.work.capturepage = 0;
  gfake.availphys = 0xFFFFFFFFu;
  fakeaddwindow("OTHER", "tiny", 0, 0, 8, 8);
  gkesto.mw.foreground = gfake.foreground;
  burstprep();
  EXPECT_EQ(gkesto.burst.planned, MEMFRAMEMAX);
  gfake.availphys = 1000;
  burstprep();
  EXPECT_EQ(gkesto.burst.planned, 0);
  gfake.availphys = 67108864u;
  gkesto.set.work.capturepage = 5;
  burstprep();
  EXPECT_EQ(gkesto.burst.planned, 0);
  gfake.availphys = 67108864u + 1000;
  burstprep();
  EXPECT_EQ(gkesto.burst.planned, 3) << "(1000 / 10 * 9) / (24 * 8 + 76)";
  gkesto.set.work.capturepage = 0;

  // Row 3 (297 ms) is above the 250 ms threshold, row 4 (193 ms) is not.
  gkesto.mw.pace = kintervals[4];
  burstprep();
  EXPECT_EQ(gkesto.burst.straight, 0);
  gkesto.mw.pace = kintervals[3];
  gkesto.mw.freemb = 10240;
  gkesto.mw.foreground = fakeaddwindow("OTHER", "area", 0, 0, 640, 480);
  burstprep();
  EXPECT_EQ(gkesto.burst.straight, 1);
  EXPECT_EQ(gkesto.burst.planned, 10240 * 1024 / 10 * 9 / (921676 / 1024));
  gkesto.mw.foreground = fakeaddwindow("OTHER", "tiny", 0, 0, 8, 8);
  burstprep();
  EXPECT_EQ(gkesto.burst.planned, DISKFRAMEMAX);
  // 4 TiB free and more: free MiB x 1024 no longer fits 32 bits.
  gkesto.mw.foreground = fakeaddwindow("OTHER", "area", 0, 0, 640, 480);
  gkesto.mw.freemb = 4194304;
  burstprep();
  EXPECT_EQ(gkesto.burst.planned, DISKFRAMEMAX);
  gkesto.mw.freemb = INT32_MAX;
  burstprep();
  EXPECT_EQ(gkesto.burst.planned, DISKFRAMEMAX);
  gkesto.mw.freemb = 0;
  burstprep();
  EXPECT_EQ(gkesto.burst.planned, 0);
  EXPECT_EQ(gkesto.burst.slot, 0);
  EXPECT_EQ(gkesto.burst.writepos, 0);
  EXPECT_EQ(gkesto.burst.ondisk, 0);
}
