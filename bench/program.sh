#!/usr/bin/env bash
# The prediction against the program: bench/memset_heavy.c (fills of a few
# hundred bytes among other work) captured, replayed under glibc's default
# and sse2 memset, then timed itself under both; plus an A/A on the program
# and, with PYTHON=1, python3 running a short script, under sse2 (which
# changes every string function glibc picks by CPU features) and under
# musl's memset alone (a preload). Prints the summaries.
# Usage: bench/program.sh [BUILD] (default build); BUDGET seconds a program
# campaign (60); REPLAY_RUNS rounds a replay (100: a replay decides within a
# second, long before its interval is narrow enough to predict with).
set -eu
build=${1:-build} budget=${BUDGET:-60} replay_runs=${REPLAY_RUNS:-100}
here=$(cd "$(dirname "$0")" && pwd)
report="$build/memset-report"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
sse2=GLIBC_TUNABLES=glibc.cpu.hwcaps=-AVX512F,-AVX512VL,-AVX2
gcc -O2 -fno-builtin -o "$tmp/heavy" "$here/memset_heavy.c"
grep -m1 'model name' /proc/cpuinfo
variants=(--variant default --variant sse2 --env "$sse2")
check() { # name, command...
  local name=$1
  shift
  "$report" capture --out "$tmp/$name.cap" -- "$@" >/dev/null
  "$report" run --engine batch --replay "$tmp/$name.cap" --out "$tmp/$name-replay" --runs "$replay_runs" \
    "${variants[@]}"
  "$report" program --out "$tmp/$name-program" --budget "$budget" "${variants[@]}" -- "$@"
  echo "== $name"
  "$report" summary "$tmp/$name-replay" "$tmp/$name-program" | grep -E '^(set|mix|time|per run|prediction):'
}
check heavy "$tmp/heavy" 2000000
echo "== heavy A/A"
"$report" program --out "$tmp/aa" --budget "$budget" --variant a --variant b -- "$tmp/heavy" 2000000
"$report" summary "$tmp/aa" | grep -E '^(set|time):'
if [ "${PYTHON:-0}" = 1 ]; then
  script='import json; [json.dumps({"a": [1] * i}) for i in range(3000)]'
  check python3 /usr/bin/python3 -c "$script"
  if [ -f "$build/libmemset-musl.so" ]; then
    variants=(--variant default --variant musl --preload "$(cd "$build" && pwd)/libmemset-musl.so")
    check python3-musl /usr/bin/python3 -c "$script"
  fi
fi
