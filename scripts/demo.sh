#!/usr/bin/env bash
# KESTO's main job on a Debian machine.  Installs what is missing, builds
# kesto.exe, the stand-in game and the log generator, then:
#
#   with an X display (DISPLAY set): starts KESTO under Wine with demo/ as its
#   program folder, ready to use.  Its loginit.txt points at the demo game
#   folder under demo/GOLFDUKE; start the stand-in game there with
#   `bash scripts/demo-game.sh` once you have pressed スタート.
#
#   without a display, or with --demo: runs the whole program unattended on a
#   virtual screen (scripts/demo_run.py) and prints a short report: the shots
#   KESTO showed while the stand-in game played, the scorecard page, the burst
#   folder and PNG pictures of every step, all under demo/headless.  Exits 0
#   when every step worked.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

headless=0
[ "${1:-}" = "--demo" ] && headless=1
[ -z "${DISPLAY:-}" ] && headless=1

bash scripts/install-deps.sh
log=$(mktemp)
trap 'rm -f "$log"' EXIT
build() {
  "$@" >>"$log" 2>&1 || { tail -40 "$log"; echo "demo: the build failed"; exit 1; }
}
build cmake -S . -B build/win -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake -DCMAKE_BUILD_TYPE=Release
build cmake --build build/win -j2 --target kesto fakegame probe
build cmake -S . -B build/native -DCMAKE_BUILD_TYPE=Release
build cmake --build build/native -j2 --target kestologgen
echo "demo: built build/win/kesto.exe"

if [ "$headless" = 1 ]; then
  exec /usr/bin/python3 scripts/demo_run.py --build build/win --native build/native --out demo/headless
fi

# KESTO takes a DGPATH of 48 bytes or more that names the GOLFDUKE folder.
gamedir="demo/GOLFDUKE/the stand-in game's folder"
export WINEPREFIX=${WINEPREFIX:-$HOME/.wine-kesto}
export WINEDEBUG=${WINEDEBUG:--all}
export LANG=${KESTO_LANG:-ja_JP.UTF-8}
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  wineboot -i >/dev/null 2>>"$log" || { tail -15 "$log"; echo "demo: wineboot could not make the Wine prefix $WINEPREFIX"; exit 1; }
fi
# The prefix's settings, as in the tests (tests/e2e/harness.py): the Japanese
# faces on the IPA fonts and Wine's own fonts. A real display has a window
# manager of its own, so no Wine virtual desktop unless KESTO_WINE_DESKTOP
# names a size (for example 1280x1024).
/usr/bin/python3 tests/e2e/harness.py configure --desktop "${KESTO_WINE_DESKTOP:-none}"

mkdir -p "$gamedir"
cp build/win/kesto.exe demo/
winhome=$(winepath -w "$root/demo" 2>/dev/null)
wingolf=$(winepath -w "$root/$gamedir/golf.txt" 2>/dev/null)
if [ ! -f demo/loginit.txt ]; then
  printf '// loginit.txt\r\nHOME=%s\r\nDGPATH=%s\r\nREAD_COURSE=0\r\nSAVE_COURSE=1\r\nIEXPLORE=0\r\nINTERVAL=1\r\nCAPTUREPAGE=100\r\nDEFAULTAREA=-29,-3,-3,-3\r\nCUSTOMAREA=-31,-5,-5,-5\r\nENABLEAREA=2\r\nLOCKONWINDOW=1\r\nENABLECAPKEY=0\r\nSELECTCAPKEY=L-Alt // L-Alt R-Alt R-Ctrl F12\r\n' "$winhome" "$wingolf" > demo/loginit.txt
fi

echo "KESTO starts in $root/demo (program folder $winhome)."
echo "Press スタート, then start the game in a second terminal: bash scripts/demo-game.sh"
cd demo
exec wine kesto.exe
