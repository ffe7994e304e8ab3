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

#define FORMROUNDS 10   // recent form: the last rounds averaged
#define INDEXROUNDS 20  // the handicap-like figure: the last rounds looked at
#define INDEXBEST 8     // and the best of them averaged (40 % of fewer, at least 1)
#define INDEXLEAST 3    // none below this many rounds

// The figures of one player in one kind of game (stroke play or point
// battle), which are averaged apart.  Over the 18-hole rounds with every par
// known unless said otherwise.
struct KindFigures {
  int32_t full, other;      // 18-hole rounds; the other rounds
  int64_t strokes, topar;
  int32_t partopar[3], parholes[3];  // over every played hole with par 3, 4, 5, of every round
  int64_t front, back;      // to par over holes 1-9 and 10-18
  int32_t birdies;          // holes one under par
  int32_t last[INDEXROUNDS];  // to par of the last rounds, in date order from last[(next) % INDEXROUNDS]
  int32_t next;             // rounds put into last
  int32_t puttrounds;       // rounds whose every hole has as many ShotData records as strokes
  int32_t putts, oneputts, threeputts, greens;  // over those rounds
};

// The putt and green figures are shown only when the club codes read as
// putts: over every hole with a ShotData record, 90 % or more have as many
// records as strokes and a putt as the holed shot.
struct PuttCheck {
  int32_t holes;    // holes with a ShotData record
  int32_t counted;  // of them, as many records as strokes
  int32_t holed;    // a putt as the holed shot
  int32_t both;
  bool shown;
};

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
  KindFigures kind[2];  // [pointbattle]
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
  int32_t kindfull[2];  // full rounds and their to par, [pointbattle]
  int64_t kindtopar[2];
};

struct StatsFigures {
  PlayerFigures* players;
  int32_t nplayers, playercap;
  CourseFigures* courses;
  int32_t ncourses, coursecap;
  int32_t rounds;  // rows of every game
  PuttCheck putt;
};

// Works the figures out of a sorted history; 0 when memory was refused.
int32_t statsfigures(const RoundHistory& h, StatsFigures& f);
void statsfree(StatsFigures& f);
// sum / count as printf("%+.1f") prints the double quotient: "+3.4", "+0.0",
// "-0.0", "-1.2".  count > 0.
void fmtsigned(char* buf, int32_t n, int64_t sum, int32_t count);
// The same with 1 or 2 decimals, with or without the sign.
void fmtaverage(char* buf, int32_t n, int64_t sum, int32_t count, int32_t decimals, bool sign);

// The putts and greens of one player's round (player 1 to g.players): false
// when a played hole has not as many ShotData records as strokes.  Greens
// are the holes with a par whose first putt is shot par - 1 or earlier, or
// holed in par - 2 or fewer without a putt.  Any of the outputs may be null.
bool roundputts(const RoundGame& g, int32_t player, int32_t* putts, int32_t* oneputts, int32_t* threeputts,
                int32_t* greens);
// The check of the club codes over the whole history.
PuttCheck puttcheck(const RoundHistory& h);
// The handicap-like figure of a kind's rounds: the sum of the best to pars
// averaged and their count in *count; false below INDEXLEAST rounds.
bool formindex(const KindFigures& k, int64_t* sum, int32_t* count);
// The average to par of the last FORMROUNDS rounds: the sum and the count.
void formrecent(const KindFigures& k, int64_t* sum, int32_t* count);

// Writes rounds.csv to path, replacing it whole; 1, or 0 with the system's
// error code in *error (when given) and an earlier file left as it was.
int32_t writeroundscsv(const RoundHistory& h, const char* path, uint32_t* error);
// Writes stats.html to path in the same way (memory refused for the figures
// gives OS_ERROR_NOT_ENOUGH_MEMORY).
int32_t writestatspage(const RoundHistory& h, const char* path, uint32_t* error);
