"""End-to-end tests of the game watcher: kesto.exe follows the stand-in
game's golf.txt and shows each new shot; the end of a game, a missing log and
停止/スタート.

The stand-in game's golf.txt lies in a folder whose path holds "GOLFDUKE" and
is long enough for the settings to take it as the game's log.
"""

import pytest

from harness import loginit_full, shot_lines, shot_record, show, write

GAME = "ゴルフ漬け"
GAME2 = "ゴルフ漬け 特盛り"
STARTED = "起動監視をスタートしました"
FOLLOWING = "golf.txt 監視中"
RESUMED = "起動監視を再開しました"
PAUSED = "監視を中断しました。スタートで再開します"
MISSING1 = "ゴルフ漬け　ログファイル golf.txt が見つかりません　１"
SHOWN = (1008, 1011, 1012, 1009, 1002, 1018)  # club, remaining, power, player, hole, status


def enc(s):
    return s.encode("cp932")


def shot(player, hole, club, metres, power=120):
    return f"*Player{player} 03\r\n".encode("ascii") + shot_lines(
        shot_record(club, power=power, hole=hole, remain=metres))


# Records of a game already under way when the watcher finds it.
EARLIER = (b"** Stroke Begin **\r\n2026/12/08 10:00\r\n*Hole  1\r\n" + shot(1, 1, 33, 210.0)
           + b"*Hole  2\r\n" + shot(1, 2, 44, 150.5, 90))


def setup_game(ctx, interval=7, golf_bytes=EARLIER, create=True):
    """A game folder with golf.txt and a loginit.txt naming it; returns golf.txt."""
    gamedir = ctx.folder / "GOLFDUKE" / "stand-in game folder"
    gamedir.mkdir(parents=True)
    golf = gamedir / "golf.txt"
    if create:
        golf.write_bytes(golf_bytes)
    dgpath = ctx.winpath(golf)
    assert len(dgpath.encode("cp932")) >= 48, dgpath
    write(ctx.folder / "loginit.txt", loginit_full(ctx.winpath(ctx.folder), dgpath=dgpath, interval=interval))
    return golf


def start_watching(ctx):
    ctx.start_kesto()
    h = ctx.find_main()
    ctx.probe_ok("click", h, 1003)
    ctx.wait_text(h, 1005, enc(STARTED), 5000)
    return h


def wait_following(ctx, h, title=GAME):
    """Once the game's window is open, the watcher names it and follows its
    log within 5 s."""
    ctx.find("FAKEGAME", title, 15000)
    try:
        ctx.wait_text(h, 1004, enc(title), 5000)
        ctx.wait_text(h, 1005, enc(FOLLOWING), 5000)
    except AssertionError as e:
        fg = " ".join(ctx.probe("foreground")[1])
        raise AssertionError(f"{e} (foreground window: {fg})") from None


def texts_at(changes, cid, tick):
    """The text control cid showed at tick, from a watch record."""
    text = None
    for t, c, v in changes:
        if c == cid and t <= tick:
            text = v
    return text


def first_change(changes, cid, want, after):
    for t, c, v in changes:
        if c == cid and t >= after and v == want:
            return t
    return None


def copied(copy, original):
    """The copy exists and holds what the original holds now."""
    try:
        return copy.read_bytes() == original.read_bytes()
    except OSError:
        return False


def stamps(path):
    """(tick, bytes, size) of every append the stand-in game made."""
    if not path.exists():
        return []
    return [tuple(int(x) for x in line.split()) for line in path.read_text().splitlines() if line.strip()]


@pytest.mark.parametrize("interval", [1, 7])
def test_watch_live_shots(ctx, interval):
    """Each appended shot is on show within 1.5 s of the game writing it."""
    golf = setup_game(ctx, interval)
    h = start_watching(ctx)
    source = ctx.folder / "appended.txt"
    first = shot(2, 5, 70, 50.0)  # 50.0 m is the four bytes 00 00 48 42
    assert shot_record(70, remain=50.0)[106:110] == b"\x00\x00\x48\x42"
    second = shot(2, 5, 5, 123.4)
    source.write_bytes(first + second)
    stampfile = ctx.folder / "stamps.txt"
    lines1 = first.count(b"\n")
    ctx.start_fakegame(GAME, ctx.winpath(source), ctx.winpath(golf),
                       f"0:waitfile=go1,0:l{lines1},0:waitfile=go2,0:*", ctx.winpath(stampfile))
    wait_following(ctx, h)
    # Nothing of what golf.txt held before is shown.
    for cid in (1008, 1011, 1012):
        ctx.check(ctx.text(h, cid) == b"", f"control {cid} shows \"{show(ctx.text(h, cid))}\" from old records")

    # The probe follows the controls and, once it has read them, lets the
    # game append the first shot, and the second one 3 s later.
    changes = ctx.watch([(h, c) for c in SHOWN], 8000,
                        touch=[(ctx.folder / "go1", 0), (ctx.folder / "go2", 3000)])
    ctx.wait_until(lambda: len(stamps(stampfile)) >= 2, 5, "the stand-in game did not append both shots")
    (t1, _, _), (t2, _, _) = stamps(stampfile)[:2]
    # Until the first append the fields stayed empty all along, not only at
    # the one reading above.
    for cid in (1008, 1011, 1012):
        before = {v for t, c, v in changes if c == cid and t < t1}
        ctx.check(before <= {b""}, f"control {cid} showed {[show(v) for v in before]} before the first shot")
    want1 = {1008: b"70", 1011: b"54.7y", 1012: b"100.000000", 1009: b"2", 1002: b"5", 1018: b"3"}
    for cid, want in want1.items():
        got = texts_at(changes, cid, t1 + 1500)
        ctx.check(got == want, f"1.5 s after the first shot control {cid} shows \"{show(got or b'')}\", "
                               f"expected \"{show(want)}\"")
    shown = first_change(changes, 1011, b"123.4m", t2)
    seen = [(t, show(v)) for t, c, v in changes if c in (1011, 1018)]
    ctx.check(shown is not None and shown - t2 <= 1500,
              f"the second shot (written at {t2}) was shown "
              f"{'never' if shown is None else f'after {shown - t2} ms'}; 1011 and 1018: {seen}")
    ctx.check(texts_at(changes, 1008, t2 + 1500) == b"5", "club 5 not shown for the second shot")


def test_watch_game_end_and_next_game(ctx):
    golf = setup_game(ctx)
    h = start_watching(ctx)
    game = ctx.start_fakegame(GAME)
    wait_following(ctx, h)
    with golf.open("ab") as f:
        f.write(b"*Hole  3\r\n" + shot(1, 3, 9, 12.5))
    ctx.wait_text(h, 1011, b"12.5m", 5000)
    with golf.open("ab") as f:
        f.write(b"** Stroke End **\r\n")
    g = ctx.find("FAKEGAME", GAME)
    ctx.probe_ok("close", g)
    ctx.wait_exit(game, 10, "the stand-in game")
    ctx.wait_text(h, 1005, enc("ゴルフ漬け が終了しました"), 5000)
    # The copy is written after the status line: waited for by its content.
    watchcopy = ctx.folder / "golfwatch.txt"
    ctx.wait_until(lambda: copied(watchcopy, golf), 5,
                   "golfwatch.txt in the program folder is not (or not yet) a copy of golf.txt")
    # About 3 s later the search starts again.
    ctx.wait_text(h, 1005, enc(STARTED), 6000)

    # The edition is found and followed, and its end named.
    ctx.start_fakegame(GAME2)
    wait_following(ctx, h, GAME2)
    with golf.open("ab") as f:
        f.write(b"*Hole  1\r\n" + shot(3, 1, 71, 100.0, 60))
    ctx.wait_text(h, 1011, b"109.4y", 5000)
    ctx.wait_text(h, 1012, b"50.000000", 1000)
    ctx.probe_ok("close", ctx.find("FAKEGAME", GAME2))
    ctx.wait_text(h, 1005, enc("ゴルフ漬け 特盛り が終了しました"), 5000)
    # golf.txt has grown since the first copy, so only the second copy equals it.
    ctx.wait_until(lambda: copied(watchcopy, golf), 5, "the second golfwatch.txt is not a copy of golf.txt")
    ctx.no_msgbox(500)


def test_watch_missing_log(ctx):
    setup_game(ctx, create=False)
    h = start_watching(ctx)
    ctx.start_fakegame(GAME)
    ctx.expect_msgbox(MISSING1, "Open error", "error", owner=h, timeout_ms=8000)
    ctx.wait_text(h, 1005, enc("KESTO を終了してください"), 1000)
    ctx.answer(1)
    ctx.no_msgbox(1500)


def test_watch_pause_and_resume(ctx):
    golf = setup_game(ctx)
    h = start_watching(ctx)
    ctx.start_fakegame(GAME)
    wait_following(ctx, h)
    ctx.probe_ok("click", h, 1006)
    ctx.wait_text(h, 1005, enc(PAUSED), 2000)
    with golf.open("ab") as f:
        f.write(b"*Hole  7\r\n" + shot(4, 7, 6, 77.7))
    # Nothing runs while paused: the field is followed for 2.5 s (the probe
    # failing, the window gone, fails the test too).
    ctx.never_text(h, 1011, b"77.7m", 2500)
    ctx.probe_ok("click", h, 1003)
    ctx.wait_text(h, 1005, enc(RESUMED), 2000)
    # Watching goes on where it was: the shot appended meanwhile is shown and
    # the status line returns to following.
    ctx.wait_text(h, 1011, b"77.7m", 5000)
    ctx.wait_text(h, 1005, enc(FOLLOWING), 2000)
    ctx.check(ctx.text(h, 1009) == b"4" and ctx.text(h, 1002) == b"7", "player or hole not shown after resuming")


def test_watch_zero_byte_in_a_record(ctx):
    """A ShotData record with a zero byte in it costs that record only: the
    ordinary shot the game writes after it is shown."""
    golf = setup_game(ctx)
    h = start_watching(ctx)
    ctx.start_fakegame(GAME)
    wait_following(ctx, h)
    # The zero byte is in the record's third line: the record is short of
    # its ten lines if the zero is taken for the end of the text.
    damaged = bytearray(b"*Hole  4\r\n" + shot(2, 4, 41, 66.6))
    at = damaged.index(b"ShotData:\r\n") + len(b"ShotData:\r\n")
    for _ in range(2):
        at = damaged.index(b"\n", at) + 1
    damaged[at + 4] = 0
    with golf.open("ab") as f:
        f.write(bytes(damaged))
    size = golf.stat().st_size
    # KESTO has read the damaged record once its log size field shows it.
    ctx.wait_text(h, 1007, str(size).encode(), 5000)
    ctx.check(ctx.text(h, 1008) != b"41", "the damaged record was shown as a shot")
    with golf.open("ab") as f:
        f.write(b"*Hole  5\r\n" + shot(3, 5, 9, 12.5))
    ctx.wait_text(h, 1011, b"12.5m", 5000)
    ctx.wait_text(h, 1008, b"9", 1000)
    ctx.check(ctx.text(h, 1009) == b"3" and ctx.text(h, 1002) == b"5", "player or hole of the shot not shown")
    ctx.check(ctx.text(h, 1010) == str(size).encode(), "the shot was not read from where the damaged record ended")
    ctx.no_msgbox(500)
