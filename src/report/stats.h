// The statistics of a round history: the page stats.html (Shift-JIS, every
// outside text escaped, no script, an inline SVG trend chart) and the
// spreadsheet file rounds.csv (UTF-8 with a byte order mark, CR LF, quoted
// where needed).  Portable, no windows.
#pragma once

#include <cstdint>

#include "report/rounds.h"

#define STATSPAGE "stats.html"
#define STATSCSV "rounds.csv"
#define CHARTPLAYERS 6  // the trend chart draws the players with the most rounds

// Hole results against par.
enum { EAGLE, BIRDIE, PARHOLE, BOGEY, DOUBLE, RESULTS };

// The figures of one player (by name) over every game.
struct PlayerFigures {
  char name[64];
  int32_t rounds;       // rows with at least one stroke count
  int32_t full;         // 18-hole rounds with every par known
  int32_t other;        // the other rounds: fewer holes, or a par unknown
  int64_t strokes;      // summed over the full rounds
  int64_t topar;        // summed over the full rounds
  int32_t best;         // game index of the best full round (lowest to par), -1 for none
  int32_t beststrokes, besttopar;
  int32_t results[RESULTS];  // over every played hole with a par
  int32_t partopar[3], parholes[3];  // par-3, par-4, par-5 holes: to par summed, holes
  int32_t first;        // place in the order the players were met
};

// The figures of one course (by the name the log gives).
struct CourseFigures {
  char name[104];
  int32_t rounds;       // rows on the course
  int32_t full;
  int64_t topar;        // over the full rounds
  int32_t best, bestplayer, beststrokes, besttopar;  // game index (-1 none), player 1-4
  int32_t last;         // game index of the latest game on it
  int32_t holetopar[18], holeplays[18];  // per hole: to par summed, rounds that played it with a par
};

struct StatsFigures {
  PlayerFigures* players;
  int32_t nplayers, playercap;
  CourseFigures* courses;
  int32_t ncourses, coursecap;
  int32_t rounds;  // rows of every game
};

// Works the figures out of a sorted history; 0 when memory was refused.
int32_t statsfigures(const RoundHistory& h, StatsFigures& f);
void statsfree(StatsFigures& f);
// An average with one decimal and a sign: "+3.4", "0.0", "-1.2" (rounded
// half away from zero).  count > 0.
void fmtsigned(char* buf, int32_t n, int64_t sum, int32_t count);
void fmtaverage(char* buf, int32_t n, int64_t sum, int32_t count, int32_t decimals, bool sign);

// Writes rounds.csv to path, replacing it whole; 1, or 0 with the system's
// error code in *error (when given) and an earlier file left as it was.
int32_t writeroundscsv(const RoundHistory& h, const char* path, uint32_t* error);
// Writes stats.html to path in the same way (memory refused for the figures
// gives OS_ERROR_NOT_ENOUGH_MEMORY).
int32_t writestatspage(const RoundHistory& h, const char* path, uint32_t* error);
