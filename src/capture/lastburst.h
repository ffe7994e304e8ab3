// Which burst is "the last burst": the one whose write-out ended last since
// KESTO started, else the newest burst folder under the program folder.
#pragma once

// Puts the last burst's folder into out (n bytes); 1, or 0 when there is
// none (no burst folder, or its path does not fit).
int lastburstdir(char* out, int n);
// 1 when name is a burst folder's name: "d%02d_%02d%02d_%02d_%02d",
// perhaps with "_2" to "_99" after it (the dated name was taken), and its
// number after the dated part in *k (1 without one).
int burstfoldername(const char* name, int* k);
