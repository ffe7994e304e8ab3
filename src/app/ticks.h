// The main window's timers, owned here alone: timer 1 (the watcher and the
// capture work, at the period of the interval row in force), timer 2 (the
// capture keys, every 30 ms while watching) and the housekeeping timer, which
// runs whatever the run state for work that must go on before スタート,
// after 停止 and while a message box is up.
#pragma once

#include <cstdint>

#include "kesto.h"
#include "os/os.h"

#define TICK_WORK 1         // timer 1
#define TICK_KEYS 2         // timer 2
#define TICK_HOUSEKEEPING 3
#define HOUSEKEEPING_MS 250

// Timer 1 and the watcher's pace take the interval row in force each time
// they start, so a change of speed takes effect at the next start.  The run
// state says which run: both while watching, timer 1 alone while the end
// waits for a burst's write-out, none otherwise.
void starttimers();
// Stops timers 1 and 2; the housekeeping timer goes on.
void stoptimers();
// The interval row chosen by the burst speed (row 0 for a value out of range).
const IntervalRow& periodrow();
// A message box from a tick or a command: timers 1 and 2 stop while it is up
// (nothing runs again inside the box's own message loop) and start again
// after it only if they ran before it.  With TICKBOX_KEEPKEYS only timer 1
// pauses, at the period it had, and the capture keys are still read.
// Returns the box's answer.
#define TICKBOX_KEEPKEYS 1
int tickbox(const char* text, const char* caption, uint32_t type, int how = 0);

// Work for the housekeeping timer: at most HOUSEKEEPERS functions, called in
// the order they were added on every housekeeping tick.  The timer runs while
// at least one is added and the main window exists.
#define HOUSEKEEPERS 4
int addhousekeeper(void (*fn)());
void removehousekeeper(void (*fn)());
// Sets the housekeeping timer when the main window is made and work waits.
void housekeepingstart();
// Timer 3: runs the housekeepers.
void housekeepingtick();
