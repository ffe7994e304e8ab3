#!/usr/bin/env bash
# Builds the Windows program and its end-to-end helpers into build-win, then
# measures the text files for streaming under Wine (bench/live_latency.py):
# the time from each shot the stand-in game appends to golf.txt to
# live\shot.txt holding it (FILES=1), at INTERVAL=1 and 7, and whether a
# reader ever saw a partial or empty file; with --overlay also the time to
# the overlay page in headless Chromium showing it. Needs the packages of
# scripts/install-deps.sh. Extra arguments go to the benchmark (for example
# --interval 7 --shots 40).
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${KESTO_WIN_BUILD:-$root/build-win}"

cmake -S "$root" -B "$build" \
  -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" \
  -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" -j2 >/dev/null

exec /usr/bin/python3 "$root/bench/live_latency.py" --build "$build" "$@"
