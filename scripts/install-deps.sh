#!/usr/bin/env bash
# Installs the Debian packages the project builds, tests and runs with. Skips apt-get
# entirely when every package is already there, so repeated runs stay quick.
set -euo pipefail

packages=(
  cmake make g++ pkg-config
  qt6-base-dev libgl-dev          # the window program
  qt6-multimedia-dev              # the Play window's sound
  sdcc                            # assembles the Game Boy code and the test ROMs
  libmgba-dev libpng-dev          # runs colour ROMs in the end-to-end tests; their screenshots
  zlib1g-dev                      # CRC-32 of BPS patches
  googletest libgtest-dev libbenchmark-dev
  clang libclang-rt-14-dev        # libFuzzer and the sanitizer runtimes
  fonts-dejavu-core               # text in the window program
  xvfb xauth imagemagick          # running the window program without a screen, screenshots
)

missing=()
for package in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" || missing+=("$package")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
if [ "$(id -u)" -ne 0 ]; then
  command -v sudo >/dev/null || { echo "Installing ${missing[*]} needs root, and sudo is not available." >&2; exit 1; }
  sudo="sudo"
fi
echo "Installing: ${missing[*]}"
$sudo apt-get update -q
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q --no-install-recommends "${missing[@]}"
