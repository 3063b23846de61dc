#!/usr/bin/env bash
# Do one-figure campaigns hold when run again? For replays (MODE=replay, a
# capture of bench/memset_heavy.c) or the program itself (MODE=program),
# runs K campaigns of glibc's default against sse2 and K A/A campaigns,
# each until decided or for BUDGET seconds, and prints each campaign's
# verdict line, then the share of ordered pairs of the K in which the second
# campaign's ratio lies outside the first one's interval. Not a test: it
# prints figures.
# Usage: MODE=replay|program bench/repeat_figure.sh [BUILD] [K] [BUDGET]   (build 4 45)
set -euo pipefail
build=${1:-build} k=${2:-4} budget=${3:-45} mode=${MODE:-replay}
here=$(cd "$(dirname "$0")" && pwd)
report="$build/memset-report"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
sse2=GLIBC_TUNABLES=glibc.cpu.hwcaps=-AVX512F,-AVX512VL,-AVX2
gcc -O2 -fno-builtin -o "$tmp/heavy" "$here/memset_heavy.c"
echo "machine: $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2- | sed 's/^ //'), $(ldd --version | head -1 | awk '{print $NF}'); $mode"
"$report" capture --out "$tmp/heavy.cap" -- "$tmp/heavy" 2000000 >/dev/null 2>&1
campaign() { # folder, then the variants' options
  local out=$1
  shift
  if [ "$mode" = replay ]; then
    "$report" run --engine batch --replay "$tmp/heavy.cap" --out "$out" --budget "$budget" "$@" 2>/dev/null
  else
    "$report" program --out "$out" --budget "$budget" "$@" -- "$tmp/heavy" 2000000 2>/dev/null
  fi
  "$report" summary "$out" | grep -E '^(mix|time):' | head -1 >"$out.line"
  echo "$(basename "$out") $(sed -n 's/^rounds: //p' "$out/context.txt") rounds: $(cat "$out.line")"
}
for i in $(seq 1 "$k"); do campaign "$tmp/sse2-$i" --variant default --variant sse2 --env "$sse2"; done
for i in $(seq 1 "$k"); do campaign "$tmp/aa-$i" --variant a --variant b; done
for kind in sse2 aa; do
  cat "$tmp/$kind"-*.line | awk -v kind="$kind" '
    { gsub(/[\[\],]/, " "); r[NR] = $3; lo[NR] = $4; hi[NR] = $5 }
    END {
      for (i = 1; i <= NR; i++) for (j = 1; j <= NR; j++) if (i != j) {
        n++; out += !(lo[i] <= r[j] && r[j] <= hi[i])
      }
      printf "%s: %d of %d repeat ratios outside the other campaign'"'"'s interval (%.0f%%)\n", kind, out, n, n ? 100 * out / n : 0
    }'
done
