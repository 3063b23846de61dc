#!/usr/bin/env bash
# Prints how never using rep stosb compares with glibc's default, band by
# band at 2, 4, 8, 16 and 32 KiB: one interleaved campaign run until decided
# (default budget). Not a test: it prints figures.
# Usage: bench/stosb.sh [BUILD_DIR]   (default: build)
set -euo pipefail
build=${1:-build}
report=$build/memset-report
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
"$report" run --out "$tmp/c" --variant default \
  --variant stosb_never --env GLIBC_TUNABLES=glibc.cpu.x86_rep_stosb_threshold=1000000 2>/dev/null
echo "$(grep -E '^(cpu_model|libc|rounds|looks|stop): ' "$tmp/c/context.txt" | tr '\n' ' ')"
"$report" summary --bands "$tmp/c" >"$tmp/s.txt"
grep -E '^(== compare|range:)' "$tmp/s.txt"
for len in 2048 4096 8192 16384 32768; do
  awk -v l="$len" '$1 == "band:" { split($2, r, /\.\./); if (r[1] <= l && l <= r[2]) print }' "$tmp/s.txt"
done
