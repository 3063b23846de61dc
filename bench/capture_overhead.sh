#!/usr/bin/env bash
# What capturing costs: the wall time of a command under 'memset-report
# capture' over its wall time alone, in alternating runs (alone, captured,
# alone, ...), as the median of the ratios of each pair. Two commands: a
# program that does nothing but call memset (the worst case), and Debian's
# python3 dumping and loading 100,000 small JSON objects (about 1.3 million
# calls in well under a second). Not a test: it prints figures.
# Usage: bench/capture_overhead.sh [BUILD_DIR] [PAIRS]   (defaults: build, 9)
set -euo pipefail
build=${1:-build}
pairs=${2:-9}
report=$build/memset-report
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
cc -O2 -fno-builtin -o "$tmp/heavy" "$(dirname "$0")/memset_heavy.c"

now() { date +%s.%N; }
# RATIO_NAME COMMAND...: prints the median of captured/alone over the pairs.
overhead() {
  local name=$1
  shift
  local ratios=() a b t
  for _ in $(seq "$pairs"); do
    t=$(now)
    "$@" >/dev/null
    a=$(awk -v a="$(now)" -v b="$t" 'BEGIN { print a - b }')
    t=$(now)
    "$report" capture --force --out "$tmp/cap.txt" -- "$@" >/dev/null 2>&1
    b=$(awk -v a="$(now)" -v b="$t" 'BEGIN { print a - b }')
    ratios+=("$(awk -v a="$a" -v b="$b" 'BEGIN { print b / a }')")
  done
  local calls
  calls=$(sed -n 's/^# calls: //p' "$tmp/cap.txt")
  printf '%s\n' "${ratios[@]}" | sort -g | awk -v n="$name" -v c="$calls" -v p="$pairs" '
    { r[NR] = $1 }
    END { printf "%s: %s calls a run; captured/alone, median of %d pairs: %.3f (min %.3f, max %.3f)\n",
          n, c, p, (NR % 2 ? r[(NR + 1) / 2] : (r[NR / 2] + r[NR / 2 + 1]) / 2), r[1], r[NR] }'
}
echo "$(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2- | sed 's/^ //'), $(ldd --version | head -1)"
overhead "memset only" "$tmp/heavy"
overhead "python3 json" /usr/bin/python3 -c \
  'import json; [json.loads(json.dumps({"a": i, "b": [i, i+1], "c": "x"*10})) for i in range(100000)]'
