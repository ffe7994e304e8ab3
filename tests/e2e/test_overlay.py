"""End-to-end test of the overlay served by kesto.exe: the stand-in game
plays a generated game while headless Chromium shows the overlay page from
KESTO's loopback server, as a streaming tool's browser source does.

The first SHOTS shots are appended one at a time, PERIOD ms apart.  The page
notes when it put each shot on screen (window.kesto.shots: its seq and
Date.now()); each is matched with the moment the game's append was seen.
At the game's end the page's board must equal the scorecard page's, and the
overlay over the test desktop is kept as a picture (overlay-over-game.png
among the end-to-end screenshots; the README's picture is one of them).
"""

import json
import os
import statistics
import subprocess
import sys
import time
from pathlib import Path

from PIL import Image

from harness import SCREEN, write
from test_live import Reader, game_schedule, generated_game, live_state, page_board
from test_playlog import native  # noqa: F401  (the fixture)
from test_server import free_port, wait_serving
from test_watch import GAME, setup_game, start_watching, wait_following

sys.path.insert(0, str(Path(__file__).resolve().parents[1] / "browser"))
import cdp  # noqa: E402

SHOTS = 24
PERIOD = 1300
FIRST = 9000  # ms after the game's window opened: KESTO follows the log by then

BOARD = ("JSON.stringify(Array.from(document.querySelectorAll('#board-rows tr'))"
         ".map(r => [r.children[0].textContent, r.children[1].textContent]))")
BUG = ("JSON.stringify(['bug-name', 'bug-hole', 'bug-club', 'bug-power', 'bug-remaining']"
       ".map(i => document.getElementById(i).textContent))")


def picture(ctx, page):
    """The overlay (transparent) laid over the test desktop with the stand-in game on it."""
    desk, over = ctx.folder / "desktop.png", ctx.folder / "overlay.png"
    env = dict(os.environ, DISPLAY=ctx.wine.env["DISPLAY"])
    subprocess.run(["import", "-window", "root", str(desk)], env=env, check=True, timeout=20,
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    page.screenshot(str(over))
    both = Image.alpha_composite(Image.open(desk).convert("RGBA"), Image.open(over).convert("RGBA"))
    both.convert("RGB").save(ctx.shots / f"overlay-over-game-{ctx.locale.split('.')[0]}.png")


def test_overlay_follows_a_generated_game(ctx, native):  # noqa: F811
    game, ends = generated_game(ctx, native, SHOTS)
    before = b"End Program(0)\r\n"
    golf = setup_game(ctx, golf_bytes=before)
    port = free_port()
    write(ctx.folder / "live.txt", f"SERVER=1\r\nPORT={port}\r\n")
    last = live_state(native, before + game[:ends[SHOTS - 1]], ctx.folder / "prefix.txt")["shot"]

    source, stampfile, schedule = game_schedule(ctx, game, ends, SHOTS, FIRST, PERIOD)
    h = start_watching(ctx)
    wait_serving(ctx, port)
    reader = Reader(ctx.folder / "no-such-file", stampfile)
    with cdp.Browser() as b:
        page = b.open(f"http://127.0.0.1:{port}/?view=both", width=SCREEN[0], height=SCREEN[1])
        page.wait_for("window.kesto && window.kesto.connected", timeout=15)
        # Date.now() in the page against the monotonic clock the reader keeps.
        offset = time.time() - time.monotonic()
        reader.start()
        try:
            ctx.start_fakegame(GAME, ctx.winpath(source), ctx.winpath(golf), ",".join(schedule),
                               ctx.winpath(stampfile))
            wait_following(ctx, h)
            ctx.check(not reader.appends, "the game appended before KESTO followed its log")
            deadline = time.monotonic() + FIRST / 1000 + SHOTS * PERIOD / 1000 + 20
            while len(reader.appends) < SHOTS and time.monotonic() < deadline:
                page.browser.pump(0.2)
            ctx.check(len(reader.appends) >= SHOTS, "the stand-in game did not append the shots")
            # The last of the single shots, as kestocard --live says it.
            try:
                page.wait_for(f"window.kesto.shots.some(s => s.seq === {SHOTS})", timeout=5)
            except cdp.Timeout:
                pass
            bug = json.loads(page.evaluate(BUG))
            ctx.wait_until(lambda: len(reader.appends) >= SHOTS + 1, 20, "the stand-in game did not end the game")
            want = [list(x) for x in page_board(native, golf, ctx.folder / "page")]
            try:
                wanted = json.dumps(json.dumps(want, ensure_ascii=False, separators=(",", ":")))
                page.wait_for(f"{BOARD} === {wanted}", timeout=10)
            except cdp.Timeout:
                ctx.check(False, f"the overlay's board {page.evaluate(BOARD)} is not the page's {want}")
            shown = json.loads(page.evaluate("JSON.stringify(window.kesto.shots)"))
            exceptions = list(page.exceptions)
            picture(ctx, page)
        finally:
            reader.stop = True
            reader.join(5)

    ctx.check(not exceptions, f"the page threw: {exceptions}")
    ctx.check(bug[0] == last["name"] and bug[1] == str(last["hole"]),
              f"the scorebug shows {bug} after shot {SHOTS}, not {last}")
    at = {}
    for s in shown:
        at.setdefault(s["seq"], s["at"] / 1000.0 - offset)
    latencies = []
    for k in range(SHOTS):
        ctx.check(k + 1 in at, f"shot {k + 1} never appeared in the overlay; shown {sorted(at)}")
        latencies.append((at[k + 1] - reader.appends[k]) * 1000)
    median = statistics.median(latencies)
    print(f"overlay latency over {len(latencies)} shots: median {median:.0f} ms, max {max(latencies):.0f} ms")
    ctx.check(median <= 1200 and max(latencies) <= 1600,
              f"the overlay showed shots {median:.0f} ms (median), {max(latencies):.0f} ms (max) after the append: "
              f"{[round(x) for x in latencies]}")
    ctx.no_msgbox(300)
