#!/usr/bin/env bash
# Prints how long 'memset-report summary' takes, and how much memory a JSON
# export of every length needs:
#  - three sets of 11 runs; an interleaved campaign of 4 variants x 31 rounds;
#  - an interleaved campaign of 2 variants x 61 rounds (aim: 100 ms or less);
#  - two separate sets of 383 runs (an unpaired comparison);
#  - 'summary --json --lengths all' of 22 runs: peak resident memory.
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
# A plain set of N runs in DIR, alternating the two real runs.
plain() {
  mkdir -p "$1"
  for i in $(seq 1 "$2"); do
    cp "$tmp/$([ $((i % 2)) = 0 ] && echo one || echo two).txt" "$1/run-$(printf '%03d' "$i").txt"
  done
}
# An interleaved campaign's layout, with a record that names its variants.
interleaved() {
  mkdir -p "$1"
  printf 'tsc_mhz: 2000.0\n' >"$1/context.txt"
  for v in $(seq 1 "$2"); do
    echo "variant: v$v" >>"$1/context.txt"
    plain "$1/v$v" "$3"
  done
}
for set in a b c; do plain "$tmp/$set" 11; done
interleaved "$tmp/il4" 4 31
interleaved "$tmp/il2" 2 61
plain "$tmp/u1" 383
plain "$tmp/u2" 383
plain "$tmp/j" 22
printf 'tsc_mhz: 2000.0\n' >"$tmp/j/context.txt"

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
echo "summary of 4 variants x 31 rounds, interleaved: best of 5 = $(best_of_5 "$tmp/il4") ms"
echo "summary of 2 variants x 61 rounds, interleaved: best of 5 = $(best_of_5 "$tmp/il2") ms"
echo "summary of 383 against 383 runs, unpaired: best of 5 = $(best_of_5 "$tmp/u1" "$tmp/u2") ms"
if [ -x /usr/bin/time ]; then
  /usr/bin/time -f '%M' -o "$tmp/rss" "$report" summary --json --lengths all "$tmp/j" >"$tmp/j.json"
  echo "summary --json --lengths all of 22 runs: peak $(($(cat "$tmp/rss") / 1024)) MiB, wrote $(($(stat -c %s "$tmp/j.json") / 1048576)) MiB"
fi
