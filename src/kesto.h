// gkesto: the program's one global state record, shared by every subsystem
// and owned by none of them.  Every subsystem keeps its state here; it lives
// for the whole run.
#pragma once

#include <cstdint>

#include "config/course.h"
#include "config/settings.h"
#include "gamelog/gamelog.h"
#include "os/os.h"

#define KESTO_TITLE "KESTO v0.93"
#define KESTO_CLASS "KESTO"
#define KESTO_MUTEX "KESTO2ndEXEC"

enum RunState { NeverStarted, Running, Paused };
enum WatchStateId { WatchIdle, SeekGame, GameFound, FollowLog, GameEnded };
enum CaptureMode { CaptureOff, ScreenshotMode, BurstMode };
enum BurstState { BurstIdle, BurstPreparing, BurstRunning, BurstWriting };

// The game watcher's state.
struct WatchState {
  WatchStateId state;
  int32_t ticks;      // tick count L
  int32_t delay;      // delay count D
  int32_t following;  // golf.txt is followed
  int32_t resume;     // resume notice
  OsWin gamewin;      // the game's window, 0 until found
  int32_t edition;    // the title is longer than 11 bytes
  char title[64];     // the last window title read
  uint32_t logsize;
  uint32_t newsize;
  uint32_t readpos;
  OsHandle logfile;   // open log file handle, 0 when none
};

#define SHORTCUTS 6  // left Ctrl + 1, 0, R, F1, F2, F3

// The capture control's state.
struct CaptureControl {
  CaptureMode mode;
  CaptureMode prevmode;
  BurstState burst;
  int32_t toggled;
  int32_t ssallowed;
  int32_t ssbusy;
  int32_t cooldown;
  int32_t rectdgwin[4];  // left, top, right, bottom
  int32_t cropvalid;
  OsHandle clipimage;
  OsHandle lastimage;
  int32_t estimate;
  int32_t customcount;
  uint16_t keynow, keyprev;
  uint16_t shortnow[SHORTCUTS], shortprev[SHORTCUTS];
  int32_t countguard;
};

#define FRAMESLOTS 16384

// Figures of the burst engine.
struct BurstFigures {
  int32_t planned;
  int32_t taken;
  int32_t written;
  int32_t ondisk;
  int32_t straight;        // frames go straight to disk
  int32_t diskthreshold;   // ms; 250 at start
  int64_t starttime;       // performance counter of the previous frame (the burst's start before the first)
  int32_t slot;            // slot of the next frame
  int32_t writepos;        // slot of the next frame to write out
  OsHandle handles[FRAMESLOTS];   // movable block of each frame record
  uint8_t* frames[FRAMESLOTS];    // its locked address
  char folder[PATHSIZE];   // this burst's folder
  char logpath[PATHSIZE];  // its burst log
  OsHandle log;            // the burst log while open, else 0
};

#define CAPBUFSIZE 16777216  // the full and crop image buffers

#define WINLISTSIZE 512
struct WindowSlot {
  OsWin win;
  char title[64];
};

struct MarkerState {
  int32_t width;
  int32_t pos;
};

// The application state the main window owns.
struct MainWindowState {
  OsWin main;
  OsWin setdlg;      // settings dialog, 0 while closed
  OsWin logdlg;      // play-log dialog
  OsWin areadlg;     // capture area dialog
  OsWin framewin;    // area frame, 0 while closed
  OsWin progress;    // progress bar
  RunState run;
  WatchState watch;
  CaptureControl cap;
  int32_t screenw, screenh;
  int32_t freemb;            // free MiB on the drive of HOME as read
  uint32_t playloglen;       // size of the file in the play-log buffer
  OsTime playlogtime;        // its last-write time, local
  int64_t countsperms;       // performance counter counts per millisecond
  uint32_t period;           // timer 1 interval in ms
  IntervalRow pace;          // the interval row in force since timer 1 last started
  OsWin foreground;          // the foreground window, read at the start of every timer-1 tick
};

// The page the scorecard and link list writers write (one at a time), and
// the name and title that "HTM作成" gives a scorecard page.
struct PageState {
  char name[48];       // "log%d%02d%02d_%02d%02d.html", relative: the current folder
  char title[48];      // "log%d%02d%02d_%02d%02d"
  OsHandle out;        // the open page file; 0 while none is open
  int32_t shortgames;  // short games asked about so far
};

struct Kesto {
  OsHandle mutex;
  OsHandle user32;
  void* setlayered;          // SetLayeredWindowAttributes
  Settings set;
  MainWindowState mw;
  LiveShot shot;
  GameRecord game;
  CourseRecord courses[COURSES + 1];
  BurstFigures burst;
  WindowSlot winlist[WINLISTSIZE];
  int32_t winlistcount;
  OsWin chosenwin;           // the window chosen in the capture area dialog
  int32_t framerect[4];      // the area frame's window rectangle as last read
  int32_t framerectread;     // framerect has been read
  MarkerState marker;
  PageState page;
  char livebuf[LOGBUFSIZE];  // golf.txt mirrored at its own offsets
  char playlog[LOGBUFSIZE];  // one whole log chosen with the log button
  char logpath[PATHSIZE];    // the log file last chosen with openlog
  uint8_t fullimage[CAPBUFSIZE];  // the clipboard image as a bottom-up 24-bit DIB
  uint8_t cropimage[CAPBUFSIZE];  // the rows of a cropped screenshot
};

extern Kesto gkesto;
