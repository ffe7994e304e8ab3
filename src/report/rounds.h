// The round history: every finished game of any number of logs, each game
// once however many logs repeat it, in date order.  Portable, no windows.
//
// Memory: one log at a time is read into one fixed buffer of LOGBUFSIZE
// bytes (a log of that size or more is skipped); each game kept costs one
// RoundGame (about 850 bytes) and one slot of the same-game table, in arrays
// that grow by doubling.  An allocation the system refuses stops the reading
// (nomemory); what was read so far stays usable.
#pragma once

#include <cstdint>

#include "config/settings.h"
#include "gamelog/gamelog.h"

// One finished game as the log gave it.
struct RoundGame {
  char start[64];         // start text
  char course[104];       // course name as the log gives it
  char name[4][64];       // players 1 to players
  int8_t par[18];         // the record's pars; 0 = no par
  int8_t stroke[4][18];   // [player - 1][hole - 1]; 0 = not played
  // The player's ShotData records on each hole, in log order (the player of
  // a record is that of the "*Player" line before it, its hole is the
  // record's own): how many (255 stands for 255 or more), how many of them
  // are putts, the number of the first putt (0 for none) and whether the
  // last of them, the holed shot, is a putt.
  uint8_t shots[4][18];
  uint8_t putts[4][18];
  uint8_t firstputt[4][18];
  uint8_t holedputt[4][18];
  int32_t players;        // 1 to 4
  int32_t pointbattle;    // 1 for a point-battle game
  int32_t courseindex;    // course table row the name matches, -1 for none (then no pars)
  int32_t date;           // year * 10000 + month * 100 + day from the start text, 0 for none
  int32_t time;           // hour * 100 + minute, -1 for none
  uint32_t order;         // place in the order of first appearance
  uint32_t hash;          // of what makes two games the same
};

#define PUTTCLUB 70  // club codes from 70 on are the putters, measured in yards

#define ROUNDLOG_READ 0
#define ROUNDLOG_TOOBIG 1      // LOGBUFSIZE bytes or more: not read
#define ROUNDLOG_UNREADABLE 2  // could not be opened or read whole
#define ROUNDLOG_NOMEMORY 3    // read, but not every game could be kept

#define ZEROSPANS 8  // stretches of zero bytes told one by one for each log

// A run of zero bytes in a log.
struct ZeroSpan {
  uint32_t offset, length;
};

// One log as it was read or skipped.
struct RoundLog {
  char path[PATHSIZE];
  int32_t status;   // ROUNDLOG_...
  uint32_t size;    // bytes, when it could be told
  int32_t games;    // finished games found in it
  int32_t added;    // of them, games no log before it held
  int32_t zeroruns;  // runs of zero bytes found in it
  ZeroSpan zero[ZEROSPANS];  // the first ZEROSPANS of them
};

struct RoundHistory {
  RoundGame* games;
  int32_t count, cap;
  uint32_t* slots;  // the same-game table: game index + 1, 0 for empty
  int32_t nslots;   // a power of two, at least twice count
  RoundLog* logs;
  int32_t nlogs, logcap;
  int32_t nomemory;  // an allocation was refused
};

// Empties a history and gives its memory back (a zeroed history is empty).
void roundsfree(RoundHistory& h);
// Reads the log at path (shared for reading and writing, as the game writes
// it) with a fresh game record, cuts it into games with the whole-game parse
// and keeps every game read from its begin or resume marker to its end
// marker that no earlier log or game held.  Runs of zero bytes are passed
// over (and noted in the log's entry); a game they or a later begin marker
// cut off is dropped.  A game's pars are its own course's, none when the
// course table does not know it.  Returns the log's ROUNDLOG_ status.
int32_t roundsaddlog(RoundHistory& h, const char* path);
// The same for a log text of size bytes already in memory, named name.
int32_t roundsaddtext(RoundHistory& h, const char* name, const char* text, uint32_t size);
// Puts the games in order of date and time (games without a date first),
// ties in the order of first appearance.
void roundssort(RoundHistory& h);
// The same-game rule: start text, course name, kind, players and every
// player's name and 18 stroke counts are the same.
bool samegame(const RoundGame& a, const RoundGame& b);
// The date (yyyymmdd) and time (hhmm) of a start text: the first
// year/month/day written as digits with "/" (a year of four digits, one or
// two digits for month and day), then the first hours:minutes after it (or
// in the whole text when it holds no date).  0 and -1 when not found.
void startdatetime(const char* text, int32_t* date, int32_t* time);

// One player's row of a game: the holes with a stroke count, their strokes
// and pars.
struct RoundRow {
  int32_t holes;    // holes 1-18 with a stroke count
  int32_t strokes;  // their sum
  int32_t par;      // the sum of their pars; -1 when one of them has par 0 (or no hole was played)
  bool full;        // 18 holes with every par known
};
RoundRow roundrow(const RoundGame& g, int32_t player);  // player 1 to g.players
