// Seeded random action sequences through the capture control and the burst
// engine on the fake desktop: ticks, PrintScreen images, the capture key,
// clicks on 連写 and SS, count edits, 停止 and スタート, speed changes,
// frames too large for a BMP file, grabs that copy nothing and injected
// faults of the disk, the clipboard, memory and folders; every question about
// a failed write is answered as a user might (make room and retry, retry,
// back out of the discard, discard); the sequence ends in one of the ways a
// program ends (終了, Enter, Esc, the close box, the window destroyed,
// Windows ending the session).
//
// After every step nothing taken is lost: every frame is a whole file whose
// pixels are the screen's or still in memory, unless the user chose to
// discard it or it is too large ever to be a file (then it is told); only
// the end of the session with the disk failing may lose frames unasked.
// Every DATA line names a frame file on disk, once, and lines are missing only
// as told.  A screenshot image leaves the clipboard only as a whole file; the
// image on the clipboard at start stays until a new one comes.  Timer 1 runs
// exactly when the run state says so; no message box comes while the
// clipboard is open.  At the end nothing is held.  Every fault fires in at
// least kshare of the sequences.  A failing sequence prints its seed and steps.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <map>
#include <random>
#include <set>
#include <string>
#include <sys/stat.h>
#include <vector>

#include "app/capctl.h"
#include "app/mainwin.h"
#include "app/startup.h"
#include "capture/burst.h"
#include "capture/capture.h"
#include "kesto.h"
#include "os/fake/fakeos.h"
#include "res/resource.h"
#include "support.h"

namespace {

const uint32_t kseed = 17;
const int ksequences = 100;
const int ksteps = 150;
const double kshare = 0.2;  // each fault fires in at least this share of sequences

const char* const kfaults[] = {"disk full",     "write fails",  "short write",    "close fails",  "flush fails",
                               "denied",        "clipboard held", "allocation refused", "lock refused",
                               "no folder",     "window gone",  "grab fails",     "copy fails",   "frame too large",
                               "unreadable image"};
const int kfaultcount = (int)(sizeof kfaults / sizeof kfaults[0]);

bool big(const FakeBlock& b) { return b.bytes.size() > FRAMEFILEMAX + FRAMEPIXELS; }

class Sequence;
Sequence* gseq;

class Sequence {
 public:
  explicit Sequence(uint32_t seed) : rnd(seed) {}
  std::vector<std::string> steps;
  std::string failure;
  std::set<std::string> fired;
  long taken = 0, ondisk = 0, discarded = 0, boxes = 0;  // figures at the end

  void run(const std::string& folder) {
    dir = folder;
    gseq = this;
    begin();
    for (int i = 0; i < ksteps && failure.empty(); i++) {
      if (mkdirsteps > 0 && --mkdirsteps == 0) gfake.mkdirfails = 0;
      step();
      check();
    }
    if (failure.empty()) end();
    gfake.onanswer = nullptr;
    gseq = nullptr;
  }

  // The user's answer to a message box.
  int answer(const FakeMessageBox& b) {
    if ((b.type & 0xF) == OS_MB_YESNO && b.text.find("を破棄します") != std::string::npos) {
      if (!discardnext) return OS_IDNO;
      for (const FakeBlock& x : gfake.blocks) (big(x) ? bigdiscarded : discarded)++;
      log("  answer: discard " + std::to_string(gfake.blocks.size()));
      return OS_IDYES;
    }
    if ((b.type & 0xF) != OS_MB_RETRYCANCEL) return OS_IDOK;
    int r = ++asked > 6 ? 0 : pick(20);
    discardnext = r >= 17;
    if (r >= 14) {
      log(discardnext ? "  answer: cancel" : "  answer: cancel, then no");
      return OS_IDCANCEL;
    }
    if (r < 10) {
      log("  answer: room made, retry");
      clearfaults();
    } else {
      log("  answer: retry");
    }
    return OS_IDRETRY;
  }

 private:
  std::mt19937 rnd;
  std::string dir;
  OsWin main = 0, area = 0;
  uint64_t clock = 0;  // ms since the sequence began
  long allocpending = 0, lockpending = 0;  // an injected refusal not reached yet
  std::map<std::string, long> armed;       // count faults as set, to see them fire
  size_t boxesseen = 0;
  int mkdirsteps = 0;  // steps until folders can be made again
  int asked = 0;       // questions in a row in this step
  bool discardnext = false;
  long bigtaken = 0, bigdiscarded = 0, skippedtold = 0, logtold = 0, lostatend = 0;
  OsHandle startimage = 0, shot = 0;  // the image at start; a PrintScreen in screenshot mode
  long shotfiles = 0;                  // screenshot files when it was put
  struct Folder {
    long long seen = -1;  // its modification time when it was last read
    long frames = 0, lines = 0;
  };
  std::map<std::string, Folder> folders;

  int pick(int n) { return (int)(rnd() % (uint32_t)n); }
  void log(const std::string& s) { steps.push_back(s); }
  void fail(const std::string& why) {
    if (failure.empty()) failure = why;
  }

  // The clock moves one period a tick; the local time follows it, so bursts
  // started at different times get different folders.
  void settime() {
    uint64_t s = clock / 1000;
    gfake.localtime = OsTime{2026, 12, 2, (uint16_t)(8 + s / 86400 % 20), (uint16_t)(s / 3600 % 24),
                             (uint16_t)(s / 60 % 60), (uint16_t)(s % 60), (uint16_t)(clock % 1000)};
  }
  void tick() {
    clock += gkesto.mw.period ? gkesto.mw.period : 29;
    gfake.perfcount = (int64_t)clock * 10000;
    settime();
    asked = 0;
    if (fakefindtimer(main, 1)) mainwintimer(1);
  }
  void poll() {
    clock += 30;  // timer 2's period
    settime();
    if (fakefindtimer(main, 2)) mainwintimer(2);
    fakepump();
  }
  void click(int id) {
    oscheckdlgbutton(main, id, !osisdlgbuttonchecked(main, id));
    mainwincommand(id, OS_BN_CLICKED);
    fakepump();
  }
  bool diskfaulty() const {
    return gfake.diskroom >= 0 || gfake.writefails || gfake.shortwrites || gfake.closefails || !gfake.denied.empty();
  }
  void clearfaults() {
    gfake.diskroom = -1;
    gfake.writefails = gfake.shortwrites = gfake.closefails = 0;
    gfake.denied.clear();
  }

  void begin() {
    kestoreset();
    gfake.cwd = dir;
    gfake.onanswer = [](const FakeMessageBox& b) { return gseq->answer(b); };
    // Memory for about 100 frames of the area above the 64 MiB reserve.
    gfake.availphys = 67108864u + 1048576u;
    std::string ini = "// loginit.txt\r\nHOME=" + dir + "\r\nDGPATH=" + dir +
                      "/golf.txt\r\nREAD_COURSE=0\r\nSAVE_COURSE=0\r\nIEXPLORE=0\r\nINTERVAL=7\r\nCAPTUREPAGE=8"
                      "\r\nDEFAULTAREA=-29,-3,-3,-3\r\nCUSTOMAREA=-31,-5,-5,-5\r\nENABLEAREA=0\r\nLOCKONWINDOW=1"
                      "\r\nENABLECAPKEY=2\r\nSELECTCAPKEY=F12\r\n";
    writefile(dir + "/loginit.txt", ini);
    writefile(dir + "/golf.txt", "** Stroke Begin **\r\n");
    settime();
    setpaths(dir.c_str());
    if (pick(2)) startimage = fakeclipimage(320, 240);  // the user's, before KESTO starts
    main = oscreatemaindialog(&kestohandlers);
    mainwincommand(IDC_START, 0);
    area = fakeaddwindow("OTHER", "area", 0, 0, 64, 48);
    click(IDC_BURST);
    log(std::string("start") + (startimage ? " with an image on the clipboard" : "") + ", burst box click");
  }

  // One random step; its line goes to the steps of the sequence.
  void step() {
    int r = pick(20), n = 0;
    std::string say;
    if (r < 6 || r == 13) {  // ticks, the commonest step
      n = 1 + pick(12);
      say = "tick x" + std::to_string(n);
      for (int i = 0; i < n; i++) tick();
    } else if (r < 8) {
      say = "PrintScreen";
      OsHandle img = fakeclipimage(64 + pick(300), 48 + pick(200));
      startimage = 0;
      if (pick(5) == 0) {
        gfake.images.back().rowsfail = 1;
        say += " (unreadable)";
      }
      if (gkesto.mw.cap.mode == ScreenshotMode) shot = img, shotfiles = ssfiles();
    } else if (r == 8) {
      say = "capture key";
      gfake.keystate[0x7B] = 0x8000;
      poll();
      gfake.keystate[0x7B] = 0;
      poll();
    } else if (r < 11) {
      say = "burst box click";
      click(IDC_BURST);
    } else if (r == 11) {
      say = "SS click";
      click(IDC_SS);
    } else if (r == 12) {
      n = pick(4) == 0 ? 0 : 1 + pick(60);
      say = "count " + std::to_string(n);
      ossetdlgitemint(main, IDC_COUNT, n, 0);
      fakepump();
    } else if (r == 13 && pick(3) == 0) {  // less often than the others
      say = "stop";
      mainwincommand(IDC_STOP, 0);
    } else if (r == 14) {
      say = "start";
      mainwincommand(IDC_START, 0);
    } else if (r == 15) {
      gkesto.set.interval = pick(INTERVALROWS);
      say = "speed row " + std::to_string(gkesto.set.interval);
    } else {
      say = fault();
    }
    log(say);
  }

  void arm(const char* name, long& count, long n) {
    count = n;
    armed[name] = n;
  }

  std::string fault() {
    switch (pick(13)) {
      case 0:
        gfake.diskroom = pick(3) == 0 ? -1 : (int64_t)pick(60000);
        return "disk room " + std::to_string(gfake.diskroom);
      case 1:
        arm("write fails", gfake.writefails, 1 + pick(3));
        return "next " + std::to_string(gfake.writefails) + " writes fail";
      case 2:
        arm("short write", gfake.shortwrites, 1);
        return "next write short";
      case 3:
        arm("close fails", gfake.closefails, 1);
        return "next close fails";
      case 4:
        arm("flush fails", gfake.flushfails, 1);
        return "next flush fails";
      case 5:
        gfake.denied.push_back(dir + "/");
        return "the program folder denied";
      case 6:
        arm("clipboard held", gfake.clipboardheld, 1 + pick(3));
        return "clipboard held for " + std::to_string(gfake.clipboardheld) + " opens";
      case 7:
        if (pick(2)) {
          gfake.allocrefuse = allocpending = gfake.allocs + 1 + pick(8);
          return "allocation " + std::to_string(allocpending) + " refused";
        }
        gfake.lockfailat = lockpending = gfake.lockcalls + 1 + pick(8);
        return "lock " + std::to_string(lockpending) + " refused";
      case 8:
        gfake.mkdirfails = 1;
        mkdirsteps = 3 + pick(6);
        return "no folder can be made for " + std::to_string(mkdirsteps) + " steps";
      case 9:
        if (!fakewindow(area)) {
          area = fakeaddwindow("OTHER", "area", 0, 0, 64, 48);
          return "the area window back";
        }
        fakeclosewindow(area);
        return "the area window gone";
      case 10:
        if (pick(2)) arm("grab fails", gfake.grabfails, 1 + pick(3));
        else arm("copy fails", gfake.blitfails, 1 + pick(3));
        return "next grabs fail";
      default: {
        // The area grows past what a BMP file may hold for one tick of a
        // burst, or changes its size for good.
        FakeWindow* w = fakewindow(area);
        if (!w) return "no area to resize";
        if (pick(3) == 0) {
          w->rect[2] = 16 + pick(200);
          w->rect[3] = 16 + pick(150);
          return "area " + std::to_string(w->rect[2]) + " x " + std::to_string(w->rect[3]);
        }
        // A burst runs meanwhile: started first when none does.
        if (gkesto.mw.cap.mode != BurstMode) click(IDC_BURST);
        if (gkesto.mw.cap.burst == BurstIdle) {
          fakeclipimage(320, 240);
          startimage = shot = 0;
          tick();
          if (!(w = fakewindow(area))) return "the area gone";
        }
        int32_t was[4];
        memcpy(was, w->rect, sizeof was);
        w->rect[2] = 2561;
        w->rect[3] = 1638;
        long before = gfake.grabsok;
        tick();
        bigtaken += gfake.grabsok - before;
        if (gfake.grabsok > before) fired.insert("frame too large");
        if ((w = fakewindow(area))) memcpy(w->rect, was, sizeof was);
        return "a burst, the area too large for one tick";
      }
    }
  }

  static std::vector<std::string> names(const std::string& folder) {
    std::vector<std::string> out;
    DIR* d = opendir(folder.c_str());
    if (!d) return out;
    while (dirent* e = readdir(d))
      if (e->d_name[0] != '.') out.push_back(e->d_name);
    closedir(d);
    return out;
  }

  // A whole BMP file of the screen's picture from (0, 0); its size else -1.
  static long wholepicture(const std::string& path) {
    std::string data = readfile(path);
    const uint8_t* p = (const uint8_t*)data.data();
    if (data.size() < 54 || p[0] != 'B' || p[1] != 'M' || get32(p + 2) != data.size() ||
        get32(p + 34) + 54 != data.size())
      return -1;
    int32_t w = (int32_t)get32(p + 18), h = (int32_t)get32(p + 22);
    if (w <= 0 || h <= 0 || (uint64_t)rowstride(w) * (uint64_t)h + 54 != data.size()) return -1;
    for (int32_t y = 0; y < h; y++)
      for (int32_t x = 0; x < w; x++) {
        const uint8_t* q = p + 54 + (size_t)rowstride(w) * (size_t)(h - 1 - y) + 3 * (size_t)x;
        if (((uint32_t)q[2] << 16 | (uint32_t)q[1] << 8 | q[0]) != fakepixel(x, y)) return -1;
      }
    return (long)data.size();
  }

  long ssfiles() {
    long n = 0;
    for (const std::string& m : names(dir))
      if (m.rfind("ss", 0) == 0)
        for (const std::string& d : names(dir + "/" + m))
          for (const std::string& f : names(dir + "/" + m + "/" + d)) {
            if (wholepicture(dir + "/" + m + "/" + d + "/" + f) < 0) fail("a screenshot not whole: " + f);
            n++;
          }
    return n;
  }

  // Frame files of every burst folder (cap*/*/c?????.bmp), each of which
  // must be a whole picture of the screen, and the DATA lines of its log,
  // each of which must name one of them, once.  A folder is read again only
  // once its entries changed.
  void burstfiles(long* frames, long* lines) {
    *frames = *lines = 0;
    for (const std::string& m : names(dir)) {
      if (m.rfind("cap", 0) != 0) continue;
      for (const std::string& b : names(dir + "/" + m)) {
        std::string folder = dir + "/" + m + "/" + b;
        struct stat st;
        if (stat(folder.c_str(), &st) != 0) continue;
        Folder& f = folders[folder];
        long long t = st.st_mtim.tv_sec * 1000000000LL + st.st_mtim.tv_nsec;
        if (f.seen != t || gkesto.burst.log) {  // an open log grows without changing the folder
          f.seen = t;
          f.frames = f.lines = 0;
          std::set<std::string> files, named;
          std::string logtext;
          for (const std::string& name : names(folder)) {
            if (name.size() == 10 && name[0] == 'c' && name.compare(6, 4, ".bmp") == 0) {
              if (wholepicture(folder + "/" + name) < 0) fail("a frame file not whole: " + folder + "/" + name);
              files.insert(name);
            } else if (name.size() > 4 && name.compare(name.size() - 4, 4, ".txt") == 0) {
              logtext = readfile(folder + "/" + name);
            }
          }
          for (size_t p = logtext.find("DATA c"); p != std::string::npos; p = logtext.find("DATA c", p + 1)) {
            std::string name = logtext.substr(p + 5, 10);
            if (!files.count(name)) fail("a DATA line without its frame file: " + folder + "/" + name);
            if (!named.insert(name).second) fail("two DATA lines for " + folder + "/" + name);
          }
          f.frames = (long)files.size();
          f.lines = (long)named.size();
        }
        *frames += f.frames;
        *lines += f.lines;
      }
    }
  }

  void check() {
    // What was told, from the messages since the last check.
    for (; boxesseen < gfake.boxes.size(); boxesseen++) {
      const std::string& t = gfake.boxes[boxesseen].text;
      auto count = [&](const char* what) {
        size_t at = t.find(what);
        return at == std::string::npos ? 0L : strtol(t.c_str() + at + strlen(what), nullptr, 10);
      };
      skippedtold += count("連写の画像 ") * (t.find("大きすぎて BMP") != std::string::npos);
      logtold += count("連写のログ ");
      if (t.find("(エラー 112)") != std::string::npos) fired.insert("disk full");
      if (t.find("(エラー 5)") != std::string::npos) fired.insert("denied");
      if (t.find("フォルダを作成できませんでした") != std::string::npos) fired.insert("no folder");
      if (t.find("読み取れない") != std::string::npos) fired.insert("unreadable image");
      if (t.find("画面を取り込めなかった") != std::string::npos && !fakewindow(area)) fired.insert("window gone");
    }
    for (auto& a : armed) {
      long now = a.first == "write fails"      ? gfake.writefails
                 : a.first == "short write"    ? gfake.shortwrites
                 : a.first == "close fails"    ? gfake.closefails
                 : a.first == "flush fails"    ? gfake.flushfails
                 : a.first == "clipboard held" ? gfake.clipboardheld
                 : a.first == "grab fails"     ? gfake.grabfails
                                               : gfake.blitfails;
      if (now < a.second) fired.insert(a.first);
      a.second = now;
    }
    if (allocpending && gfake.allocs >= allocpending) fired.insert("allocation refused"), allocpending = 0;
    if (lockpending && gfake.lockcalls >= lockpending) fired.insert("lock refused"), lockpending = 0;
    if (!fakewindow(area) && gkesto.burst.grabfails) fired.insert("window gone");

    // Frames: every one taken is a whole file, in memory, discarded by the
    // user, or too large ever to be a file.
    long live = 0, biglive = 0, lines = 0;
    for (const FakeBlock& b : gfake.blocks) (big(b) ? biglive : live)++;
    burstfiles(&ondisk, &lines);
    taken = gfake.grabsok;
    if (taken - bigtaken != live + ondisk + discarded + lostatend)
      fail("frames taken " + std::to_string(taken - bigtaken) + ", in memory " + std::to_string(live) + ", on disk " +
           std::to_string(ondisk) + ", discarded by the user " + std::to_string(discarded) + ", lost at the end " +
           std::to_string(lostatend));
    long skipped = bigtaken - biglive - bigdiscarded;
    if (skippedtold + gkesto.burst.skipped != skipped)
      fail("frames too large " + std::to_string(skipped) + ", told " + std::to_string(skippedtold) + " + " +
           std::to_string(gkesto.burst.skipped));
    if (ondisk - lines > logtold + gkesto.burst.logfails)
      fail(std::to_string(ondisk - lines) + " DATA lines missing, " + std::to_string(logtold) + " + " +
           std::to_string(gkesto.burst.logfails) + " told");

    // Screenshots: an image leaves the clipboard only as a whole file.
    if (gkesto.mw.cap.mode != ScreenshotMode) shot = 0;
    if (shot && gfake.clipimage != shot) {
      if (ssfiles() <= shotfiles) fail("a screenshot image left the clipboard unsaved");
      shot = 0;
    }
    if (startimage && (gfake.clipimage != startimage || ssfiles() != 0))
      fail("the image on the clipboard at start was taken");

    RunState r = gkesto.mw.run;
    bool t1 = fakefindtimer(main, 1) != nullptr;
    if (t1 != (r == Running || r == Ending) && !gfake.quitposted)
      fail(std::string("timer 1 ") + (t1 ? "runs" : "stopped") + " in run state " + std::to_string(r));
    if (fakeboxeswithclipboard() != 0) fail("a message box came while the clipboard was open");
    boxes = (long)gfake.boxes.size();
  }

  void end() {
    static const char* const ways[] = {"終了", "Enter", "Esc", "the close box", "the window destroyed",
                                       "the session ends"};
    int way = pick(6);
    log(std::string("end: ") + ways[way]);
    bool faulty = diskfaulty();
    switch (way) {
      case 0:
      case 1: mainwincommand(IDC_END, 0); break;  // Enter is the dialog's IDOK, the end button's id
      case 2: mainwincommand(2, 0); break;
      case 3: mainwinclose(); break;
      case 4: mainwindestroy(); break;
      default:
        if (mainwinqueryend() != 1) fail("the session may not end");
        if (burstpending() && gfake.blockreason.empty()) fail("Windows was not asked to wait for the frames");
        mainwinendsession(1);
        if (!gfake.blockreason.empty()) fail("the reason to wait outlived the session");
        break;
    }
    for (int i = 0; i < 20000 && !gfake.quitposted; i++) tick();
    if (!gfake.quitposted) fail("the program did not end");
    if (way == 5) {
      // No one was there to answer: only frames the disk still refused may
      // be lost.
      long small = 0, lines = 0, files = 0;
      for (const FakeBlock& b : gfake.blocks) small += !big(b);
      burstfiles(&files, &lines);
      long lost = gfake.grabsok - bigtaken - small - files - discarded;
      if (lost > 0 && faulty) lostatend = lost;
    }
    check();
    std::string left = fakeleftovers();
    if (!left.empty()) fail("held at the end: " + left);
    if (gkesto.burst.taken != gkesto.burst.written) fail("frames left in memory");
  }
};

}  // namespace

TEST(CaptureSequences, NothingTakenIsLostWhateverTheUserAndTheSystemDo) {
  // KESTO_SEQ_SEED runs other sequences than CI's.
  const char* env = getenv("KESTO_SEQ_SEED");
  uint32_t first = env ? (uint32_t)strtoul(env, nullptr, 10) : kseed;
  std::mt19937 seeds(first);
  long taken = 0, ondisk = 0, discarded = 0, boxes = 0;
  std::map<std::string, int> fired;
  int run = 0;
  for (int k = 0; k < ksequences; k++, run++) {
    uint32_t seed = seeds();
    std::string dir = maketempdir();
    Sequence s(seed);
    s.run(dir);
    gfake.blocks.clear();
    removetree(dir);
    taken += s.taken;
    ondisk += s.ondisk;
    discarded += s.discarded;
    boxes += s.boxes;
    for (const std::string& f : s.fired) fired[f]++;
    if (!s.failure.empty()) {
      std::string all;
      for (size_t i = 0; i < s.steps.size(); i++) all += "  " + std::to_string(i) + ": " + s.steps[i] + "\n";
      ADD_FAILURE() << "sequence " << k << " (seed " << seed << ", from seed " << first << "): " << s.failure
                    << "\nsteps:\n" << all;
      return;
    }
  }
  printf("%d sequences of %d steps from seed %u: %ld frames taken, %ld on disk, %ld discarded by the user; "
         "%ld messages\nfaults fired (share of sequences):",
         ksequences, ksteps, first, taken, ondisk, discarded, boxes);
  for (const char* f : kfaults) {
    printf(" %s %.0f%%,", f, 100.0 * fired[f] / run);
    EXPECT_GE(fired[f], kshare * run) << f << " fired in " << fired[f] << " of " << run << " sequences";
  }
  printf("\n");
}
