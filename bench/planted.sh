#!/usr/bin/env bash
# Prints what a comparison finds of a known, planted effect: a preloaded
# memset (bench/planted.c) that fills twice from 1 KiB up and is unchanged
# below. An interleaved campaign run until decided (default budget) is set
# against a long reference campaign of REF rounds, band by band. Not a test:
# it prints figures.
# Usage: bench/planted.sh [BUILD_DIR] [REF]   (default: build 301)
set -euo pipefail
build=$(cd "${1:-build}" && pwd)
ref=${2:-301}
report=$build/memset-report
here=$(cd "$(dirname "$0")" && pwd)
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
cc -O2 -shared -fPIC -o "$tmp/planted.so" "$here/planted.c" -ldl
start=$(date +%s)
"$report" run --out "$tmp/adaptive" --variant default --variant planted --env LD_PRELOAD="$tmp/planted.so" 2>/dev/null
echo "until decided: $(grep -E '^(rounds|looks|stop): ' "$tmp/adaptive/context.txt" | tr '\n' ' ')in $(($(date +%s) - start)) s"
"$report" run --out "$tmp/reference" --runs "$ref" --variant default --variant planted --env LD_PRELOAD="$tmp/planted.so" 2>/dev/null
"$report" summary --bands "$tmp/adaptive" | grep -E '^(== compare|range:)'
"$report" summary --bands "$tmp/adaptive" | grep '^band:' >"$tmp/a.txt"
"$report" summary --bands "$tmp/reference" | grep '^band:' >"$tmp/r.txt"
# Each band's verdict and ratio (its bound where fills hide), without the
# difference per call: verdict texts hold spaces, so they are cut, not split.
verdicts() { sed -E 's/^band: ([0-9.]+) /\1|/; s/ [+-][0-9.]+ ticks.*$//; s/ and$//' "$1" | cut -c1-48; }
echo "band           until decided                                    reference ($ref rounds)"
paste -d'|' <(verdicts "$tmp/a.txt") <(verdicts "$tmp/r.txt" | cut -d'|' -f2) |
  awk -F'|' '{ printf "%-14s %-48s %s\n", $1, $2, $3 }'
