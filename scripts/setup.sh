#!/usr/bin/env bash
# Installs what the builds and their tests need on a Debian machine, as root.
# Safe to run again: it installs only what is missing.
#
#   scripts/setup.sh [GROUP...]      default: all
#     tool       the native library and the quorvel tool (scripts/run-tool.sh)
#     test       the native test suite
#     bench      the benchmarks
#     analysis   fuzzing and static analysis
#     windows    both Windows builds and Wine to run them
#     packaging  the Debian packages and their checks
#     all        every group: what scripts/test.sh needs
set -euo pipefail

tool=(
  cmake ninja-build g++ pkg-config              # native build
)
test=(
  libgtest-dev googletest                       # tests: GoogleTest, also as source for the cross build
  man-db                                        # man -l, checking the installed manual page
  abigail-tools                                 # abidiff: libquorvel.so's ABI against interface/libquorvel.abi
)
bench=(
  libbenchmark-dev                              # bench/
)
analysis=(
  clang libclang-rt-14-dev clang-tidy           # fuzzing and static analysis
  clang-format                                  # the house style, checked by scripts/format.sh
)
windows=(
  g++-mingw-w64-i686-posix gcc-mingw-w64-i686-posix binutils-mingw-w64-i686   # quorvel.dll
  g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64   # 64-bit quorvel.dll
  llvm lld                                      # quorvel.lib (llvm-dlltool), MSVC-ABI test caller (lld-link)
  wine wine32:i386 wine64                       # running both Windows builds
  strip-nondeterminism                          # the zips' entries in name order (reproducible zips)
)
packaging=(
  dpkg-dev debhelper                            # dpkg-buildpackage and dh: building debian/
  lintian                                       # checking the built packages
  autopkgtest make                              # running debian/tests (make: its CMake consumer's build)
)

groups=("$@")
[ ${#groups[@]} -gt 0 ] || groups=(all)
packages=()
for g in "${groups[@]}"; do
  case $g in
    tool) packages+=("${tool[@]}") ;;
    test) packages+=("${tool[@]}" "${test[@]}") ;;
    bench) packages+=("${tool[@]}" "${bench[@]}") ;;
    analysis) packages+=("${tool[@]}" "${analysis[@]}") ;;
    windows) packages+=("${tool[@]}" "${test[@]}" "${windows[@]}") ;;
    packaging) packages+=("${tool[@]}" "${packaging[@]}") ;;
    all) packages+=("${tool[@]}" "${test[@]}" "${bench[@]}" "${analysis[@]}" "${windows[@]}" "${packaging[@]}") ;;
    *) echo "setup: unknown group '$g' (tool, test, bench, analysis, windows, packaging, all)" >&2; exit 2 ;;
  esac
done

installed() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'; }

update_needed=0
if printf '%s\n' "${packages[@]}" | grep -q ':i386$' && ! dpkg --print-foreign-architectures | grep -qx i386; then
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
