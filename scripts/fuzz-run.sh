#!/usr/bin/env bash
# Runs one fuzz target for SECONDS on the seed corpus in CORPUS_DIR. New
# inputs go to a scratch corpus, so the repository's seeds stay as they are;
# crash files go to build/fuzz-artifacts/.
#   scripts/fuzz-run.sh TARGET CORPUS_DIR SECONDS
set -euo pipefail
target=$1 corpus=$2 seconds=${3:-10}
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
artifacts=${QUORVEL_FUZZ_ARTIFACTS:-$root/build/fuzz-artifacts}
mkdir -p "$artifacts"
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
seeds=()
[ -d "$corpus" ] && seeds+=("$corpus")
"$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
  -artifact_prefix="$artifacts/$(basename "$target")-" "$scratch" "${seeds[@]}"
