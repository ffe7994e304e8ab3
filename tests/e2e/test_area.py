"""End-to-end tests of the capture area under Wine, with the stand-in game
watched: the area dialog (範囲設定) and its window list, the see-through area
frame that lock-on puts on the game window widened by the margins, margins
typed into the fields and made by dragging the frame with real mouse events,
saving and restoring the area settings, the speed list shared by the dialog and
the frame and the period it gives timer 1, and the frame's marker bar and its
right-click menu, read back from screenshots of the X screen.

Margins are (top, left, bottom, right) and widen a window rectangle outward;
the stand-in game's window is at 500, 300 and loginit_full puts CUSTOMAREA in
force (ENABLEAREA=2).
"""

import os
import re
import subprocess

from PIL import Image

from harness import loginit_full, show
from test_capture import burst_logs, check_box, data_lines, prepare, rect, start, xdotool

GAME = "ゴルフ漬け"
CUSTOM = (-31, -5, -5, -5)
CAPTION = "範囲設定"
NO_WINDOW = "ウインドウ選択無し"
SPEEDS = ["100.0 秒", "0.5 秒", "0.4 秒", "0.3 秒", "0.2 秒", "0.1 秒", "0.066 秒", "0.033 秒"]
KEYS = ["左 Alt", "右 Alt", "右 Ctrl", "F12"]
MSG_SAVED = "環境データを ファイル名 loginit.txt で保存しました"
PAUSED = "監視を中断しました。スタートで再開します"

# Area dialog controls.
TOP, LEFT, BOTTOM, RIGHT = 1002, 1004, 1005, 1007
MARGIN_IDS = (TOP, LEFT, BOTTOM, RIGHT)
FRAME_BUTTON, WINLIST, SIZE, COUNT, SPEED, KEYLIST, RESTORE, SAVE = 1013, 1028, 1009, 1008, 1016, 1049, 1027, 1
# The frame's speed list.
FRAME_SPEED = 1014

# The marker bar's colours: the frame focused, sliding armed or active, and
# the frame without the focus (fill and outline).
BAR = (240, 128, 0)
BAR_SLIDE = (240, 32, 0)
BAR_IDLE = (160, 96, 32)
BAR_IDLE_OUTLINE = (192, 96, 32)
STRIPES = [(255, 0, 0), (0, 255, 0), (0, 0, 255), (255, 255, 0), (0, 255, 255), (255, 0, 255),
           (255, 255, 255), (0, 0, 0)]

# The frame's menu, top to bottom.
MENU_SLIDE, MENU_THIRTIETH, MENU_TENTH, MENU_WHOLE = range(4)


def enc(s):
    return s.encode("cp932")


def tag(ctx):
    return ctx.locale.split(".")[0]


def widen(r, m):
    top, left, bottom, right = m
    return (r[0] - left, r[1] - top, r[2] + right, r[3] + bottom)


def client(ctx, hwnd):
    """The client area on the screen: (x, y, width, height)."""
    line = ctx.probe_ok("client", hwnd)[0].split()
    return tuple(int(v) for v in line[1:5])


def items(ctx, hwnd, cid):
    """(entries as CP932 bytes, selected index) of a combo or list box."""
    entries, sel = [], None
    for line in ctx.probe_ok("items", hwnd, cid):
        k, _, v = line.partition(" ")
        if k == "sel":
            sel = int(v)
        elif k == "item":
            entries.append(bytes.fromhex(v.partition(" ")[2]))
    return entries, sel


def margins(ctx, d):
    return tuple(int(ctx.text(d, cid)) for cid in MARGIN_IDS)


def wait_rect(ctx, hwnd, want, timeout_s, what):
    last = [None]

    def there():
        last[0] = rect(ctx, hwnd)
        return last[0] == tuple(want)

    try:
        ctx.wait_until(there, timeout_s, "")
    except AssertionError:
        ctx.check(False, f"{what}: the frame is at {last[0]}, expected {tuple(want)}")


def wait_margins(ctx, d, want, timeout_s, what):
    last = [None]

    def shown():
        last[0] = margins(ctx, d)
        return last[0] == tuple(want)

    try:
        ctx.wait_until(shown, timeout_s, "")
    except AssertionError:
        ctx.check(False, f"{what}: the margin fields show {last[0]}, expected {tuple(want)}")


def frames_of(ctx, d):
    """The visible "#32770" windows the area dialog owns: [(hwnd, exstyle, rect)]."""
    out = []
    for line in ctx.probe_ok("owned", d):
        p = line.split()
        if p[0] == "win" and p[2] == "#32770" and p[3] == "1":
            out.append((p[1], int(p[4], 16), tuple(int(v) for v in p[5:9])))
    return out


def the_frame(ctx, d, timeout_s=5):
    found = ctx.wait_until(lambda: frames_of(ctx, d), timeout_s, "the area frame did not appear")
    ctx.check(len(found) == 1, f"the area dialog owns {len(found)} frames: {found}")
    return found[0]


def popup_of(ctx, f):
    for line in ctx.probe_ok("owned", f):
        p = line.split()
        if p[0] == "win" and p[2] == "#32768" and p[3] == "1":
            return p[1], tuple(int(v) for v in p[5:9])
    return None


def screen(ctx, png):
    """The X screen as a picture, kept as png."""
    env = dict(os.environ, DISPLAY=ctx.wine.env["DISPLAY"])
    subprocess.run(["import", "-window", "root", str(png)], env=env, check=True, timeout=20,
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    img = Image.open(png).convert("RGB")
    img.load()
    return img


def click_in_front(ctx, hwnd):
    """Brings a window to the front as a person does: a click in the middle
    of its client area (through the see-through frame, when that lies over
    it)."""
    x, y, w, hh = client(ctx, hwnd)
    xdotool(ctx, "mousemove", str(x + w // 2), str(y + hh // 2), "click", "1")
    ctx.probe_ok("waitfg", hwnd, 5000)
    # The topmost frame stays over the window in Win32's order, but Wine's
    # virtual desktop may have put the window's X window over it: the X
    # screen is made to show Win32's order again.
    ctx.restack_topmost()


def open_area(ctx, h):
    ctx.probe_ok("click", h, 1027)
    return ctx.find("#32770", CAPTION, 5000)


def press_for_frame(ctx, d, cid, want, what, from_press=True):
    """Presses button cid of the area dialog and waits until a frame owned
    by it lies at want; lock-on must have put it there within 2 s of the
    press (from_press) or of the frame's showing. The times are taken by the
    probe that presses, not from the start of a probe process. Returns the
    frame's handle."""
    rc, lines, err = ctx.probe("waitrect", f"owned:{d}", *want, 8000, f"click={d}:{cid}", timeout_s=30)
    ctx.check(rc == 0, f"{what}: no frame at {tuple(want)} ({err})")
    got = ctx.fields(lines)
    ms, seen = int(got["ms"]), int(got["seen"])
    if from_press:
        ctx.check(ms <= 2000, f"{what}: lock-on put the frame in place {ms} ms after the press, not within 2 s")
    else:
        ctx.check(ms - seen <= 2000, f"{what}: lock-on put the frame in place {ms - seen} ms after it showed, "
                  "not within 2 s")
    return got["hwnd"]


def bar_span(img, c, colour):
    """The first and last pixel of colour in the top row of the frame's client
    area c (screen x, y, w, h), client x; None when there is none."""
    x, y, w, _ = c
    xs = [i for i in range(w) if img.getpixel((x + i, y)) == colour]
    return (xs[0], xs[-1]) if xs else None


def wait_bar(ctx, c, colour, want, what):
    last = [None]
    png = ctx.folder / "band.png"

    def drawn():
        last[0] = bar_span(screen(ctx, png), c, colour)
        return last[0] == want

    try:
        ctx.wait_until(drawn, 5, "")
    except AssertionError:
        ctx.check(False, f"{what}: the marker bar {colour} spans {last[0]} of the band, expected {want}")


def choose(ctx, f, at, entry, picture=None):
    """Right-clicks the frame at the screen point at and picks a menu entry by
    clicking it. The right button is let go once the menu is up, over its
    corner, where it picks nothing. With picture (a PNG path) the frame and
    the menu, once its texts are drawn, are kept as a picture."""
    xdotool(ctx, "mousemove", str(at[0]), str(at[1]), "mousedown", "3")
    try:
        menu, (l, t, r, b) = ctx.wait_until(lambda: popup_of(ctx, f), 5, "right-clicking the band opened no menu")
    finally:
        xdotool(ctx, "mouseup", "3")
    ctx.check((l, t) == tuple(at), f"the menu opened at {(l, t)}, not at the cursor {at}")
    if picture:
        fl, ft, fr, fb = rect(ctx, f)

        def drawn():
            img = screen(ctx, ctx.folder / "menu.png")
            dark = any(sum(img.getpixel((x, y))) < 150 for x in range(l + 4, r - 4) for y in range(t + 4, b - 4))
            return img if dark else None

        img = ctx.wait_until(drawn, 5, "the menu's texts were not drawn")
        img.crop((fl - 20, ft - 20, max(fr, r) + 20, max(fb, b) + 20)).save(picture)
    # Four entries of equal height: the middle of the entry's quarter.
    xdotool(ctx, "mousemove", str((l + r) // 2), str(t + (b - t) * (2 * entry + 1) // 8), "click", "1")
    ctx.probe_ok("waitgone", menu, 5000)


def test_area_dialog_margins_save_restore(ctx):
    prepare(ctx, interval=1)
    h, g = start(ctx)
    game = rect(ctx, g)

    # 範囲 opens the dialog, a second 範囲 closes it. The list names the
    # window in front by its title, then those below it with their modules:
    # another window opened over the game, the game is one of them.
    other_title = "メモ帳"
    ctx.start_fakegame(other_title)
    other = ctx.find("FAKEGAME", other_title)
    ctx.probe_ok("waitfg", other, 5000)
    d = open_area(ctx, h)
    entries, sel = items(ctx, d, WINLIST)
    ctx.check(entries[:2] == [enc(NO_WINDOW), enc(other_title)],
              f"window list begins {[show(e) for e in entries[:2]]}, expected {NO_WINDOW}, {other_title}")
    games = [i for i, e in enumerate(entries) if e == enc(f"<{GAME}> fakegame.exe #{i}")]
    ctx.check(len(games) == 1, f"no single entry <{GAME}> fakegame.exe #n in {[show(e) for e in entries]}")
    ctx.check(sel == games[0], f"entry {sel} is selected, expected the game's ({games[0]})")
    speeds, sel = items(ctx, d, SPEED)
    ctx.check(speeds == [enc(s) for s in SPEEDS] and sel == 1,
              f"speed list {[show(s) for s in speeds]} with {sel} selected, expected {SPEEDS} with 1 (INTERVAL=1)")
    keys, sel = items(ctx, d, KEYLIST)
    ctx.check(keys == [enc(k) for k in KEYS] and sel == 0, f"key list {[show(k) for k in keys]} with {sel} selected")
    ctx.check(margins(ctx, d) == CUSTOM, f"margins {margins(ctx, d)}, expected CUSTOMAREA {CUSTOM}")
    ctx.check([ctx.probe_ok("check", d, cid)[0].strip() for cid in (1036, 1037, 1045)] == ["0", "1", "0"],
              "w2 (CUSTOMAREA) is not the only area choice checked")
    ctx.check(ctx.text(d, SIZE) == enc("%dx%d" % (game[2] - game[0] + CUSTOM[1] + CUSTOM[3],
                                                  game[3] - game[1] + CUSTOM[0] + CUSTOM[2])),
              f"size field {show(ctx.text(d, SIZE))}")
    ctx.probe_ok("click", h, 1027)
    ctx.probe_ok("waitgone", d, 5000)
    ctx.probe_ok("close", other)
    ctx.probe_ok("waitgone", other, 5000)

    # Opened again with the game in front: its plain title, preselected.
    click_in_front(ctx, g)
    d = open_area(ctx, h)
    entries, sel = items(ctx, d, WINLIST)
    ctx.check(entries[:2] == [enc(NO_WINDOW), enc(GAME)] and sel == 1,
              f"window list {[show(e) for e in entries]} with {sel} selected, expected the game's title as 1")

    # 枠表示: the frame, owned by the dialog, topmost, layered, with a sizing
    # border and no caption, and lock-on puts it on the game window.
    f = press_for_frame(ctx, d, FRAME_BUTTON, widen(game, CUSTOM), "枠表示")
    owned, exstyle, _ = the_frame(ctx, d)
    ctx.check(owned == f, f"the dialog owns {owned}, not the frame {f}")
    ctx.check(exstyle & 0x8 and exstyle & 0x80000, f"frame exstyle {exstyle:#x}: not topmost and layered")
    style = int(re.search(r"style=(0x[0-9a-f]+)", ctx.probe_ok("controls", f)[0]).group(1), 16)
    ctx.check(style & 0x40000 and style & 0xC00000 != 0xC00000, f"frame style {style:#x}: no sizing border or a caption")
    band = {c["id"]: c for c in ctx.controls(f)}
    ctx.check(band.get(1002, {}).get("class") == "Edit" and band.get(FRAME_SPEED, {}).get("class") == "ListBox",
              f"the frame's band holds {[(c['id'], c['class']) for c in band.values()]}")
    frame = rect(ctx, f)

    # The top margin typed in: the top edge follows by the difference.
    ctx.probe_ok("settext", d, TOP, str(CUSTOM[0] + 10))
    frame = (frame[0], frame[1] - 10, frame[2], frame[3])
    wait_rect(ctx, f, frame, 5, "top margin -31 -> -21")
    m = (CUSTOM[0] + 10, CUSTOM[1], CUSTOM[2], CUSTOM[3])
    wait_margins(ctx, d, m, 5, "after typing the top margin")

    # Dragged by the marker bar with the left button, (+15, -7): the frame
    # moves along and the margins are measured anew against the game window.
    # Each step waits for the frame to follow before the pointer moves on, as
    # a hand does. In Wine's virtual desktop a pointer motion that comes right
    # after a move of the window under it can be placed against the window's
    # previous position: the cursor then reads one step too far (seen here as
    # (+20, -9) after three quick steps), which no Windows does.
    cx, cy, _, _ = client(ctx, f)
    x0, y0 = cx + 4, cy + 8
    xdotool(ctx, "mousemove", str(x0), str(y0), "mousedown", "1")
    try:
        for k in (1, 2, 3):
            dx, dy = 5 * k, -((7 * k) // 3)
            xdotool(ctx, "mousemove", str(x0 + dx), str(y0 + dy))
            moved = (frame[0] + dx, frame[1] + dy, frame[2] + dx, frame[3] + dy)
            wait_rect(ctx, f, moved, 5, f"dragging the band by ({dx:+d}, {dy:+d})")
    finally:
        xdotool(ctx, "mouseup", "1")
    m = (m[0] + 7, m[1] - 15, m[2] - 7, m[3] + 15)
    wait_margins(ctx, d, m, 5, "after the drag")
    ctx.check(rect(ctx, f) == moved, "the frame moved after the button was let go")
    ctx.check(ctx.text(d, SIZE) == enc("%dx%d" % (moved[2] - moved[0], moved[3] - moved[1])),
              f"size field {show(ctx.text(d, SIZE))}")

    # Pictures: the dialog with its zoom view of the frame's corners (the
    # bottom-left square magnifies the game's red stripe there), and the frame
    # over the game window, whose stripes show through it.
    bmp = ctx.folder / "dialog.bmp"

    def zoomed():
        ox, oy = (int(v) for v in ctx.fields(ctx.probe_ok("shot", d, ctx.winpath(bmp)))["client"].split()[:2])
        img = Image.open(bmp).convert("RGB")
        img.save(ctx.shots / f"area-dialog-{tag(ctx)}.png")
        return sum(1 for x in range(64, 112) for y in range(82, 122) if img.getpixel((ox + x, oy + y)) == STRIPES[0]) >= 16

    ctx.wait_until(zoomed, 5, "the zoom view shows no magnified red stripe at the frame's bottom-left corner")
    img = screen(ctx, ctx.folder / "screen.png")
    gx = client(ctx, g)[0]
    px, py = moved[0] + 30, (moved[1] + moved[3]) // 2
    want = STRIPES[(px - gx) // 40]
    ctx.check(img.getpixel((px, py)) == want,
              f"inside the frame at {(px, py)} the screen is {img.getpixel((px, py))}, not the game's {want}")
    box = (min(game[0], moved[0]) - 20, min(game[1], moved[1]) - 20,
           max(game[2], moved[2]) + 20, max(game[3], moved[3]) + 20)
    img.crop(box).save(ctx.shots / f"area-frame-{tag(ctx)}.png")

    # The count (clamped to 0 ... 99999), the capture key and the speed
    # picked in the dialog; the speed shows in the frame's list too.
    ctx.probe_ok("settext", d, COUNT, "123456")
    ctx.probe_ok("select", d, KEYLIST, 3)
    ctx.probe_ok("select", d, SPEED, 7)
    ctx.wait_until(lambda: items(ctx, f, FRAME_SPEED)[1] == 7, 5, "the frame's speed list did not follow to 7")

    # 保存 writes loginit.txt: the edited margins into CUSTOMAREA, the speed's
    # row, the clamped count.
    ctx.probe_ok("click", d, SAVE)
    ctx.expect_msgbox(MSG_SAVED, "Write OK", "information", owner=d)
    ctx.answer(1)
    golf = ctx.folder / "GOLFDUKE" / "game dir" / "golf.txt"
    want = (loginit_full(ctx.winpath(ctx.folder), dgpath=ctx.winpath(golf), interval=7)
            .replace("CAPTUREPAGE=100", "CAPTUREPAGE=99999")
            .replace("CUSTOMAREA=-31,-5,-5,-5", "CUSTOMAREA=%d,%d,%d,%d" % m)
            .replace("SELECTCAPKEY=L-Alt", "SELECTCAPKEY=F12")).encode("cp932")
    got = (ctx.folder / "loginit.txt").read_bytes()
    ctx.check(got == want, f"loginit.txt reads\n{show(got)}\nexpected\n{show(want)}")
    ctx.check(got.count(b"\r\n") == 14, "loginit.txt has not 14 lines")

    # A margin changed after saving, then 戻す: the saved margins come back
    # and a new frame is put on the game window at them.
    ctx.probe_ok("settext", d, LEFT, str(m[1] - 20))
    wait_rect(ctx, f, (moved[0] + 20, moved[1], moved[2], moved[3]), 5, "left margin 20 less")
    old = f
    f = press_for_frame(ctx, d, RESTORE, widen(game, m), "戻す", from_press=False)
    ctx.check(f != old, "戻す kept the frame instead of making it anew")
    ctx.probe_ok("waitgone", old, 5000)
    wait_margins(ctx, d, m, 5, "after 戻す")
    # The fields take typing again: the bottom edge follows.
    ctx.probe_ok("settext", d, BOTTOM, str(m[2] + 10))
    r = widen(game, m)
    wait_rect(ctx, f, (r[0], r[1], r[2], r[3] + 10), 5, "bottom margin 10 more after 戻す")

    # 枠表示 again takes the frame away. (no_msgbox waits at least two ticks
    # of timer 1 at INTERVAL=1, about 1.3 s.)
    ctx.probe_ok("click", d, FRAME_BUTTON)
    ctx.probe_ok("waitgone", f, 5000)
    ctx.no_msgbox()


def tics(log):
    """The Tic= milliseconds of a burst log's frames."""
    out = []
    for line in data_lines(log):
        mt = re.search(rb"Tic=\s*(\d+)(?:,(\d{3}))? ms", line)
        out.append(int(mt.group(1)) * (1000 if mt.group(2) else 1) + int(mt.group(2) or 0))
    return out


def burst(ctx, h, frames):
    """A burst of frames set off by a PrintScreen image; returns the Tic=
    figures of its log (from the second frame on)."""
    before = set(burst_logs(ctx))
    ctx.probe_ok("settext", h, 1043, str(frames))
    ctx.wait_until(lambda: ctx.text(h, 1043) == str(frames).encode(), 5, "the count did not take")
    ctx.probe_ok("clipbmp", 32, 32, "stripes")

    def logged():
        new = [p for p in burst_logs(ctx) if p not in before]
        return new if new and len(data_lines(new[0])) == frames else None

    log = ctx.wait_until(logged, 15, f"the burst did not log {frames} frames")[0]
    return tics(log)[1:]


def test_area_frame_band_and_speed(ctx):
    prepare(ctx, interval=1, pages=3)
    h, g = start(ctx)
    check_box(ctx, h, 1021, 1)
    # At 0.5 s a burst takes a frame about every 495 ms.
    slow = burst(ctx, h, 3)
    ctx.check(all(t >= 450 for t in slow), f"frames at 0.5 s came {slow} ms apart")

    d = open_area(ctx, h)
    f = press_for_frame(ctx, d, FRAME_BUTTON, widen(rect(ctx, g), CUSTOM), "枠表示")
    c = client(ctx, f)
    cx, cy, W, _ = c
    wl, wt, wr, _ = rect(ctx, f)
    # The bar starts whole: all the top row but the close box.
    wait_bar(ctx, c, BAR, (0, W - 1), "at first")
    on_bar = (cx + 4, cy + 8)

    # A tenth and a thirtieth of the width, at the left.
    choose(ctx, f, on_bar, MENU_TENTH)
    wait_bar(ctx, c, BAR, (0, W * 10 // 100 - 1), "幅１０分の１")
    choose(ctx, f, on_bar, MENU_THIRTIETH, picture=ctx.shots / f"area-menu-{tag(ctx)}.png")
    wait_bar(ctx, c, BAR, (0, W * 3 // 100 - 1), "幅３０分の１")

    # Back to a tenth, then moved with the right button: the bar turns to
    # the sliding colour, follows the cursor while the button is down and
    # keeps its place when it is let go.
    choose(ctx, f, on_bar, MENU_TENTH)
    wait_bar(ctx, c, BAR, (0, W * 10 // 100 - 1), "幅１０分の１ again")
    choose(ctx, f, on_bar, MENU_SLIDE)
    wait_bar(ctx, c, BAR_SLIDE, (0, W * 10 // 100 - 1), "右クリックの状態で移動 armed")
    # Somewhere between the band's controls and the close box.
    free = (max(cc["rect"][0] + cc["rect"][2] for cc in ctx.controls(f)) + W - 22) // 2
    x = cx + free
    pos = min(max((x - wl) * 100 // W - 5, 0), 90)
    span = (W * pos // 100, W * pos // 100 + W * 10 // 100 - 1)
    xdotool(ctx, "mousemove", str(on_bar[0]), str(on_bar[1]), "mousedown", "3")
    try:
        for k in (1, 2, 3):
            xdotool(ctx, "mousemove", str(on_bar[0] + (x - on_bar[0]) * k // 3), str(on_bar[1]))
        wait_bar(ctx, c, BAR_SLIDE, span, "sliding")
    finally:
        xdotool(ctx, "mouseup", "3")
    wait_bar(ctx, c, BAR, span, "after sliding")
    on_bar = (cx + (span[0] + span[1]) // 2, cy + 8)
    choose(ctx, f, on_bar, MENU_WHOLE)
    wait_bar(ctx, c, BAR, (0, W - 1), "全体")

    # The game in front: the frame has lost the focus and the bar dims.
    click_in_front(ctx, g)
    wait_bar(ctx, c, BAR_IDLE_OUTLINE, (0, W - 1), "the frame without the focus")
    fill = screen(ctx, ctx.folder / "idle.png").getpixel((cx + free, cy + 1))
    ctx.check(fill == BAR_IDLE, f"the bar's fill is {fill}, not {BAR_IDLE} of a frame without the focus")

    # The speed: the dialog's choice shows in the frame's list and the other
    # way round; timer 1 takes it when it starts again (停止, スタート).
    ctx.probe_ok("select", d, SPEED, 7)
    ctx.wait_until(lambda: items(ctx, f, FRAME_SPEED)[1] == 7, 5, "the frame's speed list did not follow to 7")
    ctx.probe_ok("select", f, FRAME_SPEED, 3)
    ctx.wait_until(lambda: items(ctx, d, SPEED)[1] == 3, 5, "the dialog's speed list did not follow to 3")
    ctx.probe_ok("select", d, SPEED, 7)
    ctx.wait_until(lambda: items(ctx, f, FRAME_SPEED)[1] == 7, 5, "the frame's speed list did not follow to 7")
    ctx.probe_ok("click", h, 1006)
    ctx.wait_text(h, 1005, enc(PAUSED), 5000)
    ctx.probe_ok("click", h, 1003)
    ctx.wait_until(lambda: ctx.text(h, 1005) != enc(PAUSED), 5, "スタート did not resume watching")
    fast = burst(ctx, h, 4)
    ctx.check(sorted(fast)[len(fast) // 2] < 250, f"frames at 0.033 s came {fast} ms apart")

    # The close box closes the frame.
    xdotool(ctx, "mousemove", str(wr - 10), str(wt + 10), "click", "1")
    ctx.probe_ok("waitgone", f, 5000)
    ctx.no_msgbox()
