// The golf.txt text format, the line reader, the live shot parse and the
// whole-game parse.
#pragma once

#include <cstdint>

#include "sjis.h"

#define LOGBUFSIZE 0x400000  // live and play-log buffers: the text and its terminating zero
#define LINESIZE 129         // a line of at most 128 bytes and its terminating zero
#define SHOTSIZE 160         // one ShotData record

// The last shot as the live parse reports it.
struct CourseRecord;  // a row of the course table

struct LiveShot {
  int32_t hole;
  int32_t player;
  int32_t club;
  int32_t power;
  float remain;              // metres to the hole after the shot
  uint8_t shot[SHOTSIZE];    // the last ShotData record read
};

// One game read from a log.
struct GameRecord {
  char name[4][64];          // players 1 to 4
  char stage[6][64];         // stage texts, slots 0 to 5
  int32_t pointbattle;       // 1 for a point-battle game
  int32_t hole;              // current hole
  int32_t player;            // current player
  int32_t players;           // number of players
  int8_t par[18];            // holes 1 to 18; 0 = no par
  int8_t stroke[4][18];      // [player - 1][hole - 1]; 0 = not played
  char course[104];          // course name as the log gives it
  char link[512];            // web address of the matched course; holds the longest built-in one
  char start[64];            // the line after the begin or resume marker
  int32_t firsthole;         // first non-zero hole of the game
  int32_t loglen;            // bytes of text in the play-log buffer
  int32_t readpos;           // where the next game's parse begins
  int32_t ended;             // 1 when the last parse stopped at an end marker
};

// Copies one line of src into dst (at least LINESIZE bytes) and terminates it;
// returns the number of bytes consumed, line end included (0 at a zero byte).
int32_t getlogline(char* dst, const char* src);
// As getlogline, but the text also ends after avail bytes: the bytes from
// src + avail on are never read (avail <= 0 reads nothing and returns 0).
int32_t getloglinen(char* dst, const char* src, int32_t avail);
// As getloglinen, for a dst of size bytes: lines hold at most size - 1 bytes.
// For files whose lines carry whole paths (loginit.txt).
int32_t getloglinesz(char* dst, int32_t size, const char* src, int32_t avail);
// Copies the Shift-JIS text src (up to its NUL) into a field of n bytes: at
// most n - 1 bytes, cut before a double-byte character that does not fit
// whole, and always terminated (nothing is written when n <= 0).  Returns the
// number of bytes copied, the NUL not counted.
int32_t sjiscopy(char* dst, int32_t n, const char* src);
// As sjiscopy, but takes at most len bytes of src (stopping earlier at a NUL).
int32_t sjiscopyn(char* dst, int32_t n, const char* src, int32_t len);
// The decimal number at byte at of a line of len bytes, read like "%d"
// (blanks skipped, optional sign, digits); 0 when none can be read there.
int32_t linedec(const char* line, int32_t len, int32_t at);
// The hexadecimal number at byte at of a line of len bytes, read like "%x";
// 0 when none can be read there.
uint32_t linehex(const char* line, int32_t len, int32_t at);
// Parses the live buffer buf (golf.txt at its own offsets, LOGBUFSIZE bytes)
// from offset from to offset to into the shot record s.
int32_t parseshot(LiveShot& s, const char* buf, int32_t from, int32_t to);
// Every ShotData record of a stretch, each with its own club, power and
// distance left, as a "*Player" line after it does not touch them.
#define STRETCHSHOTS 32
struct StretchShots {
  int32_t count;              // records read; the last STRETCHSHOTS are kept
  LiveShot shot[STRETCHSHOTS];  // record i at shot[i % STRETCHSHOTS]
};
// As parseshot, also listing every record read in rec (its count set to 0 first).
int32_t parseshots(LiveShot& s, StretchShots& rec, const char* buf, int32_t from, int32_t to);
// The end of what the game has finished writing in the stretch of the live
// buffer from offset from to offset to: the stretch without a last line that
// has no line end yet and without a ShotData record that lacks some of its
// ten lines (the stretch then ends where that record's tag line begins).
// from when nothing is complete; never beyond to.
int32_t shotstretchend(const char* buf, int32_t from, int32_t to);
// Parses the next game of the log text buf (g.loglen bytes, then a zero byte,
// in a buffer of LOGBUFSIZE bytes) into the record g, taking names, pars and
// web pages from the course table courses (COURSES rows and the end row).
int32_t parsegamein(GameRecord& g, const char* buf, int32_t cont, const CourseRecord* courses);
// Index of the first row of the course table courses whose keyword matches
// name, or -1.
int32_t findcourse(const char* name, const CourseRecord* courses);
// True when the first n bytes of text occur in str.
bool strcontains(const char* text, int32_t n, const char* str);
