#!/usr/bin/env bash
# Builds the benchmarks (Release) and runs them five times each, printing the
# median of every benchmark (the text readers and the scorecard page), then
# times the whole kestocard process on a 4 MiB log.  With --json FILE first,
# also writes the figures to FILE: {"kesto_bench": Google Benchmark's JSON
# (the aggregates), "kestocard": bench/bench_kestocard.py's JSON}.  Other
# arguments go to kesto_bench.
set -euo pipefail

ROOT="$(cd "$(dirname "$0")/.." && pwd)"
BUILD="$ROOT/build-bench"
json=""
if [ "${1:-}" = "--json" ]; then
  [ -n "${2:-}" ] || { echo "bench: --json needs a file" >&2; exit 2; }
  json=$(realpath -m "$2")
  shift 2
fi

LOG="$BUILD/build.log"
mkdir -p "$BUILD"
cmake -S "$ROOT" -B "$BUILD" -DCMAKE_BUILD_TYPE=Release >"$LOG" 2>&1 || { tail -20 "$LOG"; exit 1; }
cmake --build "$BUILD" -j2 --target kesto_bench kestocard kestologgen >>"$LOG" 2>&1 || { tail -30 "$LOG"; exit 1; }
[ -x "$BUILD/kesto_bench" ] || { echo "bench: kesto_bench not built (libbenchmark-dev missing?)"; exit 1; }
cd "$BUILD"
out=()
card=()
if [ -n "$json" ]; then
  out=(--benchmark_out="$BUILD/kesto_bench.json" --benchmark_out_format=json)
  card=(--json "$BUILD/kestocard.json")
  rm -f "$BUILD/kesto_bench.json" "$BUILD/kestocard.json"
fi
./kesto_bench --benchmark_repetitions=5 --benchmark_report_aggregates_only=true "${out[@]}" "$@" 2>&1 |
  grep -E '^(Run on|CPU|Load|-|Benchmark|.*_median)' 
python3 "$ROOT/bench/bench_kestocard.py" --build "$BUILD" "${card[@]}"
if [ -n "$json" ]; then
  python3 - "$BUILD/kesto_bench.json" "$BUILD/kestocard.json" "$json" <<'PY'
import json, sys
bench, card, out = sys.argv[1:]
with open(bench) as b, open(card) as c:
    both = {"kesto_bench": json.load(b), "kestocard": json.load(c)}
with open(out, "w") as f:
    json.dump(both, f, indent=1)
PY
fi
