#!/usr/bin/env python3
"""Puts the built Windows programs into the players' zip.

    package.py --build build-win [--out dist]

Writes OUT/kesto-<version>-win64.zip holding one folder kesto-<version>/ with
kesto.exe and kestocard.exe from the build folder, the players' README
(docs/players/README-ja.txt, @VERSION@ replaced) and the licence (LICENSE), and prints the path
of the zip. The version is the one in the title, KESTO_TITLE in src/kesto.h.
scripts/package.sh builds the programs first; the end-to-end tests call
make_package() on the build they test.

The same inputs give the same bytes: the entries come in a fixed order, with
fixed permissions and the time of SOURCE_DATE_EPOCH, else of the last commit.
"""

import argparse
import os
import re
import subprocess
import sys
import time
import zipfile
from pathlib import Path

ROOT = Path(__file__).resolve().parents[1]
README = Path("docs") / "players" / "README-ja.txt"
BOM = b"\xef\xbb\xbf"


def version(root=ROOT):
    """"0.93" from #define KESTO_TITLE "KESTO v0.93"."""
    text = (Path(root) / "src" / "kesto.h").read_text(encoding="utf-8")
    m = re.search(r'^#define\s+KESTO_TITLE\s+"KESTO v([0-9][0-9A-Za-z.]*)"', text, re.M)
    if not m:
        raise SystemExit("package: no KESTO_TITLE \"KESTO v<version>\" in src/kesto.h")
    return m.group(1)


def for_notepad(data, bom):
    """Text as Notepad shows it right on any Windows: CR LF line ends (the
    Notepad of Windows before 10 shows a bare LF as no line break at all),
    and for Japanese text UTF-8 with a byte order mark. With the mark every
    Notepad since XP reads the file as UTF-8 whatever the system's code page
    is; Shift-JIS would read right only where the code page is 932, and
    UTF-8 without the mark is taken for the ANSI code page by the Notepad of
    Windows 7 and 8 (mojibake on a Japanese system)."""
    if data.startswith(BOM):
        data = data[len(BOM):]
    text = data.decode("utf-8")  # fails loudly on a source that is not UTF-8
    text = text.replace("\r\n", "\n").replace("\r", "\n").replace("\n", "\r\n")
    return (BOM if bom else b"") + text.encode("utf-8")


def source_time(root=ROOT):
    """Seconds since the epoch for every entry of the zip."""
    env = os.environ.get("SOURCE_DATE_EPOCH", "").strip()
    if env.isdigit():
        return int(env)
    try:
        r = subprocess.run(["git", "-C", str(root), "log", "-1", "--format=%ct"], capture_output=True,
                           text=True, timeout=30)
        if r.returncode == 0 and r.stdout.strip().isdigit():
            return int(r.stdout.strip())
    except (OSError, subprocess.TimeoutExpired):
        pass
    return 315532800  # 1980-01-01, the earliest time a zip entry can have


def entries(build, root=ROOT):
    """(name in the folder, bytes, Unix mode) of every file of the package.
    @VERSION@ in the README becomes the version."""
    build, root = Path(build), Path(root)
    out = []
    for exe in ("kesto.exe", "kestocard.exe"):
        p = build / exe
        if not p.is_file():
            raise SystemExit(f"package: {p} is missing (build the Windows targets first)")
        out.append((exe, p.read_bytes(), 0o755))
    readme = (root / README).read_bytes().replace(b"@VERSION@", version(root).encode("ascii"))
    out.append(("README-ja.txt", for_notepad(readme, bom=True), 0o644))
    # The licence is ASCII: CR LF only; the .txt name opens it in Notepad.
    out.append(("LICENSE.txt", for_notepad((root / "LICENSE").read_bytes(), bom=False), 0o644))
    return out


def make_package(build, out, root=ROOT):
    """Writes the zip into the folder out and returns its path."""
    ver = version(root)
    folder = f"kesto-{ver}/"
    out = Path(out)
    out.mkdir(parents=True, exist_ok=True)
    target = out / f"kesto-{ver}-win64.zip"
    stamp = time.gmtime(max(source_time(root), 315532800))[:6]
    files = entries(build, root)
    tmp = target.with_name(target.name + ".part")
    with zipfile.ZipFile(tmp, "w") as z:
        d = zipfile.ZipInfo(folder, stamp)
        d.create_system = 3
        d.external_attr = (0o40755 << 16) | 0x10  # directory, also for Windows
        z.writestr(d, b"")
        for name, data, mode in files:
            info = zipfile.ZipInfo(folder + name, stamp)
            info.create_system = 3
            info.external_attr = (0o100000 | mode) << 16
            info.compress_type = zipfile.ZIP_DEFLATED
            z.writestr(info, data, compress_type=zipfile.ZIP_DEFLATED, compresslevel=9)
    os.replace(tmp, target)
    return target


def main():
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("--build", default=str(ROOT / "build-win"), help="MinGW build folder (default build-win)")
    ap.add_argument("--out", default=str(ROOT / "dist"), help="folder of the zip (default dist)")
    a = ap.parse_args()
    z = make_package(a.build, a.out)
    with zipfile.ZipFile(z) as f:
        for i in f.infolist():
            if not i.is_dir():
                print(f"  {i.filename:32} {i.file_size:9} bytes", file=sys.stderr)
    print(z)
    return 0


if __name__ == "__main__":
    sys.exit(main())
