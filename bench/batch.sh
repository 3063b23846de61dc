#!/usr/bin/env bash
# Figures of the batched engine (memset-batch), not a test: how long one run
# takes; a planted extra call on fills of 32 bytes or less, against the same
# preloaded wrapper without it (bench/planted.c), band by band; and glibc's
# sse2 memset against its default, decided within BUDGET seconds, band by
# band. A/A campaigns and repeat coverage on it: bench/aa.sh and
# bench/repeat.sh with RUN_ARGS='--engine batch'.
# Usage: bench/batch.sh [BUILD_DIR] [BUDGET]   (default: build 60)
set -euo pipefail
build=$(cd "${1:-build}" && pwd)
budget=${2:-60}
report=$build/memset-report
here=$(cd "$(dirname "$0")" && pwd)
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
echo "machine: $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2- | sed 's/^ //'), $(ldd --version | head -1 | awk '{print $NF}')"
for i in 1 2 3; do
  start=$(date +%s%N)
  "$build/memset-batch" "$tmp/one.txt"
  awk -v a="$start" -v b="$(date +%s%N)" 'BEGIN { printf "one run of 32768 lengths: %.2f s\n", (b - a) / 1e9 }'
done
cc -O2 -shared -fPIC -DUPTO=32 -o "$tmp/planted.so" "$here/planted.c" -ldl
cc -O2 -shared -fPIC -DUPTO=0 -o "$tmp/wrapper.so" "$here/planted.c" -ldl
"$report" run --out "$tmp/planted" --engine batch --budget "$budget" --variant wrapper \
  --env LD_PRELOAD="$tmp/wrapper.so" --variant planted --env LD_PRELOAD="$tmp/planted.so" 2>&1 | tail -1
"$report" summary --bands "$tmp/planted" | grep -E '^(range|band):' | awk '{ print "planted " $0 }' | cut -c1-110
"$report" run --out "$tmp/sse2" --engine batch --budget "$budget" --variant default \
  --variant sse2 --env GLIBC_TUNABLES=glibc.cpu.hwcaps=-AVX2,-AVX512F,-AVX512VL 2>&1 | tail -1
"$report" summary --bands "$tmp/sse2" | grep -E '^band:' | awk '{ print "sse2 " $2, $3, $4, $5 }'
