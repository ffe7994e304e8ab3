// The game watcher: waits for the game's window, follows golf.txt while the
// game appends to it, shows every new shot and keeps golfwatch.txt when the
// game ends.  One step per timer-1 tick.
#pragma once

#include <cstdint>

#include "kesto.h"
#include "os/os.h"

// What a watcher step saw, in the order it happened.  The main window's tick
// applies the list in that order (so a status text comes before the message
// that follows it) and routes each event on.
enum WatchEventKind {
  WatchFieldText,    // a text field of the main window: id, text
  WatchFieldNumber,  // a number field: id, value, sign (1: signed)
  WatchShot,         // a ShotData record was read: shot (its own club, power,
                     // distance left); one each, in order; the last of a step
                     // has value 1 and shown, the shot as the main window shows it
  WatchLogRead,      // the live buffer holds golf.txt's whole lines up to value
  WatchMessage,      // a message for the user: text, caption, type
  WatchStopTicks,    // the ticks stop (a message follows, or the watcher gave up)
  WatchStartTicks,   // the ticks start again, with the interval row in force
  WatchGameStarted,  // golf.txt is followed from its end, value: its length;
                     // sign 1 when the live buffer holds it whole up to there
  WatchGameEnded,    // the game's window closed
  WatchLogCopied,    // golfwatch.txt was replaced by a copy of golf.txt
};

struct WatchEvent {
  WatchEventKind kind;
  int32_t id;
  int32_t value;
  int32_t sign;
  uint32_t type;
  const char* text;      // kept in the list's text space
  const char* caption;
  LiveShot shot;         // the shot as read
  LiveShot shown;        // WatchShot with value 1: the main window's shot
};

#define WATCHEVENTS 64
#define WATCHTEXTS 4096
struct WatchEvents {
  int32_t count;
  int32_t lost;        // events or texts that did not fit (never in practice)
  uint32_t textused;
  WatchEvent ev[WATCHEVENTS];
  char texts[WATCHTEXTS];
};

// One watcher step; the main window calls it on every timer-1 tick after the
// capture work and applies the events it lists.
void watchstep(WatchEvents& events);
// Looks for the game's window below the foreground window in Z order; 1 when
// found (the title buffer, the edition flag and the foreground window of this
// tick then name it), else 0.
int findgamewin();
// The capture tick found the game window gone: the status line names the
// ended game and the watcher waits in GameEnded, about a second shorter than
// after an end it saw itself (D starts at A).
void gamewindowgone(WatchEvents& events);
