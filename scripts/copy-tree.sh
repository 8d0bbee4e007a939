#!/usr/bin/env bash
# Copies the source tree, as the repository holds it, into an emptied DEST:
# the tracked files and new ones git does not ignore (never build folders);
# outside a git checkout, everything but build folders.
#   scripts/copy-tree.sh DEST
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
dest=${1:?usage: scripts/copy-tree.sh DEST}
rm -rf "$dest"
mkdir -p "$dest"
if git -C "$root" rev-parse --is-inside-work-tree >/dev/null 2>&1; then
  # A tracked file deleted in the work tree is left out.
  git -C "$root" ls-files -z --cached --others --exclude-standard |
    (cd "$root" && while IFS= read -r -d '' f; do
       if [ -e "$f" ] || [ -L "$f" ]; then printf '%s\0' "$f"; fi
     done) |
    tar -C "$root" --null --no-recursion -T - -cf - | tar -C "$dest" -xf -
else
  tar -C "$root" --exclude=./build --exclude='./build-*' --exclude=./.git -cf - . | tar -C "$dest" -xf -
fi
