#!/usr/bin/env bash
# Prints how long 'memset-report summary' takes on three sets of 11 runs.
# Usage: bench/summary_speed.sh [BUILD_DIR]   (default: build)
# The sets are made by copying one real run, so only the summary is timed.
set -euo pipefail
build=${1:-build}
report=$build/memset-report
bench=$build/memset-bench
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

"$bench" "$tmp/one.txt"
for set in a b c; do
  mkdir "$tmp/$set"
  for i in $(seq -w 1 11); do cp "$tmp/one.txt" "$tmp/$set/run-0$i.txt"; done
done

best=
for try in 1 2 3 4 5; do
  start=$(date +%s%N)
  "$report" summary "$tmp/a" "$tmp/b" "$tmp/c" >/dev/null
  ms=$((($(date +%s%N) - start) / 1000000))
  if [ -z "$best" ] || [ "$ms" -lt "$best" ]; then best=$ms; fi
done
echo "summary of 3 sets x 11 runs: best of 5 = ${best} ms"
