"""End-to-end test under Wine of the burst viewer: kesto.exe, run from a
program folder whose name carries & ' # % and Shift-JIS characters whose
second byte is 0x5C (表 ソ), takes a real burst of 100 frames; when its
write-out ends, index.html is beside the frames.  Headless Chromium opens
that page (tests/browser/check_viewer.py): every frame loads, stepping shows
each frame's time and Tic as the log has them, playing at 1x takes the
log's span within 5 %, a frame deleted afterwards is shown as missing while
playing goes on, and the heading shows the folder's name as it is."""

import shutil
import sys
from pathlib import Path

import test_capture as cap

sys.path.insert(0, str(Path(__file__).resolve().parents[1] / "browser"))
import check_viewer  # noqa: E402

HOSTILE = "K&A'B#1%41 表ソ"


def test_burst_viewer_of_a_real_burst(ctx):
    if not shutil.which("chromium"):
        ctx.skip("no chromium")
    # The stand-in game stays outside (golf.txt's path must fit a line of
    # loginit.txt); KESTO's own folder is the hostile one.
    base = ctx.folder
    cap.prepare(ctx, interval=7, pages=100)
    ctx.folder = base / HOSTILE
    ctx.folder.mkdir()
    ini = (base / "loginit.txt").read_bytes()
    home = ("HOME=" + ctx.winpath(base) + "\r\n").encode("cp932")
    ctx.check(home in ini, "no HOME line")
    (ctx.folder / "loginit.txt").write_bytes(ini.replace(home, ("HOME=" + ctx.winpath(ctx.folder) + "\r\n").encode("cp932")))
    h, g = cap.start(ctx)
    cap.check_box(ctx, h, 1021, 1)
    ctx.probe_ok("clipbmp", 64, 64, "stripes")

    folder = ctx.wait_until(lambda: cap.viewer_of(ctx, 100), 60, "no index.html beside a burst of 100 frames")
    frames = sorted(folder.glob("c[0-9][0-9][0-9][0-9][0-9].bmp"))
    ctx.check(len(frames) == 100, f"{len(frames)} frames")
    (folder / "c00050.bmp").unlink()
    results = []

    def check(ok, what):
        print(("ok    " if ok else "FAIL  ") + what, flush=True)
        results.append((ok, what))

    spans = check_viewer.check_burst(str(folder), check, deleted=(50,), name=ctx.winpath(folder), rates=(1.0,),
                                     shot=str(ctx.shots / "burst-viewer.png"))
    for rate, (m, e) in spans.items():
        print(f"viewer of kesto.exe's burst at {rate}x: {m:.1f} ms measured, {e:.1f} ms in the log "
              f"({(m - e) / e * 100:+.2f} %)")
    failed = [w for ok, w in results if not ok]
    ctx.check(not failed, "viewer checks failed: " + "; ".join(failed))
    ctx.no_msgbox(300)
