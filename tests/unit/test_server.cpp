// The page server against the fake desktop's scripted clients: the request
// reader's verdicts, the routes, the Host check, the limits (33rd
// connection, head timeout, head size, a client that stops reading), the
// event stream with its first state, its events after shots and its
// keep-alive, a port in use, and the switch in the system menu and in
// "配信の設定".
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <sys/stat.h>
#include <vector>

#include "app/live.h"
#include "app/mainwin.h"
#include "app/request.h"
#include "app/server.h"
#include "app/startup.h"
#include "app/ticks.h"
#include "kesto.h"
#include "os/fake/fakeos.h"
#include "res/resource.h"
#include "support.h"

namespace {

struct Case {
  std::string bytes;
  int32_t status;
  int32_t route;
};

int32_t verdictof(const std::string& b, uint16_t port = 8089, RequestVerdict* out = nullptr) {
  RequestVerdict v;
  int32_t s = readrequest(b.data(), (int32_t)b.size(), port, &v);
  EXPECT_EQ(s, v.status);
  if (out) *out = v;
  return s;
}

std::string req(const std::string& line, const std::string& host = "127.0.0.1:8089",
                const std::string& more = "") {
  return line + "\r\nHost: " + host + "\r\n" + more + "\r\n";
}

}  // namespace

TEST(Request, RoutesMethodsAndRefusals) {
  std::vector<Case> cases = {
      {req("GET / HTTP/1.1"), 200, RoutePage},
      {req("GET /?view=board&scale=1.5 HTTP/1.1"), 200, RoutePage},
      {req("HEAD / HTTP/1.0"), 200, RoutePage},
      {req("GET /live.json HTTP/1.1"), 200, RouteLiveJson},
      {req("GET /events HTTP/1.1"), 200, RouteEvents},
      {req("GET /burst/3/c00001.bmp HTTP/1.1"), 200, RouteBurst},
      {req("GET /burst HTTP/1.1"), 200, RouteBurst},
      {req("GET /burst/ HTTP/1.1"), 200, RouteBurst},
      {req("GET /burst/?view=replay HTTP/1.1"), 200, RouteBurst},
      {req("GET /bursty HTTP/1.1"), 404, RouteNone},
      {req("GET /index.html HTTP/1.1"), 404, RouteNone},
      {req("GET /live.json/ HTTP/1.1"), 404, RouteNone},
      {req("GET /%6Cive.json HTTP/1.1"), 404, RouteNone},  // an escaped letter is no route
      {req("POST / HTTP/1.1"), 405, RouteNone},
      {req("OPTIONS / HTTP/1.1"), 405, RouteNone},
      {req("get / HTTP/1.1"), 400, RouteNone},
      // Paths that try to leave their folder.
      {req("GET /../live.json HTTP/1.1"), 400, RouteNone},
      {req("GET /burst/.. HTTP/1.1"), 400, RouteNone},
      {req("GET /burst/./x HTTP/1.1"), 400, RouteNone},
      {req("GET /%2e%2e/%2e%2e/windows/win.ini HTTP/1.1"), 400, RouteNone},
      {req("GET /%2E%2E/x HTTP/1.1"), 400, RouteNone},
      {req("GET /burst%2f..%2fx HTTP/1.1"), 400, RouteNone},
      {req("GET /burst%5Cx HTTP/1.1"), 400, RouteNone},
      {req("GET /burst%00 HTTP/1.1"), 400, RouteNone},
      {req("GET /%zz HTTP/1.1"), 400, RouteNone},
      {req("GET /% HTTP/1.1"), 400, RouteNone},
      {req("GET /burst\\..\\x HTTP/1.1"), 400, RouteNone},
      {req("GET http://127.0.0.1:8089/ HTTP/1.1"), 400, RouteNone},
      {req("GET * HTTP/1.1"), 400, RouteNone},
      {req("GET / HTTP/2.0"), 400, RouteNone},
      {req("GET /  HTTP/1.1"), 400, RouteNone},
      // Hosts.
      {req("GET / HTTP/1.1", "localhost:8089"), 200, RoutePage},
      {req("GET / HTTP/1.1", "LocalHost:8089"), 200, RoutePage},
      {req("GET / HTTP/1.1", " 127.0.0.1:8089\t"), 200, RoutePage},
      {req("GET / HTTP/1.1", "127.0.0.1"), 403, RouteNone},
      {req("GET / HTTP/1.1", "localhost"), 403, RouteNone},
      {req("GET / HTTP/1.1", "127.0.0.1:80890"), 403, RouteNone},
      {req("GET / HTTP/1.1", "127.0.0.1:808"), 403, RouteNone},
      {req("GET / HTTP/1.1", "evil.example:8089"), 403, RouteNone},
      {req("GET / HTTP/1.1", "127.0.0.1.evil.example:8089"), 403, RouteNone},
      {req("GET / HTTP/1.1", ""), 403, RouteNone},
      {"GET / HTTP/1.1\r\n\r\n", 403, RouteNone},
      {req("GET / HTTP/1.1", "127.0.0.1:8089", "Host: evil.example:8089\r\n"), 400, RouteNone},
      {req("POST / HTTP/1.1", "evil.example:8089"), 403, RouteNone},
      // Malformed headers.
      {req("GET / HTTP/1.1", "127.0.0.1:8089", "X-A: b\r\n folded\r\n"), 400, RouteNone},
      {req("GET / HTTP/1.1", "127.0.0.1:8089", "no colon\r\n"), 400, RouteNone},
      {req("GET / HTTP/1.1", "127.0.0.1:8089", "X: a\rb\r\n"), 400, RouteNone},
      {req("GET / HTTP/1.1", "127.0.0.1:8089", "X: a\x01\r\n"), 400, RouteNone},
      {req("GET / HTTP/1.1", "127.0.0.1:8089", std::string("X: \x83\x5c\r\n")), 200, RoutePage},
  };
  for (const Case& c : cases) {
    RequestVerdict v;
    EXPECT_EQ(verdictof(c.bytes, 8089, &v), c.status) << c.bytes;
    EXPECT_EQ(v.route, c.route) << c.bytes;
    EXPECT_EQ(v.complete, 1) << c.bytes;
  }
  // On port 80 browsers leave the port out; there it may be missing.
  EXPECT_EQ(verdictof(req("GET / HTTP/1.1", "127.0.0.1"), 80), 200);
  EXPECT_EQ(verdictof(req("GET / HTTP/1.1", "localhost:80"), 80), 200);
  EXPECT_EQ(verdictof(req("GET / HTTP/1.1", "localhost:8089"), 80), 403);
}

TEST(Request, PiecesLimitsAndLastEventId) {
  std::string whole = req("GET /events HTTP/1.1", "127.0.0.1:8089", "Last-Event-ID: 42\r\n");
  // Every prefix waits for more; the whole head is complete at its end, and
  // bytes after it are not looked at.
  for (size_t n = 0; n < whole.size(); n++) EXPECT_EQ(verdictof(whole.substr(0, n)), 0) << n;
  RequestVerdict v;
  EXPECT_EQ(verdictof(whole + "GET /nope", 8089, &v), 200);
  EXPECT_EQ(v.headlen, (int32_t)whole.size());
  EXPECT_EQ(v.lasteventid, 42);
  EXPECT_EQ(v.head, 0);
  EXPECT_EQ(std::string(whole.data() + v.pathoff, (size_t)v.pathlen), "/events");
  verdictof(req("GET /events HTTP/1.1", "127.0.0.1:8089", "Last-Event-ID: 4x\r\n"), 8089, &v);
  EXPECT_EQ(v.lasteventid, -1);
  // Bare LF lines never make a head: the head timeout answers them.
  EXPECT_EQ(verdictof("GET / HTTP/1.1\nHost: 127.0.0.1:8089\n\n"), 0);
  // Not HTTP: refused at its first bytes (a TLS hello, an HTTP/2 preface
  // is refused once whole).
  EXPECT_EQ(verdictof(std::string("\x16\x03\x01\x02\x00\x01\x00\x01\xfc\x03\x03", 11)), 400);
  EXPECT_EQ(verdictof("GETT\x01"), 400);
  EXPECT_EQ(verdictof("GET /a\x01"), 400);
  EXPECT_EQ(verdictof("GET / HTTX"), 400);
  EXPECT_EQ(verdictof("PRI * HTTP/2.0\r\n\r\nSM\r\n\r\n"), 400);
  EXPECT_EQ(verdictof("ABCDEFGHIJKLMNOPQ"), 400);  // no method is this long
  // A head of exactly the limit is read; one byte more is 431, as is a
  // 20 kB request line.
  std::string head = req("GET / HTTP/1.1", "127.0.0.1:8089", "X: \r\n");
  head.insert(head.size() - 4, REQUEST_HEAD_MAX - head.size(), 'a');
  ASSERT_EQ(head.size(), (size_t)REQUEST_HEAD_MAX);
  EXPECT_EQ(verdictof(head), 200);
  head.insert(head.size() - 4, "a");
  EXPECT_EQ(verdictof(head), 431);
  EXPECT_EQ(verdictof("GET /" + std::string(20000, 'a') + " HTTP/1.1\r\nHost: 127.0.0.1:8089\r\n\r\n"), 431);
  EXPECT_EQ(verdictof(std::string(REQUEST_HEAD_MAX - 1, 'G')), 400);
}

namespace {

const char kcourse[] = "ロペ倶楽部";

class Server : public ::testing::Test {
 protected:
  std::string dir, gamedir, golf;
  OsWin main = 0;

  void SetUp() override {
    kestoreset();
    dir = maketempdir();
    gfake.cwd = dir;
    gamedir = dir + "/GOLFDUKE_game_folder_of_the_server_tests";
    mkdir(gamedir.c_str(), 0755);
    golf = gamedir + "/golf.txt";
  }
  void TearDown() override {
    serverstop();
    removetree(dir);
  }

  // The main window with complete settings and live.txt given.
  void start(const char* livetxt = "SERVER=1\r\nPORT=8089\r\n") {
    writefile(dir + "/loginit.txt", completeloginit(golf));
    if (livetxt) writefile(dir + "/live.txt", livetxt);
    ASSERT_TRUE(setpaths(dir.c_str()));
    main = oscreatemaindialog(&kestohandlers);
  }
  // Time passes: the housekeeping timer runs every 250 ms of it.
  void wait(int ms) {
    for (int t = 0; t < ms; t += HOUSEKEEPING_MS) {
      gfake.perfcount += gfake.perffreq / 1000 * HOUSEKEEPING_MS;
      if (fakefindtimer(main, TICK_HOUSEKEEPING)) kestohandlers.main.timer(TICK_HOUSEKEEPING);
    }
  }
  OsSocket ask(const std::string& bytes) {
    OsSocket c = fakeconnect(8089);
    EXPECT_NE(c, 0u);
    fakeclientsend(c, bytes);
    return c;
  }
  std::string get(const std::string& path, const std::string& host = "127.0.0.1:8089") {
    return fakeclientread(ask("GET " + path + " HTTP/1.1\r\nHost: " + host + "\r\n\r\n"));
  }
  static std::string bodyof(const std::string& answer) {
    size_t k = answer.find("\r\n\r\n");
    return k == std::string::npos ? std::string() : answer.substr(k + 4);
  }
  bool open(OsSocket c) { return fakesocket(c) && fakesocket(c)->open; }
  // The watcher's ticks, as in the live tests.
  void tick(int n = 1) {
    for (int i = 0; i < n; i++)
      if (fakefindtimer(main, 1)) mainwintimer(1);
  }
  void append(const std::string& s) { writefile(golf, readfile(golf) + s); }
  void step() {
    gkesto.mw.watch.ticks = gkesto.mw.pace.ticks1s - 1;
    tick();
  }
  void follow(const std::string& text) {
    mainwincommand(IDC_START, 0);
    writefile(golf, text);
    fakeaddwindow("GAME", "ゴルフ漬け", 0, 0, 640, 480);
    tick(gkesto.mw.pace.ticks1s);
    tick(gkesto.mw.pace.ticks3s - 1);
    ASSERT_EQ(gkesto.mw.watch.state, FollowLog);
  }
  const FakeMenuEntry* menuentry(uint32_t id) {
    for (const FakeMenuEntry& e : gfake.sysmenu)
      if (e.id == id) return &e;
    return nullptr;
  }
};

// The events of a stream's text: (name, id, data) in order.
struct Event {
  std::string name, id, data;
};
std::vector<Event> events(const std::string& text) {
  std::vector<Event> out;
  size_t pos = 0;
  for (;;) {
    size_t end = text.find("\n\n", pos);
    if (end == std::string::npos) return out;
    std::string block = text.substr(pos, end - pos);
    pos = end + 2;
    if (block.rfind("event: ", 0) != 0) continue;
    Event e;
    size_t a = block.find('\n'), b = block.find('\n', a + 1);
    e.name = block.substr(7, a - 7);
    e.id = block.substr(a + 5, b - a - 5);
    e.data = block.substr(b + 7);
    EXPECT_EQ(block.substr(a + 1, 4), "id: ");
    EXPECT_EQ(block.substr(b + 1, 6), "data: ");
    out.push_back(e);
  }
}

}  // namespace

// Each route answers and closes; errors are short texts with
// "Connection: close"; no CORS header ever; the client's own close (or the
// linger time) lets the connection go.
TEST_F(Server, RoutesAnswerAndClose) {
  start();
  ASSERT_EQ(gserver.on, 1);
  EXPECT_EQ(fakeopensockets(), 1);
  FakeSocket* l = fakesocket(gserver.listener);
  EXPECT_EQ(l->addr, OS_INADDR_LOOPBACK);
  EXPECT_EQ(l->port, 8089);

  OsSocket c = ask("GET /?view=both&scale=2 HTTP/1.1\r\nHost: 127.0.0.1:8089\r\n\r\n");
  std::string a = fakeclientread(c);
  EXPECT_EQ(a.rfind("HTTP/1.1 200 OK\r\n", 0), 0u) << a;
  EXPECT_NE(a.find("Content-Type: text/html; charset=utf-8\r\n"), std::string::npos);
  EXPECT_EQ(bodyof(a), std::string((const char*)koverlaypage, (size_t)koverlaypagelen));
  EXPECT_TRUE(fakesocket(c)->shut);
  EXPECT_TRUE(open(c));
  fakeclientclose(c);
  EXPECT_FALSE(open(c));

  a = get("/live.json");
  static char json[SERVERJSON];
  int32_t n = livejson(json, (int32_t)sizeof json);
  EXPECT_EQ(bodyof(a), std::string(json, (size_t)n));
  EXPECT_NE(a.find("Content-Type: application/json; charset=utf-8\r\n"), std::string::npos);
  EXPECT_NE(a.find("Cache-Control: no-store\r\n"), std::string::npos);

  std::vector<std::pair<std::string, std::string>> refused = {
      {"GET /nope HTTP/1.1\r\nHost: 127.0.0.1:8089\r\n\r\n", "404"},
      {"GET /burst/1/c00001.bmp HTTP/1.1\r\nHost: 127.0.0.1:8089\r\n\r\n", "404"},
      {"POST /live.json HTTP/1.1\r\nHost: 127.0.0.1:8089\r\nContent-Length: 2\r\n\r\n{}", "405"},
      {"GET /live.json HTTP/1.1\r\nHost: attacker.example:8089\r\n\r\n", "403"},
      {"GET /../golf.txt HTTP/1.1\r\nHost: 127.0.0.1:8089\r\n\r\n", "400"},
      {"GET /%2e%2e/golf.txt HTTP/1.1\r\nHost: 127.0.0.1:8089\r\n\r\n", "400"},
      {std::string("\x16\x03\x01\x00\xa5\x01\x00\x00\xa1\x03\x03", 11), "400"},
  };
  for (auto& r : refused) {
    OsSocket k = ask(r.first);
    a = fakeclientread(k);
    EXPECT_EQ(a.substr(0, 12), "HTTP/1.1 " + r.second) << r.first;
    EXPECT_NE(a.find("Connection: close\r\n"), std::string::npos);
    EXPECT_NE(a.find("Content-Type: text/plain"), std::string::npos);
    EXPECT_EQ(bodyof(a).substr(0, 3), r.second);
    EXPECT_TRUE(fakesocket(k)->shut);
  }
  // HEAD: the headers alone, with the length the body would have.
  a = fakeclientread(ask("HEAD / HTTP/1.1\r\nHost: localhost:8089\r\n\r\n"));
  EXPECT_NE(a.find("Content-Length: " + std::to_string(koverlaypagelen) + "\r\n"), std::string::npos);
  EXPECT_EQ(bodyof(a), "");
  // Answered connections that linger are let go after the linger time.
  int before = fakeopensockets();
  EXPECT_GT(before, 1);
  wait(SERVER_LINGER_MS + 250);
  EXPECT_EQ(fakeopensockets(), 1);
  for (const FakeSocket& s : gfake.sockets) EXPECT_EQ(s.out.find("Access-Control"), std::string::npos);
  EXPECT_EQ(gfake.sockets.size() > 10, true);
}

// A page taken slowly goes out piece by piece as the client takes it:
// sends never wait, FD_WRITE goes on where the last one stopped.
TEST_F(Server, ASlowPageReaderGetsItAllPieceByPiece) {
  start();
  OsSocket c = fakeconnect(8089);
  fakeclientroom(c, 10);
  fakeclientsend(c, "GET / HTTP/1.1\r\nHost: 127.0.0.1:8089\r\n\r\n");
  std::string got = fakeclientread(c);
  EXPECT_EQ(got.size(), 10u);
  for (int i = 0; i < 100000 && !fakesocket(c)->shut; i++) {
    fakeclientroom(c, 7);
    got += fakeclientread(c);
  }
  EXPECT_EQ(bodyof(got), std::string((const char*)koverlaypage, (size_t)koverlaypagelen));
}

// 32 connections of any kind: the 33rd is told 503 and closed at once, the
// 32 are untouched; once one goes, a new one is taken.
TEST_F(Server, The33rdConnectionGets503) {
  start();
  std::vector<OsSocket> held;
  for (int i = 0; i < SERVERCONNS; i++) {
    held.push_back(fakeconnect(8089));
    if (i % 2) fakeclientsend(held.back(), "GET /events HTTP/1.1\r\nHost: 127.0.0.1:8089\r\n\r\n");
  }
  OsSocket extra = ask("GET / HTTP/1.1\r\nHost: 127.0.0.1:8089\r\n\r\n");
  std::string a = fakeclientread(extra);
  EXPECT_EQ(a.rfind("HTTP/1.1 503 Service Unavailable\r\n", 0), 0u) << a;
  EXPECT_NE(a.find("Connection: close\r\n"), std::string::npos);
  EXPECT_FALSE(open(extra));
  EXPECT_EQ(gserver.refused, 1);
  for (OsSocket h : held) EXPECT_TRUE(open(h));
  fakeclientclose(held[0]);
  EXPECT_FALSE(open(held[0]));
  a = get("/live.json");
  EXPECT_EQ(a.rfind("HTTP/1.1 200 OK\r\n", 0), 0u) << a;
}

// A head not whole 10 s after connecting is answered 408; one over 8 KiB
// 431 as soon as the limit is passed.
TEST_F(Server, SlowAndLongHeadsAreRefused) {
  start();
  OsSocket slow = ask("GET / HTTP/1.1\r\nHost: 127.0.0.1:8089\r\n");
  wait(SERVER_HEAD_MS - 500);
  EXPECT_EQ(fakeclientread(slow), "");
  OsSocket later = ask("GET / HTTP/1.1\r\n");
  wait(750);
  std::string a = fakeclientread(slow);
  EXPECT_EQ(a.rfind("HTTP/1.1 408 Request Timeout\r\n", 0), 0u) << a;
  EXPECT_TRUE(fakesocket(slow)->shut);
  EXPECT_EQ(fakeclientread(later), "");  // its own 10 s are not over

  OsSocket longhead = ask("GET /" + std::string(20000, 'a') + " HTTP/1.1\r\nHost: 127.0.0.1:8089\r\n\r\n");
  a = fakeclientread(longhead);
  EXPECT_EQ(a.rfind("HTTP/1.1 431 ", 0), 0u) << a.substr(0, 40);
  // The rest of its bytes are taken and let go, not answered again.
  fakeclientsend(longhead, std::string(5000, 'b'));
  EXPECT_EQ(fakeclientread(longhead), "");
  EXPECT_TRUE(fakesocket(longhead)->in.empty());
}

// The stream: retry, then the state now (game, board, shot) with the
// current seq as id, with or without Last-Event-ID; then every shot of a
// step in order, each followed by nothing else until the step's board; a
// keep-alive every 15 s when nothing happens.
TEST_F(Server, EventStreamStateShotsAndKeepAlive) {
  start();
  follow(logbegin({"Taro", "<img src=x onerror=alert(1)>"}, kcourse) + loghole(1));
  OsSocket s = ask("GET /events HTTP/1.1\r\nHost: 127.0.0.1:8089\r\n\r\n");
  std::string a = fakeclientread(s);
  EXPECT_EQ(a.rfind("HTTP/1.1 200 OK\r\nContent-Type: text/event-stream\r\n", 0), 0u) << a;
  EXPECT_NE(a.find("\r\n\r\nretry: 1000\n\n"), std::string::npos);
  std::vector<Event> ev = events(a);
  ASSERT_EQ(ev.size(), 2u);
  EXPECT_EQ(ev[0].name, "game");
  EXPECT_EQ(ev[1].name, "board");
  static char b[SERVERJSON];
  livejsonpart(LiveBoardPart, b, SERVERJSON);
  EXPECT_EQ(ev[1].data, "{\"seq\": " + std::to_string(glive.seq) + ", \"board\": " + b + "}");
  EXPECT_EQ(ev[1].id, std::to_string(glive.seq));
  EXPECT_EQ(ev[1].data.find('<'), std::string::npos);  // names never become markup

  append(logshot(1, 1, 1, 10, 200.0f, 110) + logshot(2, 1, 1, 50, 123.4f, 85) + logshot(1, 2, 1, 70, 3.0f, 30) +
         "*Player1 03\r\n");
  int32_t seq = glive.seq;
  step();
  ev = events(fakeclientread(s));
  ASSERT_EQ(ev.size(), 4u);
  std::vector<std::string> clubs;
  for (int i = 0; i < 3; i++) {
    EXPECT_EQ(ev[i].name, "shot");
    EXPECT_EQ(ev[i].id, std::to_string(seq + 1 + i));
    clubs.push_back(ev[i].data.substr(ev[i].data.find("\"club\": ") + 8, 2));
  }
  EXPECT_EQ(clubs, (std::vector<std::string>{"10", "50", "70"}));
  EXPECT_EQ(ev[3].name, "board");
  EXPECT_EQ(ev[3].id, std::to_string(seq + 3));
  EXPECT_NE(ev[3].data.find("\"strokes\": [3, null"), std::string::npos) << ev[3].data;
  // A step with nothing new sends nothing.
  step();
  EXPECT_EQ(fakeclientread(s), "");

  // Reconnecting with Last-Event-ID: the state now, the last shot too.
  OsSocket r = ask("GET /events HTTP/1.1\r\nHost: 127.0.0.1:8089\r\nLast-Event-ID: " + std::to_string(seq + 1) +
                   "\r\n\r\n");
  ev = events(fakeclientread(r));
  ASSERT_EQ(ev.size(), 3u);
  EXPECT_EQ(ev[0].name, "game");
  EXPECT_EQ(ev[1].name, "board");
  EXPECT_EQ(ev[2].name, "shot");
  EXPECT_EQ(ev[2].id, std::to_string(seq + 3));
  EXPECT_NE(ev[2].data.find("\"club\": 70"), std::string::npos);

  // Keep-alives while nothing happens, after the stopped watcher too.
  mainwincommand(IDC_STOP, 0);
  wait(SERVER_KEEPALIVE_MS - 500);
  EXPECT_EQ(fakeclientread(s), "");
  wait(750);
  EXPECT_EQ(fakeclientread(s), ": keep-alive\n\n");
  EXPECT_TRUE(open(s));
}

// A stream whose client stops reading is dropped once its pending output
// passes the bound; the others go on getting every event.
TEST_F(Server, AClientThatStopsReadingIsDropped) {
  start();
  follow(logbegin({"Taro"}, kcourse) + loghole(1));
  OsSocket stuck = ask("GET /events HTTP/1.1\r\nHost: 127.0.0.1:8089\r\n\r\n");
  OsSocket good = ask("GET /events HTTP/1.1\r\nHost: 127.0.0.1:8089\r\n\r\n");
  fakeclientread(good);
  fakeclientroom(stuck, 0);
  int shots = 0;
  for (int k = 0; k < 60 && open(stuck); k++) {
    for (int i = 0; i < 4; i++) append(logshot(1, (k * 4 + i) % 20 + 1, 1, 10, 200.0f, 110));
    step();
    shots += 4;
  }
  EXPECT_FALSE(open(stuck));
  EXPECT_EQ(gserver.dropped, 1);
  EXPECT_LT(shots, 240);
  int got = 0;
  for (const Event& e : events(fakeclientread(good))) got += e.name == "shot";
  EXPECT_EQ(got, shots);
  EXPECT_TRUE(open(good));
}

// Failures of the sockets: a connection lost before it is accepted, a send
// that fails; the server goes on serving.
TEST_F(Server, FailedAcceptsAndSendsLoseOnlyTheirClient) {
  start();
  gfake.acceptfails = 1;
  OsSocket lost = fakeconnect(8089);
  EXPECT_FALSE(open(lost));
  gfake.sendfails = 1;
  OsSocket c = ask("GET /live.json HTTP/1.1\r\nHost: 127.0.0.1:8089\r\n\r\n");
  EXPECT_FALSE(open(c));
  EXPECT_EQ(get("/live.json").rfind("HTTP/1.1 200 OK", 0), 0u);
  EXPECT_TRUE(gfake.boxes.empty());
}

// A port in use: one message naming the port, through the ticks' box;
// KESTO goes on without the server and live.txt stays as it was.
TEST_F(Server, APortInUseIsToldOnceAndKestoGoesOn) {
  gfake.bindinuse = 1;
  start("SERVER=1\r\nPORT=8123\r\n");
  EXPECT_EQ(gserver.on, 0);
  EXPECT_EQ(fakeopensockets(), 0);
  fakepump();
  ASSERT_EQ(gfake.boxes.size(), 1u);
  EXPECT_NE(gfake.boxes[0].text.find("ポート 8123 は他のプログラムが使っています"), std::string::npos)
      << gfake.boxes[0].text;
  EXPECT_EQ(gfake.boxes[0].caption, "Open error");
  EXPECT_EQ(menuentry(IDM_LIVESERVER)->flags & OS_MF_CHECKED, 0u);
  // The watcher still starts and runs.
  follow(logbegin({"Taro"}, kcourse) + loghole(1));
  // From the menu: told again, the timers paused while the box is up.
  EXPECT_EQ(kestohandlers.main.syscommand(IDM_LIVESERVER), 1);
  ASSERT_EQ(gfake.boxes.size(), 2u);
  EXPECT_NE(gfake.boxes[1].text.find("8123"), std::string::npos);
  EXPECT_EQ(gfake.boxes[1].timers, 0u);  // the watcher's ticks paused while it is up
  EXPECT_TRUE(fakefindtimer(main, TICK_WORK));
  EXPECT_EQ(readfile(dir + "/live.txt"), "SERVER=1\r\nPORT=8123\r\n");
  // Once the port is free, the menu opens it.
  gfake.bindinuse = 0;
  kestohandlers.main.syscommand(IDM_LIVESERVER);
  EXPECT_EQ(gserver.on, 1);
  EXPECT_EQ(gfake.boxes.size(), 2u);
}

// The switch: the menu entry shows the address while on; off closes every
// connection and the listening socket; live.txt follows; "配信の設定"
// shows the address and copies it.
TEST_F(Server, TheSwitchOpensClosesAndShowsTheAddress) {
  start(nullptr);
  EXPECT_EQ(gserver.on, 0);
  EXPECT_EQ(fakeopensockets(), 0);
  const FakeMenuEntry* e = menuentry(IDM_LIVESERVER);
  ASSERT_TRUE(e);
  EXPECT_EQ(e->text, "配信サーバー");
  EXPECT_EQ(e->flags & OS_MF_CHECKED, 0u);

  kestohandlers.main.syscommand(IDM_LIVESERVER);
  EXPECT_EQ(gserver.on, 1);
  e = menuentry(IDM_LIVESERVER);
  EXPECT_EQ(e->text, "配信サーバー http://127.0.0.1:8089/");
  EXPECT_NE(e->flags & OS_MF_CHECKED, 0u);
  EXPECT_EQ(readfile(dir + "/live.txt"), "// live.txt\r\nFILES=0\r\nSERVER=1\r\nPORT=8089\r\n");
  OsSocket s = ask("GET /events HTTP/1.1\r\nHost: 127.0.0.1:8089\r\n\r\n");
  OsSocket r = ask("GET / HTTP/1.1\r\n");
  EXPECT_EQ(fakeopensockets(), 3);

  kestohandlers.main.syscommand(IDM_LIVESERVER);
  EXPECT_EQ(gserver.on, 0);
  EXPECT_EQ(fakeopensockets(), 0);
  EXPECT_FALSE(open(s));
  EXPECT_FALSE(open(r));
  EXPECT_EQ(fakeconnect(8089), 0u);
  e = menuentry(IDM_LIVESERVER);
  EXPECT_EQ(e->text, "配信サーバー");
  EXPECT_EQ(readfile(dir + "/live.txt"), "// live.txt\r\nFILES=0\r\nSERVER=0\r\nPORT=8089\r\n");

  // The dialog: its switch, the address and コピー.
  livesyscommand(IDM_LIVESETTINGS);
  OsWin d = fakefinddialog(IDD_LIVE);
  ASSERT_TRUE(d);
  EXPECT_EQ(fakeitemtext(d, IDC_LIVE_ADDRESS), "http://127.0.0.1:8089/");
  oscheckdlgbutton(d, IDC_LIVE_SERVER, 1);
  gfake.oncommand(d, IDC_LIVE_SERVER, OS_BN_CLICKED, 0);
  EXPECT_EQ(gserver.on, 1);
  gfake.oncommand(d, IDC_LIVE_COPY, OS_BN_CLICKED, 0);
  EXPECT_EQ(gfake.cliptext, "http://127.0.0.1:8089/");
  gfake.clipboardheld = -1;
  gfake.oncommand(d, IDC_LIVE_COPY, OS_BN_CLICKED, 0);
  ASSERT_EQ(gfake.boxes.size(), 1u);
  EXPECT_NE(gfake.boxes[0].text.find("クリップボード"), std::string::npos);
  gfake.clipboardheld = 0;
  // The end of KESTO closes it all.
  ask("GET /events HTTP/1.1\r\nHost: 127.0.0.1:8089\r\n\r\n");
  mainwincommand(IDC_END, 0);
  EXPECT_EQ(fakeopensockets(), 0);
}
