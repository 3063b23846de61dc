#!/bin/bash
# Where the fills land, in ticks per call: memset-batch at 256, 1024 and
# 4096 bytes for glibc's default memset and its SSE2 one, line-aligned and
# 16 bytes past a line, in a region that stays in L1 and in one that is
# memory. Prints a table naming the machine; asserts nothing.
#
# usage: bench/landing.sh [BUILD] (default build); RUNS (default 5): each
# figure is the lowest of that many runs.
set -euo pipefail
build=${1:-$(dirname "$0")/../build}
runs=${RUNS:-5}
batch=$build/memset-batch
sse2=GLIBC_TUNABLES=glibc.cpu.hwcaps=-AVX512F,-AVX512VL,-AVX2
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
memory=$((64 << 20))
l1=32768
echo "machine: $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2- | sed 's/^ //'), $(nproc) cores; $(ldd --version | head -n1); $(date -u '+%Y-%m-%d %H:%M UTC')"
echo "lowest of $runs runs of memset-batch, ticks per call"
printf '%-40s %8s %8s %8s %8s %8s %8s\n' "where the fills land" 256-def 256-sse2 1024-def 1024-sse2 4096-def 4096-sse2
lowest() { # ENV -- ARGS: the lowest of $runs runs at 256, 1024, 4096
  local env=$1
  shift 2
  for i in $(seq "$runs"); do
    env $env "$batch" "$tmp/r.txt" "$@"
    lines=$(head -12 "$tmp/r.txt" | grep -c '^#')
    for len in 256 1024 4096; do echo "$len $(sed -n "$((lines + len))p" "$tmp/r.txt")"; done
  done | sort -k1,1n -k2,2n | awk '!seen[$1]++ { printf " %8s", $2 }'
}
for row in "the default (the buffer's start, hot)|" "L1 ($l1 bytes), line-aligned|--align 0 --footprint $l1" \
  "L1, 16 bytes past a line|--align 16 --footprint $l1" "memory ($memory bytes), line-aligned|--align 0 --footprint $memory" \
  "memory, 16 bytes past a line|--align 16 --footprint $memory"; do
  name=${row%%|*} args=${row#*|}
  # shellcheck disable=SC2086
  def=$(lowest "X=1" -- $args) sse=$(lowest "$sse2" -- $args)
  read -r d256 d1k d4k <<<"$def"
  read -r s256 s1k s4k <<<"$sse"
  printf '%-40s %8s %8s %8s %8s %8s %8s\n' "$name" "$d256" "$s256" "$d1k" "$s1k" "$d4k" "$s4k"
done
