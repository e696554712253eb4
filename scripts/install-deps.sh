#!/usr/bin/env bash
# Installs what building and testing the package needs on a fresh Debian machine.
# Run as root (or with sudo available).
set -euo pipefail

packages=(
  cmake ninja-build g++ python3 pkg-config
  libgtest-dev libgmock-dev googletest libbenchmark-dev
  libgif-dev
  g++-mingw-w64-i686 mingw-w64-i686-dev binutils-mingw-w64-i686
  clang-format curl chromium tzdata python3-pil apache2-utils
  clang libclang-rt-14-dev
  wine wine32
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

if ((${#missing[@]})); then
  SUDO=""
  [ "$(id -u)" -eq 0 ] || SUDO="sudo"
  # wine32 is an i386 package.
  dpkg --print-foreign-architectures | grep -q i386 || $SUDO dpkg --add-architecture i386
  echo "Installing: ${missing[*]}"
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
