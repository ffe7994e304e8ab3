#!/usr/bin/env bash
# Builds the Windows program and its end-to-end helpers with MinGW-w64 into
# build-win, then runs the end-to-end tests (tests/e2e, pytest) under Wine in
# both locales (ja_JP.UTF-8 and C.UTF-8); the native kestocard and kestologgen
# are built into build/native for comparison. The tests start their own Xvfb and
# Wine prefixes. Needs the packages of scripts/install-deps.sh. Extra
# arguments go to pytest (for example -k main_window, -k C, --keep, -x).
# Prints "e2e: N passed, N failed" last (errors count as failed; a run that
# collected nothing counts as one failure); the exit code is pytest's.
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${KESTO_WIN_BUILD:-$root/build-win}"
junit="$build/e2e-junit.xml"

cmake -S "$root" -B "$build" \
  -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" \
  -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" -j2
# The native kestocard writes the pages the Windows program's are compared
# with (tests/e2e/test_playlog.py builds it too when run without this script).
native="${KESTO_NATIVE_BUILD:-$root/build/native}"
export KESTO_NATIVE_BUILD="$native"
[ -f "$native/CMakeCache.txt" ] || cmake -S "$root" -B "$native" >/dev/null
cmake --build "$native" -j2 --target kestocard kestologgen >/dev/null

rm -f "$junit"
cd "$root"
rc=0
/usr/bin/python3 -m pytest -p no:cacheprovider -rfE --tb=short --durations=8 \
  --junitxml="$junit" --build "$build" "$root/tests/e2e" "$@" || rc=$?
/usr/bin/python3 "$root/scripts/junit-counts.py" e2e "$junit" "$rc"
exit "$rc"
