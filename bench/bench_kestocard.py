#!/usr/bin/env python3
"""Whole-process timing of kestocard on the largest logs KESTO reads.

    bench_kestocard.py --build build-bench [--runs 21] [--json FILE]

Makes two logs just below 4 MiB (0x400000 bytes is refused): the generator's
mix of games, where "HTM作成" stops after the eleventh short game, and one of
full games only, where every game of the log is parsed and written (the
longest page).  Runs `kestocard --links LOG` on each in a scratch folder the
given number of times (after two warm-up runs) and prints the median,
fastest and slowest wall-clock time of the whole process (start, read,
parse, page and link list written, exit) and its median CPU time, which a
busy machine disturbs less.  Then times `kestocard --stats` on 100 logs
just below 4 MiB each (generated with 100 seeds: some 6,000 games, all
different, each shot with its ShotData record), the whole process: every log
read and cut into games, each game once and its shots read, stats.html (with
putts and greens, recent form, every course's holes) and rounds.csv written
(target: below 1 s).  With --json,
also writes those figures to FILE: {"generated": {...}, "full": {...},
"stats": {...}}, times in milliseconds.
"""
import argparse
import json
import os
import resource
import shutil
import statistics
import subprocess
import tempfile
import time


ENDS = (b"** Stroke End **", b"** PointBattle End **", b"End Program(0)")


def full_games_only(log, limit):
    """The games of log that begin at hole 1 and end on hole 18 with an end
    marker, repeated until the next would pass limit bytes."""
    games, cur = [], []
    for line in log.split(b"\r\n"):
        cur.append(line)
        if line in ENDS:
            games.append(b"\r\n".join(cur) + b"\r\n")
            cur = []
    full = [g for g in games if b"Begin **\r\n" in g and b"*Hole 18\r\n" in g and b"Resume" not in g]
    out = bytearray()
    while full:
        for g in full:
            if len(out) + len(g) > limit:
                return bytes(out)
            out += g
    return bytes(out)


def cpu():
    u = resource.getrusage(resource.RUSAGE_CHILDREN)
    return u.ru_utime + u.ru_stime


def timed(cmd, cwd, runs, first=0):
    """Wall-clock and CPU (user + system) milliseconds of each run."""
    times, cpus = [], []
    for i in range(runs + 2):
        c0, t0 = cpu(), time.perf_counter()
        r = subprocess.run(cmd, cwd=cwd, stdout=subprocess.PIPE, stderr=subprocess.PIPE)
        t1, c1 = time.perf_counter(), cpu()
        if r.returncode != 0:
            raise SystemExit("kestocard failed: " + r.stderr.decode("utf-8", "replace"))
        if i >= 2:
            times.append((t1 - t0) * 1000)
            cpus.append((c1 - c0) * 1000)
    return times, cpus, r.stdout.decode().split()[first]


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--build", required=True)
    ap.add_argument("--runs", type=int, default=21)
    ap.add_argument("--json", help="also write the figures to this file")
    a = ap.parse_args()
    figures = {}
    build = os.path.abspath(a.build)
    work = tempfile.mkdtemp(prefix="kesto-bench-")
    try:
        log = os.path.join(work, "golf.txt")
        subprocess.run([os.path.join(build, "kestologgen"), "20240601", "0", log, str(0x400000 - 1)], check=True)
        full = os.path.join(work, "full.txt")
        with open(log, "rb") as f, open(full, "wb") as g:
            g.write(full_games_only(f.read(), 0x400000 - 1))
        for key, name, what in (("generated", log, "generated games"), ("full", full, "full games only")):
            times, cpus, page = timed([os.path.join(build, "kestocard"), "--links", name], work, a.runs)
            figures[key] = {"log_bytes": os.path.getsize(name),
                            "page_bytes": os.path.getsize(os.path.join(work, page)),
                            "median_ms": statistics.median(times), "min_ms": min(times), "max_ms": max(times),
                            "cpu_median_ms": statistics.median(cpus), "runs": len(times)}
            print("kestocard, %s, %d-byte log, %d-byte page: median %.1f ms (min %.1f, max %.1f) wall-clock, "
                  "median %.1f ms CPU, over %d runs"
                  % (what, os.path.getsize(name), os.path.getsize(os.path.join(work, page)), statistics.median(times),
                     min(times), max(times), statistics.median(cpus), len(times)))
        logs = []
        for i in range(100):
            logs.append("stats%03d.txt" % i)
            subprocess.run([os.path.join(build, "kestologgen"), str(20240700 + i), "0", os.path.join(work, logs[-1]),
                            str(0x400000 - 1)], check=True)
        runs = max(5, a.runs // 3)
        times, cpus, page = timed([os.path.join(build, "kestocard"), "--stats"] + logs, work, runs, 1)
        total = sum(os.path.getsize(os.path.join(work, n)) for n in logs)
        with open(os.path.join(work, "rounds.csv"), "rb") as f:
            rows = f.read().count(b"\r\n") - 1
        figures["stats"] = {"logs": len(logs), "log_bytes": total, "rounds": rows,
                            "page_bytes": os.path.getsize(os.path.join(work, page)),
                            "median_ms": statistics.median(times), "min_ms": min(times), "max_ms": max(times),
                            "cpu_median_ms": statistics.median(cpus), "runs": len(times)}
        print("kestocard --stats, %d logs of %d bytes in all, %d rounds: median %.1f ms (min %.1f, max %.1f) "
              "wall-clock, median %.1f ms CPU, over %d runs (target below 1000 ms)"
              % (len(logs), total, rows, statistics.median(times), min(times), max(times), statistics.median(cpus),
                 len(times)))
        if a.json:
            with open(a.json, "w") as f:
                json.dump(figures, f, indent=1)
    finally:
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
