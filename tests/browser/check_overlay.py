#!/usr/bin/env python3
"""The overlay page (src/app/overlay.html) in headless Chromium, fed by a
stand-in of KESTO's page server (livemock.py) and read through the DevTools
protocol (cdp.py) after each event.

    check_overlay.py [--build build/native] [--page overlay.html]

With --build, the hostile player names come from that build's
`kestocard --live`, so they are escaped exactly as KESTO escapes them.
Prints one line per check and ends with "overlay: N passed, N failed".
"""
import argparse
import json
import os
import re
import subprocess
import sys
import tempfile
import time
import traceback

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import cdp  # noqa: E402
import check_pages  # noqa: E402  (its check() and counts)
import livemock  # noqa: E402
from check_pages import check  # noqa: E402


def group(fn):
    """A group of checks; an exception in it (a wait that timed out) is one failure."""
    def run(*a):
        try:
            fn(*a)
        except Exception as e:  # noqa: BLE001
            check(False, "%s: %s" % (fn.__name__, e))
            traceback.print_exc(limit=2)
    run.__name__ = fn.__name__
    return run


def game(course="ロペ倶楽部", start="2009/04/05 20:00:00", hole=1, ended=False):
    return {"course": course, "start": start, "kind": "stroke", "hole": hole, "ended": ended}


def shot(name, player=1, hole=1, club=50, power=70.8, remaining=123.4, unit="m"):
    return {"player": player, "name": name, "hole": hole, "club": club, "power": power,
            "remaining": remaining, "unit": unit, "text": "%.1f%s" % (remaining, unit)}


def row(player, name, strokes, to_par):
    s = list(strokes) + [None] * (18 - len(strokes))
    return {"player": player, "name": name, "strokes": s, "total": sum(strokes), "to_par": to_par,
            "thru": len(strokes)}


BOARD = [row(1, "太郎", [4, 5, 4], 1), row(2, "Hanako", [4, 4, 3], 0)]

BUG = "document.getElementById('bug')"
TEXT = "(id => document.getElementById(id).textContent)"
SHOWN = "(id => { const e = document.getElementById(id); return !!e && e.getClientRects().length > 0; })"
ROWS = "[...document.querySelectorAll('#board-rows tr')].map(r => [...r.cells].map(c => c.textContent))"


def no_errors(page, what):
    check(not page.exceptions, "%s: no error thrown in the page %s" % (what, page.exceptions[:2]))
    del page.exceptions[:]


def connected(page, mock, timeout=10):
    page.wait_for("window.kesto && kesto.connected", timeout)
    # The stream's first events are in once the board names the game's course.
    return page


@group
def static_page():
    """The file itself: one self-contained UTF-8 page that never writes markup."""
    with open(livemock.PAGE, "rb") as f:
        raw = f.read()
    try:
        text = raw.decode("utf-8")
        utf8 = True
    except UnicodeDecodeError:
        text, utf8 = raw.decode("utf-8", "replace"), False
    check(utf8 and not raw.startswith(b"\xef\xbb\xbf"), "overlay.html is UTF-8 without a byte order mark")
    check(re.search(r'<meta charset="utf-8">', text, re.I) is not None, "overlay.html declares charset utf-8")
    # The one address the page sets: a frame of the last burst on this server.
    frame = 'img.src = "/burst/" + encodeURIComponent(f.name);'
    check(text.count(frame) == 1, "overlay.html sets one image address, a /burst/ frame's, its name encoded")
    text = text.replace(frame, "")
    outside = re.findall(r'\b(?:src|href)\s*=|@import|@font-face|url\(|https?://|//[a-z0-9.-]+\.[a-z]{2,}/', text, re.I)
    check(not outside, "overlay.html loads nothing from outside (no src, href, url(), @import, @font-face): %s"
          % outside[:3])
    sinks = re.findall(r"innerHTML|outerHTML|insertAdjacentHTML|document\.write|createContextualFragment|"
                       r"DOMParser|srcdoc|\beval\s*\(|new Function", text)
    check(not sinks, "overlay.html has no way of turning text into markup or code: %s" % sinks[:3])


@group
def scorebug_and_board(browser):
    mock = livemock.LiveMock().start()
    try:
        page = browser.open(mock.url())
        connected(page, mock)
        check(not page.evaluate(SHOWN + "('overlay')"), "no game: nothing shows")
        bg = page.evaluate("[document.documentElement, document.body].map(e => getComputedStyle(e).backgroundColor)")
        check(bg == ["rgba(0, 0, 0, 0)"] * 2, "the page's background is transparent: %s" % bg)
        check(page.wait_for("performance.getEntriesByType('resource').some(e => e.name.endsWith('/live.json'))", 5),
              "the page fetches /live.json once connected")
        names = page.evaluate("performance.getEntriesByType('resource').map(e => e.name)")
        own = [n for n in names if not n.startswith(mock.url()) or
               n.split("?")[0][len(mock.url()) - 1:] not in ("/events", "/live.json", "/favicon.ico")]
        check(not own, "the page asks for /events and /live.json only: %s" % own[:3])

        mock.game(game(hole=5))
        mock.board(BOARD)
        page.wait_for(SHOWN + "('board') && %s('board-course') === 'ロペ倶楽部'" % TEXT)
        check(not page.evaluate(SHOWN + "('bug')"), "a game without a shot yet: the board shows, the scorebug does not")

        mock.shot(shot("太郎", player=1, hole=5, club=50, power=70.8, remaining=123.4))
        page.wait_for(BUG + ".dataset.seq === '1'")
        got = page.evaluate("['bug-name','bug-hole','bug-club','bug-power','bug-remaining'].map(%s)" % TEXT)
        check(got == ["太郎", "5", "50", "70.8%", "123.4m"],
              "the scorebug shows name, hole, club, power and distance left: %s" % got)
        check(page.evaluate(BUG + ".classList.contains('new') && " + BUG + ".getAnimations({subtree: true}).length > 0"),
              "a new shot is highlighted")
        t = time.monotonic()
        page.wait_for(BUG + ".getAnimations({subtree: true}).length === 0", 4)
        check(time.monotonic() - t < 2.0, "the highlight is over within about a second (%.2f s)" % (time.monotonic() - t))
        page.evaluate("window.__was = {bug: %s, name: document.getElementById('bug-name'),"
                      " row: document.querySelector('#board-rows tr'), table: document.getElementById('board-rows')}"
                      % BUG)
        check(page.evaluate("document.querySelector('#board-rows tr.up').dataset.player") == "1",
              "the shooting player's row is marked")

        mock.shot(shot("Hanako", player=2, hole=5, club=70, power=12.5, remaining=5.5, unit="y"))
        mock.board([row(1, "太郎", [4, 5, 4, 3], -1), row(2, "Hanako", [4, 4, 3, 5], 2)])
        page.wait_for(BUG + ".dataset.seq === '2' && %s('bug-name') === 'Hanako'" % TEXT)
        got = page.evaluate("['bug-club','bug-power','bug-remaining'].map(%s)" % TEXT)
        check(got == ["70", "12.5%", "5.5y"], "the next shot: club 70 in yards: %s" % got)
        check(page.evaluate("__was.bug === %s && __was.name === document.getElementById('bug-name')" % BUG),
              "the scorebug is updated in place (the same elements)")
        check(page.evaluate("__was.bug.getAnimations({subtree: true}).length > 0"),
              "the highlight starts again at the next shot")
        page.wait_for(ROWS + "[0][1] === '-1'")
        check(page.evaluate("__was.row === document.querySelector('#board-rows tr')"),
              "the board's rows are updated in place")
        check(page.evaluate("document.querySelector('#board-rows tr.up').dataset.player") == "2",
              "the mark moves to the next shooter's row")

        # To par as golfers write it, thru F after 18, totals.
        mock.board([row(1, "太郎", [5] * 18, 18), row(2, "Hanako", [4, 4, 3], 0), row(3, "Ken", [3, 3], -2),
                    row(4, "Aki", [], 0)])
        page.wait_for(ROWS + ".length === 4")
        got = page.evaluate(ROWS)
        check(got == [["太郎", "+18", "F", "90"], ["Hanako", "E", "3", "11"], ["Ken", "-2", "2", "6"],
                      ["Aki", "E", "0", "0"]],
              "board: to par +18, E, -2, thru F after 18, totals: %s" % got)
        mock.board([row(1, "太郎", [5, 4], None), row(2, "Hanako", [4], None)])
        page.wait_for(ROWS + ".length === 2")
        got = page.evaluate(ROWS)
        check(got == [["太郎", "\u2014", "2", "9"], ["Hanako", "\u2014", "1", "4"]],
              "board: a dash for to par without the course's pars, rows removed with players: %s" % got)
        check(page.evaluate("__was.table === document.getElementById('board-rows')"), "the board's table stays")

        # Every shot of a quick run shows, in order.
        for i in range(20):
            mock.shot(shot("太郎", hole=6, club=10 + i, remaining=200.0 - i))
        page.wait_for(BUG + ".dataset.seq === '22'")
        seqs = page.evaluate("kesto.shots.map(s => s.seq)")
        check(seqs[-20:] == list(range(3, 23)), "20 shots pushed at once each arrive, in order: %s" % seqs[-20:])
        check(page.evaluate(TEXT + "('bug-club')") == "29", "the last of them is on the scorebug")

        # The burst viewer's event is not this view's.
        before = page.evaluate("document.body.innerText")
        mock.event("burst", {"burst": {"frames": 3, "name": "<img src=x onerror=window.__pwned=1>"}})
        mock.shot(shot("Ken", player=3, hole=6))
        page.wait_for(BUG + ".dataset.seq === '23'")
        check("Ken" in page.evaluate("document.body.innerText") and before != "",
              "a burst event is passed over and the next shot still shows")

        # The game ends: the board stays; no game: nothing shows.
        mock.game(game(hole=18, ended=True))
        page.wait_for(TEXT + "('board-hole') === '終了'")
        check(page.evaluate(SHOWN + "('overlay')"), "a game that ended still shows its board")
        mock.game(None)
        page.wait_for("!" + SHOWN + "('overlay')")
        check(True, "no game any more: the overlay hides")
        mock.game(game(start="2009/04/05 21:00:00"))
        mock.board(BOARD)
        page.wait_for(SHOWN + "('board')")
        check(not page.evaluate(SHOWN + "('bug')"), "the next game shows no shot of the last")
        no_errors(page, "scorebug and board")
        page.close()
    finally:
        mock.stop()


@group
def views_and_scale(browser):
    mock = livemock.LiveMock().start()
    try:
        mock.game(game(hole=3))
        mock.board(BOARD)
        mock.shot(shot("太郎", hole=3))
        page = browser.open(mock.url())
        for query, bug, board in (("?view=shot", True, False), ("?view=board", False, True),
                                  ("?view=both", True, True), ("", True, True), ("?view=%3Cb%3E", True, True)):
            page.navigate(mock.url(query))
            page.wait_for(BUG + ".dataset.seq === '1'")
            got = page.evaluate("[%s('bug'), %s('board')]" % (SHOWN, SHOWN))
            check(got == [bug, board], "%s: scorebug %s, board %s (got %s)" % (query or "no view", bug, board, got))
        page.navigate(mock.url("?view=both"))
        page.wait_for(BUG + ".dataset.seq === '1'")
        r = page.evaluate("[%s.getBoundingClientRect(), document.getElementById('board').getBoundingClientRect()]"
                          ".map(r => [r.left, r.top, r.right, r.bottom])" % BUG)
        check(r[1][1] >= r[0][3] and abs(r[1][0] - r[0][0]) < 1, "both: the board is under the scorebug: %s" % r)

        def size(query):
            page.navigate(mock.url(query))
            page.wait_for(BUG + ".dataset.seq === '1'")
            return page.evaluate("(r => [r.width, r.height])(%s.getBoundingClientRect())" % BUG)
        w1, h1 = size("?scale=1")
        check(34 * 0.9 < page.evaluate("parseFloat(getComputedStyle(document.getElementById('bug-name')).fontSize)"),
              "scale 1: the name is at least 30 px high, readable at 1080p")
        r = page.evaluate("document.getElementById('overlay').getBoundingClientRect().toJSON()")
        check(r["right"] < 960 and r["bottom"] < 1080, "scale 1: scorebug and board fit in a corner of 1920x1080: %s" % r)
        for query, want in (("?scale=2", 2), ("?scale=10", 4), ("?scale=0.1", 0.5), ("?scale=abc", 1),
                            ("?scale=1.5&view=shot", 1.5), ("?scale=-3", 0.5)):
            w, h = size(query)
            check(abs(w / w1 - want) < 0.05 * want and abs(h / h1 - want) < 0.05 * want,
                  "%s: the scorebug is %.2f times as large, expected %.2f" % (query, w / w1, want))
        no_errors(page, "views and scale")
        page.close()
    finally:
        mock.stop()


def hostile_state(build):
    """The state of a game whose names carry markup, as `kestocard --live` of
    that build writes it (or, without a build, as KESTO would)."""
    hostile = b'<img src=x onerror="window.__pwned=1">'
    names = [hostile, b"\x81" + hostile + b"\x81", "太郎".encode("cp932")]
    if build:
        log = b"".join(b"Player%d:%s\r\n" % (i + 1, n) for i, n in enumerate(names))
        log += b"** Stroke Begin **\r\n2009/04/05 20:00:00\r\n*Club Setting*\r\n"
        log += b"Name: Panas Island Golf Club <img src=x onerror=\"window.__pwned=1\">\r\nTee:  1\r\n"
        for h in range(1, 4):
            log += b"*Hole %2d\r\n*Player1 04\r\n*Player2 03\r\n*Player3 05\r\n" % h
        with tempfile.TemporaryDirectory() as d:
            with open(os.path.join(d, "golf.txt"), "wb") as f:
                f.write(log)
            out = subprocess.run([os.path.join(os.path.abspath(build), "kestocard"), "--live", "golf.txt"], cwd=d,
                                 stdout=subprocess.PIPE, check=True).stdout
        check(b"<" not in out and b"\\u003c" in out, "kestocard --live escapes the names' markup")
        return json.loads(out.decode("utf-8"))
    text = [n.decode("cp932", "replace") for n in names]
    return {"seq": 0, "game": game(course="Panas Island Golf Club " + hostile.decode()),
            "shot": None, "board": [row(i + 1, t, [4, 3, 5][i:i + 1] * 3, 0) for i, t in enumerate(text)]}


@group
def markup_stays_text(browser, build):
    state = hostile_state(build)
    mock = livemock.LiveMock().start()
    try:
        mock.game(state["game"])
        mock.board(state["board"])
        page = browser.open(mock.url())
        page.evaluate("window.__pwned = undefined")
        names = [r["name"] for r in state["board"]]
        for i, name in enumerate(names):
            mock.shot(shot(name, player=i + 1, hole=3))
            page.wait_for(BUG + ".dataset.seq === '%d'" % (i + 1))
            check(page.evaluate(TEXT + "('bug-name')") == name,
                  "player %d's name shows on the scorebug as its text: %r" % (i + 1, name))
        browser.pump(0.5)  # an image's error handler would have run by now
        check(page.evaluate("document.querySelectorAll('img').length") == 0, "the names' markup makes no img element")
        check(page.evaluate("window.__pwned") is None, "no handler of the names' markup ran")
        check(page.evaluate("[...document.querySelectorAll('#overlay *')].every(e => !e.hasAttribute('onerror'))"),
              "no element carries an onerror attribute")
        got = page.evaluate(ROWS + ".map(r => r[0])")
        check(got == names, "the board shows the names as text: %s" % got)
        check("\ufffd<img src=x" in names[1], "the lead byte before '<' arrives as U+FFFD and '<'")
        check(page.evaluate(TEXT + "('board-course')") == state["game"]["course"], "the course name shows as text")
        check(page.evaluate("document.querySelectorAll('#board-rows td, #bug-name, #board-course')"
                            ".length > 0 && [...document.querySelectorAll('#board-rows td, #bug-name, #board-course')]"
                            ".every(e => e.childElementCount === 0)"),
              "no element inside a name cell")
        no_errors(page, "markup")
        page.close()
    finally:
        mock.stop()


@group
def reconnects(browser):
    mock = livemock.LiveMock().start()
    port = mock.port
    try:
        mock.game(game(hole=2))
        mock.board(BOARD)
        mock.shot(shot("太郎", hole=2))
        page = browser.open(mock.url())
        page.wait_for(BUG + ".dataset.seq === '1'")
        page.evaluate("window.__was = %s" % BUG)
        page.wait_for(BUG + ".getAnimations({subtree: true}).length === 0", 4)
        # A stream lost, the server staying: the browser connects again and
        # gets the same state, which is no new shot.
        mock.drop()
        page.wait_for("kesto.connects === 2 && kesto.connected", 10)
        page.wait_for("performance.getEntriesByType('resource').filter(e => e.name.endsWith('/live.json')).length >= 2", 5)
        browser.pump(0.3)
        check(page.evaluate("kesto.shots.length === 1 && !%s.getAnimations({subtree: true}).length" % BUG),
              "a stream lost and taken up again: the same shot is not shown as new")
        mock.stop()
        page.wait_for("!kesto.connected", 10)
        check(page.evaluate(SHOWN + "('overlay')"), "a short loss of KESTO keeps the overlay")
        page.wait_for("!" + SHOWN + "('overlay')", 10)
        check(True, "KESTO gone for a few seconds: the overlay hides")

        # KESTO started again on the same port counts its shots from 0.
        mock = livemock.LiveMock(port=port)
        mock.game(game(start="2009/04/05 22:00:00", hole=1))
        mock.board([row(1, "Hanako", [], 0)])
        mock.shot(shot("Hanako", hole=1, club=11))
        mock.start()
        t = time.monotonic()
        page.wait_for(BUG + ".dataset.seq === '1' && %s('bug-name') === 'Hanako'" % TEXT, 20)
        check(True, "the page connects again by itself and shows the new state (%.1f s)" % (time.monotonic() - t))
        check(page.evaluate("__was === %s" % BUG), "the same scorebug element")
        check(page.evaluate("kesto.shots.map(s => s.seq).join()") == "1,1",
              "the new KESTO's first shot is new, though its seq is the old one's")
        check(page.wait_for("kesto.connects === 3 && kesto.connected", 5), "one more connect")
        check(mock.count("/live.json") >= 1, "/live.json is fetched again on the reconnect")
        mock.shot(shot("Hanako", hole=1, club=12))
        page.wait_for(BUG + ".dataset.seq === '2'")
        check(page.evaluate(TEXT + "('bug-club')") == "12", "shots after the reconnect show")
        no_errors(page, "reconnect")
        page.close()
    finally:
        mock.stop()


@group
def refused_then_served(browser):
    """A server that answers /events with 503 (too many connections): the
    browser's EventSource gives up, the page starts it again, waiting longer
    each time."""
    mock = livemock.LiveMock().start()
    try:
        mock.refuse = 3
        mock.game(game(hole=4))
        mock.board(BOARD)
        mock.shot(shot("太郎", hole=4))
        t = time.monotonic()
        page = browser.open(mock.url())
        page.wait_for(BUG + ".dataset.seq === '1'", 30)
        took = time.monotonic() - t
        n = mock.count("/events")
        check(n == 4, "three refusals then served: %d requests of /events, expected 4" % n)
        check(5.0 < took < 15.0, "the page waited longer after each refusal (1, 2, 4 s): served after %.1f s" % took)
        no_errors(page, "refusal")
        page.close()
    finally:
        mock.stop()


def burst_files(build, tics):
    """A burst's files as KESTO serves them under /burst/: frames of distinct
    colours, the log and the viewer's index.html (written by that build's
    `kestocard --viewer`, or without a build in its form)."""
    import check_viewer
    with tempfile.TemporaryDirectory() as d:
        folder = os.path.join(d, "cap200904", "d05_1403_22_18")
        check_viewer.make_burst(folder, tics, w=32, h=24)
        if build:
            subprocess.run([os.path.join(os.path.abspath(build), "kestocard"), "--viewer", folder], check=True,
                           stdout=subprocess.DEVNULL)
        else:
            frames, t = [], 0
            for i, ms in enumerate(tics):
                t += ms if i else 0
                frames.append(["c%05d.bmp" % (i + 1), i + 1, ms, t, 1])
            with open(os.path.join(folder, "index.html"), "w", encoding="utf-8") as f:
                f.write('<!DOCTYPE html><script type="application/json" id="kesto-burst">%s</script>'
                        % livemock.dumps({"folder": folder, "log": "c1403_22_187.txt", "damaged": 0, "frames": frames}))
        files = {}
        for name in os.listdir(folder):
            with open(os.path.join(folder, name), "rb") as f:
                files[name] = f.read()
        return files


def replay_trace(page, plays, timeout=20):
    page.wait_for("kesto.replay.plays >= %d" % plays, timeout)
    return page.evaluate("kesto.replay.trace")


@group
def replay_view(browser, build):
    """?view=replay: the last burst plays once at load and at each burst
    event, frame k from its own time (the sum of the Tics before it), then
    the scorebug again."""
    tics = [0, 120, 60, 250, 40, 180, 90, 300, 70, 150]
    times = [sum(tics[1:i + 1]) for i in range(len(tics))]
    mock = livemock.LiveMock().start()
    try:
        mock.burst = burst_files(build, tics)
        check("kesto-burst" in mock.burst["index.html"].decode("utf-8"), "the burst's viewer carries its frames' data")
        mock.game(game(hole=7))
        mock.board(BOARD)
        mock.shot(shot("太郎", hole=7))
        page = browser.open(mock.url("?view=replay"))
        page.wait_for("kesto.replay.on", 10)
        check(not page.evaluate(SHOWN + "('overlay')") and page.evaluate(SHOWN + "('replay')"),
              "while the burst plays, it shows in place of the scorebug")
        check(page.evaluate("document.querySelectorAll('#replay img').length") == 1, "one frame shows at a time")
        trace = replay_trace(page, 1)
        order = [k for k, _ in trace]
        check(order == list(range(len(tics))), "every frame shows once, in order: %s" % order)
        late = [round(t - times[k]) for k, t in trace]
        check(all(-2 <= d <= 40 for d in late),
              "frame k shows at its own time from the first (late by ms: %s)" % late)
        check(page.evaluate(SHOWN + "('bug') && !" + SHOWN + "('replay') && !" + SHOWN + "('board')"),
              "once played, the scorebug is back (no board in this view)")
        got = page.evaluate("kesto.replay.frames")
        check(got == len(tics), "the replay took the %d frames the viewer lists: %s" % (len(tics), got))
        check(page.evaluate("document.querySelectorAll('#replay img').length") == 0, "no frame stays in the page")
        asked = sorted({p for _, p in mock.served if p.endswith(".bmp")})
        check(asked == ["/burst/c%05d.bmp" % (i + 1) for i in range(len(tics))],
              "the frames are asked for under /burst/ by their names: %s" % asked[:3])

        # A burst event: the last burst again (now another one).  The page is
        # kept busy for 350 ms after frame 1: the frame then due is late, the
        # ones after it are on time again (the times count from the first
        # frame; they are no delays that add up).
        tics2 = [0, 100, 200, 250, 150, 100]
        times2 = [sum(tics2[1:i + 1]) for i in range(len(tics2))]
        mock.burst = burst_files(build, tics2)
        mock.event("burst", {"burst": {"frames": 6, "folder": "d05_1403_22_18", "span_ms": 700}})
        page.wait_for("kesto.replay.plays === 1 && kesto.replay.on && kesto.replay.trace.length >= 2", 10, 0.01)
        page.evaluate("(() => { const e = performance.now() + 350; while (performance.now() < e); })()")
        trace = replay_trace(page, 2)
        check([k for k, _ in trace] == list(range(len(tics2))), "a burst event plays the new last burst: %s" % trace)
        late = [round(t - times2[k]) for k, t in trace]
        check(late[2] > 80 and all(-2 <= d <= 40 for d in late[3:]),
              "a busy page delays the frame then due, not the ones after it (late by ms: %s)" % late)
        check(page.evaluate(SHOWN + "('bug')"), "and the scorebug is back after it")

        # A burst event with markup in it, a viewer listing names that are no
        # frame's: nothing of it becomes markup, no such address is asked for.
        files = dict(mock.burst)
        html = files["index.html"].decode("utf-8")
        html = html.replace('"c00002.bmp"', '"\\u003cimg src=x onerror=window.__pwned=1\\u003e"')
        html = html.replace('"c00003.bmp"', '"../../loginit.txt"')
        files["index.html"] = html.encode("utf-8")
        mock.burst = files
        del mock.served[:]
        page.evaluate("window.__pwned = undefined")
        mock.event("burst", {"burst": {"frames": 2, "folder": "<img src=x onerror=window.__pwned=2>"}})
        trace = replay_trace(page, 3)
        browser.pump(0.3)
        check([k for k, _ in trace] == [0, 1, 2, 3], "frames not named as frames are passed over: %s" % trace)
        check(page.evaluate("window.__pwned") is None, "no handler of the burst's texts ran")
        asked = [p for _, p in mock.served]
        check(all(re.fullmatch(r"/burst/(index\.html|c0000[1456]\.bmp)", p) for p in asked),
              "only the viewer and frames are asked for: %s" % asked)

        # No burst at all: the scorebug stays.
        mock.burst = {}
        mock.event("burst", {"burst": {"frames": 0}})
        browser.pump(0.5)
        check(not page.evaluate("kesto.replay.on") and page.evaluate(SHOWN + "('bug')"),
              "no last burst: nothing plays, the scorebug stays")
        no_errors(page, "replay")
        page.close()

        # The other views pass a burst event over and never ask for /burst/.
        del mock.served[:]
        mock.burst = burst_files(build, tics2)
        page = browser.open(mock.url("?view=both"))
        page.wait_for(BUG + ".dataset.seq === '1'")
        mock.event("burst", {"burst": {"frames": 4}})
        browser.pump(0.5)
        check(not mock.served and not page.evaluate("kesto.replay.on"), "view both: no replay, nothing from /burst/")
        page.close()
    finally:
        mock.stop()


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--build", help="a native build with kestocard, for the hostile names")
    ap.add_argument("--page", help="the page to check instead of src/app/overlay.html")
    args = ap.parse_args()
    if args.page:
        livemock.PAGE = os.path.abspath(args.page)
    static_page()
    try:
        browser = cdp.Browser()
    except Exception as e:  # noqa: BLE001
        check(False, "headless Chromium starts: %s" % e)
    else:
        with browser:
            scorebug_and_board(browser)
            views_and_scale(browser)
            markup_stays_text(browser, args.build)
            reconnects(browser)
            refused_then_served(browser)
            replay_view(browser, args.build)
    print("overlay: %d passed, %d failed" % (check_pages.passed, check_pages.failed))
    return 1 if check_pages.failed else 0


if __name__ == "__main__":
    sys.exit(main())
