#!/usr/bin/env python3
"""KESTO at work, unattended, on a virtual screen: the road of one game.

KESTO starts under Wine and スタート is pressed; the stand-in game opens and
plays one generated 18-hole game of two players into its golf.txt (a piece
of the log about every second); the shots KESTO's main window shows are
listed; when the game ends golfwatch.txt is kept; a 20-frame burst of the
game window is taken; the capture area dialog shows its frame over the game;
ログ表示 loads golfwatch.txt and "HTM作成" writes the scorecard page, which
headless Chromium renders. Pictures of each step are saved as PNG.

    demo_run.py --build build/win --native build/native --out demo/headless

Every wait is a poll with a deadline. A step that fails says which and the
run ends with exit status 1.
"""
import argparse
import math
import re
import shutil
import subprocess
import sys
import tempfile
import time
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent.parent / "tests" / "e2e"))
import harness  # noqa: E402
from harness import loginit_full, save_png, write  # noqa: E402

GAME = "ゴルフ漬け"
LOCALE = "ja_JP.UTF-8"
FOLLOWING = "golf.txt 監視中"
STARTED = "起動監視をスタートしました"
SHOT_FIELDS = [(1002, "hole"), (1009, "player"), (1008, "club"), (1012, "power"), (1011, "remain")]
PLAY_SECONDS = 30


class StepFailed(Exception):
    pass


def enc(s):
    return s.encode("cp932")


class Demo:
    def __init__(self, args):
        self.args = args
        self.build = Path(args.build).resolve()
        self.native = Path(args.native).resolve()
        self.out = Path(args.out).resolve()
        self.folder = self.out / "kesto"      # KESTO's program folder
        # The stand-in game's folder: KESTO takes a DGPATH of 48 bytes or more
        # that names the GOLFDUKE folder.
        self.gamedir = self.out / "GOLFDUKE" / "the stand-in game's folder"
        self.pictures = []
        self.report = []
        self.xvfb = None
        self.wine = None

    def say(self, text):
        print(text, flush=True)

    def picture(self, name, img_or_bmp):
        png = self.out / name
        if isinstance(img_or_bmp, Path):
            save_png(img_or_bmp, png)
            img_or_bmp.unlink()
        else:
            img_or_bmp.save(png)
        self.pictures.append(png)
        return png

    def screen(self):
        """The whole virtual screen, as Pillow reads ImageMagick's picture."""
        from PIL import Image
        tmp = self.out / "screen.png"
        subprocess.run(["import", "-window", "root", str(tmp)], env=self.wine.env, check=True, timeout=60,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        img = Image.open(tmp).convert("RGB")
        img.load()
        tmp.unlink()
        return img

    # -- the steps
    def prepare(self):
        if self.out.exists():
            shutil.rmtree(self.out)
        self.folder.mkdir(parents=True)
        self.gamedir.mkdir(parents=True)
        self.exes = []
        for exe in ("kesto.exe", "probe.exe", "fakegame.exe"):
            where = [self.build / exe, self.build / "tests" / "e2e" / exe]
            there = [p for p in where if p.is_file()]
            if not there:
                raise StepFailed(f"{exe} is not in {self.build}: build the Windows targets first")
            self.exes.append(there[0])
        self.source = self.out / "game-log.txt"
        subprocess.run([str(self.native / "kestologgen"), "--game", "2", str(self.source)], check=True, timeout=60)
        # The game has written its log's head before the window opens; the
        # rest comes while it plays.
        log = self.source.read_bytes()
        cut = log.index(b"** Stroke Begin **\r\n") + len(b"** Stroke Begin **\r\n")
        self.golf = self.gamedir / "golf.txt"
        self.golf.write_bytes(log[:cut])
        self.rest = self.out / "game-rest.txt"
        self.rest.write_bytes(log[cut:])
        text = loginit_full(harness.winpath(self.folder), dgpath=harness.winpath(self.golf), interval=7)
        write(self.folder / "loginit.txt", text.replace("CAPTUREPAGE=100", "CAPTUREPAGE=20"))
        self.names = re.findall(rb"Player\d:([^\r\n]*)", self.source.read_bytes())[:2]

    def start_screen(self):
        self.xvfb = harness.Xvfb()
        display = self.xvfb.start()
        prefix = Path(self.args.prefix).expanduser().resolve()  # Wine wants an absolute path
        # A Wine virtual desktop over the whole virtual screen, the Japanese
        # faces on the IPA fonts (harness.Wine.configure), also in a prefix
        # made before they were part of it.
        self.wine = harness.Wine(prefix, LOCALE, display)
        if not (prefix / "system.reg").exists():
            self.say("    (a new Wine prefix is made once: about 20 s)")
            self.wine.boot()
        else:
            self.wine.configure()
        self.wine.reset()
        self.ctx = harness.Ctx(self.wine, self.exes, self.folder, self.out, LOCALE)

    def start_kesto(self):
        c = self.ctx
        c.start_kesto()
        self.main = c.find_main()
        c.probe_ok("click", self.main, 1003)
        c.wait_text(self.main, 1005, enc(STARTED), 5000)

    def play(self):
        c = self.ctx
        lines = self.rest.read_bytes().count(b"\n")
        per = math.ceil(lines / PLAY_SECONDS)
        schedule = f"0:waitfile=play.flag,0:every=1000/l{per},0:waitfile=end.flag,0:exit"
        self.game = c.wine.start(c.fakegame, [GAME, harness.winpath(self.rest), harness.winpath(self.golf),
                                              schedule], cwd=self.folder)
        self.gamewin = c.find("FAKEGAME", GAME)
        c.wait_text(self.main, 1004, enc(GAME), 10000)
        c.wait_text(self.main, 1005, enc(FOLLOWING), 15000)
        seen = c.watch([(self.main, cid) for cid, _ in SHOT_FIELDS], (PLAY_SECONDS + 4) * 1000,
                       touch=[(self.folder / "play.flag", 100)])
        # The fields change one after the other: a shot is what they show
        # together once they have all been written.
        now = {}
        shots = []
        for t, cid, text in seen:
            now[cid] = text.decode("cp932", "replace")
            if len(now) == len(SHOT_FIELDS) and all(now.values()):
                snap = tuple(now[k] for k, _ in SHOT_FIELDS)
                if shots and shots[-1][1] == snap:
                    continue
                if shots and t - shots[-1][0] < 50:  # the rest of the same shot's fields
                    shots[-1] = (shots[-1][0], snap)
                else:
                    shots.append((t, snap))
        if len(shots) < 10:
            raise StepFailed(f"the main window showed {len(shots)} shots, expected at least 10")
        self.shots = shots
        bmp = self.out / "main.bmp"
        c.probe_ok("shot", self.main, harness.winpath(bmp))
        self.picture("main-window.png", bmp)

    def game_end(self):
        c = self.ctx
        (self.folder / "end.flag").write_bytes(b"")
        c.wait_exit(self.game, 15, "the stand-in game")
        watch = self.folder / "golfwatch.txt"
        c.wait_until(lambda: watch.is_file() and watch.read_bytes() == self.golf.read_bytes(), 15,
                     "golfwatch.txt was not written as a copy of golf.txt")
        self.golfwatch = watch

    def game_again(self):
        """The game's window once more, for the burst and the capture area."""
        c = self.ctx
        c.start_fakegame(GAME)
        self.gamewin = c.find("FAKEGAME", GAME)
        c.wait_text(self.main, 1005, enc(FOLLOWING), 15000)

    def burst(self):
        c = self.ctx
        c.probe_ok("click", self.main, 1021)
        c.wait_until(lambda: c.probe_ok("check", self.main, 1021)[0].strip() == "1", 3, "連写 was not checked")
        c.probe_ok("clipbmp", 64, 64, "stripes")
        frame = re.compile(r"cap\d{6}/d\d\d_\d{4}_\d\d_\d\d/c\d{5}\.bmp")
        log = re.compile(r"cap\d{6}/d\d\d_\d{4}_\d\d_\d\d/c\d{4}_\d\d_\d{3}\.txt")

        def done():
            files = [p for p in self.folder.rglob("*") if frame.fullmatch(p.relative_to(self.folder).as_posix())]
            logs = [p for p in self.folder.rglob("*") if log.fullmatch(p.relative_to(self.folder).as_posix())]
            if len(files) == 20 and logs and logs[0].read_bytes().count(b"DATA ") == 20:
                return files
            return None
        files = c.wait_until(done, 20, "the burst did not write 20 frames and its log")
        self.burstdir = files[0].parent
        from PIL import Image
        img = Image.open(sorted(files)[-1])
        img.load()
        self.picture("burst-frame.png", img.convert("RGB"))

    def area(self):
        c = self.ctx
        c.probe_ok("click", self.main, 1027)
        dlg = c.find("#32770", "範囲設定")
        c.probe_ok("click", dlg, 1013)

        def frame_on_game():
            owned = [line.split() for line in c.probe_ok("owned", dlg) if line.startswith("win ")]
            if not owned:
                return None
            l, t, r, b = (int(v) for v in owned[0][5:9])
            gl, gt, gr, gb = (int(v) for v in c.probe_ok("rect", self.gamewin)[0].split()[1:5])
            # CUSTOMAREA -31,-5,-5,-5: top, left, bottom, right
            return (l, t, r, b) if (l, t, r, b) == (gl + 5, gt + 31, gr - 5, gb - 5) else None
        fr = c.wait_until(frame_on_game, 5, "the area frame did not settle on the game window")
        time.sleep(0.5)  # the zoom view and the frame's band are painted after the move
        dl, dt, dr, db = (int(v) for v in c.probe_ok("rect", dlg)[0].split()[1:5])
        gl, gt, gr, gb = (int(v) for v in c.probe_ok("rect", self.gamewin)[0].split()[1:5])
        box = (min(dl, gl, fr[0]) - 10, min(dt, gt, fr[1]) - 10, max(dr, gr, fr[2]) + 10, max(db, gb, fr[3]) + 10)
        box = (max(box[0], 0), max(box[1], 0), min(box[2], harness.SCREEN[0]), min(box[3], harness.SCREEN[1]))
        self.picture("area-dialog-and-frame.png", self.screen().crop(box))
        c.probe_ok("click", self.main, 1027)  # closes it
        c.probe_ok("waitgone", dlg, 5000)

    def scorecard(self):
        c = self.ctx
        c.probe_ok("click", self.main, 1013)
        c.probe_ok("openfile", harness.winpath(self.golfwatch), 10000, timeout_s=40)
        dlg = c.find("#32770", "PLAYLOG")
        c.probe_ok("click", dlg, 1001)
        pages = c.wait_until(lambda: sorted(self.folder.glob("log*.html")), 10, "HTM作成 wrote no page")
        self.page = pages[0]
        raw = self.page.read_bytes()
        if raw.count(b"<table") != 1 or not all(n in raw for n in self.names):
            raise StepFailed(f"{self.page.name} does not hold one table with both players")
        # The dialog opens over the main window's lower edge: a click into its
        # (read-only) path field brings it in front, and both are shown.
        edit = [x for x in c.controls(dlg) if x["id"] == 1002][0]["rect"]
        dl, dt, dr, db = (int(v) for v in c.probe_ok("rect", dlg)[0].split()[1:5])
        win = c.fields(c.probe_ok("controls", dlg))["window"]
        cw = int(win.split("client_w=")[1].split()[0])
        ch = int(win.split("client_h=")[1].split()[0])
        border = (dr - dl - cw) // 2
        x = dl + border + edit[0] + edit[2] // 2
        y = db - border - ch + edit[1] + edit[3] // 2
        subprocess.run(["xdotool", "mousemove", str(x), str(y), "click", "1"], env=self.wine.env, timeout=20,
                       check=True)
        time.sleep(0.3)
        ml, mt, mr, mb = (int(v) for v in c.probe_ok("rect", self.main)[0].split()[1:5])
        dl, dt, dr, db = (int(v) for v in c.probe_ok("rect", dlg)[0].split()[1:5])
        box = (max(min(ml, dl) - 4, 0), max(min(mt, dt) - 4, 0), min(max(mr, dr) + 4, harness.SCREEN[0]),
               min(max(mb, db) + 4, harness.SCREEN[1]))
        self.picture("playlog-dialog.png", self.screen().crop(box))
        shot = self.out / "scorecard.png"
        profile = tempfile.mkdtemp(prefix="kesto-chromium-")
        try:
            subprocess.run(["chromium", "--headless", "--no-sandbox", "--disable-gpu", "--no-first-run",
                            "--disable-background-networking", "--disable-component-update", "--disable-sync",
                            "--user-data-dir=" + profile, "--window-size=900,240", "--hide-scrollbars",
                            "--screenshot=" + str(shot), "file://" + str(self.page)],
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=120)
        finally:
            shutil.rmtree(profile, ignore_errors=True)
        if not shot.is_file() or shot.stat().st_size < 10000:
            raise StepFailed("Chromium made no picture of the page")
        self.pictures.append(shot)

    def end(self):
        c = self.ctx
        c.probe_ok("click", self.main, 1)
        proc = c.wine.procs[0]
        c.wait_exit(proc, 15)

    def run(self):
        steps = [
            ("prepare the program folder and a generated game log", self.prepare),
            ("start a virtual screen and Wine", self.start_screen),
            ("start KESTO and press スタート", self.start_kesto),
            (f"the stand-in game plays for about {PLAY_SECONDS} s", self.play),
            ("the game ends and golfwatch.txt is kept", self.game_end),
            ("the game's window once more", self.game_again),
            ("a 20-frame burst of the game window", self.burst),
            ("the capture area dialog and its frame over the game", self.area),
            ("ログ表示 and HTM作成: the scorecard page", self.scorecard),
            ("終了", self.end),
        ]
        began = time.monotonic()
        try:
            for i, (name, fn) in enumerate(steps, 1):
                self.say(f"[{i}/{len(steps)}] {name}")
                try:
                    fn()
                except (StepFailed, harness.CaseFail, subprocess.SubprocessError, OSError) as e:
                    self.say(f"demo: step {i} ({name}) failed: {e}")
                    return 1
        finally:
            if self.wine:
                self.wine.reset()
            if self.xvfb:
                self.xvfb.stop()
        self.say("")
        self.say(f"Shots as KESTO's main window showed them ({len(self.shots)}):")
        for k, (_, (hole, player, club, power, remain)) in enumerate(self.shots, 1):
            self.say(f"  {k:2d}. hole {hole:>2}  player {player}  club {club:>3}  power {power:>6} %  "
                     f"remaining {remain}")
        self.say("")
        self.say(f"golfwatch.txt:   {self.golfwatch}")
        self.say(f"scorecard page:  {self.page}")
        self.say(f"burst folder:    {self.burstdir} (20 BMP files and the timing log)")
        self.say("pictures:")
        for p in self.pictures:
            self.say(f"  {p}")
        self.say(f"demo: done in {time.monotonic() - began:.0f} s")
        return 0


def main():
    ap = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    ap.add_argument("--build", default="build/win", help="folder with kesto.exe, probe.exe and fakegame.exe")
    ap.add_argument("--native", default="build/native", help="folder with kestologgen")
    ap.add_argument("--out", default="demo/headless", help="where the run keeps its files (made anew)")
    ap.add_argument("--prefix", default="~/.wine-kesto-demo", help="the Wine prefix (made when missing)")
    return Demo(ap.parse_args()).run()


if __name__ == "__main__":
    sys.exit(main())
