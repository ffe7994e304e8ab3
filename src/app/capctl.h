// Capture control in the main window: the "SS" and "連写" boxes, the burst
// count field, the capture part of the timer-1 tick, the capture key and the
// left-Ctrl shortcuts of timer 2.
#pragma once

// A click on "SS" (IDC_SS) or "連写" (IDC_BURST).
void modeclick(int id);
// The burst count field (IDC_COUNT) changed.
void countchanged();
// Puts the working capture page count into the burst count field.
void showcount();
// Resets the burst figures.
void resetburst();
// The capture part of a timer-1 tick, before the watcher step.  0 when the
// tick ends here (the game window was found gone): no watcher step then.
int capturetick();
// Timer 2: the capture key and the shortcuts.
void capturekeys();
// A trigger: starts a burst when none has frames in memory, else stops the
// one running or lets its write-out go on.
void capturetoggle();
// 1 while a burst runs, has frames in memory or its log open.
int burstpending();
// No more frames are taken: a burst that is on goes to its write-out.
void stopburst();
// The status line while the end waits for the write-out.
void showending();
// One write-out step on a timer-1 tick while the end waits: 1 while frames
// remain, 0 once the burst is over (and told).  A write that fails asks the
// user to retry or discard.
int writeoutstep();
// Who answers when a frame cannot be written: the user, who may also not
// answer (the box cannot be shown: the frames wait for the next step, or
// are discarded when nothing comes after), or no one (the session ends: the
// frames that cannot be written are discarded).
enum WriteOut { AskOrWait, AskOrDiscard, NoOneToAsk };
// Writes out what is left of a burst at once, the progress in the status line.
void writeoutnow(WriteOut how);
// 1 while the question about frames that could not be written is up.
int askingnow();
// At start: whatever the clipboard holds is the user's, not a screenshot
// nor a trigger, until the clipboard changes.
void rememberclipboard();
