#!/usr/bin/env bash
# Runs every benchmark of the project and prints one table of their figures:
# log parsing and the scorecard page (kesto_bench) and the kestocard process
# on a 4 MiB log (scripts/bench.sh); under Wine on a virtual screen, the
# start-up time of kesto.exe (bench/startup.py), the burst capture (frame
# interval, grab, write-out, peak memory: scripts/bench-capture.sh) and the
# game watcher (append-to-display latency at INTERVAL=1 and 7, idle CPU share
# over 30 s without a game, peak memory: scripts/bench-watch.sh), and the
# animated PNG of a 100-frame burst, natively and under Wine
# (bench/apng_burst.py). Installs
# what is missing first. Each benchmark writes its figures with --json into
# build-bench/all (bench/bench_all.py makes the table of them); their own
# output goes to build-bench/all/bench-all.log. Takes about five minutes.
# Figures off their target are marked MISSED; the exit status is 1 only when
# a benchmark failed.
set -uo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
export KESTO_WIN_BUILD="${KESTO_WIN_BUILD:-$root/build-win}"
out="$root/build-bench/all"
rm -rf "$out"
mkdir -p "$out"
log="$out/bench-all.log"
: >"$out/steps.txt"

step() {
  local name=$1 t0=$SECONDS rc=0
  shift
  echo "bench-all: $name ..." >&2
  echo "=== $name: $*" >>"$log"
  "$@" >>"$log" 2>&1 || rc=$?
  echo "$((SECONDS - t0)) $rc $name" >>"$out/steps.txt"
  [ "$rc" -eq 0 ] || echo "bench-all: $name ended with $rc (see $log)" >&2
}

bash "$root/scripts/install-deps.sh" >>"$log" 2>&1 || { tail -n 20 "$log" >&2; exit 1; }
{ cmake -S "$root" -B "$KESTO_WIN_BUILD" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" \
    -DCMAKE_BUILD_TYPE=Release && cmake --build "$KESTO_WIN_BUILD" -j2; } >>"$log" 2>&1 ||
  { tail -n 30 "$log" >&2; echo "bench-all: the Windows build failed" >&2; exit 1; }

step "kesto_bench+kestocard" bash "$root/scripts/bench.sh" --json "$out/bench.json"
step "start-up" /usr/bin/python3 "$root/bench/startup.py" --build "$KESTO_WIN_BUILD" --json "$out/startup.json"
step "burst" bash "$root/scripts/bench-capture.sh" --json "$out/capture.json"
step "watcher" bash "$root/scripts/bench-watch.sh" --json "$out/watch.json"
step "live files and overlay" bash "$root/scripts/bench-live.sh" --overlay --json "$out/live.json"
step "animated PNG" /usr/bin/python3 "$root/bench/apng_burst.py" --build "$root/build-bench" --win "$KESTO_WIN_BUILD" \
  --json "$out/apng.json"

echo >&2
/usr/bin/python3 "$root/bench/bench_all.py" "$out"
