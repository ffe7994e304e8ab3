#!/usr/bin/env bash
# Installs what is missing, builds kesto.exe and starts it under Wine with
# demo/ as its program folder.  The folder gets a settings file and a golf.txt
# made by the log generator, so スタート and the log tools have something to
# work on.  With no X display, KESTO runs on a virtual screen and a picture of
# it is saved as demo/kesto-screen.png.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

bash scripts/install-deps.sh
cmake -S . -B build/win -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build/win -j2 --target kesto
cmake -S . -B build/native -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build/native -j2 --target kestologgen

mkdir -p demo
cp build/win/kesto.exe demo/
[ -f demo/golf.txt ] || build/native/kestologgen 2026 12 demo/golf.txt
export WINEPREFIX=${WINEPREFIX:-$HOME/.wine-kesto}
export WINEDEBUG=${WINEDEBUG:--all}
export LANG=${KESTO_LANG:-ja_JP.UTF-8}

xvfb=""
if [ -z "${DISPLAY:-}" ]; then
  for n in $(seq 90 120); do [ -e /tmp/.X11-unix/X$n ] || break; done
  Xvfb :$n -screen 0 1280x1024x24 >/dev/null 2>&1 &
  xvfb=$!
  export DISPLAY=:$n
  trap '[ -n "$xvfb" ] && kill $xvfb 2>/dev/null; wineserver -k 2>/dev/null || true' EXIT
  sleep 1
fi
[ -d "$WINEPREFIX" ] || wineboot -i >/dev/null 2>&1

winhome=$(winepath -w "$root/demo" 2>/dev/null)
if [ ! -f demo/loginit.txt ]; then
  printf '// loginit.txt\r\nHOME=%s\r\nDGPATH=\r\nREAD_COURSE=0\r\nSAVE_COURSE=1\r\nIEXPLORE=0\r\nINTERVAL=7\r\nCAPTUREPAGE=100\r\nDEFAULTAREA=-29,-3,-3,-3\r\nCUSTOMAREA=-31,-5,-5,-5\r\nENABLEAREA=2\r\nLOCKONWINDOW=1\r\nENABLECAPKEY=0\r\nSELECTCAPKEY=L-Alt // L-Alt R-Alt R-Ctrl F12\r\n' "$winhome" > demo/loginit.txt
fi

echo "KESTO starts in $root/demo (program folder $winhome)."
cd demo
wine kesto.exe &
kesto=$!
if [ -n "$xvfb" ]; then
  for _ in $(seq 1 40); do
    sleep 0.5
    if xdotool search --name 'KESTO v0.93' >/dev/null 2>&1; then break; fi
  done
  sleep 1
  import -window root -crop 520x260+0+0 kesto-screen.png 2>/dev/null && echo "A picture of the window: $root/demo/kesto-screen.png"
  echo "KESTO runs on a virtual screen (DISPLAY=$DISPLAY); press Ctrl-C to end it."
fi
wait $kesto
