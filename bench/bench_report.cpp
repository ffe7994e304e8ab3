// Benchmarks of "HTM作成": the scorecard page of a play log of about 4 MiB,
// parse and page written, as the play-log dialog and kestocard make it
// (without reading the log file or starting a process).
#include <benchmark/benchmark.h>

#include <cstring>
#include <string>
#include <unistd.h>
#include <vector>

#include "kesto.h"
#include "loggen.h"
#include "report/htmflow.h"
#include "support.h"

namespace {

int answeryes(const char*, const char*, uint32_t) { return OS_IDYES; }

bool endline(const std::string& line) {
  return line == "** Stroke End **" || line == "** PointBattle End **" || line == "End Program(0)";
}

// The generator's games from hole 1 to 18 that end with a marker and are not
// resumed, repeated up to maxbytes: every game of it becomes a table, the
// longest page a log of that size gives.
std::string fullgames(int32_t maxbytes) {
  const std::string log = loggensize(20240601, maxbytes);
  std::vector<std::string> full;
  std::string game;
  size_t at = 0;
  while (at < log.size()) {
    size_t end = log.find("\r\n", at);
    if (end == std::string::npos) break;
    std::string line = log.substr(at, end - at);
    game += log.substr(at, end + 2 - at);
    at = end + 2;
    if (!endline(line)) continue;
    if (game.find("Begin **\r\n") != std::string::npos && game.find("*Hole 18\r\n") != std::string::npos &&
        game.find("Resume") == std::string::npos)
      full.push_back(game);
    game.clear();
  }
  std::string out;
  for (size_t i = 0; !full.empty(); i = (i + 1) % full.size()) {
    if (out.size() + full[i].size() > (size_t)maxbytes) break;
    out += full[i];
  }
  return out;
}

// Writes the page of the given log into a scratch folder once per iteration.
void runhtmcreate(benchmark::State& state, const std::string& log) {
  char olddir[4096];
  if (!getcwd(olddir, sizeof olddir)) {
    state.SkipWithError("no current folder");
    return;
  }
  std::string dir = maketempdir();
  if (chdir(dir.c_str()) != 0) {
    state.SkipWithError("cannot enter the scratch folder");
    return;
  }
  initcourses();
  memset(&gkesto.game, 0, sizeof gkesto.game);
  memset(&gkesto.page, 0, sizeof gkesto.page);
  memcpy(gkesto.playlog, log.data(), log.size());
  gkesto.playlog[log.size()] = 0;
  gkesto.game.loglen = (int32_t)log.size();
  gkesto.mw.playlogtime = OsTime{2024, 6, 6, 1, 12, 30, 0, 0};
  int32_t tables = 0;
  for (auto _ : state) {
    tables = htmcreate(answeryes);
    benchmark::DoNotOptimize(tables);
  }
  std::string page = readfile(dir + "/" + gkesto.page.name);
  if (tables <= 0 || page.empty()) state.SkipWithError("no page written");
  state.SetBytesProcessed(state.iterations() * (int64_t)log.size());
  state.counters["tables"] = tables;
  state.counters["page_bytes"] = (double)page.size();
  if (chdir(olddir) != 0) state.SkipWithError("cannot go back to the first folder");
  removetree(dir);
}

// The generator's mix: a full first game, and the question after the
// eleventh short game ends the page.
void BM_htmcreate_mixed(benchmark::State& state) {
  static const std::string log = loggensize(20240601, LOGBUFSIZE - 1);
  runhtmcreate(state, log);
}
BENCHMARK(BM_htmcreate_mixed)->Unit(benchmark::kMillisecond);

void BM_htmcreate_full(benchmark::State& state) {
  static const std::string log = fullgames(LOGBUFSIZE - 1);
  runhtmcreate(state, log);
}
BENCHMARK(BM_htmcreate_full)->Unit(benchmark::kMillisecond);

}  // namespace
