"""End-to-end tests of kesto.exe and the user's own files: a file that
another program holds at start with a share mode that denies reading
(probe.exe hold) is told, and is never replaced by the built-in values at
exit, although it is free again by then.
"""

from harness import loginit_full, show, write

COURSES = (b"# KESTO COURSE PAR\r\nCOURSENO: 1,112\r\nNAME: \"My own course\"\r\n"
           b"PAR: 4,4,5,4,3,4,4,3,5,4,3,4,4,4,5,3,4,5\r\nKEYWORD: \"\x8eD\x96y\"\r\n\r\n")
COURSE_UNREAD = "コースデータ golfcourse.txt を読めませんでした"
COURSE_KEPT = "組み込みのコース表を使います。終了時に golfcourse.txt は保存しません。"
INI_UNREAD = "設定ファイル loginit.txt を読めませんでした"
INI_KEPT = "終了時に golfcourse.txt も保存しません。"
IN_USE = "ほかのプログラムが使用中です"


def enc(s):
    return s.encode("cp932")


def hold(ctx, path, share="w"):
    """Another program holds path open with the share mode given ("w": only
    writing shared, so no one else may read it) until release() is called."""
    marker = path.with_name(path.name + ".held")
    release = path.with_name(path.name + ".release")
    p = ctx.wine.start(ctx.probe_exe, ["hold", ctx.winpath(path), share, ctx.winpath(marker), ctx.winpath(release),
                                       120000], cwd=ctx.folder)
    ctx.wait_until(lambda: marker.exists() or p.poll() is not None, 30, f"probe hold of {path.name} did not start")
    ctx.check(marker.exists(), f"probe hold could not open {path.name} (exit code {p.poll()})")

    def let_go():
        release.touch()
        ctx.check(ctx.wait_exit(p, 20, "probe hold") == 0, f"probe hold of {path.name} failed")
        marker.unlink()
        release.unlink()
    return let_go


def expect_told(ctx, h, head, tail):
    box = ctx.msgbox(10000)
    ctx.check(box["caption"] == b"Open error", f"caption \"{show(box['caption'])}\"")
    t = box["text"]
    ctx.check(t.startswith(enc(head)) and t.endswith(enc(tail)) and enc(IN_USE) in t,
              f"message \"{show(t)}\"")
    ctx.check(box["owner"] == h, f"message owned by {box['owner']}, not the main window {h}")
    ctx.answer(1)


def test_userfiles_held_at_start_are_never_replaced(ctx):
    courses = ctx.folder / "golfcourse.txt"
    ini = ctx.folder / "loginit.txt"
    courses.write_bytes(COURSES)
    write(ini, loginit_full(ctx.winpath(ctx.folder), read_course=1, save_course=1))
    ini_bytes = ini.read_bytes()

    # golfcourse.txt held at start, released before 終了: byte for byte as it was.
    let_go = hold(ctx, courses)
    proc = ctx.start_kesto()
    h = ctx.find_main()
    expect_told(ctx, h, COURSE_UNREAD, COURSE_KEPT)
    let_go()
    ctx.no_msgbox(300)
    ctx.probe_ok("click", h, 1)
    ctx.check(ctx.wait_exit(proc, 20) == 0, "exit code not 0")
    ctx.check(courses.read_bytes() == COURSES, f"golfcourse.txt was replaced: {courses.read_bytes()[:80]!r}")
    ctx.check(not (ctx.folder / "golfcourse.txt.tmp").exists(), "golfcourse.txt.tmp was left behind")

    # loginit.txt held at start: its defaults (SAVE_COURSE 1) write neither file.
    let_go = hold(ctx, ini)
    proc = ctx.start_kesto()
    h = ctx.find_main()
    expect_told(ctx, h, INI_UNREAD, INI_KEPT)
    let_go()
    ctx.probe_ok("click", h, 1)
    ctx.check(ctx.wait_exit(proc, 20) == 0, "exit code not 0")
    ctx.check(ini.read_bytes() == ini_bytes, f"loginit.txt changed: {ini.read_bytes()[:80]!r}")
    ctx.check(courses.read_bytes() == COURSES, f"golfcourse.txt was replaced: {courses.read_bytes()[:80]!r}")

    # Readable, it is the table's and is written back at exit, as before.
    proc = ctx.start_kesto()
    h = ctx.find_main()
    ctx.no_msgbox(300)
    ctx.probe_ok("click", h, 1)
    ctx.check(ctx.wait_exit(proc, 20) == 0, "exit code not 0")
    now = courses.read_bytes()
    ctx.check(now.startswith(b"# KESTO COURSE PAR\r\nCOURSENO: 1,112\r\nNAME: \"My own course\"\r\n")
              and b"COURSENO: 103," in now, f"golfcourse.txt not written from the table read: {now[:120]!r}")
