#!/usr/bin/env bash
# Runs one fuzz target for a while from its seed corpus, as a test: exit 0 when it
# found nothing. New inputs go to a scratch copy; a finding is kept in ARTIFACTS.
#   run_fuzz.sh TARGET SEEDS SECONDS ARTIFACTS
set -euo pipefail
target=$1 seeds=$2 seconds=$3 artifacts=$4
if [ ! -x "$target" ]; then
  echo "no fuzz target $target: run make fuzz" >&2
  exit 1
fi
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
mkdir -p "$artifacts"
cp -r "$seeds"/. "$scratch"/
exec "$target" "$scratch" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
  -artifact_prefix="$artifacts"/
