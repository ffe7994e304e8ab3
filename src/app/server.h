// The page server: HTTP/1.1 on 127.0.0.1 only, on the main window's
// message loop (socket events come as window messages, never blocking).
// Routes: "/" the overlay page, "/live.json" the live state's JSON,
// "/events" a stream of Server-Sent Events (game, shot, board, burst),
// "/burst/" the files of the last burst (its viewer, frames, log and
// animated PNG, streamed from the disk a buffer at a time).  At most SERVERCONNS connections with buffers
// allocated once; the housekeeping timer answers heads that take too long,
// keeps streams alive and lets go of connections that finished.
#pragma once

#include <cstdint>

#include "app/request.h"
#include "os/os.h"

#define SERVERCONNS 32
#define SERVEROUT 32768         // a client's pending output: past this it is dropped
#define SERVERJSON 16384        // the longest JSON of the live state
#define SERVER_HEAD_MS 10000    // a request head must be whole this long after connecting
#define SERVER_KEEPALIVE_MS 15000
#define SERVER_LINGER_MS 2000   // an answered client's own close is awaited this long
#define SERVER_ANSWER_MS 30000  // an answer not taken by then is given up

enum ServerConnState {
  ConnFree,
  ConnReading,    // the request head is coming
  ConnAnswering,  // the answer goes out; the connection closes after it
  ConnStream,     // an event stream, open
  ConnLingering   // answered and shut for sending: the client's close is awaited
};

struct ServerConn {
  OsSocket s;
  int32_t state;
  int32_t clientclosed;  // the client closed its side
  int64_t since;         // ms: accepted, or answered (lingering)
  int64_t lastsent;      // ms: the last bytes queued on a stream
  int32_t inlen;
  int32_t outpos, outlen;
  const char* body;      // bytes of a fixed body sent after out (the page)
  int32_t bodyleft;
  OsHandle file;         // a file being sent after out, 0 for none
  uint32_t fileleft;     // its bytes still to read
  char in[REQUEST_HEAD_MAX];
  char out[SERVEROUT];
};

struct ServerState {
  int32_t on;
  OsSocket listener;
  uint16_t port;
  int32_t error;         // the Winsock error of the last start that failed
  int32_t failport;      // its port
  int32_t tell;          // that failure waits to be told
  int32_t shots;         // shots pushed since the last board
  int64_t accepted, answered, refused, dropped;  // counts since start
  char lastgame[SERVERJSON];
  char lastboard[SERVERJSON];
  ServerConn conn[SERVERCONNS];
};
extern ServerState gserver;

// The overlay page embedded at build time.
extern const unsigned char koverlaypage[];
extern const int32_t koverlaypagelen;

// Opens the server on port for the main window; 1, or 0 with gserver.error
// (the port in use: OS_WSAEADDRINUSE) and nothing left open.
int serverstart(uint16_t port);
// Closes every connection and the listening socket.
void serverstop();
// The main window's socket handler.
void serversocket(OsSocket s, uint32_t event, int error);
// Housekeeping: head timeouts, keep-alives, lingering closes.
void serverhousekeeping();
// The watcher read a shot (the live state holds it): a shot event now.
void servershot();
// After the tick's live work: game and board events for what changed, and
// a board after the tick's shots.
void serverlive();
// The current time in ms as the server counts it.
int64_t servernow();

// Answers for a route's server: a whole answer with a body (status 200 or
// an error), queued on connection k, which closes after it.  A fixed body
// (the page) is sent from where it is; other bodies are copied.  0 when the
// answer did not fit (the client is dropped).
int serveranswer(int32_t k, int32_t status, const char* type, const char* body, int32_t len, int32_t head,
                 int32_t fixed);
// "/burst/" and below: the last burst's files on connection k.  Only names
// the burst wrote: "/burst/" and "/burst/index.html" its viewer, the frame
// files its log lists, the log, "burst.png" and "burst_N.png"; anything
// else 404.
void serveburst(int32_t k, const char* path, int32_t pathlen, int32_t head);
// A burst's write-out ended (the main window's tick routes it): the last
// burst's listing is read again and a burst event goes to every stream.
void serverburst();
