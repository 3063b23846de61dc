#!/usr/bin/env bash
# Does a campaign decide an effect near the threshold? A preloaded wrapper
# that fills n/64 bytes more from 4 KiB up (bench/planted.c), against the same
# wrapper filling nothing more: +1.2% to +3.9%, either side of the default
# 2%. Prints how the campaign stopped, in how many rounds and seconds, and
# the bands from 4 KiB up. Not a test: it prints figures.
# Usage: bench/near_threshold.sh [BUILD_DIR] [BUDGET]   (default: build 60)
set -euo pipefail
build=$(cd "${1:-build}" && pwd)
budget=${2:-60}
report=$build/memset-report
here=$(cd "$(dirname "$0")" && pwd)
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
cc -O2 -shared -fPIC -DFROM=4096 -DDIVISOR=0 -o "$tmp/same.so" "$here/planted.c" -ldl
cc -O2 -shared -fPIC -DFROM=4096 -DDIVISOR=64 -o "$tmp/more.so" "$here/planted.c" -ldl
"$report" run --out "$tmp/c" --budget "$budget" --variant wrapper --preload "$tmp/same.so" \
  --variant planted --preload "$tmp/more.so" 2>"$tmp/err"
tail -1 "$tmp/err"
"$report" summary --bands "$tmp/c" | awk '$1 == "band:" { split($2, r, /\.\./); if (r[1] >= 4096) print }'
