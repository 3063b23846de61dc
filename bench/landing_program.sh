#!/usr/bin/env bash
# Where the fills land, checked against programs: each program captured,
# its capture replayed three ways under glibc's default and SSE2 memset
# (as before, at the start of the buffer, hot; as the capture found its
# fills land, cold ones at random lines of as much memory as the program's
# fills covered; the same with the cold ones in a memory-sized region, as
# captures from before the pages were kept), then the program itself
# timed under both; prints each replay's prediction beside the measurement.
# Programs: bench/memset_heavy.c (hot, unaligned, among other work),
# bench/cold_fill.c (cold, unaligned), python3 and g++ compiling this
# project's batch engine (nobody here wrote them). Long; prints figures,
# asserts nothing.
# Usage: bench/landing_program.sh [BUILD] (default build); BUDGET seconds a
# program campaign (60) or PROGRAM_RUNS rounds of it (a campaign decided
# `same` stops before its interval is narrow enough to check a small
# prediction), REPLAY_RUNS rounds a replay (30); PROGRAMS the ones to check
# (heavy cold python3 g++).
set -eu
build=${1:-build} budget=${BUDGET:-60} replay_runs=${REPLAY_RUNS:-30}
if [ -n "${PROGRAM_RUNS:-}" ]; then length=(--runs "$PROGRAM_RUNS"); else length=(--budget "$budget"); fi
here=$(cd "$(dirname "$0")" && pwd)
report="$build/memset-report"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
sse2=GLIBC_TUNABLES=glibc.cpu.hwcaps=-AVX512F,-AVX512VL,-AVX2
variants=(--variant default --variant sse2 --env "$sse2")
gcc -O2 -fno-builtin -o "$tmp/heavy" "$here/memset_heavy.c"
gcc -O2 -fno-builtin -o "$tmp/cold" "$here/cold_fill.c"
echo "machine: $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2- | sed 's/^ //'), $(nproc) cores; $(date -u '+%Y-%m-%d %H:%M UTC')"
check() { # NAME COMMAND...
  local name=$1
  shift
  case " ${PROGRAMS:-heavy cold python3 g++} " in *" $name "*) ;; *) return 0 ;; esac
  "$report" capture --out "$tmp/$name.cap" -- "$@" >/dev/null 2>&1
  grep -v -E '^# (landing|pages|offsets|recent):' "$tmp/$name.cap" >"$tmp/$name-old.cap"
  "$report" run --engine batch --replay "$tmp/$name-old.cap" --out "$tmp/$name-old" --runs "$replay_runs" "${variants[@]}" 2>/dev/null
  "$report" run --engine batch --replay "$tmp/$name.cap" --out "$tmp/$name-landed" --runs "$replay_runs" "${variants[@]}" 2>/dev/null
  "$report" run --engine batch --replay "$tmp/$name.cap" --footprint memory --out "$tmp/$name-memory" --runs "$replay_runs" "${variants[@]}" 2>/dev/null
  "$report" program --out "$tmp/$name-program" "${length[@]}" "${variants[@]}" -- "$@" 2>/dev/null
  echo "== $name"
  awk '/^# offsets: / { for (i = 4; i <= NF; i++) { n += $i; if ((i - 4) % 16 == 0) a16 += $i } }
       /^# recent: / { r += $4 }
       /^# pages: / { p = $3 }
       END { printf "capture: %d calls, %.0f%% at a multiple of 16 bytes past a line, %.0f%% recent, %.1f MiB covered\n", n, 100 * a16 / n, 100 * r / n, p / 256 }' "$tmp/$name.cap"
  for way in old landed memory; do
    echo "-- replay: $way"
    "$report" summary "$tmp/$name-$way" "$tmp/$name-program" | grep -E '^(mix|prediction):'
  done
  "$report" summary "$tmp/$name-program" | grep -E '^time:'
}
check heavy "$tmp/heavy" 2000000
check cold "$tmp/cold" 300000
check python3 /usr/bin/python3 -c 'import json; [json.dumps({"a": [1] * i}) for i in range(3000)]'
check g++ g++ -O2 -std=c++17 -I"$here/../src" -c "$here/../src/batch/memset_batch.cpp" -o "$tmp/batch.o"
