#!/usr/bin/env bash
# Makes the players' package dist/kesto-<version>-win64.zip: installs what is
# missing (scripts/install-deps.sh), builds kesto.exe and kestocard.exe with
# MinGW-w64 (Release) into build-win, then scripts/package.py puts them into
# the folder kesto-<version>/ of the zip with README-ja.txt (made from
# docs/players/README-ja.txt) and LICENSE.txt. The version is the one of the
# window title (KESTO_TITLE in src/kesto.h).
#
# The README goes out as UTF-8 with a byte order mark and CR LF line ends:
# with the mark, Notepad on every Windows, Japanese or not, old or new, reads
# it as UTF-8; Shift-JIS reads right only on a Japanese system, and UTF-8
# without the mark turns to mojibake in the Notepad of Windows 7 and 8.
#
# KESTO_WIN_BUILD names another build folder, KESTO_DIST another folder for
# the zip. Prints the path of the zip last.
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${KESTO_WIN_BUILD:-$root/build-win}"
dist="${KESTO_DIST:-$root/dist}"

bash "$root/scripts/install-deps.sh" >&2
mkdir -p "$build"
log="$build/package-build.log"
if ! { cmake -S "$root" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" \
         -DCMAKE_BUILD_TYPE=Release &&
       cmake --build "$build" -j"${JOBS:-2}" --target kesto kestocard; } >"$log" 2>&1; then
  tail -n 30 "$log" >&2
  echo "package: the Windows build failed (whole log: $log)" >&2
  exit 1
fi
exec /usr/bin/python3 "$root/scripts/package.py" --build "$build" --out "$dist"
