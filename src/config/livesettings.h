// live.txt in the program folder: the streaming settings, one KEY=value a
// line (CR LF), as loginit.txt writes its own.
#pragma once

#include <cstdint>

#define LIVEPORT_DEFAULT 8089
struct LiveSettings {
  int32_t files;   // FILES=1: the text files in live\ are kept up to date
  int32_t server;  // SERVER=1: the page server (a later part)
  int32_t port;    // PORT=n, 1 to 65535
};

// All off and the default port.
void livesettingsdefault(LiveSettings& s);
// Reads the text of live.txt (len bytes; a NUL ends it earlier) into s,
// which starts at the defaults.  A line that is not "//" comment, empty,
// or one of the three keys with a value it allows is damaged: its key keeps
// its default.  Returns the number of damaged lines; *firstbad (when given)
// is the number, from 1, of the first of them (0 when none).
int32_t parselivesettings(const char* text, int32_t len, LiveSettings& s, int32_t* firstbad);
// The whole text of live.txt for s into dst (n bytes), terminated.  Returns
// its length, or -1 when n is too small.
int32_t formatlivesettings(const LiveSettings& s, char* dst, int32_t n);
