"""End-to-end tests of "成績集計" under Wine: the command of the main window's
system menu (WM_SYSCOMMAND with its id) in a program folder holding
golfwatch.txt and a backup log writes stats.html and rounds.csv there and
starts the stand-in browser on stats.html; without logs it says so.
Also kestocard.exe --stats under Wine against the native kestocard.
"""

from harness import loginit_full, write
from test_playlog import BrowserSwap, finished, native, record  # noqa: F401 (native: a fixture)

IDM_STATS = 0x1F10
CAPTION = "成績集計"
NO_LOGS = ("集計するログが見つかりません。\r\n"
           "golf.txt、golfwatch.txt、バックアップ (ym…\\d…\\golf….txt) のどれもありませんでした。")


def game(day, strokes):
    s = ("Player1:太郎\r\nPlayer2:Ka,ne\r\n** Stroke Begin **\r\n"
         f"2009/04/{day:02d} 20:00:00\r\n*Club Setting*\r\nName: ロペ倶楽部\r\nTee:  1\r\n")
    for h in range(1, 19):
        s += f"*Hole {h:2d}\r\n*Player1 {strokes:02d}\r\n*Player2 04\r\n"
    return (s + "** Stroke End **\r\n").encode("cp932")


def tie_games():
    """Four rounds of one player on ロペ倶楽部 (par 74) 7, 7, 7 and 8 over par:
    an average of exactly 7.25, which "%+.1f" prints as +7.2."""
    s = ""
    for day, fives in ((1, 9), (2, 9), (3, 9), (4, 10)):
        s += ("Player1:Tie\r\n** Stroke Begin **\r\n"
              f"2009/05/{day:02d} 20:00:00\r\n*Club Setting*\r\nName: ロペ倶楽部\r\nTee:  1\r\n")
        for h in range(1, 19):
            s += f"*Hole {h:2d}\r\n*Player1 {5 if h <= fives else 4:02d}\r\n"
        s += "** Stroke End **\r\n"
    return s.encode("cp932")


def start(ctx):
    write(ctx.folder / "loginit.txt", loginit_full(ctx.winpath(ctx.folder)))
    ctx.start_kesto()
    return ctx.find_main()


def test_stats_command_writes_both_files_and_shows_the_page(ctx):
    standin = ctx.kesto.parent / "tests" / "e2e" / "standinbrowser.exe"
    ctx.check(standin.is_file(), f"{standin} is missing")
    # Three games, one of them in both logs.
    (ctx.folder / "golfwatch.txt").write_bytes(game(5, 4) + game(6, 5))
    backup = ctx.folder / "ym200904" / "d07"
    backup.mkdir(parents=True)
    (backup / "golf07_2107_45.txt").write_bytes(game(6, 5) + game(7, 3))
    with BrowserSwap(ctx, standin) as browser:
        rec_file = browser.with_name("standinbrowser.txt")
        if rec_file.exists():
            rec_file.unlink()
        try:
            h = start(ctx)
            ctx.probe_ok("syscmd", h, IDM_STATS)
            rec = ctx.wait_until(lambda: record(rec_file), 30, "成績集計 did not start the browser")
            want = " " + ctx.winpath(ctx.folder) + "\\stats.html"
            ctx.check(rec["cmdline"] == want, f"browser command line {rec['cmdline']!r}, expected {want!r}")
            page = finished(ctx.folder / "stats.html")
            ctx.check(page is not None, "stats.html is not there whole")
            ctx.check("ロペ倶楽部".encode("cp932") in page and b"<polyline" in page,
                      "stats.html lacks the course or the chart")
            csv = (ctx.folder / "rounds.csv").read_bytes()
            ctx.check(csv.startswith(b"\xef\xbb\xbfstart,date,time,course,kind,player,"),
                      f"rounds.csv begins {csv[:40]!r}")
            rows = csv.decode("utf-8-sig").split("\r\n")
            ctx.check(len(rows) == 1 + 6 + 1 and rows[-1] == "", f"rounds.csv has {len(rows)} lines: {rows!r}")
            ctx.check(rows[1].startswith("2009/04/05 20:00:00,2009-04-05,20:00,ロペ倶楽部,stroke,太郎,18,72,74,-2,"),
                      f"first row {rows[1]!r}")
            ctx.check(rows[2].split(",")[5:7] == ['"Ka', 'ne"'], f"second row {rows[2]!r}")
            ctx.no_msgbox(500)
        finally:
            if rec_file.exists():
                rec_file.unlink()


def test_stats_command_without_logs_says_so(ctx):
    h = start(ctx)
    ctx.probe_ok("syscmd", h, IDM_STATS)
    ctx.expect_msgbox(NO_LOGS, CAPTION, "information")
    ctx.answer(1)
    ctx.check(not (ctx.folder / "stats.html").exists(), "stats.html was written without logs")
    ctx.check(not (ctx.folder / "rounds.csv").exists(), "rounds.csv was written without logs")


def test_kestocard_exe_stats_matches_native(ctx, native):
    """kestocard.exe --stats under Wine writes the bytes the native tool writes,
    putts, greens and the handicap-like figure of generated logs included."""
    import subprocess
    exe = ctx.kesto.parent / "kestocard.exe"
    ctx.check(exe.is_file(), f"{exe} is missing")
    outs = {}
    for side in ("win", "native"):
        d = ctx.folder / side
        d.mkdir()
        for i, seed in enumerate(("20091207", "20091208")):
            r = subprocess.run([str(native / "kestologgen"), seed, "12", str(d / f"log{i}.txt")], timeout=60)
            ctx.check(r.returncode == 0, f"kestologgen: {r.returncode}")
        (d / "log2.txt").write_bytes(tie_games())
        outs[side] = d
    logs = ["log0.txt", "log1.txt", "log0.txt", "log2.txt"]
    rc, stdout, err = ctx.wine.run(exe, ["--stats"] + logs, cwd=outs["win"], timeout=60)
    ctx.check(rc == 0, f"kestocard.exe --stats ended with {rc}: {err[-400:]}")
    ctx.check(stdout.split() == ["rounds.csv", "stats.html"], f"kestocard.exe printed {stdout!r}")
    r = subprocess.run([str(native / "kestocard"), "--stats"] + logs,
                       cwd=outs["native"], capture_output=True, timeout=60)
    ctx.check(r.returncode == 0, f"native kestocard --stats: {r.returncode} {r.stderr!r}")
    for name in ("rounds.csv", "stats.html"):
        got, want = (outs["win"] / name).read_bytes(), (outs["native"] / name).read_bytes()
        ctx.check(got == want, f"kestocard.exe's {name} ({len(got)} bytes) differs from the native one "
                               f"({len(want)} bytes)")
    # Averages read as glibc's printf("%+.1f") prints them, on Windows too.
    page = (outs["win"] / "stats.html").read_bytes()
    ctx.check(">Tie</td><td class=\"t\">ストローク</td><td>4</td><td>81.2</td><td>+7.2</td>".encode("cp932") in page,
              "stats.html of kestocard.exe lacks Tie's averages 81.2 and +7.2")
    # The generated logs carry shot records: putts and greens are shown, and
    # the handicap-like figure, all written the same on both sides.
    ctx.check("<th>パーオン</th>".encode("cp932") in page and "<th>ハンデ目安</th>".encode("cp932") in page,
              "stats.html of kestocard.exe lacks the putts and greens or the handicap-like figure")
    rows = (outs["win"] / "rounds.csv").read_bytes().decode("utf-8-sig").split("\r\n")
    ctx.check(rows[0].endswith(",h18,putts,gir") and any(r.split(",")[28:29] != [""] for r in rows[1:-1]),
              f"rounds.csv of kestocard.exe: {rows[0]!r}, no putts in any row")
