"""pytest fixtures of the end-to-end tests of kesto.exe under Wine.

One Xvfb and one Wine prefix per locale for the whole session, each started
on first use; the locale is a parameter of the session (test ids [ja_JP] and
[C]), so pytest runs all tests of one locale, then ends that prefix and boots
the next. Every test that takes `ctx` gets a fresh empty program folder and,
afterwards, a prefix without processes (wineserver -k, ours reaped).

Options: --build DIR (the MinGW build folder holding kesto.exe and
tests/e2e/probe.exe and fakegame.exe; default build-win at the top of the
tree) and --keep (keep prefixes and program folders, and say where).
"""

import re
import shutil
import signal
import sys
import tempfile
from pathlib import Path
from types import SimpleNamespace

import pytest

sys.path.insert(0, str(Path(__file__).resolve().parent))
import harness  # noqa: E402

ROOT = Path(__file__).resolve().parents[2]


def pytest_addoption(parser):
    g = parser.getgroup("kesto", "KESTO end-to-end")
    g.addoption("--build", default=str(ROOT / "build-win"),
                help="MinGW build folder with kesto.exe and tests/e2e/*.exe (default: build-win)")
    g.addoption("--keep", action="store_true", help="keep the Wine prefixes and program folders")


def _stop_on_term(signum, frame):
    raise KeyboardInterrupt


def pytest_configure(config):
    # A run ended from outside still tears down its fixtures: Xvfb and the
    # wineservers stop.
    signal.signal(signal.SIGTERM, _stop_on_term)


@pytest.fixture(scope="session")
def build(request):
    """Paths of the build: dir, kesto, probe, fakegame, shots (screenshots).

    kesto.exe is not required here: a test that starts it fails when it is
    missing. The two helpers are required by every Wine test."""
    d = Path(request.config.getoption("--build")).resolve()
    b = SimpleNamespace(dir=d, kesto=d / "kesto.exe", probe=d / "tests" / "e2e" / "probe.exe",
                        fakegame=d / "tests" / "e2e" / "fakegame.exe", shots=d / "e2e-shots")
    return b


@pytest.fixture(scope="session")
def workdir(request):
    work = Path(tempfile.mkdtemp(prefix="kesto-e2e-"))
    yield work
    if request.config.getoption("--keep"):
        print(f"\ne2e: kept {work}", file=sys.stderr)
    else:
        shutil.rmtree(work, ignore_errors=True)


@pytest.fixture(scope="session")
def display():
    x = harness.Xvfb()
    try:
        yield x.start()
    finally:
        x.stop()


@pytest.fixture(scope="session", params=[lc for lc, _ in harness.LOCALES],
                ids=[tag for _, tag in harness.LOCALES])
def wine(request, display, workdir, build):
    """A booted Wine prefix in the locale of the parameter."""
    for f in (build.probe, build.fakegame):
        if not f.is_file():
            pytest.fail(f"{f} is missing (build the Windows targets first)", pytrace=False)
    tag = dict(harness.LOCALES)[request.param]
    w = harness.Wine(workdir / f"prefix-{tag}", request.param, display, verbose=True)
    try:
        w.boot()
    except Exception as e:
        w.reset()
        pytest.fail(f"wineboot in {request.param} failed: {e}", pytrace=False)
    yield w
    w.reset()


@pytest.fixture
def ctx(request, wine, build, workdir):
    # One folder per test id: the module, the name and every parameter
    # (the locale and those of the test itself).
    module = Path(str(request.node.fspath)).stem
    name = re.sub(r"[^0-9A-Za-z_.-]+", "-", request.node.name.removeprefix("test_")).strip("-")
    folder = workdir / "cases" / f"{module}-{name}"
    folder.mkdir(parents=True)
    build.shots.mkdir(exist_ok=True)
    c = harness.Ctx(wine, (build.kesto, build.probe, build.fakegame), folder, build.shots, wine.locale)
    try:
        yield c
    finally:
        wine.reset()
