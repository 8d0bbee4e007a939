#!/usr/bin/env bash
# Runs a command inside a chroot whose "/" is a plain directory, not a mount
# point, as in a freshly bootstrapped package-build root: the system's
# directories are bound into it, and a private mount namespace keeps every
# mount away from the rest of the machine. Needs root; exits 77 (skipped)
# where mount namespaces are not allowed.
#   scripts/chroot-run.sh DIR_TO_BIND COMMAND...
# DIR_TO_BIND (the build directory) appears at the same path inside.
set -euo pipefail
if [ "${1:-}" = "--inside" ]; then
  shift
  bind=$1 root=$2
  shift 2
  for d in usr etc dev; do
    mkdir -p "$root/$d"
    mount --rbind "/$d" "$root/$d"
  done
  # Debian's /bin, /lib, ... are links into /usr.
  for d in bin sbin lib lib32 lib64 libx32; do
    if [ -L "/$d" ]; then ln -s "$(readlink "/$d")" "$root/$d"; elif [ -d "/$d" ]; then mkdir -p "$root/$d"; mount --rbind "/$d" "$root/$d"; fi
  done
  mkdir -p "$root/proc" "$root/tmp" "$root$bind"
  chmod 1777 "$root/tmp"
  mount -t proc proc "$root/proc"
  mount --bind "$bind" "$root$bind"
  cd "$root$bind"
  exec chroot "$root" /bin/sh -c 'cd "$0" && exec "$@"' "$bind" "$@"
fi

bind=$(cd "${1:?usage: scripts/chroot-run.sh DIR_TO_BIND COMMAND...}" && pwd -P)
shift
[ "$(id -u)" = 0 ] || { echo "chroot-run: needs root; skipped"; exit 77; }
unshare -m true 2>/dev/null || { echo "chroot-run: no mount namespaces here; skipped"; exit 77; }
root=$(mktemp -d "${TMPDIR:-/tmp}/quorvel-chroot.XXXXXX")
chmod 755 "$root"  # a system root: every user may pass through it
status=0
unshare -m --propagation private "$0" --inside "$bind" "$root" "$@" || status=$?
# The mounts went with the namespace; only the empty skeleton is left.
rm -rf "$root"
exit "$status"
