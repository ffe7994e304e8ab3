// gkesto: the program's one global state record, shared by every subsystem
// and owned by none of them.  Every subsystem keeps its state here; it lives
// for the whole run.
#pragma once

#include <cstdint>

#include "config/course.h"
#include "config/settings.h"
#include "config/textfile.h"
#include "gamelog/gamelog.h"
#include "os/os.h"

#define KESTO_TITLE "KESTO v0.93"
#define KESTO_CLASS "KESTO"
#define KESTO_MUTEX "KESTO2ndEXEC"

// Ending: 終了 waits for the frames of a burst to be written out (timer 1
// only, no watching); the end sequence goes on when they are.
enum RunState { NeverStarted, Running, Paused, Ending };
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
  int32_t unsaved;       // the last image could not be saved: it stays on the clipboard
  // The clipboard held something when KESTO started: that image is the
  // user's, never saved nor emptied, until the clipboard changes.
  int32_t foreign;
  uint32_t foreignseq;   // the clipboard's sequence number at start
  OsHandle foreignimage; // and its image then
  int32_t asking;        // the question about frames that could not be written is up
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
  // Frame k of a burst (from 0) lives in slot k % FRAMESLOTS until it leaves
  // memory; frames leave in order, so the taken - written frames in memory
  // never share a slot.
  int32_t slot;            // slot of the next frame
  int32_t writepos;        // frame (from 0) written next: equals written
  OsHandle handles[FRAMESLOTS];   // movable block of each frame record
  uint8_t* frames[FRAMESLOTS];    // its locked address
  char folder[PATHSIZE];   // this burst's folder
  char logpath[PATHSIZE];  // its burst log
  char lastfolder[PATHSIZE];  // the folder of the last burst written out since start, "" before
  int32_t ended;           // bursts whose write-out ended since start
  OsHandle log;            // the burst log while open, else 0
  // A frame whose file could not be written stays in memory with every later
  // one; the write-out stops there until the user chooses.
  int32_t waiting;         // frames wait after a failed write
  int32_t failframe;       // number of the frame whose write failed
  uint32_t frameerror;     // the system's reason
  // Counted until the burst ends and is reported.
  int32_t skipped;         // frames failing the file check: no file, no log line
  int32_t firstskip;       // number of the first of them
  int32_t grabfails;       // grabs that copied nothing: no frame, no number
  int32_t discarded;       // frames freed unwritten: the user chose so, or the session ended
  int32_t logfails;        // log lines not written (all of them when the log could not be made)
  uint32_t logerror;       // the system's error code of the first
  int32_t logclosefail;    // the log could not be flushed or closed at the end
};

#define CAPBUFSIZE 16777216  // the full and crop image buffers

#define WINLISTSIZE 512
#define WINTEXTSIZE 256  // 255 bytes of text and the terminator
struct WindowSlot {
  OsWin win;
  char text[WINTEXTSIZE];
};

enum LockOnState { LockIdle, LockArmed, LockLocked };
enum SlideMode { SlideOff, SlideArmed, Sliding };

// The marker bar on the area frame's band: not saved, it outlives the frame.
struct MarkerState {
  int32_t width;  // percent of the client width: 100, 10 or 3
  int32_t pos;    // percent of the client width where the bar's left end stands
  SlideMode slide;
};

#define ZOOMROWS 10
#define ZOOMMAXW 8204  // a screen of 8192 pixels and the 6 + 6 around the frame

// The capture area dialog's own state, with the window list's target and the
// lock-on.  Margin fields are indexed top, left, bottom, right.
struct AreaDialogState {
  int32_t guard[4];       // change guard of each margin field
  int32_t ticks;          // tick counter of the 200 ms timer
  int32_t timerstarted;
  int32_t zoomrepaint;    // the zoom view is to be painted
  int32_t zoomw;          // row width of the strips in pixels
  int32_t zoomtoprows, zoombottomrows;  // rows each strip holds (10 unless the screen cut it)
  OsWin target;           // the window the margins are measured from, 0 for none
  int32_t targetknown;    // the target's rectangle was read when an entry was taken
  int32_t targetrect[4];  // the target widened by the margins when it was taken
  int32_t prevcheck[4];   // the target's rectangle at the previous lock-on check
  int32_t lastcheck[4];   // and at the latest
  LockOnState lock;
  uint32_t colourkey;     // the frame's see-through colour as sampled
};

// The area frame's state.
struct FrameState {
  int32_t focus;      // the keyboard focus is in the frame
  int32_t dragging;
  int32_t moving;     // re-entry guard around the frame's own move
  int32_t start[2];   // cursor at the start of the drag (screen)
  int32_t prev[2];    // cursor at the previous mouse event
  OsWin count;        // count field 1002
  OsWin speed;        // speed list 1014
  int32_t seethrough; // 1 colour-keyed, 2 cut to its band and border, 0 neither
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
  int32_t burstsrouted;      // ended bursts the tick has routed to the page server
  uint32_t playloglen;       // size of the file in the play-log buffer
  OsTime playlogtime;        // its last-write time, local
  int64_t countsperms;       // performance counter counts per millisecond
  uint32_t period;           // timer 1 interval in ms
  int32_t timerson;          // starttimers set timer 1 and stoptimers has not killed it since
  IntervalRow pace;          // the interval row in force since timer 1 last started
  OsWin foreground;          // the foreground window, read at the start of every timer-1 tick
};

// The page the scorecard and link list writers write (one at a time), and
// the name and title that "HTM作成" gives a scorecard page.
struct PageState {
  char name[48];       // "log%d%02d%02d_%02d%02d.html", relative: the current folder
  char title[48];      // "log%d%02d%02d_%02d%02d"
  Replacement rep;     // the page being written, through a temporary beside it
  OsHandle out;        // the temporary while the page is open; 0 while none is
  int32_t shortgames;  // short games asked about so far
  int32_t failed;      // writes of the page last written that failed (it then replaced nothing)
  uint32_t error;      // the system's reason for the first of them
};

struct Kesto {
  uint32_t writeerror;       // the system's reason for the last failed write of a whole file
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
  AreaDialogState area;
  FrameState frame;
  PageState page;
  char livebuf[LOGBUFSIZE];  // golf.txt mirrored at its own offsets
  char playlog[LOGBUFSIZE];  // one whole log chosen with the log button
  char logpath[PATHSIZE];    // the log file last chosen with openlog
  uint8_t fullimage[CAPBUFSIZE];  // the clipboard image as a bottom-up 24-bit DIB
  uint8_t cropimage[CAPBUFSIZE];  // the rows of a cropped screenshot
  uint32_t zoomtop[ZOOMROWS * ZOOMMAXW];     // the zoom view's strips, 0xBBGGRR
  uint32_t zoombottom[ZOOMROWS * ZOOMMAXW];
  uint8_t zoomgrab[ZOOMROWS * (ZOOMMAXW * 3 + 3)];  // one strip as the grab gives it
};

extern Kesto gkesto;
