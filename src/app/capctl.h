// Capture control in the main window: the "SS" and "連写" boxes, the burst
// count field, the capture part of the timer-1 tick, the capture key and the
// left-Ctrl shortcuts of timer 2.
#pragma once

// A click on "SS" (1020) or "連写" (1021).
void modeclick(int id);
// The burst count field 1043 changed.
void countchanged();
// Puts the working capture page count into 1043.
void showcount();
// Resets the burst figures.
void resetburst();
// The capture part of a timer-1 tick, before the watcher step.  0 when the
// tick ends here (the game window was found gone): no watcher step then.
int capturetick();
// Timer 2: the capture key and the shortcuts.
void capturekeys();
// A trigger: starts a burst, or stops the one running.
void capturetoggle();
