#!/usr/bin/env python3
"""Scorecard pages written by kestocard, as headless Chromium reads them.

The pages are Shift-JIS and declare no character set, so the browser has to
guess the encoding.  For each page this checks, in the DOM that Chromium
dumps, that the player names, the course name and "ホール" came out decoded
(also for a page whose names and course are plain ASCII, where "ホール" is
the only Japanese text), that markup in names stays text, and it leaves a
screenshot of each page under the output folder for people to look at.

    check_pages.py --build build/native [--out build/native/browser]

Prints one line per check and ends with "browser: N passed, N failed".
"""
import argparse
import os
import shutil
import subprocess
import sys
import tempfile
import time

CHROMIUM_FLAGS = ["--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
                  "--disable-background-networking", "--disable-component-update", "--disable-sync"]

passed = 0
failed = 0


def check(ok, what):
    global passed, failed
    if ok:
        passed += 1
        print("ok    " + what)
    else:
        failed += 1
        print("FAIL  " + what)
    return ok


def chromium(*args):
    """Runs Chromium once with a fresh profile; returns its standard output."""
    profile = tempfile.mkdtemp(prefix="kesto-chromium-")
    try:
        r = subprocess.run(["chromium"] + CHROMIUM_FLAGS + ["--user-data-dir=" + profile] + list(args),
                           stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, timeout=120)
        return r.stdout.decode("utf-8", "replace")
    finally:
        shutil.rmtree(profile, ignore_errors=True)


def ascii_log():
    s = "Player1:Taro\r\nPlayer2:Ken\r\n** Stroke Begin **\r\n2009/04/05 20:00:00\r\n"
    s += "*Club Setting*\r\nName: Panas Island Golf Club\r\nTee:  1\r\n"
    for h in range(1, 19):
        s += "*Hole %2d\r\n*Player1 04\r\n*Player2 05\r\n" % h
    return (s + "** Stroke End **\r\n").encode("ascii")


def markup_log():
    s = "Player1:<script>document.title='hacked'</script>\r\nPlayer2:A&B \"Q\"\r\n"
    s += "** PointBattle Begin **\r\n<b>start</b>\r\n*Club Setting*\r\nName: ロペ倶楽部 <i>\r\nTee:  1\r\n"
    for h in range(1, 19):
        s += "*Hole %2d\r\n*Player1 03\r\n*Player2 04\r\n" % h
        if h % 3 == 0:
            s += " Stage%d:<img src=x>\r\n" % (h // 3)
    return (s + "** PointBattle End **\r\n").encode("cp932")


# A lead byte of Shift-JIS before markup: a browser decodes 81 3C as an
# unknown character and "<", so the markup must come out escaped.
HOSTILE = b"\x81<img src=x onerror=\"document.title='hacked'\">\x81"


def leadbyte_log():
    s = b"Player1:" + HOSTILE + b"\r\nPlayer2:Ken\r\n** PointBattle Begin **\r\n" + HOSTILE + b"\r\n"
    s += b"*Club Setting*\r\nName: " + HOSTILE + b"\r\nTee:  1\r\n"
    for h in range(1, 19):
        s += b"*Hole %2d\r\n*Player1 03\r\n*Player2 04\r\n" % h
        if h % 3 == 0:
            s += b" Stage%d:" % (h // 3) + HOSTILE + b"\r\n"
    return s + b"** PointBattle End **\r\n"


def leadbyte_courses(gen, path):
    """The built-in golfcourse.txt with the hostile text as the first course's name."""
    subprocess.run([gen, "--courses", path], check=True)
    with open(path, "rb") as f:
        data = f.read()
    at = data.index(b'NAME: "') + 7
    data = data[:at] + HOSTILE.replace(b'"', b"'") + data[data.index(b'"', at):]
    with open(path, "wb") as f:
        f.write(data)


def injected(dom):
    """Elements or attributes of the log's markup that made it into the DOM."""
    import re
    found = re.findall(r"<img\b[^>]*>|<[^>]*\bonerror\s*=[^>]*>", dom)
    if re.search(r"<title>[^<]*hacked", dom):
        found.append("the title changed by a handler")
    return found


def check_leadbyte(build, out):
    """A page and a link list built from texts with a lead byte before "<"."""
    d = os.path.join(out, "leadbyte")
    os.makedirs(d)
    log = os.path.join(d, "golf.txt")
    with open(log, "wb") as f:
        f.write(leadbyte_log())
    leadbyte_courses(os.path.join(build, "kestologgen"), os.path.join(d, "golfcourse.txt"))
    r = subprocess.run([os.path.join(build, "kestocard"), "--courses", "golfcourse.txt", "--links", "golf.txt"],
                       cwd=d, stdout=subprocess.PIPE, stderr=subprocess.PIPE)
    pages = r.stdout.decode().split()
    if not check(r.returncode == 0 and len(pages) == 2, "kestocard writes the pages of the lead-byte log: %s %s"
                 % (pages, r.stderr.decode("utf-8", "replace").strip())):
        return
    for page, what in ((pages[0], "name, course name, start text and stage texts"),
                       ("linkcc.html", "golfcourse.txt name")):
        path = os.path.join(d, page)
        # The handler would run only with scripts on; Chromium runs them when
        # it dumps the DOM, so a handler that fired shows in the title.
        dom = chromium("--dump-dom", "file://" + path)
        found = injected(dom)
        check("</html>" in dom and not found,
              "%s: a lead byte before markup in the %s leaves no element or attribute of it (%s)"
              % (page, what, found[:3]))
        n = dom.count("&lt;img src=x onerror=")
        want = 9 if page != "linkcc.html" else 1
        check(n == want, "%s: the markup shows as text %d times, expected %d" % (page, n, want))


def first_game(log):
    """Names and course of the first game of a log (Shift-JIS bytes)."""
    names, course = {}, None
    for line in log.split(b"\r\n"):
        if line[:6] == b"Player" and line[7:8] == b":" and line[6:7] in b"1234":
            names[line[6:7]] = line[8:].decode("cp932")
        elif line.startswith(b"Name: ") and course is None:
            course = line[6:].decode("cp932")
        elif line in (b"** Stroke End **", b"** PointBattle End **", b"End Program(0)"):
            break
    return list(names.values()), course


def stats_history():
    """Three logs of a generated history: 60 games of three players on three
    courses, 18 holes each, the logs overlapping as golf.txt, golfwatch.txt
    and the backups do; and a 9-hole game."""
    import random
    rnd = random.Random(20090405)
    courses = ["ロペ倶楽部", "富士クラシック", "Panas Island Golf Club"]
    games = []
    for i in range(60):
        s = "Player1:太郎\r\nPlayer2:Hanako\r\nPlayer3:Ka,ne \"K\"\r\n** Stroke Begin **\r\n"
        s += "2009/%d/%d %d:%02d:00\r\n" % (1 + i // 28, 1 + i % 28, 8 + i % 10, i % 60)
        s += "*Club Setting*\r\nName: %s\r\nTee:  1\r\n" % courses[i % 3]
        for h in range(1, 19):
            s += "*Hole %2d\r\n" % h
            for p in range(1, 4):
                s += "*Player%d %02d\r\n" % (p, rnd.choice([3, 4, 4, 4, 5, 5, 6]))
        games.append((s + "** Stroke End **\r\n").encode("cp932"))
    nine = ("Player1:太郎\r\n** Stroke Begin **\r\n2009/04/01 10:00\r\n*Club Setting*\r\nName: ロペ倶楽部\r\n"
            "Tee:  1\r\n" + "".join("*Hole %2d\r\n*Player1 04\r\n" % h for h in range(1, 10)) +
            "** Stroke End **\r\n").encode("cp932")
    return [b"".join(games[:30]), b"".join(games[20:]) + nine, b"".join(games[50:])]


STATS_PROBE = """<!DOCTYPE html><html><body style="margin:0">
<iframe id="f" src="stats.html" style="width:400px;height:900px;border:0"></iframe><pre id="out"></pre>
<script>
document.getElementById('f').onload = function () {
  var d = this.contentDocument, w = d.documentElement, vb = null;
  var svg = d.getElementById('trend');
  if (svg) vb = svg.viewBox.baseVal;
  var r = {scroll: w.scrollWidth, client: w.clientWidth, title: d.title,
           svgwidth: svg ? svg.getBoundingClientRect().width : -1,
           wide: [].filter.call(d.querySelectorAll('body *'), function (e) {
             return e.getBoundingClientRect().right > w.clientWidth + 0.5; }).map(function (e) {
             return e.tagName; }).slice(0, 10),
           lines: [].map.call(d.querySelectorAll('polyline.trend-line'), function (p) {
             var inside = true;
             for (var i = 0; i < p.points.numberOfItems; i++) {
               var q = p.points.getItem(i);
               inside = inside && q.x >= vb.x && q.x <= vb.x + vb.width && q.y >= vb.y && q.y <= vb.y + vb.height;
             }
             return {points: p.points.numberOfItems, rounds: +p.getAttribute('data-rounds'), inside: inside,
                     length: p.getTotalLength()}; })};
  document.getElementById('out').textContent = JSON.stringify(r);
};
</script></body></html>
"""


def check_stats(build, out):
    """kestocard --stats on a generated history, stats.html in a 400-pixel
    window: the chart drawn, nothing wider than the window; screenshots."""
    import html
    import json
    d = os.path.join(out, "stats")
    os.makedirs(d)
    logs = []
    for i, data in enumerate(stats_history()):
        logs.append("log%d.txt" % i)
        with open(os.path.join(d, logs[-1]), "wb") as f:
            f.write(data)
    r = subprocess.run([os.path.join(build, "kestocard"), "--stats"] + logs, cwd=d, stdout=subprocess.PIPE,
                       stderr=subprocess.PIPE)
    check(r.returncode == 0 and r.stdout.decode().split() == ["rounds.csv", "stats.html"],
          "kestocard --stats writes rounds.csv and stats.html (stderr: %s)" % r.stderr.decode("utf-8", "replace"))
    with open(os.path.join(d, "rounds.csv"), "rb") as f:
        rows = f.read().decode("utf-8-sig").split("\r\n")
    check(len(rows) == 1 + 60 * 3 + 1 + 1, "rounds.csv: 181 rounds, each game once (%d lines)" % len(rows))
    with open(os.path.join(d, "probe.html"), "w", encoding="utf-8") as f:
        f.write(STATS_PROBE)
    dom = chromium("--allow-file-access-from-files", "--virtual-time-budget=10000", "--window-size=420,1000",
                   "--dump-dom", "file://" + os.path.join(d, "probe.html"))
    start, end = dom.find('<pre id="out">'), dom.find("</pre>")
    try:
        m = json.loads(html.unescape(dom[start + len('<pre id="out">'):end]))
    except ValueError:
        check(False, "stats.html measured in a 400-pixel frame (got %r)" % dom[start:end][:200])
        return
    check(m["title"] == "成績集計", "stats.html: title decoded (%r)" % m["title"])
    check(m["scroll"] <= m["client"] and not m["wide"],
          "stats.html: nothing wider than a 400-pixel window (width %d of %d; wider: %s)"
          % (m["scroll"], m["client"], m["wide"]))
    lines = m["lines"]
    check(len(lines) == 3, "stats.html: one trend line for each of the three players (%d)" % len(lines))
    check(all(l["points"] == l["rounds"] == 60 and l["inside"] and l["length"] > 0 for l in lines),
          "stats.html: each line has a point for each of the 60 rounds, inside the chart: %s" % lines)
    check(0 < m["svgwidth"] <= 400, "stats.html: the chart fits the window (%.0f px)" % m["svgwidth"])
    page = "file://" + os.path.join(d, "stats.html")
    for name, size in (("stats-phone.png", "400,1600"), ("stats-wide.png", "1000,1400")):
        shot = os.path.join(out, name)
        chromium("--window-size=" + size, "--hide-scrollbars", "--screenshot=" + shot, page)
        check(os.path.exists(shot) and os.path.getsize(shot) > 10000, "stats.html: screenshot %s" % shot)


def page_name(path):
    t = time.localtime(os.stat(path).st_mtime)
    return "log%d%02d%02d_%02d%02d.html" % (t.tm_year, t.tm_mon, t.tm_mday, t.tm_hour, t.tm_min)


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--build", required=True)
    ap.add_argument("--out")
    a = ap.parse_args()
    build = os.path.abspath(a.build)
    out = os.path.abspath(a.out or os.path.join(build, "browser"))
    shutil.rmtree(out, ignore_errors=True)
    os.makedirs(out)

    if not check(shutil.which("chromium") is not None, "chromium is installed"):
        print("browser: %d passed, %d failed" % (passed, failed))
        return 1

    # Three logs with distinct last-write minutes.
    logs = {}
    subprocess.run([os.path.join(build, "kestologgen"), "20090405", "6", os.path.join(out, "golf.txt")], check=True)
    with open(os.path.join(out, "ascii.txt"), "wb") as f:
        f.write(ascii_log())
    with open(os.path.join(out, "markup.txt"), "wb") as f:
        f.write(markup_log())
    for i, name in enumerate(["golf.txt", "ascii.txt", "markup.txt"]):
        p = os.path.join(out, name)
        stamp = time.mktime((2009, 4, 5, 21, 7 + i, 30, 0, 0, -1))
        os.utime(p, (stamp, stamp))
        with open(p, "rb") as f:
            logs[name] = (f.read(), page_name(p))

    r = subprocess.run([os.path.join(build, "kestocard"), "--links", "golf.txt", "ascii.txt", "markup.txt"],
                       cwd=out, stdout=subprocess.PIPE, stderr=subprocess.PIPE)
    written = r.stdout.decode().split()
    check(r.returncode == 0, "kestocard exits with 0 (stderr: %s)" % r.stderr.decode("utf-8", "replace").strip())
    check(written == [logs[n][1] for n in logs] + ["linkcc.html"], "kestocard names the pages written: %s" % written)

    for name, (log, page) in logs.items():
        path = os.path.join(out, page)
        if not check(os.path.exists(path), "%s gives %s" % (name, page)):
            continue
        with open(path, "rb") as f:
            raw = f.read()
        check(b"charset" not in raw.lower(), "%s declares no character set" % page)
        dom = chromium("--dump-dom", "file://" + path)
        names, course = first_game(log)
        check("<td> ホール </td>" in dom, "%s: \"ホール\" decoded" % page)
        if name == "markup.txt":
            check("<script" not in dom and "<img" not in dom and "<i>" not in dom and "<b>start" not in dom,
                  "%s: markup from the log stays text" % page)
            check("&lt;script&gt;document.title='hacked'&lt;/script&gt;" in dom and "A&amp;B \"Q\"" in dom,
                  "%s: names shown as written in the log" % page)
            check("ロペ倶楽部 &lt;i&gt;" in dom, "%s: course name decoded" % page)
        else:
            for n in names:
                check("<td>%s</td>" % n in dom, "%s: player name %s decoded" % (page, n))
            check(">%s</a>" % course in dom, "%s: course name %s decoded" % (page, course))
        shot = os.path.join(out, page.replace(".html", ".png"))
        chromium("--window-size=1100,900", "--hide-scrollbars", "--screenshot=" + shot, "file://" + path)
        check(os.path.exists(shot) and os.path.getsize(shot) > 10000, "%s: screenshot %s" % (page, shot))

    check_leadbyte(build, out)

    dom = chromium("--dump-dom", "file://" + os.path.join(out, "linkcc.html"))
    check("<title>収録カントリークラブ　リンク集</title>" in dom and ">札幌国際カントリークラブ　島松コース</a>" in dom,
          "linkcc.html: title and first course decoded")
    check(dom.count("<br>") >= 103, "linkcc.html: 103 course links")

    check_stats(build, out)

    print("browser: %d passed, %d failed" % (passed, failed))
    return 0 if failed == 0 else 1


if __name__ == "__main__":
    sys.exit(main())
