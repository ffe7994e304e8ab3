#!/usr/bin/env python3
"""Time and size of the animated PNG of a 100-frame burst of 640 x 480,
the whole `kestocard --apng DIR` process (log read, frames checked, read,
encoded, written through the temporary), natively and, with --win BUILD,
kestocard.exe under Wine (the same code kesto.exe runs for
"連写をアニメーションに").

    apng_burst.py --build build-bench [--win build-win] [--runs 11] [--json FILE]

Two stand-in bursts (tests/tools/burstfolder.py): "still", a swing on a
still course (a gauge fills, a ball flies: a small rectangle changes per
frame), and "pan", the view moving 3 pixels a frame (every frame stored
whole, the most work).  Prints per burst the median, fastest and slowest
wall-clock time after a warm-up run, and the size of burst.png against the
BMPs' total.  Under Wine the runs share one persistent wineserver, and
the start-up of a Wine process is timed too (`kestocard.exe --help`), so
that it can be told apart.  No pass or fail.
"""
import argparse
import json
import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import time
from pathlib import Path

ROOT = Path(__file__).resolve().parents[1]
sys.path.insert(0, str(ROOT / "tests" / "tools"))
import burstfolder  # noqa: E402


def timed(cmd, runs, env=None, cwd=None):
    """Wall-clock milliseconds of each run after a warm-up run.  Output goes
    to a file, not a pipe: under Wine the wineserver a run starts would keep
    a pipe open."""
    times = []
    for i in range(runs + 1):
        with tempfile.TemporaryFile() as fe:
            t0 = time.perf_counter()
            rc = subprocess.run(cmd, cwd=cwd, env=env, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                                stderr=fe).returncode
            t1 = time.perf_counter()
            if rc != 0:
                fe.seek(0)
                raise SystemExit("%s failed: %s" % (" ".join(map(str, cmd)), fe.read().decode("utf-8", "replace")))
        if i:
            times.append((t1 - t0) * 1000)
    return times


def figures(times):
    return {"median_ms": round(statistics.median(times), 1), "min_ms": round(min(times), 1),
            "max_ms": round(max(times), 1), "runs": len(times)}


def show(what, f):
    print("%-34s median %8.1f ms  (fastest %.1f, slowest %.1f, %d runs)" % (
        what, f["median_ms"], f["min_ms"], f["max_ms"], f["runs"]))


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--build", required=True, help="the native build with kestocard")
    ap.add_argument("--win", help="the Windows build with kestocard.exe: also time it under Wine")
    ap.add_argument("--runs", type=int, default=11)
    ap.add_argument("--json")
    a = ap.parse_args()
    card = Path(a.build).resolve() / "kestocard"
    work = Path(tempfile.mkdtemp(prefix="kesto-bench-apng-"))
    out = {"native": {}, "wine": {}, "size": {}}
    try:
        bursts = {}
        for name, pan in (("still", False), ("pan", True)):
            d = work / ("d05_1403_22_%s" % name)
            bmps = burstfolder.write_burst(str(d), burstfolder.standin_tics(100), pan=pan)
            bursts[name] = d
            f = figures(timed([str(card), "--apng", str(d)], a.runs))
            out["native"][name] = f
            show("native kestocard --apng, %s" % name, f)
            png = os.path.getsize(d / "burst.png")
            total = sum(os.path.getsize(b) for b in bmps)
            out["size"][name] = {"png_bytes": png, "bmp_bytes": total, "percent": round(100.0 * png / total, 3)}
            print("%-34s burst.png %d bytes, the 100 BMPs %d bytes: %.3f %%" % ("size, " + name, png, total,
                                                                                100.0 * png / total))
        if a.win:
            sys.path.insert(0, str(ROOT / "tests" / "e2e"))
            from harness import Wine, Xvfb, winpath  # noqa: E402
            exe = Path(a.win).resolve() / "kestocard.exe"
            x = Xvfb()
            disp = x.start()
            wine = Wine(work / "prefix", "ja_JP.UTF-8", disp)
            try:
                wine.boot()
                # One wineserver for all runs, so each run times the program
                # and not the start of a new server.
                subprocess.run(["wineserver", "-p"], env=wine.env, stdin=subprocess.DEVNULL,
                               stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, check=True)
                base = ["wine", str(exe)]
                f = figures(timed(base + ["--help"], a.runs, env=wine.env))
                out["wine"]["startup"] = f
                show("wine kestocard.exe --help", f)
                for name, d in bursts.items():
                    f = figures(timed(base + ["--apng", winpath(d)], a.runs, env=wine.env))
                    out["wine"][name] = f
                    show("wine kestocard.exe --apng, %s" % name, f)
            finally:
                wine.reset()
                x.stop()
    finally:
        shutil.rmtree(work, ignore_errors=True)
    if a.json:
        with open(a.json, "w") as fo:
            json.dump(out, fo, indent=1)


if __name__ == "__main__":
    main()
