// The scripted fake desktop: see fakeos.h.  This file holds the desktop
// itself and its reset, the helpers of its faults, start-up and the message
// loop, processes, the clock and keys, memory, and what is held at the end;
// the files and the disk, the windows, the capture area's windows and the
// clipboard with the screen have files of their own.
#include "os/fake/fakeos.h"

#include <cstdio>

#include "os/fake/fakeshared.h"

FakeDesktop gfake;

void fakereset() { gfake = FakeDesktop(); }

// ---- faults -----------------------------------------------------------------

// Takes one call from a fault count: 1 when this call fails.
int takefault(long& count) {
  if (count == 0) return 0;
  if (count > 0) count--;
  return 1;
}

int failwith(uint32_t error) {
  gfake.lasterror = error;
  return 0;
}

uint32_t osgetlasterror() { return gfake.lasterror; }

// ---- start-up and the message loop ------------------------------------------

OsHandle oscreatemutex(const char*, int) {
  if (gfake.mutexfails) {
    gfake.lasterror = 5;
    return 0;
  }
  gfake.lasterror = gfake.mutexexists ? OS_ERROR_ALREADY_EXISTS : 0;
  return 0x4D;
}

OsHandle osloadlibrary(const char*) { return gfake.loadlibraryfails ? 0 : 0x7500; }

static void fakesetlayered() {}

void* osgetprocaddress(OsHandle, const char*) {
  return gfake.procaddressfails ? nullptr : (void*)&fakesetlayered;
}

int osfreelibrary(OsHandle) { return 1; }

int osshutdownblockreasoncreate(OsWin, const char* reason) {
  gfake.blockcalls++;
  gfake.blockreason = reason;
  return 1;
}

int osshutdownblockreasondestroy(OsWin) {
  gfake.blockreason.clear();
  return 1;
}

int osregistermainclass() { return gfake.registerfails ? 0 : 1; }

void ospostquitmessage(int code) {
  gfake.quitposted++;
  gfake.quitcode = code;
}

void osinitcommoncontrols() {}

// ---- processes --------------------------------------------------------------

int oscreateprocess(const char* program, const char* cmdline, int inherit, uint32_t flags,
                    const OsPlacement* place) {
  bool there = false;
  for (const std::string& p : gfake.programs)
    if (p == program) there = true;
  if (!there) return 0;
  FakeProcess x{program, cmdline, inherit, flags, place != nullptr, place ? *place : OsPlacement{0, 0, 0, 0}};
  gfake.started.push_back(x);
  return 1;
}

int osshellopen(OsWin, const char* path) {
  gfake.opened.push_back(FakeProcess{"", path, 0, 0, false, OsPlacement{0, 0, 0, 0}});
  return gfake.shellopenfails ? 0 : 1;
}

// ---- the clock and the keys -------------------------------------------------

void osgetlocaltime(OsTime* t) { *t = gfake.localtime; }

int osqueryperformancefrequency(int64_t* f) {
  *f = gfake.perffreq;
  return 1;
}

int osqueryperformancecounter(int64_t* c) {
  *c = gfake.perfcount;
  return 1;
}

uint16_t osgetasynckeystate(int vk) { return vk >= 0 && vk < 256 ? gfake.keystate[vk] : 0; }

// ---- memory -----------------------------------------------------------------

uint32_t osavailphys() { return gfake.availphys; }

static FakeBlock* findblock(OsHandle m) {
  for (auto& b : gfake.blocks)
    if (b.handle == m) return &b;
  return nullptr;
}

OsHandle osglobalalloc(uint32_t size) {
  gfake.allocs++;
  if (gfake.allocfailat && gfake.allocs >= gfake.allocfailat) return 0;
  if (gfake.allocrefuse && gfake.allocs == gfake.allocrefuse) return 0;
  gfake.lastblock += 8;
  gfake.blocks.push_back(FakeBlock{gfake.lastblock, std::vector<uint8_t>(size, 0xCD), 0});
  uint64_t total = 0;
  for (auto& b : gfake.blocks) total += b.bytes.size();
  if (total > gfake.peakbytes) gfake.peakbytes = total;
  return gfake.lastblock;
}

void* osgloballock(OsHandle m) {
  gfake.lockcalls++;
  FakeBlock* b = findblock(m);
  if (!b) return nullptr;
  if (gfake.lockfailat && gfake.lockcalls == gfake.lockfailat) return nullptr;
  b->locks++;
  return b->bytes.data();
}

int osglobalunlock(OsHandle m) {
  FakeBlock* b = findblock(m);
  if (!b || b->locks == 0) return 0;
  return --b->locks > 0;
}

OsHandle osglobalfree(OsHandle m) {
  for (size_t i = 0; i < gfake.blocks.size(); i++)
    if (gfake.blocks[i].handle == m) {
      gfake.blocks.erase(gfake.blocks.begin() + (long)i);
      return 0;
    }
  return m;
}

// ---- what is held -----------------------------------------------------------

int fakelockedblocks() {
  int n = 0;
  for (auto& b : gfake.blocks)
    if (b.locks > 0) n++;
  return n;
}

int fakeboxeswithclipboard() {
  int n = 0;
  for (auto& b : gfake.boxes)
    if (b.clipboardopen) n++;
  return n;
}

std::string fakeleftovers() {
  std::string out;
  char line[160];
  for (auto& f : gfake.openfiles) out += "open file: " + f.second + "\n";
  for (auto& b : gfake.blocks) {
    snprintf(line, sizeof line, "memory block %#lx: %zu bytes, %d locks\n", (unsigned long)b.handle, b.bytes.size(),
             b.locks);
    out += line;
  }
  if (gfake.clipboardopen) out += "clipboard open\n";
  return out;
}
