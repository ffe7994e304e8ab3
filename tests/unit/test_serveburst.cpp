// The page server's "/burst/": the last burst's viewer, frames, log and
// animated PNG streamed from the disk, everything else refused whatever the
// path says; and the burst event a burst's write-out sends to the streams.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <sys/stat.h>
#include <vector>

#include "app/mainwin.h"
#include "app/server.h"
#include "app/startup.h"
#include "app/ticks.h"
#include "kesto.h"
#include "os/fake/fakeos.h"
#include "res/resource.h"
#include "support.h"

namespace {

class ServeBurst : public ::testing::Test {
 protected:
  std::string dir, golf;
  OsWin main = 0;

  void SetUp() override {
    kestoreset();
    dir = maketempdir();
    gfake.cwd = dir;
    std::string gamedir = dir + "/GOLFDUKE_game_folder_of_the_burst_server_tests";
    mkdir(gamedir.c_str(), 0755);
    golf = gamedir + "/golf.txt";
    writefile(golf, "** Stroke Begin **\r\n");
  }
  void TearDown() override {
    serverstop();
    gfake.blocks.clear();
    if (gkesto.burst.log) osclosehandle(gkesto.burst.log);
    gkesto.burst.log = 0;
    removetree(dir);
  }
  // The main window with the server on, bursts of five frames.
  void start() {
    std::string ini = "// loginit.txt\r\nHOME=" + dir + "\r\nDGPATH=" + golf +
                      "\r\nREAD_COURSE=0\r\nSAVE_COURSE=0\r\nIEXPLORE=0\r\nINTERVAL=7\r\nCAPTUREPAGE=5"
                      "\r\nDEFAULTAREA=-29,-3,-3,-3\r\nCUSTOMAREA=-31,-5,-5,-5\r\n"
                      "ENABLEAREA=0\r\nLOCKONWINDOW=1\r\nENABLECAPKEY=0\r\nSELECTCAPKEY=L-Alt\r\n";
    writefile(dir + "/loginit.txt", ini);
    writefile(dir + "/live.txt", "SERVER=1\r\nPORT=8089\r\n");
    ASSERT_TRUE(setpaths(dir.c_str()));
    main = oscreatemaindialog(&kestohandlers);
    ASSERT_EQ(gserver.on, 1);
  }
  // A burst folder (host path) whose log lists the given frames, each file
  // holding its own bytes.
  void burst(const std::string& path, const std::vector<int>& frames, int tic = 33) {
    mkdir(path.substr(0, path.rfind('/')).c_str(), 0755);
    mkdir(path.c_str(), 0755);
    std::string log = "disk free = 10 MB\r\n";
    for (size_t i = 0; i < frames.size(); i++) {
      char name[16], line[96];
      snprintf(name, sizeof name, "c%05d.bmp", frames[i]);
      writefile(path + "/" + name, "BM frame " + std::to_string(frames[i]) + " of " + path);
      snprintf(line, sizeof line, "DATA %s Tic=%3d ms date 20090405_14:03_22.187\r\n", name, i == 0 ? 0 : tic);
      log += line;
    }
    writefile(path + "/c1403_22_187.txt", log);
    writefile(path + "/index.html", "<!doctype html><title>viewer of " + path + "</title>");
  }
  OsSocket ask(const std::string& bytes) {
    OsSocket c = fakeconnect(8089);
    EXPECT_NE(c, 0u);
    fakeclientsend(c, bytes);
    return c;
  }
  // One answer, the client closing once it has it.
  std::string get(const std::string& path, const char* method = "GET") {
    return once(std::string(method) + " " + path + " HTTP/1.1\r\nHost: 127.0.0.1:8089\r\n\r\n");
  }
  std::string once(const std::string& bytes) {
    OsSocket c = ask(bytes);
    std::string a = fakeclientread(c);
    fakeclientclose(c);
    return a;
  }
  static std::string bodyof(const std::string& answer) {
    size_t k = answer.find("\r\n\r\n");
    return k == std::string::npos ? std::string() : answer.substr(k + 4);
  }
  static std::string status(const std::string& answer) { return answer.substr(9, 3); }
  static bool has(const std::string& answer, const std::string& header) {
    return answer.substr(0, answer.find("\r\n\r\n") + 2).find(header + "\r\n") != std::string::npos;
  }
  bool open(OsSocket c) { return fakesocket(c) && fakesocket(c)->open; }
  int32_t connof(OsSocket c) {
    for (int32_t k = 0; k < SERVERCONNS; k++)
      if (gserver.conn[k].state != ConnFree && gserver.conn[k].s == c) return k;
    return -1;
  }
  // n timer-1 ticks; the clock moves one period each.
  void tick(int n = 1) {
    for (int i = 0; i < n; i++) {
      gfake.perfcount += (int64_t)gkesto.mw.period * 10000;
      gfake.localtime.ms = (uint16_t)((gfake.localtime.ms + gkesto.mw.period) % 1000);
      if (fakefindtimer(main, 1)) mainwintimer(1);
    }
  }
};

// A burst of a few hundred bytes: each file the burst wrote is served with
// its own type and length; HEAD gives the head alone.
TEST_F(ServeBurst, TheLastBurstsFilesAreServed) {
  start();
  const std::string older = dir + "/cap200904/d05_1403_22_18", last = dir + "/cap200904/d06_0910_00_00";
  burst(older, {1, 2, 3});
  burst(last, {1, 2, 4});
  writefile(last + "/burst.png", std::string("\x89PNG\r\n\x1a\n first run", 19));
  writefile(last + "/burst_2.png", std::string("\x89PNG\r\n\x1a\n second run", 20));

  struct Want {
    std::string path, file, type;
  };
  std::vector<Want> wants = {
      {"/burst/", "index.html", "text/html; charset=utf-8"},
      {"/burst/?replay=1", "index.html", "text/html; charset=utf-8"},
      {"/burst/index.html", "index.html", "text/html; charset=utf-8"},
      {"/burst/c00001.bmp", "c00001.bmp", "image/bmp"},
      {"/burst/c00002.bmp", "c00002.bmp", "image/bmp"},
      {"/burst/c00004.bmp", "c00004.bmp", "image/bmp"},
      {"/burst/c1403_22_187.txt", "c1403_22_187.txt", "text/plain"},
      {"/burst/burst.png", "burst.png", "image/png"},
      {"/burst/burst_2.png", "burst_2.png", "image/png"},
  };
  for (const Want& w : wants) {
    std::string a = get(w.path);
    std::string bytes = readfile(last + "/" + w.file);
    ASSERT_FALSE(bytes.empty());
    EXPECT_EQ(a.rfind("HTTP/1.1 200 OK\r\n", 0), 0u) << w.path << "\n" << a;
    EXPECT_TRUE(has(a, "Content-Type: " + w.type)) << w.path;
    EXPECT_TRUE(has(a, "Content-Length: " + std::to_string(bytes.size()))) << w.path;
    EXPECT_TRUE(has(a, "Cache-Control: no-store")) << w.path;
    EXPECT_EQ(bodyof(a), bytes) << w.path;
    std::string h = get(w.path, "HEAD");
    EXPECT_TRUE(has(h, "Content-Length: " + std::to_string(bytes.size()))) << w.path;
    EXPECT_EQ(bodyof(h), "") << w.path;
  }
  // Names the burst may write but has not (yet): not found.
  EXPECT_EQ(status(get("/burst/burst_3.png")), "404");
  ASSERT_EQ(remove((last + "/c00002.bmp").c_str()), 0);
  EXPECT_EQ(status(get("/burst/c00002.bmp")), "404");
  // The burst written since start comes before the newest folder.
  snprintf(gkesto.burst.lastfolder, PATHSIZE, "%s\\cap200904\\d05_1403_22_18", dir.c_str());
  EXPECT_EQ(bodyof(get("/burst/c00003.bmp")), readfile(older + "/c00003.bmp"));
  EXPECT_EQ(bodyof(get("/burst/")), readfile(older + "/index.html"));
  EXPECT_EQ(status(get("/burst/c00004.bmp")), "404") << "a frame of the other burst";
  EXPECT_EQ(fakeleftovers(), "");
}

// Nothing but the names the burst wrote, whatever the path says.  The
// request reader refuses a path that tries to leave its folder (400); every
// other name is compared byte for byte with the burst's own names (404):
// Windows would open "C00001.BMP", "c00001.bmp." or "c00001.bmp " as the
// frame, and "c00001.bmp::$DATA" as its stream, so none of them is one.
TEST_F(ServeBurst, EverythingElseIsRefused) {
  start();
  const std::string older = dir + "/cap200904/d05_1403_22_18", last = dir + "/cap200904/d06_0910_00_00";
  burst(older, {1, 2, 3});
  burst(last, {1, 2, 4});
  writefile(last + "/c00003.bmp", "BM a frame the log does not list");
  writefile(last + "/notes.txt", "the user's own notes");
  writefile(last + "/loginit.txt", "SECRET user file");
  writefile(dir + "/secret.txt", "SECRET in the program folder");
  // What Windows would open for names differing in case or trailing dots:
  // here distinct files, so serving any of them shows.  (Not the log's:
  // the log is found by a search that ignores case, as on Windows.)
  for (const char* n : {"C00001.BMP", "c00001.BMP", "c00001.bmp.", "c00001.bmp..", "INDEX.HTML", "index.html.", "Burst.png", "burst.PNG", "burst.png.", "burst_02.png",
                        "burst_1.png", "c00000.bmp"})
    writefile(last + "/" + n, std::string("SECRET ") + n);

  std::vector<std::pair<std::string, std::string>> refused = {
      {"/burst/../loginit.txt", "400"},
      {"/burst/../../secret.txt", "400"},
      {"/burst/%2e%2e/loginit.txt", "400"},
      {"/burst/%2E%2E/secret.txt", "400"},
      {"/burst/.%2e/secret.txt", "400"},
      {"/burst/%2e/c00001.bmp", "400"},
      {"/burst/./c00001.bmp", "400"},
      {"/burst/..%2fsecret.txt", "400"},
      {"/burst/..%5csecret.txt", "400"},
      {"/burst/..\\secret.txt", "400"},
      {"/burst/c00001.bmp%00", "400"},
      {"/burst/C:\\Windows\\win.ini", "400"},
      {"/burst/C:/Windows/win.ini", "404"},
      {"/burst/C:%2fsecret.txt", "400"},
      {"/burst//etc/passwd", "404"},
      {"/burst//tmp/secret.txt", "404"},
      {"/burst/\\\\server\\share\\x", "400"},
      {"/burst", "404"},
      {"/burstc00001.bmp", "404"},
      {"/burst/notes.txt", "404"},
      {"/burst/loginit.txt", "404"},
      {"/burst/c00003.bmp", "404"},
      {"/burst/d05_1403_22_18/c00001.bmp", "404"},
      {"/burst/cap200904/d05_1403_22_18/c00001.bmp", "404"},
      {"/burst/c00001.bmp/", "404"},
      {"/burst/c00001.bmp/x", "404"},
      {"/burst/C00001.BMP", "404"},
      {"/burst/c00001.BMP", "404"},
      {"/burst/C00001.bmp", "404"},
      {"/burst/c00001.bmp.", "404"},
      {"/burst/c00001.bmp..", "404"},
      {"/burst/c00001.bmp%20", "404"},
      {"/burst/c00001.bmp%2E", "400"},
      {"/burst/c00001.bmp::$DATA", "404"},
      {"/burst/c0001.bmp", "404"},
      {"/burst/c000001.bmp", "404"},
      {"/burst/c00000.bmp", "404"},
      {"/burst/c%30%30%30%301.bmp", "404"},
      {"/burst/INDEX.HTML", "404"},
      {"/burst/index.html.", "404"},
      {"/burst/index.html%20", "404"},
      {"/burst/index.htm", "404"},
      {"/burst/C1403_22_187.TXT", "404"},
      {"/burst/c1403_22_187.txt.", "404"},
      {"/burst/Burst.png", "404"},
      {"/burst/burst.PNG", "404"},
      {"/burst/burst.png.", "404"},
      {"/burst/burst_1.png", "404"},
      {"/burst/burst_02.png", "404"},
      {"/burst/burst_.png", "404"},
      {"/burst/burst_2x.png", "404"},
      {"/burst/burst_-2.png", "404"},
  };
  for (auto& r : refused) {
    std::string a = get(r.first);
    EXPECT_EQ(a.substr(0, 12), "HTTP/1.1 " + r.second) << r.first;
    EXPECT_EQ(bodyof(a).substr(0, 3), r.second) << r.first;
    EXPECT_TRUE(has(a, "Connection: close")) << r.first;
  }
  // Other request forms: an absolute address, a Windows path, a foreign Host.
  std::vector<std::pair<std::string, std::string>> forms = {
      {"GET http://127.0.0.1:8089/burst/c00001.bmp HTTP/1.1\r\nHost: 127.0.0.1:8089\r\n\r\n", "400"},
      {"GET C:\\kesto\\loginit.txt HTTP/1.1\r\nHost: 127.0.0.1:8089\r\n\r\n", "400"},
      {"GET /burst/c00001.bmp HTTP/1.1\r\nHost: attacker.example:8089\r\n\r\n", "403"},
      {"POST /burst/c00001.bmp HTTP/1.1\r\nHost: 127.0.0.1:8089\r\n\r\n", "405"},
  };
  for (auto& r : forms) EXPECT_EQ(status(once(r.first)), r.second) << r.first;
  for (const FakeSocket& s : gfake.sockets) EXPECT_EQ(s.out.find("SECRET"), std::string::npos);
  // The same names are served once they are the burst's.
  EXPECT_EQ(status(get("/burst/c00001.bmp")), "200");
  // No burst at all: everything under /burst/ is not found.
  removetree(dir + "/cap200904");
  rmdir((dir + "/cap200904").c_str());
  EXPECT_EQ(status(get("/burst/")), "404");
  EXPECT_EQ(status(get("/burst/c00001.bmp")), "404");
  EXPECT_EQ(fakeleftovers(), "");
}

// A file of several MB goes to a slow reader through the connection's one
// buffer: read a piece at a time as the socket takes more, while other
// clients are answered in between.
TEST_F(ServeBurst, ALargeFileIsStreamedToASlowReader) {
  start();
  const std::string last = dir + "/cap200904/d06_0910_00_00";
  burst(last, {1});
  std::string big(3 * 1024 * 1024 + 17, '\0');
  uint32_t x = 12345;
  for (char& ch : big) {
    x = x * 1103515245u + 12345u;
    ch = (char)(x >> 24);
  }
  writefile(last + "/burst.png", big);

  OsSocket c = fakeconnect(8089);
  fakeclientroom(c, 5000);
  fakeclientsend(c, "GET /burst/burst.png HTTP/1.1\r\nHost: 127.0.0.1:8089\r\n\r\n");
  std::string got = fakeclientread(c);
  int32_t k = connof(c);
  ASSERT_GE(k, 0);
  EXPECT_GT(gserver.conn[k].fileleft, (uint32_t)(big.size() - 2 * SERVEROUT)) << "only a piece is read at a time";
  int steps = 0;
  while (!fakesocket(c)->shut && steps < 100000) {
    fakeclientroom(c, 4999 + steps % 7);
    got += fakeclientread(c);
    if (++steps % 200 == 0) {
      std::string other = get("/burst/c00001.bmp");
      EXPECT_EQ(bodyof(other), readfile(last + "/c00001.bmp")) << steps;
    }
  }
  got += fakeclientread(c);
  EXPECT_GT(steps, 600);
  EXPECT_TRUE(has(got, "Content-Length: " + std::to_string(big.size())));
  EXPECT_TRUE(bodyof(got) == big) << bodyof(got).size();
  fakeclientclose(c);
  EXPECT_EQ(fakeleftovers(), "");
}

// A file cut short or unreadable while it is sent: that connection is let
// go (its answer cannot be whole), the others and the server go on.
TEST_F(ServeBurst, AFileThatGoesMidAnswerClosesOnlyItsConnection) {
  start();
  const std::string last = dir + "/cap200904/d06_0910_00_00";
  burst(last, {1, 2});
  std::string big(200000, 'x');
  writefile(last + "/burst.png", big);
  writefile(last + "/burst_2.png", big);

  OsSocket stream = ask("GET /events HTTP/1.1\r\nHost: 127.0.0.1:8089\r\n\r\n");
  OsSocket cut = fakeconnect(8089), failed = fakeconnect(8089);
  for (OsSocket c : {cut, failed}) fakeclientroom(c, 1000);
  fakeclientsend(cut, "GET /burst/burst.png HTTP/1.1\r\nHost: 127.0.0.1:8089\r\n\r\n");
  fakeclientsend(failed, "GET /burst/burst_2.png HTTP/1.1\r\nHost: 127.0.0.1:8089\r\n\r\n");
  std::string a = fakeclientread(cut), b = fakeclientread(failed);
  ASSERT_TRUE(open(cut));
  ASSERT_TRUE(open(failed));

  // Cut to a few bytes: the next piece comes short.
  writefile(last + "/burst.png", "tiny");
  for (int i = 0; i < 100 && open(cut); i++) {
    fakeclientroom(cut, 1000);
    a += fakeclientread(cut);
  }
  EXPECT_FALSE(open(cut));
  EXPECT_LT(bodyof(a).size(), big.size());
  // The disk fails a read.
  fakeclientroom(failed, 1000);
  b += fakeclientread(failed);
  gfake.readfails = 1;
  for (int i = 0; i < 100 && open(failed); i++) {
    fakeclientroom(failed, 1000);
    b += fakeclientread(failed);
  }
  gfake.readfails = 0;
  EXPECT_FALSE(open(failed));
  EXPECT_LT(bodyof(b).size(), big.size());

  EXPECT_TRUE(open(stream));
  EXPECT_EQ(gserver.on, 1);
  EXPECT_EQ(bodyof(get("/burst/c00002.bmp")), readfile(last + "/c00002.bmp"));
  EXPECT_EQ(fakeleftovers(), "");
}

// The end of a burst's write-out is routed by the main window's tick to
// the streams as one burst event with the frames, the folder's name and
// the span; the frames are served at once; a new stream gets no burst.
TEST_F(ServeBurst, ABurstsEndIsAnEventAndItsFramesAreServed) {
  start();
  mainwincommand(IDC_START, 0);
  oscheckdlgbutton(main, IDC_BURST, 1);
  mainwincommand(IDC_BURST, OS_BN_CLICKED);
  OsSocket stream = ask("GET /events HTTP/1.1\r\nHost: 127.0.0.1:8089\r\n\r\n");
  std::string before = fakeclientread(stream);
  EXPECT_EQ(before.find("event: burst"), std::string::npos);

  fakeaddwindow("OTHER", "area", 20, 10, 20 + 64, 10 + 48);
  gfake.localtime = OsTime{2009, 4, 0, 5, 14, 3, 22, 187 - 29};
  fakeclipimage(1280, 1024);
  tick(5);
  ASSERT_EQ(gkesto.mw.cap.burst, BurstIdle);
  std::string events = fakeclientread(stream);
  size_t at = events.find("event: burst\n");
  ASSERT_NE(at, std::string::npos) << events;
  std::string block = events.substr(at, events.find("\n\n", at) - at);
  EXPECT_NE(block.find("data: {\"seq\": 0, \"burst\": {\"frames\": 5, \"folder\": \"d05_1403_22_18\", \"span_ms\": 116}}"),
            std::string::npos)
      << block;
  EXPECT_NE(block.find("\nid: 0\n"), std::string::npos) << block;
  tick(3);
  EXPECT_EQ(fakeclientread(stream).find("event: burst"), std::string::npos) << "one event a burst";

  const std::string folder = dir + "/cap200904/d05_1403_22_18/";
  for (int i = 1; i <= 5; i++) {
    std::string name = "c0000" + std::to_string(i) + ".bmp";
    std::string a = get("/burst/" + name);
    EXPECT_TRUE(bodyof(a) == readfile(folder + name)) << name;
    EXPECT_TRUE(has(a, "Content-Type: image/bmp"));
  }
  EXPECT_EQ(bodyof(get("/burst/")), readfile(folder + "index.html"));
  std::string fresh = once(("GET /events HTTP/1.1\r\nHost: 127.0.0.1:8089\r\n\r\n"));
  EXPECT_NE(fresh.find("event: board"), std::string::npos);
  EXPECT_EQ(fresh.find("event: burst"), std::string::npos);
}

// The folder's name in the event is the last part of the path, a Shift-JIS
// name (a trail byte 0x5C in ソ) as UTF-8, escaped as the live JSON is.
TEST_F(ServeBurst, TheFolderNameInTheEventIsEscaped) {
  start();
  const std::string name = "a\"<b>&'#%表ソ";
  burst(dir + "/x/" + name, {1, 2}, 40);
  snprintf(gkesto.burst.lastfolder, PATHSIZE, "%s\\x\\%s", dir.c_str(), name.c_str());
  OsSocket stream = ask("GET /events HTTP/1.1\r\nHost: 127.0.0.1:8089\r\n\r\n");
  fakeclientread(stream);
  gkesto.burst.ended++;
  mainwintimer(TICK_HOUSEKEEPING);
  std::string e = fakeclientread(stream);
  EXPECT_NE(e.find("\"burst\": {\"frames\": 2, \"folder\": \"a\\\"\\u003cb\\u003e\\u0026'#%\xe8\xa1\xa8\xe3\x82\xbd\", "
                   "\"span_ms\": 40}}\n\n"),
            std::string::npos)
      << e;
  EXPECT_EQ(bodyof(get("/burst/c00002.bmp")), readfile(dir + "/x/" + name + "/c00002.bmp"));
}

}  // namespace
