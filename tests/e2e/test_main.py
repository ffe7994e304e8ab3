"""End-to-end tests of kesto.exe under Wine: the harness itself, the main
window, start-up and exit, settings and the course file.

Each test taking ctx runs once per locale (see conftest.py) with its own empty
program folder (ctx.folder, the current directory of kesto.exe).
"""

import os
import re
import subprocess
import threading
import time
from pathlib import Path

from harness import TITLE, loginit_full, muldiv, read_bmp, save_png, show, write

# Message texts of the main window.
MSG_NOT_SET = "ゴルフ漬けのフォルダが設定されていません\r\n設定ボタンを押して環境設定をしてください"
CAP_NOT_SET = "設定エラー"
MSG_DEFAULTS = "キャプチャーエリアなどの設定をデフォルトにしました。\r\n\"範囲\"ボタンの画面で保存してください\r\n"
CAP_DEFAULTS = "範囲設定"
STATUS_STARTED = "起動監視をスタートしました"

# The main window's controls in template order: id (None for statics), kind,
# text, box in dialog units (x, y, width, height).
MAIN_CONTROLS = [
    (1003, "button", "スタート", (7, 2, 38, 13)),
    (1006, "button", "停止", (50, 2, 29, 13)),
    (1001, "button", "設定", (86, 2, 27, 13)),
    (1013, "button", "ログ表示", (122, 2, 36, 13)),
    (None, "static", "状態", (166, 4, 16, 10)),
    (1018, "roedit", "", (186, 2, 20, 12)),
    (1004, "roedit", "", (7, 18, 199, 12)),
    (1005, "roedit", "", (7, 32, 199, 12)),
    (None, "static", "ログ長さ", (7, 48, 32, 9)),
    (1007, "roedit", "", (40, 47, 36, 12)),
    (None, "static", "Player", (81, 48, 25, 9)),
    (1009, "roedit", "", (106, 47, 11, 12)),
    (1002, "roedit", "", (134, 47, 17, 12)),
    (None, "cstatic", "H", (151, 47, 8, 12)),
    (None, "static", "Club", (164, 48, 17, 9)),
    (1008, "roedit", "", (188, 47, 18, 12)),
    (None, "static", "1回前", (16, 62, 22, 11)),
    (1010, "roedit", "", (40, 61, 36, 12)),
    (None, "static", "強さ", (88, 62, 16, 9)),
    (1012, "roedit", "", (106, 60, 23, 12)),
    (None, "static", "%", (131, 64, 8, 8)),
    (None, "static", "残り", (152, 62, 18, 10)),
    (1011, "roedit", "", (177, 60, 29, 12)),
    (1020, "check", "SS", (7, 76, 18, 9)),
    (1027, "button", "範囲", (25, 75, 19, 11)),
    (1021, "check", "連写", (45, 76, 26, 9)),
    (1043, "edit", None, (71, 75, 25, 12)),
    (1029, "roedit", "", (96, 75, 25, 12)),
    (1030, "progress", "", (122, 77, 40, 8)),
    (1031, "roedit", "", (162, 75, 25, 12)),
    (1, "button", "終了", (188, 75, 18, 11)),
]

LOGINIT_FIVE = "HOME=C:\\x\r\nDGPATH=\r\nREAD_COURSE=0\r\nSAVE_COURSE=1\r\nIEXPLORE=0\r\n"


COURSE_HEADER = "# KESTO COURSE PAR\r\n".encode("cp932")
COURSE_ROW0 = ("COURSENO: 1,112\r\n"
               "NAME: \"札幌国際カントリークラブ　島松コース\"\r\n"
               "PAR: 4,4,5,4,3,4,4,3,5,4,3,4,4,4,5,3,4,5\r\n"
               "KEYWORD: \"札幌\"\r\n\r\n").encode("cp932")

ALLOWED_DLLS = {"kernel32.dll", "user32.dll", "gdi32.dll", "comctl32.dll", "comdlg32.dll", "shell32.dll",
                "advapi32.dll", "psapi.dll", "msvcrt.dll", "ucrtbase.dll",
                "ws2_32.dll"}  # Winsock, for the page server on the loopback


# ---------------------------------------------------------------------------
# Checks of the executable file (once, not per locale).

def test_pe_imports(build):
    """kesto.exe is a 64-bit GUI program that imports only system DLLs."""
    assert build.kesto.is_file(), f"{build.kesto} is missing"
    r = subprocess.run(["x86_64-w64-mingw32-objdump", "-p", str(build.kesto)], capture_output=True, text=True)
    assert r.returncode == 0, f"objdump failed: {r.stderr.strip()}"
    assert "file format pei-x86-64" in r.stdout, "not a PE32+ x86-64 image"
    m = re.search(r"^Subsystem\s+\S+\s+\((.*)\)", r.stdout, re.M)
    assert m and m.group(1) == "Windows GUI", f"subsystem {m.group(1) if m else '?'}, expected Windows GUI"
    dlls = re.findall(r"DLL Name:\s*(\S+)", r.stdout)
    assert dlls, "no imports found"
    bad = [d for d in dlls if d.lower() not in ALLOWED_DLLS and not d.lower().startswith("api-ms-win-crt-")]
    assert not bad, f"imports non-system DLLs: {', '.join(bad)}"


# ---------------------------------------------------------------------------
# The harness itself: probe against fakegame, so that a fault of the tools
# is not taken for a fault of the program.

def test_harness(ctx):
    src = ctx.folder / "source.txt"
    golf = ctx.folder / "golf.txt"
    body = "".join(f"*Hole {h}\r\n*Player1 0{h % 10}\r\n" for h in range(1, 19)).encode("ascii")
    src.write_bytes(body)
    kinds = ["error", "information", "warning", "question", "none"]
    schedule = "0:10,100:l3,200:every=50/l7," + ",".join(f"300:box={k}" for k in kinds) + ",300:exit"
    stamps = ctx.folder / "stamps.txt"
    game = ctx.start_fakegame("ゴルフ漬け", ctx.winpath(src), ctx.winpath(golf), schedule, ctx.winpath(stamps))
    # Found by title alone, and the exact title only.
    h = ctx.find("*", "ゴルフ漬け")
    ctx.check(ctx.title(h) == "ゴルフ漬け".encode("cp932"), "title read back differs")
    # (no_window lists the windows and fails when the probe does.)
    ctx.no_window("*", "ゴルフ漬け 特盛り", 200)
    ctx.wait_until(lambda: golf.exists() and golf.read_bytes() == body, 10, "golf.txt did not get the whole source")
    # One stamp per append: 10 bytes, 3 lines, then 7 lines every 50 ms.
    def through_lines(pos, n):
        while n and pos < len(body):
            n -= body[pos] == 0x0A
            pos += 1
        return pos
    ends = [10, through_lines(10, 3)]
    while ends[-1] < len(body):
        ends.append(through_lines(ends[-1], 7))
    ctx.wait_until(lambda: len(stamps.read_text().splitlines()) >= len(ends), 5, "stamps missing")
    rows = [tuple(map(int, line.split())) for line in stamps.read_text().splitlines()]
    ctx.check([(n, size) for _, n, size in rows] == [(b - a, b) for a, b in zip([0] + ends, ends)],
              f"stamps {rows}, expected appends ending at {ends}")
    ticks = [t for t, _, _ in rows]
    ctx.check(ticks == sorted(ticks), f"stamp times go back: {ticks}")
    # The k-th step of "every" comes no earlier than k periods after the first.
    ctx.check(all(ticks[2 + k] - ticks[2] >= 50 * k - 10 for k in range(len(ticks) - 2)),
              f"appends closer than 50 ms: {ticks[2:]}")
    # The picture: eight stripes of 40 pixels.
    bmp = ctx.folder / "game.bmp"
    d = ctx.fields(ctx.probe_ok("shot", h, ctx.winpath(bmp)))
    cx, cy, cw, ch = map(int, d["client"].split())
    ctx.check((cw, ch) == (320, 240), f"client area {cw}x{ch}, expected 320x240")
    w, hh, rows = read_bmp(bmp)
    colours = [rows[cy + 120][cx + 40 * i + 20] for i in range(8)]
    want = [(255, 0, 0), (0, 255, 0), (0, 0, 255), (255, 255, 0), (0, 255, 255), (255, 0, 255),
            (255, 255, 255), (0, 0, 0)]
    ctx.check(colours == want, f"stripes read back as {colours}")
    # Message boxes with each icon kind, owned by the game window.
    for k in kinds:
        ctx.expect_msgbox("テスト表示\r\n" + k, "fakegame", k, owner=h)
        ctx.answer(1)
    ctx.probe_ok("waitgone", h, 5000)
    ctx.check(ctx.wait_exit(game, 10, "fakegame.exe") == 0, "fakegame.exe did not end with 0")
    # Clipboard bitmaps outlive the probe that put them there.
    ctx.probe_ok("clipbmp", 64, 48, "stripes")
    d = ctx.fields(ctx.probe_ok("clipinfo"))
    ctx.check("2" in d.get("formats", "").split(), f"no CF_BITMAP on the clipboard: {d.get('formats')}")
    ctx.check(d.get("dib", "").startswith("64x48"), f"clipboard DIB is {d.get('dib')}")


def test_probe_watch_cputime(ctx):
    """watch reports every change of a control once and in order, its first
    line being the text at the start; cputime gives the real CPU time of
    another process (the kernel's figure for the same process)."""
    proc = ctx.start_kesto()
    h = ctx.find_main()
    pid = ctx.pid(h)
    c0, t0 = ctx.cputime(pid)
    steady = ctx.text(h, 1043)
    got = {}

    def watch():
        try:
            got["events"] = ctx.watch([(h, 1004), (h, 1043)], 5000)
        except Exception as e:  # reported below
            got["error"] = e

    th = threading.Thread(target=watch)
    th.start()
    texts = []
    while th.is_alive():
        texts.append(f"監視 {len(texts) + 1}".encode("cp932"))
        ctx.probe_ok("settext", h, 1004, texts[-1].decode("cp932"))
    th.join()
    ctx.check("error" not in got, f"watch failed: {got.get('error')}")
    events = got["events"]
    ctx.check([text for _, cid, text in events if cid == 1043] == [steady],
              f"the unchanged control was reported as {[e for e in events if e[1] == 1043]}")
    seen = [text for _, cid, text in events if cid == 1004]
    ctx.check(len(seen) >= 3, f"watch saw {len(seen)} texts of a control set {len(texts)} times")
    later = seen[1:]
    ctx.check(all(a != b for a, b in zip(seen, later)), f"a text was reported twice in a row: {seen}")
    order = iter(texts)
    ctx.check(all(t in order for t in later), f"texts reported {seen}, set in the order {texts}")
    ticks = [t for t, _, _ in events]
    ctx.check(ticks == sorted(ticks), f"watch times go back: {ticks}")

    # Thousands of WM_GETTEXT answered cost kesto.exe CPU time; Wine runs it
    # as the Linux process that `wine` became, so the kernel's count must agree.
    c1, t1 = ctx.cputime(pid)
    stat = Path(f"/proc/{proc.pid}/stat").read_text().rsplit(")", 1)[1].split()
    linux = (int(stat[11]) + int(stat[12])) * 1000 // os.sysconf("SC_CLK_TCK")
    ctx.check(c1 > c0 and t1 > t0, f"CPU time {c0} ms, then {c1} ms after the watch")
    ctx.check(abs(c1 - linux) <= 100, f"cputime says {c1} ms, the kernel {linux} ms")



# ---------------------------------------------------------------------------
# The main window.

def test_main_window(ctx):
    ctx.start_kesto()
    h = ctx.find_main()
    ctx.check(ctx.title(h) == TITLE.encode("cp932"), "title differs")
    ctls = ctx.controls(h)
    ctx.check(len(ctls) == len(MAIN_CONTROLS), f"{len(ctls)} controls, expected {len(MAIN_CONTROLS)}")
    byid = {c["id"]: c for c in ctls if c["class"].lower() != "static"}
    statics = [c for c in ctls if c["class"].lower() == "static"]
    want_statics = [e for e in MAIN_CONTROLS if e[0] is None]
    ctx.check(len(statics) == len(want_statics), f"{len(statics)} static texts, expected {len(want_statics)}")
    pairs = []
    si = 0
    for cid, kind, text, box in MAIN_CONTROLS:
        if cid is None:
            c = statics[si]
            si += 1
            name = f"static \"{text}\""
            ctx.check(c["id"] in (-1, 0xFFFF), f"{name} has id {c['id']}, expected -1")
        else:
            c = byid.get(cid)
            name = f"control {cid}"
            ctx.check(c is not None, f"no {name}")
        st = c["style"]
        cls = c["class"].lower()
        ctx.check(c["visible"], f"{name} is hidden")
        if kind == "button":
            ctx.check(cls == "button" and st & 0xF in (0, 1), f"{name} is not a push button")
        elif kind == "check":
            ctx.check(cls == "button" and st & 0xF == 3, f"{name} is not an auto check box")
        elif kind in ("static", "cstatic"):
            ctx.check(st & 0x1F == (1 if kind == "cstatic" else 0),
                      f"{name} has alignment {st & 0x1F}")
        elif kind in ("edit", "roedit"):
            ctx.check(cls == "edit", f"{name} is a {c['class']}, not an edit")
            ctx.check(bool(st & 0x800) == (kind == "roedit"),
                      f"{name} is {'not ' if kind == 'roedit' else ''}read-only")
            ctx.check(st & 0x80, f"{name} lacks ES_AUTOHSCROLL")
            ctx.check(st & 0x00800000 or c["exstyle"] & 0x200, f"{name} has no border")
        elif kind == "progress":
            ctx.check(cls == "msctls_progress32" and st & 1, f"{name} is not a smooth progress bar")
        if text is None:
            ctx.check(re.fullmatch(rb"[0-9]+", c["text"]) is not None,
                      f"{name} holds \"{show(c['text'])}\", expected a number")
        else:
            ctx.check(c["text"] == text.encode("cp932"),
                      f"{name} reads \"{show(c['text'])}\", expected \"{text}\"")
        pairs.append((name, box, c["rect"]))
    # Positions: one pair of dialog base units must explain every box (the
    # dialog manager places each control at MulDiv(du, base, 4 or 8)).
    def fits(b, r, bx, by):
        return all(abs(muldiv(d, base, div) - px) <= 1
                   for d, px, base, div in zip(b, r, (bx, by, bx, by), (4, 8, 4, 8)))

    best = max(((sum(fits(b, r, bx, by) for _, b, r in pairs), bx, by)
                for bx in range(2, 41) for by in range(4, 81)))
    _, bx, by = best
    off = [f"{n} at {r} px" for n, b, r in pairs if not fits(b, r, bx, by)]
    ctx.check(not off, f"control boxes do not fit dialog units (base {bx}x{by}): {'; '.join(off[:4])}")


def test_second_start(ctx):
    """A second copy brings the first one's window to the front and ends with 0."""
    first = ctx.start_kesto()
    h = ctx.find_main()
    # Put another window in front first, so that the hand-over is seen.
    ctx.start_fakegame("other window")
    g = ctx.find("FAKEGAME", "other window")
    ctx.probe_ok("waitfg", g, 5000)
    second = ctx.start_kesto()
    ctx.check(ctx.wait_exit(second, 20, "second kesto.exe") == 0, "the second copy did not end with 0")
    rc, _, err = ctx.probe("waitfg", h, 5000)
    ctx.check(rc == 0, f"the first copy's window is not in front: {err}")
    wins = ctx.probe_ok("findall", "KESTO", "*")
    ctx.check(len(wins) == 1, f"{len(wins)} KESTO windows")
    ctx.check(first.poll() is None, "the first copy ended")


def _exit_via(ctx, action):
    proc = ctx.start_kesto()
    h = ctx.find_main()
    action(h)
    code = ctx.wait_exit(proc, 20)
    ctx.check(code == 0, f"exit code {code}")
    ctx.probe_ok("waitgone", h, 2000)


def test_exit_button(ctx):
    _exit_via(ctx, lambda h: ctx.probe_ok("click", h, 1))


def test_exit_enter(ctx):
    _exit_via(ctx, lambda h: ctx.probe_ok("key", h, "enter"))


def test_exit_esc(ctx):
    _exit_via(ctx, lambda h: ctx.probe_ok("key", h, "esc"))


def test_exit_close(ctx):
    _exit_via(ctx, lambda h: ctx.probe_ok("close", h))


def test_exit_sysclose(ctx):
    _exit_via(ctx, lambda h: ctx.probe_ok("close", h, "sc"))


def test_start_without_settings(ctx):
    ctx.start_kesto()
    h = ctx.find_main()
    ctx.probe_ok("click", h, 1003)
    ctx.expect_msgbox(MSG_NOT_SET, CAP_NOT_SET, "error", owner=h)
    ctx.wait_text(h, 1018, b"0", 1000)
    ctx.answer(1)
    ctx.probe_ok("click", h, 1006)
    ctx.no_msgbox(1500)
    ctx.check(ctx.text(h, 1005) == b"", "停止 wrote a status line")
    ctx.check(ctx.text(h, 1018) == b"0", "the status code changed after 停止")


def test_screenshot(ctx):
    ctx.start_kesto()
    h = ctx.find_main()
    # Wait for the controls to be drawn: the shot must show dark text and
    # edges, not only the background.
    bmp = ctx.folder / "main.bmp"

    def drawn():
        ctx.probe_ok("shot", h, ctx.winpath(bmp))
        w, hh, rows = read_bmp(bmp)
        dark = sum(1 for row in rows for px in row if sum(px) < 192)
        return len({px for row in rows for px in row}) >= 4 and dark >= 500

    ctx.wait_until(drawn, 10, "the main window shows no drawing")
    time.sleep(0.3)
    ctx.probe_ok("shot", h, ctx.winpath(bmp))
    png = ctx.shots / f"main-{ctx.locale.split('.')[0]}.png"
    save_png(bmp, png)
    ctx.check(png.stat().st_size > 0, "no PNG written")


def test_settings_defaults(ctx):
    """Only the five lines HOME to IEXPLORE: the capture keys get their defaults."""
    write(ctx.folder / "loginit.txt", LOGINIT_FIVE)
    ctx.start_kesto()
    h = ctx.find_main()
    ctx.probe_ok("click", h, 1003)
    ctx.expect_msgbox(MSG_DEFAULTS, CAP_DEFAULTS, "information", owner=h)
    ctx.wait_text(h, 1018, b"2FFD", 1000)
    ctx.answer(1)
    ctx.expect_msgbox(MSG_NOT_SET, CAP_NOT_SET, "error", owner=h)
    ctx.answer(1)
    ctx.no_msgbox(500)
    # The notice comes again at every press.
    ctx.probe_ok("click", h, 1003)
    ctx.expect_msgbox(MSG_DEFAULTS, CAP_DEFAULTS, "information", owner=h)
    ctx.answer(1)
    ctx.expect_msgbox(MSG_NOT_SET, CAP_NOT_SET, "error", owner=h)
    ctx.answer(1)
    # Watching does not start: the status line stays empty (followed for at
    # least two timer ticks, not read once right after the box).
    ctx.stays_text(h, 1005, b"")


def test_settings_complete(ctx):
    write(ctx.folder / "loginit.txt", loginit_full(ctx.winpath(ctx.folder)))
    proc = ctx.start_kesto()
    h = ctx.find_main()
    ctx.probe_ok("click", h, 1003)
    ctx.wait_text(h, 1005, STATUS_STARTED.encode("cp932"), 5000)
    ctx.no_msgbox(1500)
    ctx.probe_ok("click", h, 1)
    ctx.check(ctx.wait_exit(proc, 20) == 0, "exit code not 0")


def test_course_file(ctx):
    """First run writes the built-in table; READ_COURSE=1 reads it back unchanged."""
    course = ctx.folder / "golfcourse.txt"
    proc = ctx.start_kesto()
    h = ctx.find_main()
    ctx.check(not course.exists(), "golfcourse.txt written at start")
    ctx.probe_ok("click", h, 1)
    ctx.check(ctx.wait_exit(proc, 20) == 0, "exit code not 0")
    ctx.check(course.exists(), "no golfcourse.txt after 終了")
    first = course.read_bytes()
    ctx.check(first.startswith(COURSE_HEADER), f"golfcourse.txt begins with {first[:24]!r}")
    ctx.check(first.count(b"COURSENO:") == 103, f"{first.count(b'COURSENO:')} COURSENO: blocks")
    ctx.check(first[len(COURSE_HEADER):].startswith(COURSE_ROW0),
              f"first block differs: \"{show(first[len(COURSE_HEADER):len(COURSE_HEADER) + 160])}\"")
    ctx.check(first.endswith(b"\r\n\r\n"), "the last block does not end with an empty line")

    # Second run reads it (READ_COURSE=1) and writes the same bytes.
    write(ctx.folder / "loginit.txt", loginit_full(ctx.winpath(ctx.folder), read_course=1, save_course=1))
    proc = ctx.start_kesto()
    h = ctx.find_main()
    ctx.probe_ok("click", h, 1)
    ctx.check(ctx.wait_exit(proc, 20) == 0, "exit code not 0 (second run)")
    second = course.read_bytes()
    ctx.check(second == first, "the second run wrote different bytes")

    # A third run reads an edited name and keyword and writes them back.
    edited = first.replace("NAME: \"ロペ倶楽部\"".encode("cp932"), "NAME: \"ロペ倶楽部　改\"".encode("cp932"), 1)
    edited = edited.replace("KEYWORD: \"ロペ\"".encode("cp932"), "KEYWORD: \"ロペ,改\"".encode("cp932"), 1)
    ctx.check(edited.count("ロペ倶楽部　改".encode("cp932")) == 1, "row 1 is not ロペ倶楽部 in the written file")
    course.write_bytes(edited)
    proc = ctx.start_kesto()
    h = ctx.find_main()
    ctx.probe_ok("click", h, 1)
    ctx.check(ctx.wait_exit(proc, 20) == 0, "exit code not 0 (third run)")
    ctx.check(course.read_bytes() == edited, "an edited name or keyword was not read back")


MSG_BAD_FOLDER = ("KESTO を起動したフォルダのパスが長すぎるか、使えない文字を含んでいます。\r\n"
                  "短い名前のフォルダから起動してください。")


def test_unusable_folder(ctx):
    """A program folder whose name has no Shift-JIS form is refused with a
    message, never used with a mangled path; the program ends with 0."""
    folder = ctx.folder / "Café-ゴルフ"
    folder.mkdir()
    write(folder / "loginit.txt", loginit_full("C:\\x"))
    proc = ctx.start_kesto(cwd=folder)
    b = ctx.expect_msgbox(MSG_BAD_FOLDER, "Open error", "error", timeout_ms=15000)
    ctx.check(b["owner"] in ("0", "0x0", "00000000", ""), f"the message has an owner {b['owner']}")
    ctx.answer(1)
    ctx.check(ctx.wait_exit(proc, 20) == 0, "exit code not 0")
    ctx.check(sorted(p.name for p in folder.iterdir()) == ["loginit.txt"], "files were written")
    ctx.check(not (ctx.folder / "golfcourse.txt").exists(), "golfcourse.txt written elsewhere")
