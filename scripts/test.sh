#!/usr/bin/env bash
# Sets up the machine, builds both libraries and runs every test:
#   native  libquorvel.so and its suite under AddressSanitizer and UBSan;
#   win32   quorvel.dll cross-built with MinGW-w64, the same suite under Wine;
#   win64   the same for 64-bit Windows, under 64-bit Wine (one prefix for both).
# Then the fuzz targets, the ThreadSanitizer build and clang-tidy, and the
# release files: the Debian packages built, checked by lintian and tested
# (debian/tests) in a throw-away root, and every release file built twice
# from two folders to be compared byte for byte.
# Each stage's time is printed before the summary.
# Ends with one summary line, "N passed, M failed, K skipped", and a nonzero
# status on any failure; a skipped test is named, and counts neither way.
set -uo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${QUORVEL_BUILD_DIR:-$root/build}
jobs=$(nproc 2>/dev/null || echo 2)

"$root/scripts/setup.sh" || { echo "setup failed"; exit 1; }
. "$root/scripts/wine-env.sh"

status=0
passed=0
failed=0
skipped=0

# Counts one build's results from the JUnit file CTest writes: each CTest
# test is one result, except a GoogleTest program, whose cases count one each
# from its own XML report. A disabled test is left out; a skipped one (CTest's
# SKIP_RETURN_CODE and SKIP_REGULAR_EXPRESSION, a GoogleTest case's
# GTEST_SKIP) counts as skipped, while one that could not run (a failed
# fixture, a missing program) fails; the JUnit file marks both "notrun" and
# names the rule of a skip.
count_results() {
  local stage=$1 dir=$2 junit=$3 line name="" status="" skip="" names=""
  if [ ! -s "$junit" ]; then
    echo "$stage: CTest wrote no results to $junit"; failed=$((failed + 1)); return
  fi
  # The tags alone: a test's output is escaped in the file, so a "<" there
  # always opens a tag.
  while IFS= read -r line; do
    case $line in
      *'<testcase '*)
        name=$(xml_attr name "$line"); status=$(xml_attr status "$line"); skip="" ;;
      *'<skipped '*) skip=$(xml_attr message "$line") ;;
      *'</testcase>'*)
        count_test "$dir" "$name" "$status" "$skip" ;;
    esac
  done < <(grep -E '<testcase |<skipped |</testcase>' "$junit")
  [ -z "$names" ] || echo "$stage: skipped:$names"
}

# xml_attr NAME LINE: the attribute's value in a tag, unescaped.
xml_attr() {
  local value=""
  [[ $2 =~ [[:space:]]$1=\"([^\"]*)\" ]] && value=${BASH_REMATCH[1]}
  value=${value//&lt;/<}; value=${value//&gt;/>}; value=${value//&quot;/\"}; value=${value//&apos;/\'}
  printf '%s' "${value//&amp;/&}"
}

# count_test DIR NAME STATUS SKIP_MESSAGE: one CTest test's results; the
# names of what it skipped are added to count_results' list.
count_test() {
  local dir=$1 name=$2 status=$3 skip=$4 report cases fails skips skippedCases
  case $status in
    disabled) return ;;
    notrun)
      if [[ $skip == SKIP_* ]]; then
        skipped=$((skipped + 1)); names+=" $name"
      else
        failed=$((failed + 1))
      fi
      return ;;
  esac
  report=$dir/results/$name.xml
  if [ ! -f "$report" ]; then
    # A script check, or a program that died before writing its report.
    if [ "$status" = run ]; then passed=$((passed + 1)); else failed=$((failed + 1)); fi
    return
  fi
  cases=$(sed -n 's/.*<testsuites tests="\([0-9]*\)".*/\1/p' "$report" | head -n1)
  fails=$(sed -n 's/.*<testsuites tests="[0-9]*" failures="\([0-9]*\)".*/\1/p' "$report" | head -n1)
  cases=${cases:-0} fails=${fails:-0}
  # Cases that called GTEST_SKIP, named Suite.Case.
  skippedCases=$(sed -n 's/.*<testcase name="\([^"]*\)".* result="skipped".* classname="\([^"]*\)".*/\2.\1/p' "$report")
  skips=0
  [ -z "$skippedCases" ] || skips=$(printf '%s\n' "$skippedCases" | wc -l)
  # A program that failed with every case passed (a sanitizer's report at
  # exit) counts one of them failed: the total stays its number of cases.
  if [ "$status" != run ] && [ "$fails" -eq 0 ]; then fails=1; fi
  [ "$fails" -le "$cases" ] || cases=$fails
  [ $((fails + skips)) -le "$cases" ] || skips=$((cases - fails))
  passed=$((passed + cases - fails - skips))
  failed=$((failed + fails))
  skipped=$((skipped + skips))
  [ -z "$skippedCases" ] || names+=" $(printf '%s' "$skippedCases" | tr '\n' ' ')"
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
  # Every stage builds with warnings as errors.
  if ! cmake -S "$root" -B "$dir" -G Ninja -DQUORVEL_WERROR=ON "$@" >"$dir.configure.log" 2>&1; then
    cat "$dir.configure.log"; echo "$name: configure failed"; status=1; failed=$((failed + 1)); return
  fi
  if ! cmake --build "$dir" -j "$jobs"; then
    echo "$name: build failed"; status=1; failed=$((failed + 1)); return
  fi
  rm -rf "$dir/results" "$dir.junit.xml"
  echo "== $name: test"
  (cd "$dir" && ctest --output-on-failure -j "$jobs" --output-junit "$dir.junit.xml") 2>&1 | tee "$dir.ctest.log"
  [ "${PIPESTATUS[0]}" -eq 0 ] || status=1
  count_results "$name" "$dir" "$dir.junit.xml"
}

mkdir -p "$build"
build=$(cd "$build" && pwd)  # ctest runs in the stage's folder
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

# run_check NAME COMMAND...: a check that is one result. Status 77 is a skip,
# counted as skipped and named.
run_check() {
  local name=$1 started=$SECONDS rc=0
  shift
  echo "== $name"
  "$@" || rc=$?
  if [ "$rc" -eq 0 ]; then
    passed=$((passed + 1))
  elif [ "$rc" -eq 77 ]; then
    skipped=$((skipped + 1)); echo "$name: skipped"
  else
    failed=$((failed + 1)); status=1; echo "$name: failed ($rc)"
  fi
  stage_times+=" $name $((SECONDS - started))s"
}

# One style: every source as .clang-format lays it out (scripts/format.sh
# --fix applies it).
run_check format "$root/scripts/format.sh"

# The Debian packages: built, lintian-clean, and their autopkgtest tests
# (each test one result) run against them in a throw-away root.
run_check deb "$root/scripts/deb.sh" build "$build/deb"
run_check lintian "$root/scripts/deb.sh" lintian "$build/deb"
echo "== autopkgtest"
started=$SECONDS
rc=0
"$root/scripts/deb.sh" autopkgtest "$build/deb" || rc=$?
summary=$build/deb/autopkgtest/summary
if [ "$rc" -eq 77 ]; then
  skipped=$((skipped + 1)); echo "autopkgtest: skipped"
elif [ -s "$summary" ]; then
  while read -r name result _; do
    case $result in
      PASS) passed=$((passed + 1)) ;;
      SKIP) skipped=$((skipped + 1)) ;;
      *) failed=$((failed + 1)); status=1 ;;
    esac
    echo "autopkgtest: $name $result"
  done <"$summary"
  if [ "$rc" -ne 0 ] && ! grep -qv ' PASS' "$summary"; then failed=$((failed + 1)); status=1; fi
else
  echo "autopkgtest: no results ($rc)"; failed=$((failed + 1)); status=1
fi
stage_times+=" autopkgtest $((SECONDS - started))s"
# The release files (the tool, libquorvel.so, both DLLs, both zips), built
# twice from two folders with SOURCE_DATE_EPOCH set: the same bytes.
run_check reproducible "$root/scripts/reproducible.sh" "$build/reproducible"

echo
echo "stage times:$stage_times, total ${SECONDS}s"
if [ "$status" -ne 0 ] && [ "$failed" -eq 0 ]; then failed=1; fi
echo "$passed passed, $failed failed, $skipped skipped"
exit "$status"
