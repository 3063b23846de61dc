#!/usr/bin/env bash
# An install into a fresh prefix gives a memset-report that finds its benchmark.
build=$1
. "$(dirname "$0")/lib.sh"
expect 0 "install" -- cmake --install "$build" --prefix "$tmp/prefix"
for f in bin/memset-bench bin/memset-report bin/memset-probe bin/libcapture-memset.so \
  share/doc/memset-bench/README.md share/doc/memset-bench/docs/method.md \
  share/doc/memset-bench/docs/run.md; do
  [ -e "$tmp/prefix/$f" ] || fail "not installed: $f"
done
for lib in "$build"/libmemset-*.so; do
  [ -e "$lib" ] || continue
  [ -e "$tmp/prefix/bin/$(basename "$lib")" ] || fail "not installed beside the tools: $(basename "$lib")"
done
expect 0 "campaign from the prefix" -- "$tmp/prefix/bin/memset-report" run --out "$tmp/c" --runs 1
grep -qx "bench: $tmp/prefix/bin/memset-bench" "$tmp/c/context.txt" || fail "bench: $(grep bench: "$tmp/c/context.txt")"
grep -qE "^memset: .*\+0x[0-9a-f]+" "$tmp/c/context.txt" || fail "the installed tool found no memset-probe: $(grep memset: "$tmp/c/context.txt")"
expect 0 "a capture from the prefix" -- "$tmp/prefix/bin/memset-report" capture --out "$tmp/cap.txt" -- \
  "$tmp/prefix/bin/memset-bench" "$tmp/r.txt"
grep -q "^# calls: " "$tmp/cap.txt" || fail "the installed capture wrote: $(head -3 "$tmp/cap.txt")"
finish
