"""What the end-to-end tests of kesto.exe under Wine work with.

Xvfb is a virtual screen on a display that Xvfb picks itself; Wine is one
Wine prefix in one locale and the processes started in it, set up as a
player's Windows (a Wine virtual desktop over the whole screen, the Japanese
faces drawn by the IPA fonts: Wine.configure); Ctx is what a test
gets: the exes, its own empty program folder (the current directory of
kesto.exe) and helpers that drive probe.exe, which reads and drives the
windows of another process from outside. fakegame.exe stands in for the game.

conftest.py makes these into pytest fixtures; bench/watch_latency.py uses them
directly. Expected texts are written as str and compared as CP932 bytes with
what the probe reads back from the windows.
"""

import math
import os
import re
import select
import shutil
import signal
import struct
import subprocess
import sys
import tempfile
import time
import zlib
from pathlib import Path

# LANG values and the short names the tests are known by. Under ja_JP.UTF-8
# Wine's ANSI code page is 932; under C.UTF-8 it is not.
LOCALES = [("ja_JP.UTF-8", "ja_JP"), ("C.UTF-8", "C")]

# The virtual screen (Xvfb) and the Wine virtual desktop on it: the same
# size, so the desktop covers the screen from its origin and screen
# coordinates mean the same to Wine (GetWindowRect, the probe's shots) and to
# X (xdotool, `import -window root`). In a virtual desktop Wine is its own
# window manager: windows get title bars drawn the Windows way, and a window
# destroyed is gone at once (without one, Wine waits about 1.9 s for a window
# manager to withdraw it). See ../shared/notes/windows-under-wine.md.
SCREEN = (1280, 1024)
# KESTO_WINE_DESKTOP=none turns the virtual desktop off (the desktop of
# before, without a window manager), for comparisons only.
DESKTOP_ENV = "KESTO_WINE_DESKTOP"

# The Japanese faces a Windows system has and the IPA fonts (Debian's
# fonts-ipafont-gothic and fonts-ipafont-mincho) Wine draws them with, in every
# prefix the project makes (tests, demo, benchmarks): proportional faces on
# the proportional IPA fonts, fixed-pitch faces on the fixed ones, so the
# dialog templates' texts are as wide as on Windows. The one place that says
# so; scripts/demo.sh and the benchmarks take it from here.
FONT_REPLACEMENTS = {
    "ＭＳ Ｐゴシック": "IPAPGothic",
    "MS PGothic": "IPAPGothic",
    "MS UI Gothic": "IPAPGothic",
    "ＭＳ Ｐ明朝": "IPAPMincho",
    "MS PMincho": "IPAPMincho",
    "ＭＳ ゴシック": "IPAGothic",
    "MS Gothic": "IPAGothic",
    "ＭＳ 明朝": "IPAMincho",
    "MS Mincho": "IPAMincho",
}
JAPANESE_FACES = list(FONT_REPLACEMENTS)
# Wine's own faces (Marlett for the title bars' buttons, Tahoma, ...), from
# Debian's fonts-wine.
WINE_FONTS = Path("/usr/share/wine/fonts")
# Before the replacements above, every face was mapped on this one font; kept
# for callers of the old name.
JAPANESE_FONT = "IPAGothic"


def desktop_size(default=SCREEN):
    """The virtual desktop's size as "WxH", or None when KESTO_WINE_DESKTOP
    is "none" (or "off"); KESTO_WINE_DESKTOP=WxH names another size."""
    v = os.environ.get(DESKTOP_ENV, "").strip().lower()
    if v in ("none", "off", "0", "no"):
        return None
    if v and v.replace("x", "", 1).isdigit() and "x" in v:
        return v
    return f"{default[0]}x{default[1]}" if default else None


def prefix_reg(desktop=None):
    """The .reg text of the settings every prefix of the project gets: the
    font replacements and, with desktop ("WxH"), a Wine virtual desktop of
    that size (the Explorer key's "Desktop" naming the size kept under
    Explorer, Desktops); without, no virtual desktop."""
    lines = ["Windows Registry Editor Version 5.00", "",
             "[HKEY_CURRENT_USER\\Software\\Wine\\Fonts\\Replacements]"]
    lines += [f'"{face}"="{font}"' for face, font in FONT_REPLACEMENTS.items()]
    lines += ["", "[HKEY_CURRENT_USER\\Software\\Wine\\Explorer]"]
    lines += ['"Desktop"="Default"' if desktop else '"Desktop"=-']
    if desktop:
        lines += ["", "[HKEY_CURRENT_USER\\Software\\Wine\\Explorer\\Desktops]", f'"Default"="{desktop}"']
    return "\r\n".join(lines) + "\r\n"


TITLE = "KESTO v0.93"

ROOT = Path(__file__).resolve().parents[2]


def interval_periods(source=ROOT / "src" / "config" / "settings.cpp"):
    """Timer 1's period in ms for each row of the interval table (kintervals
    in src/config/settings.cpp, read from there so the two cannot drift)."""
    text = Path(source).read_text(encoding="utf-8", errors="replace")
    body = text[text.index("kintervals[INTERVALROWS] = {"):]
    body = body[:body.index("};")]
    rows = [int(m.group(1)) for m in re.finditer(r"\{\s*(\d+)\s*,", body)]
    if len(rows) != 8:
        raise RuntimeError(f"{source}: {len(rows)} rows in kintervals, expected 8")
    return rows


def timer1_period_ms(loginit: bytes):
    """The period of timer 1 that a loginit.txt puts in force, as the settings
    reader takes INTERVAL= (a "%d" number; 0 or less is row 1, 1 to 7 that
    row, more the custom row 0). Without a loginit.txt or an INTERVAL line the
    longest period of the table, so a wait derived from it is never short."""
    periods = interval_periods()
    if loginit is None:
        return max(periods)
    for line in loginit.split(b"\n"):
        if line.startswith(b"INTERVAL="):
            v = line[len(b"INTERVAL="):].lstrip(b" \t\r\v\f")
            sign = -1 if v[:1] == b"-" else 1
            v = v[1:] if v[:1] in (b"-", b"+") else v
            digits = len(v) - len(v.lstrip(b"0123456789"))
            i = sign * int(v[:digits]) if digits else 0
            row = 1 if i <= 0 else i if i <= 7 else 0
            return periods[row]
    return max(periods)


class CaseFail(AssertionError):
    """A check of a test did not hold (pytest reports it as a failure)."""


class CaseSkip(Exception):
    """Raised by Ctx.skip outside pytest."""


def winpath(p):
    """Wine's Z: drive maps the Unix root."""
    return "Z:" + str(p).replace("/", "\\")


def show(b) -> str:
    """CP932 bytes for a failure message, control characters escaped."""
    s = b.decode("cp932", "replace") if isinstance(b, bytes) else b
    return s.replace("\\", "\\\\").replace("\r", "\\r").replace("\n", "\\n")


def muldiv(a, b, c):
    return int(math.floor(a * b / c + 0.5))


def write(path, text):
    """Writes text as CP932 bytes."""
    Path(path).write_bytes(text.encode("cp932"))


def loginit_full(home, read_course=0, save_course=1, dgpath="", interval=7):
    """loginit.txt with all fourteen lines, as the settings writer makes it."""
    return ("// loginit.txt\r\n"
            f"HOME={home}\r\n"
            f"DGPATH={dgpath}\r\n"
            f"READ_COURSE={read_course}\r\n"
            f"SAVE_COURSE={save_course}\r\n"
            "IEXPLORE=0\r\n"
            f"INTERVAL={interval}\r\n"
            "CAPTUREPAGE=100\r\n"
            "DEFAULTAREA=-29,-3,-3,-3\r\n"
            "CUSTOMAREA=-31,-5,-5,-5\r\n"
            "ENABLEAREA=2\r\n"
            "LOCKONWINDOW=1\r\n"
            "ENABLECAPKEY=0\r\n"
            "SELECTCAPKEY=L-Alt // L-Alt R-Alt R-Ctrl F12\r\n")


def shot_record(club, power=100, hole=1, remain=50.0, variant=0, fill=7):
    """The 160 bytes of a ShotData record: hole at 12 (less one), club at 40,
    remaining distance at 106-109 (little-endian float), club variant at 157,
    power at 158; every other byte i holds i * fill."""
    rec = bytearray((i * fill) & 0xFF for i in range(160))
    rec[12] = (hole - 1) & 0xFF
    rec[40] = club & 0xFF
    rec[106:110] = struct.pack("<f", remain)
    rec[157] = variant & 0xFF
    rec[158] = power & 0xFF
    return bytes(rec)


def shot_lines(rec) -> bytes:
    """A ShotData block as golf.txt holds it: the tag line and ten lines of
    sixteen upper-case hex bytes, CR LF after each."""
    out = [b"ShotData:"]
    for r in range(10):
        out.append(" ".join(f"{b:02X}" for b in rec[16 * r:16 * r + 16]).encode("ascii"))
    return b"\r\n".join(out) + b"\r\n"


def read_bmp(path):
    """(width, height, rows top-down of (r, g, b)) of a 24-bit BMP."""
    data = Path(path).read_bytes()
    off, = struct.unpack_from("<I", data, 10)
    w, h, _, bpp = struct.unpack_from("<iiHH", data, 18)
    if bpp != 24:
        raise ValueError(f"{path}: {bpp} bits per pixel")
    stride = (w * 3 + 3) & ~3
    rows = []
    for y in range(abs(h)):
        sy = abs(h) - 1 - y if h > 0 else y
        base = off + sy * stride
        rows.append([(data[base + 3 * x + 2], data[base + 3 * x + 1], data[base + 3 * x]) for x in range(w)])
    return w, abs(h), rows


def save_png(bmp, png):
    """BMP to PNG with ImageMagick when it is there, else with zlib."""
    convert = shutil.which("convert")
    if convert and subprocess.run([convert, str(bmp), str(png)], capture_output=True).returncode == 0:
        return
    w, h, rows = read_bmp(bmp)
    raw = b"".join(b"\0" + bytes(c for px in row for c in px) for row in rows)

    def chunk(t, d):
        return struct.pack(">I", len(d)) + t + d + struct.pack(">I", zlib.crc32(t + d) & 0xFFFFFFFF)

    Path(png).write_bytes(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", w, h, 8, 2, 0, 0, 0))
                          + chunk(b"IDAT", zlib.compress(raw)) + chunk(b"IEND", b""))


class Xvfb:
    """A virtual screen. Xvfb chooses a free display number itself and tells
    it through -displayfd, so runs started at the same time cannot take the
    same display."""

    def __init__(self):
        self.proc = None
        self.display = None

    def start(self, timeout_s=20):
        rfd, wfd = os.pipe()
        try:
            proc = subprocess.Popen(
                ["Xvfb", "-displayfd", str(wfd), "-screen", "0", f"{SCREEN[0]}x{SCREEN[1]}x24", "-nolisten", "tcp"],
                stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, pass_fds=(wfd,), start_new_session=True)
            os.close(wfd)
            wfd = -1
            got = b""
            deadline = time.monotonic() + timeout_s
            while not got.endswith(b"\n"):
                left = deadline - time.monotonic()
                if left <= 0 or proc.poll() is not None:
                    break
                ready, _, _ = select.select([rfd], [], [], min(left, 0.2))
                if ready:
                    chunk = os.read(rfd, 64)
                    if not chunk:
                        break
                    got += chunk
        finally:
            os.close(rfd)
            if wfd >= 0:
                os.close(wfd)
        if got.strip().isdigit() and proc.poll() is None:
            self.proc, self.display = proc, ":" + got.strip().decode()
            return self.display
        if proc.poll() is None:
            proc.kill()
        proc.wait()
        raise RuntimeError("could not start Xvfb")

    def stop(self):
        if self.proc and self.proc.poll() is None:
            self.proc.terminate()
            try:
                self.proc.wait(5)
            except subprocess.TimeoutExpired:
                self.proc.kill()
                self.proc.wait()
        self.proc = None


class Wine:
    """One Wine prefix in one locale, and the processes started in it."""

    def __init__(self, prefix, locale, display, verbose=False, desktop="screen"):
        """desktop: "WxH", None (no virtual desktop) or "screen": the size of
        SCREEN unless KESTO_WINE_DESKTOP says otherwise."""
        self.prefix = Path(prefix)
        self.locale = locale
        self.verbose = verbose
        self.desktop = desktop_size() if desktop == "screen" else desktop
        self.env = dict(os.environ)
        for k in list(self.env):
            if k.startswith("LC_") or k in ("LANG", "LANGUAGE", "WINEARCH", "WINELOADER", "WINESERVER"):
                del self.env[k]
        self.env.update({
            "WINEPREFIX": str(self.prefix),
            "WINEDEBUG": "-all",
            # No Mono or Gecko installers during wineboot.
            "WINEDLLOVERRIDES": "mscoree=;mshtml=",
            "LANG": locale,
            "LC_ALL": locale,
            "DISPLAY": display,
        })
        self.procs = []

    def boot(self, tries=2):
        """Makes the prefix (wineboot) and configures it (configure). A
        failed wineboot is told with what Wine printed and the free disk
        space (a prefix takes about 700 MB), and a half-made prefix is
        removed and made again once: making a prefix is the test desktop's
        own set-up, not a test of KESTO."""
        for attempt in range(1, tries + 1):
            rc, err = self._wineboot()
            if rc == 0:
                break
            try:
                free = shutil.disk_usage(self.prefix.parent).free // (1 << 20)
            except OSError:
                free = "?"
            print(f"wine: wineboot -i in {self.prefix} ended with {rc} (try {attempt} of {tries}); "
                  f"{free} MiB free there; Wine said:", file=sys.stderr)
            for line in err.strip().splitlines()[-15:]:
                print(f"    {line[:300]}", file=sys.stderr)
            self.reset()
            if attempt == tries:
                raise RuntimeError(f"wineboot -i in {self.prefix} ended with {rc} "
                                   f"({free} MiB free): {err.strip()[-300:]}")
            shutil.rmtree(self.prefix, ignore_errors=True)
        self.configure()

    def _wineboot(self):
        """Runs wineboot -i; its exit status and what it printed on stderr.
        Output goes to a file, not a pipe (see run)."""
        with tempfile.TemporaryFile() as fe:
            try:
                rc = subprocess.run(["wineboot", "-i"], env=self.env, stdin=subprocess.DEVNULL,
                                    stdout=subprocess.DEVNULL, stderr=fe, timeout=180).returncode
            except subprocess.TimeoutExpired:
                rc = "no end in 180 s"
            fe.seek(0)
            return rc, fe.read().decode("utf-8", "replace")

    def configure(self):
        """The settings of prefix_reg in the prefix: the Japanese faces on
        the IPA fonts, as a Windows system with Japanese fonts has them (Wine
        finds a stand-in by itself only in a Japanese locale, and a fixed-pitch
        one), and the virtual desktop (or none). Also for a prefix made
        earlier; then waits until the prefix's processes have ended."""
        # Wine's own TrueType faces (Debian's fonts-wine), where a Windows
        # system keeps its fonts: Debian's Wine 8 does not look for them
        # where the package puts them, and without Marlett the title bars'
        # buttons read "0 1 r".
        fonts = self.prefix / "drive_c" / "windows" / "Fonts"
        fonts.mkdir(parents=True, exist_ok=True)
        for ttf in sorted(WINE_FONTS.glob("*.ttf")):
            if not (fonts / ttf.name).exists():
                shutil.copyfile(ttf, fonts / ttf.name)
        reg = self.prefix / "kesto-desktop.reg"
        reg.write_bytes(prefix_reg(self.desktop).encode("utf-16"))
        subprocess.run(["wine", "reg", "import", winpath(reg)], env=self.env, stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL, timeout=60, check=True)
        subprocess.run(["wineserver", "-w"], env=self.env, timeout=120, check=True)

    def start(self, exe, args=(), cwd=None):
        p = subprocess.Popen(["wine", str(exe), *map(str, args)], cwd=cwd, env=self.env,
                             stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                             start_new_session=True)
        self.procs.append(p)
        return p

    def run(self, exe, args=(), cwd=None, timeout=30):
        # Output goes to files, not pipes: a wine process may start wineserver
        # and the desktop process, which inherit its handles and would keep a
        # pipe open long after the probe itself has ended.
        with tempfile.TemporaryFile() as fo, tempfile.TemporaryFile() as fe:
            p = subprocess.Popen(["wine", str(exe), *map(str, args)], cwd=cwd, env=self.env,
                                 stdin=subprocess.DEVNULL, stdout=fo, stderr=fe, start_new_session=True)
            try:
                rc = p.wait(timeout)
            except subprocess.TimeoutExpired:
                os.killpg(p.pid, signal.SIGKILL)
                p.wait()
                raise CaseFail(f"{Path(exe).name} {' '.join(map(str, args))}: no answer in {timeout} s")
            fo.seek(0)
            fe.seek(0)
            out = fo.read().decode("utf-8", "replace")
            err = fe.read().decode("utf-8", "replace")
        if self.verbose:
            lines = out.splitlines()
            print(f"    $ {Path(exe).name} {' '.join(map(str, args))} -> {rc}", file=sys.stderr)
            for line in lines[:12]:
                print(f"      {line[:200]}", file=sys.stderr)
            if len(lines) > 12:
                print(f"      ... {len(lines) - 12} more lines", file=sys.stderr)
            if err.strip():
                print(f"      stderr: {err.strip()[:300]}", file=sys.stderr)
        return rc, out, err

    def reset(self):
        """Ends every process of the prefix (wineserver -k) and reaps ours."""
        try:
            subprocess.run(["wineserver", "-k"], env=self.env, stdout=subprocess.DEVNULL,
                           stderr=subprocess.DEVNULL, timeout=30)
        except subprocess.TimeoutExpired:
            print("e2e: wineserver -k did not return in 30 s", file=sys.stderr)
        deadline = time.monotonic() + 10
        for p in self.procs:
            while p.poll() is None and time.monotonic() < deadline:
                time.sleep(0.05)
            if p.poll() is None:
                try:
                    os.killpg(p.pid, signal.SIGKILL)
                except ProcessLookupError:
                    pass
                p.wait()
        self.procs = []
        try:
            subprocess.run(["wineserver", "-w"], env=self.env, timeout=30)
        except subprocess.TimeoutExpired:
            print("e2e: wineserver still up 30 s after -k", file=sys.stderr)


class Ctx:
    """What a test works with: the exes, its own program folder, helpers."""

    def __init__(self, wine, exes, folder, shots, locale):
        self.wine = wine
        self.kesto, self.probe_exe, self.fakegame = (Path(e) for e in exes)
        self.folder = Path(folder)
        self.shots = Path(shots)
        self.locale = locale
        self.winpath = winpath

    # -- checks
    def check(self, cond, reason):
        if not cond:
            raise CaseFail(reason)

    def skip(self, reason):
        try:
            import pytest
        except ImportError:
            raise CaseSkip(reason)
        pytest.skip(reason)

    # -- processes
    def start_kesto(self, cwd=None):
        self.check(self.kesto.is_file(), f"{self.kesto} is missing (build the Windows targets first)")
        self.last_kesto = self.wine.start(self.kesto, cwd=cwd or self.folder)
        return self.last_kesto

    def start_fakegame(self, title, *rest):
        return self.wine.start(self.fakegame, [title, *rest], cwd=self.folder)

    def wait_exit(self, proc, timeout_s, what="kesto.exe"):
        deadline = time.monotonic() + timeout_s
        while proc.poll() is None:
            if time.monotonic() >= deadline:
                raise CaseFail(f"{what} still running after {timeout_s} s")
            time.sleep(0.05)
        return proc.returncode

    def wait_until(self, fn, timeout_s, reason):
        deadline = time.monotonic() + timeout_s
        while True:
            v = fn()
            if v:
                return v
            if time.monotonic() >= deadline:
                raise CaseFail(reason)
            time.sleep(0.05)

    # -- probe
    def probe(self, *args, timeout_s=30):
        """Runs probe.exe; returns (exit code, stdout lines, stderr).

        probe.exe states a reason on stderr whenever it fails; a failure
        without one means Wine did not get it running, and it is run once
        more (reported on stderr)."""
        rc, out, err = self.wine.run(self.probe_exe, args, cwd=self.folder, timeout=timeout_s)
        if rc != 0 and "probe:" not in err:
            print(f"e2e: probe {' '.join(map(str, args))} ended with {rc} without a reason "
                  f"(stdout {out.strip()!r}, stderr {err.strip()!r}); running it again", file=sys.stderr)
            rc, out, err = self.wine.run(self.probe_exe, args, cwd=self.folder, timeout=timeout_s)
        return rc, out.splitlines(), err.strip()

    def probe_ok(self, *args, timeout_s=30):
        rc, lines, err = self.probe(*args, timeout_s=timeout_s)
        if rc != 0:
            raise CaseFail(f"probe {args[0]}: {err or 'exit code %d' % rc}")
        return lines

    @staticmethod
    def fields(lines):
        """"key value" lines as a dict (the first occurrence of a key wins)."""
        d = {}
        for line in lines:
            k, _, v = line.partition(" ")
            d.setdefault(k, v)
        return d

    def find(self, cls, title, timeout_ms=10000):
        return self.probe_ok("find", cls, title, timeout_ms, timeout_s=timeout_ms / 1000 + 20)[0].strip()

    def find_main(self, timeout_ms=15000):
        """The main window of the kesto.exe started last. A copy still
        running when the window is late is given as long again (a start
        right after the prefix's processes were ended can be slow); a copy
        that ended is named with its exit code."""
        try:
            return self.find("KESTO", TITLE, timeout_ms)
        except CaseFail as e:
            p = getattr(self, "last_kesto", None)
            if p is None:
                raise
            if p.poll() is not None:
                raise CaseFail(f"{e} (kesto.exe ended with exit code {p.returncode})") from None
            try:
                return self.find("KESTO", TITLE, timeout_ms)
            except CaseFail as e2:
                state = "still running" if p.poll() is None else f"ended with exit code {p.returncode}"
                raise CaseFail(f"{e2} (kesto.exe {state} after {2 * timeout_ms} ms)") from None

    def text(self, hwnd, cid):
        d = self.fields(self.probe_ok("text", hwnd, cid))
        return bytes.fromhex(d.get("cp932", ""))

    def title(self, hwnd):
        d = self.fields(self.probe_ok("title", hwnd))
        return bytes.fromhex(d.get("cp932", ""))

    def wait_text(self, hwnd, cid, expected: bytes, timeout_ms=5000):
        rc, lines, err = self.probe("waittext", hwnd, cid, expected.hex() or "-", timeout_ms,
                                    timeout_s=timeout_ms / 1000 + 20)
        if rc != 0:
            got = self.fields(lines).get("utf8", "?")
            raise CaseFail(f"control {cid} shows \"{got}\", expected \"{show(expected)}\" ({err})")

    def controls(self, hwnd):
        out = []
        for line in self.probe_ok("controls", hwnd):
            if not line.startswith("ctl "):
                continue
            d = {}
            for part in line[4:].split(" "):
                k, _, v = part.partition("=")
                d[k] = v
            c = {
                "hwnd": d["hwnd"], "id": int(d["id"]), "class": d["class"],
                "style": int(d["style"], 16), "exstyle": int(d["exstyle"], 16),
                "rect": (int(d["x"]), int(d["y"]), int(d["w"]), int(d["h"])),
                "visible": d["visible"] == "1", "text": bytes.fromhex(d.get("cp932", "")),
            }
            out.append(c)
        return out

    def msgbox(self, timeout_ms=5000):
        rc, lines, err = self.probe("msgbox", timeout_ms, timeout_s=timeout_ms / 1000 + 20)
        if rc != 0:
            raise CaseFail(f"no message box within {timeout_ms} ms ({err})")
        d = self.fields(lines)
        return {
            "hwnd": d["hwnd"], "owner": d["owner"],
            "caption": bytes.fromhex(d.get("caption_cp932", "")),
            "text": bytes.fromhex(d.get("text_cp932", "")),
            "icon": d.get("icon", ""),
            "buttons": [int(x) for x in d.get("buttons", "").split()],
        }

    def expect_msgbox(self, text, caption, icon, owner=None, timeout_ms=5000):
        """Waits for a message box and compares it; returns its description."""
        b = self.msgbox(timeout_ms)
        want_t, want_c = text.encode("cp932"), caption.encode("cp932")
        self.check(b["caption"] == want_c,
                   f"message box caption \"{show(b['caption'])}\", expected \"{caption}\"")
        self.check(b["text"] == want_t,
                   f"message box text \"{show(b['text'])}\", expected \"{show(want_t)}\"")
        self.check(b["icon"] == icon, f"message box \"{caption}\" has icon {b['icon']}, expected {icon}")
        if owner is not None:
            self.check(b["owner"] == owner, f"message box owner {b['owner']}, expected {owner}")
        return b

    def answer(self, button=1, timeout_ms=5000):
        self.probe_ok("answer", button, timeout_ms, timeout_s=timeout_ms / 1000 + 20)

    def quiet_ms(self, ticks=2):
        """How long a wait must be to see `ticks` ticks of timer 1 at the
        interval of the program folder's loginit.txt (a window of n periods
        holds at least n ticks), and 300 ms for what a tick sets off to show."""
        ini = self.folder / "loginit.txt"
        return ticks * timer1_period_ms(ini.read_bytes() if ini.is_file() else None) + 300

    def no_msgbox(self, ms=0):
        """No message box within ms, and at least within two ticks of timer 1
        (quiet_ms), so a message a tick would show has had its chance."""
        ms = max(int(ms), self.quiet_ms())
        rc, lines, err = self.probe("nomsgbox", ms, timeout_s=ms / 1000 + 20)
        if rc != 0 and "a message box appeared" not in err:
            raise CaseFail(f"probe nomsgbox: {err or 'exit code %d' % rc}")
        if rc != 0:
            d = self.fields(lines)
            raise CaseFail(f"unexpected message box \"{d.get('caption_utf8', '')}\": "
                           f"\"{d.get('text_utf8', '')}\"")

    def no_window(self, cls, title, ms):
        """Fails when a top-level window of that class and title (probe find's
        patterns) exists at any reading within ms, or when the probe fails."""
        deadline = time.monotonic() + ms / 1000
        while True:
            found = [x.strip() for x in self.probe_ok("findall", cls, title) if x.strip()]
            self.check(not found, f"a window of class {cls} titled \"{title}\" is there: {found}")
            if time.monotonic() >= deadline:
                return
            time.sleep(0.05)

    def never_text(self, hwnd, cid, unwanted: bytes, ms):
        """Follows control cid for ms (probe watch) and fails when it shows
        unwanted at any time, or when the probe fails (the window went away);
        returns the record of its texts."""
        changes = self.watch([(hwnd, cid)], ms)
        self.check(changes, f"watch read nothing of control {cid}")
        seen = [t for _, c, t in changes if c == int(cid)]
        self.check(unwanted not in seen, f"control {cid} showed \"{show(unwanted)}\" (texts {[show(t) for t in seen]})")
        return changes

    def stays_text(self, hwnd, cid, expected: bytes, ms=0):
        """Follows control cid for ms, and at least two ticks of timer 1
        (quiet_ms), and fails when it shows anything but expected at any
        time, or when the probe fails."""
        ms = max(int(ms), self.quiet_ms())
        changes = self.watch([(hwnd, cid)], ms)
        seen = [t for _, c, t in changes if c == int(cid)]
        self.check(seen and all(t == expected for t in seen),
                   f"control {cid} showed {[show(t) for t in seen]}, expected only \"{show(expected)}\"")

    def gone_time(self, action, hwnds, timeout_ms=5000):
        """Posts action (probe gonetime: "click=HWND:ID", "close=HWND",
        "sc=HWND", "key=HWND:esc") and times until every window of hwnds is
        gone; returns {"ms": when the last was gone, "hidden": {hwnd: ms},
        "gone": {hwnd: ms}}. Fails when one is still there after timeout_ms."""
        rc, lines, err = self.probe("gonetime", action, timeout_ms, *hwnds, timeout_s=timeout_ms / 1000 + 30)
        out = {"hidden": {}, "gone": {}}
        for line in lines:
            p = line.split()
            if p and p[0] in ("hidden", "gone") and len(p) == 3:
                out[p[0]][p[1]] = int(p[2])
            elif p and p[0] == "ms":
                out["ms"] = int(p[1])
        if rc != 0:
            raise CaseFail(f"{action}: {err or 'exit code %d' % rc} (hidden {out['hidden']}, gone {out['gone']})")
        return out

    def text_fit(self, hwnd, face, points):
        """probe textfit: {"font": {...}, "window": {...}, "controls": [...],
        "items": [...]}, the numbers as ints."""
        out = {"controls": [], "items": []}

        def kv(parts):
            d = {}
            for part in parts:
                k, _, v = part.partition("=")
                d[k] = int(v) if re.fullmatch(r"-?\d+", v) else v
            return d

        for line in self.probe_ok("textfit", hwnd, face, points):
            head, _, rest = line.partition(" ")
            if head in ("font", "window"):
                out[head] = kv(rest.split(" "))
            elif head == "fit":
                out["controls"].append(kv(rest.split(" ")))
            elif head == "item":
                out["items"].append(kv(rest.split(" ")))
        for d in out["controls"] + out["items"]:
            d["text"] = bytes.fromhex(str(d.get("cp932", "")))
        return out

    def restack_topmost(self):
        """Raises the X windows of the visible topmost windows again, lowest
        first, so that the X screen shows them over the others as Win32's
        order has them. Wine 8's virtual desktop can leave a topmost window's
        X window below one a click has just activated (Win32's order is
        right); only X is touched here, not the program's windows. Returns
        the handles."""
        tops = [line.split()[1:3] for line in self.probe_ok("topmost") if line.startswith("top ")]
        env = dict(os.environ, DISPLAY=self.wine.env["DISPLAY"])
        for hwnd, xwin in reversed(tops):
            if xwin != "0":
                subprocess.run(["xdotool", "windowraise", xwin], env=env, check=True, timeout=10,
                               stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        return [hwnd for hwnd, _ in tops]

    def pid(self, hwnd):
        """The Windows process id of the window's owner."""
        return int(self.probe_ok("pid", hwnd)[0])

    def cputime(self, target):
        """(user + kernel CPU time in ms, GetTickCount64 ms when it was read)
        of a process, given by its Windows pid (int) or a window ("0x...")."""
        d = self.fields(self.probe_ok("cputime", target))
        return int(d["cpu_ms"]), int(d["tick"])

    def watch(self, controls, ms, touch=()):
        """Follows the texts of controls [(hwnd, id), ...] for ms
        milliseconds; returns [(GetTickCount64 ms, id, CP932 bytes)], the
        first entry per control being its text at the start. touch is a list
        of (path, ms): files the probe creates that many ms after its first
        reading of the controls, so what they set off is seen whole."""
        args = [a for hwnd, cid in controls for a in (hwnd, cid)]
        args += [f"touch={self.winpath(p)}@{at}" for p, at in touch]
        out = []
        for line in self.probe_ok("watch", args[0], args[1], ms, *args[2:], timeout_s=ms / 1000 + 30):
            if line.startswith("touch "):
                continue
            t, cid, hx = line.split(" ")
            out.append((int(t), int(cid), b"" if hx == "-" else bytes.fromhex(hx)))
        return out


def main(argv=None):
    """`python3 harness.py configure [--desktop WxH|none]`: the settings of
    Wine.configure in the prefix of the environment (WINEPREFIX, LANG,
    DISPLAY), for scripts that make a prefix of their own (scripts/demo.sh)."""
    import argparse
    ap = argparse.ArgumentParser(description=main.__doc__.split("\n")[0])
    ap.add_argument("command", choices=["configure"])
    ap.add_argument("--desktop", default="screen",
                    help="WxH, none, or screen (the virtual screen's size, the default)")
    a = ap.parse_args(argv)
    prefix = os.environ.get("WINEPREFIX") or str(Path.home() / ".wine")
    desktop = None if a.desktop.lower() in ("none", "off", "") else a.desktop
    w = Wine(prefix, os.environ.get("LANG", "C.UTF-8"), os.environ.get("DISPLAY", ""), desktop=desktop)
    w.configure()
    print(f"harness: {prefix}: Japanese faces on the IPA fonts, Wine's fonts, "
          f"{'virtual desktop ' + desktop if desktop else 'no virtual desktop'}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
