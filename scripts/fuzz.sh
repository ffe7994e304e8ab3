#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs them for FUZZ_BUDGET
# seconds in all (default 240), shared equally, or each for FUZZ_SECONDS when
# that is set, over seeds made by the native kestologgen and the seeds below.
# Installs nothing:
# scripts/install-deps.sh must have run.  Prints one line per target,
# "fuzz <name>: ok" or "fuzz <name>: FAILED", and exits non-zero on any finding.
set -uo pipefail

ROOT="$(cd "$(dirname "$0")/.." && pwd)"
TARGETS="parseshot parsegame settings courses pages capture watch rounds livesettings burstdir request bmpapng"
set -- $TARGETS
SECONDS_EACH="${FUZZ_SECONDS:-$(( ${FUZZ_BUDGET:-240} / $# ))}"
JOBS="${FUZZ_JOBS:-2}"
NATIVE="$ROOT/build-fuzz-native"
FUZZ="$ROOT/build-fuzz"
LOGS="$FUZZ/logs"

fail() { echo "fuzz: $*" >&2; exit 1; }

# Seeds come from the native generator (GCC: real Shift-JIS names).
mkdir -p "$NATIVE" "$FUZZ"
cmake -S "$ROOT" -B "$NATIVE" -DCMAKE_BUILD_TYPE=Release >"$NATIVE/build.log" 2>&1 ||
  { tail -20 "$NATIVE/build.log" >&2; fail "native configure failed"; }
cmake --build "$NATIVE" -j"$JOBS" --target kestologgen >>"$NATIVE/build.log" 2>&1 ||
  { tail -20 "$NATIVE/build.log" >&2; fail "native build of kestologgen failed"; }
GEN="$NATIVE/kestologgen"

cmake -S "$ROOT" -B "$FUZZ" -DKESTO_FUZZ=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_CXX_COMPILER=clang++ >"$FUZZ/build.log" 2>&1 ||
  { tail -20 "$FUZZ/build.log" >&2; fail "fuzz configure failed"; }
cmake --build "$FUZZ" -j"$JOBS" >>"$FUZZ/build.log" 2>&1 ||
  { tail -30 "$FUZZ/build.log" >&2; fail "fuzz build failed"; }

mkdir -p "$LOGS"
rm -rf "$FUZZ/artifacts"  # findings of earlier runs are not this run's
for t in $TARGETS; do mkdir -p "$FUZZ/corpus/$t" "$FUZZ/artifacts/$t"; done

# Logs: whole generated games for the game parse; the shot parse gets single
# games and a tail of one (its stretches are appended pieces).
"$GEN" 1 1 "$FUZZ/corpus/parsegame/gen1" || fail "kestologgen failed"
"$GEN" 2 2 "$FUZZ/corpus/parsegame/gen2"
"$GEN" 3 0 "$FUZZ/corpus/parsegame/gen3" 200000
"$GEN" 4 1 "$FUZZ/corpus/parseshot/gen4"
tail -c 4000 "$FUZZ/corpus/parsegame/gen2" >"$FUZZ/corpus/parseshot/tail"
printf '\x80*Hole  3\r\n*Player2 04\r\nShotData:\r\n00 01 02 03\r\n' >"$FUZZ/corpus/parseshot/short"
printf 'Player1:A\r\n** PointBattle Resume **\r\nx\r\n*Hole  2\r\n Stage1:s\r\n*Player1 03\r\nEnd Program(0)\r\n' \
  >"$FUZZ/corpus/parsegame/short"
"$GEN" 7 3 "$FUZZ/corpus/rounds/gen7"
printf 'Player1:A,"B"\r\n** Stroke Begin **\r\n2009/4/5 9:07\r\n*Hole  1\r\n*Player1 03\r\n** Stroke End **\r\n' \
  >"$FUZZ/corpus/rounds/short"
"$GEN" --settings 5 "$FUZZ/corpus/settings/gen5"
"$GEN" --settings 6 "$FUZZ/corpus/settings/gen6"
printf 'HOME=C:\\K\nINTERVAL=8\nDEFAULTAREA=600,-599\nSELECTCAPKEY=F12\n' >"$FUZZ/corpus/settings/short"
printf '// live.txt\r\nFILES=1\r\nSERVER=0\r\nPORT=8089\r\n' >"$FUZZ/corpus/livesettings/written"
printf 'FILES=2\nPORT=65536\nSERVER=\n' >"$FUZZ/corpus/livesettings/damaged"
# Burst logs: the first byte is where the text is cut in two.
printf '\x40disk free = 5 MB\r\nDATA c00001.bmp Tic=  0 ms date 20090405_14:03_22.187\r\nDATA c00002.bmp Tic= 94 ms date 20090405_14:03_22.281\r\nDATA c00003.bmp Tic=      1,500 ms date 20090405_14:03_23.781\r\n' \
  >"$FUZZ/corpus/burstdir/written"
printf '\x80DATA c00002.bmp Tic=-3 ms\rDATA c00001.bmp Tic= 1 ms\nDATA c00005.bmp Tic=12,34 ms\nDATA c99999.bmp Tic=9999999999,999 ms' \
  >"$FUZZ/corpus/burstdir/damaged"
# Requests: port 8089 (first byte odd, second bit clear), then the bytes.
printf '\x01\0GET /events HTTP/1.1\r\nHost: 127.0.0.1:8089\r\nLast-Event-ID: 12\r\n\r\n' >"$FUZZ/corpus/request/events"
printf '\x01\0GET /burst/%%2e%%2e/x?view=board HTTP/1.0\r\nHost: localhost:8089\r\n\r\n' >"$FUZZ/corpus/request/dots"
printf '\x03\0HEAD / HTTP/1.1\r\nhost: LOCALHOST\r\nX: \x83\x5c\r\n\r\n' >"$FUZZ/corpus/request/port80"
printf '\x01\0\x16\x03\x01\x02\0\x01\0\x01\xfc\x03\x03' >"$FUZZ/corpus/request/tls"
# Frame files: a 24-bit capture of 3 x 2 and a top-down 32-bit picture.
printf 'BM\x4e\0\0\0\0\0\0\0\x36\0\0\0\x28\0\0\0\x03\0\0\0\x02\0\0\0\x01\0\x18\0\0\0\0\0\x18\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\x01\x02\x03\x04\x05\x06\x07\x08\x09\0\0\0\xff\0\0\0\xff\0\0\0\xff\0\0\0' \
  >"$FUZZ/corpus/bmpapng/capture"
printf 'BM\x46\0\0\0\0\0\0\0\x36\0\0\0\x28\0\0\0\x02\0\0\0\xfe\xff\xff\xff\x01\0\x20\0\0\0\0\0\x10\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\x10\x20\x30\x40\x50\x60\x70\x80\x11\x21\x31\x41\x51\x61\x71\x81' \
  >"$FUZZ/corpus/bmpapng/topdown32"
"$GEN" --courses "$FUZZ/corpus/courses/builtin"
printf 'COURSENO: 2,8\r\nNAME: "Rope"\r\nPAR: 3,3,3\r\nKEYWORD: "Ro,pe"\r\n' >"$FUZZ/corpus/courses/short"

# Page texts between zero bytes: names, course, start, link, stages, then
# course names and addresses; Shift-JIS, markup and lead bytes before it.
printf 'Taro\0\x83\x8d\x83\x79\0A&B "Q"\0\x81<b>x</b>\0\x8e\x44\x96\x79 <i>\0start\x81\0http://x/?a=1&b=2\0s1\0\x95\x5c\x8e\xa6\0\x81"\0\x81&\0\x81>\0\xe0<\0name\0web' \
  >"$FUZZ/corpus/pages/texts"
# Clipboard headers: width, height, planes and bits, compression, image size,
# then the game window's left, top, right, bottom (all little-endian).
printf '\x80\x02\0\0\x20\xfe\xff\xff\x01\0\x20\0\0\0\0\0\0\0\0\0\x0a\0\0\0\x14\0\0\0\x2c\x01\0\0\x90\x01\0\0' \
  >"$FUZZ/corpus/capture/game"
printf '\x07\0\0\0\x03\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\x01\0\0\0\x01\0\0\0\x02\0\0\0\x02\0\0\0' \
  >"$FUZZ/corpus/capture/small"
# The watcher: appends (ops 0 and 1, length op / 4 + 1), cuts (2), shots (3).
printf '\x03\x2c*Player1 02\r\nShotData:\r\n00 01\0 02\r\n\x03\x02\x03\x20*Hole  2\r\n\0\0\0*Player2 01\r\n\x03' \
  >"$FUZZ/corpus/watch/ops"
{ printf '\xfc'; head -c 64 "$FUZZ/corpus/parseshot/tail"; printf '\x03'; } >"$FUZZ/corpus/watch/game"

maxlen() {
  case "$1" in
    parseshot) echo 262144 ;;
    parsegame) echo 1048576 ;;
    settings) echo 8192 ;;
    courses) echo 131072 ;;
    pages) echo 8192 ;;
    capture) echo 64 ;;
    watch) echo 16384 ;;
    rounds) echo 1048576 ;;
    livesettings) echo 4096 ;;
    burstdir) echo 65536 ;;
    request) echo 24576 ;;
    bmpapng) echo 65536 ;;
  esac
}

# Files the targets write go to a folder of this run, removed at the end.
scratch="$(mktemp -d "$( [ -d /dev/shm ] && echo /dev/shm || echo /tmp )/kesto-fuzz-XXXXXX")"
trap 'rm -rf "$scratch"' EXIT
export KESTO_FUZZ_DIR="$scratch"

status=0
for t in $TARGETS; do
  KESTO_FUZZ_DIR="$scratch" "$FUZZ/tests/fuzz/fuzz_$t" "$FUZZ/corpus/$t" -max_total_time="$SECONDS_EACH" -max_len="$(maxlen $t)" \
    -rss_limit_mb=4096 -timeout=30 -artifact_prefix="$FUZZ/artifacts/$t/" >"$LOGS/$t.log" 2>&1
  rc=$?
  runs="$(grep -oE '^Done [0-9]+ runs' "$LOGS/$t.log" | tail -1 | grep -oE '[0-9]+')"
  if [ $rc -eq 0 ] && [ -z "$(ls -A "$FUZZ/artifacts/$t")" ]; then
    echo "fuzz $t: ok"
    echo "fuzz $t: ${runs:-?} executions in ${SECONDS_EACH} s" >&2
  else
    echo "fuzz $t: FAILED"
    tail -40 "$LOGS/$t.log" >&2
    status=1
  fi
done
exit $status
