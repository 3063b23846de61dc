#!/usr/bin/env bash
# The benchmark's arithmetic on the real binary: gdb sets the counter
# readings, and the values written and the buffers seeded must follow.
bench=$1
. "$(dirname "$0")/lib.sh"
if ! command -v gdb >/dev/null; then
  echo "gdb is not installed: counter arithmetic untested (Debian: apt-get install gdb)"
  [ -n "${MEMSET_STRICT_TESTS:-}" ] && exit 1
  exit 77
fi

# Readings: the seed, then 8 pairs per length. Length 1: differences adding
# up to 103; length 2: up to 7; length 3: seven of 1 and one reading a tick
# below the one before (wraps to a sum of 6); length 4: eight pairs across a
# carry into the upper half (0xfffffff0 to 2^32 + 0x10, 32 ticks each).
pairs() { for d in "$@"; do printf '0:1000 0:%d ' $((1000 + d)); done; }
timed="$(pairs 13 13 13 13 13 13 13 12)$(pairs 1 1 1 1 1 1 1 0)$(pairs 1 1 1 1 -1 1 1 1)"
timed+=$(for i in 1 2 3 4 5 6 7 8; do printf '0:0xfffffff0 1:0x10 '; done)

# The seeding's stream, as the generator is defined, for the seed 2^32 + 5.
lcg() {
  /usr/bin/python3 -c '
import sys
r, src, dest = int(sys.argv[1]), [], []
for _ in range(4):
    for out in (src, dest):
        r = (r * 41943011 - 2147483647) % 2**64
        out.append(str((r >> 32) & 255))
print("seeded src=%s dest=%s" % (",".join(src), ",".join(dest)))' "$1"
}

for seed in "0:0 seeded src=255,104,2,211 dest=14,36,192,112" \
  "0:1 seeded src=255,129,234,197 dest=13,107,31,105" "1:5 $(lcg $((2 ** 32 + 5)))"; do
  reading=${seed%% *} want=${seed#* }
  rm -f "$tmp/r.txt"
  PLAN="$reading $timed" gdb -batch -nx -x "$(dirname "$0")/bench_counter.py" --args "$bench" "$tmp/r.txt" \
    >"$tmp/out" 2>"$tmp/err"
  grep -qx "$want" "$tmp/out" || fail "seed $reading: want '$want', got: $(cat "$tmp/out" "$tmp/err" | head -5)"
  [ "$(head -4 "$tmp/r.txt" | tr '\n' ' ')" = "12 0 0 32 " ] ||
    fail "seed $reading: first values $(head -4 "$tmp/r.txt" | tr '\n' ' '), want 12 0 0 32"
  [ "$(grep -c '' "$tmp/r.txt")" = 32768 ] || fail "seed $reading: the run did not finish"
done

finish
