#!/usr/bin/env bash
# Installs every Debian package that building, testing and running the tool needs.
# Safe to run again: apt-get skips what is already there.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config
  libgtest-dev libgmock-dev googletest libbenchmark-dev
  qt6-base-dev libgl-dev
  clang libclang-rt-14-dev
  g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64
  wine64 wine
  xvfb xauth x11-utils x11-apps imagemagick xdotool
  socat procps
)

if [ "$(id -u)" -ne 0 ]; then
  sudo=sudo
else
  sudo=
fi

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

if [ ${#missing[@]} -gt 0 ]; then
  export DEBIAN_FRONTEND=noninteractive
  $sudo apt-get update -q
  $sudo apt-get install -y -q --no-install-recommends "${missing[@]}"
fi
