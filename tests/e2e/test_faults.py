"""End-to-end tests of kesto.exe on a full disk: the program folder is a small
tmpfs (mounted here, which needs root) filled to its last byte. Saving the
settings leaves loginit.txt either as it was or whole and new, with the
message that matches; a PrintScreen image that cannot be saved is named in a
message and stays on the clipboard, which KESTO does not hold meanwhile; with
room again the next PrintScreen is saved.
"""

import os
import subprocess

from PIL import Image

from harness import loginit_full, show, write

STARTED = "起動監視をスタートしました"
SAVED = "環境データを ファイル名 loginit.txt で保存しました"
NOT_SAVED = "環境データ保存に失敗しました"
UNCHANGED = "loginit.txt は変更していません。"
SHOT_FAILED = "スクリーンショットを保存できませんでした"
SHOT_KEPT = "画像はクリップボードに残しています。"
CF_BITMAP = "2"


def enc(s):
    return s.encode("cp932")


def mount_tmpfs(ctx, where, size):
    where.mkdir()
    try:
        r = subprocess.run(["mount", "-t", "tmpfs", "-o", f"size={size}", "tmpfs", str(where)],
                           capture_output=True, text=True, timeout=30)
    except (OSError, subprocess.TimeoutExpired) as e:
        ctx.skip(f"a full disk needs a tmpfs mounted by root, and mount could not run: {e}")
    if r.returncode != 0:
        ctx.skip(f"a full disk needs a tmpfs mounted by root; mount refused: {r.stderr.strip() or r.returncode}")


def fill(path):
    """Fills the file system of path to its last byte; returns the bytes written."""
    n = 0
    with open(path, "wb", buffering=0) as f:
        for chunk in (65536, 4096, 1):
            while True:
                try:
                    f.write(b"\0" * chunk)
                except OSError:
                    break
                n += chunk
    return n


def clip_formats(ctx):
    """The formats on the clipboard; the probe fails when it cannot open the
    clipboard within 3 s (another program holds it)."""
    return ctx.fields(ctx.probe_ok("clipinfo")).get("formats", "").split()


def screenshots(folder):
    return sorted(p for p in folder.rglob("KestoSS_*.bmp"))


def test_faults_full_disk_loses_nothing(ctx):
    prog = ctx.folder / "prog"
    mount_tmpfs(ctx, prog, "1m")
    try:
        gamedir = ctx.folder / "GOLFDUKE"
        gamedir.mkdir()
        (gamedir / "golf.txt").write_bytes(b"** Stroke Begin **\r\n")
        old = loginit_full(ctx.winpath(prog), save_course=0, dgpath=ctx.winpath(gamedir / "golf.txt"))
        write(prog / "loginit.txt", old)
        proc = ctx.start_kesto(cwd=prog)
        h = ctx.find_main()
        ctx.probe_ok("click", h, 1003)
        ctx.wait_text(h, 1005, enc(STARTED), 5000)
        ctx.probe_ok("click", h, 1020)
        ctx.wait_until(lambda: ctx.probe_ok("check", h, 1020)[0].strip() == "1", 3, "SS did not become checked")
        filler = prog / "filler"
        ctx.check(fill(filler) > 0, "the tmpfs took no bytes")

        # 設定保存 on the full disk: the old file as it was and a message that
        # says so, or (had it fitted) a whole new file and the usual message.
        ctx.probe_ok("click", h, 1001)
        d = ctx.find("#32770", "設定", 5000)
        ctx.probe_ok("click", d, 1001)
        box = ctx.msgbox(8000)
        now = (prog / "loginit.txt").read_bytes()
        if box["caption"] == b"Write OK":
            ctx.check(box["text"] == enc(SAVED), f"\"Write OK\" with \"{show(box['text'])}\"")
            lines = now.split(b"\r\n")
            ctx.check(len(lines) == 15 and lines[13].startswith(b"SELECTCAPKEY=") and lines[14] == b"",
                      f"loginit.txt is not whole after \"Write OK\": {now!r}")
        else:
            ctx.check(box["caption"] == b"Write Error", f"message \"{show(box['caption'])}\" after 設定保存")
            ctx.check(box["text"].startswith(enc(NOT_SAVED)) and box["text"].endswith(enc(UNCHANGED))
                      and enc("loginit.txt") in box["text"], f"message \"{show(box['text'])}\"")
            ctx.check(now == enc(old), f"loginit.txt changed although not saved: {now!r}")
        ctx.check(not (prog / "loginit.txt.tmp").exists(), "loginit.txt.tmp was left behind")
        ctx.answer(1)
        ctx.probe_ok("click", d, 1006)

        # A PrintScreen that cannot be saved: a message naming the file, and
        # the picture still on the clipboard, which KESTO does not hold
        # while its message is up.
        ctx.probe_ok("clipbmp", 64, 64, "stripes")
        box = ctx.msgbox(8000)
        ctx.check(box["caption"] == b"Write Error", f"message \"{show(box['caption'])}\" for the screenshot")
        ctx.check(box["text"].startswith(enc(SHOT_FAILED)) and box["text"].endswith(enc(SHOT_KEPT))
                  and b"KestoSS_" in box["text"], f"message \"{show(box['text'])}\"")
        ctx.check(CF_BITMAP in clip_formats(ctx), "the picture left the clipboard while the message was up")
        ctx.check(screenshots(prog) == [], f"a partial screenshot was left: {screenshots(prog)}")
        ctx.answer(1)
        # Later checks neither save it nor take it off the clipboard.
        ctx.no_msgbox(1500)
        ctx.check(CF_BITMAP in clip_formats(ctx), "the unsaved picture was taken off the clipboard")

        # With room again, the next PrintScreen is saved whole and leaves the clipboard.
        os.remove(filler)
        ctx.probe_ok("clipbmp", 64, 64, "grad")
        want = 54 + 64 * 3 * 64
        shot = ctx.wait_until(lambda: [p for p in screenshots(prog) if p.stat().st_size == want], 8,
                              f"no whole screenshot of {want} bytes appeared: {screenshots(prog)}")
        img = Image.open(shot[0])
        ctx.check(img.format == "BMP" and img.size == (64, 64), f"{shot[0].name}: {img.format} {img.size}")
        ctx.wait_until(lambda: CF_BITMAP not in clip_formats(ctx), 5, "the saved picture stayed on the clipboard")
        ctx.no_msgbox(500)

        ctx.probe_ok("click", h, 1)
        ctx.check(ctx.wait_exit(proc, 20) == 0, "exit code not 0")
    finally:
        ctx.wine.reset()
        subprocess.run(["umount", "-l", str(prog)], capture_output=True, timeout=30)
