// The request reader of the page server: the bytes of a request head as
// they arrive, in; a verdict out.  A pure function over bytes (no state, no
// system call), so the same input always gets the same answer.  The head
// is the request line and the header lines, ended by an empty line; every
// line ends in CR LF.
#pragma once

#include <cstdint>

#define REQUEST_HEAD_MAX 8192  // bytes of a head, its closing CR LF CR LF included

// What a request asks for.
enum RequestRoute {
  RouteNone,      // refused or not found
  RoutePage,      // "/": the overlay page
  RouteLiveJson,  // "/live.json"
  RouteEvents,    // "/events": the event stream
  RouteBurst      // "/burst" and below
};

struct RequestVerdict {
  // 0 while the head is not whole and nothing in it is refused yet: more
  // bytes are needed.  Otherwise the answer's status: 200, 400 (malformed,
  // not HTTP, a path that tries to leave its folder), 403 (Host not this
  // server), 404 (no such route), 405 (a method other than GET and HEAD),
  // 431 (a head over REQUEST_HEAD_MAX bytes).
  int32_t status;
  int32_t complete;     // 1 when the head ends in CR LF CR LF at headlen
  int32_t headlen;      // bytes of the head, when complete
  int32_t route;        // RequestRoute, when the status is 200
  int32_t head;         // 1 for HEAD, 0 for GET
  int32_t pathoff;      // where the path begins in the bytes (its '/'),
  int32_t pathlen;      // and its length, the query left out
  int64_t lasteventid;  // Last-Event-ID as a number, -1 when none or not a number
};

// Reads len bytes of a request (more bytes than the head may follow: they
// are not looked at) for the server on port.  The Host header must be
// "127.0.0.1:port" or "localhost:port" (the name in any case); on port 80,
// where browsers leave the port out, "127.0.0.1" and "localhost" alone too.
// Returns v->status.
int32_t readrequest(const char* buf, int32_t len, uint16_t port, RequestVerdict* v);
