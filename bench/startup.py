#!/usr/bin/env python3
"""How long kesto.exe takes to start under Wine: from the start of its
process (`wine kesto.exe`) until its main window, titled "KESTO v0.93", is on
the virtual screen.

Wine (ja_JP.UTF-8) runs on Xvfb with a booted prefix whose wineserver is kept
running between starts (-p), as Windows has no server that starts with the
program. The program folder holds complete settings, as after the first run.
Each start: the clock starts, `wine kesto.exe` is started, and the X server
is asked every 10 ms (xdotool search --onlyvisible: mapped, which in Wine's
virtual desktop, where the X window can exist before it is shown, is what
counts) for a window of exactly that name; then
the probe confirms the Win32 window of class KESTO and presses 終了, and the
process is waited for. The first start after the boot loads more of Wine and
is shown apart; the median, fastest and slowest are of the RUNS starts after
it.

Prints the figures; there is no pass or fail. --json FILE also writes them to
FILE (ms). Needs the Windows build (scripts/bench-all.sh builds it).
"""

import argparse
import json
import re
import shutil
import statistics
import subprocess
import sys
import tempfile
import time
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parents[1] / "tests" / "e2e"))
from harness import TITLE, CaseFail, Ctx, Wine, Xvfb, loginit_full, write  # noqa: E402


def on_screen(env, timeout_s):
    """Polls the X server until a window named TITLE exists; the time it was
    seen (time.monotonic)."""
    pattern = "^" + re.escape(TITLE) + "$"
    deadline = time.monotonic() + timeout_s
    while True:
        r = subprocess.run(["xdotool", "search", "--onlyvisible", "--name", pattern], env=env, stdout=subprocess.PIPE,
                           stderr=subprocess.DEVNULL)
        now = time.monotonic()
        if r.returncode == 0 and r.stdout.strip():
            return now
        if now >= deadline:
            raise CaseFail(f"no window \"{TITLE}\" on the screen within {timeout_s} s")
        time.sleep(0.01)


def one_start(ctx, env):
    t0 = time.monotonic()
    proc = ctx.start_kesto()
    seen = on_screen(env, 60)
    h = ctx.find_main()
    ctx.probe_ok("click", h, 1)
    code = ctx.wait_exit(proc, 20)
    ctx.check(code == 0, f"kesto.exe ended with {code}")
    return (seen - t0) * 1000


def main():
    root = Path(__file__).resolve().parents[1]
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("--build", default=str(root / "build-win"), help="MinGW build folder (default build-win)")
    ap.add_argument("--runs", type=int, default=9, help="starts after the first (default 9)")
    ap.add_argument("--locale", default="ja_JP.UTF-8")
    ap.add_argument("--json", help="also write the figures to this file")
    a = ap.parse_args()
    if a.runs < 1:
        ap.error("at least one run")
    b = Path(a.build).resolve()
    exes = (b / "kesto.exe", b / "tests" / "e2e" / "probe.exe", b / "tests" / "e2e" / "fakegame.exe")
    for f in exes:
        if not f.is_file():
            print(f"bench: {f} is missing (build the Windows targets first)", file=sys.stderr)
            return 2
    if not shutil.which("xdotool"):
        print("bench: xdotool is missing (scripts/install-deps.sh installs it)", file=sys.stderr)
        return 2
    work = Path(tempfile.mkdtemp(prefix="kesto-bench-startup-"))
    x = Xvfb()
    wine = None
    try:
        wine = Wine(work / "prefix", a.locale, x.start())
        wine.boot()
        subprocess.run(["wineserver", "-p"], env=wine.env, check=True, timeout=30)
        folder = work / "program"
        folder.mkdir()
        ctx = Ctx(wine, exes, folder, work, a.locale)
        write(folder / "loginit.txt", loginit_full(ctx.winpath(folder)))
        first = one_start(ctx, wine.env)
        times = [one_start(ctx, wine.env) for _ in range(a.runs)]
        print(f"kesto.exe start to main window on the screen, Wine {a.locale}: "
              f"median {statistics.median(times):.0f} ms (min {min(times):.0f}, max {max(times):.0f}) over {len(times)} starts; first start after the boot "
              f"{first:.0f} ms")
        if a.json:
            Path(a.json).write_text(json.dumps({
                "locale": a.locale, "first_ms": first, "median_ms": statistics.median(times), "min_ms": min(times),
                "max_ms": max(times), "runs_ms": times}, indent=1))
    finally:
        if wine:
            wine.reset()
        x.stop()
        shutil.rmtree(work, ignore_errors=True)
    return 0


if __name__ == "__main__":
    sys.exit(main())
