#!/usr/bin/env python3
"""How quickly kesto.exe shows a shot the game has just written, and what its
watching costs while no game runs. Runs the real kesto.exe under Wine
(ja_JP.UTF-8) on a virtual screen with the stand-in game, once per INTERVAL
setting (1 and 7 unless told otherwise):

1. kesto.exe starts, スタート is pressed, and for IDLE seconds (30) no game
   runs: the CPU time kesto.exe uses meanwhile, as a share of one core, read
   from Wine's process list through the probe (and, as a cross-check, from
   the Linux process).
2. The stand-in game then opens its window titled ゴルフ漬け over a golf.txt
   that already holds a shot, and appends SHOTS more (24), one every PERIOD
   ms (1370, more than the watcher's one-second pace, so no two land in one
   read) once the watcher follows the file. Every shot carries its own club
   number; the game writes down the GetTickCount64 of each append, and the
   probe follows the club, remaining distance and status controls every
   5 ms under the same clock. The latency of a shot is the time from its
   append to the change of the club control to its number.
3. The resident memory of kesto.exe's Linux process (VmRSS, and the peak
   VmHWM) after the idle watching and at the end of the run, before 終了.

Prints the figures; there is no pass or fail. --json FILE also writes them
to FILE (times in ms, memory in kB). Run through scripts/bench-watch.sh, which
builds the Windows targets first.
"""

import argparse
import json
import shutil
import statistics
import sys
import tempfile
import time
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parents[1] / "tests" / "e2e"))
import harness  # noqa: E402
import procmem  # noqa: E402
from harness import Ctx, Wine, Xvfb, loginit_full, shot_lines, shot_record, write  # noqa: E402

GAME = "ゴルフ漬け"
STARTED = "起動監視をスタートしました".encode("cp932")
FOLLOWING = "golf.txt 監視中".encode("cp932")
CLUB, REMAIN, STATUSLINE = 1008, 1011, 1005
SHOT_LINES = 12  # "*PlayerN MM" and the eleven lines of a ShotData block


def club_of(k):
    """The club number that tags shot k: 1..69 without 30 (whose number the
    record's variant byte may change), so each shows as its own number in
    metres."""
    return [c for c in range(1, 70) if c != 30][k % 68]


def shot(k):
    return b"*Player1 03\r\n" + shot_lines(shot_record(club_of(k), power=60 + k % 60, hole=1 + k // 4,
                                                      remain=100.0 + k))


def cpu_linux_ms(unix_pid):
    """utime + stime of a Linux process in ms (Wine runs each Windows process
    as one Linux process: the one `wine kesto.exe` started)."""
    import os
    fields = Path(f"/proc/{unix_pid}/stat").read_text().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) * 1000 // os.sysconf("SC_CLK_TCK")


def run_interval(wine, exes, work, interval, args):
    folder = work / f"interval-{interval}"
    folder.mkdir()
    ctx = Ctx(wine, exes, folder, folder, wine.locale)
    # The settings take the game's log only from a long path with GOLFDUKE in it.
    gamedir = folder / "GOLFDUKE" / "stand-in game folder for the watcher benchmark"
    gamedir.mkdir(parents=True)
    golf = gamedir / "golf.txt"
    dgpath = ctx.winpath(golf)
    ctx.check(len(dgpath) >= 48, f"DGPATH {dgpath} is shorter than 48 characters")
    write(folder / "loginit.txt", loginit_full(ctx.winpath(folder), dgpath=dgpath, interval=interval))
    golf.write_bytes(b"** Stroke Begin **\r\n2026/12/08 10:00\r\n*Hole  1\r\n" + shot(67))
    source = folder / "shots.txt"
    source.write_bytes(b"".join(shot(k) for k in range(args.shots)))
    stamps = folder / "stamps.txt"

    kesto = ctx.start_kesto()
    main = ctx.find_main()
    ctx.probe_ok("click", main, 1003)
    ctx.wait_text(main, STATUSLINE, STARTED, 5000)

    # 1. Watching with no game.
    pid = ctx.pid(main)
    unix = procmem.linux_pid(kesto.pid, ctx.kesto, wine.prefix)
    ctx.check(unix is not None, "the Linux process of kesto.exe was not found")
    c0, t0 = ctx.cputime(pid)
    l0 = cpu_linux_ms(unix)
    deadline = time.monotonic() + args.idle
    while time.monotonic() < deadline:
        ctx.check(kesto.poll() is None, "kesto.exe ended while it watched")
        time.sleep(min(1.0, max(0.0, deadline - time.monotonic())))
    c1, t1 = ctx.cputime(pid)
    l1 = cpu_linux_ms(unix)
    memory = {"idle": procmem.memory(unix)}
    ctx.check(not ctx.probe_ok("findall", "*", GAME), "a game window was open while idle was measured")
    idle = {"seconds": (t1 - t0) / 1000, "share": (c1 - c0) / (t1 - t0),
            "linux_share": (l1 - l0) / (t1 - t0), "cpu_ms": c1 - c0}

    # 2. Latency of each appended shot.
    schedule = f"{args.lead}:every={args.period}/l{SHOT_LINES}"
    ctx.start_fakegame(GAME, ctx.winpath(source), ctx.winpath(golf), schedule, ctx.winpath(stamps))
    ctx.find("FAKEGAME", GAME)
    watch_ms = args.lead + args.period * args.shots + 6000
    events = ctx.watch([(main, CLUB), (main, REMAIN), (main, STATUSLINE)], watch_ms)
    (folder / "watch.txt").write_text("".join(f"{t} {cid} {text.hex() or '-'}\n" for t, cid, text in events))
    appends = [tuple(int(x) for x in line.split()) for line in stamps.read_text().splitlines()]
    ctx.check(len(appends) == args.shots, f"the game made {len(appends)} appends, expected {args.shots}")
    memory["end"] = procmem.memory(unix)
    ctx.probe_ok("click", main, 1)
    ctx.wait_exit(kesto, 20)

    following = next((t for t, cid, text in events if cid == STATUSLINE and text == FOLLOWING), None)
    ctx.check(following is not None, "kesto.exe never followed golf.txt")
    latencies, missed, early = [], [], 0
    for k, (tick, _, _) in enumerate(appends):
        if tick < following:
            early += 1
            continue
        # The shot is on screen from the first read that saw its club number
        # or its distance, whichever the watcher set first.
        club = str(club_of(k)).encode()
        remain = f"{100.0 + k:.1f}m".encode()
        seen = {cid: t for t, cid, text in reversed(events)
                if t >= tick and (cid, text) in ((CLUB, club), (REMAIN, remain))}
        if len(seen) < 2:
            missed.append(k)
            continue
        latencies.append(min(seen.values()) - tick)
    return idle, latencies, missed, early, memory


def main():
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    root = Path(__file__).resolve().parents[1]
    ap.add_argument("--build", default=str(root / "build-win"), help="MinGW build folder (default build-win)")
    ap.add_argument("--interval", type=int, action="append", help="INTERVAL value (repeatable; default 1 and 7)")
    ap.add_argument("--shots", type=int, default=24, help="shots appended per run (default 24)")
    ap.add_argument("--period", type=int, default=1370, help="ms between appends (default 1370)")
    ap.add_argument("--lead", type=int, default=7000,
                    help="ms from the game window to its first append (default 7000)")
    ap.add_argument("--idle", type=float, default=30, help="seconds of watching without a game (default 30)")
    ap.add_argument("--keep", action="store_true", help="keep the prefix and the run folders")
    ap.add_argument("--json", help="also write the figures to this file")
    ap.add_argument("-v", "--verbose", action="store_true", help="echo every probe call")
    args = ap.parse_args()
    if not 1 <= args.shots <= 67:
        ap.error("1 to 67 shots: each needs its own club number")

    build = Path(args.build).resolve()
    exes = (build / "kesto.exe", build / "tests" / "e2e" / "probe.exe", build / "tests" / "e2e" / "fakegame.exe")
    for f in exes:
        if not f.is_file():
            print(f"bench: {f} is missing (build the Windows targets first)", file=sys.stderr)
            return 2
    work = Path(tempfile.mkdtemp(prefix="kesto-bench-"))
    xvfb = Xvfb()
    wine = None
    figures = {"shots": args.shots, "period_ms": args.period, "idle_s": args.idle, "intervals": {}}
    try:
        display = xvfb.start()
        wine = Wine(work / "prefix", "ja_JP.UTF-8", display, verbose=args.verbose)
        wine.boot()
        print(f"kesto.exe {exes[0]} under Wine, LANG=ja_JP.UTF-8, {args.shots} shots every {args.period} ms, "
              f"{args.idle:g} s without a game", flush=True)
        for interval in args.interval or [1, 7]:
            try:
                idle, lat, missed, early, memory = run_interval(wine, exes, work, interval, args)
            except harness.CaseFail as e:
                print(f"INTERVAL={interval}: run failed: {e}", flush=True)
                figures["intervals"][str(interval)] = {"error": str(e)}
                continue
            finally:
                wine.reset()
            print(f"INTERVAL={interval}:")
            if lat:
                q = statistics.quantiles(lat, n=10, method="inclusive") if len(lat) >= 2 else [lat[0]] * 9
                print(f"  append to display: median {statistics.median(lat):.0f} ms, max {max(lat)} ms, "
                      f"min {min(lat)} ms, 90th percentile {q[8]:.0f} ms over {len(lat)} shots")
            else:
                print("  append to display: no shot was shown")
            if missed:
                print(f"  shots not shown with both club and distance: {len(missed)} "
                      f"({', '.join(map(str, missed))})")
            if early:
                print(f"  shots appended before following began (not counted): {early}")
            print(f"  idle watching: {idle['cpu_ms']} ms CPU in {idle['seconds']:.1f} s = "
                  f"{100 * idle['share']:.2f} % of one core (Linux process: {100 * idle['linux_share']:.2f} %)",
                  flush=True)
            print(f"  memory: resident {memory['idle']['VmRSS'] / 1024:.1f} MiB after idle watching, "
                  f"{memory['end']['VmRSS'] / 1024:.1f} MiB at the end, peak {memory['end']['VmHWM'] / 1024:.1f} MiB",
                  flush=True)
            lat_fig = None
            if lat:
                lat_fig = {"median": statistics.median(lat), "max": max(lat), "min": min(lat),
                           "p90": q[8], "count": len(lat)}
            figures["intervals"][str(interval)] = {"latency_ms": lat_fig, "missed": len(missed), "early": early,
                                                   "idle": idle, "memory_kb": memory}
        if args.json:
            Path(args.json).write_text(json.dumps(figures, indent=1))
    finally:
        if wine:
            wine.reset()
        xvfb.stop()
        if args.keep:
            print(f"bench: kept {work}", file=sys.stderr)
        else:
            shutil.rmtree(work, ignore_errors=True)
    return 0


if __name__ == "__main__":
    sys.exit(main())
