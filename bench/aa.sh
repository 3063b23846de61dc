#!/usr/bin/env bash
# Prints how often identical settings come out different: K A/A campaigns
# (two variants with identical settings, run until decided or for the
# default budget), and for each the share of lengths 3..32768 in faster or
# slower ranges (false findings), in same ranges (shown equivalence), and
# the rounds and seconds it took. With captures (memset-report capture), also
# each one's weighted verdict and change per run, which for identical
# settings should hold 0. Not a test: it prints figures.
# RUN_ARGS adds options to each run (RUN_ARGS='--engine batch').
# Usage: bench/aa.sh [BUILD_DIR] [K] [BUDGET] [CAPTURE...]   (default: build 10 60)
set -euo pipefail
build=${1:-build}
k=${2:-10}
budget=${3:-60}
captures=("${@:4}")
report=$build/memset-report
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
share() { # verdict word, summary text: the share of lengths 3..32768 in its ranges
  awk -v v="$1" '$1 == "range:" && $3 == v { split($2, r, /\.\./); n += r[2] - r[1] + 1 }
    END { printf "%.1f", 100 * n / 32766 }'
}
echo "machine: $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2- | sed 's/^ //'), $(ldd --version | head -1 | awk '{print $NF}')"
printf '%-4s %8s %8s %8s %7s %8s %8s\n' "A/A" "decided%" "same%" "unclear%" "rounds" "seconds" "stop"
for i in $(seq 1 "$k"); do
  start=$(date +%s%N)
  # shellcheck disable=SC2086
  "$report" run --out "$tmp/aa$i" --budget "$budget" ${RUN_ARGS:-} --variant a --variant b 2>/dev/null
  secs=$(awk -v a="$start" -v b="$(date +%s%N)" 'BEGIN { printf "%.1f", (b - a) / 1e9 }')
  "$report" summary "$tmp/aa$i" >"$tmp/s$i"
  f=$(share faster <"$tmp/s$i"); s=$(share slower <"$tmp/s$i")
  printf '%-4s %8s %8s %8s %7s %8s %8s\n' "$i" "$(awk -v f="$f" -v s="$s" 'BEGIN { print f + s }')" "$(share same <"$tmp/s$i")" \
    "$(share unclear <"$tmp/s$i")" "$(grep '^rounds: ' "$tmp/aa$i/context.txt" | cut -d' ' -f2)" "$secs" \
    "$(grep '^stop: ' "$tmp/aa$i/context.txt" | cut -d' ' -f2)"
  for c in "${captures[@]}"; do
    "$report" summary --weights "$c" "$tmp/aa$i" | awk -v c="$(basename "$c")" '
      $1 == "weighted:" && NF > 4 { v = $2 " " $3 }
      $1 == "per" { print "     " c ": " v "; per run " $3 " " $4 " " $5 " " $6 }'
  done
done
