#!/usr/bin/env python3
"""How steadily kesto.exe takes a burst and how fast it writes it out. Runs
the real kesto.exe under Wine (ja_JP.UTF-8) on a virtual screen with the
stand-in game in front, at INTERVAL=7 (timer period 29 ms), CAPTUREPAGE=100,
the custom area margins set so that the capture area is 640 x 480:

1. A bitmap put on the clipboard starts a 100-frame burst kept in memory;
   when the burst log holds 100 lines, the Tic values (milliseconds between
   frames, the first frame left out) give the median and 95th percentile of
   the interval.
2. The frames are written out 10 per timer tick; the time one burstflush(10)
   takes is read from the files' modification times: first to last file of
   a group of 10 (nine writes of the ten), and, as an upper bound that
   includes the wait for the next tick, last file of one group to last file
   of the next.
3. The time of one 640 x 480 grab, taken by the probe with the same GDI calls
   (compatible bitmap, BitBlt, GetDIBits to 24-bit rows), GRABS times.
4. The resident memory of kesto.exe's Linux process just before the burst
   and, after the write-out, its peak (VmHWM), which the frames held in
   memory make.

Prints the figures; there is no pass or fail. --json FILE also writes them to
FILE (times in ms, memory in kB). Run through scripts/bench-capture.sh, which
builds the Windows targets first.
"""

import argparse
import json
import re
import shutil
import statistics
import sys
import tempfile
import time
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parents[1] / "tests" / "e2e"))
from harness import Ctx, Wine, Xvfb, loginit_full, write  # noqa: E402
import procmem  # noqa: E402

GAME = "ゴルフ漬け"


def pct(values, p):
    s = sorted(values)
    k = max(0, min(len(s) - 1, int(round(p / 100 * (len(s) - 1)))))
    return s[k]


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--build", default=str(Path(__file__).resolve().parents[1] / "build-win"))
    ap.add_argument("--frames", type=int, default=100)
    ap.add_argument("--grabs", type=int, default=50)
    ap.add_argument("--locale", default="ja_JP.UTF-8")
    ap.add_argument("--json", help="also write the figures to this file")
    a = ap.parse_args()
    b = Path(a.build).resolve()
    work = Path(tempfile.mkdtemp(prefix="kesto-bench-capture-"))
    x = Xvfb()
    disp = x.start()
    wine = Wine(work / "prefix", a.locale, disp)
    try:
        wine.boot()
        folder = work / "program"
        folder.mkdir()
        ctx = Ctx(wine, (b / "kesto.exe", b / "tests/e2e/probe.exe", b / "tests/e2e/fakegame.exe"), folder,
                  work, a.locale)
        gamedir = folder / "GOLFDUKE" / "stand-in game folder"
        gamedir.mkdir(parents=True)
        golf = gamedir / "golf.txt"
        golf.write_bytes(b"** Stroke Begin **\r\n")
        # The game's window rectangle, from a first run of the stand-in game.
        first = ctx.start_fakegame(GAME)
        g = ctx.find("FAKEGAME", GAME)
        l, t, r, bt = (int(v) for v in ctx.probe_ok("rect", g)[0].split()[1:5])
        ctx.probe_ok("close", g)
        ctx.wait_exit(first, 10, "the stand-in game")
        # Margins top, left, bottom, right (outward positive): 640 x 480.
        area = f"0,0,{480 - (bt - t)},{640 - (r - l)}"
        text = loginit_full(ctx.winpath(folder), dgpath=ctx.winpath(golf), interval=7)
        text = text.replace("CAPTUREPAGE=100", f"CAPTUREPAGE={a.frames}").replace("CUSTOMAREA=-31,-5,-5,-5",
                                                                                  f"CUSTOMAREA={area}")
        write(folder / "loginit.txt", text)
        kesto = ctx.start_kesto()
        h = ctx.find_main()
        unix = procmem.linux_pid(kesto.pid, ctx.kesto, wine.prefix)
        ctx.check(unix is not None, "the Linux process of kesto.exe was not found")
        ctx.probe_ok("click", h, 1003)
        ctx.start_fakegame(GAME)
        g = ctx.find("FAKEGAME", GAME)
        ctx.probe_ok("waitfg", g, 5000)
        ctx.wait_text(h, 1004, GAME.encode("cp932"), 5000)
        before = procmem.memory(unix)
        ctx.probe_ok("click", h, 1021)
        ctx.probe_ok("clipbmp", 64, 64, "solid:808080")

        def frames():
            return sorted(folder.glob("cap*/d*/c[0-9][0-9][0-9][0-9][0-9].bmp"))

        def logdone():
            logs = list(folder.glob("cap*/d*/c*_*_*.txt"))
            if not logs:
                return None
            lines = [x for x in logs[0].read_bytes().split(b"\r\n") if x.startswith(b"DATA ")]
            return logs[0] if len(lines) >= a.frames and len(frames()) >= a.frames else None

        log = ctx.wait_until(logdone, 60, "the burst was not written out")
        after = procmem.memory(unix)
        tics = []
        for line in log.read_bytes().split(b"\r\n"):
            m = re.match(rb"DATA c(\d{5})\.bmp Tic=\s*(\d+)(?:,(\d{3}))? ms", line)
            if m and int(m.group(1)) > 1:
                tics.append(int(m.group(2)) * (1000 if m.group(3) else 1) + int(m.group(3) or 0))
        files = frames()
        from PIL import Image
        size = Image.open(files[0]).size
        ends = [f.stat().st_mtime_ns / 1e6 for f in files]
        groups = [ends[i:i + 10] for i in range(0, len(ends), 10)]
        spread = [grp[-1] - grp[0] for grp in groups if len(grp) == 10]
        cycle = [groups[k + 1][-1] - groups[k][-1] for k in range(len(groups) - 1)]
        grabs = [int(v.split()[1]) / 1000 for v in ctx.probe_ok("grabtime", 640, 480, a.grabs, timeout_s=120)
                 if v.startswith("grab_us")]
        print(f"capture area {size[0]} x {size[1]}, {len(files)} frames, INTERVAL=7 (29 ms), {a.locale}")
        print(f"interval between frames (Tic, {len(tics)} values): median {statistics.median(tics):.1f} ms, "
              f"95th percentile {pct(tics, 95)} ms, max {max(tics)} ms   (targets: <= 35, <= 50)")
        print(f"one 640 x 480 grab ({len(grabs)} grabs): median {statistics.median(grabs):.2f} ms, "
              f"95th percentile {pct(grabs, 95):.2f} ms   (target: < 10)")
        print(f"burstflush(10): first to last file of a group of 10, median {statistics.median(spread):.1f} ms "
              f"(max {max(spread):.1f}); group to group, tick gap included, median {statistics.median(cycle):.1f} ms")
        print(f"memory of kesto.exe: resident {before['VmRSS'] / 1024:.1f} MiB before the burst, "
              f"peak {after['VmHWM'] / 1024:.1f} MiB (VmHWM) after it, {after['VmRSS'] / 1024:.1f} MiB resident then")
        if a.json:
            figures = {
                "area": list(size), "frames": len(files), "locale": a.locale,
                "interval_ms": {"median": statistics.median(tics), "p95": pct(tics, 95), "max": max(tics),
                                "count": len(tics)},
                "grab_ms": {"median": statistics.median(grabs), "p95": pct(grabs, 95), "count": len(grabs)},
                "flush10_ms": {"median": statistics.median(spread), "max": max(spread),
                               "cycle_median": statistics.median(cycle)},
                "memory_kb": {"before": before, "after": after},
            }
            Path(a.json).write_text(json.dumps(figures, indent=1))
    finally:
        wine.reset()
        x.stop()
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
