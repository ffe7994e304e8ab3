#!/usr/bin/env bash
# Builds the Windows program and its end-to-end helpers into build-win, then
# measures the burst capture under Wine (bench/capture_burst.py): a 100-frame
# burst of a 640 x 480 area at INTERVAL=7, the median and 95th percentile of
# the frame intervals from the burst log, the time of one grab and of writing
# out 10 frames. Needs the packages of scripts/install-deps.sh. Extra
# arguments go to the benchmark (for example --frames 200 --grabs 100).
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${KESTO_WIN_BUILD:-$root/build-win}"

cmake -S "$root" -B "$build" \
  -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" \
  -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" -j2 >/dev/null

exec /usr/bin/python3 "$root/bench/capture_burst.py" --build "$build" "$@"
