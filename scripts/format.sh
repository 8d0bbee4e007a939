#!/usr/bin/env bash
# Checks (default) or applies (--fix) the house style of .clang-format to
# every C and C++ source git tracks. Tables included from elsewhere (*.inc)
# keep their hand layout.
#   scripts/format.sh [--fix]
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
format=$(command -v clang-format-14 || command -v clang-format || true)
[ -n "$format" ] || { echo "format: clang-format not found" >&2; exit 2; }
mapfile -t files < <(git ls-files '*.c' '*.cpp' '*.h')
if [ "${1:-}" = --fix ]; then
  "$format" -i "${files[@]}"
else
  "$format" --dry-run --Werror "${files[@]}"
fi
