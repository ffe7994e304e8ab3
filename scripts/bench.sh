#!/usr/bin/env bash
# Builds the benchmarks (Release) and runs them five times each, printing the
# median of every benchmark, then times the whole kestocard process on a 4 MiB
# log.  Extra arguments go to kesto_bench.
set -euo pipefail

ROOT="$(cd "$(dirname "$0")/.." && pwd)"
BUILD="$ROOT/build-bench"

LOG="$BUILD/build.log"
mkdir -p "$BUILD"
cmake -S "$ROOT" -B "$BUILD" -DCMAKE_BUILD_TYPE=Release >"$LOG" 2>&1 || { tail -20 "$LOG"; exit 1; }
cmake --build "$BUILD" -j2 --target kesto_bench kestocard kestologgen >>"$LOG" 2>&1 || { tail -30 "$LOG"; exit 1; }
[ -x "$BUILD/kesto_bench" ] || { echo "bench: kesto_bench not built (libbenchmark-dev missing?)"; exit 1; }
cd "$BUILD"
./kesto_bench --benchmark_repetitions=5 --benchmark_report_aggregates_only=true "$@" 2>&1 |
  grep -E '^(Run on|CPU|Load|-|Benchmark|.*_median)' 
python3 "$ROOT/bench/bench_kestocard.py" --build "$BUILD"
