#!/usr/bin/env bash
# Writes interface/libquorvel.abi, the baseline the ABI check compares
# libquorvel.so with: abidw's description of the exports of a build with
# debug information and of the types they reach. Run it for a deliberate
# ABI change only (docs/abi.md says when and what else changes).
#   scripts/abi-baseline.sh        (build in $QUORVEL_BUILD_DIR/abi, build/abi)
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${QUORVEL_BUILD_DIR:-$root/build}/abi
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUORVEL_TESTS=OFF -DQUORVEL_TOOL=OFF >/dev/null
cmake --build "$build" --target quorvel
abidw --exported-interfaces-only --no-corpus-path --no-comp-dir-path --no-show-locs --type-id-style hash \
  --out-file "$root/interface/libquorvel.abi" "$build/bin/libquorvel.so"
echo "wrote $root/interface/libquorvel.abi"
