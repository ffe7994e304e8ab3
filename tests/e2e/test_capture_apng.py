"""End-to-end test of "連写をアニメーションに" under Wine: a real 100-frame
burst of the stand-in game taken by kesto.exe, then the command of the main
window's system menu (WM_SYSCOMMAND with its id) writes burst.png beside the
frames; Pillow decodes it to exactly the BMP frames' pixels, each frame shown
for the interval the burst log gives to the next one, the last for the
median. A second request while it is being made is told.
"""

import statistics
import sys
from pathlib import Path

from PIL import Image

from test_capture import burst_files, burst_logs, check_box, data_lines, prepare, start

sys.path.insert(0, str(Path(__file__).resolve().parents[1] / "tools"))
from burstfolder import median_tic, read_tics  # noqa: E402

IDM_APNG = 0x1F50
CAPTION = "連写をアニメーションに"
FRAMES = 100


def test_capture_apng_of_the_last_burst(ctx):
    prepare(ctx, interval=7, pages=FRAMES)
    h, g = start(ctx)
    check_box(ctx, h, 1021, 1)
    ctx.probe_ok("clipbmp", 64, 64, "stripes")
    ctx.wait_until(lambda: len(burst_files(ctx)) == FRAMES and burst_logs(ctx)
                   and len(data_lines(burst_logs(ctx)[0])) == FRAMES, 60,
                   f"the burst did not write {FRAMES} frames and its log")
    frames = burst_files(ctx)
    log = burst_logs(ctx)[0]
    folder = log.parent
    ctx.no_msgbox(300)

    ctx.probe_ok("syscmd", h, IDM_APNG)
    # Asked again while it is being made: told, not made twice.
    ctx.probe_ok("syscmd", h, IDM_APNG)
    b = ctx.msgbox(10000)
    ctx.check(b["caption"] == CAPTION.encode("cp932"), f"caption {b['caption']!r}")
    text = b["text"].decode("cp932")
    ctx.check(text.startswith("アニメーションを作成中です ("), f"the second request got {text!r}")
    ctx.answer(1)
    b = ctx.msgbox(60000)
    text = b["text"].decode("cp932")
    want = f"アニメーションを保存しました。\r\n\r\n{ctx.winpath(folder)}\r\nburst.png\r\nフレーム {FRAMES} 枚"
    ctx.check(text == want, f"the end was told as {text!r}, expected {want!r}")
    ctx.check(b["icon"] == "information", f"icon {b['icon']}")
    ctx.answer(1)

    png = folder / "burst.png"
    ctx.check(png.is_file(), "burst.png is not beside the frames")
    ctx.check(not list(folder.glob("*.tmp")), "a temporary is left")
    t = read_tics(log.read_bytes())
    want_ms = [float(x) for x in t[1:] + [median_tic(t)]]
    with Image.open(png) as im:
        ctx.check(getattr(im, "n_frames", 1) == FRAMES, f"burst.png has {getattr(im, 'n_frames', 1)} frames")
        for k, f in enumerate(frames):
            im.seek(k)
            with Image.open(f) as bmp:
                ctx.check(im.size == bmp.size and im.convert("RGB").tobytes() == bmp.convert("RGB").tobytes(),
                          f"frame {k + 1} of burst.png differs from {f.name}")
            ctx.check(float(im.info.get("duration")) == want_ms[k],
                      f"frame {k + 1} lasts {im.info.get('duration')} ms, the log gives {want_ms[k]}")
    size = png.stat().st_size
    total = sum(f.stat().st_size for f in frames)
    print(f"burst.png {size} bytes for {FRAMES} BMPs of {total} bytes ({100.0 * size / total:.2f} %), "
          f"Tics median {statistics.median(t[1:])} ms")
    ctx.no_msgbox(300)
