#!/usr/bin/env bash
# The Debian packages (debian/): libquorvel0, libquorvel-dev, quorvel.
#
#   scripts/deb.sh build [OUT]        copies the tree to OUT/quorvel-<version> and
#                                     builds the source and binary packages into
#                                     OUT; a compiler or debhelper warning fails
#   scripts/deb.sh lintian [OUT]      lintian on what was built: no error and no
#                                     warning (info and pedantic tags are shown)
#   scripts/deb.sh autopkgtest [OUT]  debian/tests against the built packages,
#                                     installed into a throw-away root
#
# OUT defaults to $QUORVEL_BUILD_DIR/deb (build/deb). The build takes its
# time stamps from debian/changelog, as dpkg-buildpackage does.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
step=${1:?usage: scripts/deb.sh build|lintian|autopkgtest [OUT]}
out=${2:-${QUORVEL_BUILD_DIR:-$root/build}/deb}
version=$(dpkg-parsechangelog -l "$root/debian/changelog" -S Version)
tree=$out/quorvel-${version%%-*}
changes=$out/quorvel_${version}_$(dpkg --print-architecture).changes

case $step in
  build)
    rm -rf "$out"
    "$root/scripts/copy-tree.sh" "$tree"
    status=0
    (cd "$tree" && dpkg-buildpackage --unsigned-source --unsigned-changes) >"$out/build.log" 2>&1 || status=$?
    if [ "$status" -ne 0 ]; then
      tail -n 40 "$out/build.log"; echo "deb: dpkg-buildpackage failed ($status), log in $out/build.log"; exit 1
    fi
    # What the compilers and debhelper warn of; CMake's note on the
    # variables debhelper passes to every project is not ours.
    if grep -n 'warning:' "$out/build.log"; then
      echo "deb: the package build warns (log in $out/build.log)"; exit 1
    fi
    (cd "$out" && ls -1 ./*.deb ./*.dsc)
    ;;
  lintian)
    lintian --allow-root --pedantic --display-info --display-experimental --fail-on error,warning "$changes"
    ;;
  autopkgtest)
    # The root's apt knows only the packages under test: every other test
    # dependency must already be on the machine (scripts/setup.sh), and
    # nothing is fetched.
    results=$out/autopkgtest
    rm -rf "$results"
    debs=()
    for deb in "$out"/*.deb; do
      case $deb in *-dbgsym_*) ;; *) debs+=("${deb#"$out"/}") ;; esac
    done
    "$root/scripts/throwaway-root.sh" "$out" sh -c \
      'rm -f /etc/apt/sources.list /etc/apt/sources.list.d/*.list /etc/apt/sources.list.d/*.sources
       exec autopkgtest --no-built-binaries --output-dir "$0" "$@" -- null' \
      "$results" "${debs[@]}" "${tree#"$out"/}/"
    ;;
  *)
    echo "deb.sh: unknown step '$step' (build, lintian, autopkgtest)" >&2; exit 2 ;;
esac
