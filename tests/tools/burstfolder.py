#!/usr/bin/env python3
"""Stand-in burst folders, as KESTO's burst writes them: frames c00001.bmp ...
(24-bit, bottom-up rows) and the burst log with each frame's Tic.  The
pictures look like a swing on the game's screen: a still course, a power
gauge that fills and a ball that flies, so most of each frame stays as it
was.  Used by the tests and the benchmarks:

    burstfolder.py DIR [--frames 100] [--size 640x480] [--tic 33]
"""
import argparse
import os
import re

from PIL import Image, ImageDraw


def background(w, h):
    im = Image.new("RGB", (w, h))
    d = ImageDraw.Draw(im)
    horizon = h * 2 // 5
    for y in range(horizon):
        d.line([(0, y), (w, y)], fill=(90 + y * 100 // horizon, 150 + y * 60 // horizon, 235))
    for y in range(horizon, h):
        g = 110 + (y - horizon) * 80 // max(1, h - horizon)
        d.line([(0, y), (w, y)], fill=(40, g, 50))
    # Trees, a green and a flag, and a panel of text-like marks.
    for i in range(12):
        x = (i * 97) % w
        d.ellipse([x, horizon - 30, x + 40, horizon + 10], fill=(20, 90 + i * 5, 30))
    d.ellipse([w * 3 // 5, horizon + 10, w * 4 // 5, horizon + 40], fill=(70, 200, 80))
    d.line([(w * 7 // 10, horizon + 25), (w * 7 // 10, horizon - 15)], fill=(240, 240, 240), width=2)
    d.rectangle([8, 8, 200, 60], fill=(20, 20, 60), outline=(255, 255, 255))
    for i in range(6):
        d.rectangle([16 + i * 30, 20, 36 + i * 30, 30], fill=(255, 220 - i * 20, 80))
    return im


def frame(bg, k, n, pan=False):
    """Frame k (from 0) of n: the gauge fills over the first half, then the
    ball flies.  With pan, the view also moves 3 pixels a frame, so every
    pixel changes (the camera following the ball)."""
    if pan:
        w, h = bg.size
        s = (k * 3) % w
        im = Image.new("RGB", bg.size)
        im.paste(bg.crop((s, 0, w, h)), (0, 0))
        im.paste(bg.crop((0, 0, s, h)), (w - s, 0))
    else:
        im = bg.copy()
    d = ImageDraw.Draw(im)
    w, h = im.size
    half = max(1, n // 2)
    fill = min(k, half) * (w // 2) // half
    d.rectangle([w // 4, h - 40, w // 4 + w // 2, h - 24], fill=(30, 30, 30), outline=(255, 255, 255))
    if fill:
        d.rectangle([w // 4 + 1, h - 39, w // 4 + fill, h - 25], fill=(255, 60 + fill * 190 // (w // 2), 0))
    t = max(0, k - half)
    x = w // 2 + t * 4
    y = h * 3 // 4 - t * 6 + t * t // 10
    d.ellipse([x - 4, y - 4, x + 4, y + 4], fill=(255, 255, 255), outline=(40, 40, 40))
    return im


def log_lines(tics):
    """The burst log: the header, then a line per frame as KESTO writes it."""
    out = ["disk free = 12345 MB\r\n"]
    ms_of_day = 14 * 3600000 + 3 * 60000 + 22000
    for i, tic in enumerate(tics):
        ms_of_day += max(0, tic)
        hh, rest = divmod(ms_of_day // 1000 % 86400, 3600)
        mm, ss = divmod(rest, 60)
        date = "date 20090405_%02d:%02d_%02d.%03d\r\n" % (hh, mm, ss, ms_of_day % 1000)
        if tic < 1000:
            out.append("DATA c%05d.bmp Tic=%3d ms %s" % (i + 1, tic, date))
        else:
            out.append("DATA c%05d.bmp Tic=%7d,%03d ms %s" % (i + 1, tic // 1000, tic % 1000, date))
    return "".join(out)


def write_burst(folder, tics, sizes=None, pan=False):
    """Writes a burst of len(tics) frames; sizes[k] is frame k's (w, h)
    (640 x 480 for all by default); pan: see frame.  Returns the frames'
    paths."""
    os.makedirs(folder, exist_ok=True)
    n = len(tics)
    sizes = sizes or [(640, 480)] * n
    bgs = {}
    paths = []
    for k in range(n):
        size = sizes[k]
        if size not in bgs:
            bgs[size] = background(*size)
        p = os.path.join(folder, "c%05d.bmp" % (k + 1))
        frame(bgs[size], k, n, pan).save(p, "BMP")
        paths.append(p)
    with open(os.path.join(folder, "c1403_22_187.txt"), "wb") as f:
        f.write(log_lines(tics).encode("ascii"))
    return paths


def median_tic(tics):
    """The median of the Tics of the frames after the first (the mean of the
    two middle ones, rounded down, for an even count): how long the animated
    PNG shows a burst's last frame."""
    later = sorted(tics[1:]) or tics[:1]
    n = len(later)
    return later[n // 2] if n % 2 else (later[n // 2 - 1] + later[n // 2]) // 2


def read_tics(log_bytes):
    """The Tic of each frame line of a burst log, in milliseconds."""
    out = []
    for line in log_bytes.split(b"\r\n"):
        m = re.match(rb"DATA c\d{5}\.bmp Tic=\s*(-?\d+)(?:,(\d{3}))? ms", line)
        if m:
            out.append(int(m.group(1)) * (1000 if m.group(2) else 1) + int(m.group(2) or 0))
    return out


def standin_tics(n, tic=33):
    """The Tics of a burst at one grab every tic ms, with the jitter of a
    window timer."""
    return [tic + (k * 7) % 5 - 2 for k in range(n)]


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("dir")
    ap.add_argument("--frames", type=int, default=100)
    ap.add_argument("--size", default="640x480")
    ap.add_argument("--tic", type=int, default=33)
    ap.add_argument("--pan", action="store_true", help="every pixel changes from frame to frame")
    a = ap.parse_args()
    w, h = (int(v) for v in a.size.split("x"))
    write_burst(a.dir, standin_tics(a.frames, a.tic), [(w, h)] * a.frames, a.pan)


if __name__ == "__main__":
    main()
