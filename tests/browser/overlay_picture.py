#!/usr/bin/env python3
"""A picture of the overlay page as a streaming tool shows it: the page in
headless Chromium at 1920x1080 over a background.

    overlay_picture.py --out overlay.png
        a sample game served by the stand-in server (livemock.py), over a
        painted course
    overlay_picture.py --url http://127.0.0.1:8089/ --background game.png --out overlay.png
        the page as kesto.exe serves it, over a screenshot of the game

--view and --scale are passed to the page; --clip X,Y,W,H keeps a part of the
picture.  The picture is taken once the scorebug shows a shot (or, with
--view=board, once the board has a row), within --timeout seconds.
"""
import argparse
import base64
import mimetypes
import os
import sys
import urllib.parse

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import cdp  # noqa: E402
import livemock  # noqa: E402

# A course at dusk, painted with gradients: sky, tree line, fairway stripes.
PAINTED = ("linear-gradient(180deg, #1d3557 0%, #457b9d 38%, #a8c5d6 55%, transparent 55.1%),"
           "radial-gradient(ellipse 40% 6% at 30% 56%, #1f4d2b 0 98%, transparent 100%),"
           "radial-gradient(ellipse 50% 7% at 78% 56%, #245c33 0 98%, transparent 100%),"
           "repeating-linear-gradient(100deg, #3f8f3f 0 120px, #4aa04a 120px 240px)")


def sample(mock):
    mock.game({"course": "ロペ倶楽部", "start": "2009/04/05 20:00:00", "kind": "stroke", "hole": 7, "ended": False})
    pars = [4, 5, 3, 4, 4, 4, 3]
    cards = [("太郎", [4, 5, 3, 3, 4, 5]), ("Hanako", [5, 5, 3, 4, 4, 4]), ("山田花子", [4, 6, 4, 5, 4, 4, 3])]
    board = []
    for i, (name, s) in enumerate(cards):
        board.append({"player": i + 1, "name": name, "strokes": s + [None] * (18 - len(s)), "total": sum(s),
                      "to_par": sum(s) - sum(pars[:len(s)]), "thru": len(s)})
    mock.board(board)
    mock.shot({"player": 1, "name": "太郎", "hole": 7, "club": 50, "power": 82.5, "remaining": 143.6,
               "unit": "m", "text": "143.6m"})


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--out", required=True)
    ap.add_argument("--url", help="the page of a running kesto.exe (default: a stand-in with a sample game)")
    ap.add_argument("--background", help="an image under the page (default: a painted course)")
    ap.add_argument("--view", default="both")
    ap.add_argument("--scale", default="1")
    ap.add_argument("--size", default="1920x1080")
    ap.add_argument("--clip", help="X,Y,W,H of the part to keep")
    ap.add_argument("--timeout", type=float, default=20)
    args = ap.parse_args()
    width, height = (int(v) for v in args.size.split("x"))
    mock = None
    if args.url:
        base = args.url
    else:
        mock = livemock.LiveMock().start()
        sample(mock)
        base = mock.url()
    url = base + ("&" if "?" in base else "?") + urllib.parse.urlencode({"view": args.view, "scale": args.scale})
    try:
        with cdp.Browser() as browser:
            page = browser.open(url, width=width, height=height)
            if args.view == "board":
                page.wait_for("document.querySelectorAll('#board-rows tr').length > 0", args.timeout)
            else:
                page.wait_for("document.getElementById('bug').dataset.seq !== ''", args.timeout)
            page.wait_for("document.getElementById('bug').getAnimations({subtree: true}).length === 0", 5)
            if args.background:
                kind = mimetypes.guess_type(args.background)[0] or "image/png"
                with open(args.background, "rb") as f:
                    data = base64.b64encode(f.read()).decode("ascii")
                bg = "url(data:%s;base64,%s) center / cover no-repeat" % (kind, data)
            else:
                bg = PAINTED
            # The background is the picture's, not the page's: set on the
            # root element from here, as the streaming tool's scene would be.
            page.evaluate("document.documentElement.style.background = %s; document.documentElement.style.minHeight"
                          " = '100vh'" % cdp.json.dumps(bg))
            clip = None
            if args.clip:
                x, y, w, h = (int(v) for v in args.clip.split(","))
                clip = {"x": x, "y": y, "width": w, "height": h}
            page.screenshot(args.out, clip)
            if page.exceptions:
                print("errors in the page: %s" % page.exceptions, file=sys.stderr)
                return 1
    finally:
        if mock:
            mock.stop()
    print(args.out)
    return 0


if __name__ == "__main__":
    sys.exit(main())
