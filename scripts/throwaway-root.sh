#!/usr/bin/env bash
# Runs a command inside a throw-away root: an overlay of this machine's "/"
# whose changes go to a temporary folder, in a private mount namespace, all
# discarded afterwards. What the command installs there (packages into
# /usr, apt's state) never reaches the machine, whose own files stay as
# they are; only DIR, bound at the same path inside, is written through.
# Needs root and overlayfs; exits 77 (skipped) where mount namespaces or
# overlay mounts are not allowed.
#   scripts/throwaway-root.sh DIR COMMAND...
set -euo pipefail
if [ "${1:-}" = "--inside" ]; then
  shift
  keep=$1 scratch=$2
  shift 2
  root=$scratch/root
  mount -t overlay overlay -o "lowerdir=/,upperdir=$scratch/upper,workdir=$scratch/work" "$root"
  # The overlay holds the root file system alone; the kernel's file
  # systems come from the machine.
  mount --rbind /dev "$root/dev"
  mount -t proc proc "$root/proc"
  mount --rbind /sys "$root/sys"
  mount -t tmpfs tmpfs "$root/tmp"
  # DIR may lie under /tmp, which the fresh tmpfs has just hidden.
  mkdir -p "$root$keep"
  mount --bind "$keep" "$root$keep"
  exec chroot "$root" /bin/sh -c 'cd "$0" && exec "$@"' "$keep" "$@"
fi

keep=$(cd "${1:?usage: scripts/throwaway-root.sh DIR COMMAND...}" && pwd -P)
shift
[ "$(id -u)" = 0 ] || { echo "throwaway-root: needs root; skipped"; exit 77; }
unshare -m true 2>/dev/null || { echo "throwaway-root: no mount namespaces here; skipped"; exit 77; }
scratch=$(mktemp -d "${TMPDIR:-/tmp}/quorvel-root.XXXXXX")
trap 'rm -rf "$scratch"' EXIT
mkdir "$scratch/upper" "$scratch/work" "$scratch/root"
if ! unshare -m --propagation private mount -t overlay overlay \
    -o "lowerdir=/,upperdir=$scratch/upper,workdir=$scratch/work" "$scratch/root" 2>/dev/null; then
  echo "throwaway-root: no overlay mounts here; skipped"; exit 77
fi
status=0
unshare -m --propagation private "$0" --inside "$keep" "$scratch" "$@" || status=$?
exit "$status"
