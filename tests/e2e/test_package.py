"""The players' package: what `bash scripts/package.sh` makes from the build
under test, and kesto.exe and kestocard.exe run from a fresh unpacked copy of
it under Wine, that copy's folder being the program folder.
"""

import importlib.util
import os
import subprocess
import zipfile
from pathlib import Path

import pytest

import harness
from harness import TITLE

ROOT = Path(__file__).resolve().parents[2]
# The version the window shows is the one the package must carry.
VERSION = TITLE.removeprefix("KESTO v")
FOLDER = f"kesto-{VERSION}"
FILES = ["kesto.exe", "kestocard.exe", "README-ja.txt", "LICENSE.txt"]
BOM = b"\xef\xbb\xbf"


def _packager():
    found = importlib.util.spec_from_file_location("kesto_package", ROOT / "scripts" / "package.py")
    mod = importlib.util.module_from_spec(found)
    found.loader.exec_module(mod)
    return mod


@pytest.fixture(scope="module")
def package(build, workdir):
    """The zip of the package command, run on the build under test."""
    out = workdir / "dist"
    env = dict(os.environ, KESTO_WIN_BUILD=str(build.dir), KESTO_DIST=str(out))
    r = subprocess.run(["bash", str(ROOT / "scripts" / "package.sh")], env=env, stdin=subprocess.DEVNULL,
                       capture_output=True, text=True, timeout=900)
    assert r.returncode == 0, f"package.sh ended with {r.returncode}: {r.stderr[-2000:]}"
    z = Path(r.stdout.strip().splitlines()[-1])
    assert z == out / f"kesto-{VERSION}-win64.zip", f"package.sh names {z}"
    return z


def _crlf_only(data):
    return data.count(b"\n") == data.count(b"\r\n") == data.count(b"\r") and data.endswith(b"\r\n")


def test_package_contents(package, build):
    with zipfile.ZipFile(package) as z:
        assert z.testzip() is None, "a damaged entry"
        names = z.namelist()
        assert names == [FOLDER + "/"] + [f"{FOLDER}/{f}" for f in FILES], f"entries {names}"
        data = {n.rsplit("/", 1)[1]: z.read(n) for n in names[1:]}
    for exe in ("kesto.exe", "kestocard.exe"):
        assert data[exe] == (build.dir / exe).read_bytes(), f"{exe} differs from the build's"

    readme = data["README-ja.txt"]
    assert readme.startswith(BOM) and not readme[3:].startswith(BOM), "README-ja.txt needs one UTF-8 BOM"
    assert _crlf_only(readme), "README-ja.txt has line ends other than CR LF"
    text = readme[3:].decode("utf-8")
    assert text.startswith(TITLE), f"README-ja.txt begins with {text[:30]!r}"
    assert "@VERSION@" not in text, "a version placeholder was left"
    missing = [f for f in [FOLDER] + FILES if f not in text]
    assert not missing, f"README-ja.txt does not mention {missing}"

    lic = data["LICENSE.txt"]
    assert _crlf_only(lic), "LICENSE.txt has line ends other than CR LF"
    assert lic.replace(b"\r\n", b"\n") == (ROOT / "LICENSE").read_bytes().replace(b"\r\n", b"\n")


def test_package_reproducible(build, tmp_path):
    """The same build and sources give the same zip, byte for byte."""
    pkg = _packager()
    a = pkg.make_package(build.dir, tmp_path / "a")
    b = pkg.make_package(build.dir, tmp_path / "b")
    assert a.name == b.name == f"kesto-{VERSION}-win64.zip"
    assert a.read_bytes() == b.read_bytes(), "two runs made different zips"


def test_package_starts(ctx, package):
    """Unpacked into a fresh folder, kesto.exe started from there opens its
    window, ends with 0 at 終了 and writes its course file there, nowhere
    else; kestocard.exe runs beside it."""
    dest = ctx.folder / "unpacked here"
    with zipfile.ZipFile(package) as z:
        z.extractall(dest)
    home = dest / FOLDER
    assert sorted(p.name for p in home.iterdir()) == sorted(FILES)
    c = harness.Ctx(ctx.wine, (home / "kesto.exe", ctx.probe_exe, ctx.fakegame), home, ctx.shots, ctx.locale)
    proc = c.start_kesto()
    h = c.find_main()
    c.check(c.title(h) == TITLE.encode("cp932"), "title differs")
    c.probe_ok("click", h, 1)
    c.check(c.wait_exit(proc, 20) == 0, "exit code not 0")
    written = sorted(p.name for p in home.iterdir() if p.name not in FILES)
    c.check(written == ["golfcourse.txt"], f"the program folder got {written}, expected golfcourse.txt")
    c.check(sorted(p.name for p in ctx.folder.iterdir()) == ["unpacked here"], "files were written outside")

    rc, out, err = ctx.wine.run(home / "kestocard.exe", ["--help"], cwd=home, timeout=60)
    c.check(rc == 0, f"kestocard.exe --help ended with {rc}: {err.strip()[:300]}")
    c.check("--courses" in out + err, f"kestocard.exe --help printed {(out + err)[:200]!r}")
