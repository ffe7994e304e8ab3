#!/usr/bin/env bash
# Installs every Debian package the builds and tests need. Safe to run again:
# it only calls apt-get when something is missing.
set -euo pipefail

# fonts-ipafont-gothic and -mincho draw the Japanese system faces in every Wine
# prefix the project makes, fonts-wine gives Wine its own faces (Marlett for
# the title bars' buttons, Tahoma); tests/e2e/harness.py sets them up.
need=(cmake g++ make clang libclang-rt-14-dev libgtest-dev googletest libbenchmark-dev
      g++-mingw-w64-x86-64 binutils-mingw-w64-x86-64 wine64 wine xvfb x11-utils xdotool
      imagemagick locales fonts-ipafont-gothic fonts-ipafont-mincho fonts-wine python3 python3-pytest
      python3-pil file chromium zlib1g-dev libz-mingw-w64-dev)
missing=()
for p in "${need[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO="sudo"
if [ "${#missing[@]}" -gt 0 ]; then
  echo "install-deps: installing ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update -q
  $SUDO apt-get install -y -q --no-install-recommends "${missing[@]}"
fi

# A Japanese locale, so Wine can run with code page 932 as its ANSI code page.
if ! locale -a 2>/dev/null | grep -qi '^ja_JP\.utf-\?8$'; then
  $SUDO sed -i 's/^# *\(ja_JP.UTF-8 UTF-8\)/\1/' /etc/locale.gen
  grep -q '^ja_JP.UTF-8 UTF-8' /etc/locale.gen || echo 'ja_JP.UTF-8 UTF-8' | $SUDO tee -a /etc/locale.gen >/dev/null
  $SUDO locale-gen >/dev/null
fi
echo "install-deps: ready"
