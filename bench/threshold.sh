#!/usr/bin/env bash
# What a smaller threshold costs: interleaved A/A campaigns on the batched
# engine (two variants with the same settings), one until decided at each
# threshold, and the rounds and seconds each took, or how many bands it left
# undecided when its budget ran out. To tell a 1% difference, an interval
# must be narrower than 1%: an A/A decided `same` within 1% is that width.
# Not a test: it prints figures.
# Usage: bench/threshold.sh [BUILD_DIR] [THRESHOLDS...]   (default: build 2 1)
#   BUDGET=S (default 120); ENGINE=bench|batch (default batch); KEEP=DIR
#   keeps the campaigns.
set -euo pipefail
build=${1:-build}
shift || true
thresholds=("$@")
[ $# -gt 0 ] || thresholds=(2 1)
report=$build/memset-report
budget=${BUDGET:-120}
engine=${ENGINE:-batch}
. "$(dirname "$0")/work_dir.sh"

echo "machine: $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2- | sed 's/^ //'); $(ldd --version | head -1)"
echo "engine: $engine; budget: $budget s; $(date -u +%Y-%m-%dT%H:%MZ)"
for t in "${thresholds[@]}"; do
  dir="$tmp/t$t"
  start=$(date +%s)
  "$report" run --out "$dir" --engine "$engine" --budget "$budget" --threshold "$t" \
    --variant a --variant b 2>"$dir.err" || true
  seconds=$(($(date +%s) - start))
  "$report" summary "$dir" >"$dir.txt"
  verdicts=$(grep '^range: ' "$dir.txt" | awk '{ print $3 }' | sort | uniq -c | awk '{ printf "%s%s %s", sep, $1, $2; sep = ", " }')
  printf 'threshold %s%%: %s; %s s in all; ranges: %s\n' "$t" "$(tail -1 "$dir.err" | sed 's/^memset-report: //')" \
    "$seconds" "$verdicts"
done
