// Shared helpers of the native tests, tools and benchmarks.
#pragma once

#include <string>
#include <vector>

// A fresh folder under /tmp; removetree removes only such folders.
std::string maketempdir();
void removetree(const std::string& dir);
std::string readfile(const std::string& path);
bool writefile(const std::string& path, const std::string& bytes);

// Puts the program's record gkesto, the live state and the page server back to their start
// (all zero, as they are when the program starts) and the fake desktop back
// to its start (fakereset).
// Every test fixture starts from here, so no test sees what another left.
void kestoreset();

// Pieces of a golf.txt for the live tests: one shot of player at stroke on
// hole (a "*Player" line and its ShotData record with club, metres left and
// power), the start of a stroke game with its players on course, a hole's line.
std::string logshot(int player, int stroke, int hole, int club, float metres, int power);
std::string logbegin(const std::vector<std::string>& names, const std::string& course);
std::string loghole(int h);
// A loginit.txt whose settings are complete (スタート watches at once), the
// game's log at golf, timer 1 at interval row 1, the capture keys off.
std::string completeloginit(const std::string& golf);
