#!/usr/bin/env python3
"""kestocard as a user runs it: arguments, exit status, what goes to which
stream, and logs at the size limit.  Run by ctest:

    check_kestocard.py --build BUILD_DIR
"""
import argparse
import json
import os
import re
import shutil
import subprocess
import sys
import tempfile
import time

failures = []


def check(ok, what):
    print(("ok    " if ok else "FAIL  ") + what)
    if not ok:
        failures.append(what)


def game(first, last, course="Panas Island Golf Club"):
    s = "Player1:Taro\r\n** Stroke Begin **\r\n2009/04/05 20:00:00\r\n*Club Setting*\r\nName: %s\r\nTee:  1\r\n" % course
    for h in range(first, last + 1):
        s += "*Hole %2d\r\n*Player1 04\r\n" % h
    return s + "** Stroke End **\r\n"


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--build", required=True)
    build = os.path.abspath(ap.parse_args().build)
    card = os.path.join(build, "kestocard")
    if not os.path.exists(card):
        print("FAIL  %s not built" % card)
        return 1
    work = tempfile.mkdtemp(prefix="kestotest.")
    env = dict(os.environ, LANG="C.UTF-8", LC_ALL="C.UTF-8")

    def run(*args):
        r = subprocess.run([card] + list(args), cwd=work, stdout=subprocess.PIPE, stderr=subprocess.PIPE, env=env)
        return r.returncode, r.stdout.decode("utf-8"), r.stderr.decode("utf-8")

    def put(name, data, minute):
        p = os.path.join(work, name)
        with open(p, "wb") as f:
            f.write(data)
        t = time.mktime((2009, 4, 5, 21, minute, 0, 0, 0, -1))
        os.utime(p, (t, t))
        return "log20090405_21%02d.html" % minute

    def page(name):
        with open(os.path.join(work, name), "rb") as f:
            return f.read()

    try:
        a = put("a.txt", (game(1, 18) + game(1, 9) + game(1, 18)).encode(), 1)
        b = put("b.txt", game(10, 18).encode(), 2)
        put("big.txt", b"\r\n" * 0x200000, 3)  # 4 MiB: refused
        limit = game(1, 18).encode()
        limit += b"\r\n" * ((0x400000 - 1 - len(limit)) // 2) + b"x" * ((0x400000 - 1 - len(limit)) % 2)
        c = put("limit.txt", limit, 4)  # one byte below: read
        os.mkdir(os.path.join(work, "folder.txt"))
        put("unended.txt", game(1, 18).encode()[:-20], 5)

        rc, out, err = run("a.txt", "missing.txt", "big.txt", "b.txt", "folder.txt", "limit.txt", "unended.txt")
        check(rc == 1, "a log that cannot be read makes the exit status 1 (%d)" % rc)
        check(out.split() == [a, b, c], "pages of the readable logs only, in order: %s" % out.split())
        check("missing.txt: cannot open" in err and "folder.txt: cannot open" in err, "unopenable logs are named")
        check("big.txt: the log is too large (4194304 bytes" in err, "a 4 MiB log is refused")
        check("unended.txt: No game: 終了マーク（** Stroke End ** など）のあるゲームがありません" in err,
              "a log without end marker is told")
        check(not os.path.exists(os.path.join(work, "log20090405_2103.html")) and
              not os.path.exists(os.path.join(work, "log20090405_2105.html")), "nothing written for them")
        check("a.txt: HOLES: 9 hole, 18 ホール以下が 1 回。表示しますか？ -> yes" in err,
              "the short-game question and its answer, in UTF-8")
        check("b.txt: HOLES: start hole = 10,last hole = 18" in err, "the first-game notice")
        check(page(a).count(b"<table") == 3, "--short yes (the default) writes the short game")

        rc, out, err = run("--short", "no", "a.txt", "--links")
        check(rc == 0 and out.split() == [a, "linkcc.html"], "--short no and --links: %d %s" % (rc, out.split()))
        check("-> no" in err and page(a).count(b"<table") == 2, "--short no leaves the short game out")
        check(page("linkcc.html").count(b"</a><br>\r\n") == 103, "linkcc.html has 103 links")

        # A course file: the pars of "Pana" (row 101) become all 3.
        courses = subprocess.run([os.path.join(build, "kestologgen"), "--courses", "/dev/stdout"],
                                 stdout=subprocess.PIPE, check=True).stdout
        courses = courses.replace(b"PAR: 4,5,3,4,4,4,3,5,4,4,3,4,5,4,5,4,3,4", b"PAR: " + b",".join([b"3"] * 18))
        with open(os.path.join(work, "golfcourse.txt"), "wb") as f:
            f.write(courses)
        rc, out, err = run("--courses", "golfcourse.txt", "b.txt")
        check(rc == 0 and b"<td><font color=/000000> 54 </font></td>" in page(b), "--courses takes the pars")
        rc, out, err = run("--courses", "nothere.txt", "b.txt")
        check(rc == 2 and "cannot read the course file" in err, "an unreadable course file stops at once")

        # A log whose only game ended before its first hole: told what was
        # found, no page, status 1.
        put("nohole.txt", game(1, 0).encode(), 6)
        rc, out, err = run("nohole.txt")
        check(rc == 1 and out == "" and "nohole.txt: No game: 終了したゲームはありますが、ホールの記録がありません" in err,
              "a log with an end marker but no hole: %d %r" % (rc, err))
        check(not os.path.exists(os.path.join(work, "log20090405_2106.html")), "no page for it")
        # Passed over before a game with holes, whose page is written.
        e = put("e.txt", (game(1, 0) + game(1, 18)).encode(), 7)
        rc, out, err = run("e.txt")
        check(rc == 0 and out.split() == [e] and page(e).count(b"<table") == 1 and "start hole" not in err,
              "an empty first game is passed over: %d %r" % (rc, err))

        d = put("d.txt", game(1, 18).encode(), 1)
        rc, out, err = run("a.txt", "d.txt")
        check(rc == 0 and out.split() == [a, d] and "replaces the page of an earlier log" in err,
              "two logs of one minute: the later page replaces the earlier, with a warning")

        rc, out, err = run("--help")
        check(rc == 0 and out.startswith("usage: kestocard") and "HTM作成" in out, "--help")
        rc, out, err = run()
        check(rc == 2 and "no log given" in err, "no log: usage, status 2")
        rc, out, err = run("--short", "maybe", "a.txt")
        check(rc == 2 and "--short takes yes or no" in err, "a wrong --short value")

        # --stats: the readable logs count, the others are named; --courses as for pages.
        rc, out, err = run("--stats", "--courses", "golfcourse.txt", "a.txt", "big.txt", "missing.txt", "b.txt",
                           "d.txt")
        check(rc == 1 and out.split() == ["rounds.csv", "stats.html"],
              "--stats with skipped logs: the two files, status 1 (%d %s)" % (rc, out.split()))
        check("big.txt: the log is too large" in err and "missing.txt: cannot read" in err, "--stats names skipped logs")
        rows = page("rounds.csv").decode("utf-8-sig").split("\r\n")
        # a.txt: three games, the two of 18 holes the same; b.txt: holes 10-18; d.txt: a.txt's again.
        check(len(rows) == 1 + 3 + 1, "--stats: each game once (%d lines)" % len(rows))
        check(",Panas Island Golf Club,stroke,Taro,18,72,54,18," in page("rounds.csv").decode("utf-8-sig"),
              "--stats takes the pars of --courses")
        check("big.txt : " in page("stats.html").decode("cp932"), "stats.html lists the skipped log")
        os.remove(os.path.join(work, "stats.html"))
        # --live: the board at the end of generated logs is the last table of their scorecard page.
        gen = os.path.join(build, "kestologgen")
        for seed in range(1, 9):
            log = "gen%d.txt" % seed
            subprocess.run([gen, str(seed), "3", os.path.join(work, log)], check=True, stdout=subprocess.DEVNULL)
            rc, out, err = run("--live", log)
            check(rc == 0 and out.endswith("\n") and out.count("\n") == 1, "--live prints one line (%d %s)" % (rc, err))
            state = json.loads(out)
            rc, out, err = run("--short", "yes", log)
            table = page(out.split()[-1]).decode("cp932").split("<table")[-1]
            rows = []
            for row in re.findall(r"<tr>(.*?)</tr>", table, re.S):
                cells = [re.sub(r"<[^>]*>", "", c).strip() for c in re.findall(r"<td[^>]*>(.*?)</td>", row, re.S)]
                if cells and cells[0] not in ("\u30db\u30fc\u30eb", "PAR"):
                    rows.append(cells)
            board = state["board"]
            check([r[0] for r in rows] == [b["name"] for b in board],
                  "--live names as the page's last table (seed %d): %s %s" % (seed, [r[0] for r in rows], board))
            for r, b in zip(rows, board):
                if b["to_par"] is not None:
                    check(int(r[-1]) == b["to_par"], "--live to-par as the page (seed %d): %s %s" % (seed, r, b))
                check(sum(1 for x in r[1:19] if x) == b["thru"], "--live thru as the page (seed %d): %s %s" % (seed, r, b))
            check(state["game"]["ended"] is True and state["seq"] > 0, "--live at a log's end (seed %d)" % seed)
        rc, out, err = run("--live", "a.txt", "b.txt")
        check(rc == 2 and "--live takes one log" in err, "--live with two logs: status 2")
        rc, out, err = run("--stats", "unended.txt")
        check(rc == 1 and out == "" and "no finished game" in err and not os.path.exists(os.path.join(work, "stats.html")),
              "--stats without a finished game writes nothing, status 1")
    finally:
        shutil.rmtree(work, ignore_errors=True)
    print("%d failed" % len(failures))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
