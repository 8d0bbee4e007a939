#!/usr/bin/env bash
# Builds the native library and the quorvel tool, then runs `quorvel report`
# on the sample data in samples/: the regional defaults, the TV standard, the
# capability table of every sample device, their features, and the disks.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${QUORVEL_BUILD_DIR:-$root/build}/tool

"$root/scripts/setup.sh"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DQUORVEL_TESTS=OFF >/dev/null
cmake --build "$build" --target quorvel_tool >/dev/null

tool=$build/bin/quorvel
# On Linux the registry the library reads is a registry file; the sample one
# puts the user in the United Kingdom. `quorvel report` reads the devices and
# the settings file in samples/.
export QUORVEL_REGISTRY_FILE=${QUORVEL_REGISTRY_FILE:-$root/samples/registry.reg}
echo "\$ quorvel report"
"$tool" report
