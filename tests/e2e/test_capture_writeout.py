"""End-to-end tests under Wine of bursts that must reach the disk whatever
the user does meanwhile: 連写 cleared and ticked again before the next
trigger, 終了 while frames are still in memory, and a disk that fills during
the write-out. Every frame a burst took is looked for on disk as a BMP that
Pillow reads, one per DATA line of the burst's log, and the memory the frames
took is looked at in the Linux process that runs kesto.exe."""

import os
import subprocess
import sys
import time
from pathlib import Path

import test_capture as cap

sys.path.insert(0, str(Path(__file__).resolve().parents[2] / "bench"))
import procmem  # noqa: E402


def taken(ctx, h, planned):
    """Frames the running burst has taken: box 1029 counts those still to go."""
    v = ctx.text(h, 1029)
    return max(0, planned - int(v)) if v.lstrip(b"-").isdigit() else 0


def start_burst(ctx, h, planned, at_least):
    """A new clipboard image starts a burst; returns once it has taken
    at_least frames, with the frames it has taken by then."""
    ctx.probe_ok("clipbmp", 64, 64, "stripes")
    return ctx.wait_until(lambda: taken(ctx, h, planned) >= at_least and taken(ctx, h, planned), 30,
                          f"the burst did not take {at_least} frames")


def burst_in(folder):
    """(frame names, DATA line names) of one burst folder."""
    frames = sorted(p.name for p in folder.glob("c[0-9][0-9][0-9][0-9][0-9].bmp"))
    logs = list(folder.glob("c[0-9][0-9][0-9][0-9]_[0-9][0-9]_[0-9][0-9][0-9].txt"))
    names = [line.split(b" ")[1].decode() for log in logs for line in cap.data_lines(log)]
    return frames, names


def written_out(ctx, folder, want):
    """Waits until the burst in folder has want frames or more and its log a
    DATA line for each, and nothing has changed for a second."""
    deadline = time.monotonic() + 60
    last, since = None, time.monotonic()
    while True:
        now = burst_in(folder)
        if now != last:
            last, since = now, time.monotonic()
        elif len(now[0]) >= want and now[0] == now[1] and time.monotonic() - since >= 1.0:
            return now[0]
        ctx.check(time.monotonic() < deadline,
                  f"{folder.name}: {len(now[0])} frames and {len(now[1])} log lines, {want} frames expected")
        time.sleep(0.1)


def check_frames(ctx, folder, names):
    ctx.check(names == [f"c{k:05d}.bmp" for k in range(1, len(names) + 1)], f"{folder.name}: frames {names}")
    size = None
    for n in names:
        img = cap.open_bmp(ctx, folder / n)
        size = size or img.size
        ctx.check(img.size == size, f"{n} is {img.size}, the first frame {size}")


def rss_mb(pid):
    return procmem.memory(pid)["VmRSS"] / 1024


def test_capture_burst_reticked(ctx):
    # Frames of about 630 x 470 pixels (the game window widened by the
    # custom margins), each a block of its own that the system takes back
    # when it is freed.
    cap.prepare(ctx, interval=7, pages=200)
    text = (ctx.folder / "loginit.txt").read_bytes().replace(b"CUSTOMAREA=-31,-5,-5,-5", b"CUSTOMAREA=100,150,100,150")
    (ctx.folder / "loginit.txt").write_bytes(text)
    h, g = cap.start(ctx)
    pid = procmem.linux_pid(ctx.kesto_proc.pid, ctx.kesto, ctx.wine.prefix)
    ctx.check(pid is not None, "the Linux process of kesto.exe was not found")
    cap.check_box(ctx, h, 1021, 1)

    # A plain burst of 200 frames: the resident memory once it is written out.
    rss0 = rss_mb(pid)
    start_burst(ctx, h, 200, 1)
    first = ctx.wait_until(lambda: cap.burst_dirs(ctx), 10, "no burst folder")[0]
    check_frames(ctx, first, written_out(ctx, first, 200))
    rss1 = rss_mb(pid)

    # The same again, but after 150 frames 連写 is cleared and ticked again,
    # and a new PrintScreen image follows while the frames are written out.
    before = start_burst(ctx, h, 200, 150)
    ctx.probe_ok("reclick", h, 1021, 100, "clip")
    ctx.wait_until(cap.box_is(ctx, h, 1021, 1), 3, "連写 is not checked again")
    dirs = ctx.wait_until(lambda: [d for d in cap.burst_dirs(ctx) if d != first], 10, "no second burst folder")
    names = written_out(ctx, dirs[0], before)
    check_frames(ctx, dirs[0], names)
    ctx.check(len(cap.burst_dirs(ctx)) == 2, f"the trigger started another burst: {cap.burst_dirs(ctx)}")
    ctx.check(len(names) < 200, f"{len(names)} frames: the burst took frames after 連写 was cleared")
    rss2 = rss_mb(pid)
    frame_mb = (dirs[0] / names[0]).stat().st_size / 1048576
    print(f"resident memory: {rss0:.0f} MB before, {rss1:.0f} MB after a plain burst of 200 frames, "
          f"{rss2:.0f} MB after the burst of {len(names)} frames cleared and ticked again "
          f"(frames of {frame_mb:.2f} MB)")
    # Frames left behind would hold their blocks: 10 of them are more than
    # the leeway.
    ctx.check(rss2 <= rss1 + 10 * frame_mb,
              f"resident memory {rss2:.0f} MB after the burst, {rss1:.0f} MB after a plain one")
    ctx.no_msgbox(300)


def end_midburst(ctx, end):
    cap.prepare(ctx, interval=7, pages=100)
    h, g = cap.start(ctx)
    cap.check_box(ctx, h, 1021, 1)
    start_burst(ctx, h, 100, 1)
    began = time.monotonic()
    # One second into the burst (and frames taken by then).
    before = ctx.wait_until(lambda: time.monotonic() - began >= 1.0 and taken(ctx, h, 100), 10,
                            "the burst takes no frames")
    end(h)
    code = ctx.wait_exit(ctx.kesto_proc, 60)
    ctx.check(code == 0, f"exit code {code}")
    dirs = cap.burst_dirs(ctx)
    ctx.check(len(dirs) == 1, f"burst folders {dirs}")
    frames, names = burst_in(dirs[0])
    ctx.check(frames == names, f"frames {frames}, log lines {names}")
    ctx.check(len(frames) >= before, f"{len(frames)} frames on disk, {before} taken before 終了")
    check_frames(ctx, dirs[0], frames)
    print(f"ended after {before} frames taken: {len(frames)} frames on disk")


def test_capture_end_midburst(ctx):
    # 終了 one second into a burst of 100 frames: the frames taken are
    # written out (the status line counts them), then KESTO ends.
    end_midburst(ctx, lambda h: ctx.probe_ok("click", h, 1))


def test_capture_end_session(ctx):
    # Windows ends the session: the frames are written before WM_ENDSESSION
    # returns.
    def end(h):
        lines = ctx.probe_ok("endsession", h)
        ctx.check(lines and lines[0].strip() == "query 1", f"the session may not end: {lines}")
    end_midburst(ctx, end)


def mount_tmpfs(ctx, folder, size_mb):
    """A tmpfs of size_mb on folder (the tests run as root); failing to mount
    fails the test."""
    r = subprocess.run(["mount", "-t", "tmpfs", "-o", f"size={size_mb}m,mode=0755", "tmpfs", str(folder)],
                       capture_output=True, text=True)
    ctx.check(r.returncode == 0, f"mount -t tmpfs on {folder} failed ({r.returncode}): {r.stderr.strip()}"
              " (this test needs root)")


def unmount(folder):
    """Unmounts folder once nothing of Wine holds it; lazily if something still does."""
    if subprocess.run(["umount", str(folder)], capture_output=True).returncode != 0:
        subprocess.run(["umount", "-l", str(folder)], capture_output=True)


def test_capture_full_disk_retry(ctx):
    # A burst of 100 frames kept in memory is written out to a program folder
    # on a small disk that fills after about 30 of them: KESTO keeps the rest
    # in memory and asks (再試行 / キャンセル), naming the file and the
    # reason; room is made and 再試行 pressed; all 100 frames end on disk, one
    # DATA line each.
    folder = ctx.folder
    mount_tmpfs(ctx, folder, 192)
    try:
        full_disk_retry(ctx, folder)
    finally:
        ctx.wine.reset()  # kesto.exe ended: nothing holds the folder any more
        unmount(folder)


def full_disk_retry(ctx, folder):
    cap.prepare(ctx, interval=7, pages=100)
    h, g = cap.start(ctx)
    cap.check_box(ctx, h, 1021, 1)
    # Each frame is the game window with the custom margins.
    l, t, r, b = cap.rect(ctx, g)
    top, left, bottom, right = cap.CUSTOM
    w, hh = r - l + left + right, b - t + top + bottom
    frame = 54 + (w * 3 + 3) // 4 * 4 * hh
    # Room for 30 frames and a half, the log and a little more.
    st = os.statvfs(folder)
    free = st.f_bavail * st.f_frsize
    filler = folder / "filler.bin"
    with open(filler, "wb") as f:
        f.truncate(0)
        left_over = free - int(30.5 * frame) - 65536
        ctx.check(left_over > 0, f"the tmpfs of {free} bytes free is too small for frames of {frame} bytes")
        block = b"\0" * 1048576
        while left_over > 0:
            left_over -= f.write(block[:min(len(block), left_over)])
    print(f"frames of {w} x {hh} ({frame} bytes); {os.statvfs(folder).f_bavail * st.f_frsize} bytes free")

    start_burst(ctx, h, 100, 1)
    box = ctx.msgbox(60000)
    ctx.check(box["caption"] == b"Write error", f"caption {box['caption']!r}")
    text = box["text"].decode("cp932")
    ctx.check(text.startswith("連写の画像を保存できませんでした\r\n\r\n"), f"the question: {text!r}")
    ctx.check("ディスクの空きが足りません" in text, f"the question gives no reason: {text!r}")
    ctx.check(sorted(box["buttons"]) == [2, 4], f"buttons {box['buttons']}, expected 再試行 (4) and キャンセル (2)")
    dirs = cap.burst_dirs(ctx)
    ctx.check(len(dirs) == 1, f"burst folders {dirs}")
    frames, names = burst_in(dirs[0])
    ctx.check(20 <= len(frames) < 100, f"{len(frames)} frames on disk when the disk was full")
    ctx.check(f"{dirs[0].name}\\c{len(frames) + 1:05d}.bmp" in text, f"the question names another file: {text!r}")
    ctx.check(f"保存していない画像 {100 - len(frames)} 枚" in text, f"the question's count: {text!r}")
    print(f"the disk was full after {len(frames)} frames")

    filler.unlink()
    ctx.answer(4)
    names = written_out(ctx, dirs[0], 100)
    ctx.check(len(names) == 100, f"{len(names)} frames")
    check_frames(ctx, dirs[0], names)
    frames, lines = burst_in(dirs[0])
    ctx.check(lines == frames, f"DATA lines {len(lines)}, frames {len(frames)}")
    ctx.no_msgbox(300)
