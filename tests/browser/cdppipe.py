"""A minimal DevTools client: headless Chromium driven over its debugging pipe.

Chromium started with --remote-debugging-pipe reads commands on its file
descriptor 3 and writes answers and events on 4, each a JSON text ended by a
NUL byte.  Enough for opening a page and evaluating scripts in it (awaiting
their promises), with no package beyond the standard library.

    with Browser() as b:
        page = b.open("file:///.../index.html")
        value = page.eval("document.title")
"""
import fcntl
import json
import os
import shutil
import subprocess
import tempfile
import time

FLAGS = ["--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
         "--disable-background-networking", "--disable-component-update", "--disable-sync",
         "--allow-file-access-from-files", "--remote-debugging-pipe"]


class CdpError(Exception):
    pass


class Browser:
    def __init__(self, binary="chromium", timeout=60.0):
        self.timeout = timeout
        self.profile = tempfile.mkdtemp(prefix="kesto-cdp-")
        # The child's ends go far from 3 and 4, so that putting one there
        # never overwrites the other.
        to_chrome_r, self._to_chrome = os.pipe()
        self._from_chrome, from_chrome_w = os.pipe()
        high = []
        for fd in (to_chrome_r, from_chrome_w):
            h = fcntl.fcntl(fd, fcntl.F_DUPFD, 20)
            os.close(fd)
            high.append(h)
        to_chrome_r, from_chrome_w = high

        def child():
            os.dup2(to_chrome_r, 3)
            os.dup2(from_chrome_w, 4)

        self.proc = subprocess.Popen([binary] + FLAGS + ["--user-data-dir=" + self.profile, "about:blank"],
                                     stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                                     stderr=subprocess.DEVNULL, preexec_fn=child, close_fds=False)
        os.close(to_chrome_r)
        os.close(from_chrome_w)
        self._buf = b""
        self._next = 0

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()

    def close(self):
        try:
            self.send("Browser.close")
        except Exception:
            pass
        try:
            self.proc.wait(timeout=10)
        except subprocess.TimeoutExpired:
            self.proc.kill()
            self.proc.wait()
        for fd in (self._to_chrome, self._from_chrome):
            try:
                os.close(fd)
            except OSError:
                pass
        shutil.rmtree(self.profile, ignore_errors=True)

    def _read(self, deadline):
        while b"\0" not in self._buf:
            if time.monotonic() > deadline:
                raise CdpError("no answer from Chromium in time")
            chunk = os.read(self._from_chrome, 1 << 16)
            if not chunk:
                raise CdpError("Chromium closed its pipe")
            self._buf += chunk
        msg, self._buf = self._buf.split(b"\0", 1)
        return json.loads(msg.decode("utf-8"))

    def send(self, method, params=None, session=None, timeout=None):
        self._next += 1
        mid = self._next
        msg = {"id": mid, "method": method, "params": params or {}}
        if session:
            msg["sessionId"] = session
        os.write(self._to_chrome, json.dumps(msg).encode("utf-8") + b"\0")
        deadline = time.monotonic() + (timeout or self.timeout)
        while True:
            m = self._read(deadline)
            if m.get("id") == mid:
                if "error" in m:
                    raise CdpError("%s: %s" % (method, m["error"]))
                return m.get("result", {})

    def open(self, url, width=900, height=700):
        target = self.send("Target.createTarget", {"url": "about:blank"})
        session = self.send("Target.attachToTarget", {"targetId": target["targetId"], "flatten": True})["sessionId"]
        page = Page(self, session)
        self.send("Page.enable", session=session)
        self.send("Emulation.setDeviceMetricsOverride", {"width": width, "height": height, "deviceScaleFactor": 1,
                                                         "mobile": False}, session=session)
        self.send("Page.navigate", {"url": url}, session=session)
        page.wait("document.readyState === 'complete'")
        return page


class Page:
    def __init__(self, browser, session):
        self.b = browser
        self.session = session

    def eval(self, expression, timeout=None):
        """The value of a script (an awaited promise's value)."""
        r = self.b.send("Runtime.evaluate", {"expression": expression, "awaitPromise": True, "returnByValue": True},
                        session=self.session, timeout=timeout)
        if "exceptionDetails" in r:
            raise CdpError("script failed: %s" % json.dumps(r["exceptionDetails"])[:600])
        return r["result"].get("value")

    def wait(self, condition, timeout=30.0):
        """Polls a script condition until it holds, up to a deadline."""
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            if self.eval("!!(%s)" % condition):
                return True
            time.sleep(0.05)
        raise CdpError("condition never held: " + condition)

    def key(self, key, code=None, vk=0):
        """A real key press as the browser's input sees it (down and up)."""
        text = key if len(key) == 1 else ""
        for t in ("keyDown", "keyUp"):
            p = {"type": t if text or t == "keyUp" else "rawKeyDown", "key": key, "code": code or key,
                 "windowsVirtualKeyCode": vk, "nativeVirtualKeyCode": vk}
            if text and t == "keyDown":
                p["text"] = text
            self.b.send("Input.dispatchKeyEvent", p, session=self.session)

    def screenshot(self, path):
        import base64
        r = self.b.send("Page.captureScreenshot", {"format": "png"}, session=self.session)
        with open(path, "wb") as f:
            f.write(base64.b64decode(r["data"]))
