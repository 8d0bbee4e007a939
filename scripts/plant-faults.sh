#!/usr/bin/env bash
# Plants faults one at a time in a scratch copy of the tree and reports which
# the native suite catches: for each fault of the list (scripts/faults.tsv),
# the text is replaced in the copy, the copy is built as the test command's
# native stage builds it (Debug, AddressSanitizer and UBSan, warnings as
# errors) and its tests run; a fault is caught when a test fails, missed when
# the suite passes. The file is put back before the next fault. Not part of
# the test command: run it after changing tests or code, and add a fault for
# each escape found.
#   scripts/plant-faults.sh [--tree DIR] [--list FILE] [--all-tests] [--out DIR] [NAME...]
#     --tree DIR    plant into a copy of DIR (default: this tree)
#     --list FILE   the faults (default: scripts/faults.tsv of this tree)
#     --all-tests   run every CTest test; by default three kinds are left
#                   out: the package builds and the chroot rerun of the
#                   suite, which test the install and the root, not the
#                   code's answers, and the race programs, which count
#                   losses over timing and can fail by chance under load, so
#                   that a fault they alone report would not be told from luck
#     --out DIR     the scratch folder (default: $QUORVEL_BUILD_DIR/plant-faults)
#     NAME...       only these faults
# Ends with "score: C caught / P planted"; faults that could not be planted
# (stale text, a Windows-only file, a fault that does not build) are listed
# and not counted. Exits 0 when every planted fault was caught.
set -uo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
tree=$root
list=$root/scripts/faults.tsv
out=${QUORVEL_BUILD_DIR:-$root/build}/plant-faults
exclude='^(package_|chroot_suite$|race_)'
only=()
while [ $# -gt 0 ]; do
  case $1 in
    --tree) tree=$(cd "${2:?--tree needs a folder}" && pwd); shift 2 ;;
    --list) list=$(cd "$(dirname "${2:?--list needs a file}")" && pwd)/$(basename "$2"); shift 2 ;;
    --out) mkdir -p "${2:?--out needs a folder}" && out=$(cd "$2" && pwd); shift 2 ;;
    --all-tests) exclude=''; shift ;;
    -h | --help) sed -n '2,23p' "${BASH_SOURCE[0]}" | sed 's/^# \{0,1\}//'; exit 0 ;;
    -*) echo "plant-faults: unknown option $1" >&2; exit 2 ;;
    *) only+=("$1"); shift ;;
  esac
done
[ -f "$list" ] || { echo "plant-faults: no fault list $list" >&2; exit 2; }
jobs=$(nproc 2>/dev/null || echo 2)
[ "$jobs" -gt 2 ] && jobs=2
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=0 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1

src=$out/src
build=$out/build
logs=$out/logs
echo "plant-faults: copying $tree to $src"
mkdir -p "$out"
rm -rf "$logs"
mkdir -p "$logs"
# What the repository holds; a tree that is no checkout of its own (an
# exported one) is copied whole, but for build folders.
if [ "$(git -C "$tree" rev-parse --show-toplevel 2>/dev/null)" = "$tree" ]; then
  "$tree/scripts/copy-tree.sh" "$src" || exit 2
else
  rm -rf "$src" && mkdir -p "$src" &&
    tar -C "$tree" --exclude=./build --exclude='./build-*' --exclude=./.git -cf - . | tar -C "$src" -xf - || exit 2
fi

build_copy() {
  cmake --build "$build" -j "$jobs" >"$1" 2>&1
}

run_suite() {
  local args=(--output-on-failure -j "$jobs" --timeout 300)
  [ -n "$exclude" ] && args+=(-E "$exclude")
  (cd "$build" && ctest "${args[@]}") >"$1" 2>&1
}

echo "plant-faults: configure and build the copy without a fault"
if ! cmake -S "$src" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DQUORVEL_SANITIZE=ON -DQUORVEL_WERROR=ON \
  >"$logs/configure.log" 2>&1 || ! build_copy "$logs/build.log"; then
  echo "plant-faults: the copy does not build without a fault; see $logs" >&2
  exit 2
fi
if ! run_suite "$logs/suite.log"; then
  echo "plant-faults: the suite fails without a fault; see $logs/suite.log" >&2
  exit 2
fi

# plant FILE TEXT REPLACEMENT: replaces the one occurrence of TEXT in FILE;
# prints how many there were, and changes nothing unless exactly one.
plant() {
  FAULT_TEXT=$2 FAULT_REPLACEMENT=$3 perl -0777 -i -pe '
    BEGIN { $t = $ENV{FAULT_TEXT}; $r = $ENV{FAULT_REPLACEMENT}; }
    my $n = () = /\Q$t\E/g;
    s/\Q$t\E/$r/ if $n == 1;
    print STDERR "$n\n";' "$1" 2>&1 >/dev/null
}

caught=() missed=() unplanted=()
while IFS=$'\t' read -r name file text replacement || [ -n "$name" ]; do
  case $name in '' | '#'*) continue ;; esac
  if [ ${#only[@]} -gt 0 ] && [[ " ${only[*]} " != *" $name "* ]]; then continue; fi
  if [[ $file == platform/win32/* ]]; then
    unplanted+=("$name (Windows build only; not built natively)"); continue
  fi
  target=$src/$file
  if [ ! -f "$target" ]; then unplanted+=("$name (stale: no file $file)"); continue; fi
  cp -p "$target" "$out/original"
  count=$(plant "$target" "$text" "$replacement")
  if [ "$count" != 1 ]; then
    unplanted+=("$name (stale: the text occurs $count times in $file)"); continue
  fi
  printf 'plant-faults: %-40s ' "$name"
  if ! build_copy "$logs/$name.build.log"; then
    echo "does not build"
    unplanted+=("$name (does not build; see $logs/$name.build.log)")
  elif run_suite "$logs/$name.log"; then
    echo "MISSED"
    missed+=("$name")
  else
    failing=$(sed -n 's/.* Test *#[0-9]*: \([^ ]*\) .*\*\*\*.*/\1/p' "$logs/$name.log" | sort -u | tr '\n' ' ')
    echo "caught (${failing% })"
    caught+=("$name")
  fi
  # Put back with a new time, so that the next build compiles it again.
  cp "$out/original" "$target"
  touch "$target"
done <"$list"
build_copy "$logs/restored.build.log" || echo "plant-faults: the copy did not build again after the last fault" >&2

echo
[ ${#missed[@]} -eq 0 ] || printf 'missed: %s\n' "${missed[@]}"
[ ${#unplanted[@]} -eq 0 ] || printf 'not planted: %s\n' "${unplanted[@]}"
planted=$((${#caught[@]} + ${#missed[@]}))
echo "score: ${#caught[@]} caught / $planted planted"
[ ${#missed[@]} -eq 0 ]
