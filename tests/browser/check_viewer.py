#!/usr/bin/env python3
"""The burst viewer (index.html of a burst folder) as headless Chromium runs it.

Makes burst folders of BMP frames and a burst log (one in a folder whose name
carries & ' # % and blanks), has the native kestocard write their viewers
(--viewer), deletes one frame, and drives each page with real key presses
over the DevTools pipe (cdppipe.py):

- every frame loads, and stepping with the arrow keys shows frame n's number,
  its time from the first frame and its Tic exactly as the log has them;
  Home, End and the slider go where they should;
- the deleted frame is shown as missing and playing goes past it;
- playing at 1x takes the log's span (time of the last frame) within 5 %,
  at 1/2x twice that, measured with performance.now() in the page;
- the folder's name is shown as it is, and no markup in it ran.

    check_viewer.py --build build [--out build/browser]

check_burst() is also used by the end-to-end test on a burst kesto.exe took.
Prints one line per check and ends with "viewer: N passed, N failed".
"""
import argparse
import json
import os
import pathlib
import shutil
import struct
import subprocess
import sys
import tempfile
import urllib.parse

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from cdppipe import Browser  # noqa: E402

SPAN_TOLERANCE = 0.05


def bmpfile(w, h, colour):
    """A 24-bit bottom-up BMP whose pixel (x, y), y counted from the top, is
    colour(x, y) as (red, green, blue)."""
    pad = (4 - (w * 3) % 4) % 4
    rows = []
    for y in range(h - 1, -1, -1):
        row = bytearray()
        for x in range(w):
            c = colour(x, y)
            row += bytes((c[2], c[1], c[0]))
        rows.append(bytes(row) + b"\0" * pad)
    img = b"".join(rows)
    return (b"BM" + struct.pack("<IHHI", 54 + len(img), 0, 0, 54) +
            struct.pack("<IiiHHIIiiII", 40, w, h, 1, 24, 0, len(img), 0, 0, 0, 0) + img)


def bmp(w, h, rgb):
    """Stripes of one colour and its inverse."""
    return bmpfile(w, h, lambda x, y: rgb if (x // 4) % 2 else (255 - rgb[0], 255 - rgb[1], 255 - rgb[2]))


def logline(n, ms):
    tic = "%3d" % ms if ms < 1000 else "%7d,%03d" % (ms // 1000, ms % 1000)
    return "DATA c%05d.bmp Tic=%s ms date 20090405_14:03_22.187\r\n" % (n, tic)


def make_burst(folder, tics, w=64, h=48):
    """A burst folder as KESTO writes one: frames c00001.bmp... and the log."""
    os.makedirs(folder, exist_ok=True)
    log = "disk free = 1000 MB\r\n"
    for i, ms in enumerate(tics):
        n = i + 1
        with open(os.path.join(folder, "c%05d.bmp" % n), "wb") as f:
            f.write(bmp(w, h, ((n * 37) % 256, (n * 91) % 256, (n * 13) % 256)))
        log += logline(n, ms)
    with open(os.path.join(folder, "c1403_22_187.txt"), "w", newline="") as f:
        f.write(log)


def read_log(folder):
    """[(name, tic, time)] from the burst log of a folder, as the viewer must show them."""
    logs = sorted(p for p in os.listdir(folder) if p.startswith("c") and p.endswith(".txt"))
    frames = []
    with open(os.path.join(folder, logs[0]), "rb") as f:
        for line in f.read().decode("ascii").splitlines():
            if not line.startswith("DATA "):
                continue
            name = line[5:15]
            t = line.split("Tic=")[1].split(" ms")[0].strip().replace(",", "")
            tic = int(t)
            time = 0 if not frames else frames[-1][2] + max(tic, 0)
            frames.append((name, tic, time))
    return frames


def file_url(path):
    return pathlib.Path(os.path.abspath(path)).as_uri()


WAIT_FRAME = """new Promise(function(done){
  var S=window.kestoViewer, e=document.querySelector('#stage img');
  function answer(){
    var e2=document.querySelector('#stage img');
    done({i:S.i, pos:document.getElementById('pos').textContent,
          time:document.getElementById('time').textContent, tic:document.getElementById('tic').textContent,
          loaded: !!(e2 && e2.complete && e2.naturalWidth>0), missing: !!S.missing[S.i],
          shownmissing: !!document.getElementById('missing') && document.getElementById('stage').contains(document.getElementById('missing')),
          src: e2 ? e2.getAttribute('src') : ''});
  }
  if(!e || e.complete || S.missing[S.i]) { answer(); return; }
  var t=setTimeout(answer, 5000);
  e.addEventListener('load', function(){clearTimeout(t); answer();});
  e.addEventListener('error', function(){clearTimeout(t); setTimeout(answer, 0);});
})"""


def check_burst(folder, check, deleted=(), name=None, rates=(1.0, 0.5), shot=None, tolerance=SPAN_TOLERANCE):
    """Drives the viewer of a burst folder; check(ok, what) records each result.

    deleted: frame numbers whose files were removed after the page was written.
    name: the text the page's heading must show (the folder as it is).
    Returns the measured playback spans {rate: (measured ms, expected ms)}.
    """
    frames = read_log(folder)
    n = len(frames)
    spans = {}
    with Browser() as b:
        page = b.open(file_url(os.path.join(folder, "index.html")), width=900, height=700)
        page.wait("window.kestoViewer")
        tag = os.path.basename(folder.rstrip("/"))
        check(page.eval("window.kestoViewer.count") == n, "%s: the page lists the log's %d frames" % (tag, n))
        if name is not None:
            shown = page.eval("document.getElementById('folder').textContent")
            check(shown == name, "%s: the heading shows the folder as it is (%r)" % (tag, shown))
            check(not page.eval("!!document.querySelector('h1 *, #folder *')"), "%s: no markup came from the name" % tag)
        # Stepping: every frame loads (or is told missing) and shows the log's figures.
        bad = []
        for k in range(n):
            if k:
                page.key("ArrowRight", vk=0x27)
            s = page.eval(WAIT_FRAME)
            num = k + 1
            want_missing = num in deleted
            ok = (s["i"] == k and s["pos"] == "%d / %d" % (num, n) and s["time"] == str(frames[k][2]) and
                  s["tic"] == str(frames[k][1]) and
                  (s["missing"] and s["shownmissing"] if want_missing else
                   s["loaded"] and s["src"] == urllib.parse.quote(frames[k][0])))
            if not ok:
                bad.append((num, s))
        check(not bad, "%s: stepping with the arrow keys: each frame loads and shows its number, time and Tic"
              " as the log has them%s" % (tag, (" (first bad: %r)" % (bad[0],)) if bad else ""))
        page.key("ArrowRight", vk=0x27)
        check(page.eval("window.kestoViewer.i") == n - 1, "%s: ArrowRight stops at the last frame" % tag)
        page.key("Home", vk=0x24)
        page.key("ArrowLeft", vk=0x25)
        check(page.eval("window.kestoViewer.i") == 0, "%s: Home goes to frame 1, ArrowLeft stays there" % tag)
        page.key("End", vk=0x23)
        check(page.eval("document.getElementById('pos').textContent") == "%d / %d" % (n, n), "%s: End shows the last frame" % tag)
        mid = n // 2
        page.eval("(function(){var s=document.getElementById('slider');s.value='%d';"
                  "s.dispatchEvent(new Event('input'));})()" % (mid + 1))
        check(page.eval("document.getElementById('time').textContent") == str(frames[mid][2]),
              "%s: the slider shows frame %d at its time" % (tag, mid + 1))
        # Playing: Space from frame 1 to the last frame, measured in the page.
        span = frames[-1][2]
        keys = {1.0: ("1", 0x31), 0.5: ("2", 0x32), 0.25: ("4", 0x34), 0.125: ("8", 0x38)}
        for rate in rates:
            page.key("Home", vk=0x24)
            page.key(keys[rate][0], code="Digit" + keys[rate][0], vk=keys[rate][1])
            page.key(" ", code="Space", vk=0x20)
            page.wait("!window.kestoViewer.playing", timeout=span / rate / 1000 * 2 + 20)
            trace = page.eval("window.kestoViewer.trace")
            measured = trace[-1][1] - trace[0][1]
            spans[rate] = (measured, span / rate)
            err = abs(measured - span / rate) / (span / rate) if span else 0
            check(trace[0][0] == 0 and trace[-1][0] == n - 1 and err <= tolerance,
                  "%s: playing at %gx from frame 1 to %d takes %.1f ms against the log's %.1f ms (error %.2f %%,"
                  " %d frames shown)" % (tag, rate, n, measured, span / rate, err * 100, len(trace)))
            if deleted and rate == rates[0]:
                gone = [d - 1 for d in deleted]
                check(all(page.eval("!!window.kestoViewer.missing[%d]" % g) for g in gone) and trace[-1][0] == n - 1,
                      "%s: the deleted frame %s is told missing and playing goes on to the end" % (tag, list(deleted)))
        # Loop: still playing after the end, Space pauses.
        page.key("1", code="Digit1", vk=0x31)
        page.key("l", code="KeyL", vk=0x4C)
        page.key("End", vk=0x23)
        page.key("ArrowLeft", vk=0x25)
        page.key(" ", code="Space", vk=0x20)
        page.wait("window.kestoViewer.trace.length>0 && window.kestoViewer.trace[0][0]===0", timeout=30)
        check(page.eval("window.kestoViewer.playing"), "%s: with loop on, playing starts again from frame 1" % tag)
        page.key(" ", code="Space", vk=0x20)
        check(not page.eval("window.kestoViewer.playing"), "%s: Space pauses" % tag)
        if shot:
            page.key("l", code="KeyL", vk=0x4C)
            page.key("Home", vk=0x24)
            for _ in range(min(n - 1, 7)):
                page.key("ArrowRight", vk=0x27)
            page.eval(WAIT_FRAME)
            page.screenshot(shot)
    return spans


def scene(k, w=320, h=200):
    """Frame k of a made-up swing: sky, green, a power gauge filling and the
    ball on its way (a 24-bit BMP)."""
    power = min(1.0, k / 14)
    t = max(0, k - 16)
    bx, by = 40 + t * 18, 150 - t * 14 + t * t // 2

    def colour(x, y):
        if 170 <= y < 184 and 20 <= x < 300:
            if x in (20, 299) or y in (170, 183):
                return (240, 240, 240)
            return (230, 60, 40) if x - 20 < power * 280 else (60, 60, 70)
        if abs(x - bx) < 4 and abs(y - by) < 4:
            return (255, 255, 255)
        if y < 120:
            return (90 + y // 2, 150 + y // 3, 230)
        return (40, 140 - (y - 120) // 2, 50)
    return bmpfile(w, h, colour)


def picture(kestocard, out):
    """The README's picture of the viewer: a burst folder named as on
    Windows (the native seam maps C:\\KESTO\\... to C:/KESTO/... under the
    current folder), its page written by kestocard, frame 18 shown."""
    root = tempfile.mkdtemp(prefix="kesto-picture-")
    try:
        rel = os.path.join("C:", "KESTO", "cap200904", "d05_1403_22_18")
        folder = os.path.join(root, rel)
        os.makedirs(folder)
        log = "disk free = 51200 MB\r\n"
        for k in range(1, 31):
            with open(os.path.join(folder, "c%05d.bmp" % k), "wb") as f:
                f.write(scene(k))
            log += logline(k, 0 if k == 1 else (34 if k % 3 == 0 else 33))
        with open(os.path.join(folder, "c1403_22_187.txt"), "w", newline="") as f:
            f.write(log)
        subprocess.run([os.path.abspath(kestocard), "--viewer", "C:\\KESTO\\cap200904\\d05_1403_22_18"], cwd=root,
                       check=True, capture_output=True, timeout=60)
        with Browser() as b:
            page = b.open(file_url(os.path.join(folder, "index.html")), width=760, height=350)
            page.wait("window.kestoViewer")
            page.eval("(function(){document.querySelector('#stage').style.minHeight='0';})()")
            for _ in range(17):
                page.key("ArrowRight", vk=0x27)
            page.eval(WAIT_FRAME)
            page.screenshot(out)
    finally:
        shutil.rmtree(root, ignore_errors=True)


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--build", required=True)
    ap.add_argument("--out")
    ap.add_argument("--picture", help="only write the README's picture of the viewer to this PNG")
    args = ap.parse_args()
    if args.picture:
        picture(os.path.join(args.build, "kestocard"), args.picture)
        return 0
    out = args.out or os.path.join(args.build, "browser")
    os.makedirs(out, exist_ok=True)
    results = {"passed": 0, "failed": 0}

    def check(ok, what):
        results["passed" if ok else "failed"] += 1
        print(("ok    " if ok else "FAIL  ") + what, flush=True)
        return ok

    kestocard = os.path.join(args.build, "kestocard")
    root = tempfile.mkdtemp(prefix="kesto-viewer-")
    try:
        # Tics as a burst has them: 33 ms steps with some late frames and one
        # frame more than a second after the one before.
        tics = [0] + [33 + (7 if i % 10 == 3 else 0) + (60 if i % 25 == 0 else 0) for i in range(1, 60)]
        tics[30] = 1500
        hostile = "K&A'B #1 %41 <b>x</b>"
        folder = os.path.join(root, hostile, "cap200904", "d05_1403_22_18")
        make_burst(folder, tics)
        r = subprocess.run([kestocard, "--viewer", folder], capture_output=True, timeout=60)
        check(r.returncode == 0 and os.path.exists(os.path.join(folder, "index.html")),
              "kestocard --viewer writes index.html (%s)" % r.stderr.decode(errors="replace").strip())
        os.remove(os.path.join(folder, "c00020.bmp"))
        spans = check_burst(folder, check, deleted=(20,), name=folder,
                            shot=os.path.join(out, "viewer.png"))
        for rate, (m, e) in spans.items():
            print("viewer span at %gx: %.1f ms measured, %.1f ms in the log (%+.2f %%)" % (rate, m, e, (m - e) / e * 100))
        # A folder without a log: nothing written, told, nonzero.
        empty = os.path.join(root, "empty")
        os.makedirs(empty)
        r = subprocess.run([kestocard, "--viewer", empty], capture_output=True, timeout=60)
        check(r.returncode == 1 and b"no burst log" in r.stderr and not os.path.exists(os.path.join(empty, "index.html")),
              "kestocard --viewer on a folder without a burst log says so and exits 1")
    finally:
        shutil.rmtree(root, ignore_errors=True)
    print("viewer: %d passed, %d failed" % (results["passed"], results["failed"]))
    return 1 if results["failed"] else 0


if __name__ == "__main__":
    sys.exit(main())
