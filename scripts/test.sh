#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test: native unit
# tests, the scorecard pages of kestocard in headless Chromium, the same unit
# tests under AddressSanitizer/UBSan, the fuzz targets for a bounded
# time, and the end-to-end tests of kesto.exe under Wine in two locales.
# Ends with one summary line "total: N passed, N failed".
set -uo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
jobs=${JOBS:-2}
passed=0
failed=0
notes=()

stage() { echo; echo "=== $* ==="; }

# Adds the counts of a ctest run from its log.
count_ctest() {
  local log=$1 line p f
  line=$(grep -E 'tests passed, [0-9]+ tests? failed out of [0-9]+' "$log" | tail -n 1)
  if [ -z "$line" ]; then
    failed=$((failed + 1)); notes+=("$2: no test result"); return
  fi
  total=$(echo "$line" | sed -E 's/.*out of ([0-9]+).*/\1/')
  f=$(echo "$line" | sed -E 's/.*tests passed, ([0-9]+) tests? failed.*/\1/')
  p=$((total - f))
  passed=$((passed + p)); failed=$((failed + f))
  [ "$f" -eq 0 ] || notes+=("$2: $f failed")
}

stage "packages"
bash scripts/install-deps.sh || { echo "total: 0 passed, 1 failed"; exit 1; }
# Each Wine prefix takes about 700 MB: the free space goes in the log.
free_space() { echo "free disk space: $(df -Pm . | awk 'NR == 2 { print $4 }') MiB here, $(df -Pm "${TMPDIR:-/tmp}" | awk 'NR == 2 { print $4 }') MiB in ${TMPDIR:-/tmp}"; }
free_space

stage "native build and unit tests"
if cmake -S . -B build/native -DCMAKE_BUILD_TYPE=Release >/dev/null && cmake --build build/native -j"$jobs"; then
  ctest --test-dir build/native --output-on-failure -j"$jobs" 2>&1 | tee build/native-ctest.log
  count_ctest build/native-ctest.log "unit"
else
  failed=$((failed + 1)); notes+=("native build failed")
fi

stage "scorecard pages in headless Chromium"
if [ -x build/native/kestocard ]; then
  python3 tests/browser/check_pages.py --build build/native 2>&1 | tee build/browser.log
  line=$(grep -E '^browser: [0-9]+ passed, [0-9]+ failed' build/browser.log | tail -n 1)
  if [ -n "$line" ]; then
    p=$(echo "$line" | sed -E 's/^browser: ([0-9]+) passed.*/\1/')
    f=$(echo "$line" | sed -E 's/^browser: [0-9]+ passed, ([0-9]+) failed.*/\1/')
    passed=$((passed + p)); failed=$((failed + f))
    [ "$f" -eq 0 ] || notes+=("browser: $f failed")
  else
    failed=$((failed + 1)); notes+=("browser: did not run")
  fi
else
  failed=$((failed + 1)); notes+=("browser: kestocard not built")
fi

stage "burst viewer in headless Chromium"
if [ -x build/native/kestocard ]; then
  python3 tests/browser/check_viewer.py --build build/native 2>&1 | tee build/viewer.log
  line=$(grep -E '^viewer: [0-9]+ passed, [0-9]+ failed' build/viewer.log | tail -n 1)
  if [ -n "$line" ]; then
    p=$(echo "$line" | sed -E 's/^viewer: ([0-9]+) passed.*/\1/')
    f=$(echo "$line" | sed -E 's/^viewer: [0-9]+ passed, ([0-9]+) failed.*/\1/')
    passed=$((passed + p)); failed=$((failed + f))
    [ "$f" -eq 0 ] || notes+=("viewer: $f failed")
  else
    failed=$((failed + 1)); notes+=("viewer: did not run")
  fi
fi

stage "sanitizer build and unit tests"
if cmake -S . -B build/asan -DCMAKE_BUILD_TYPE=Debug -DKESTO_SANITIZE=ON >/dev/null && cmake --build build/asan -j"$jobs" --target kesto_unit kestocard kestologgen; then
  ASAN_OPTIONS=detect_leaks=1 ctest --test-dir build/asan --output-on-failure -j"$jobs" 2>&1 | tee build/asan-ctest.log
  count_ctest build/asan-ctest.log "sanitizer"
else
  failed=$((failed + 1)); notes+=("sanitizer build failed")
fi

stage "fuzzing"
if [ -f scripts/fuzz.sh ]; then
  bash scripts/fuzz.sh 2>&1 | tee build/fuzz.log
  p=$(grep -cE '^fuzz [^ ]+: ok$' build/fuzz.log)
  f=$(grep -cE '^fuzz [^ ]+: FAILED' build/fuzz.log)
  [ "$p" -gt 0 ] || { f=$((f + 1)); notes+=("fuzz: no target ran"); }
  passed=$((passed + p)); failed=$((failed + f))
  [ "$f" -eq 0 ] || notes+=("fuzz: $f failed")
fi

stage "Windows build and end-to-end tests under Wine"
bash scripts/e2e.sh 2>&1 | tee build/e2e.log
line=$(grep -E '^e2e: [0-9]+ passed, [0-9]+ failed' build/e2e.log | tail -n 1)
if [ -n "$line" ]; then
  p=$(echo "$line" | sed -E 's/^e2e: ([0-9]+) passed.*/\1/')
  f=$(echo "$line" | sed -E 's/^e2e: [0-9]+ passed, ([0-9]+) failed.*/\1/')
  passed=$((passed + p)); failed=$((failed + f))
  [ "$f" -eq 0 ] || notes+=("e2e: $f failed")
else
  failed=$((failed + 1)); notes+=("e2e: did not run")
fi

stage "the unattended demo (the README's main-job command without a display)"
free_space
if [ -x build/native/kestologgen ] && [ -f "${KESTO_WIN_BUILD:-build-win}/kesto.exe" ]; then
  if /usr/bin/python3 scripts/demo_run.py --build "${KESTO_WIN_BUILD:-build-win}" --native build/native \
       --out build/demo --prefix build/demo-prefix 2>&1 | tee build/demo.log; then
    passed=$((passed + 1))
  else
    failed=$((failed + 1)); notes+=("demo: failed")
  fi
else
  failed=$((failed + 1)); notes+=("demo: not built")
fi

echo
for n in "${notes[@]}"; do echo "note: $n"; done
echo "total: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
