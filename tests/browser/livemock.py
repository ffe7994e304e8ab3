"""A stand-in for kesto.exe's page server, for the overlay page's tests.

It serves what kesto.exe serves on the loopback: / (the overlay page, read
from the source tree, query strings ignored), /live.json (the whole state)
/events (Server-Sent Events: "retry: 1000", then the current game, board
and shot at once, then each event as it is pushed) and /burst/ (the files of
mock.burst, a dict of name to bytes: "/burst/" is its index.html).  Strings in the JSON are
escaped as KESTO escapes them (< > & as \\u003c \\u003e \\u0026).

    mock = LiveMock(page="src/app/overlay.html").start()
    mock.game({"course": "ロペ倶楽部", "start": "2009/04/05 20:00", "kind": "stroke", "hole": 1, "ended": False})
    mock.board([...]); mock.shot({...})        # each pushed to every open stream
    mock.stop(); mock = LiveMock(page=..., port=mock.port).start()   # KESTO started again
    mock.burst = {"index.html": b"...", "c00001.bmp": b"BM..."}; mock.event("burst", {...})

Threads serve the connections; the state is guarded by one lock.
"""
import http.server
import json
import os
import queue
import threading
import time

PAGE = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "src", "app", "overlay.html")


def dumps(v):
    """One line of JSON as KESTO writes it: UTF-8, < > & escaped."""
    s = json.dumps(v, ensure_ascii=False)
    return s.replace("<", "\\u003c").replace(">", "\\u003e").replace("&", "\\u0026")


class LiveMock:
    def __init__(self, page=None, port=0):
        self.page = page or PAGE
        self.port = port
        self.lock = threading.Lock()
        self.seq = 0
        self.state = {"game": None, "shot": None, "board": []}
        self.streams = []         # a queue per open /events connection
        self.requests = []        # (method, path) of each request, in order
        self.refuse = 0           # /events requests still to be answered 503
        self.burst = {}           # the last burst's files by name
        self.served = []          # (time.monotonic(), path) of each /burst/ file served
        self.server = None

    # The state and its events.
    def whole(self):
        with self.lock:
            return dict(self.state, seq=self.seq)

    def _push(self, name, data):
        text = "event: %s\nid: %d\ndata: %s\n\n" % (name, data["seq"], dumps(data))
        for q in self.streams:
            q.put(text)

    def game(self, game):
        with self.lock:
            if game is None or (self.state["game"] or {}).get("start") != game.get("start"):
                self.state["shot"] = None
            self.state["game"] = game
            if game is None:
                self.state["board"] = []
            self._push("game", {"seq": self.seq, "game": game})

    def shot(self, shot):
        with self.lock:
            self.seq += 1
            self.state["shot"] = shot
            self._push("shot", {"seq": self.seq, "shot": shot})

    def board(self, board):
        with self.lock:
            self.state["board"] = board
            self._push("board", {"seq": self.seq, "board": board})

    def event(self, name, data):
        """Any event, as it is (the burst viewer's, say)."""
        with self.lock:
            self._push(name, dict(data, seq=self.seq))

    def streaming(self):
        with self.lock:
            return len(self.streams)

    def count(self, path):
        with self.lock:
            return sum(1 for m, p in self.requests if p == path)

    # The server.
    def start(self):
        mock = self

        class Handler(http.server.BaseHTTPRequestHandler):
            def log_message(self, *a):
                pass

            def answer(self, code, ctype, body, extra=()):
                self.send_response(code)
                self.send_header("Content-Type", ctype)
                self.send_header("Content-Length", str(len(body)))
                self.send_header("Cache-Control", "no-store")
                for k, v in extra:
                    self.send_header(k, v)
                self.end_headers()
                if self.command != "HEAD":
                    self.wfile.write(body)

            def do_HEAD(self):
                self.do_GET()

            def do_GET(self):
                path = self.path.split("?", 1)[0]
                with mock.lock:
                    mock.requests.append((self.command, path))
                    refuse = path == "/events" and mock.refuse > 0
                    if refuse:
                        mock.refuse -= 1
                if path == "/":
                    with open(mock.page, "rb") as f:
                        self.answer(200, "text/html; charset=utf-8", f.read())
                elif path == "/live.json":
                    self.answer(200, "application/json; charset=utf-8", dumps(mock.whole()).encode("utf-8"))
                elif refuse:
                    self.answer(503, "text/plain", b"busy\n", [("Connection", "close")])
                elif path == "/events":
                    self.stream()
                elif path.startswith("/burst/"):
                    name = path[len("/burst/"):] or "index.html"
                    with mock.lock:
                        body = mock.burst.get(name)
                        mock.served.append((time.monotonic(), path))
                    types = {"html": "text/html; charset=utf-8", "bmp": "image/bmp", "png": "image/png"}
                    if body is None:
                        self.answer(404, "text/plain", b"not found\n", [("Connection", "close")])
                    else:
                        self.answer(200, types.get(name.rsplit(".", 1)[-1], "text/plain"), body)
                else:
                    self.answer(404, "text/plain", b"not found\n", [("Connection", "close")])

            def stream(self):
                q = queue.Queue()
                with mock.lock:
                    # The state as it is now, then whatever is pushed after.
                    s = dict(mock.state, seq=mock.seq)
                    first = "retry: 1000\n\n"
                    first += "event: game\nid: %d\ndata: %s\n\n" % (s["seq"], dumps({"seq": s["seq"], "game": s["game"]}))
                    first += "event: board\nid: %d\ndata: %s\n\n" % (s["seq"], dumps({"seq": s["seq"], "board": s["board"]}))
                    if s["shot"]:
                        first += "event: shot\nid: %d\ndata: %s\n\n" % (s["seq"], dumps({"seq": s["seq"], "shot": s["shot"]}))
                    q.put(first)
                    mock.streams.append(q)
                self.send_response(200)
                self.send_header("Content-Type", "text/event-stream")
                self.send_header("Cache-Control", "no-store")
                self.end_headers()
                try:
                    while True:
                        text = q.get()
                        if text is None:
                            break
                        self.wfile.write(text.encode("utf-8"))
                        self.wfile.flush()
                except OSError:
                    pass
                finally:
                    with mock.lock:
                        if q in mock.streams:
                            mock.streams.remove(q)
                self.close_connection = True

        class Server(http.server.ThreadingHTTPServer):
            daemon_threads = True
            allow_reuse_address = True

        self.server = Server(("127.0.0.1", self.port), Handler)
        self.port = self.server.server_address[1]
        self.thread = threading.Thread(target=self.server.serve_forever, kwargs={"poll_interval": 0.1}, daemon=True)
        self.thread.start()
        return self

    def drop(self):
        """Ends every open stream, the server staying (a connection lost)."""
        with self.lock:
            for q in self.streams:
                q.put(None)

    def stop(self):
        """Stops listening and ends every open stream, as KESTO quitting does."""
        if not self.server:
            return
        self.server.shutdown()
        self.server.server_close()
        with self.lock:
            for q in self.streams:
                q.put(None)
        self.server = None

    def url(self, query=""):
        return "http://127.0.0.1:%d/%s" % (self.port, query)
