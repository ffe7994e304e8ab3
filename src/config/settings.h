// The Settings record, loginit.txt and the interval and capture key tables.
#pragma once

#include <cstdint>

#define PATHSIZE 512

// Load mask bits: one per key found in loginit.txt.
#define LM_HOME 0x1
#define LM_DGPATH 0x2
#define LM_READ_COURSE 0x4
#define LM_SAVE_COURSE 0x8
#define LM_IEXPLORE 0x10
#define LM_INTERVAL 0x20
#define LM_CAPTUREPAGE 0x40
#define LM_DEFAULTAREA 0x80
#define LM_CUSTOMAREA 0x100
#define LM_ENABLEAREA 0x200
#define LM_LOCKONWINDOW 0x400
#define LM_ENABLECAPKEY 0x800
#define LM_SELECTCAPKEY 0x1000
#define LM_DEFAULTED 0x2000   // area choice or lock-on was set to its default
#define LM_CAPTUREKEYS 0x1FE0 // the eight capture keys
#define LM_COMPLETE 0x3FFF    // writer: all 14 lines written

// Capture settings: each exists as a working copy (in force) and a saved copy
// (what loginit.txt gets).  Margins are top, left, bottom, right.
struct CaptureSettings {
  int32_t capturepage;
  int32_t defaultarea[4];
  int32_t customarea[4];
  int32_t enablearea;    // 0 window area, 1 default area, 2 custom area
  int32_t lockon;        // 0 or 1
  int32_t enablecapkey;  // 0 clipboard only, 1 capture key only, 2 either
  int32_t selectcapkey;  // row of the capture key table
};

struct Settings {
  char home[PATHSIZE];        // program folder (current directory at start), no trailing backslash
  char inifile[PATHSIZE];     // program folder + "\loginit.txt"
  char coursefile[PATHSIZE];  // program folder + "\golfcourse.txt"
  char homeread[PATHSIZE];    // HOME as read from loginit.txt
  char dgpath[PATHSIZE];      // DGPATH as read or chosen; written back unchanged
  char gamelog[PATHSIZE];     // path of the game's golf.txt
  char gamefolder[PATHSIZE];  // gamelog without its last 8 characters
  int32_t readcourse;         // READ_COURSE
  int32_t savecourse;         // SAVE_COURSE
  int32_t iexplore;           // IEXPLORE
  int32_t interval;           // interval index, 0 = custom interval
  int32_t custominterval;     // tenths of a second, used by row 0
  CaptureSettings work;       // working copies
  CaptureSettings saved;      // saved copies
  int32_t windowarea[4];      // margins for area choice 0; never written
  int32_t margins[4];         // the margins in force, derived from the area choice
  int32_t loadmask;
  int32_t complete;           // settings-complete flag
  // The user's own files are never replaced by defaults.  loginit.txt is
  // there but could not be read: the record holds the start values, and the
  // file is written only by a save the user asks for.
  int32_t iniunread;
  uint32_t inierror;          // why it could not be read
  // golfcourse.txt is there but could not be read whole (with READ_COURSE=1):
  // the table in force is not the user's.
  int32_t courseunread;
  uint32_t courseerror;       // why (0: it is longer than the reader takes)
  // golfcourse.txt is not written at exit: the table was not read from it
  // whole, or loginit.txt could not say whether it should have been.
  int32_t coursekeep;
};

struct IntervalRow {
  int32_t period;   // timer 1 period in ms
  int32_t ticks1s;  // ticks for about 1 s (A)
  int32_t ticks3s;  // ticks for about 3 s (B)
  int32_t backoff;  // back-off ticks (-A)
  int32_t listpos;  // entry of the interval list box
  int32_t custom;   // custom interval (row 0 only)
};
#define INTERVALROWS 8
extern const IntervalRow kintervals[INTERVALROWS];

struct CaptureKey {
  const char* readname;   // as matched in loginit.txt (lower case)
  const char* writename;  // as written to loginit.txt
  int vkey;               // virtual key code
};
#define CAPKEYROWS 4
extern const CaptureKey kcapkeys[CAPKEYROWS];
// Names shown in the capture area dialog ("左 Alt", ...); kept apart from the
// reader so the reader holds no Japanese literal.
extern const char* const kcapkeylabels[CAPKEYROWS];

// Fills the Settings record from loginit.txt; returns the load mask (0 when the
// file cannot be opened or read; iniunread and inierror then tell a file that
// is there from one that is missing).
int32_t readsettings();
// Parses a loginit.txt text (len bytes, followed by a NUL) into the Settings
// record; returns the load mask.  readsettings calls it after the read.
int32_t parsesettings(const char* text, int32_t len);
// Makes path the game log path and the game folder that path without its last
// 8 bytes ("golf.txt"), cut before a double-byte character rather than in it.
void setgamelog(const char* path);
// Writes loginit.txt; returns the mask of lines written (LM_COMPLETE when all 14).
// The file is replaced whole: on any failure it is left as it was, 0 is
// returned and gkesto.writeerror holds the system's reason.
int32_t writesettings();
// The first interval row whose list position equals pos; 0 when none does.
int32_t intervalrow(int32_t pos);

// Reads a decimal number the way "%d" does: leading blanks, an optional sign,
// digits.  No digits gives 0.  A number beyond the 32-bit range saturates at
// INT32_MAX or INT32_MIN.  When end is given it receives the position after
// the number (s itself when there was none).
int32_t readdec(const char* s, const char** end);
// Reads a "%d,%d,%d,%d" list into four numbers; the numbers missing (the list
// ends early or a separator is not ",") are 0.
void readdec4(const char* s, int32_t v[4]);
