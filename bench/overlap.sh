#!/usr/bin/env bash
# Why a replay can overstate a program's change: bench/memset_heavy.c's
# fills timed under glibc's default and SSE2 memset with nothing between
# them (as a replay times them), with the program's own work between them,
# and with chains of multiplies of a few lengths. Prints ticks per fill and
# SSE2's extra ticks for each; the extra is the program's change only where
# the other work leaves the fills' stores nothing to overlap with. Prints
# figures, asserts nothing.
# Usage: bench/overlap.sh
set -eu
here=$(cd "$(dirname "$0")" && pwd)
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
gcc -O2 -fno-builtin -o "$tmp/overlap" "$here/overlap.c"
sse2=glibc.cpu.hwcaps=-AVX512F,-AVX512VL,-AVX2
echo "machine: $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2- | sed 's/^ //'), $(nproc) cores; $(date -u '+%Y-%m-%d %H:%M UTC')"
printf '%-26s %10s %10s %10s\n' "between fills" default sse2 "sse2 extra"
for w in "none" "own" "chain 10" "chain 20" "chain 60"; do
  # shellcheck disable=SC2086 # the work and its length are two words
  d=$("$tmp/overlap" $w)
  # shellcheck disable=SC2086
  s=$(GLIBC_TUNABLES=$sse2 "$tmp/overlap" $w)
  awk -v w="$w" -v d="$d" -v s="$s" 'BEGIN { printf "%-26s %10s %10s %10.1f\n", w, d, s, s - d }'
done
