#!/usr/bin/env python3
"""Prints one table of the figures that scripts/bench-all.sh collected.

    bench_all.py DIR

DIR holds the --json files of the benchmarks: bench.json (scripts/bench.sh:
kesto_bench and kestocard), watch.json (bench/watch_latency.py), live.json
(bench/live_latency.py),
capture.json (bench/capture_burst.py), startup.json (bench/startup.py),
apng.json (bench/apng_burst.py), and
steps.txt, one line "<seconds> <exit code> <name>" per benchmark run. A
benchmark whose file is missing shows as not measured. Figures off their
target are marked MISSED and named last; on a shared machine one noisy run
can miss, so they do not change the exit status, which is 1 only when a
benchmark failed or was not measured.
"""

import json
import sys
from pathlib import Path

# kesto_bench's benchmarks: what each measures. One not named here is shown
# by its own name.
KESTO_BENCH = {
    "BM_getlogline": "line reader, 4 MiB log",
    "BM_parseshot": "live shot parse, 64 KiB appended",
    "BM_parsegame_full": "game parse, 4 MiB log (every game)",
    "BM_parsesettings": "settings parse (loginit.txt text)",
    "BM_readsettings": "settings read (loginit.txt file)",
    "BM_parsecourses": "course table parse (golfcourse.txt)",
    "BM_htmcreate_mixed": "scorecard page, 4 MiB generated log",
    "BM_htmcreate_full": "scorecard page, 4 MiB of full games",
    "BM_ApngStill100Frames640x480": "animated PNG, 100 frames 640x480, a swing on a still course",
    "BM_ApngPan100Frames640x480": "animated PNG, 100 frames 640x480, every pixel changing",
}
IDLE_LIMIT = 2.0  # % of one core while watching without a game
APNG_LIMIT_MS = 2000  # kestocard --apng on 100 frames of 640 x 480, native


def load(d, name):
    p = d / name
    try:
        return json.loads(p.read_text())
    except (OSError, ValueError):
        return None


def ms(v, digits=1):
    return f"{v:.{digits}f} ms"


def mib(kb):
    return f"{kb / 1024:.1f} MiB"


def unit_time(v, unit):
    return f"{v:.3g} {'µs' if unit == 'us' else unit}"


def rows_kesto_bench(data):
    rows = []
    if not data:
        return [("kesto_bench", None, "not measured", "")]
    by = {b["run_name"] if "run_name" in b else b["name"].rsplit("_", 1)[0]: b
          for b in data.get("benchmarks", []) if b.get("aggregate_name") == "median"}
    reps = next((b.get("repetitions") for b in data.get("benchmarks", []) if b.get("repetitions")), 5)
    for name, b in by.items():
        label = KESTO_BENCH.get(name, name)
        other = f"CPU {unit_time(b['cpu_time'], b['time_unit'])}"
        if b.get("bytes_per_second"):
            other += f", {b['bytes_per_second'] / 1e6:.0f} MB/s"
        if b.get("page_bytes"):
            other += f", page {b['page_bytes'] / 1024:.0f} KiB, {b['tables']:.0f} tables"
        rows.append((f"{label} (median of {reps})", unit_time(b["real_time"], b["time_unit"]), other, ""))
    return rows


STATS_LIMIT_MS = 2000


def rows_kestocard(data, off=None):
    if not data:
        return [("kestocard process", None, "not measured", "")]
    rows = []
    for key, what in (("generated", "generated games"), ("full", "full games only")):
        f = data.get(key)
        if f:
            rows.append((f"kestocard --links, 4 MiB log, {what} ({f['runs']} runs)", ms(f["median_ms"]),
                         f"{f['min_ms']:.1f}-{f['max_ms']:.1f} ms, CPU {ms(f['cpu_median_ms'])}", ""))
    f = data.get("stats")
    if f:
        ok = f["median_ms"] < STATS_LIMIT_MS
        if not ok and off is not None:
            off.append(f"kestocard --stats: {f['median_ms']:.0f} ms")
        rows.append((f"kestocard --stats, {f['logs']} logs of 4 MiB, {f['rounds']} rounds ({f['runs']} runs)",
                     ms(f["median_ms"]), f"{f['min_ms']:.1f}-{f['max_ms']:.1f} ms, CPU {ms(f['cpu_median_ms'])}",
                     f"< {STATS_LIMIT_MS} ms {'ok' if ok else 'MISSED'}"))
    return rows


LIVE_LIMIT_MS = 1200  # median from an append to live\\shot.txt (or the overlay page) holding it
OVERLAY_MAX_MS = 1600


def rows_live(data, off, failed):
    if not data:
        return [("text files for streaming (bench/live_latency.py)", None, "not measured", "")]
    rows = []
    for interval, f in sorted(data.get("intervals", {}).items(), key=lambda kv: int(kv[0])):
        if "error" in f or "median" not in f:
            rows.append((f"append to shot.txt, INTERVAL={interval}", None, f"failed: {f.get('error', 'none shown')[:60]}", ""))
            failed.append(f"shot.txt at INTERVAL={interval}")
            continue
        ok = f["median"] <= LIVE_LIMIT_MS and not f.get("partial_reads")
        if not ok:
            off.append(f"shot.txt at INTERVAL={interval}: {f['median']:.0f} ms, {f.get('partial_reads')} partial reads")
        rows.append((f"append to live\\shot.txt, INTERVAL={interval} ({f['count']} shots)", ms(f["median"], 0),
                     f"max {ms(f['max'], 0)}, {f.get('missed', 0)} never in the file, "
                     f"{f.get('partial_reads', 0)} partial reads",
                     f"<= {LIVE_LIMIT_MS} ms {'ok' if ok else 'MISSED'}"))
        o = f.get("overlay")
        if o and "median" in o:
            ok = o["median"] <= LIVE_LIMIT_MS and o["max"] <= OVERLAY_MAX_MS and not o.get("missed")
            if not ok:
                off.append(f"overlay at INTERVAL={interval}: {o['median']:.0f} ms, max {o['max']:.0f} ms")
            rows.append((f"append to the overlay page in Chromium, INTERVAL={interval} ({o['count']} shots)",
                         ms(o["median"], 0), f"max {ms(o['max'], 0)}, {o.get('missed', 0)} never shown",
                         f"<= {LIVE_LIMIT_MS} ms, max <= {OVERLAY_MAX_MS} ms {'ok' if ok else 'MISSED'}"))
        elif o is not None:
            rows.append((f"append to the overlay page, INTERVAL={interval}", None, "none shown", ""))
            failed.append(f"overlay at INTERVAL={interval}")
    return rows


def rows_watch(data, off, failed):
    if not data:
        return [("game watcher (bench/watch_latency.py)", None, "not measured", "")]
    rows = []
    for interval, f in sorted(data.get("intervals", {}).items(), key=lambda kv: int(kv[0])):
        if "error" in f:
            rows.append((f"watcher at INTERVAL={interval}", None, f"failed: {f['error'][:60]}", ""))
            failed.append(f"watcher at INTERVAL={interval}")
            continue
        lat = f.get("latency_ms")
        if lat:
            rows.append((f"append to display, INTERVAL={interval} ({lat['count']} shots)", ms(lat["median"], 0),
                         f"max {ms(lat['max'], 0)}, 90th pct {ms(lat['p90'], 0)}"
                         + (f", {f['missed']} not shown" if f.get("missed") else ""), ""))
        else:
            rows.append((f"append to display, INTERVAL={interval}", None, "no shot shown", ""))
            failed.append(f"no shot shown at INTERVAL={interval}")
    for interval, f in sorted(data.get("intervals", {}).items(), key=lambda kv: int(kv[0])):
        idle = f.get("idle")
        if idle:
            share = 100 * idle["share"]
            ok = share < IDLE_LIMIT
            if not ok:
                off.append(f"idle CPU at INTERVAL={interval}: {share:.2f} %")
            rows.append((f"idle CPU watching, no game, INTERVAL={interval} ({idle['seconds']:.0f} s)",
                         f"{share:.2f} %", f"{idle['cpu_ms']} ms CPU; Linux process {100 * idle['linux_share']:.2f} %",
                         f"< {IDLE_LIMIT:g} % {'ok' if ok else 'MISSED'}"))
    for interval, f in sorted(data.get("intervals", {}).items(), key=lambda kv: int(kv[0])):
        m = f.get("memory_kb")
        if m:
            rows.append((f"peak resident memory watching, INTERVAL={interval}", mib(m["end"]["VmHWM"]),
                         f"resident {mib(m['idle']['VmRSS'])} idle, {mib(m['end']['VmRSS'])} after the shots", ""))
    return rows


def rows_capture(data, off):
    if not data:
        return [("burst capture (bench/capture_burst.py)", None, "not measured", "")]
    iv, grab, fl, mem = data["interval_ms"], data["grab_ms"], data["flush10_ms"], data["memory_kb"]
    w, h = data["area"]
    iv_ok = iv["median"] <= 35 and iv["p95"] <= 50
    grab_ok = grab["median"] < 10
    if not iv_ok:
        off.append("burst frame interval")
    if not grab_ok:
        off.append("grab time")
    return [
        (f"burst frame interval, {data['frames']} frames {w}x{h}, INTERVAL=7", ms(iv["median"]),
         f"95th pct {iv['p95']} ms, max {iv['max']} ms", f"<= 35 / p95 <= 50 {'ok' if iv_ok else 'MISSED'}"),
        (f"one {w}x{h} grab ({grab['count']} grabs)", ms(grab["median"], 2), f"95th pct {ms(grab['p95'], 2)}",
         f"< 10 {'ok' if grab_ok else 'MISSED'}"),
        ("burst write-out, 10 frames per tick", ms(fl["median"]),
         f"max {ms(fl['max'])}; tick to tick {ms(fl['cycle_median'])}", ""),
        (f"peak resident memory, {data['frames']}-frame burst", mib(mem["after"]["VmHWM"]),
         f"resident {mib(mem['before']['VmRSS'])} before the burst", ""),
    ]


def rows_apng(data, off):
    if not data:
        return [("animated PNG (bench/apng_burst.py)", None, "not measured", "")]
    rows = []
    for name, what in (("still", "a swing on a still course"), ("pan", "every pixel changing")):
        f, size = data["native"][name], data["size"][name]
        ok = f["median_ms"] < APNG_LIMIT_MS
        if not ok:
            off.append("animated PNG time")
        rows.append((f"kestocard --apng, 100 frames 640x480, {what}", ms(f["median_ms"]),
                     f"{f['min_ms']:.0f}-{f['max_ms']:.0f} ms; burst.png {size['png_bytes']} bytes, "
                     f"{size['percent']} % of the BMPs", f"< {APNG_LIMIT_MS} ms {'ok' if ok else 'MISSED'}"))
    for name, what in (("startup", "start-up alone (--help)"), ("still", "--apng, still course"),
                       ("pan", "--apng, every pixel changing")):
        f = data.get("wine", {}).get(name)
        if f:
            rows.append((f"kestocard.exe under Wine, {what}", ms(f["median_ms"]),
                         f"{f['min_ms']:.0f}-{f['max_ms']:.0f} ms", ""))
    return rows


def rows_startup(data):
    if not data:
        return [("start-up (bench/startup.py)", None, "not measured", "")]
    return [(f"kesto.exe start to main window ({len(data['runs_ms'])} starts)", ms(data["median_ms"], 0),
             f"{data['min_ms']:.0f}-{data['max_ms']:.0f} ms; first after boot {ms(data['first_ms'], 0)}", "")]


def main():
    d = Path(sys.argv[1])
    off, failed = [], []
    bench = load(d, "bench.json") or {}
    sections = [
        ("Log parsing and scorecard page (kesto_bench, native, real time)", rows_kesto_bench(bench.get("kesto_bench"))),
        ("Scorecard tool, whole process (native)", rows_kestocard(bench.get("kestocard"), off)),
        ("Animated PNG of a burst, whole process", rows_apng(load(d, "apng.json"), off)),
        ("kesto.exe under Wine on Xvfb (ja_JP.UTF-8)", rows_startup(load(d, "startup.json"))
         + rows_watch(load(d, "watch.json"), off, failed) + rows_live(load(d, "live.json"), off, failed) + rows_capture(load(d, "capture.json"), off)),
    ]
    head = ("figure", "median", "spread and other figures", "target")
    allrows = [r for _, rows in sections for r in rows]
    widths = [max(len(head[i]), *(len(r[i] if r[i] is not None else "-") for r in allrows)) for i in range(4)]

    def line(r):
        cells = [c if c is not None else "-" for c in r]
        return "  ".join(c.rjust(widths[i]) if i == 1 else c.ljust(widths[i]) for i, c in enumerate(cells)).rstrip()

    print(line(head))
    print("  ".join("-" * w for w in widths))
    for title, rows in sections:
        print(f"{title}:")
        for r in rows:
            print(line(r))
            if r[1] is None:
                failed.append(f"{r[0]}: {r[2]}")
    steps = []
    try:
        for s in (d / "steps.txt").read_text().splitlines():
            secs, code, name = s.split(" ", 2)
            steps.append((int(secs), int(code), name))
    except (OSError, ValueError):
        pass
    if steps:
        print()
        print("run times: " + "; ".join(f"{name} {secs} s" + ("" if code == 0 else f" (exit {code})")
                                        for secs, code, name in steps)
              + f"; total {sum(s for s, _, _ in steps)} s")
        failed += [f"{name} ended with {code}" for _, code, name in steps if code != 0]
    if off:
        print("off target: " + "; ".join(dict.fromkeys(off)))
    if failed:
        print("failed: " + "; ".join(dict.fromkeys(failed)))
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
