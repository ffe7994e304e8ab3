// Benchmarks of the animated PNG of a burst: 100 frames of 640 x 480 held as
// BMP rows in memory, encoded and written to a file (without reading the
// frames' files).  "still": a swing on a still course, a gauge and a ball
// changing; "pan": the view moves 3 pixels a frame, so every frame is stored
// whole.
#include <benchmark/benchmark.h>

#include <cstring>
#include <string>
#include <vector>

#include "capture/apng.h"
#include "kesto.h"
#include "support.h"

namespace {

const int32_t kw = 640, kh = 480, kframes = 100;
const uint32_t kstride = kw * 3;

// The course: sky, trees, fairway, a panel; BGR rows, bottom row first.
std::vector<uint8_t> course() {
  std::vector<uint8_t> px((size_t)kstride * kh);
  for (int32_t y = 0; y < kh; y++)
    for (int32_t x = 0; x < kw; x++) {
      uint8_t* p = &px[(size_t)(kh - 1 - y) * kstride + (size_t)x * 3];
      int r, g, b;
      if (y < kh * 2 / 5) {
        r = 90 + y / 2, g = 150 + y / 4, b = 235;
      } else {
        r = 40, g = 110 + (y - kh * 2 / 5) / 4, b = 50;
        if (((x * 7 + y * 3) % 23) == 0) g += 12;  // grass
      }
      if (x % 97 < 40 && y > kh * 2 / 5 - 30 && y < kh * 2 / 5 + 10) r = 20, g = 100, b = 30;  // trees
      if (x > 8 && x < 200 && y > 8 && y < 60) r = 20, g = 20, b = 60;                          // panel
      p[0] = (uint8_t)b, p[1] = (uint8_t)g, p[2] = (uint8_t)r;
    }
  return px;
}

void box(std::vector<uint8_t>& px, int32_t x0, int32_t y0, int32_t x1, int32_t y1, uint32_t rgb) {
  for (int32_t y = y0 < 0 ? 0 : y0; y < y1 && y < kh; y++)
    for (int32_t x = x0 < 0 ? 0 : x0; x < x1 && x < kw; x++) {
      uint8_t* p = &px[(size_t)(kh - 1 - y) * kstride + (size_t)x * 3];
      p[0] = (uint8_t)rgb, p[1] = (uint8_t)(rgb >> 8), p[2] = (uint8_t)(rgb >> 16);
    }
}

// Frame k: the gauge fills over the first half, then the ball flies; with
// pan the whole view is shifted.
std::vector<uint8_t> frame(const std::vector<uint8_t>& bg, int32_t k, bool pan) {
  std::vector<uint8_t> px = bg;
  if (pan) {
    int32_t s = (k * 3) % kw;
    for (int32_t y = 0; y < kh; y++) {
      const uint8_t* src = &bg[(size_t)y * kstride];
      uint8_t* dst = &px[(size_t)y * kstride];
      memcpy(dst, src + (size_t)s * 3, (size_t)(kw - s) * 3);
      memcpy(dst + (size_t)(kw - s) * 3, src, (size_t)s * 3);
    }
  }
  int32_t half = kframes / 2, fill = (k < half ? k : half) * (kw / 2) / half;
  box(px, kw / 4, kh - 40, kw / 4 + kw / 2, kh - 24, 0x1E1E1E);
  box(px, kw / 4, kh - 39, kw / 4 + fill, kh - 25, 0xFF8000);
  int32_t t = k > half ? k - half : 0, x = kw / 2 + t * 4, y = kh * 3 / 4 - t * 6 + t * t / 10;
  box(px, x - 4, y - 4, x + 4, y + 4, 0xFFFFFF);
  return px;
}

void encode(benchmark::State& state, bool pan) {
  std::vector<uint8_t> bg = course();
  std::vector<std::vector<uint8_t>> frames;
  for (int32_t k = 0; k < kframes; k++) frames.push_back(frame(bg, k, pan));
  std::string dir = maketempdir();
  std::string path = dir + "/burst.png";
  static Apng a;
  uint32_t bytes = 0;
  for (auto _ : state) {
    if (!apngbegin(&a, path.c_str(), kw, kh, kframes)) {
      state.SkipWithError("cannot begin");
      break;
    }
    for (int32_t k = 0; k < kframes; k++) {
      ApngImage img{frames[(size_t)k].data(), kw, kh, kstride, 3, 0};
      apngframe(&a, img, apngdelay(33));
    }
    bytes = a.outbytes;
    if (!apngend(&a, 1)) {
      state.SkipWithError("cannot write");
      break;
    }
  }
  state.counters["png_bytes"] = bytes;
  state.counters["bmp_bytes"] = (double)kframes * (kstride * kh + 54);
  removetree(dir);
}

void BM_ApngStill100Frames640x480(benchmark::State& state) { encode(state, false); }
void BM_ApngPan100Frames640x480(benchmark::State& state) { encode(state, true); }

}  // namespace

BENCHMARK(BM_ApngStill100Frames640x480)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ApngPan100Frames640x480)->Unit(benchmark::kMillisecond);
