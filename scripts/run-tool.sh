#!/usr/bin/env bash
# Builds the native library and the quorvel tool, then runs `quorvel report`
# on the sample data: the regional defaults, the TV standard, the capability
# table of every sample device, their features, and the disks.
#
# Sets up only what this needs (compiler, CMake, Ninja, pkg-config); the
# tool ends up in $QUORVEL_BUILD_DIR/tool/bin/quorvel (build/tool/bin/quorvel).
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${QUORVEL_BUILD_DIR:-$root/build}/tool

"$root/scripts/setup.sh" tool
echo "== configure and build the tool in $build"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DQUORVEL_TESTS=OFF >/dev/null
cmake --build "$build" --target quorvel_tool

tool=$build/bin/quorvel
echo "== built $tool"
# The tool reads the samples copied beside it (share/quorvel/samples); on
# Linux the registry it reads is the sample registry file, which puts the
# user in the United Kingdom.
echo "\$ quorvel report"
"$tool" report
