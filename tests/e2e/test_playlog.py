"""End-to-end tests of the play-log dialog under Wine: ログ表示 and the system
open-file dialog, the dialog "PLAYLOG" and its path, "HTM作成" against the
page the native kestocard writes for the same log and answers, the question
about a short game, "リンク集作成", the size limit, the refusal of the golf.txt
the watcher follows, closing, and "ＩＥで表示" with a stand-in browser at the
browser's path, with the system's program for pages, and with neither.

Also kestocard.exe under Wine against the native kestocard.
"""

import os
import shutil
import subprocess
import time
from pathlib import Path

import pytest

from harness import loginit_full, show, write
import test_watch

ROOT = Path(__file__).resolve().parents[2]
CAPTION = "PLAYLOG"
PAGE = "log20090405_2107.html"  # the logs below are last written on 5 April 2009 at 21:07
LINKS_DONE = "KESTO フォルダに、linkcc.html を作成しました"
FORBIDDEN = ("ゴルフ漬け動作中で使用中の、golf.txt ログ表示はできません。\r\n"
             "ゴルフ漬けを終了してから、操作してください")
# The dialog's controls in tab order: id, kind, text.
CONTROLS = [
    (2, "button", "終了"),
    (1013, "button", "ＩＥで表示"),
    (1001, "button", "HTM作成"),
    (1002, "edit", ""),
    (1003, "button", "リンク集作成"),
    (1006, "button", "データ"),
]
BROWSER = Path("drive_c") / "Program Files" / "Internet Explorer" / "iexplore.exe"
STARTF_USEPOSITION_SIZE = 0x4 | 0x2


def enc(s):
    return s.encode("cp932")


def game(first, last, course="ロペ倶楽部"):
    s = ("Player1:太郎\r\nPlayer2:Hanako\r\n** Stroke Begin **\r\n2009/04/05 20:00:00\r\n"
         f"*Club Setting*\r\nName: {course}\r\nTee:  1\r\n")
    for h in range(first, last + 1):
        s += f"*Hole {h:2d}\r\n*Player1 0{3 + h % 3}\r\n*Player2 04\r\n"
    return enc(s + "** Stroke End **\r\n")


def put_log(path, data):
    """A log last written on 5 April 2009 at 21:07 local time."""
    path.parent.mkdir(parents=True, exist_ok=True)
    path.write_bytes(data)
    t = time.mktime((2009, 4, 5, 21, 7, 30, 0, 0, -1))
    os.utime(path, (t, t))
    return path


@pytest.fixture(scope="session")
def native():
    """The native build folder with kestocard and kestologgen, built (or
    brought up to date) here; KESTO_NATIVE_BUILD names another one."""
    d = Path(os.environ.get("KESTO_NATIVE_BUILD", ROOT / "build" / "native"))
    try:
        if not (d / "CMakeCache.txt").is_file():
            subprocess.run(["cmake", "-S", str(ROOT), "-B", str(d)], check=True, capture_output=True, timeout=600)
        subprocess.run(["cmake", "--build", str(d), "-j2", "--target", "kestocard", "kestologgen"],
                       check=True, capture_output=True, timeout=900)
    except (subprocess.CalledProcessError, subprocess.TimeoutExpired) as e:
        out = getattr(e, "stderr", b"") or b""
        pytest.fail(f"could not build the native kestocard in {d}: {out.decode(errors='replace')[-800:]}",
                    pytrace=False)
    return d


def native_page(native, log, short, outdir, links=False):
    """The page the native kestocard writes for log (answering short games
    with short), read from outdir."""
    outdir.mkdir(parents=True, exist_ok=True)
    args = [str(native / "kestocard"), "--short", short] + (["--links"] if links else []) + [str(log)]
    r = subprocess.run(args, cwd=outdir, capture_output=True, timeout=60)
    assert r.returncode == 0, f"native kestocard: {r.returncode} {r.stderr.decode(errors='replace')}"
    return (outdir / PAGE).read_bytes()


def start(ctx, iexplore=0):
    text = loginit_full(ctx.winpath(ctx.folder))
    if iexplore:
        text = text.replace("IEXPLORE=0", "IEXPLORE=1")
    write(ctx.folder / "loginit.txt", text)
    proc = ctx.start_kesto()
    return proc, ctx.find_main()


def open_playlog(ctx, h, path):
    """ログ表示, choosing path in the system dialog; returns the dialog."""
    ctx.probe_ok("click", h, 1013)
    f = ctx.fields(ctx.probe_ok("openfile", ctx.winpath(path), 10000, timeout_s=40))
    ctx.check(f.get("owner") == h, f"the open-file dialog is owned by {f.get('owner')}, expected {h}")
    ctx.check(f.get("types") == "3" and bytes.fromhex(f.get("type0cp932", "")) == enc("テキスト(*.txt)"),
              f"file types {f.get('types')} \"{f.get('type0utf8')}\", expected three, text first")
    return ctx.find("#32770", CAPTION, 5000)


def no_playlog(ctx, ms=1000):
    """No PLAYLOG dialog at any reading within ms (a failing probe fails)."""
    ctx.no_window("#32770", CAPTION, ms)


def finished(path):
    """The file's bytes once it ends its page, else None."""
    try:
        b = path.read_bytes()
    except OSError:
        return None
    return b if b.endswith(b"</html>\r\n") else None


def test_playlog_dialog_htm_question_links_and_closing(ctx, native):
    log = put_log(ctx.folder / "saved" / "golf_0405.txt", game(1, 18) + game(1, 18, "Panas Island Golf Club")
                  + game(1, 9))
    proc, h = start(ctx)
    d = open_playlog(ctx, h, log)
    ctls = ctx.controls(d)
    ctx.check([c["id"] for c in ctls] == [cid for cid, _, _ in CONTROLS],
              f"controls {[c['id'] for c in ctls]}, expected {[cid for cid, _, _ in CONTROLS]} in this order")
    for c, (cid, kind, text) in zip(ctls, CONTROLS):
        ctx.check(c["visible"] and (kind == "edit" or c["text"] == enc(text)),
                  f"control {cid} reads \"{show(c['text'])}\", expected \"{text}\"")
        want = "edit" if kind == "edit" else "button"
        ctx.check(c["class"].lower() == want, f"control {cid} is a {c['class']}, not a {want}")
        if kind == "edit":
            ctx.check(c["style"] & 0x800, f"edit {cid} is not read-only")
    ctx.wait_text(d, 1002, enc(ctx.winpath(log)), 5000)
    ctx.check(not (ctx.folder / PAGE).exists(), "a page was written with IEXPLORE=0 before HTM作成")

    # HTM作成: the question about the 9-hole game, answered No.
    ctx.probe_ok("click", d, 1001)
    b = ctx.expect_msgbox("9 hole, 18 ホール以下が 1 回。表示しますか？", "HOLES", "information", owner=d)
    ctx.check(b["buttons"] == [6, 7], f"the question has buttons {b['buttons']}, expected Yes and No")
    ctx.answer(7)
    page = ctx.wait_until(lambda: finished(ctx.folder / PAGE), 10, f"{PAGE} was not written")
    ctx.no_msgbox(500)
    want = native_page(native, log, "no", ctx.folder / "native", links=True)
    ctx.check(page.count(b"<table") == 2, f"{page.count(b'<table')} tables, expected 2 without the short game")
    ctx.check(page == want, f"the page ({len(page)} bytes) differs from the native kestocard's ({len(want)} bytes)")

    # リンク集作成.
    ctx.probe_ok("click", d, 1003)
    ctx.expect_msgbox(LINKS_DONE, "リンク集", "information", owner=d)
    ctx.answer(1)
    links = (ctx.folder / "linkcc.html").read_bytes()
    ctx.check(links.endswith(b"</html>\r\n"), "linkcc.html is not complete")
    # The first link shares its line with "<body>"; the credit line links too.
    n = sum(1 for line in links.split(b"\r\n") if b"<a href=" in line and b"Created by" not in line)
    ctx.check(n == 103, f"linkcc.html has {n} link lines, expected 103")
    ctx.check(links == (ctx.folder / "native" / "linkcc.html").read_bytes(), "linkcc.html differs from the native one")

    # A second ログ表示 closes the dialog without a file dialog; Esc and the
    # close box close it too.
    ctx.probe_ok("click", h, 1013)
    ctx.probe_ok("waitgone", d, 5000)
    ctx.no_window("#32770", "File Name", 1000)
    d = open_playlog(ctx, h, log)
    ctx.probe_ok("key", d, "esc")
    ctx.probe_ok("waitgone", d, 5000)
    d = open_playlog(ctx, h, log)
    ctx.probe_ok("close", d)
    ctx.probe_ok("waitgone", d, 5000)
    ctx.no_msgbox(300)
    ctx.probe_ok("click", h, 1)
    ctx.check(ctx.wait_exit(proc, 20) == 0, "exit code not 0")


def test_playlog_size_limit(ctx):
    big = put_log(ctx.folder / "big.txt", b"x" * 0x400000)
    fits = put_log(ctx.folder / "fits.txt", b"x" * 0x3FFFFF)
    _, h = start(ctx)
    ctx.probe_ok("click", h, 1013)
    ctx.probe_ok("openfile", ctx.winpath(big), 10000, timeout_s=40)
    ctx.expect_msgbox("logfile = 0x400000, >= 0x400000 !", "Open error", "error")
    ctx.answer(1)
    no_playlog(ctx)
    d = open_playlog(ctx, h, fits)
    ctx.wait_text(d, 1002, enc(ctx.winpath(fits)), 5000)
    ctx.no_msgbox(300)


def test_playlog_refuses_golf_txt_in_play(ctx):
    # The game's golf.txt on a path short enough for one line of loginit.txt.
    golf = ctx.folder / "GOLFDUKE" / "game" / "golf.txt"
    golf.parent.mkdir(parents=True)
    golf.write_bytes(test_watch.EARLIER)
    dgpath = ctx.winpath(golf)
    ctx.check(48 <= len(enc(dgpath)) and len(enc("DGPATH=" + dgpath)) <= 128, f"{dgpath} does not fit")
    write(ctx.folder / "loginit.txt", loginit_full(ctx.winpath(ctx.folder), dgpath=dgpath))
    h = test_watch.start_watching(ctx)
    ctx.start_fakegame(test_watch.GAME)
    test_watch.wait_following(ctx, h)
    ctx.probe_ok("click", h, 1013)
    ctx.probe_ok("openfile", ctx.winpath(golf), 10000, timeout_s=40)
    ctx.expect_msgbox(FORBIDDEN, "禁止", "error")
    ctx.answer(1)
    no_playlog(ctx)
    # The watcher goes on following.
    ctx.wait_text(h, 1005, enc(test_watch.FOLLOWING), 3000)


def browser_file(ctx):
    return ctx.wine.prefix / BROWSER


def record(path):
    """What the stand-in browser wrote, once it is there."""
    if not path.is_file():
        return None
    f = {}
    for line in path.read_text("utf-8").splitlines():
        k, _, v = line.partition(" ")
        f[k] = v
    f["cmdline"] = bytes.fromhex(f.get("cmdline", "")).decode("utf-8")
    return f


class BrowserSwap:
    """Puts an exe (or nothing) at the browser's path in the prefix, and the
    prefix's own file back afterwards."""

    def __init__(self, ctx, exe):
        self.path = browser_file(ctx)
        self.saved = self.path.with_name("iexplore.exe.kesto-saved")
        self.exe = exe

    def __enter__(self):
        if self.path.exists() and not self.saved.exists():
            self.path.rename(self.saved)
        self.path.parent.mkdir(parents=True, exist_ok=True)
        if self.exe:
            shutil.copyfile(self.exe, self.path)
        return self.path

    def __exit__(self, *exc):
        if self.path.exists():
            self.path.unlink()
        if self.saved.exists():
            self.saved.rename(self.path)


def test_playlog_browser_started_with_page_and_placement(ctx):
    standin = ctx.kesto.parent / "tests" / "e2e" / "standinbrowser.exe"
    ctx.check(standin.is_file(), f"{standin} is missing")
    log = put_log(ctx.folder / "golf_two.txt", game(1, 18) + game(1, 18))
    with BrowserSwap(ctx, standin) as browser:
        rec_file = browser.with_name("standinbrowser.txt")
        if rec_file.exists():
            rec_file.unlink()
        try:
            # IEXPLORE=1: the page is written and shown as soon as the dialog is up.
            _, h = start(ctx, iexplore=1)
            d = open_playlog(ctx, h, log)
            rec = ctx.wait_until(lambda: record(rec_file), 15, "the browser was not started")
            want = " " + ctx.winpath(ctx.folder) + "\\" + PAGE
            ctx.check(rec["cmdline"] == want, f"browser command line {rec['cmdline']!r}, expected {want!r}")
            ctx.check(int(rec["flags"], 16) & STARTF_USEPOSITION_SIZE == STARTF_USEPOSITION_SIZE,
                      f"start-up flags {rec['flags']} without position and size")
            got = tuple(int(rec[k]) for k in ("x", "y", "w", "h"))
            ctx.check(got == (40, 40, 640, 100), f"window placement {got}, expected (40, 40, 640, 100)")
            page = finished(ctx.folder / PAGE)
            ctx.check(page is not None and page.count(b"<table") == 2, "the page is not there with two tables")
            ctx.no_msgbox(500)

            # ＩＥで表示 starts it again.
            rec_file.unlink()
            ctx.probe_ok("click", d, 1013)
            rec = ctx.wait_until(lambda: record(rec_file), 15, "ＩＥで表示 did not start the browser")
            ctx.check(rec["cmdline"] == want, f"browser command line {rec['cmdline']!r}, expected {want!r}")
        finally:
            if rec_file.exists():
                rec_file.unlink()


def reg(ctx, *args):
    r = subprocess.run(["wine", "reg", *args], env=ctx.wine.env, capture_output=True, timeout=60)
    return r.returncode


def test_playlog_page_without_browser(ctx):
    """No browser at its path: the page goes to the system's program for
    pages (a stand-in registered for .html); with none, "error"."""
    standin = ctx.kesto.parent / "tests" / "e2e" / "standinbrowser.exe"
    handler = ctx.folder / "handler" / "standinbrowser.exe"
    handler.parent.mkdir()
    shutil.copyfile(standin, handler)
    rec_file = handler.with_name("standinbrowser.txt")
    log = put_log(ctx.folder / "golf_two.txt", game(1, 18) + game(1, 18))
    had_html = reg(ctx, "query", "HKCR\\.html") == 0
    with BrowserSwap(ctx, None):
        try:
            reg(ctx, "delete", "HKCR\\.html", "/f")
            _, h = start(ctx)
            d = open_playlog(ctx, h, log)
            ctx.probe_ok("click", d, 1001)
            ctx.wait_until(lambda: finished(ctx.folder / PAGE), 10, f"{PAGE} was not written")
            ctx.no_msgbox(300)
            ctx.probe_ok("click", d, 1013)
            ctx.expect_msgbox("error", "error", "error", owner=d)
            ctx.answer(1)

            ok = (reg(ctx, "add", "HKCR\\.html", "/ve", "/d", "kestotest.page", "/f") == 0 and
                  reg(ctx, "add", "HKCR\\kestotest.page\\shell\\open\\command", "/ve", "/d",
                      f"\"{ctx.winpath(handler)}\" \"%1\"", "/f") == 0)
            ctx.check(ok, "could not register the stand-in for .html")
            ctx.probe_ok("click", d, 1013)
            rec = ctx.wait_until(lambda: record(rec_file), 15, "the page was not handed to the stand-in for .html")
            page = ctx.winpath(ctx.folder) + "\\" + PAGE
            ctx.check(page.lower() in rec["cmdline"].lower(),
                      f"the handler's command line {rec['cmdline']!r} does not name {page}")
            ctx.no_msgbox(500)
        finally:
            reg(ctx, "delete", "HKCR\\kestotest.page", "/f")
            if not had_html:
                reg(ctx, "delete", "HKCR\\.html", "/f")
            else:
                reg(ctx, "add", "HKCR\\.html", "/ve", "/d", "htmlfile", "/f")


def test_kestocard_exe_matches_native(ctx, native):
    log = ctx.folder / "generated.txt"
    r = subprocess.run([str(native / "kestologgen"), "20091207", "14", str(log)], capture_output=True, timeout=60)
    ctx.check(r.returncode == 0, f"kestologgen: {r.returncode}")
    put_log(log, log.read_bytes())
    exe = ctx.kesto.parent / "kestocard.exe"
    ctx.check(exe.is_file(), f"{exe} is missing")
    for short in ("yes", "no"):
        out = ctx.folder / f"win-{short}"
        out.mkdir()
        rc, stdout, err = ctx.wine.run(exe, ["--short", short, "--links", ctx.winpath(log)], cwd=out, timeout=60)
        ctx.check(rc == 0, f"kestocard.exe ended with {rc}: {err[-400:]}")
        ctx.check(stdout.split() == [PAGE, "linkcc.html"], f"kestocard.exe printed {stdout!r}, expected its pages")
        want = native_page(native, log, short, ctx.folder / f"native-{short}", links=True)
        got = (out / PAGE).read_bytes()
        ctx.check(got == want, f"--short {short}: kestocard.exe's page ({len(got)} bytes) differs from the "
                               f"native one ({len(want)} bytes)")
        ctx.check((out / "linkcc.html").read_bytes() == (ctx.folder / f"native-{short}" / "linkcc.html").read_bytes(),
                  "linkcc.html differs")


def test_kestocard_exe_refuses_a_name_without_shift_jis_form(ctx):
    """An argument that has no exact Shift-JIS form is refused by name, not
    taken as the nearest name (café.txt must not open cafe.txt)."""
    put_log(ctx.folder / "cafe.txt", game(1, 18))
    exe = ctx.kesto.parent / "kestocard.exe"
    out = ctx.folder / "out"
    out.mkdir()
    for arg in ("café.txt", "caf\u20ac.txt"):
        rc, stdout, err = ctx.wine.run(exe, [ctx.winpath(ctx.folder) + "\\" + arg], cwd=out, timeout=60)
        ctx.check(rc == 2, f"kestocard.exe {arg} ended with {rc}, expected 2: {err[-300:]!r}")
        ctx.check("caf" in err and "Shift-JIS" in err, f"kestocard.exe {arg} said {err[-300:]!r}")
        ctx.check(not any(out.iterdir()), f"kestocard.exe {arg} wrote {[p.name for p in out.iterdir()]}")
    # The same folder with an exact name works.
    rc, stdout, err = ctx.wine.run(exe, [ctx.winpath(ctx.folder) + "\\cafe.txt"], cwd=out, timeout=60)
    ctx.check(rc == 0 and stdout.split() == [PAGE], f"kestocard.exe cafe.txt ended with {rc}: {stdout!r} {err!r}")
