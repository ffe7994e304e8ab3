"""A small Chrome DevTools Protocol client for headless Chromium.

Chromium talks over a pipe (--remote-debugging-pipe: it reads commands on
descriptor 3 and writes answers and events on descriptor 4, each message JSON
ended by a NUL byte), so no port and no websocket library are needed.

    with cdp.Browser() as b:
        page = b.open("http://127.0.0.1:8089/?view=both", width=1920, height=1080)
        page.wait_for("document.readyState === 'complete'", timeout=10)
        name = page.evaluate("document.getElementById('bug-name').textContent")
        page.screenshot("overlay.png")

The overlay page keeps window.kesto: .connected, .connects, .state (the last
game, shot and board) and .shots, [{seq, at}] of the last 200 shots with the
time each was put on the scorebug (Date.now(), ms), so a test that notes when
it appended a shot can read the latency from the page:

        page.wait_for("kesto.shots.some(s => s.seq === %d)" % seq, timeout=5)
        at = page.evaluate("kesto.shots.find(s => s.seq === %d).at" % seq) / 1000.0

Every wait has a deadline: wait_for polls an expression until it is truthy
and raises Timeout (with the last value) when the deadline passes.  Errors
thrown in the page are collected in page.exceptions, console lines in
page.console.
"""
import base64
import fcntl
import json
import os
import select
import shutil
import subprocess
import tempfile
import time

FLAGS = ["--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
         "--disable-background-networking", "--disable-component-update", "--disable-sync",
         "--disable-extensions", "--disable-default-apps", "--mute-audio", "--hide-scrollbars",
         "--remote-debugging-pipe"]


class Error(Exception):
    pass


class Timeout(Error):
    pass


class Browser:
    """One headless Chromium with a fresh profile, ended by close()."""

    def __init__(self, chromium="chromium", flags=()):
        self.profile = tempfile.mkdtemp(prefix="kesto-cdp-")
        # Our ends: we write to w, read from r; Chromium gets the other ends
        # as its descriptors 3 and 4.
        cmd_r, self.w = os.pipe()
        self.r, ev_w = os.pipe()
        # Moved above 10 first, so that neither is 3 or 4 already.
        a, b = fcntl.fcntl(cmd_r, fcntl.F_DUPFD, 10), fcntl.fcntl(ev_w, fcntl.F_DUPFD, 10)
        os.close(cmd_r)
        os.close(ev_w)
        shell = 'exec "$@" 3<&%d 4>&%d %d<&- %d>&-' % (a, b, a, b)
        self.proc = subprocess.Popen(["bash", "-c", shell, "bash", chromium] + FLAGS + list(flags) +
                                     ["--user-data-dir=" + self.profile, "about:blank"],
                                     stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                                     stderr=subprocess.DEVNULL, pass_fds=(a, b))
        os.close(a)
        os.close(b)
        self.buf = b""
        self.next_id = 0
        self.events = {}    # session id -> list of (method, params) not yet looked at
        self.pages = []
        self.send("Browser.getVersion", timeout=30)

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()

    def close(self):
        if self.proc is None:
            return
        try:
            self.send("Browser.close", timeout=5)
        except Error:
            pass
        try:
            self.proc.wait(timeout=10)
        except subprocess.TimeoutExpired:
            self.proc.kill()
            self.proc.wait()
        for fd in (self.r, self.w):
            os.close(fd)
        self.proc = None
        shutil.rmtree(self.profile, ignore_errors=True)

    def _read(self, deadline):
        """The next message, or None when the deadline passed."""
        while b"\0" not in self.buf:
            ready, _, _ = select.select([self.r], [], [], max(0.0, deadline - time.monotonic()))
            if not ready:
                return None
            chunk = os.read(self.r, 1 << 20)
            if not chunk:
                raise Error("Chromium ended")
            self.buf += chunk
        msg, self.buf = self.buf.split(b"\0", 1)
        return json.loads(msg.decode("utf-8"))

    def _keep(self, msg):
        if "method" in msg:
            self.events.setdefault(msg.get("sessionId"), []).append((msg["method"], msg.get("params", {})))

    def send(self, method, params=None, session=None, timeout=30):
        """Sends a command and waits for its answer; its result."""
        self.next_id += 1
        msg = {"id": self.next_id, "method": method, "params": params or {}}
        if session:
            msg["sessionId"] = session
        data = json.dumps(msg).encode("utf-8") + b"\0"
        while data:
            data = data[os.write(self.w, data):]
        deadline = time.monotonic() + timeout
        while True:
            m = self._read(deadline)
            if m is None:
                raise Timeout("%s: no answer in %.0f s" % (method, timeout))
            if m.get("id") == self.next_id:
                if "error" in m:
                    raise Error("%s: %s" % (method, m["error"].get("message")))
                return m.get("result", {})
            self._keep(m)

    def pump(self, seconds=0.0):
        """Takes in the events that arrived (waiting at most seconds)."""
        deadline = time.monotonic() + seconds
        while True:
            m = self._read(deadline)
            if m is None:
                return
            self._keep(m)

    def open(self, url, width=1920, height=1080, transparent=True, timeout=30):
        """A new tab showing url; returns when its load event fired."""
        target = self.send("Target.createTarget", {"url": "about:blank"})["targetId"]
        session = self.send("Target.attachToTarget", {"targetId": target, "flatten": True})["sessionId"]
        page = Page(self, target, session)
        page.send("Page.enable")
        page.send("Runtime.enable")
        page.send("Emulation.setDeviceMetricsOverride",
                  {"width": width, "height": height, "deviceScaleFactor": 1, "mobile": False})
        if transparent:
            page.send("Emulation.setDefaultBackgroundColorOverride", {"color": {"r": 0, "g": 0, "b": 0, "a": 0}})
        self.pages.append(page)
        page.navigate(url, timeout=timeout)
        return page


class Page:
    def __init__(self, browser, target, session):
        self.browser = browser
        self.target = target
        self.session = session
        self.exceptions = []   # texts of errors thrown in the page and not caught
        self.console = []      # console lines: (type, text)

    def send(self, method, params=None, timeout=30):
        r = self.browser.send(method, params, session=self.session, timeout=timeout)
        self._take()
        return r

    def _take(self):
        for method, p in self.browser.events.pop(self.session, []):
            if method == "Runtime.exceptionThrown":
                d = p.get("exceptionDetails", {})
                self.exceptions.append(d.get("exception", {}).get("description") or d.get("text", "?"))
            elif method == "Runtime.consoleAPICalled":
                self.console.append((p.get("type"), " ".join(str(a.get("value", a.get("description", "")))
                                                             for a in p.get("args", []))))
            elif method == "Page.loadEventFired":
                self.loaded = True

    def navigate(self, url, timeout=30):
        self.loaded = False
        self.send("Page.navigate", {"url": url})
        deadline = time.monotonic() + timeout
        while not self.loaded:
            if time.monotonic() > deadline:
                raise Timeout("%s: no load event in %.0f s" % (url, timeout))
            self.browser.pump(0.1)
            self._take()

    def evaluate(self, expr, timeout=30):
        """The value of a JavaScript expression (promises are awaited); an
        exception in it raises Error."""
        r = self.send("Runtime.evaluate", {"expression": expr, "returnByValue": True, "awaitPromise": True},
                      timeout=timeout)
        if "exceptionDetails" in r:
            d = r["exceptionDetails"]
            raise Error("%s: %s" % (expr[:80], d.get("exception", {}).get("description") or d.get("text")))
        return r.get("result", {}).get("value")

    def wait_for(self, expr, timeout=10, interval=0.05):
        """Polls expr until it is truthy; its value.  Timeout when the
        deadline passes first, naming the last value seen."""
        deadline = time.monotonic() + timeout
        while True:
            v = self.evaluate(expr)
            if v:
                return v
            if time.monotonic() > deadline:
                raise Timeout("%s: still %r after %.1f s" % (expr[:100], v, timeout))
            self.browser.pump(interval)
            self._take()

    def key(self, key, code=None, vk=0):
        """A real key press as the browser's input sees it (down and up)."""
        text = key if len(key) == 1 else ""
        for t in ("keyDown", "keyUp"):
            p = {"type": t if text or t == "keyUp" else "rawKeyDown", "key": key, "code": code or key,
                 "windowsVirtualKeyCode": vk, "nativeVirtualKeyCode": vk}
            if text and t == "keyDown":
                p["text"] = text
            self.send("Input.dispatchKeyEvent", p)

    def screenshot(self, path, clip=None):
        """A PNG of the viewport (or of clip: {"x", "y", "width", "height"})."""
        p = {"format": "png"}
        if clip:
            p["clip"] = dict(clip, scale=1)
        data = self.send("Page.captureScreenshot", p, timeout=60)["data"]
        with open(path, "wb") as f:
            f.write(base64.b64decode(data))

    def close(self):
        self.browser.send("Target.closeTarget", {"targetId": self.target})
        self.browser.pages.remove(self)
