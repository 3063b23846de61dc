#!/usr/bin/env bash
# Whether the bounds memset-bench gives where one side's fills hide hold
# against what memset-batch measures of the same lengths. Each repeat runs
# one campaign on each engine of a preloaded memset against glibc's default
# (until decided, BUDGET seconds each), then takes every band memset-bench
# calls "slower, at least X" (or "faster, at most X") and sets it beside the
# batched estimate and interval of that band. Not a test: it prints figures.
# Usage: bench/bound.sh [BUILD_DIR] [REPEATS]   (default: build 3)
#   PRELOAD=path/to/libmemset-NAME.so (default: musl's, beside the tools)
#   BUDGET=S (default 60); KEEP=DIR keeps the campaigns.
set -euo pipefail
build=${1:-build}
repeats=${2:-3}
report=$build/memset-report
preload=${PRELOAD:-$build/libmemset-musl.so}
budget=${BUDGET:-60}
. "$(dirname "$0")/work_dir.sh"

bands() { # folder -> "from to verdict bound value low high" per band, JSON read by Debian's Python
  "$report" summary --json --lengths 4096 "$1" 2>/dev/null | /usr/bin/python3 -c '
import json, sys
for b in json.load(sys.stdin)["memset_report_comparisons"][0]["bands"]:
    side = b.get("bound", "-")
    value = b.get(side, b.get("ratio"))
    print(b["from"], b["to"], b["verdict"], side, value if value is not None else "-",
          b.get("low", "-"), b.get("high", "-"))'
}

held=0 broken=0
for k in $(seq "$repeats"); do
  for engine in bench batch; do
    "$report" run --out "$tmp/$engine$k" --engine "$engine" --budget "$budget" --variant default \
      --variant other --preload "$preload" 2>/dev/null || true
  done
  echo "repeat $k: $(grep -E '^(cpu_model|libc|rounds): ' "$tmp/bench$k/context.txt" | tr '\n' ' ')"
  bands "$tmp/bench$k" >"$tmp/bench$k.txt"
  bands "$tmp/batch$k" >"$tmp/batch$k.txt"
  # A bound holds where the batched interval lies on its side of it.
  read -r h b < <(join <(awk '$4 != "-" { print $1, $3, $4, $5 }' "$tmp/bench$k.txt" | sort) \
    <(awk '{ print $1, $2, $6, $7 }' "$tmp/batch$k.txt" | sort) |
    awk '{ ok = ($3 == "at_least") ? ($6 != "-" && $6 >= $4) : ($7 != "-" && $7 <= $4)
           printf "  %s..%s %s %s %.3f: batch [%s, %s] %s\n", $1, $5, $2, $3, $4, $6, $7, ok ? "holds" : "BROKEN" > "/dev/stderr"
           h += ok; b += !ok }
         END { print h + 0, b + 0 }')
  held=$((held + h))
  broken=$((broken + b))
done
echo "bounds held: $held, broken: $broken (a bound broken: the batched interval lies past it)"
