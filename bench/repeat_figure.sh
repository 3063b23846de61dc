#!/usr/bin/env bash
# Do one-figure campaigns hold when run again? For replays (MODE=replay, a
# capture of bench/memset_heavy.c) or the program itself (MODE=program),
# runs K campaigns of glibc's default against sse2 and K A/A campaigns,
# each until decided or for BUDGET seconds, and prints each campaign's
# verdict line, then the repeat figures of bench/repeat_pairs.awk. Not a
# test: it prints figures.
# Usage: MODE=replay|program bench/repeat_figure.sh [BUILD] [K] [BUDGET]   (build 4 45)
# KEEP=DIR keeps the campaigns in DIR (a new folder) to be read again;
# SPAN=S gives each campaign --min-span S (its default if unset).
set -euo pipefail
build=${1:-build} k=${2:-4} budget=${3:-45} mode=${MODE:-replay}
span=(${SPAN:+--min-span "$SPAN"})
here=$(cd "$(dirname "$0")" && pwd)
report="$build/memset-report"
. "$here/work_dir.sh"
sse2=GLIBC_TUNABLES=glibc.cpu.hwcaps=-AVX512F,-AVX512VL,-AVX2
gcc -O2 -fno-builtin -o "$tmp/heavy" "$here/memset_heavy.c"
echo "machine: $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2- | sed 's/^ //'), $(ldd --version | head -1 | awk '{print $NF}'); $mode, min span ${SPAN:-default}"
"$report" capture --out "$tmp/heavy.cap" -- "$tmp/heavy" 2000000 >/dev/null 2>&1
campaign() { # folder, then the variants' options
  local out=$1
  shift
  if [ "$mode" = replay ]; then
    "$report" run --engine batch --replay "$tmp/heavy.cap" --out "$out" --budget "$budget" "${span[@]}" "$@" 2>/dev/null
  else
    "$report" program --out "$out" --budget "$budget" "${span[@]}" "$@" -- "$tmp/heavy" 2000000 2>/dev/null
  fi
  "$report" summary "$out" | grep -E '^(mix|time):' | head -1 >"$out.line"
  echo "$(basename "$out") $(sed -n 's/^rounds: //p' "$out/context.txt") rounds: $(cat "$out.line")"
  "$report" summary "$out" | grep -E '^moved:' | cut -c1-160 || true
}
for i in $(seq 1 "$k"); do campaign "$tmp/sse2-$i" --variant default --variant sse2 --env "$sse2"; done
for i in $(seq 1 "$k"); do campaign "$tmp/aa-$i" --variant a --variant b; done
for kind in sse2 aa; do
  cat "$tmp/$kind"-*.line | awk -v kind="$kind" -f "$here/repeat_pairs.awk"
done
