#!/usr/bin/env python3
"""Whole-process timing of kestocard on the largest log KESTO reads.

    bench_kestocard.py --build build-bench [--runs 21]

Makes a log of whole generated games just below 4 MiB (0x400000 bytes is
refused), then runs `kestocard --links LOG` in a scratch folder the given
number of times (after two warm-up runs) and prints the median, fastest and
slowest wall-clock time of the whole process: start, read, parse, page and
link list written, exit.
"""
import argparse
import os
import shutil
import statistics
import subprocess
import tempfile
import time


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--build", required=True)
    ap.add_argument("--runs", type=int, default=21)
    a = ap.parse_args()
    build = os.path.abspath(a.build)
    work = tempfile.mkdtemp(prefix="kesto-bench-")
    try:
        log = os.path.join(work, "golf.txt")
        subprocess.run([os.path.join(build, "kestologgen"), "20240601", "0", log, str(0x400000 - 1)], check=True)
        size = os.path.getsize(log)
        cmd = [os.path.join(build, "kestocard"), "--links", log]
        times = []
        for i in range(a.runs + 2):
            t0 = time.perf_counter()
            r = subprocess.run(cmd, cwd=work, stdout=subprocess.PIPE, stderr=subprocess.PIPE)
            t1 = time.perf_counter()
            if r.returncode != 0:
                raise SystemExit("kestocard failed: " + r.stderr.decode("utf-8", "replace"))
            if i >= 2:
                times.append((t1 - t0) * 1000)
        page = r.stdout.decode().split()[0]
        print("kestocard on a %d-byte log (%d-byte page): median %.1f ms, min %.1f ms, max %.1f ms over %d runs"
              % (size, os.path.getsize(os.path.join(work, page)), statistics.median(times), min(times), max(times),
                 len(times)))
    finally:
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
