#!/usr/bin/env bash
# Builds the native library and the quorvel tool, then runs it on the sample
# data in samples/: the device table, the regional defaults and the features.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${QUORVEL_BUILD_DIR:-$root/build}/tool

"$root/scripts/setup.sh"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DQUORVEL_TESTS=OFF >/dev/null
cmake --build "$build" --target quorvel_tool >/dev/null

tool=$build/bin/quorvel
samples=$root/samples
# On Linux the registry the library reads is a registry file; the sample one
# sets the user's nation to the United Kingdom.
export QUORVEL_REGISTRY_FILE=${QUORVEL_REGISTRY_FILE:-$samples/registry.reg}

echo "== quorvel devices samples/devices.txt"
"$tool" devices "$samples/devices.txt"
echo
echo "== quorvel country samples/settings.ini"
"$tool" country "$samples/settings.ini"
echo
echo "== quorvel features samples/devices.txt samples/settings.ini 44"
"$tool" features "$samples/devices.txt" "$samples/settings.ini" 44
