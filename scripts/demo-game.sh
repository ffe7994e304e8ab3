#!/usr/bin/env bash
# The stand-in game for the interactive demo: opens a window titled
# "ゴルフ漬け" and plays one generated 18-hole game of two players into
# the golf.txt of demo/GOLFDUKE/the stand-in game's folder, a piece of the log about every second (about 30 s),
# then closes.  Start KESTO first with scripts/demo.sh and press スタート.
set -euo pipefail
cd "$(dirname "$0")/.."
[ -x build/win/fakegame.exe ] && [ -x build/native/kestologgen ] || {
  echo "demo-game: run scripts/demo.sh first (it builds the stand-in game)"; exit 1; }
# KESTO takes a DGPATH of 48 bytes or more that names the GOLFDUKE folder.
gamedir="demo/GOLFDUKE/the stand-in game's folder"
export WINEPREFIX=${WINEPREFIX:-$HOME/.wine-kesto}
export WINEDEBUG=${WINEDEBUG:--all}
export LANG=${KESTO_LANG:-ja_JP.UTF-8}
mkdir -p "$gamedir"
build/native/kestologgen --game 2 demo/game-log.txt
# The game has written its log's head when its window opens; the rest comes
# while it plays.
sed -n '1,/\*\* Stroke Begin \*\*/p' demo/game-log.txt >"$gamedir/golf.txt"
sed '1,/\*\* Stroke Begin \*\*/d' demo/game-log.txt >demo/game-rest.txt
lines=$(wc -l <demo/game-rest.txt)
per=$(( (lines + 29) / 30 ))
src=$(winepath -w "$(pwd)/demo/game-rest.txt" 2>/dev/null)
golf=$(winepath -w "$(pwd)/$gamedir/golf.txt" 2>/dev/null)
echo "demo-game: playing $lines lines into $golf"
# Three seconds for KESTO to find the window and start following golf.txt.
exec wine build/win/fakegame.exe "ゴルフ漬け" "$src" "$golf" "3000:every=1000/l$per,2000:exit"
