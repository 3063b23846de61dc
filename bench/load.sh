#!/usr/bin/env bash
# A load beside a campaign, for bench/repeat.sh's figures under load. Runs
# until killed (kill -- -PGID, or Ctrl-C).
#   cpu      a busy loop on every core but the campaign's
#   memory   a copy of 256 MiB back and forth, far past the caches
#   varying  what a developer's machine does: a parallel build and test run
#            of this project in a scratch clone, then a pause of 0 to 20 s,
#            over and over, so the load comes and goes within a campaign
# Usage: bench/load.sh cpu|memory|varying [SOURCE]   (SOURCE: this checkout)
set -euo pipefail
kind=${1:?usage: bench/load.sh cpu|memory|varying [SOURCE]}
src=${2:-$(cd "$(dirname "$0")/.." && pwd)}
case "$kind" in
cpu) exec /usr/bin/python3 -c 'while True: pass' ;;
memory) exec /usr/bin/python3 -c '
a = bytearray(256 << 20); b = bytearray(256 << 20)
while True: a[:] = b; b[:] = a' ;;
varying)
  tmp=$(mktemp -d)
  trap 'rm -rf "$tmp"' EXIT
  git clone -q "$src" "$tmp/src"
  while true; do
    rm -rf "$tmp/build"
    cmake -S "$tmp/src" -B "$tmp/build" >/dev/null 2>&1
    cmake --build "$tmp/build" -j2 >/dev/null 2>&1 || true
    ctest --test-dir "$tmp/build" -j2 >/dev/null 2>&1 || true
    sleep $((RANDOM % 21))
  done ;;
*) echo "bench/load.sh: unknown load '$kind' (cpu, memory or varying)" >&2; exit 2 ;;
esac
