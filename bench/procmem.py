"""Resident memory of a Windows program that Wine runs as a Linux process.

Wine runs each Windows process as one Linux process. `wine kesto.exe` execs
its loader in the process it was started as, so the pid of that Popen is
normally the program itself, and its command line then names the exe. When
it does not (a wrapper in between), the process is looked for among all:
the one whose first argument is the exe and whose WINEPREFIX is the given
prefix, so another Wine's kesto.exe is never taken.
"""

import os
import re
from pathlib import Path


def _exe_name(arg):
    return re.split(r"[\\/]", arg)[-1].lower()


def _runs(pid, exe):
    try:
        args = Path(f"/proc/{pid}/cmdline").read_bytes().split(b"\0")
    except OSError:
        return False
    return bool(args) and _exe_name(os.fsdecode(args[0])) == Path(exe).name.lower()


def _prefix(pid):
    try:
        env = Path(f"/proc/{pid}/environ").read_bytes().split(b"\0")
    except OSError:
        return None
    for e in env:
        if e.startswith(b"WINEPREFIX="):
            return os.fsdecode(e[len(b"WINEPREFIX="):])
    return None


def linux_pid(started_pid, exe, prefix):
    """The Linux pid running exe (a path) in the Wine prefix, or None."""
    if _runs(started_pid, exe):
        return started_pid
    found = [int(p) for p in os.listdir("/proc") if p.isdigit() and _runs(p, exe)
             and _prefix(p) == str(prefix)]
    return found[0] if len(found) == 1 else None


def memory(pid):
    """{"VmHWM": kB, "VmRSS": kB} of a live process: its peak resident set
    since it started and its resident set now."""
    out = {}
    for line in Path(f"/proc/{pid}/status").read_text().splitlines():
        key, _, value = line.partition(":")
        if key in ("VmHWM", "VmRSS"):
            out[key] = int(value.split()[0])
    if len(out) != 2:
        raise RuntimeError(f"no VmHWM/VmRSS for process {pid}")
    return out
