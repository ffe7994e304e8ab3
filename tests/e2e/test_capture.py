"""End-to-end tests of the capture control under Wine: screenshots of
PrintScreen images cropped to the stand-in game's window, bursts of the
capture area kept in memory and written straight to disk, and the left-Ctrl
shortcuts pressed as real key events while the game has the focus.

The pictures KESTO writes are read with Pillow, a reader of its own, and
compared pixel for pixel with what the probe grabbed of the same screen.
"""

import os
import re
import subprocess
import time

from PIL import Image

import pytest

from harness import loginit_full, write

GAME = "ゴルフ漬け"
STARTED = "起動監視をスタートしました"
FOLLOWING = "golf.txt 監視中"
CUSTOM = (-31, -5, -5, -5)  # CUSTOMAREA of loginit_full: top, left, bottom, right


def enc(s):
    return s.encode("cp932")


def prepare(ctx, interval=7, pages=100, capkey=None):
    """loginit.txt and the stand-in game's golf.txt; capkey names the capture
    key (SELECTCAPKEY) and turns it on alone (ENABLECAPKEY=1)."""
    gamedir = ctx.folder / "GOLFDUKE" / "game dir"
    gamedir.mkdir(parents=True)
    golf = gamedir / "golf.txt"
    golf.write_bytes(b"** Stroke Begin **\r\n")
    text = loginit_full(ctx.winpath(ctx.folder), dgpath=ctx.winpath(golf), interval=interval)
    text = text.replace("CAPTUREPAGE=100", f"CAPTUREPAGE={pages}")
    if capkey:
        text = text.replace("ENABLECAPKEY=0", "ENABLECAPKEY=1").replace("SELECTCAPKEY=L-Alt", f"SELECTCAPKEY={capkey}")
    # KESTO reads at most 128 bytes of a line: a longer DGPATH would name a
    # file that is not there and the watcher would stop with "Open error".
    for line in text.encode("cp932").split(b"\r\n"):
        ctx.check(len(line) <= 128, f"loginit.txt line of {len(line)} bytes: {line[:40]!r}...")
    write(ctx.folder / "loginit.txt", text)


def start(ctx):
    """KESTO watching, the stand-in game in front and known to the watcher,
    which follows its golf.txt: (main window, game window). The watcher looks
    at golf.txt about 3 s after it has found the game; waiting for that keeps
    a message box of that step from turning up in the middle of a case."""
    ctx.kesto_proc = ctx.start_kesto()
    h = ctx.find_main()
    ctx.probe_ok("click", h, 1003)
    ctx.wait_text(h, 1005, enc(STARTED), 5000)
    ctx.start_fakegame(GAME)
    g = ctx.find("FAKEGAME", GAME)
    ctx.probe_ok("waitfg", g, 5000)
    ctx.wait_text(h, 1004, enc(GAME), 5000)
    ctx.wait_text(h, 1005, enc(FOLLOWING), 10000)
    return h, g


def rect(ctx, hwnd):
    line = ctx.probe_ok("rect", hwnd)[0].split()
    return tuple(int(v) for v in line[1:5])


def check_box(ctx, h, cid, want):
    ctx.probe_ok("click", h, cid)
    ctx.wait_until(lambda: ctx.probe_ok("check", h, cid)[0].strip() == str(want), 3,
                   f"box {cid} did not become {want}")


def found(folder, pattern):
    rx = re.compile(pattern)
    return sorted(p for p in folder.rglob("*") if p.is_file() and rx.fullmatch(p.relative_to(folder).as_posix()))


def open_bmp(ctx, path):
    img = Image.open(path)
    ctx.check(img.format == "BMP" and img.mode == "RGB", f"{path.name}: {img.format} {img.mode}, not a 24-bit BMP")
    img.load()
    return img


def same(ctx, got, want, what):
    ctx.check(got.size == want.size, f"{what}: {got.size}, expected {want.size}")
    if got.tobytes() != want.tobytes():
        bad = next((x, y) for y in range(want.size[1]) for x in range(want.size[0])
                   if got.getpixel((x, y)) != want.getpixel((x, y)))
        ctx.check(False, f"{what}: pixel {bad} is {got.getpixel(bad)}, expected {want.getpixel(bad)}")


SSNAME = r"ss\d{6}/d\d\d/KestoSS_\d{8}_\d{4}_\d\d_\d{3}\.bmp"


def test_capture_screenshot(ctx):
    prepare(ctx)
    h, g = start(ctx)
    check_box(ctx, h, 1020, 1)
    ref = ctx.folder / "screen.bmp"
    ctx.probe_ok("clipscreen", ctx.winpath(ref))
    shots = ctx.wait_until(lambda: found(ctx.folder, SSNAME), 5, "no screenshot file appeared")
    ctx.check(len(shots) == 1, f"{len(shots)} screenshot files")
    l, t, r, b = rect(ctx, g)
    want = Image.open(ref).convert("RGB").crop((l, t, r, b))
    # The file may still be being written when it first shows up.
    ctx.wait_until(lambda: shots[0].stat().st_size == 54 + ((r - l) * 3 + 3) // 4 * 4 * (b - t), 3,
                   f"{shots[0].name} has {shots[0].stat().st_size} bytes")
    same(ctx, open_bmp(ctx, shots[0]), want, "the screenshot of the game window")

    # The image is not saved twice: the clipboard is emptied at the next check.
    deadline = time.monotonic() + 1.5
    while time.monotonic() < deadline:
        ctx.check(len(found(ctx.folder, SSNAME)) == 1, "the same clipboard image was saved again")
        time.sleep(0.1)
    fmts = [""]

    def emptied():
        fmts[0] = ctx.fields(ctx.probe_ok("clipinfo")).get("formats", "")
        return fmts[0].strip() == ""

    ctx.wait_until(emptied, 3, f"the clipboard still holds formats {fmts[0]}")

    # Another window in front: the whole screen.
    ctx.start_fakegame("メモ帳")
    other = ctx.find("FAKEGAME", "メモ帳")
    ctx.probe_ok("waitfg", other, 5000)
    time.sleep(0.2)  # let the screen settle before the reference is taken
    ctx.probe_ok("clipscreen", ctx.winpath(ref))
    first = shots[0]
    shots = ctx.wait_until(lambda: found(ctx.folder, SSNAME) if len(found(ctx.folder, SSNAME)) == 2 else None, 5,
                           "no second screenshot file appeared")
    full = Image.open(ref).convert("RGB")
    w, hh = full.size
    # The second file is the new one (by name, not by its size, which is 0
    # while it is being made); it is whole once it has the full size.
    second = [p for p in shots if p != first][0]
    ctx.wait_until(lambda: second.stat().st_size == 54 + (w * 3 + 3) // 4 * 4 * hh, 3,
                   f"{second.name} is not a full-screen picture")
    same(ctx, open_bmp(ctx, second), full, "the screenshot with another window in front")
    ctx.no_msgbox(300)


def burst_files(ctx):
    return found(ctx.folder, r"cap\d{6}/d\d\d_\d{4}_\d\d_\d\d/c\d{5}\.bmp")


def burst_logs(ctx):
    return found(ctx.folder, r"cap\d{6}/d\d\d_\d{4}_\d\d_\d\d/c\d{4}_\d\d_\d{3}\.txt")


def data_lines(log):
    return [x for x in log.read_bytes().split(b"\r\n") if x.startswith(b"DATA ")]


def test_capture_burst_in_memory(ctx):
    prepare(ctx, interval=7, pages=5)
    h, g = start(ctx)
    check_box(ctx, h, 1021, 1)
    shot = ctx.folder / "game.bmp"
    ctx.probe_ok("shot", g, ctx.winpath(shot))
    ctx.probe_ok("clipbmp", 64, 64, "stripes")
    ctx.wait_until(lambda: len(burst_files(ctx)) == 5 and burst_logs(ctx)
                   and len(data_lines(burst_logs(ctx)[0])) == 5, 10, "the burst did not write 5 frames and its log")
    frames = burst_files(ctx)
    ctx.check([p.name for p in frames] == [f"c0000{k}.bmp" for k in range(1, 6)], f"frames {frames}")
    log = burst_logs(ctx)[0]
    ctx.check(log.parent == frames[0].parent, "the log is not beside the frames")
    first = log.read_bytes().split(b"\r\n")[0]
    ctx.check(re.fullmatch(rb"disk free = \d+ MB", first) is not None, f"first line {first!r}")
    lines = data_lines(log)
    for k, line in enumerate(lines, 1):
        ctx.check(re.fullmatch(rb"DATA c%05d\.bmp Tic=(...|.{7},...) ms date \d{8}_\d\d:\d\d_\d\d\.\d{3}" % k, line)
                  is not None, f"log line {line!r}")
    # Each frame is the capture area: the game window with the custom margins.
    top, left, bottom, right = CUSTOM
    window = Image.open(shot).convert("RGB")
    ww, wh = window.size
    want = window.crop((-left, -top, ww + right, wh + bottom))
    for f in frames:
        same(ctx, open_bmp(ctx, f), want, f.name)
    ctx.no_msgbox(300)


def test_capture_burst_straight_to_disk(ctx):
    prepare(ctx, interval=1, pages=3)
    h, g = start(ctx)
    check_box(ctx, h, 1021, 1)
    ctx.probe_ok("clipbmp", 64, 64, "grad")
    ctx.wait_until(lambda: len(burst_files(ctx)) == 3 and burst_logs(ctx)
                   and len(data_lines(burst_logs(ctx)[0])) == 3, 10, "the burst did not write 3 frames")
    l, t, r, b = rect(ctx, g)
    top, left, bottom, right = CUSTOM
    for f in burst_files(ctx):
        img = open_bmp(ctx, f)
        ctx.check(img.size == (r - l + left + right, b - t + top + bottom), f"{f.name} is {img.size}")
    # Nothing more comes.
    deadline = time.monotonic() + 1.2
    while time.monotonic() < deadline:
        ctx.check(len(burst_files(ctx)) == 3, "more than 3 frames")
        time.sleep(0.1)


def xdotool(ctx, *args):
    env = dict(os.environ, DISPLAY=ctx.wine.env["DISPLAY"])
    subprocess.run(["xdotool", *args], env=env, check=True, timeout=10)


def game_in_front(ctx, g):
    # Xvfb has no window manager: the X input focus is put on the game's
    # window, as a window manager would on a click, with the pointer over it.
    # The X window is the one Wine made for the game's window, not one found
    # by its title: how a Japanese title is encoded on the X side depends on
    # the locale.
    l, t, r, b = rect(ctx, g)
    xwin = ctx.probe_ok("xwindow", g, 5000)[0].strip()
    xdotool(ctx, "mousemove", str((l + r) // 2), str((t + b) // 2))
    xdotool(ctx, "windowfocus", "--sync", xwin)
    rc, lines, err = ctx.probe("waitfg", g, 5000)
    if rc != 0:
        fg = ctx.fields(ctx.probe_ok("foreground"))
        ctx.check(False, f"the game is not in front: {fg.get('class')} \"{fg.get('title_utf8')}\" is ({err})")


def press(ctx, key, done, timeout_s, reason):
    """Presses key and holds it until done() holds (at most timeout_s), as a
    person holds a key until the program has answered. KESTO polls the keys
    every 30 ms; a key let go after a fixed time could come and go between
    two polls on a loaded machine, where the game's process, which gets the
    X key events, may read the press and the release in one go."""
    xdotool(ctx, "keydown", key)
    try:
        return ctx.wait_until(done, timeout_s, reason)
    finally:
        xdotool(ctx, "keyup", key)


def box_is(ctx, h, cid, want):
    return lambda: ctx.probe_ok("check", h, cid)[0].strip() == str(want)


def test_capture_ctrl_f3_clears_both_modes(ctx):
    prepare(ctx)
    h, g = start(ctx)
    for box in (1021, 1020):
        check_box(ctx, h, box, 1)
        game_in_front(ctx, g)
        xdotool(ctx, "keydown", "Control_L")
        try:
            press(ctx, "F3", box_is(ctx, h, box, 0), 3, f"left Ctrl + F3 did not clear box {box}")
        finally:
            xdotool(ctx, "keyup", "Control_L")
    # Left Ctrl + F2 and F3 check and clear 連写, still with the game in front.
    game_in_front(ctx, g)
    xdotool(ctx, "keydown", "Control_L")
    try:
        press(ctx, "F2", box_is(ctx, h, 1021, 1), 3, "left Ctrl + F2 did not check 連写")
        press(ctx, "F3", box_is(ctx, h, 1021, 0), 3, "left Ctrl + F3 left 連写 checked")
    finally:
        xdotool(ctx, "keyup", "Control_L")
    ctx.check(ctx.probe_ok("check", h, 1020)[0].strip() == "0", "SS checked")
    # Without left Ctrl, F2 does nothing.
    game_in_front(ctx, g)
    xdotool(ctx, "keydown", "F2")
    try:
        deadline = time.monotonic() + 0.5
        while time.monotonic() < deadline:
            ctx.check(ctx.probe_ok("check", h, 1021)[0].strip() == "0", "F2 without left Ctrl checked 連写")
            time.sleep(0.05)
    finally:
        xdotool(ctx, "keyup", "F2")
    ctx.no_msgbox(300)


def burst_dirs(ctx):
    return sorted({p.parent for p in burst_logs(ctx)})


def viewer_of(ctx, frames):
    """The folder of the one burst once its log lists frames frames and its
    viewer index.html is beside them (the write-out is over), else None."""
    dirs = burst_dirs(ctx)
    if len(dirs) != 1 or not (dirs[0] / "index.html").is_file():
        return None
    logs = list(dirs[0].glob("c[0-9][0-9][0-9][0-9]_[0-9][0-9]_[0-9][0-9][0-9].txt"))
    return dirs[0] if logs and len(data_lines(logs[0])) == frames else None


def test_capture_key_f12_starts_and_stops_a_burst(ctx):
    # The capture key alone starts bursts (ENABLECAPKEY=1): speed row 7
    # (29 ms a frame), 5 frames a burst.
    prepare(ctx, interval=7, pages=5, capkey="F12")
    h, g = start(ctx)
    check_box(ctx, h, 1021, 1)
    # A PrintScreen image does not start a burst when only the key does.
    ctx.probe_ok("clipbmp", 64, 64, "stripes")
    deadline = time.monotonic() + 1.0
    while time.monotonic() < deadline:
        ctx.check(not burst_logs(ctx), "a PrintScreen image started a burst with the capture key alone in force")
        time.sleep(0.1)
    game_in_front(ctx, g)
    # F12 with the game in front: a burst of 5 frames, which ends by itself.
    press(ctx, "F12", lambda: burst_logs(ctx), 5, "F12 did not start a burst")
    ctx.wait_until(lambda: len(burst_files(ctx)) == 5 and len(data_lines(burst_logs(ctx)[0])) == 5, 10,
                   "the burst started with F12 did not write 5 frames and its log")
    frames = burst_files(ctx)
    ctx.check([p.name for p in frames] == [f"c0000{k}.bmp" for k in range(1, 6)], f"frames {frames}")
    ctx.check(burst_logs(ctx)[0].parent == frames[0].parent, "the log is not beside the frames")
    l, t, r, b = rect(ctx, g)
    top, left, bottom, right = CUSTOM
    for f in frames:
        img = open_bmp(ctx, f)
        ctx.check(img.size == (r - l + left + right, b - t + top + bottom), f"{f.name} is {img.size}")

    # No page limit (count 0): the burst runs until F12 comes again.
    ctx.probe_ok("settext", h, 1043, "0")
    ctx.wait_until(lambda: ctx.text(h, 1043) == b"0", 3, "the count did not become 0")
    first = burst_dirs(ctx)[0]
    game_in_front(ctx, g)
    press(ctx, "F12", lambda: len(burst_dirs(ctx)) == 2, 5, "F12 did not start a second burst")
    second = [d for d in burst_dirs(ctx) if d != first][0]
    log = next(p for p in burst_logs(ctx) if p.parent == second)
    # It runs on past 5 frames: box 1029 counts the frames still to come down.
    left0 = int(ctx.text(h, 1029))
    ctx.wait_until(lambda: int(ctx.text(h, 1029)) <= left0 - 6, 5, "the second burst does not take frames")
    ctx.check(not [p for p in burst_files(ctx) if p.parent == second], "the second burst wrote frames before F12")
    press(ctx, "F12", lambda: [p for p in burst_files(ctx) if p.parent == second], 5, "F12 did not stop the burst")

    def written():
        frames = [p for p in burst_files(ctx) if p.parent == second]
        return [p.name for p in frames] if frames and len(data_lines(log)) == len(frames) else None

    ctx.wait_until(written, 10, "the stopped burst did not write its frames and log")
    # The frames are written out ten a tick: done when nothing has changed for
    # a second (and nothing more comes).
    deadline = time.monotonic() + 20
    last, since = written(), time.monotonic()
    while last is None or time.monotonic() - since < 1.0:
        ctx.check(time.monotonic() < deadline, "the write-out of the stopped burst did not end")
        time.sleep(0.1)
        now = written()
        if now != last:
            last, since = now, time.monotonic()
    n = len(last)
    ctx.check(n > 5, f"the burst stopped with F12 has {n} frames")
    ctx.check(last == [f"c{k:05d}.bmp" for k in range(1, n + 1)], f"frames {last}")
    ctx.check(len(burst_dirs(ctx)) == 2, f"burst folders {burst_dirs(ctx)}")
    ctx.no_msgbox(300)
