// A generator of realistic golf.txt logs (Shift-JIS, CR LF) for the tests,
// the benchmarks, the fuzz seeds and the demo.  The same seed gives the same
// bytes on every machine.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// What the generator put into one game of a log.
struct LogGenGame {
  int32_t pointbattle;      // 1 for a point-battle game
  int32_t resumed;          // begun with a resume marker
  int32_t endprogram;       // ended by "End Program(0)" instead of an end marker
  int32_t players;          // 1 to 4
  int32_t firsthole;        // first hole played
  int32_t lasthole;         // hole the game ended on
  int32_t course;           // row of kbuiltincourses whose name the log gives; -1 for an unknown course
  int8_t stroke[4][18];     // score per player and hole; 0 = not played in this game
  int8_t putts[4][18];      // of those strokes, putts (club codes 70 to 72): the last ones of the hole
  std::string name[4];      // player names (Shift-JIS)
  std::string coursename;   // course name as written
  std::string start;        // start text
};

// Small, portable, seeded random numbers (splitmix64).
struct LogRandom {
  uint64_t state;
  explicit LogRandom(uint64_t seed) : state(seed) {}
  uint64_t next();
  // 0 to n - 1 (n >= 1).
  int32_t below(int32_t n);
  // lo to hi inclusive.
  int32_t range(int32_t lo, int32_t hi) { return lo + below(hi - lo + 1); }
};

// A log of the given number of games.  info, when given, receives one entry
// per game in log order.
std::string loggen(uint64_t seed, int32_t games, std::vector<LogGenGame>* info = nullptr);
// A log of whole games of at most maxbytes bytes: games are added while the
// next one still fits.
std::string loggensize(uint64_t seed, int32_t maxbytes, std::vector<LogGenGame>* info = nullptr);
// A "ShotData:" line and its ten lines for a 160-byte record, CR LF.
std::string logshotblock(const uint8_t* rec);
// A golfcourse.txt text holding the built-in course table.
std::string loggencourses();
// A loginit.txt text with plausible values.
std::string loggensettings(uint64_t seed);
