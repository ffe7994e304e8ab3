// The animated PNG encoder, read back by a decoder of the tests' own that
// checks every chunk's CRC and sequence number and composes the frames as a
// viewer does (dispose none, blend source).
#include <gtest/gtest.h>
#include <zlib.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <unistd.h>
#include <string>
#include <vector>

#include "capture/apng.h"
#include "capture/bmpfile.h"
#include "capture/capture.h"
#include "kesto.h"
#include "os/fake/fakeos.h"
#include "support.h"

namespace {

uint32_t be32(const uint8_t* p) { return (uint32_t)p[0] << 24 | (uint32_t)p[1] << 16 | (uint32_t)p[2] << 8 | p[3]; }

struct DecodedFrame {
  std::vector<uint8_t> rgb;  // the whole picture after this frame, RGB top row first
  uint32_t x, y, w, h;       // the rectangle stored
  uint16_t num, den;
  int dispose, blend;
  int datachunks;            // IDAT or fdAT chunks of the frame
};

struct Decoded {
  std::string error;  // empty when the file is a valid animated PNG
  uint32_t width = 0, height = 0, frames = 0, plays = 0;
  int colourtype = -1, depth = -1;
  std::vector<DecodedFrame> list;
};

int paethpredict(int a, int b, int c) {
  int p = a + b - c, pa = abs(p - a), pb = abs(p - b), pc = abs(p - c);
  if (pa <= pb && pa <= pc) return a;
  return pb <= pc ? b : c;
}

// Inflates data and undoes the row filters of a w x h RGB rectangle.
bool unfilter(const std::vector<uint8_t>& data, uint32_t w, uint32_t h, std::vector<uint8_t>& out,
              std::string& error) {
  size_t line = (size_t)w * 3;
  std::vector<uint8_t> raw((line + 1) * h);
  uLongf n = (uLongf)raw.size();
  if (uncompress(raw.data(), &n, data.data(), (uLong)data.size()) != Z_OK || n != raw.size()) {
    error = "frame data does not inflate to its rectangle";
    return false;
  }
  out.assign(line * h, 0);
  for (uint32_t y = 0; y < h; y++) {
    const uint8_t* s = raw.data() + (line + 1) * y;
    uint8_t* d = out.data() + line * y;
    const uint8_t* up = y ? d - line : nullptr;
    for (size_t i = 0; i < line; i++) {
      int a = i >= 3 ? d[i - 3] : 0, b = up ? up[i] : 0, c = (up && i >= 3) ? up[i - 3] : 0, p;
      switch (s[0]) {
        case 0: p = 0; break;
        case 1: p = a; break;
        case 2: p = b; break;
        case 3: p = (a + b) / 2; break;
        case 4: p = paethpredict(a, b, c); break;
        default: error = "bad filter type"; return false;
      }
      d[i] = (uint8_t)(s[1 + i] + p);
    }
  }
  return true;
}

Decoded decodeapng(const std::string& file) {
  Decoded r;
  const uint8_t* p = (const uint8_t*)file.data();
  size_t n = file.size(), at = 8;
  static const uint8_t sig[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
  if (n < 8 || memcmp(p, sig, 8) != 0) return r.error = "no PNG signature", r;
  uint32_t seq = 0;
  bool ended = false, havefctl = false;
  DecodedFrame cur{};
  std::vector<uint8_t> data, canvas;
  auto finishframe = [&]() {
    if (!havefctl) return true;
    std::vector<uint8_t> px;
    if (!unfilter(data, cur.w, cur.h, px, r.error)) return false;
    for (uint32_t y = 0; y < cur.h; y++)
      memcpy(canvas.data() + ((size_t)(cur.y + y) * r.width + cur.x) * 3, px.data() + (size_t)y * cur.w * 3,
             (size_t)cur.w * 3);
    cur.rgb = canvas;
    r.list.push_back(cur);
    data.clear();
    havefctl = false;
    return true;
  };
  int index = 0;
  while (at < n && !ended) {
    if (n - at < 12) return r.error = "chunk cut short", r;
    uint32_t len = be32(p + at);
    if (len > n - at - 12) return r.error = "chunk longer than the file", r;
    std::string type((const char*)p + at + 4, 4);
    const uint8_t* d = p + at + 8;
    if (be32(d + len) != (uint32_t)crc32(0, p + at + 4, len + 4)) return r.error = "bad CRC in " + type, r;
    if (index == 0 && type != "IHDR") return r.error = "IHDR is not first", r;
    if (type == "IHDR") {
      r.width = be32(d);
      r.height = be32(d + 4);
      r.depth = d[8];
      r.colourtype = d[9];
      canvas.assign((size_t)r.width * r.height * 3, 0);
    } else if (type == "acTL") {
      r.frames = be32(d);
      r.plays = be32(d + 4);
    } else if (type == "fcTL") {
      if (!finishframe()) return r;
      if (be32(d) != seq++) return r.error = "fcTL out of sequence", r;
      cur = DecodedFrame{};
      cur.w = be32(d + 4);
      cur.h = be32(d + 8);
      cur.x = be32(d + 12);
      cur.y = be32(d + 16);
      cur.num = (uint16_t)(d[20] << 8 | d[21]);
      cur.den = (uint16_t)(d[22] << 8 | d[23]);
      cur.dispose = d[24];
      cur.blend = d[25];
      if (cur.w == 0 || cur.h == 0 || cur.x + cur.w > r.width || cur.y + cur.h > r.height)
        return r.error = "frame outside the picture", r;
      if (r.list.empty() && (cur.x || cur.y || cur.w != r.width || cur.h != r.height))
        return r.error = "the first frame is not the whole picture", r;
      havefctl = true;
    } else if (type == "IDAT") {
      if (!havefctl || !r.list.empty()) return r.error = "IDAT not in the first frame", r;
      data.insert(data.end(), d, d + len);
      cur.datachunks++;
    } else if (type == "fdAT") {
      if (!havefctl || r.list.empty()) return r.error = "fdAT without its fcTL", r;
      if (be32(d) != seq++) return r.error = "fdAT out of sequence", r;
      data.insert(data.end(), d + 4, d + len);
      cur.datachunks++;
    } else if (type == "IEND") {
      if (!finishframe()) return r;
      ended = true;
    } else {
      return r.error = "unexpected chunk " + type, r;
    }
    at += 12 + len;
    index++;
  }
  if (!ended) return r.error = "no IEND", r;
  if (at != n) return r.error = "bytes after IEND", r;
  if (r.list.size() != r.frames) return r.error = "acTL frame count differs from the frames", r;
  return r;
}

// A frame as BMP rows: bottom row first, padded; rgb holds the picture top
// row first.
struct Frame {
  int32_t w, h;
  std::vector<uint8_t> rgb;
  std::vector<uint8_t> bmprows(int bytespp = 3, bool topdown = false) const {
    uint32_t stride = ((uint32_t)w * bytespp + 3) & ~3u;
    std::vector<uint8_t> rows((size_t)stride * h, 0xEE);  // padding that must be ignored
    for (int32_t y = 0; y < h; y++) {
      uint8_t* d = rows.data() + (size_t)stride * (topdown ? y : h - 1 - y);
      for (int32_t x = 0; x < w; x++) {
        const uint8_t* s = rgb.data() + ((size_t)y * w + x) * 3;
        d[x * bytespp] = s[2];
        d[x * bytespp + 1] = s[1];
        d[x * bytespp + 2] = s[0];
        if (bytespp == 4) d[x * bytespp + 3] = 0x5A;
      }
    }
    return rows;
  }
  void set(int x, int y, uint32_t c) {
    uint8_t* p = rgb.data() + ((size_t)y * w + x) * 3;
    p[0] = (uint8_t)(c >> 16);
    p[1] = (uint8_t)(c >> 8);
    p[2] = (uint8_t)c;
  }
};

Frame pattern(int32_t w, int32_t h, uint32_t seed) {
  Frame f{w, h, std::vector<uint8_t>((size_t)w * h * 3)};
  uint32_t s = seed;
  for (size_t i = 0; i < f.rgb.size(); i++) {
    s = s * 1103515245u + 12345u;
    // Smooth areas with some noise, as a game screen has.
    f.rgb[i] = (uint8_t)((i / 3 % (size_t)w) * 2 + (s >> 28));
  }
  return f;
}

class ApngTest : public ::testing::Test {
 protected:
  void SetUp() override {
    kestoreset();
    dir = maketempdir();
    path = dir + "/burst.png";
  }
  void TearDown() override { removetree(dir); }
  // Writes the frames with the delays; the result of apngend.
  int write(const std::vector<Frame>& frames, const std::vector<uint32_t>& ms, int bytespp = 3,
            bool topdown = false) {
    static Apng a;
    if (!apngbegin(&a, path.c_str(), frames[0].w, frames[0].h, (uint32_t)frames.size())) {
      error = a.error;
      return 0;
    }
    for (size_t i = 0; i < frames.size(); i++) {
      std::vector<uint8_t> rows = frames[i].bmprows(bytespp, topdown);
      ApngImage img{rows.data(), frames[i].w, frames[i].h, ((uint32_t)frames[i].w * bytespp + 3) & ~3u, bytespp,
                    topdown};
      if (!apngframe(&a, img, apngdelay(ms[i]))) break;
    }
    int ok = apngend(&a, 1);
    error = a.error;
    return ok;
  }
  bool exists(const std::string& p) { return access(p.c_str(), F_OK) == 0; }
  std::string dir, path;
  uint32_t error = 0;
};

}  // namespace

TEST(ApngDelay, MillisecondsWhileTheyFitThenTheFinestUnitThatHoldsThem) {
  struct {
    uint32_t ms;
    uint16_t num, den;
  } cases[] = {
      {0, 0, 1000},          {33, 33, 1000},        {65535, 65535, 1000},  {65536, 6554, 100},
      {70004, 7000, 100},    {70005, 7001, 100},    {655350, 65535, 100},  {655354, 65535, 100},
      {655355, 6554, 10},    {6553500, 65535, 10},  {6553549, 65535, 10},  {6553550, 6554, 1},
      {65535000, 65535, 1},  {86400000, 65535, 1},
  };
  for (auto& c : cases) {
    ApngDelay d = apngdelay(c.ms);
    EXPECT_EQ(d.num, c.num) << c.ms;
    EXPECT_EQ(d.den, c.den) << c.ms;
  }
  // Every delay that fits a unit is that unit's nearest: never more than half
  // a unit away from the milliseconds.
  for (uint32_t ms = 65000; ms < 65535000; ms += 9973) {
    ApngDelay d = apngdelay(ms);
    double back = 1000.0 * d.num / d.den;
    EXPECT_LE(std::abs(back - ms), 500.0 / d.den + 1e-9) << ms;
  }
}

TEST_F(ApngTest, FramesDecodeToTheBmpPixelsWithTheirDelaysAndOnlyTheChangedRectangle) {
  // An odd width, so every BMP row carries padding.
  Frame f0 = pattern(37, 23, 1);
  Frame f1 = f0;
  f1.set(5, 7, 0x123456);
  f1.set(20, 15, 0xFFFFFF);  // the rectangle spans (5,7) to (20,15)
  Frame f2 = f1;             // unchanged
  Frame f3 = f2;
  f3.set(36, 22, 0);         // the bottom right pixel alone
  Frame f4 = pattern(37, 23, 9);  // everything
  Frame f5 = f4;
  f5.set(0, 0, 0xABCDEF);    // the top left pixel alone
  std::vector<Frame> frames = {f0, f1, f2, f3, f4, f5};
  std::vector<uint32_t> ms = {94, 33, 1500, 0, 70000, 250};
  ASSERT_TRUE(write(frames, ms)) << error;
  Decoded d = decodeapng(readfile(path));
  ASSERT_EQ(d.error, "");
  EXPECT_EQ(d.width, 37u);
  EXPECT_EQ(d.height, 23u);
  EXPECT_EQ(d.colourtype, 2);
  EXPECT_EQ(d.depth, 8);
  EXPECT_EQ(d.plays, 0u);
  ASSERT_EQ(d.list.size(), frames.size());
  for (size_t i = 0; i < frames.size(); i++) {
    EXPECT_TRUE(d.list[i].rgb == frames[i].rgb) << "frame " << i;
    EXPECT_EQ(d.list[i].dispose, 0) << i;
    EXPECT_EQ(d.list[i].blend, 0) << i;
    ApngDelay want = apngdelay(ms[i]);
    EXPECT_EQ(d.list[i].num, want.num) << i;
    EXPECT_EQ(d.list[i].den, want.den) << i;
  }
  auto rect = [&](size_t i) {
    const DecodedFrame& f = d.list[i];
    return std::vector<uint32_t>{f.x, f.y, f.w, f.h};
  };
  EXPECT_EQ(rect(0), (std::vector<uint32_t>{0, 0, 37, 23}));
  EXPECT_EQ(rect(1), (std::vector<uint32_t>{5, 7, 16, 9}));
  EXPECT_EQ(rect(2), (std::vector<uint32_t>{0, 0, 1, 1}));  // unchanged: still a frame of its own
  EXPECT_EQ(rect(3), (std::vector<uint32_t>{36, 22, 1, 1}));
  EXPECT_EQ(rect(4), (std::vector<uint32_t>{0, 0, 37, 23}));
  EXPECT_EQ(rect(5), (std::vector<uint32_t>{0, 0, 1, 1}));
  EXPECT_FALSE(exists(path + ".tmp"));
}

TEST_F(ApngTest, TopDownAnd32BitRowsGiveTheSamePicture) {
  Frame f0 = pattern(16, 9, 3), f1 = pattern(16, 9, 4);
  for (int bytespp : {3, 4})
    for (bool topdown : {false, true}) {
      ASSERT_TRUE(write({f0, f1}, {10, 20}, bytespp, topdown)) << error;
      Decoded d = decodeapng(readfile(path));
      ASSERT_EQ(d.error, "") << bytespp << topdown;
      ASSERT_EQ(d.list.size(), 2u);
      EXPECT_TRUE(d.list[0].rgb == f0.rgb) << bytespp << " " << topdown;
      EXPECT_TRUE(d.list[1].rgb == f1.rgb) << bytespp << " " << topdown;
    }
}

TEST_F(ApngTest, LargeFramesSpanSeveralDataChunksInSequence) {
  // Noise does not compress: each frame needs several chunks of APNGCHUNK.
  Frame f0{300, 200, std::vector<uint8_t>(300 * 200 * 3)};
  uint32_t s = 7;
  for (auto& b : f0.rgb) b = (uint8_t)((s = s * 1664525u + 1013904223u) >> 24);
  Frame f1 = f0;
  for (size_t i = 0; i < f1.rgb.size(); i++) f1.rgb[i] ^= (uint8_t)(i * 31);
  ASSERT_TRUE(write({f0, f1, f0}, {1, 2, 3})) << error;
  Decoded d = decodeapng(readfile(path));
  ASSERT_EQ(d.error, "");
  ASSERT_EQ(d.list.size(), 3u);
  EXPECT_GE(d.list[0].datachunks, 3);
  EXPECT_GE(d.list[1].datachunks, 3);
  EXPECT_TRUE(d.list[1].rgb == f1.rgb);
  EXPECT_TRUE(d.list[2].rgb == f0.rgb);
}

TEST_F(ApngTest, AStillScreenCostsLittle) {
  Frame f0 = pattern(640, 480, 5);
  std::vector<Frame> frames(50, f0);
  for (int i = 1; i < 50; i++) frames[i].set(100 + i, 200, 0xFF0000);  // a ball moving
  ASSERT_TRUE(write(frames, std::vector<uint32_t>(50, 33))) << error;
  std::string one = readfile(path);
  ASSERT_TRUE(write({f0}, {33})) << error;
  std::string first = readfile(path);
  // 49 frames of a few pixels each add little to the first frame.
  EXPECT_LT(one.size(), first.size() + 49 * 200);
}

TEST_F(ApngTest, AFailedWriteIsToldAndLeavesNoFileAndTheOldOneAsItWas) {
  std::vector<Frame> frames = {pattern(64, 48, 1), pattern(64, 48, 2), pattern(64, 48, 3)};
  std::vector<uint32_t> ms = {33, 33, 33};
  ASSERT_TRUE(writefile(path, "an older burst.png"));
  // The disk fills in the first frame, in a later frame, at the end chunk; a
  // write fails outright; the flush or the close fails; the move is refused.
  ASSERT_TRUE(write(frames, ms));
  size_t whole = readfile(path).size();
  ASSERT_TRUE(writefile(path, "an older burst.png"));
  for (int64_t room : {(int64_t)10, (int64_t)100, (int64_t)whole / 2, (int64_t)whole - 5}) {
    gfake.diskroom = room;
    EXPECT_FALSE(write(frames, ms)) << room;
    EXPECT_EQ(error, OS_ERROR_DISK_FULL) << room;
    EXPECT_EQ(readfile(path), "an older burst.png") << room;
    EXPECT_FALSE(exists(path + ".tmp")) << room;
  }
  gfake.diskroom = -1;
  gfake.writefails = -1;
  EXPECT_FALSE(write(frames, ms));
  EXPECT_EQ(error, OS_ERROR_WRITE_FAULT);
  gfake.writefails = 0;
  gfake.shortwrites = 3;  // half of a write goes, then the rest: still whole
  EXPECT_TRUE(write(frames, ms));
  gfake.shortwrites = 0;
  ASSERT_TRUE(writefile(path, "an older burst.png"));
  gfake.flushfails = 1;
  EXPECT_FALSE(write(frames, ms));
  gfake.closefails = 1;
  EXPECT_FALSE(write(frames, ms));
  gfake.movefails = 1;
  EXPECT_FALSE(write(frames, ms));
  EXPECT_EQ(error, OS_ERROR_ACCESS_DENIED);
  EXPECT_EQ(readfile(path), "an older burst.png");
  EXPECT_FALSE(exists(path + ".tmp"));
  // A folder that cannot be written: nothing is made.
  std::string other = dir + "/sub/burst.png";
  static Apng a;
  EXPECT_FALSE(apngbegin(&a, other.c_str(), 4, 4, 1));
  EXPECT_NE(a.error, 0u);
}

TEST_F(ApngTest, RefusedMemoryIsToldAndWritesNothing) {
  for (long at : {1L, 2L}) {
    kestoreset();
    gfake.allocfailat = at;
    EXPECT_FALSE(write({pattern(8, 8, 1)}, {33})) << at;
    EXPECT_EQ(error, OS_ERROR_NOT_ENOUGH_MEMORY) << at;
    EXPECT_FALSE(exists(path)) << at;
    EXPECT_FALSE(exists(path + ".tmp")) << at;
    EXPECT_TRUE(gfake.blocks.empty()) << at;
  }
}

TEST_F(ApngTest, FramesOtherThanAnnouncedAreRefused) {
  static Apng a;
  Frame f = pattern(8, 8, 1), g = pattern(9, 8, 1);
  std::vector<uint8_t> rows = f.bmprows(), grows = g.bmprows();
  ApngImage img{rows.data(), 8, 8, 24, 3, 0}, other{grows.data(), 9, 8, 28, 3, 0};
  // Fewer frames than announced: no file.
  ASSERT_TRUE(apngbegin(&a, path.c_str(), 8, 8, 2));
  ASSERT_TRUE(apngframe(&a, img, apngdelay(1)));
  EXPECT_FALSE(apngend(&a, 1));
  EXPECT_FALSE(exists(path));
  // A frame of another size.
  ASSERT_TRUE(apngbegin(&a, path.c_str(), 8, 8, 2));
  EXPECT_FALSE(apngframe(&a, other, apngdelay(1)));
  EXPECT_FALSE(apngend(&a, 1));
  EXPECT_FALSE(exists(path));
  EXPECT_TRUE(gfake.blocks.empty());
}

TEST_F(ApngTest, BmpFilesAreReadBackWithinTheirBounds) {
  // A capture as KESTO writes it: both headers, bottom-up padded rows.
  Frame f = pattern(5, 3, 2);
  std::vector<uint8_t> rows = f.bmprows();
  std::string bmp(BMPHEADERS, '\0');
  OsBitmapHeader h{40, 5, 3, 1, 24, 0, (uint32_t)rows.size(), 0, 0, 0, 0};
  putfileheader((uint8_t*)&bmp[0], (uint32_t)rows.size());
  putinfoheader((uint8_t*)&bmp[14], h);
  bmp.append((const char*)rows.data(), rows.size());
  std::string p = dir + "/c00001.bmp";
  ASSERT_TRUE(writefile(p, bmp));
  BmpInfo info;
  uint32_t e = 0;
  std::vector<uint8_t> buf(rows.size());
  ASSERT_TRUE(bmpread(p.c_str(), &info, buf.data(), (uint32_t)buf.size(), &e));
  EXPECT_EQ(info.width, 5);
  EXPECT_EQ(info.height, 3);
  EXPECT_EQ(info.bytespp, 3);
  EXPECT_EQ(info.topdown, 0);
  EXPECT_EQ(info.stride, 16u);
  EXPECT_TRUE(buf == rows);
  // A buffer one byte short reads nothing past it.
  EXPECT_FALSE(bmpread(p.c_str(), &info, buf.data(), (uint32_t)buf.size() - 1, &e));
  EXPECT_EQ(e, OS_ERROR_BAD_FORMAT);
  // Each broken field is refused: cut pixels, a wrong signature, 8 bits, RLE,
  // a zero or huge size, an offset past the end.
  auto broken = [&](size_t at, uint32_t v, size_t bytes) {
    std::string b = bmp;
    for (size_t i = 0; i < bytes; i++) b[at + i] = (char)(v >> (8 * i));
    return b;
  };
  std::vector<std::string> bad = {bmp.substr(0, bmp.size() - 1), bmp.substr(0, 20), broken(0, 'X', 1),
                                  broken(28, 8, 2), broken(30, 1, 4), broken(18, 0, 4), broken(22, 0, 4),
                                  broken(18, 40000, 4), broken(22, 0x80000000u, 4), broken(10, 1000, 4),
                                  broken(14, 12, 4)};
  for (size_t i = 0; i < bad.size(); i++) {
    ASSERT_TRUE(writefile(p, bad[i]));
    e = 0;
    EXPECT_FALSE(bmpinfo(p.c_str(), &info, &e)) << i;
    EXPECT_EQ(e, OS_ERROR_BAD_FORMAT) << i;
  }
  EXPECT_FALSE(bmpinfo((dir + "/none.bmp").c_str(), &info, &e));
  EXPECT_EQ(e, OS_ERROR_FILE_NOT_FOUND);
}

// ---- the animated PNG of a burst folder ---------------------------------------

#include "capture/burst.h"
#include "capture/burstapng.h"

namespace {

// A BMP file of the frame as KESTO writes it.
std::string bmpfile(const Frame& f) {
  std::vector<uint8_t> rows = f.bmprows();
  std::string bmp(BMPHEADERS, '\0');
  OsBitmapHeader h{40, f.w, f.h, 1, 24, 0, (uint32_t)rows.size(), 0, 0, 0, 0};
  putfileheader((uint8_t*)&bmp[0], (uint32_t)rows.size());
  putinfoheader((uint8_t*)&bmp[14], h);
  bmp.append((const char*)rows.data(), rows.size());
  return bmp;
}

class BurstApngTest : public ApngTest {
 protected:
  // A burst folder: the frames as c00001.bmp ..., the log with their Tics.
  void burst(const std::vector<Frame>& frames, const std::vector<int32_t>& tics) {
    OsTime t = {2026, 12, 3, 9, 12, 0, 0, 0};
    std::string log = "disk free = 1234 MB\r\n";
    for (size_t i = 0; i < frames.size(); i++) {
      char name[32], line[160];
      snprintf(name, sizeof name, "/c%05d.bmp", (int)i + 1);
      ASSERT_TRUE(writefile(dir + name, bmpfile(frames[i])));
      int n = burstlogline(line, sizeof line, (int32_t)i + 1, tics[i], t);
      log.append(line, (size_t)n);
    }
    ASSERT_TRUE(writefile(dir + "/c1200_00_000.txt", log));
  }
  // Runs the job to its end, n frames of work per step; the last answer.
  int run(int32_t n = 3) {
    int r = apngjobbegin(dir.c_str());
    steps = 0;
    while (r == APNGJOB_MORE && steps++ < 100000) r = apngjobstep(n);
    return r;
  }
  int steps = 0;
};

}  // namespace

TEST(BurstMedian, MiddleTicOfTheFramesAfterTheFirst) {
  static BurstDir d;
  auto median = [&](std::vector<int64_t> tics) {
    static int64_t scratch[16];
    d.count = (int32_t)tics.size();
    for (size_t i = 0; i < tics.size(); i++) d.frames[i].tic = tics[i];
    return burstmediantic(&d, scratch);
  };
  EXPECT_EQ(median({5000, 33, 40, 100}), 40);       // the first frame's Tic is not an interval of the burst
  EXPECT_EQ(median({5000, 33, 40, 100, 1501}), 70);  // even: the mean of the middle two, rounded down
  EXPECT_EQ(median({5000, 33}), 33);
  EXPECT_EQ(median({77}), 77);
  EXPECT_EQ(median({}), 0);
}

TEST_F(BurstApngTest, EachFrameShowsUntilTheNextOneCameAndTheLastForTheMedian) {
  std::vector<Frame> frames;
  for (int i = 0; i < 5; i++) {
    frames.push_back(i ? frames.back() : pattern(21, 10, 1));
    if (i) frames.back().set(i * 3, i, 0x00FF00u + (uint32_t)i);
  }
  std::vector<int32_t> tics = {7, 94, 33, 1500, 70000};
  burst(frames, tics);
  ASSERT_EQ(run(), APNGJOB_DONE) << gapngjob.fail << " " << gapngjob.file;
  EXPECT_EQ(gapngjob.written, 5);
  EXPECT_EQ(gapngjob.skipped, 0);
  EXPECT_STREQ(gapngjob.first, "burst.png");
  EXPECT_STREQ(gapngjob.last, "burst.png");
  Decoded d = decodeapng(readfile(path));
  ASSERT_EQ(d.error, "");
  ASSERT_EQ(d.list.size(), 5u);
  std::vector<uint32_t> want = {94, 33, 1500, 70000, (94 + 1500) / 2};
  for (size_t i = 0; i < 5; i++) {
    EXPECT_TRUE(d.list[i].rgb == frames[i].rgb) << i;
    ApngDelay w = apngdelay(want[i]);
    EXPECT_EQ(d.list[i].num, w.num) << i;
    EXPECT_EQ(d.list[i].den, w.den) << i;
  }
  EXPECT_EQ(d.list[3].den, 100);  // 70,000 ms in hundredths
  EXPECT_FALSE(exists(dir + "/burst_2.png"));
}

TEST_F(BurstApngTest, AFrameOfAnotherSizeBeginsTheNextFileAndAMissingFrameLendsItsTic) {
  Frame a = pattern(12, 8, 1), b = pattern(16, 8, 2), c = pattern(12, 9, 3);
  Frame a2 = a;
  a2.set(1, 1, 0);
  std::vector<Frame> frames = {a, a2, a, a2, b, b, c, a};
  std::vector<int32_t> tics = {5, 10, 20, 30, 40, 50, 60, 70};
  burst(frames, tics);
  ASSERT_EQ(unlink((dir + "/c00003.bmp").c_str()), 0);  // its 20 ms go to frame 2's time on screen
  ASSERT_EQ(run(1), APNGJOB_DONE) << gapngjob.fail;
  EXPECT_EQ(gapngjob.written, 7);
  EXPECT_EQ(gapngjob.skipped, 1);
  EXPECT_EQ(gapngjob.done, 4);
  EXPECT_STREQ(gapngjob.last, "burst_4.png");
  struct {
    const char* name;
    std::vector<const Frame*> frames;
    std::vector<uint32_t> ms;
  } files[] = {
      {"burst.png", {&a, &a2, &a2}, {10, 50, 40}},  // the missing frame stays inside its run
      {"burst_2.png", {&b, &b}, {50, 60}},
      {"burst_3.png", {&c}, {70}},
      {"burst_4.png", {&a}, {40}},  // the median of 10 ... 70
  };
  for (auto& f : files) {
    Decoded d = decodeapng(readfile(dir + "/" + f.name));
    ASSERT_EQ(d.error, "") << f.name;
    ASSERT_EQ(d.list.size(), f.frames.size()) << f.name;
    EXPECT_EQ(d.width, (uint32_t)f.frames[0]->w) << f.name;
    EXPECT_EQ(d.height, (uint32_t)f.frames[0]->h) << f.name;
    for (size_t i = 0; i < f.frames.size(); i++) {
      EXPECT_TRUE(d.list[i].rgb == f.frames[i]->rgb) << f.name << " " << i;
      EXPECT_EQ(d.list[i].num, f.ms[i]) << f.name << " " << i;
      EXPECT_EQ(d.list[i].den, 1000) << f.name << " " << i;
    }
  }
}

TEST_F(BurstApngTest, FailuresNameTheFileAndTheReasonAndLeaveNoPartialFile) {
  Frame a = pattern(40, 30, 1), b = pattern(50, 30, 2);
  burst({a, a, b, b}, {5, 10, 20, 30});
  // The disk fills while the second file is written: the first stays whole.
  gfake.diskroom = -1;
  ASSERT_EQ(run(), APNGJOB_DONE);
  size_t first = readfile(path).size();
  ASSERT_EQ(unlink(path.c_str()), 0);
  ASSERT_EQ(unlink((dir + "/burst_2.png").c_str()), 0);
  gfake.diskroom = (int64_t)first + 200;
  EXPECT_EQ(run(), APNGJOB_FAILED);
  EXPECT_EQ(gapngjob.fail, APNGFAIL_WRITE);
  EXPECT_EQ(gapngjob.error, OS_ERROR_DISK_FULL);
  EXPECT_EQ(std::string(gapngjob.file), dir + "\\burst_2.png");
  EXPECT_EQ(gapngjob.done, 1);
  EXPECT_EQ(decodeapng(readfile(path)).error, "");
  EXPECT_FALSE(exists(dir + "/burst_2.png"));
  EXPECT_FALSE(exists(dir + "/burst_2.png.tmp"));
  gfake.diskroom = -1;
  // A frame unreadable once its header was checked: the file it went to is dropped.
  ASSERT_EQ(unlink(path.c_str()), 0);
  ASSERT_EQ(apngjobbegin(dir.c_str()), APNGJOB_MORE);
  ASSERT_EQ(apngjobstep(1), APNGJOB_MORE);  // the headers
  ASSERT_EQ(apngjobstep(1), APNGJOB_MORE);  // frame 1
  gfake.readfails = 1;
  EXPECT_EQ(apngjobstep(1), APNGJOB_FAILED);
  EXPECT_EQ(gapngjob.fail, APNGFAIL_FRAME);
  EXPECT_EQ(std::string(gapngjob.file), dir + "\\c00002.bmp");
  EXPECT_FALSE(exists(path));
  EXPECT_FALSE(exists(path + ".tmp"));
  gfake.readfails = 0;
  // Memory refused for the frame's pixels.
  gfake.allocfailat = gfake.allocs + 1;
  EXPECT_EQ(run(), APNGJOB_FAILED);
  EXPECT_EQ(gapngjob.fail, APNGFAIL_MEMORY);
  EXPECT_FALSE(exists(path));
  EXPECT_TRUE(gfake.blocks.empty());
  gfake.allocfailat = 0;
  // No log; a log whose frames are all gone.
  ASSERT_EQ(unlink((dir + "/c1200_00_000.txt").c_str()), 0);
  EXPECT_EQ(run(), APNGJOB_FAILED);
  EXPECT_EQ(gapngjob.fail, APNGFAIL_NOLOG);
  burst({a}, {5});
  ASSERT_EQ(unlink((dir + "/c00001.bmp").c_str()), 0);
  EXPECT_EQ(run(), APNGJOB_FAILED);
  EXPECT_EQ(gapngjob.fail, APNGFAIL_NOFRAME);
  EXPECT_TRUE(gfake.blocks.empty());
}

TEST_F(BurstApngTest, ACancelledJobLeavesNoFile) {
  Frame a = pattern(40, 30, 1);
  burst({a, a, a}, {5, 10, 20});
  ASSERT_EQ(apngjobbegin(dir.c_str()), APNGJOB_MORE);
  ASSERT_EQ(apngjobstep(2), APNGJOB_MORE);  // the headers and frame 1
  apngjobcancel();
  EXPECT_FALSE(gapngjob.active);
  EXPECT_FALSE(exists(path));
  EXPECT_FALSE(exists(path + ".tmp"));
  EXPECT_TRUE(gfake.blocks.empty());
}

// ---- "連写をアニメーションに" in the main window ---------------------------------

#include "app/apngcmd.h"
#include "app/mainwin.h"
#include "app/startup.h"
#include "app/ticks.h"
#include "res/resource.h"

namespace {

class ApngCommand : public BurstApngTest {
 protected:
  char olddir[4096];
  void SetUp() override {
    BurstApngTest::SetUp();
    ASSERT_TRUE(getcwd(olddir, sizeof olddir));
    ASSERT_EQ(chdir(dir.c_str()), 0);
    gfake.cwd = dir;
    ASSERT_TRUE(setpaths(dir.c_str()));
    ASSERT_NE(oscreatemaindialog(&kestohandlers), 0u);
  }
  void TearDown() override {
    apngabandon();
    ASSERT_EQ(chdir(olddir), 0);
    BurstApngTest::TearDown();
  }
  // Ten frames of a still screen with a pixel that moves.
  std::vector<Frame> tenframes() {
    std::vector<Frame> frames(10, pattern(64, 48, 4));
    for (int i = 0; i < 10; i++) frames[i].set(i * 5, 20, 0xFFFFFF);
    burst(frames, {9, 33, 34, 33, 35, 33, 34, 33, 2000, 33});
    // The last burst written out since KESTO started.
    snprintf(gkesto.burst.lastfolder, sizeof gkesto.burst.lastfolder, "%s", dir.c_str());
    return frames;
  }
  bool housekeeping() { return fakefindtimer(gkesto.mw.main, TICK_HOUSEKEEPING) != nullptr; }
  std::string statusline() { return fakeitemtext(gkesto.mw.main, IDC_STATUSLINE); }
};

}  // namespace

TEST_F(ApngCommand, MadeAFewFramesPerHousekeepingTickWithTheProgressInTheStatusLine) {
  bool found = false;
  for (auto& e : gfake.sysmenu) found |= e.id == (uint32_t)IDM_APNG && e.text == "連写をアニメーションに";
  EXPECT_TRUE(found);
  std::vector<Frame> frames = tenframes();
  EXPECT_EQ(gkesto.mw.run, NeverStarted);  // before スタート, as after 停止: only housekeeping runs
  ASSERT_EQ(apngsyscommand(IDM_APNG), 1);
  EXPECT_TRUE(gfake.boxes.empty());
  EXPECT_TRUE(housekeeping());
  EXPECT_EQ(fakefindtimer(gkesto.mw.main, TICK_WORK), nullptr);
  mainwintimer(TICK_HOUSEKEEPING);  // the headers, then three frames
  EXPECT_EQ(gapngjob.written, APNGTICKFRAMES - 1);
  EXPECT_EQ(statusline(), "アニメーションを作成中 3 / 10");
  mainwintimer(TICK_HOUSEKEEPING);
  EXPECT_EQ(statusline(), "アニメーションを作成中 7 / 10");
  EXPECT_FALSE(exists(path));
  // A second request while it runs is told, and the job goes on as it was.
  ASSERT_EQ(apngsyscommand(IDM_APNG), 1);
  ASSERT_EQ(gfake.boxes.size(), 1u);
  EXPECT_NE(gfake.boxes[0].text.find("アニメーションを作成中です (7 / 10)"), std::string::npos);
  EXPECT_EQ(gapngjob.written, 7);
  mainwintimer(TICK_HOUSEKEEPING);
  EXPECT_FALSE(housekeeping());
  ASSERT_EQ(gfake.boxes.size(), 2u);
  EXPECT_NE(gfake.boxes[1].text.find("アニメーションを保存しました。"), std::string::npos);
  EXPECT_NE(gfake.boxes[1].text.find(dir + "\r\nburst.png\r\nフレーム 10 枚"), std::string::npos) << gfake.boxes[1].text;
  EXPECT_EQ(statusline(), "アニメーションを保存しました: burst.png");
  Decoded d = decodeapng(readfile(path));
  ASSERT_EQ(d.error, "");
  ASSERT_EQ(d.list.size(), 10u);
  for (int i = 0; i < 10; i++) EXPECT_TRUE(d.list[i].rgb == frames[i].rgb) << i;
  EXPECT_EQ(d.list[7].num, 2000);
  EXPECT_EQ(d.list[9].num, 33);
  // Made again, it replaces the file.
  ASSERT_EQ(apngsyscommand(IDM_APNG), 1);
  for (int i = 0; i < 5; i++) mainwintimer(TICK_HOUSEKEEPING);
  EXPECT_EQ(gfake.boxes.size(), 3u);
  EXPECT_NE(gfake.boxes[2].text.find("アニメーションを保存しました。"), std::string::npos);
  EXPECT_EQ(decodeapng(readfile(path)).list.size(), 10u);
}

TEST_F(ApngCommand, NoBurstABurstBeingSavedAndFailuresAreTold) {
  ASSERT_EQ(apngsyscommand(IDM_APNG), 1);
  ASSERT_EQ(gfake.boxes.size(), 1u);
  EXPECT_EQ(gfake.boxes[0].text, "連写がまだありません。\r\n\r\n連写をしてから選んでください。");
  EXPECT_FALSE(housekeeping());
  tenframes();
  // That burst's write-out has not ended (a burst taken before KESTO started, found as the newest).
  snprintf(gkesto.burst.folder, sizeof gkesto.burst.folder, "%s", dir.c_str());
  gkesto.mw.cap.burst = BurstWriting;
  ASSERT_EQ(apngsyscommand(IDM_APNG), 1);
  EXPECT_NE(gfake.boxes.back().text.find("連写を保存しています。"), std::string::npos);
  EXPECT_FALSE(housekeeping());
  gkesto.mw.cap.burst = BurstIdle;
  // The disk fills: the box names the file and why, and nothing is left.
  gfake.diskroom = 3000;
  ASSERT_EQ(apngsyscommand(IDM_APNG), 1);
  for (int i = 0; i < 10 && housekeeping(); i++) mainwintimer(TICK_HOUSEKEEPING);
  EXPECT_FALSE(housekeeping());
  ASSERT_EQ(gfake.boxes.size(), 3u);
  const std::string& t = gfake.boxes[2].text;
  EXPECT_EQ(t.find("アニメーションを保存できませんでした"), 0u) << t;
  EXPECT_NE(t.find(dir + "\\burst.png\r\nディスクの空きが足りません"), std::string::npos) << t;
  EXPECT_EQ(gfake.boxes[2].type & OS_MB_ICONERROR, OS_MB_ICONERROR);
  EXPECT_EQ(statusline(), "アニメーションを作成できませんでした");
  EXPECT_FALSE(exists(path));
  EXPECT_FALSE(exists(path + ".tmp"));
  gfake.diskroom = -1;
  // A folder whose log is gone.
  ASSERT_EQ(unlink((dir + "/c1200_00_000.txt").c_str()), 0);
  ASSERT_EQ(apngsyscommand(IDM_APNG), 1);
  EXPECT_FALSE(housekeeping());
  EXPECT_EQ(gfake.boxes.back().text.find("連写のログが見つかりません。"), 0u);
}

TEST_F(ApngCommand, EndingKestoMidwayLeavesNoPartialFile) {
  tenframes();
  ASSERT_EQ(apngsyscommand(IDM_APNG), 1);
  mainwintimer(TICK_HOUSEKEEPING);
  ASSERT_TRUE(gapngjob.active);
  mainwindestroy();
  EXPECT_FALSE(gapngjob.active);
  EXPECT_FALSE(exists(path));
  EXPECT_FALSE(exists(path + ".tmp"));
}
