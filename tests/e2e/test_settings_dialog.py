"""End-to-end tests of the settings dialog under Wine: opening and closing it,
its three options, choosing the game's golf.txt in the system open-file
dialog, saving loginit.txt, the backup of the game's files, and a new user's
whole path from an empty program folder to watching the game.

The stand-in game's files live in a folder whose name holds "GOLFDUKE", deep
enough that its golf.txt path passes the settings reader's test (at least 48
characters with "GOLFDUKE" in it) at the next start.
"""

import os
import time

from harness import loginit_full, shot_lines, shot_record, show, write

CAPTION = "設定"
STATUS_STARTED = "起動監視をスタートしました"
STATUS_FOLLOWING = "golf.txt 監視中"
MSG_SAVED = "環境データを ファイル名 loginit.txt で保存しました"
MSG_COPY = ("user.db と、replay.db はそのまま\r\ngolf.txt を {name} で以下のフォルダにコピーしますか？"
            "\r\n\r\n{day}")
MSG_FAILED = "次のファイルをコピーできませんでした。\r\n"

# The dialog's controls: id, kind, text.
SETTINGS_CONTROLS = [
    (1020, "check", "起動時コースデータを読みます"),
    (1021, "check", "終了時コースデータを書きます"),
    (1023, "check", "ＩＥを自動起動します"),
    (1013, "button", "GOLFDUKE フォルダ設定"),
    (1002, "edit", ""),
    (1001, "button", "設定保存"),
    (1003, "button", "バックアップ"),
    (1006, "button", "終了"),
]

GAME_LOG = b"*Hole 1\r\n*Player1 03\r\n"
USER_DB = bytes(range(256)) * 4
REPLAY_DB = b"REPLAY\x00\x01\x02" * 100


def make_game(ctx):
    """The stand-in game's folder with golf.txt, user.db and replay.db."""
    game = ctx.folder / "GOLFDUKE_game" / "data"
    game.mkdir(parents=True)
    (game / "golf.txt").write_bytes(GAME_LOG)
    (game / "user.db").write_bytes(USER_DB)
    (game / "replay.db").write_bytes(REPLAY_DB)
    golf = ctx.winpath(game / "golf.txt")
    ctx.check(len(golf) >= 48 and "GOLFDUKE" in golf, f"{golf} would not pass the settings reader")
    return game


def open_settings(ctx, h):
    ctx.probe_ok("click", h, 1001)
    return ctx.find("#32770", CAPTION, 5000)


def checks(ctx, d):
    return [int(ctx.probe_ok("check", d, cid)[0]) for cid in (1020, 1021, 1023)]


def choose(ctx, d, path):
    """Presses "GOLFDUKE フォルダ設定" and chooses path (None: cancels)."""
    ctx.probe_ok("click", d, 1013)
    f = ctx.fields(ctx.probe_ok("openfile", ctx.winpath(path) if path else "-", 10000, timeout_s=40))
    ctx.check(f.get("owner") == d, f"the open-file dialog is owned by {f.get('owner')}, expected {d}")
    ctx.check(f.get("types") == "1" and bytes.fromhex(f.get("type0cp932", "")) == "テキスト(*.txt)".encode("cp932"),
              f"file types {f.get('types')} \"{f.get('type0utf8')}\", expected only \"テキスト(*.txt)\"")


def save(ctx, d):
    ctx.probe_ok("click", d, 1001)
    ctx.expect_msgbox(MSG_SAVED, "Write OK", "information", owner=d)
    ctx.answer(1)


def start_and_check(ctx, h):
    """スタート starts watching without a message."""
    ctx.probe_ok("click", h, 1003)
    ctx.wait_text(h, 1005, STATUS_STARTED.encode("cp932"), 5000)
    ctx.no_msgbox(1500)


def follows_chosen_log(ctx, h, golf):
    """The stand-in game's window opens and the watcher follows the golf.txt
    that was chosen: its length shows in ログ長さ. (The length is written
    after the status line, so it is waited for itself.)"""
    ctx.start_fakegame("ゴルフ漬け", "-", golf, "0:release")
    ctx.wait_text(h, 1005, STATUS_FOLLOWING.encode("cp932"), 15000)
    ctx.wait_text(h, 1007, str(len(GAME_LOG)).encode(), 5000)


def quit_kesto(ctx, proc, h):
    ctx.probe_ok("click", h, 1)
    ctx.check(ctx.wait_exit(proc, 20) == 0, "exit code not 0")


def test_settings_dialog_opens_and_closes(ctx):
    write(ctx.folder / "loginit.txt", loginit_full(ctx.winpath(ctx.folder), read_course=1, save_course=0))
    ctx.start_kesto()
    h = ctx.find_main()
    d = open_settings(ctx, h)
    ctls = {c["id"]: c for c in ctx.controls(d)}
    for cid, kind, text in SETTINGS_CONTROLS:
        c = ctls.get(cid)
        ctx.check(c is not None and c["visible"], f"no visible control {cid}")
        ctx.check(c["text"] == text.encode("cp932"), f"control {cid} reads \"{show(c['text'])}\", expected \"{text}\"")
        cls = c["class"].lower()
        if kind == "check":
            ctx.check(cls == "button" and c["style"] & 0xF == 3, f"control {cid} is not an auto check box")
        elif kind == "button":
            ctx.check(cls == "button" and c["style"] & 0xF in (0, 1), f"control {cid} is not a push button")
        else:
            ctx.check(cls == "edit", f"control {cid} is a {c['class']}, not an edit")
    ctx.check(checks(ctx, d) == [1, 0, 0], f"check boxes {checks(ctx, d)}, expected READ_COURSE only")

    # A second press of 設定 is 終了: the dialog closes and keeps the boxes.
    ctx.probe_ok("click", d, 1021)
    ctx.wait_until(lambda: checks(ctx, d) == [1, 1, 0], 5, "the check box did not tick")
    ctx.probe_ok("click", h, 1001)
    ctx.probe_ok("waitgone", d, 5000)
    d = open_settings(ctx, h)
    ctx.check(checks(ctx, d) == [1, 1, 0], f"check boxes {checks(ctx, d)} after 終了, expected [1, 1, 0]")

    # The close box and Esc close it without taking them.
    ctx.probe_ok("click", d, 1020)
    ctx.wait_until(lambda: checks(ctx, d) == [0, 1, 0], 5, "the check box did not clear")
    ctx.probe_ok("close", d)
    ctx.probe_ok("waitgone", d, 5000)
    d = open_settings(ctx, h)
    ctx.check(checks(ctx, d) == [1, 1, 0], f"check boxes {checks(ctx, d)} after the close box, expected [1, 1, 0]")
    ctx.probe_ok("click", d, 1023)
    ctx.wait_until(lambda: checks(ctx, d) == [1, 1, 1], 5, "the check box did not tick")
    ctx.probe_ok("key", d, "esc")
    ctx.probe_ok("waitgone", d, 5000)
    d = open_settings(ctx, h)
    ctx.check(checks(ctx, d) == [1, 1, 0], f"check boxes {checks(ctx, d)} after Esc, expected [1, 1, 0]")
    ctx.probe_ok("click", h, 1001)
    ctx.probe_ok("waitgone", d, 5000)
    ctx.no_msgbox(500)


def test_choose_save_and_restart(ctx):
    game = make_game(ctx)
    golf = ctx.winpath(game / "golf.txt")
    write(ctx.folder / "loginit.txt", loginit_full(ctx.winpath(ctx.folder)))
    proc = ctx.start_kesto()
    h = ctx.find_main()
    d = open_settings(ctx, h)
    ctx.check(ctx.text(d, 1002) == b"", "the path field is not empty at first")
    choose(ctx, d, game / "golf.txt")
    ctx.wait_text(d, 1002, golf.encode("cp932"), 5000)
    # Cancelling the next choice changes nothing.
    choose(ctx, d, None)
    ctx.no_msgbox(500)
    ctx.check(ctx.text(d, 1002) == golf.encode("cp932"), "cancelling changed the path field")
    save(ctx, d)
    ini = (ctx.folder / "loginit.txt").read_bytes()
    ctx.check(f"\r\nDGPATH={golf}\r\n".encode("cp932") in ini, f"loginit.txt holds no DGPATH={golf}: {ini!r}")
    ctx.check(ini.startswith(b"// loginit.txt\r\n") and ini.count(b"\r\n") == 14, f"loginit.txt: {ini!r}")
    quit_kesto(ctx, proc, h)

    # The next start reads it: スタート watches, and the game found is
    # followed in the chosen golf.txt.
    ctx.start_kesto()
    h = ctx.find_main()
    start_and_check(ctx, h)
    follows_chosen_log(ctx, h, golf)


def test_backup(ctx):
    game = make_game(ctx)
    golf = game / "golf.txt"
    t = time.mktime((2009, 4, 5, 21, 7, 45, 0, 0, -1))
    os.utime(golf, (t, t))
    write(ctx.folder / "loginit.txt", loginit_full(ctx.winpath(ctx.folder), dgpath=ctx.winpath(golf)))
    ctx.start_kesto()
    h = ctx.find_main()
    d = open_settings(ctx, h)
    month = ctx.winpath(ctx.folder / "ym200904")
    day = month + "\\d05"
    question = MSG_COPY.format(name="golf05_2107_45.txt", day=day)

    ctx.probe_ok("click", d, 1003)
    b = ctx.expect_msgbox(f"{month} フォルダを作成しますか？", "DIR", "information", owner=d)
    ctx.check(b["buttons"] == [6, 7], f"buttons {b['buttons']}, expected Yes and No")
    ctx.answer(6)
    ctx.expect_msgbox(question, "DIR", "information", owner=d)
    ctx.answer(6)
    target = ctx.folder / "ym200904" / "d05"
    want = {"golf05_2107_45.txt": GAME_LOG, "user.db": USER_DB, "replay.db": REPLAY_DB}

    def copied():
        return all((target / n).is_file() and (target / n).read_bytes() == v for n, v in want.items())

    ctx.wait_until(copied, 10, f"the backup in {target} is not whole: "
                               f"{sorted(p.name for p in target.iterdir()) if target.exists() else 'no folder'}")
    ctx.no_msgbox(1000)

    # Again without replay.db: the month folder is there, the copies replace
    # the first ones, and the missing one is named.
    (game / "replay.db").unlink()
    (game / "user.db").write_bytes(b"NEWER")
    os.utime(golf, (t, t))
    ctx.probe_ok("click", d, 1003)
    ctx.expect_msgbox(question, "DIR", "information", owner=d)
    ctx.answer(6)
    ctx.expect_msgbox(MSG_FAILED + "\r\n" + ctx.winpath(game / "replay.db") + "\r\nファイルが見つかりません (エラー 2)",
                      "DIR", "error", owner=d)
    ctx.answer(1)
    ctx.check((target / "user.db").read_bytes() == b"NEWER", "user.db was not replaced")
    ctx.check(sorted(p.name for p in target.iterdir()) == sorted(want), "other files in the day folder")


def test_backup_month_folder_no(ctx):
    game = make_game(ctx)
    write(ctx.folder / "loginit.txt", loginit_full(ctx.winpath(ctx.folder), dgpath=ctx.winpath(game / "golf.txt")))
    ctx.start_kesto()
    h = ctx.find_main()
    d = open_settings(ctx, h)
    ctx.probe_ok("click", d, 1003)
    b = ctx.msgbox()
    ctx.check(b["text"].endswith(" フォルダを作成しますか？".encode("cp932")), f"first question \"{show(b['text'])}\"")
    ctx.answer(7)
    ctx.expect_msgbox("バックアップを中止しました。", "バックアップ", "information", owner=d)
    ctx.answer(1)
    ctx.check(not any(p.name.startswith("ym") for p in ctx.folder.iterdir()), "a month folder was made")


def test_backup_refused_without_settings(ctx):
    ctx.start_kesto()
    h = ctx.find_main()
    d = open_settings(ctx, h)
    ctx.probe_ok("click", d, 1003)
    b = ctx.expect_msgbox("環境設定が正しくないか、読み込まれていません", "Error", "error", owner=d)
    ctx.check(b["buttons"] == [6, 7], f"buttons {b['buttons']}, expected Yes and No")
    ctx.answer(7)
    ctx.no_msgbox(500)


def test_new_user_path(ctx):
    """From an empty program folder: 設定, choose golf.txt, 設定保存, 終了,
    スタート; after a restart スタート works again."""
    game = make_game(ctx)
    golf = ctx.winpath(game / "golf.txt")
    ctx.check(sorted(p.name for p in ctx.folder.iterdir()) == ["GOLFDUKE_game"], "the program folder is not empty")
    proc = ctx.start_kesto()
    h = ctx.find_main()
    d = open_settings(ctx, h)
    choose(ctx, d, game / "golf.txt")
    ctx.wait_text(d, 1002, golf.encode("cp932"), 5000)
    save(ctx, d)
    ctx.probe_ok("click", d, 1006)
    ctx.probe_ok("waitgone", d, 5000)
    start_and_check(ctx, h)
    follows_chosen_log(ctx, h, golf)
    quit_kesto(ctx, proc, h)
    ctx.wine.reset()

    # After a restart the saved DGPATH is read back: the chosen golf.txt is
    # the one followed.
    ini = (ctx.folder / "loginit.txt").read_bytes()
    ctx.check(f"\r\nDGPATH={golf}\r\n".encode("cp932") in ini, f"loginit.txt holds no DGPATH={golf}: {ini!r}")
    ctx.start_kesto()
    h = ctx.find_main()
    start_and_check(ctx, h)
    follows_chosen_log(ctx, h, golf)


def test_long_japanese_game_path_survives_save_and_restart(ctx):
    """A game folder more than 160 bytes deep (CP932), named in Japanese: the
    game is followed at the first start, 設定保存 writes the path whole, and
    after a restart it is followed again."""
    gamedir = ctx.folder / "ゴルフ漬けのインストール先" / "GOLFDUKE ゴルフ漬け 特盛り" / "ゲームのデータを置くフォルダ"
    while len(ctx.winpath(gamedir / "golf.txt").encode("cp932")) <= 160:
        gamedir = gamedir / "保存用のフォルダ"
    gamedir.mkdir(parents=True)
    golf = gamedir / "golf.txt"
    golf.write_bytes(b"** Stroke Begin **\r\n2026/12/08 10:00\r\n*Hole  1\r\n")
    dgpath = ctx.winpath(golf)
    write(ctx.folder / "loginit.txt", loginit_full(ctx.winpath(ctx.folder), dgpath=dgpath))

    def follow_and_show(h, metres):
        start_and_check(ctx, h)
        ctx.find("FAKEGAME", "ゴルフ漬け", 15000)
        ctx.wait_text(h, 1005, STATUS_FOLLOWING.encode("cp932"), 15000)
        with golf.open("ab") as f:
            f.write(b"*Player1 03\r\n" + shot_lines(shot_record(5, remain=metres)))
        ctx.wait_text(h, 1011, f"{metres:.1f}m".encode("ascii"), 5000)

    proc = ctx.start_kesto()
    h = ctx.find_main()
    ctx.start_fakegame("ゴルフ漬け")
    follow_and_show(h, 123.4)
    d = open_settings(ctx, h)
    save(ctx, d)
    ini = (ctx.folder / "loginit.txt").read_bytes()
    ctx.check(f"\r\nDGPATH={dgpath}\r\n".encode("cp932") in ini,
              f"loginit.txt does not hold the whole DGPATH ({len(dgpath.encode('cp932'))} bytes): {show(ini)}")
    quit_kesto(ctx, proc, h)

    ctx.start_kesto()
    h = ctx.find_main()
    follow_and_show(h, 45.6)
    ctx.no_msgbox(500)
