#!/usr/bin/env python3
"""End-to-end run of kesto.exe under Wine.

Runs every case of cases.py once per locale (LANG=ja_JP.UTF-8, where Wine's
ANSI code page is 932, and LANG=C.UTF-8, where it is not). The runner starts
its own Xvfb on a free display, makes a fresh Wine prefix per locale under
/tmp, runs `wineboot -i` once per prefix, and gives every case a fresh program
folder (the current directory of kesto.exe) and a fresh wineserver
(`wineserver -k` between cases). Windows are driven and read from outside with
probe.exe; fakegame.exe stands in for the game.

Usage:
  run_e2e.py --build BUILD_DIR [--locale L ...] [--case NAME ...] [--keep] [-v]

BUILD_DIR is the MinGW build folder holding kesto.exe and tests/e2e/probe.exe
and tests/e2e/fakegame.exe. Prints "PASS <locale> <case>" or
"FAIL <locale> <case>: reason" per case and finally
"e2e: N passed, N failed" (", N skipped" when cases were skipped); the exit
code is 1 when a case failed.
"""

import argparse
import os
import shutil
import signal
import subprocess
import sys
import tempfile
import time
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))
import cases  # noqa: E402
from cases import CaseFail, CaseSkip  # noqa: E402

LOCALES = ["ja_JP.UTF-8", "C.UTF-8"]
JAPANESE_FONT = "IPAGothic"
JAPANESE_FACES = ["ＭＳ 明朝", "ＭＳ Ｐ明朝", "ＭＳ ゴシック", "ＭＳ Ｐゴシック", "MS Mincho", "MS PMincho",
                  "MS Gothic", "MS PGothic", "MS UI Gothic"]


def winpath(p):
    """Wine's Z: drive maps the Unix root."""
    return "Z:" + str(p).replace("/", "\\")


class Xvfb:
    def __init__(self):
        self.proc = None
        self.display = None

    def start(self):
        for n in range(93, 200):
            if os.path.exists(f"/tmp/.X{n}-lock") or os.path.exists(f"/tmp/.X11-unix/X{n}"):
                continue
            proc = subprocess.Popen(
                ["Xvfb", f":{n}", "-screen", "0", "1280x1024x24", "-nolisten", "tcp"],
                stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, start_new_session=True)
            deadline = time.monotonic() + 10
            while time.monotonic() < deadline:
                if proc.poll() is not None:
                    break
                if os.path.exists(f"/tmp/.X11-unix/X{n}"):
                    self.proc, self.display = proc, f":{n}"
                    return self.display
                time.sleep(0.05)
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


class Wine:
    """One Wine prefix in one locale, and the processes started in it."""

    def __init__(self, prefix, locale, display, verbose=False):
        self.prefix = Path(prefix)
        self.locale = locale
        self.verbose = verbose
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

    def boot(self):
        subprocess.run(["wineboot", "-i"], env=self.env, stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL, timeout=120, check=True)
        # The Japanese system fonts are not there; Wine finds a stand-in for
        # them by itself only in a Japanese locale. Name one for every locale,
        # as a Windows system with Japanese fonts installed would have them.
        reg = self.prefix / "jfonts.reg"
        lines = ["Windows Registry Editor Version 5.00", "",
                 "[HKEY_CURRENT_USER\\Software\\Wine\\Fonts\\Replacements]"]
        lines += [f'"{face}"="{JAPANESE_FONT}"' for face in JAPANESE_FACES]
        reg.write_bytes(("\r\n".join(lines) + "\r\n").encode("utf-16"))
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
            print(f"    $ {Path(exe).name} {' '.join(map(str, args))} -> {rc}", file=sys.stderr)
            for line in out.splitlines():
                print(f"      {line}", file=sys.stderr)
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
    """What a case works with: the exes, its own program folder, helpers."""

    def __init__(self, wine, exes, folder, shots, locale):
        self.wine = wine
        self.kesto, self.probe_exe, self.fakegame = exes
        self.folder = Path(folder)
        self.shots = Path(shots)
        self.locale = locale
        self.winpath = winpath

    # -- checks
    def check(self, cond, reason):
        if not cond:
            raise CaseFail(reason)

    def skip(self, reason):
        raise CaseSkip(reason)

    # -- processes
    def start_kesto(self, cwd=None):
        return self.wine.start(self.kesto, cwd=cwd or self.folder)

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
        return self.find("KESTO", "KESTO v0.93", timeout_ms)

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
            raise CaseFail(f"control {cid} shows \"{got}\", expected \"{cases.show(expected)}\"")

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
            raise CaseFail(f"no message box within {timeout_ms} ms")
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
                   f"message box caption \"{cases.show(b['caption'])}\", expected \"{caption}\"")
        self.check(b["text"] == want_t,
                   f"message box text \"{cases.show(b['text'])}\", expected \"{cases.show(want_t)}\"")
        self.check(b["icon"] == icon, f"message box \"{caption}\" has icon {b['icon']}, expected {icon}")
        if owner is not None:
            self.check(b["owner"] == owner, f"message box owner {b['owner']}, expected {owner}")
        return b

    def answer(self, button=1, timeout_ms=5000):
        self.probe_ok("answer", button, timeout_ms, timeout_s=timeout_ms / 1000 + 20)

    def no_msgbox(self, ms):
        rc, lines, err = self.probe("nomsgbox", ms, timeout_s=ms / 1000 + 20)
        if rc != 0:
            d = self.fields(lines)
            raise CaseFail(f"unexpected message box \"{d.get('caption_utf8', '')}\": "
                           f"\"{d.get('text_utf8', '')}\"")


def run_case(fn, ctx):
    try:
        fn(ctx)
        return "PASS", ""
    except CaseSkip as e:
        return "SKIP", str(e)
    except CaseFail as e:
        return "FAIL", str(e)
    except Exception as e:  # a fault of the harness or an unexpected reply
        return "FAIL", f"{type(e).__name__}: {e}"


def stop_on_term(signum, frame):
    raise KeyboardInterrupt


def main():
    # A runner ended from outside still stops its Xvfb and wineservers.
    signal.signal(signal.SIGTERM, stop_on_term)
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("--build", required=True, help="MinGW build folder")
    ap.add_argument("--kesto", help="kesto.exe to test (default BUILD/kesto.exe)")
    ap.add_argument("--locale", action="append", help="run only this locale (repeatable)")
    ap.add_argument("--case", action="append", help="run only this case (repeatable)")
    ap.add_argument("--keep", action="store_true", help="keep the prefixes and program folders")
    ap.add_argument("-v", "--verbose", action="store_true", help="echo every probe call")
    args = ap.parse_args()

    build = Path(args.build).resolve()
    kesto = Path(args.kesto).resolve() if args.kesto else build / "kesto.exe"
    probe = build / "tests" / "e2e" / "probe.exe"
    fakegame = build / "tests" / "e2e" / "fakegame.exe"
    for f in (probe, fakegame):
        if not f.is_file():
            print(f"e2e: {f} is missing (build the Windows targets first)", file=sys.stderr)
            return 2
    shots = build / "e2e-shots"
    shots.mkdir(exist_ok=True)

    selected = [c for c in cases.CASES if not args.case or c.__name__.removeprefix("case_") in args.case]
    static = [c for c in cases.STATIC_CASES if not args.case or c.__name__.removeprefix("case_") in args.case]
    locales = args.locale or LOCALES
    counts = {"PASS": 0, "FAIL": 0, "SKIP": 0}
    started = time.monotonic()

    def report(status, locale, name, reason):
        counts[status] += 1
        if status == "PASS":
            print(f"PASS {locale} {name}", flush=True)
        elif status == "SKIP":
            print(f"SKIP {locale} {name}: {reason}", flush=True)
        else:
            print(f"FAIL {locale} {name}: {reason}", flush=True)

    # Checks of the executable itself, once.
    for fn in static:
        status, reason = run_case(lambda c: fn(c), cases.StaticCtx(kesto, build))
        report(status, "-", fn.__name__.removeprefix("case_"), reason)

    work = Path(tempfile.mkdtemp(prefix="kesto-e2e-"))
    xvfb = Xvfb()
    wine = None
    try:
        display = xvfb.start() if selected else None
        for locale in (locales if selected else []):
            tag = locale.split(".")[0]
            wine = Wine(work / f"prefix-{tag}", locale, display, args.verbose)
            try:
                wine.boot()
            except Exception as e:
                for fn in selected:
                    report("FAIL", locale, fn.__name__.removeprefix("case_"), f"wineboot failed: {e}")
                continue
            for fn in selected:
                name = fn.__name__.removeprefix("case_")
                folder = work / "cases" / f"{tag}-{name}"
                folder.mkdir(parents=True)
                if not kesto.is_file() and getattr(fn, "needs_kesto", True):
                    report("FAIL", locale, name, f"{kesto} is missing")
                    continue
                ctx = Ctx(wine, (kesto, probe, fakegame), folder, shots, locale)
                t0 = time.monotonic()
                status, reason = run_case(fn, ctx)
                wine.reset()
                if args.verbose:
                    print(f"    ({name}: {time.monotonic() - t0:.1f} s)", file=sys.stderr)
                report(status, locale, name, reason)
            wine.reset()
            wine = None
    finally:
        if wine:
            wine.reset()
        xvfb.stop()
        if args.keep:
            print(f"e2e: kept {work}", file=sys.stderr)
        else:
            shutil.rmtree(work, ignore_errors=True)

    summary = f"e2e: {counts['PASS']} passed, {counts['FAIL']} failed"
    if counts["SKIP"]:
        summary += f", {counts['SKIP']} skipped"
    print(f"e2e: {time.monotonic() - started:.0f} s", file=sys.stderr)
    print(summary, flush=True)
    return 1 if counts["FAIL"] else 0


if __name__ == "__main__":
    sys.exit(main())
