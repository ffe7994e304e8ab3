// The watcher's follow step through the fake desktop while golf.txt grows,
// shrinks and carries zero bytes.  The input is a list of operations on
// golf.txt, each followed by one follow step; the oracle:
// - the read position never moves back, and where it moves it stays within
//   the file;
// - after the file has been brought back past the read position and ended
//   with whole lines, a complete shot the game appends is reported for the main
//   window at the next step, whatever came before it.
// watch.cpp is compiled here with its Japanese texts (status lines, window
// titles) as clang leaves them; this target never compares them: it puts the
// watcher at the found game itself.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#include "app/watch.h"
#include "fuzzdir.h"
#include "kesto.h"
#include "os/fake/fakeos.h"
#include "res/resource.h"

namespace {

WatchEvents gevents;

#define FILEMAX (1 << 20)  // golf.txt stays far below the live buffer's limit

std::string gpath;

uint32_t filesize() {
  struct stat st;
  return stat(gpath.c_str(), &st) == 0 ? (uint32_t)st.st_size : 0;
}

void append(const std::string& s) {
  FILE* f = fopen(gpath.c_str(), "ab");
  if (!f) abort();
  fwrite(s.data(), 1, s.size(), f);
  fclose(f);
}

std::string shotblock(int club, int hole) {
  std::string s = "ShotData:\r\n";
  char b[8];
  for (int r = 0; r < 10; r++) {
    for (int j = 0; j < 16; j++) {
      int i = 16 * r + j;
      int v = i == 12 ? hole - 1 : i == 40 ? club : i == 157 ? 0 : i == 158 ? 120 : (i * 7) & 0xFF;
      snprintf(b, sizeof b, "%02X ", v);
      s += b;
    }
    s += "\r\n";
  }
  return s;
}

// One follow step, with the oracle on the read position.
void step() {
  WatchState& ws = gkesto.mw.watch;
  uint32_t before = ws.readpos;
  ws.ticks = gkesto.mw.pace.ticks1s - 1;
  watchstep(gevents);
  if (ws.state != FollowLog || !ws.following) __builtin_trap();
  uint32_t size = filesize();
  if (ws.readpos < before) __builtin_trap();
  if (ws.readpos != before && ws.readpos > size) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  gpath = fuzzdir("kesto-fuzz-watch") + "/golf.txt";
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fakereset();
  memset(&gkesto.mw, 0, sizeof gkesto.mw);
  memset(&gkesto.shot, 0, sizeof gkesto.shot);
  snprintf(gkesto.set.gamelog, sizeof gkesto.set.gamelog, "%s", gpath.c_str());
  gkesto.mw.main = fakeaddwindow("KESTO", "KESTO", 0, 0, 100, 100);
  gkesto.mw.pace = kintervals[1];
  FILE* f = fopen(gpath.c_str(), "wb");
  if (!f) abort();
  fputs("** Stroke Begin **\r\n", f);
  fclose(f);
  // The game's window was found: the next step takes the log's end.
  WatchState& ws = gkesto.mw.watch;
  ws.gamewin = fakeaddwindow("GAME", "game", 0, 0, 640, 480);
  ws.state = GameFound;
  ws.delay = gkesto.mw.pace.ticks3s;
  watchstep(gevents);
  if (ws.state != FollowLog || ws.readpos != filesize()) __builtin_trap();

  int shots = 0;
  size_t i = 0;
  while (i < size) {
    uint8_t op = data[i++];
    switch (op % 4) {
      case 0:
      case 1: {  // the game appends bytes, zero bytes among them
        size_t n = op / 4 + 1;
        if (n > size - i) n = size - i;
        if (filesize() + n < FILEMAX) append(std::string((const char*)data + i, n));
        i += n;
        break;
      }
      case 2: {  // the file is cut short
        uint32_t s = filesize();
        uint64_t to = (uint64_t)s * (op / 4) / 63;
        if (truncate(gpath.c_str(), (off_t)(to > 0 ? to : 1)) != 0) abort();  // empty would be no log
        break;
      }
      case 3: {  // a complete shot after the file has come back past the read position
        uint32_t s = filesize();
        if (s + 4096 >= FILEMAX) return 0;
        if (s < ws.readpos) append(std::string(ws.readpos - s, 'x'));
        std::string sync = "\r\n";
        for (int k = 0; k < 11; k++) sync += "x\r\n";
        append(sync);
        step();
        int club = 1 + shots++ % 60;
        append("*Player3 02\r\n" + shotblock(club, 7));
        step();
        // The step reports the shot and the hole for the main window.
        int shotclub = -1, hole = -1;
        for (int32_t k = 0; k < gevents.count; k++) {
          const WatchEvent& e = gevents.ev[k];
          if (e.kind == WatchShot) shotclub = e.shot.club;
          if (e.kind == WatchFieldNumber && e.id == IDC_HOLE) hole = e.value;
        }
        if (shotclub != club || hole != 7) __builtin_trap();
        if (ws.readpos != filesize()) __builtin_trap();
        continue;
      }
    }
    step();
  }
  return 0;
}
