#!/usr/bin/env bash
# Runs clang-tidy with the checks in .clang-tidy over the library, the tool,
# the tests, the fuzz targets and the benchmarks, and fails on any finding.
#   scripts/tidy.sh BUILD_DIR [DIR...]
# BUILD_DIR is a native (POSIX) build configured with
# CMAKE_EXPORT_COMPILE_COMMANDS=ON; its compile_commands.json gives each
# source's flags. Sources that build does not compile (fuzz targets,
# benchmarks) get the library's include paths, the generated version
# header's among them. DIRs, relative to the
# repository root, limit the run to those folders (default: all of them).
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${1:?usage: scripts/tidy.sh BUILD_DIR [DIR...]}
shift
build=$(cd "$build" && pwd)
db=$build/compile_commands.json
if [ ! -f "$db" ]; then
  echo "tidy: $db missing; configure with -DCMAKE_EXPORT_COMPILE_COMMANDS=ON" >&2
  exit 2
fi
tidy=$(command -v clang-tidy-14 || command -v clang-tidy || true)
[ -n "$tidy" ] || { echo "tidy: clang-tidy not found" >&2; exit 2; }
jobs=${QUORVEL_TIDY_JOBS:-$(nproc 2>/dev/null || echo 2)}

dirs=("$@")
[ ${#dirs[@]} -gt 0 ] || dirs=(device region storage platform tools tests fuzz bench)
wanted() {
  local f=${1#"$root"/} d
  for d in "${dirs[@]}"; do
    case $f in "${d%/}"/*) return 0 ;; esac
  done
  return 1
}

# C++ sources the build compiles (the C caller is left to the compilers'
# warnings), then the ones it does not, with the library's include paths (its
# POSIX side's among them).
mapfile -t listed < <(sed -n 's/^ *"file": "\(.*\)",\{0,1\}$/\1/p' "$db" | grep '\.cpp$' | sort -u)
compiled=() extra=()
for f in "${listed[@]}"; do
  case $f in "$root"/*) wanted "$f" && compiled+=("$f") ;; esac
done
for f in "$root"/fuzz/*.cpp "$root"/bench/*.cpp; do
  [ -f "$f" ] || continue
  printf '%s\n' "${listed[@]}" | grep -qxF "$f" && continue
  wanted "$f" && extra+=("$f")
done

log=$(mktemp)
trap 'rm -f "$log"' EXIT
status=0
if [ ${#compiled[@]} -gt 0 ]; then
  printf '%s\0' "${compiled[@]}" |
    xargs -0 -P "$jobs" -n 1 "$tidy" -p "$build" --quiet --warnings-as-errors='*' >>"$log" 2>&1 || status=1
fi
if [ ${#extra[@]} -gt 0 ]; then
  printf '%s\0' "${extra[@]}" |
    xargs -0 -P "$jobs" -I{} "$tidy" --quiet --warnings-as-errors='*' {} -- \
      -std=c++17 -x c++ -I"$root/include" -I"$build/include" -I"$root" -I"$root/platform/posix" -I"$root/fuzz" \
      >>"$log" 2>&1 || status=1
fi
# Only the findings, not clang-tidy's counts of suppressed warnings.
grep -v -E '^[0-9]+ (warnings?|errors?) generated\.$|^Suppressed [0-9]+ warnings|^Use -header-filter|^Use -system-headers' "$log" || true
files=$(( ${#compiled[@]} + ${#extra[@]} ))
if [ "$status" -ne 0 ]; then
  echo "tidy: findings in the files above ($files files checked)" >&2
  exit 1
fi
echo "tidy: $files files clean"
