#!/usr/bin/env bash
# Installs what both builds and their tests need on a Debian machine, as root.
# Safe to run again: it installs only what is missing.
set -euo pipefail

packages=(
  cmake ninja-build g++ pkg-config              # native build
  libgtest-dev googletest                       # tests: GoogleTest, also as source for the cross build
  libbenchmark-dev                              # bench/
  clang libclang-rt-14-dev clang-tidy           # fuzzing and static analysis
  g++-mingw-w64-i686-posix gcc-mingw-w64-i686-posix binutils-mingw-w64-i686   # quorvel.dll
  wine wine32:i386                              # running the Windows build
)

installed() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'; }

update_needed=0
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  # Wine's 32-bit half comes from the i386 architecture.
  dpkg --add-architecture i386
  update_needed=1
fi

missing=()
for p in "${packages[@]}"; do
  installed "$p" || missing+=("$p")
done
if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "setup: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
if [ "$update_needed" = 1 ] || [ ${#missing[@]} -gt 0 ]; then
  apt-get update -qq
fi
apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
