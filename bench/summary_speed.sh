#!/usr/bin/env bash
# Prints how long 'memset-report summary' takes on three sets of 11 runs, and
# on an interleaved campaign of 4 variants and 31 rounds (three comparisons).
# Usage: bench/summary_speed.sh [BUILD_DIR]   (default: build)
# The sets are made by copying real runs, so only the summary is timed.
set -euo pipefail
build=${1:-build}
report=$build/memset-report
bench=$build/memset-bench
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

"$bench" "$tmp/one.txt"
"$bench" "$tmp/two.txt"
for set in a b c; do
  mkdir "$tmp/$set"
  for i in $(seq -w 1 11); do cp "$tmp/one.txt" "$tmp/$set/run-0$i.txt"; done
done
# An interleaved campaign's layout, with a record that names its variants.
mkdir "$tmp/il"
printf 'runs: 31\ntsc_mhz: 2000.0\n' >"$tmp/il/context.txt"
for v in v1 v2 v3 v4; do
  echo "variant: $v" >>"$tmp/il/context.txt"
  mkdir "$tmp/il/$v"
  for i in $(seq -w 1 31); do
    if [ $((10#$i % 2)) = 0 ]; then cp "$tmp/one.txt" "$tmp/il/$v/run-0$i.txt"; else cp "$tmp/two.txt" "$tmp/il/$v/run-0$i.txt"; fi
  done
done

best_of_5() {
  local best= ms start
  for _ in 1 2 3 4 5; do
    start=$(date +%s%N)
    "$report" summary "$@" >/dev/null
    ms=$((($(date +%s%N) - start) / 1000000))
    if [ -z "$best" ] || [ "$ms" -lt "$best" ]; then best=$ms; fi
  done
  echo "$best"
}
echo "summary of 3 sets x 11 runs: best of 5 = $(best_of_5 "$tmp/a" "$tmp/b" "$tmp/c") ms"
echo "summary of 4 variants x 31 rounds, interleaved: best of 5 = $(best_of_5 "$tmp/il") ms"
