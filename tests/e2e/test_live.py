"""End-to-end test of the text files for streaming: the stand-in game plays a
generated game while a reader polls live\\shot.txt the way a streaming tool's
text source re-reads it.

The first SHOTS shots of the game are appended one at a time, PERIOD ms
apart (more than the watcher's one-second pace), the rest of the game in one
piece; the expected text of each shot is what the native kestocard --live
says of the log up to that shot, and the board at the end is checked against
the scorecard page the native kestocard writes for the whole log.
"""

import json
import re
import statistics
import subprocess
import threading
import time

from harness import write
from test_playlog import native  # noqa: F401  (the fixture)
from test_watch import GAME, setup_game, start_watching, wait_following

BOM = b"\xef\xbb\xbf"
SHOTS = 24
PERIOD = 1300
FIRST = 9000  # ms after the game's window opened: KESTO follows the log by then


def shot_ends(log):
    """Where each ShotData record (its tag line and ten lines) ends."""
    ends, pos = [], 0
    while True:
        i = log.find(b"ShotData:\r\n", pos)
        if i < 0:
            return ends
        j = i + len(b"ShotData:\r\n")
        for _ in range(10):
            j = log.index(b"\n", j) + 1
        ends.append(j)
        pos = j


def generated_game(ctx, native, shots):
    """A generated game of more than shots shots: its bytes and where each shot ends."""
    gen = ctx.folder / "generated.txt"
    r = subprocess.run([str(native / "kestologgen"), "--game", "2", str(gen)], capture_output=True, timeout=60)
    ctx.check(r.returncode == 0, f"kestologgen: {r.returncode}")
    game = gen.read_bytes()
    ends = shot_ends(game)
    ctx.check(len(ends) > shots, f"the generated game has {len(ends)} shots")
    return game, ends


def game_schedule(ctx, game, ends, shots, first, period, rest=True):
    """The generated game as the stand-in game's source, appended one shot at
    a time from first ms, period ms apart (and the rest in one piece after
    them when rest): the source file, the stamp file and the schedule
    (its entries, to be joined with commas)."""
    source = ctx.folder / "source.txt"
    source.write_bytes(game)
    pieces = [ends[0]] + [ends[k] - ends[k - 1] for k in range(1, shots)]
    schedule = [f"{first + k * period}:{n}" for k, n in enumerate(pieces)]
    if rest:
        schedule.append(f"{first + shots * period}:*")
    return source, ctx.folder / "stamps.txt", schedule


def live_state(native, log, path):
    path.write_bytes(log)
    r = subprocess.run([str(native / "kestocard"), "--live", str(path)], capture_output=True, timeout=60)
    assert r.returncode == 0, r.stderr.decode(errors="replace")
    return json.loads(r.stdout.decode("utf-8"))


def shot_text(state):
    s = state["shot"]
    return f"{s['name']}  H{s['hole']}  Club {s['club']}  {s['power']:.1f}%  残り {s['text']}\r\n".encode()


def page_board(native, log, outdir):
    """(name, to-par as golfers write it) of each player of the page's last table."""
    outdir.mkdir(parents=True, exist_ok=True)
    r = subprocess.run([str(native / "kestocard"), "--short", "yes", str(log)], cwd=outdir, capture_output=True,
                       timeout=60)
    assert r.returncode == 0, r.stderr.decode(errors="replace")
    page = (outdir / r.stdout.decode().split()[-1]).read_bytes().decode("cp932")
    table = page.split("<table")[-1]
    rows = []
    for row in re.findall(r"<tr>(.*?)</tr>", table, re.S):
        cells = [re.sub(r"<[^>]*>", "", c).strip() for c in re.findall(r"<td[^>]*>(.*?)</td>", row, re.S)]
        if cells and cells[0] not in ("ホール", "PAR"):
            rows.append((cells[0], "E" if cells[-1] in ("0", "+0") else cells[-1]))
    return rows


class Reader(threading.Thread):
    """Polls shot.txt and the game's stamp file every 2 ms: each new content
    of shot.txt and each new append, with the time it was first seen."""

    def __init__(self, shotfile, stampfile):
        super().__init__(daemon=True)
        self.shotfile, self.stampfile = shotfile, stampfile
        self.contents, self.appends, self.vanished = [], [], 0
        self.stop = False

    def run(self):
        last, seen = None, False
        while not self.stop:
            now = time.monotonic()
            try:
                data = self.shotfile.read_bytes()
                seen = True
                if data != last:
                    self.contents.append((now, data))
                    last = data
            except OSError:
                if seen:
                    self.vanished += 1
            try:
                n = len([x for x in self.stampfile.read_text().splitlines() if x.strip()])
            except OSError:
                n = 0
            while len(self.appends) < n:
                self.appends.append(now)
            time.sleep(0.002)


def test_live_text_files_follow_a_generated_game(ctx, native):  # noqa: F811
    game, ends = generated_game(ctx, native, SHOTS)
    before = b"End Program(0)\r\n"  # golf.txt as an earlier session of the game left it
    golf = setup_game(ctx, golf_bytes=before)
    write(ctx.folder / "live.txt", "FILES=1\r\n")
    expected = [shot_text(live_state(native, before + game[:e], ctx.folder / "prefix.txt")) for e in ends[:SHOTS]]

    source, stampfile, schedule = game_schedule(ctx, game, ends, SHOTS, FIRST, PERIOD)
    h = start_watching(ctx)
    shotfile = ctx.folder / "live" / "shot.txt"
    reader = Reader(shotfile, stampfile)
    reader.start()
    try:
        ctx.start_fakegame(GAME, ctx.winpath(source), ctx.winpath(golf), ",".join(schedule), ctx.winpath(stampfile))
        wait_following(ctx, h)
        ctx.check(not reader.appends, "the game appended before KESTO followed its log")
        ctx.wait_until(lambda: len(reader.appends) >= SHOTS + 1, FIRST / 1000 + SHOTS * PERIOD / 1000 + 20,
                       "the stand-in game did not append the whole game")
        board = ctx.folder / "live" / "board.txt"
        want = page_board(native, golf, ctx.folder / "page")
        wanttext = BOM + "".join(f"{n}  {p}  F\r\n" for n, p in want).encode()
        ctx.wait_until(lambda: board.exists() and board.read_bytes() == wanttext, 10,
                       f"board.txt is not the page's board {want}")
        time.sleep(0.3)
    finally:
        reader.stop = True
        reader.join(5)

    # Never partial, never empty, never gone: each content is a whole shot line.
    ctx.check(reader.vanished == 0, f"shot.txt was missing {reader.vanished} times once it existed")
    for t, data in reader.contents:
        ctx.check(data.startswith(BOM) and data.endswith(b"\r\n") and data.count(b"\r\n") == 1 and
                  re.fullmatch(rb".+  H\d+  Club \d+  \d+\.\d%  .+ \d+\.\d[my]\r\n", data[3:], re.S),
                  f"shot.txt read as {data!r}")
    # Each of the first shots appears, in order, soon after its append.
    latencies, k0 = [], 0
    for k in range(SHOTS):
        if k + 1 < SHOTS and expected[k] == expected[k + 1]:
            continue
        shown = next((t for t, data in reader.contents if t >= reader.appends[k] - 0.05 and data == BOM + expected[k]),
                     None)
        ctx.check(shown is not None, f"shot {k + 1} never appeared in shot.txt: {expected[k]!r}; "
                                     f"seen {[d for _, d in reader.contents][-3:]}")
        latencies.append((shown - reader.appends[k]) * 1000)
        k0 += 1
    median = statistics.median(latencies)
    print(f"live shot.txt latency over {len(latencies)} shots: median {median:.0f} ms, max {max(latencies):.0f} ms")
    ctx.check(median <= 1200, f"shot.txt changed {median:.0f} ms (median) after the append; {latencies}")
    ctx.no_msgbox(300)


IDM_LIVEFILES, IDM_LIVESETTINGS = 0x1F20, 0x1F30
IDC_LIVE_FOLDER, IDC_LIVE_FILES, IDC_LIVE_END = 1201, 1203, 2


def test_live_settings_dialog_and_menu(ctx):
    """配信の設定… opens its dialog under Windows' dialog manager: it shows the
    folder of the files, its switch writes live.txt, 閉じる closes it; the
    menu entry switches the files back off."""
    setup_game(ctx)
    h = start_watching(ctx)
    ctx.probe_ok("syscmd", h, IDM_LIVESETTINGS)
    d = ctx.find("#32770", "配信の設定", 5000)
    want = (ctx.winpath(ctx.folder) + "\\live").encode("cp932")
    ctx.wait_text(d, IDC_LIVE_FOLDER, want, 3000)
    ctx.probe_ok("click", d, IDC_LIVE_FILES)
    live = ctx.folder / "live.txt"
    ctx.wait_until(lambda: live.exists() and b"FILES=1\r\n" in live.read_bytes(), 5, "live.txt was not written with FILES=1")
    ctx.probe_ok("click", d, IDC_LIVE_END)
    ctx.no_window("#32770", "配信の設定", 1500)
    ctx.probe_ok("syscmd", h, IDM_LIVEFILES)
    ctx.wait_until(lambda: b"FILES=0\r\n" in live.read_bytes(), 5, "the menu entry did not switch the files off")
    ctx.no_msgbox(300)
