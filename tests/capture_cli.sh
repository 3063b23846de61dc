#!/usr/bin/env bash
# memset-report capture on commands whose calls are known: exact counts over
# threads, fork, exec, __memset_chk and a child killed by SIGKILL; how each
# ending is written and what capture returns; bad input.
report=$1 fixture=$2 target=$3 static=$4
. "$(dirname "$0")/lib.sh"
cap=$tmp/cap.txt

expect 0 "the fixture" -- "$report" capture --out "$cap" -- "$fixture" "$target"
# Every length and count, exactly: main 100x3, threads 200x7 and 300x11,
# children 400x13 and (killed) 500x17, __memset_chk 600x19, 65536x2 above
# the sweep, and the executed program 40x23 and 0x1.
want='0 1
40 23
100 3
200 7
300 11
400 13
500 17
600 19
65536 2'
[ "$(grep -v '^#' "$cap")" = "$want" ] || fail "counts: $(grep -v '^#' "$cap" | tr '\n' ' ')"
for line in "# memset-report capture" "# calls: 96" "# processes: 4" "# outcome: ok: exit status 0" \
  "# command: $fixture $target"; do
  grep -qxF "$line" "$cap" || fail "no line '$line' in: $(head -9 "$cap" | tr '\n' '|')"
done
grep -qE '^# wall_time: [0-9]+\.[0-9]{6} s$' "$cap" || fail "wall time: $(grep wall "$cap")"
grep -qE '^# date: 20[0-9-]{8}T[0-9:]{8}Z$' "$cap" || fail "date: $(grep date "$cap")"

# More threads than rows of counts: those beyond share one, and none is lost.
# Where the fills landed: offsets from a line by class of lengths, and the
# fills whose first line a recent fill touched (the first of each run is not).
expect 0 "the landing fixture" -- "$report" capture --out "$tmp/landing.txt" -- "$fixture" x landing
offsets() { # CLASS: its offsets line's counts that are not 0, as OFFSET=COUNT
  sed -n "s/^# offsets: $1 //p" "$tmp/landing.txt" | tr ' ' '\n' | awk '$1 != 0 { printf "%d=%d ", NR - 1, $1 }'
}
[ "$(offsets 64..127)" = "0=13 16=7 " ] || fail "offsets of 64..127: $(offsets 64..127)"
[ "$(offsets 512..1023)" = "33=5 " ] || fail "offsets of 512..1023: $(offsets 512..1023)"
grep -qx "# recent: 64..127 19" "$tmp/landing.txt" || fail "recent: $(grep recent "$tmp/landing.txt")"
grep -qx "# recent: 512..1023 4" "$tmp/landing.txt" || fail "recent: $(grep recent "$tmp/landing.txt")"
grep -qx "# landing: 1" "$tmp/landing.txt" || fail "no landing version line"
# The memory the fills covered: 20000 pages filled twice each, estimated
# within 3% (a few more pages: the fixture's start-up fills).
expect 0 "the pages fixture" -- "$report" capture --out "$tmp/pages.txt" -- "$fixture" x pages 20000
pages=$(sed -n 's/^# pages: //p' "$tmp/pages.txt")
[ "${pages:-0}" -ge 19400 ] && [ "$pages" -le 20700 ] || fail "20000 pages estimated as '$pages'"
fake_values >"$tmp/set.txt"
sed 's/^# pages: .*/# pages: 12x/' "$tmp/pages.txt" >"$tmp/bad.txt"
expect 1 "a bad pages line" -- "$report" summary --weights "$tmp/bad.txt" "$tmp/set.txt"
# A later version's landing lines are notes: the lengths still read.
sed 's/^# landing: 1$/# landing: 7/; s/^# offsets: 64..127 .*/# offsets: 64..127 new/' "$tmp/landing.txt" >"$tmp/newer.txt"
expect 0 "a newer capture's landing" -- "$report" summary --weights "$tmp/newer.txt" "$tmp/set.txt"
sed 's/^# recent: 64..127 19$/# recent: 64..127 x/' "$tmp/landing.txt" >"$tmp/bad.txt"
expect 1 "a bad landing line" -- "$report" summary --weights "$tmp/bad.txt" "$tmp/set.txt"
grep -q "bad.txt:[0-9]*: a capture's 'recent' cannot be '64..127 x'" "$tmp/err" || fail "bad landing: $(cat "$tmp/err")"
# A replay plays the fills where the capture found them (2 of its 25 calls
# cold: the first of each run of fills): its mix says so,
# its record and summary too; --align capture asks it of a capture that
# cannot say, which is refused with what to do.
expect 0 "a replay as landed" -- "$report" run --out "$tmp/rl" --engine batch --replay "$tmp/landing.txt" \
  --footprint 1M --runs 2 --variant a --variant b
[ "$(head -2 "$tmp/rl/replay-mix.txt" | tr '\n' ' ')" = "# memset-mix 2 # cold: 80000 " ] ||
  fail "the landed mix: $(head -3 "$tmp/rl/replay-mix.txt")"
grep -qx "align: capture" "$tmp/rl/context.txt" && grep -qx "footprint: 1048576" "$tmp/rl/context.txt" ||
  fail "the landed replay's record: $(grep -E '^(align|footprint)' "$tmp/rl/context.txt")"
expect 0 "its summary" -- "$report" summary "$tmp/rl"
grep -q "^landed: \[1\] as the capture found them: .* at random lines of 1048576 bytes" "$tmp/out" || fail "no landed line"
grep -q "^per run: .*; from the capture's mix, replayed in a shuffled order, fills as the capture found them" "$tmp/out" ||
  fail "the per-run line does not say where the replay's fills landed: $(grep '^per run' "$tmp/out")"
# Without --footprint, its cold calls walk the memory the capture's fills
# covered (here a few pages: the least a landed replay walks).
expect 0 "a replay in the capture's memory" -- "$report" run --out "$tmp/rp" --engine batch \
  --replay "$tmp/landing.txt" --runs 1 --variant a
grep -qx "footprint_level: capture" "$tmp/rp/context.txt" && grep -qx "footprint: 262144" "$tmp/rp/context.txt" ||
  fail "the capture's footprint: $(grep -E '^footprint' "$tmp/rp/context.txt")"
expect 0 "its summary" -- "$report" summary "$tmp/rp"
grep -q "^landed: .* at random lines of 262144 bytes (the memory the capture's fills covered)" "$tmp/out" ||
  fail "no capture's memory in: $(grep '^landed' "$tmp/out")"
grep -v -E '^# (landing|pages|offsets|recent):' "$tmp/landing.txt" >"$tmp/old.txt"
expect 1 "--align capture of an older capture" -- "$report" run --out "$tmp/ro" --engine batch \
  --replay "$tmp/old.txt" --align capture --runs 1 --variant a
grep -q "old.txt: says nothing of where its fills landed .* capture the command again" "$tmp/err" ||
  fail "older capture: $(cat "$tmp/err")"
[ ! -e "$tmp/ro" ] || fail "a folder was made for a refused replay"
expect 2 "--align capture without a replay" -- "$report" run --out "$tmp/ro" --engine batch --align capture
expect 2 "a landed replay in too small a region" -- "$report" run --out "$tmp/ro" --engine batch \
  --replay "$tmp/landing.txt" --footprint 64K --runs 1 --variant a
expect 0 "300 threads" -- "$report" capture --out "$tmp/many.txt" -- "$fixture" x many
[ "$(grep -v '^#' "$tmp/many.txt")" = "700 300" ] || fail "300 threads: $(grep -v '^#' "$tmp/many.txt")"

# A failing command leaves its capture, marked; status 9.
expect 9 "a failing command" -- "$report" capture --out "$tmp/failed.txt" -- "$fixture" "$target" fail
grep -qx "# outcome: failed: exit status 3" "$tmp/failed.txt" || fail "failed: not marked"
grep -q "marked 'outcome: failed'" "$tmp/err" || fail "failed: $(cat "$tmp/err")"

# A server, stopped by --duration: what it counted is kept, and that is success.
expect 0 "--duration" -- "$report" capture --out "$tmp/served.txt" --duration 0.3 -- "$fixture" x serve
grep -qx "900 5" "$tmp/served.txt" || fail "--duration: counts lost"
grep -q "^# outcome: stopped: stopped after 0.3 s" "$tmp/served.txt" || fail "--duration: not marked"

# A capture of the fixture in MODE, sent SIGINT SECONDS after the fixture
# started; its status in $st.
interrupt_capture() { # out mode seconds
  "$report" capture --out "$1" -- "$fixture" x "$2" 2>"$tmp/err" &
  local pid=$!
  for _ in $(seq 50); do [ -n "$(pgrep -P $pid)" ] && break; sleep 0.1; done
  sleep "$3"
  kill -INT $pid
  wait $pid
  st=$?
}

# Interrupted: the capture so far is written, and the status says how.
interrupt_capture "$tmp/int.txt" serve 0.3
[ $st = 130 ] || fail "interrupted: status $st; $(cat "$tmp/err")"
grep -qx "900 5" "$tmp/int.txt" && grep -q "^# outcome: interrupted" "$tmp/int.txt" ||
  fail "interrupted: $(head -3 "$tmp/int.txt" 2>&1)"

# Interrupted while busy: the CPU time it spent until then is kept, as the
# CPU share per run rests on it.
interrupt_capture "$tmp/spin.txt" spin 0.5
awk '$2 == "cpu_time:" && $3 >= 0.1 { ok = 1 } END { exit !ok }' "$tmp/spin.txt" ||
  fail "interrupted busy command: $(grep -e cpu_time -e outcome "$tmp/spin.txt" 2>&1)"

# No calls seen: status 10, the reasons, nothing written.
expect 10 "a static binary" -- "$report" capture --out "$tmp/static.txt" -- "$static"
grep -q "no calls captured.*static binary" "$tmp/err" || fail "static: $(cat "$tmp/err")"
[ ! -e "$tmp/static.txt" ] || fail "static: a file was written"

# Bad input: nothing runs, nothing is replaced.
cp "$cap" "$tmp/keep.txt"
expect 1 "an existing file" -- "$report" capture --out "$cap" -- "$fixture" "$target" fail
cmp -s "$cap" "$tmp/keep.txt" || fail "an existing file was changed"
expect 0 "--force" -- "$report" capture --force --out "$cap" -- "$fixture" "$target"
expect 2 "no command" -- "$report" capture --out "$tmp/x.txt"
expect 2 "no --out" -- "$report" capture -- "$fixture" "$target"
expect 2 "no such command" -- "$report" capture --out "$tmp/x.txt" -- no-such-command-here
expect 6 "an unwritable folder" -- "$report" capture --out "$tmp/no/such/x.txt" -- touch "$tmp/ran"
[ ! -e "$tmp/ran" ] || fail "the command ran though its capture could not be written"
expect 2 "a bad --duration" -- "$report" capture --out "$tmp/x.txt" --duration -1 -- true
ls "$tmp" | grep -q tmp- && fail "a temporary file was left: $(ls "$tmp")"
finish
