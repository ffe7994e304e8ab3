#!/usr/bin/env python3
"""kestocard --apng as a user runs it on stand-in burst folders: Pillow
decodes burst.png to exactly the BMP frames' pixels with each frame's
duration equal to the log's interval, a burst whose frames change size
gives one file per run, a missing frame lends its Tic to the frame before
it, a failure names the file and leaves no part of it, and Chromium loads
the picture.  Run by ctest:

    check_apng.py --build BUILD_DIR
"""
import argparse
import os
import shutil
import statistics
import subprocess
import sys
import tempfile

from PIL import Image

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import burstfolder  # noqa: E402

failures = []


def check(ok, what):
    print(("ok    " if ok else "FAIL  ") + what)
    if not ok:
        failures.append(what)
    return ok


def stored_ms(ms):
    """The delay as the file can hold it: ms while it fits 16 bits, else in
    the finest of 1/100, 1/10 and 1 s that holds it."""
    if ms <= 65535:
        return float(ms)
    for unit in (10, 100, 1000):
        n = (ms + unit // 2) // unit
        if n <= 65535:
            return float(n * unit)
    return 65535000.0


def decode(path):
    """Every frame of an animated PNG as RGB bytes, with its duration."""
    out = []
    with Image.open(path) as im:
        check(im.format == "PNG" and getattr(im, "is_animated", False) or getattr(im, "n_frames", 1) == 1,
              "%s is a PNG Pillow reads as animated" % os.path.basename(path))
        for i in range(getattr(im, "n_frames", 1)):
            im.seek(i)
            out.append((im.convert("RGB").tobytes(), im.size, float(im.info.get("duration", 0))))
    return out


def bmp_rgb(path):
    with Image.open(path) as im:
        return im.convert("RGB").tobytes(), im.size


def compare(png, bmps, durations, what):
    frames = decode(png)
    if not check(len(frames) == len(bmps), "%s: %d frames (got %d)" % (what, len(bmps), len(frames))):
        return
    bad = [i for i, (f, b) in enumerate(zip(frames, bmps)) if (f[0], f[1]) != bmp_rgb(b)]
    check(not bad, "%s: every frame equals its BMP pixel for pixel%s" % (what, " (not %s)" % bad[:5] if bad else ""))
    got = [f[2] for f in frames]
    want = [stored_ms(d) for d in durations]
    check(got == want, "%s: durations are the log's intervals%s" % (what, "" if got == want else " %s != %s" % (
        [(i, g, w) for i, (g, w) in enumerate(zip(got, want)) if g != w][:5], "")))


def chromium_loads(png):
    page = os.path.join(os.path.dirname(png), "apng-check.html")
    with open(page, "w") as f:
        f.write("<!doctype html><title>wait</title><img id=i src='%s' "
                "onload=\"document.title='loaded '+this.naturalWidth+'x'+this.naturalHeight\" "
                "onerror=\"document.title='error'\">" % os.path.basename(png))
    profile = tempfile.mkdtemp(prefix="kesto-chromium-")
    try:
        r = subprocess.run(["chromium", "--headless", "--no-sandbox", "--disable-gpu", "--no-first-run",
                            "--disable-background-networking", "--disable-component-update", "--disable-sync",
                            "--user-data-dir=" + profile, "--virtual-time-budget=5000", "--dump-dom",
                            "file://" + page], stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, timeout=120)
        return r.stdout.decode("utf-8", "replace")
    finally:
        shutil.rmtree(profile, ignore_errors=True)
        os.remove(page)


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--build", required=True)
    build = os.path.abspath(ap.parse_args().build)
    card = os.path.join(build, "kestocard")
    if not check(os.path.exists(card), "kestocard is built"):
        return 1
    work = tempfile.mkdtemp(prefix="kestotest.")
    env = dict(os.environ, LANG="C.UTF-8", LC_ALL="C.UTF-8")

    def run(*args):
        r = subprocess.run([card] + list(args), cwd=work, stdout=subprocess.PIPE, stderr=subprocess.PIPE, env=env)
        return r.returncode, r.stdout.decode("utf-8"), r.stderr.decode("utf-8")

    try:
        # A 100-frame burst of 640 x 480 at about 33 ms.
        plain = os.path.join(work, "d05_1403_22_18")
        tics = burstfolder.standin_tics(100)
        bmps = burstfolder.write_burst(plain, tics)
        rc, out, err = run("--apng", plain)
        check(rc == 0 and out == "burst.png\n" and err == "", "--apng writes burst.png and names it (%d %r %r)" % (
            rc, out, err))
        png = os.path.join(plain, "burst.png")
        compare(png, bmps, tics[1:] + [burstfolder.median_tic(tics)], "100 frames")
        size = os.path.getsize(png)
        total = sum(os.path.getsize(b) for b in bmps)
        print("note  burst.png %d bytes for 100 BMPs of %d bytes (%.3f %%)" % (size, total, 100.0 * size / total))
        check(size < total // 10, "burst.png is under a tenth of the BMPs")
        check(not [n for n in os.listdir(plain) if n.endswith(".tmp")], "no temporary is left")
        if shutil.which("chromium"):
            dom = chromium_loads(png)
            check("<title>loaded 640x480</title>" in dom, "Chromium loads burst.png (%s)" % dom[:120])

        # Sizes that change, a Tic above 65,535 ms, and a frame that is gone.
        runs = os.path.join(work, "runs")
        sizes = [(64, 48)] * 6 + [(80, 40)] * 3 + [(64, 48)] * 3
        tics = [40, 33, 70005, 33, 1500, 34, 35, 36, 6553551, 37, 38, 39]
        bmps = burstfolder.write_burst(runs, tics, sizes)
        os.remove(bmps[3])  # c00004.bmp: frame 3 is shown until frame 5
        rc, out, err = run("--apng", runs)
        check(rc == 0 and out == "burst.png\nburst_2.png\nburst_3.png\n", "one file per run of equal size (%r)" % out)
        check("1 of the 12 frames" in err, "the missing frame is told (%r)" % err)
        med = burstfolder.median_tic(tics)
        compare(os.path.join(runs, "burst.png"), [bmps[i] for i in (0, 1, 2, 4, 5)],
                [33, 70005, 33 + 1500, 34, 35], "first run, 70,005 ms and a missing frame")
        compare(os.path.join(runs, "burst_2.png"), bmps[6:9], [36, 6553551, 37], "second run, 6,553,551 ms")
        compare(os.path.join(runs, "burst_3.png"), bmps[9:12], [38, 39, med], "third run, the median last")

        # Failures: no folder, no log, a file that cannot be made.
        rc, out, err = run("--apng", os.path.join(work, "none"))
        check(rc == 1 and out == "" and "no burst log" in err, "a folder without a log: status 1 (%d %r)" % (rc, err))
        os.remove(os.path.join(runs, "burst_2.png"))
        os.mkdir(os.path.join(runs, "burst_2.png.tmp"))  # the temporary cannot be created
        rc, out, err = run("--apng", runs)
        check(rc == 1 and out == "burst.png\n", "the files before the failure are whole and named (%d %r)" % (rc, out))
        check("burst_2.png" in err and "cannot write" in err, "the failure names the file and why (%r)" % err)
        check(not os.path.exists(os.path.join(runs, "burst_2.png")), "no part of burst_2.png is left")
        rc, out, err = run("--apng")
        check(rc == 2, "--apng without a folder: status 2")
        rc, out, err = run("--apng", runs, "golf.txt")
        check(rc == 2, "--apng with a log too: status 2")
    finally:
        shutil.rmtree(work, ignore_errors=True)
    print("apng: %d failed" % len(failures))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
