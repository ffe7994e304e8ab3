#!/usr/bin/env bash
# Builds the Windows program and its end-to-end helpers with MinGW-w64 into
# build-win, then runs the end-to-end cases under Wine in both locales
# (ja_JP.UTF-8 and C.UTF-8). The runner starts its own Xvfb and Wine prefixes.
# Needs the packages of scripts/install-deps.sh. Extra arguments go to the
# runner (for example --case main_window, --locale C.UTF-8, --keep, -v).
# The exit code is the runner's: 0 when every case passed.
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${KESTO_WIN_BUILD:-$root/build-win}"

cmake -S "$root" -B "$build" \
  -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" \
  -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" -j2

exec python3 "$root/tests/e2e/run_e2e.py" --build "$build" "$@"
