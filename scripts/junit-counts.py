#!/usr/bin/env python3
"""Prints "NAME: N passed, N failed[, N skipped]" from a pytest junit xml.

Usage: junit-counts.py NAME JUNIT_XML PYTEST_EXIT_CODE

A test case counts once, with its worst outcome: a failure or an error (also
one in set-up or tear-down) makes it failed. A missing or unreadable file, a
run that collected nothing, or a pytest that ended abnormally (exit code other
than 0 and 1, for example interrupted or a usage error) adds one failure, so
a run that did not happen is never taken for a clean one.
"""

import sys
import xml.etree.ElementTree as ET

name, path, rc = sys.argv[1], sys.argv[2], int(sys.argv[3])
status = {}
extra = 0
try:
    root = ET.parse(path).getroot()
    for tc in root.iter("testcase"):
        key = (tc.get("classname", ""), tc.get("name", ""))
        kinds = {child.tag for child in tc}
        s = 2 if kinds & {"failure", "error"} else 1 if "skipped" in kinds else 0
        status[key] = max(status.get(key, 0), s)
except (OSError, ET.ParseError) as e:
    print(f"{name}: no test result ({e})", file=sys.stderr)
    extra = 1
if not extra and (rc not in (0, 1) or not status):
    print(f"{name}: pytest ended with exit code {rc}, {len(status)} tests reported", file=sys.stderr)
    extra = 1
passed = sum(1 for s in status.values() if s == 0)
failed = sum(1 for s in status.values() if s == 2) + extra
skipped = sum(1 for s in status.values() if s == 1)
line = f"{name}: {passed} passed, {failed} failed"
if skipped:
    line += f", {skipped} skipped"
print(line)
