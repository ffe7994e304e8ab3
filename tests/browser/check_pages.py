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


def many_history():
    """Twelve overlapping logs of 200 games of six players (one to four a
    game) on three known courses and one the table does not know, over two
    years; one log with a stretch of zero bytes inside.  Also the number of
    rounds."""
    import random
    rnd = random.Random(20090824)
    players = ["太郎", "Hanako", "Ka,ne \"K\"", "Christopher", "=1+2", "山田花子"]
    courses = ["ロペ倶楽部", "富士クラシック", "Panas Island Golf Club", "Practice Links"]
    games = []
    for i in range(200):
        who = rnd.sample(players, rnd.randint(1, 4))
        s = "".join("Player%d:%s\r\n" % (k + 1, n) for k, n in enumerate(who)) + "** Stroke Begin **\r\n"
        day = 1 + i * 3
        s += "%d/%d/%d %d:%02d:00\r\n" % (2009 + day // 336, 1 + day % 336 // 28, 1 + day % 28, 8 + i % 10, i % 60)
        s += "*Club Setting*\r\nName: %s\r\nTee:  1\r\n" % courses[i % 4 if i % 9 else 3]
        for h in range(1, 19):
            s += "*Hole %2d\r\n" % h
            for k in range(len(who)):
                s += "*Player%d %02d\r\n" % (k + 1, rnd.choice([3, 4, 4, 4, 5, 5, 6, 7] if k != 3 else [4, 5, 5, 6, 7, 8]))
        games.append((s + "** Stroke End **\r\n").encode("cp932"))
    logs = [b"".join(games[k * 17:k * 17 + 30]) for k in range(12)]
    # The game the zero bytes cut is whole in the log before.
    logs[3] = logs[3][:5000] + b"\0" * 4096 + logs[3][5000:]
    return logs, sum(g.count(b"\r\nPlayer") + g.startswith(b"Player") for g in games)


def one_round_history():
    s = "Player1:Hanako\r\n** Stroke Begin **\r\n2009/08/24 10:00\r\n*Club Setting*\r\nName: ロペ倶楽部\r\nTee:  1\r\n"
    s += "".join("*Hole %2d\r\n*Player1 %02d\r\n" % (h, 4 + h % 2) for h in range(1, 19))
    return [(s + "** Stroke End **\r\n").encode("cp932")]


# Measures stats.html in frames of the given widths: the page's width and what
# sticks out of it, every text that wraps inside a word (a table cell, a
# caption or a log line on more than one line; elsewhere a run of letters,
# digits and signs on more than one line), the chart labels' sizes and
# overlaps, and for each player of the chart the points drawn inside it.
STATS_PROBE = """<!DOCTYPE html><html><head>
<script>
function lines(rects) {
  var tops = [];
  for (var i = 0; i < rects.length; i++) {
    if (rects[i].width < 0.5) continue;
    var t = Math.round(rects[i].top);
    if (!tops.some(function (u) { return Math.abs(u - t) <= 2; })) tops.push(t);
  }
  return tops.length;
}
function measure(f) {
  var d = f.contentDocument, w = d.documentElement;
  // Folded lists are measured unfolded, as a reader who opens them sees them.
  [].forEach.call(d.querySelectorAll('details'), function (e) { e.open = true; });
  var width = w.clientWidth;
  var r = {frame: +f.width, scroll: w.scrollWidth, client: width, title: d.title, wide: [], wraps: [],
           small: [], overlaps: [], players: [], charts: d.querySelectorAll('svg.trend').length};
  [].forEach.call(d.querySelectorAll('body *'), function (e) {
    var box = e.getBoundingClientRect();
    if (box.right > width + 0.5 && !e.closest('.wide') && !e.closest('details:not([open])'))
      r.wide.push(e.tagName + '.' + e.className.baseVal + e.className);
  });
  [].forEach.call(d.querySelectorAll('.wide'), function (e) {
    if (e.getBoundingClientRect().right > width + 0.5) r.wide.push('scroll box');
  });
  var walk = d.createTreeWalker(d.body, NodeFilter.SHOW_TEXT), n;
  while ((n = walk.nextNode())) {
    var el = n.parentElement;
    if (el.closest('svg') || el.closest('details:not([open])') || !n.data.trim()) continue;
    var whole = el.closest('td,th,figcaption,.logs li,.n');
    var re = whole ? /\S(.*\S)?/g : /[^\s\u3000-\u9fff\uff00-\uffef]+/g, m;
    while ((m = re.exec(n.data))) {
      var range = d.createRange();
      range.setStart(n, m.index);
      range.setEnd(n, m.index + m[0].length);
      if (lines(range.getClientRects()) > 1) r.wraps.push(m[0]);
    }
  }
  [].forEach.call(d.querySelectorAll('svg.trend'), function (svg) {
    var scale = svg.getScreenCTM().a, sb = svg.getBoundingClientRect();
    var texts = [].slice.call(svg.querySelectorAll('text'));
    texts.forEach(function (t, i) {
      var px = parseFloat(t.getAttribute('font-size')) * scale;
      if (px < 12) r.small.push(t.textContent + ' ' + px.toFixed(1));
      var a = t.getBoundingClientRect();
      texts.slice(i + 1).forEach(function (u) {
        var b = u.getBoundingClientRect();
        if (a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom)
          r.overlaps.push(t.textContent + '/' + u.textContent);
      });
    });
    [].forEach.call(svg.querySelectorAll('g.trend-player'), function (g) {
      var seen = 0, pts = g.querySelectorAll('circle.trend-point');
      [].forEach.call(pts, function (c) {
        var b = c.getBoundingClientRect();
        if (b.width > 0 && b.left >= sb.left - 0.5 && b.right <= sb.right + 0.5 && b.top >= sb.top - 0.5 &&
            b.bottom <= sb.bottom + 0.5 && sb.right <= width + 0.5) seen++;
      });
      var cap = svg.parentNode.querySelector('figcaption');
      r.players.push({player: +g.getAttribute('data-player'), rounds: +g.getAttribute('data-rounds'),
                      points: pts.length, seen: seen, legend: cap ? cap.textContent : ''});
    });
  });
  return r;
}
// Each frame is measured in its own load event, which comes before the
// probe's: the DOM is dumped after the probe's load event, so it always
// holds every frame's figures, however slowly the machine lays them out.
var done = 0, out = [];
function framed(f) {
  out[+f.getAttribute('data-i')] = measure(f);
  if (++done == %(count)d) document.getElementById('out').textContent = JSON.stringify(out);
}
</script></head><body style="margin:0"><pre id="out"></pre>
%(frames)s</body></html>
"""


def measure_stats(d, widths):
    """stats.html in folder d measured in frames of the given widths."""
    import html
    import json
    frames = "".join('<iframe data-i="%d" src="stats.html" onload="framed(this)" width="%d" '
                     'style="width:%dpx;height:30000px;border:0;display:block"></iframe>\n'
                     % (i, w, w) for i, w in enumerate(widths))
    with open(os.path.join(d, "probe.html"), "w", encoding="utf-8") as f:
        f.write(STATS_PROBE % {"frames": frames, "count": len(widths)})
    dom = chromium("--allow-file-access-from-files", "--window-size=1100,1000",
                   "--dump-dom", "file://" + os.path.join(d, "probe.html"))
    start, end = dom.find('<pre id="out">'), dom.find("</pre>")
    try:
        return json.loads(html.unescape(dom[start + len('<pre id="out">'):end]))
    except ValueError:
        check(False, "%s/stats.html measured (got %r)" % (os.path.basename(d), dom[start:end][:200]))
        return []


def shots_history(build, out):
    """Two generated logs (the game's shot records after every stroke, putts
    with club codes 70 to 72), overlapping by one log's games: putts, greens
    and every new table are on the page, with more than six players."""
    logs = []
    for seed in ("20091207", "20091208"):
        path = os.path.join(out, "shots-%s.txt" % seed)
        subprocess.run([os.path.join(build, "kestologgen"), seed, "16", path], check=True)
        with open(path, "rb") as f:
            logs.append(f.read())
    return [logs[0], logs[0] + logs[1]]


# Tables of the page that must be there, by a header of theirs, and texts
# that must be said.
NEW_TABLES = ("<th>直近10</th>", "<th>ハンデ目安</th>", "<th>前半</th>", "<th>パーオン</th>", "<th>3パット以上</th>",
              "<th class=\"t\">パー</th>", "<th>平均 (ポイント)</th>")
DEFINED = ("公式のハンディキャップではありません", "<b>パーオン</b> : ", "<b>ハンデ目安</b> : ", "<b>パット</b> : ",
           "<b>前半・後半</b> : ", "<b>バーディ</b> : ", "<b>イーグル</b> : ", "<b>ホールの平均</b> : ")


def stats_pages(build, d, logs):
    """kestocard --stats on the logs (bytes) in folder d; the CSV's lines."""
    os.makedirs(d)
    names = []
    for i, data in enumerate(logs):
        names.append("log%02d.txt" % i)
        with open(os.path.join(d, names[-1]), "wb") as f:
            f.write(data)
    r = subprocess.run([os.path.join(build, "kestocard"), "--stats"] + names, cwd=d, stdout=subprocess.PIPE,
                       stderr=subprocess.PIPE)
    check(r.returncode == 0 and r.stdout.decode().split() == ["rounds.csv", "stats.html"],
          "%s: kestocard --stats writes rounds.csv and stats.html (stderr: %s)"
          % (os.path.basename(d), r.stderr.decode("utf-8", "replace")))
    with open(os.path.join(d, "rounds.csv"), "rb") as f:
        return f.read().decode("utf-8-sig").split("\r\n")


def check_stats(build, out, docs=None):
    """kestocard --stats on four generated histories (three players and 60
    games, one chart; six players and 200 games, a chart each; one round;
    the log generator's games with their shot records, where putts and
    greens are shown), stats.html at 400 and 1000 pixels with every folded
    list opened: nothing wider than the window, no text broken inside a
    word (the new tables too), labels of 12 pixels or more that do not
    overlap, every player's rounds drawn as points inside the chart;
    screenshots of the six-player page."""
    rows = stats_pages(build, os.path.join(out, "stats"), stats_history())
    check(len(rows) == 1 + 60 * 3 + 1 + 1, "rounds.csv: 181 rounds, each game once (%d lines)" % len(rows))
    many, many_rounds = many_history()
    rows = stats_pages(build, os.path.join(out, "stats-many"), many)
    check(len(rows) == 1 + many_rounds + 1 and sum(",'=1+2," in r for r in rows) > 0 and
          not any(",=1+2," in r for r in rows),
          "rounds.csv of 200 games: %d rounds, expected %d; the name \"=1+2\" kept from being a formula"
          % (len(rows) - 2, many_rounds))
    rows = stats_pages(build, os.path.join(out, "stats-one"), one_round_history())
    check(len(rows) == 3, "rounds.csv of one round: %d lines" % len(rows))
    rows = stats_pages(build, os.path.join(out, "stats-shots"), shots_history(build, out))
    head = rows[0].split(",")
    check(head[28:] == ["putts", "gir"] and all(r.split(",")[28].isdigit() for r in rows[1:-1] if r.split(",")[6] == "18"),
          "rounds.csv of logs with shot records: putts and gir after the 28 columns, putts on every 18-hole row")
    with open(os.path.join(out, "stats-shots", "stats.html"), "rb") as f:
        text = f.read().decode("cp932")
    missing = [t for t in NEW_TABLES + DEFINED if t not in text]
    check(not missing, "stats-shots/stats.html: putts, greens, recent form, nines, every course's holes and "
                       "each figure's one-line rule are there (missing: %s)" % missing)
    for name, players in (("stats", 3), ("stats-many", 6), ("stats-one", 1), ("stats-shots", 6)):
        d = os.path.join(out, name)
        for m in measure_stats(d, (400, 1000)):
            what = "%s/stats.html at %d px" % (name, m["frame"])
            check(m["title"] == "成績集計", "%s: title decoded (%r)" % (what, m["title"]))
            check(m["scroll"] <= m["client"] and not m["wide"],
                  "%s: nothing wider than the page (width %d of %d; wider: %s)"
                  % (what, m["scroll"], m["client"], m["wide"][:8]))
            check(not m["wraps"], "%s: no text broken inside a word (broken: %s)" % (what, m["wraps"][:8]))
            check(not m["small"], "%s: chart labels of 12 px or more (smaller: %s)" % (what, m["small"][:8]))
            check(not m["overlaps"], "%s: no chart label over another (%s)" % (what, m["overlaps"][:8]))
            ps = m["players"]
            check(len(ps) == players and sorted(p["player"] for p in ps) == list(range(players)) and
                  all(p["seen"] == p["points"] == p["rounds"] > 0 for p in ps),
                  "%s: each of the %d players has a visible point for every 18-hole round: %s"
                  % (what, players, [(p["player"], p["rounds"], p["points"], p["seen"]) for p in ps]))
            check(m["charts"] == (players if players > 3 else 1),
                  "%s: %d charts (one a player from four players on)" % (what, m["charts"]))
    page = "file://" + os.path.join(out, "stats-many", "stats.html")
    for name, size in (("stats-phone.png", "400,2400"), ("stats-wide.png", "1000,2000")):
        shot = os.path.join(out, name)
        chromium("--window-size=" + size, "--hide-scrollbars", "--screenshot=" + shot, page)
        check(os.path.exists(shot) and os.path.getsize(shot) > 10000, "stats.html: screenshot %s" % shot)
        if docs and os.path.exists(shot):
            shutil.copy(shot, os.path.join(docs, name))


def page_name(path):
    t = time.localtime(os.stat(path).st_mtime)
    return "log%d%02d%02d_%02d%02d.html" % (t.tm_year, t.tm_mon, t.tm_mday, t.tm_hour, t.tm_min)


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--build", required=True)
    ap.add_argument("--out")
    ap.add_argument("--docs", help="also copy the screenshots of stats.html into this folder")
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

    check_stats(build, out, a.docs and os.path.abspath(a.docs))

    print("browser: %d passed, %d failed" % (passed, failed))
    return 0 if failed == 0 else 1


if __name__ == "__main__":
    sys.exit(main())
