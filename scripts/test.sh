#!/usr/bin/env bash
# Sets up the machine, builds both libraries and runs every test:
#   native  libquorvel.so and its suite under AddressSanitizer and UBSan;
#   win32   quorvel.dll cross-built with MinGW-w64, the same suite under Wine;
#   win64   the same for 64-bit Windows, under 64-bit Wine (one prefix for both).
# Each stage's time is printed before the summary.
# Ends with one summary line, "N passed, M failed", and a nonzero status on
# any failure.
set -uo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${QUORVEL_BUILD_DIR:-$root/build}
jobs=$(nproc 2>/dev/null || echo 2)

"$root/scripts/setup.sh" || { echo "setup failed"; exit 1; }
. "$root/scripts/wine-env.sh"

status=0
passed=0
failed=0

# Counts one build's results: GoogleTest cases from its XML reports, and
# every other CTest test (script checks) as one each.
count_results() {
  local dir=$1 ctest_log=$2 xml cases fails gtest_programs=0 total=0 ctest_failed=0
  for xml in "$dir"/results/*.xml; do
    [ -f "$xml" ] || continue
    gtest_programs=$((gtest_programs + 1))
    cases=$(sed -n 's/.*<testsuites tests="\([0-9]*\)".*/\1/p' "$xml" | head -n1)
    fails=$(sed -n 's/.*<testsuites tests="[0-9]*" failures="\([0-9]*\)".*/\1/p' "$xml" | head -n1)
    passed=$((passed + ${cases:-0} - ${fails:-0}))
    failed=$((failed + ${fails:-0}))
  done
  total=$(sed -n 's/.* tests failed out of \([0-9]*\)$/\1/p' "$ctest_log" | tail -n1)
  ctest_failed=$(sed -n 's/.*tests passed, \([0-9]*\) tests failed out of.*/\1/p' "$ctest_log" | tail -n1)
  # CTest tests without a report: script checks, or programs that died early.
  local others=$(( ${total:-0} - gtest_programs ))
  if [ "$others" -gt 0 ]; then
    local others_failed=${ctest_failed:-0}
    [ "$others_failed" -gt "$others" ] && others_failed=$others
    passed=$((passed + others - others_failed))
    failed=$((failed + others_failed))
  fi
}

stage_times=""
run_build() {
  local started=$SECONDS
  build_and_test "$@"
  stage_times+=" $1 $((SECONDS - started))s"
}

build_and_test() {
  local name=$1; shift
  local dir=$build/$name
  echo "== $name: configure and build"
  if ! cmake -S "$root" -B "$dir" -G Ninja "$@" >"$dir.configure.log" 2>&1; then
    cat "$dir.configure.log"; echo "$name: configure failed"; status=1; failed=$((failed + 1)); return
  fi
  if ! cmake --build "$dir" -j "$jobs"; then
    echo "$name: build failed"; status=1; failed=$((failed + 1)); return
  fi
  rm -rf "$dir/results"
  echo "== $name: test"
  (cd "$dir" && ctest --output-on-failure -j "$jobs") 2>&1 | tee "$dir.ctest.log"
  [ "${PIPESTATUS[0]}" -eq 0 ] || status=1
  count_results "$dir" "$dir.ctest.log"
}

mkdir -p "$build"
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=0 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
run_build native -DCMAKE_BUILD_TYPE=Debug -DQUORVEL_SANITIZE=ON

started=$SECONDS
quorvel_wine_start
trap quorvel_wine_stop EXIT
stage_times+=" wineboot $((SECONDS - started))s"
run_build win32 -DCMAKE_BUILD_TYPE=Release -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-i686.cmake"
run_build win64 -DCMAKE_BUILD_TYPE=Release -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-x86_64.cmake"
quorvel_wine_stop
trap - EXIT

# Every fuzz target briefly on its seed corpus, so a fixed crash that comes
# back fails the run.
CC=clang CXX=clang++ run_build fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUORVEL_FUZZ=ON -DQUORVEL_SANITIZE=ON \
  -DQUORVEL_TESTS=OFF

# The stress tests, with every export called from several threads at once.
if [ -d "$root/tests/stress" ] && ls "$root"/tests/stress/*_test.cpp >/dev/null 2>&1; then
  run_build tsan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUORVEL_TSAN=ON
fi

# Static analysis over the whole tree, with the checks chosen in .clang-tidy.
if [ -f "$root/.clang-tidy" ]; then
  echo "== clang-tidy"
  started=$SECONDS
  if "$root/scripts/tidy.sh" "$build/native"; then
    passed=$((passed + 1))
  else
    failed=$((failed + 1)); status=1
  fi
  stage_times+=" clang-tidy $((SECONDS - started))s"
fi

echo
echo "stage times:$stage_times, total ${SECONDS}s"
if [ "$status" -ne 0 ] && [ "$failed" -eq 0 ]; then failed=1; fi
echo "$passed passed, $failed failed"
exit "$status"
