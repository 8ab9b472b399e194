#!/usr/bin/env bash
# Installs what the build and the tests need on Debian 12 (as root, or through sudo).
# Safe to run again: packages already present are skipped.
set -euo pipefail
pkgs=(cmake make g++ googletest libgtest-dev libbenchmark-dev zlib1g-dev
      g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix libz-mingw-w64-dev
      binutils-mingw-w64-i686 binutils-mingw-w64-x86-64
      wine64 xvfb xauth x11-utils fonts-wqy-microhei imagemagick
      clang-14 libclang-rt-14-dev)
missing=()
for p in "${pkgs[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
SUDO=; [ "$(id -u)" -eq 0 ] || SUDO=sudo
echo "installing: ${missing[*]}" >&2
$SUDO apt-get update -qq
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
