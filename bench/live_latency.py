#!/usr/bin/env python3
"""How quickly a shot the game has just written reaches live\\shot.txt, the
text file a streaming tool's text source re-reads. Runs the real kesto.exe
under Wine (ja_JP.UTF-8) on a virtual screen with the stand-in game, once per
INTERVAL setting (1 and 7 unless told otherwise), with live.txt's FILES=1:

The stand-in game opens its window titled ゴルフ漬け over a golf.txt that
already holds a shot and appends SHOTS more (24), one every PERIOD ms (1370,
more than the watcher's one-second pace) once the watcher follows the file;
each shot carries its own club number. A reader on the Linux side polls the
game's stamp file (one line per append) and live\\shot.txt every 2 ms; the
latency of a shot is the time from its stamp line appearing to shot.txt
holding that shot's club. Every content shot.txt is read with must be a whole
line (never partial or empty); the count of other reads is printed.

With --overlay the server is on too (SERVER=1) and headless Chromium shows
its overlay page, as a streaming tool's browser source does; the page notes
when it put each shot on screen, and the latency of a shot is the time from
its stamp line to that moment.

Prints the figures; there is no pass or fail. --json FILE also writes them
to FILE (times in ms). Run through scripts/bench-live.sh, which builds the
Windows targets first.
"""

import argparse
import json
import shutil
import statistics
import sys
import tempfile
import threading
import time
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parents[1] / "tests" / "e2e"))
import harness  # noqa: E402
from harness import Ctx, Wine, Xvfb, loginit_full, write  # noqa: E402
sys.path.insert(0, str(Path(__file__).resolve().parents[1] / "tests" / "browser"))
import cdp  # noqa: E402
from test_server import free_port  # noqa: E402
from watch_latency import GAME, STARTED, STATUSLINE, FOLLOWING, SHOT_LINES, club_of, shot  # noqa: E402

BOM = b"\xef\xbb\xbf"


def poll(shotfile, stampfile, out, stop):
    """(time, content) of every new content of shotfile and the time each
    stamp line was first seen, into out."""
    last = None
    while not stop.is_set():
        now = time.monotonic()
        try:
            data = shotfile.read_bytes()
            if data != last:
                out["contents"].append((now, data))
                last = data
        except OSError:
            pass
        try:
            n = sum(1 for x in stampfile.read_text().splitlines() if x.strip())
        except OSError:
            n = 0
        while len(out["appends"]) < n:
            out["appends"].append(now)
        time.sleep(0.002)


def run_interval(wine, exes, work, interval, args):
    folder = work / f"interval-{interval}"
    folder.mkdir()
    ctx = Ctx(wine, exes, folder, folder, wine.locale)
    gamedir = folder / "GOLFDUKE" / "stand-in game folder for the live benchmark"
    gamedir.mkdir(parents=True)
    golf = gamedir / "golf.txt"
    write(folder / "loginit.txt", loginit_full(ctx.winpath(folder), dgpath=ctx.winpath(golf), interval=interval))
    port = free_port()
    write(folder / "live.txt", f"FILES=1\r\nSERVER=1\r\nPORT={port}\r\n" if args.overlay else "FILES=1\r\n")
    golf.write_bytes(b"** Stroke Begin **\r\n2026/12/08 10:00\r\n*Hole  1\r\n" + shot(67))
    source = folder / "shots.txt"
    source.write_bytes(b"".join(shot(k) for k in range(args.shots)))
    stamps = folder / "stamps.txt"

    kesto = ctx.start_kesto()
    main = ctx.find_main()
    ctx.probe_ok("click", main, 1003)
    ctx.wait_text(main, STATUSLINE, STARTED, 5000)
    out = {"contents": [], "appends": []}
    stop = threading.Event()
    reader = threading.Thread(target=poll, args=(folder / "live" / "shot.txt", stamps, out, stop), daemon=True)
    browser = cdp.Browser() if args.overlay else None
    shown = []
    try:
        if browser:
            page = browser.open(f"http://127.0.0.1:{port}/?view=both")
            page.wait_for("window.kesto && window.kesto.connected", timeout=15)
            offset = time.time() - time.monotonic()  # the page's Date.now() on the reader's clock
        reader.start()
        ctx.start_fakegame(GAME, ctx.winpath(source), ctx.winpath(golf),
                           f"{args.lead}:every={args.period}/l{SHOT_LINES}", ctx.winpath(stamps))
        ctx.find("FAKEGAME", GAME)
        ctx.wait_text(main, STATUSLINE, FOLLOWING, 10000)
        ctx.wait_until(lambda: len(out["appends"]) >= args.shots, args.lead / 1000 + args.period * args.shots / 1000 + 20,
                       "the stand-in game did not append every shot")
        time.sleep(3)
        if browser:
            shown = [(s["seq"], s["at"] / 1000.0 - offset)
                     for s in json.loads(page.evaluate("JSON.stringify(window.kesto.shots)"))]
    finally:
        stop.set()
        if reader.is_alive():
            reader.join(5)
        if browser:
            browser.close()
    ctx.probe_ok("click", main, 1)
    ctx.wait_exit(kesto, 20)
    bad = sum(1 for _, d in out["contents"] if not (d.startswith(BOM) and d.endswith(b"\r\n") and d.count(b"\n") == 1))
    latencies, missed = [], []
    for k, t in enumerate(out["appends"]):
        want = f"Club {club_of(k)}  ".encode()
        seen = next((s for s, d in out["contents"] if s >= t - 0.05 and want in d), None)
        if seen is None:
            missed.append(k)
        else:
            latencies.append((seen - t) * 1000)
    # The watcher follows golf.txt from its end, so the shot already there is
    # not counted: the k-th shot appended (from 0) is seq k + 1.
    first = {}
    for seq, at in shown:
        first.setdefault(seq, at)
    overlay = [(first[k + 1] - t) * 1000 for k, t in enumerate(out["appends"]) if k + 1 in first]
    return latencies, missed, bad, len(out["contents"]), overlay


def main():
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    root = Path(__file__).resolve().parents[1]
    ap.add_argument("--build", default=str(root / "build-win"), help="MinGW build folder (default build-win)")
    ap.add_argument("--interval", type=int, action="append", help="INTERVAL value (repeatable; default 1 and 7)")
    ap.add_argument("--shots", type=int, default=24, help="shots appended per run (default 24)")
    ap.add_argument("--period", type=int, default=1370, help="ms between appends (default 1370)")
    ap.add_argument("--lead", type=int, default=7000, help="ms from the game window to its first append")
    ap.add_argument("--overlay", action="store_true", help="also serve the overlay page and time it in Chromium")
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
    work = Path(tempfile.mkdtemp(prefix="kesto-bench-live-"))
    xvfb = Xvfb()
    wine = None
    figures = {"shots": args.shots, "period_ms": args.period, "intervals": {}}
    try:
        wine = Wine(work / "prefix", "ja_JP.UTF-8", xvfb.start(), verbose=args.verbose)
        wine.boot()
        print(f"kesto.exe {exes[0]} under Wine, FILES=1, {args.shots} shots every {args.period} ms", flush=True)
        for interval in args.interval or [1, 7]:
            try:
                lat, missed, bad, reads, overlay = run_interval(wine, exes, work, interval, args)
            except harness.CaseFail as e:
                print(f"INTERVAL={interval}: run failed: {e}", flush=True)
                figures["intervals"][str(interval)] = {"error": str(e)}
                continue
            finally:
                wine.reset()
            fig = {"missed": len(missed), "partial_reads": bad, "contents": reads}
            if lat:
                fig.update(median=statistics.median(lat), max=max(lat), min=min(lat), count=len(lat))
                print(f"INTERVAL={interval}: append to shot.txt: median {fig['median']:.0f} ms, max {fig['max']:.0f} ms, "
                      f"min {fig['min']:.0f} ms over {len(lat)} shots; never in shot.txt: {len(missed)}; "
                      f"partial or empty reads: {bad} of {reads} contents", flush=True)
            else:
                print(f"INTERVAL={interval}: no shot reached shot.txt", flush=True)
            if args.overlay:
                fig["overlay"] = {"count": len(overlay), "missed": args.shots - len(overlay)}
                if overlay:
                    fig["overlay"].update(median=statistics.median(overlay), max=max(overlay), min=min(overlay))
                    print(f"INTERVAL={interval}: append to the overlay page in Chromium: median "
                          f"{fig['overlay']['median']:.0f} ms, max {fig['overlay']['max']:.0f} ms, "
                          f"min {fig['overlay']['min']:.0f} ms over {len(overlay)} shots; never shown: "
                          f"{args.shots - len(overlay)}", flush=True)
            figures["intervals"][str(interval)] = fig
        if args.json:
            Path(args.json).write_text(json.dumps(figures, indent=1))
    finally:
        if wine:
            wine.reset()
        xvfb.stop()
        shutil.rmtree(work, ignore_errors=True)
    return 0


if __name__ == "__main__":
    sys.exit(main())
