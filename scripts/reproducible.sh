#!/usr/bin/env bash
# Builds the release files twice, from two copies of the tree in folders of
# different names and depths, with the same SOURCE_DATE_EPOCH, and compares
# them byte for byte:
#   native  the library and the tool (RelWithDebInfo, so that paths in the
#           debug information count too), installed with DESTDIR: the tool,
#           libquorvel.so and every other installed file
#   win32, win64  quorvel.dll and the zip cpack makes (Release)
# Prints a checksum for each file that matched; any difference fails.
#   scripts/reproducible.sh [OUT]     (OUT: $QUORVEL_BUILD_DIR/reproducible)
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
out=${1:-${QUORVEL_BUILD_DIR:-$root/build}/reproducible}
jobs=$(nproc 2>/dev/null || echo 2)

# The time of the last commit: what the sources are as of.
if ! SOURCE_DATE_EPOCH=$(git -C "$root" log -1 --format=%ct 2>/dev/null); then
  SOURCE_DATE_EPOCH=$(stat -c %Y "$root/NEWS")
fi
export SOURCE_DATE_EPOCH
echo "reproducible: SOURCE_DATE_EPOCH=$SOURCE_DATE_EPOCH"

rm -rf "$out"
trees=("$out/a/quorvel" "$out/b/second-copy/q")
for tree in "${trees[@]}"; do
  "$root/scripts/copy-tree.sh" "$tree"
  for stage in native win32 win64; do
    args=(-DCMAKE_BUILD_TYPE=Release)
    case $stage in
      native) args=(-DCMAKE_BUILD_TYPE=RelWithDebInfo) ;;
      win32) args+=(-DCMAKE_TOOLCHAIN_FILE="$tree/cmake/mingw-i686.cmake") ;;
      win64) args+=(-DCMAKE_TOOLCHAIN_FILE="$tree/cmake/mingw-x86_64.cmake") ;;
    esac
    build=$tree/build/$stage
    mkdir -p "$tree/build"
    if ! cmake -S "$tree" -B "$build" -G Ninja -DQUORVEL_WERROR=ON -DQUORVEL_TESTS=OFF "${args[@]}" \
        >"$build.log" 2>&1 || ! cmake --build "$build" -j "$jobs" >>"$build.log" 2>&1; then
      cat "$build.log"; echo "reproducible: $stage build in $tree failed"; exit 1
    fi
    if [ "$stage" = native ]; then
      DESTDIR=$tree/staged cmake --install "$build" >>"$build.log"
    else
      (cd "$build" && cpack -B "$build/zip") >>"$build.log" 2>&1 ||
        { cat "$build.log"; echo "reproducible: cpack in $build failed"; exit 1; }
    fi
  done
done

# The files to compare, relative to each tree.
a=${trees[0]} b=${trees[1]}
files=()
while IFS= read -r -d '' f; do files+=("${f#"$a"/}"); done < <(find "$a/staged" \( -type f -o -type l \) -print0 | sort -z)
for stage in win32 win64; do
  files+=("build/$stage/bin/quorvel.dll")
  for zip in "$a/build/$stage/zip"/*.zip; do files+=("${zip#"$a"/}"); done
done
status=0
for f in "${files[@]}"; do
  if [ -L "$a/$f" ] && [ "$(readlink "$a/$f")" = "$(readlink "$b/$f" 2>/dev/null)" ]; then
    echo "same  link -> $(readlink "$a/$f")  $f"
  elif [ -f "$b/$f" ] && cmp -s "$a/$f" "$b/$f"; then
    echo "same  $(sha256sum < "$a/$f" | cut -c1-16)  $f"
  else
    echo "DIFFERENT  $f"; cmp "$a/$f" "$b/$f" || true; status=1
  fi
done
# Nothing installed by one build and not the other.
diff -rq --no-dereference "$a/staged" "$b/staged" || status=1
echo "reproducible: ${#files[@]} files compared between $a and $b"
exit "$status"
