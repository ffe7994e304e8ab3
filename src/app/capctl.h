// Capture control in the main window: the "SS" and "連写" boxes and the burst
// count field.
#pragma once

// A click on "SS" (1020) or "連写" (1021).
void modeclick(int id);
// The burst count field 1043 changed.
void countchanged();
// Puts the working capture page count into 1043.
void showcount();
// Makes every working capture setting equal to its saved copy, zeroes the
// window area and derives the area margins in force.
void restorecapture();
// Resets the burst figures.
void resetburst();
