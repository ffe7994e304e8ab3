// Benchmarks of the text readers: the line reader, the live shot parse, the
// whole-game parse, and the settings and course readers.
#include <benchmark/benchmark.h>

#include <cstring>
#include <string>
#include <vector>

#include "kesto.h"
#include "report/htmflow.h"
#include "loggen.h"
#include "support.h"

namespace {

// A log of about 4 MiB of whole games, made once.
const std::string& biglog(int32_t* games = nullptr) {
  static std::vector<LogGenGame> info;
  static const std::string log = loggensize(20240601, LOGBUFSIZE - 1, &info);
  if (games) *games = (int32_t)info.size();
  return log;
}

void BM_getlogline(benchmark::State& state) {
  const std::string& log = biglog();
  char line[LINESIZE];
  int64_t lines = 0;
  for (auto _ : state) {
    const char* p = log.c_str();
    int32_t n;
    while ((n = getlogline(line, p)) != 0) {
      p += n;
      lines++;
    }
    benchmark::DoNotOptimize(line);
  }
  state.SetBytesProcessed(state.iterations() * (int64_t)log.size());
  state.counters["lines"] = benchmark::Counter((double)lines / (double)state.iterations());
}
BENCHMARK(BM_getlogline)->Unit(benchmark::kMillisecond);

void BM_parseshot(benchmark::State& state) {
  const std::string& log = biglog();
  // A 64 KiB stretch beginning at a line start, as the watcher appends it.
  const int32_t len = 65536;
  size_t from = log.find("\n*Hole ", log.size() / 2) + 1;
  memcpy(gkesto.livebuf, log.data(), log.size());
  gkesto.livebuf[from + len] = 0;
  int32_t status = 0;
  for (auto _ : state) {
    status = parseshot(gkesto.shot, gkesto.livebuf, (int32_t)from, (int32_t)from + len);
    benchmark::DoNotOptimize(status);
  }
  gkesto.livebuf[from + len] = log[from + len];
  state.SetBytesProcessed(state.iterations() * len);
  state.counters["status"] = status;
}
BENCHMARK(BM_parseshot)->Unit(benchmark::kMicrosecond);

void BM_parsegame_full(benchmark::State& state) {
  int32_t games = 0;
  const std::string& log = biglog(&games);
  initcourses();
  memcpy(gkesto.playlog, log.data(), log.size());
  gkesto.playlog[log.size()] = 0;
  gkesto.game.loglen = (int32_t)log.size();
  int32_t found = 0;
  for (auto _ : state) {
    found = 0;
    gkesto.game.pointbattle = 0;
    if (parsegame(0)) found++;
    while (gkesto.game.readpos < gkesto.game.loglen)
      if (parsegame(1)) found++;
    benchmark::DoNotOptimize(found);
  }
  if (found != games) state.SkipWithError("games found differ from games generated");
  state.SetBytesProcessed(state.iterations() * (int64_t)log.size());
  state.counters["games"] = found;
}
BENCHMARK(BM_parsegame_full)->Unit(benchmark::kMillisecond);

void BM_parsesettings(benchmark::State& state) {
  const std::string text = loggensettings(7);
  for (auto _ : state) benchmark::DoNotOptimize(parsesettings(text.c_str(), (int32_t)text.size()));
}
BENCHMARK(BM_parsesettings)->Unit(benchmark::kMicrosecond);

void BM_readsettings(benchmark::State& state) {
  std::string dir = maketempdir();
  std::string path = dir + "/loginit.txt";
  writefile(path, loggensettings(7));
  Settings saved = gkesto.set;
  strcpy(gkesto.set.inifile, path.c_str());
  int32_t mask = 0;
  for (auto _ : state) {
    mask = readsettings();
    benchmark::DoNotOptimize(mask);
  }
  if (mask == 0) state.SkipWithError("loginit.txt not read");
  gkesto.set = saved;
  removetree(dir);
}
BENCHMARK(BM_readsettings)->Unit(benchmark::kMicrosecond);

void BM_parsecourses(benchmark::State& state) {
  const std::string text = loggencourses();
  int32_t count = 0;
  for (auto _ : state) {
    count = parsecourses(text.c_str(), (int32_t)text.size());
    benchmark::DoNotOptimize(count);
  }
  if (count != COURSES) state.SkipWithError("not every course read");
  state.SetBytesProcessed(state.iterations() * (int64_t)text.size());
}
BENCHMARK(BM_parsecourses)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
