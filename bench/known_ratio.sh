#!/usr/bin/env bash
# Do a program campaign's intervals hold the true ratio? Runs K campaigns of
# bench/known_ratio.c, whose variant b does EXTRA more work than a among
# noise of its own (NOISE, a share of a run; SPELL, the share of time in
# slow spells), each until decided or for BUDGET seconds, and prints each
# campaign's time line, then how many intervals hold the true ratio
# 1 + EXTRA and the repeat figures of bench/repeat_pairs.awk. Not a test:
# it prints figures.
# Usage: bench/known_ratio.sh [BUILD] [K] [BUDGET]   (build 8 30)
#        EXTRA (0.02), NOISE (0.03), SPELL (0), SPELL_SECONDS (3),
#        SPELL_EXTRA (EXTRA: b's extra work within a spell), SPAN (the
#        campaign's --min-span; its default if unset), KEEP=DIR keeps the
#        campaigns
set -euo pipefail
build=${1:-build} k=${2:-8} budget=${3:-30}
extra=${EXTRA:-0.02} noise=${NOISE:-0.03} spell=${SPELL:-0}
spell_seconds=${SPELL_SECONDS:-3} spell_extra=${SPELL_EXTRA:-$extra}
span=(${SPAN:+--min-span "$SPAN"})
here=$(cd "$(dirname "$0")" && pwd)
report="$build/memset-report"
. "$here/work_dir.sh"
gcc -O2 -o "$tmp/known" "$here/known_ratio.c" -lm
echo "machine: $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2- | sed 's/^ //'); extra $extra, noise $noise," \
  "spell $spell of ${spell_seconds} s (extra $spell_extra), budget $budget s, min span ${SPAN:-default}"
for i in $(seq 1 "$k"); do
  out="$tmp/c-$i"
  "$report" program --out "$out" --budget "$budget" "${span[@]}" --env KNOWN_NOISE="$noise" \
    --env KNOWN_SPELL="$spell" --env KNOWN_SPELL_SECONDS="$spell_seconds" \
    --variant a --variant b --env KNOWN_EXTRA="$extra" --env KNOWN_SPELL_EXTRA="$spell_extra" \
    -- "$tmp/known" 2>/dev/null || true
  "$report" summary "$out" | grep -E '^time:' >"$out.line"
  echo "c-$i $(sed -n 's/^rounds: //p' "$out/context.txt") rounds: $(cat "$out.line")"
  "$report" summary "$out" | grep -E '^moved:' || true
done
cat "$tmp"/c-*.line | awk -v kind=known -v truth="$(awk -v e="$extra" 'BEGIN { print 1 + e }')" -f "$here/repeat_pairs.awk"
