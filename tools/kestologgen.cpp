// Writes generated golf.txt logs and seed texts.
//   kestologgen SEED GAMES OUT            a log of GAMES games
//   kestologgen SEED 0 OUT MAXBYTES       whole games up to MAXBYTES bytes
//   kestologgen --courses OUT             golfcourse.txt of the built-in table
//   kestologgen --settings SEED OUT       a loginit.txt
//   kestologgen --game PLAYERS OUT        one whole 18-hole stroke game of
//                                         PLAYERS players on a known course
//                                         (the first seed that gives one)
// Prints nothing but a usage line on wrong arguments; exit status 0 on success.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "loggen.h"

static int save(const char* path, const std::string& s) {
  FILE* f = fopen(path, "wb");
  if (!f) return 1;
  size_t put = fwrite(s.data(), 1, s.size(), f);
  int bad = fclose(f) != 0 || put != s.size();
  return bad;
}

static int usage() {
  fprintf(stderr,
          "usage: kestologgen SEED GAMES OUT [MAXBYTES] | --courses OUT | --settings SEED OUT | --game PLAYERS OUT\n");
  return 2;
}

static int wholegame(long players, const char* out) {
  if (players < 1 || players > 4) return usage();
  for (uint64_t seed = 1; seed < 100000; seed++) {
    std::vector<LogGenGame> info;
    std::string log = loggen(seed, 1, &info);
    const LogGenGame& g = info[0];
    if (g.players == players && !g.pointbattle && !g.resumed && !g.endprogram && g.firsthole == 1 &&
        g.lasthole == 18 && g.course >= 0)
      return save(out, log);
  }
  return 1;
}

int main(int argc, char** argv) {
  if (argc == 3 && strcmp(argv[1], "--courses") == 0) return save(argv[2], loggencourses());
  if (argc == 4 && strcmp(argv[1], "--settings") == 0)
    return save(argv[3], loggensettings(strtoull(argv[2], nullptr, 0)));
  if (argc == 4 && strcmp(argv[1], "--game") == 0) return wholegame(strtol(argv[2], nullptr, 10), argv[3]);
  if (argc != 4 && argc != 5) return usage();
  uint64_t seed = strtoull(argv[1], nullptr, 0);
  long games = strtol(argv[2], nullptr, 10);
  if (argc == 5) {
    long maxbytes = strtol(argv[4], nullptr, 10);
    if (maxbytes <= 0 || maxbytes > 0x7FFFFFFF) return usage();
    return save(argv[3], loggensize(seed, (int32_t)maxbytes));
  }
  if (games < 0 || games > 1000000) return usage();
  return save(argv[3], loggen(seed, (int32_t)games));
}
