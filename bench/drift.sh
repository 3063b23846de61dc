#!/usr/bin/env bash
# Prints how far separate campaigns with identical settings drift apart as a
# whole: K plain campaigns of N runs, PAUSE seconds apart, and for each pair
# the ratio of their median curves (median over lengths 4096 and up). This is
# what an unpaired comparison cannot see from inside either campaign, and
# what --drift allows for. Not a test: it prints figures.
# Usage: bench/drift.sh [BUILD_DIR] [K] [N] [PAUSE]   (default: build 8 11 30)
set -euo pipefail
build=${1:-build}
k=${2:-8}
n=${3:-11}
pause=${4:-30}
report=$build/memset-report
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

for i in $(seq 1 "$k"); do
  [ "$i" = 1 ] || sleep "$pause"
  "$report" run --out "$tmp/c$i" --runs "$n" >/dev/null
done
dirs=()
for i in $(seq 1 "$k"); do dirs+=("$tmp/c$i"); done
"$report" summary --csv "${dirs[@]}" >"$tmp/medians.csv"
echo "machine: $(grep -m1 '^cpu_model: ' "$tmp/c1/context.txt" | cut -d' ' -f2-), $(grep -m1 '^libc: ' "$tmp/c1/context.txt" | cut -d' ' -f2-)"
echo "$k campaigns of $n runs, $pause s apart; each campaign's median over lengths 4096..32768:"
awk -F, -v k="$k" '
  NR > 1 && $1 >= 4096 { for (c = 2; c <= k + 1; c++) v[c, ++cnt[c]] = $c }
  function med(c,   i, j, t, m) {
    m = cnt[c]
    for (i = 1; i <= m; i++) a[i] = v[c, i]
    for (i = 2; i <= m; i++) { t = a[i]; for (j = i - 1; j >= 1 && a[j] > t; j--) a[j + 1] = a[j]; a[j + 1] = t }
    return m % 2 ? a[(m + 1) / 2] : (a[m / 2] + a[m / 2 + 1]) / 2
  }
  END {
    lo = 1e300; hi = 0
    for (c = 2; c <= k + 1; c++) { m[c] = med(c); printf "  campaign %d: %.1f ticks\n", c - 1, m[c]; if (m[c] < lo) lo = m[c]; if (m[c] > hi) hi = m[c] }
    printf "largest ratio between two campaigns: %.3f (drift %.1f%%)\n", hi / lo, 100 * (hi / lo - 1)
  }' "$tmp/medians.csv"
