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
CUSTOM = (-31, -5, -5, -5)  # CUSTOMAREA of loginit_full: top, left, bottom, right


def enc(s):
    return s.encode("cp932")


def prepare(ctx, interval=7, pages=100):
    gamedir = ctx.folder / "GOLFDUKE" / "stand-in game folder"
    gamedir.mkdir(parents=True)
    golf = gamedir / "golf.txt"
    golf.write_bytes(b"** Stroke Begin **\r\n")
    text = loginit_full(ctx.winpath(ctx.folder), dgpath=ctx.winpath(golf), interval=interval)
    write(ctx.folder / "loginit.txt", text.replace("CAPTUREPAGE=100", f"CAPTUREPAGE={pages}"))


def start(ctx):
    """KESTO watching, the stand-in game in front and known to the watcher:
    (main window, game window)."""
    ctx.start_kesto()
    h = ctx.find_main()
    ctx.probe_ok("click", h, 1003)
    ctx.wait_text(h, 1005, enc(STARTED), 5000)
    ctx.start_fakegame(GAME)
    g = ctx.find("FAKEGAME", GAME)
    ctx.probe_ok("waitfg", g, 5000)
    ctx.wait_text(h, 1004, enc(GAME), 5000)
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
    fmts = ctx.fields(ctx.probe_ok("clipinfo")).get("formats", "")
    ctx.check(fmts.strip() == "", f"the clipboard still holds formats {fmts}")

    # Another window in front: the whole screen.
    ctx.start_fakegame("メモ帳")
    other = ctx.find("FAKEGAME", "メモ帳")
    ctx.probe_ok("waitfg", other, 5000)
    time.sleep(0.2)  # let the screen settle before the reference is taken
    ctx.probe_ok("clipscreen", ctx.winpath(ref))
    shots = ctx.wait_until(lambda: found(ctx.folder, SSNAME) if len(found(ctx.folder, SSNAME)) == 2 else None, 5,
                           "no second screenshot file appeared")
    full = Image.open(ref).convert("RGB")
    w, hh = full.size
    second = [p for p in shots if p.stat().st_size == 54 + (w * 3 + 3) // 4 * 4 * hh or p.stat().st_size > 0][-1]
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
    l, t, r, b = rect(ctx, g)
    xdotool(ctx, "mousemove", str((l + r) // 2), str((t + b) // 2))
    xdotool(ctx, "search", "--sync", "--name", f"^{GAME}$", "windowfocus")
    rc, lines, err = ctx.probe("waitfg", g, 5000)
    if rc != 0:
        fg = ctx.fields(ctx.probe_ok("foreground"))
        ctx.check(False, f"the game is not in front: {fg.get('class')} \"{fg.get('title_utf8')}\" is ({err})")


def press(ctx, key):
    """A key held as long as a person holds it (the keys are polled every 30 ms)."""
    xdotool(ctx, "keydown", key, "sleep", "0.15", "keyup", key)


@pytest.mark.skip(reason="left Ctrl + F3 through xdotool is not yet reliable in the Japanese locale")
def test_capture_ctrl_f3_clears_both_modes(ctx):
    prepare(ctx)
    h, g = start(ctx)
    for box in (1021, 1020):
        check_box(ctx, h, box, 1)
        game_in_front(ctx, g)
        xdotool(ctx, "keydown", "Control_L")
        press(ctx, "F3")
        xdotool(ctx, "keyup", "Control_L")
        ctx.wait_until(lambda: ctx.probe_ok("check", h, box)[0].strip() == "0", 3,
                       f"left Ctrl + F3 did not clear box {box}")
    # Left Ctrl + F2 and F1 check them, still with the game in front.
    game_in_front(ctx, g)
    xdotool(ctx, "keydown", "Control_L")
    press(ctx, "F2")
    ctx.wait_until(lambda: ctx.probe_ok("check", h, 1021)[0].strip() == "1", 3, "left Ctrl + F2 did not check 連写")
    press(ctx, "F3")
    xdotool(ctx, "keyup", "Control_L")
    ctx.wait_until(lambda: ctx.probe_ok("check", h, 1021)[0].strip() == "0", 3, "left Ctrl + F3 left 連写 checked")
    ctx.check(ctx.probe_ok("check", h, 1020)[0].strip() == "0", "SS checked")
