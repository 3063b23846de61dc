#!/usr/bin/env bash
# Do the intervals hold when the campaign is run again? Runs SETS sets of K
# campaigns of the README example (default against
# GLIBC_TUNABLES=glibc.cpu.x86_rep_stosb_threshold=8192, or against the
# setting REPEAT_ENV names; run until decided or for BUDGET seconds), keeps them in KEEP, and prints for each set the
# share of (band, ordered pair of its campaigns) in which the second
# campaign's estimate lies outside the first one's interval. Honest
# intervals of level L leave about (1 - L) of repeats outside, and more for
# the repeat's own error. `--analyse KEEP` summarises kept campaigns again,
# as the build given now computes intervals. Not a test: it prints figures.
# RUN_ARGS adds options to each run (RUN_ARGS='--engine batch').
# Usage: bench/repeat.sh [BUILD] [SETS] [K] [BUDGET] [KEEP]   (build 3 3 60 mktemp)
#        bench/repeat.sh --analyse KEEP [BUILD]
set -euo pipefail
py=/usr/bin/python3
[ -x "$py" ] || py=python3
if [ "${1:-}" = --analyse ]; then
  keep=$2 build=${3:-build} sets=$(ls -d "$2"/set* | wc -l) run=no
else
  build=${1:-build} sets=${2:-3} k=${3:-3} budget=${4:-60} keep=${5:-$(mktemp -d)} run=yes
fi
report=$build/memset-report
echo "machine: $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2- | sed 's/^ //'), $(ldd --version | head -1 | awk '{print $NF}')"
if [ $run = yes ]; then
  for s in $(seq 1 "$sets"); do
    for i in $(seq 1 "$k"); do
      start=$(date +%s%N)
      # shellcheck disable=SC2086
      "$report" run --out "$keep/set$s/c$i" --budget "$budget" ${RUN_ARGS:-} --variant default \
        --variant other --env "${REPEAT_ENV:-GLIBC_TUNABLES=glibc.cpu.x86_rep_stosb_threshold=8192}" 2>/dev/null
      awk -v a="$start" -v b="$(date +%s%N)" 'BEGIN { printf "%.1f\n", (b - a) / 1e9 }' >"$keep/set$s/c$i.seconds"
    done
  done
fi
echo "campaigns kept in $keep"
printf '%-4s %9s %8s  %s\n' set outside share "rounds (seconds) per campaign"
for dir in "$keep"/set*; do
  for c in "$dir"/c*/; do
    "$report" summary --json "$c" >"${c%/}.json"
  done
  "$py" - "$dir" <<'PY'
import glob, json, os, sys
d = sys.argv[1]
camps = []
for f in sorted(glob.glob(os.path.join(d, "c*.json"))):
    j = json.load(open(f))
    bands = j["memset_report_comparisons"][0]["bands"]
    seconds = open(f[:-5] + ".seconds").read().strip() if os.path.exists(f[:-5] + ".seconds") else "?"
    rounds = j["memset_report_comparisons"][0]["runs_base"]
    camps.append((bands, "%s (%s)" % (rounds, seconds)))
outside = total = 0
for i, (a, _) in enumerate(camps):
    for k, (b, _) in enumerate(camps):
        if i == k:
            continue
        for x, y in zip(a, b):
            if "low" not in x:
                continue
            total += 1
            outside += not (x["low"] <= y["ratio"] <= x["high"])
print("%-4s %4d/%-4d %7.1f%%  %s" % (os.path.basename(d), outside, total,
      100.0 * outside / max(total, 1), ", ".join(c[1] for c in camps)))
PY
done
