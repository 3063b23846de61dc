#!/usr/bin/env bash
# memset-batch from the outside: how it binds memset (its build's promises,
# on the binary), what a run writes, its statuses for a bad command line and
# a file it cannot write; and campaigns on it with memset-report.
set -u
batch=$1 report=$2
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# memset and the empty function through lazily bound PLT slots, never inline.
dyn=$(readelf -d "$batch")
echo "$dyn" | grep -qE '\(BIND_NOW\)|Flags:.*\bNOW\b' && fail "bound at start-up, not at the first call"
relocs=$(readelf -rW "$batch")
for sym in memset memset_batch_empty; do
  echo "$relocs" | grep -qE "R_X86_64_JUMP_SLOT.* $sym" || fail "$sym has no lazy PLT slot"
done
asm=$(objdump -d -C --no-show-raw-insn "$batch")
echo "$asm" | grep -qE 'call +[0-9a-f]+ <memset@plt>' || fail "memset is not called through the PLT"
# The C++ runtime it links in (exceptions, the unwinder) clears its own
# memory with rep stos, outside any timed loop: only the engine's own
# functions are held to it.
echo "$asm" | awk '/^[0-9a-f]+ <.*>:$/ { fn = $0 } /rep stos/ { print fn }' |
  grep -vE '<(__cxa_|_Unwind|uw_|__frame_state_for|__gxx_|std::|__gnu_cxx::)' | grep -q . &&
  fail "a fill is expanded inline"

# A run: the mark, the header in its order, 32768 values of three decimals.
"$batch" "$tmp/b.txt" >"$tmp/out" 2>&1 || fail "a run: status $?: $(cat "$tmp/out")"
[ -s "$tmp/out" ] && fail "a run printed: $(cat "$tmp/out")"
[ "$(head -1 "$tmp/b.txt")" = "# memset-batch 3" ] || fail "mark: $(head -1 "$tmp/b.txt")"
# Where malloc put the buffer, as its own address says it.
sed -n 8p "$tmp/b.txt" | grep -qE '^# buffer: ([0-9]|[1-5][0-9]|6[0-3])$' || fail "buffer: $(sed -n 8p "$tmp/b.txt")"
[ "$(sed -n '2,7p' "$tmp/b.txt" | cut -d: -f1 | tr '\n' ' ')" = "# lengths # seed # resolution # read_cost # loop # batch " ] ||
  fail "header: $(sed -n '2,7p' "$tmp/b.txt")"
[ "$(tail -n +9 "$tmp/b.txt" | grep -cE '^[0-9]+\.[0-9]{3}$')" = 32768 ] || fail "values: $(tail -n +9 "$tmp/b.txt" | grep -vcE '^[0-9]+\.[0-9]{3}$') malformed"
# The longest fill costs more a call than the loop itself.
awk 'NR == 6 { loop = $3 } END { if (!($1 > loop)) exit 1 }' "$tmp/b.txt" || fail "32 KiB costs no more than the empty loop"

# Random lengths: every length of a band carries the band's value.
"$batch" "$tmp/r.txt" --random-lengths 3-7,100-200 --seed 9 || fail "random lengths: status $?"
[ "$(sed -n '2p;3p' "$tmp/r.txt" | tr '\n' ' ')" = "# lengths: random # seed: 9 " ] || fail "random header"
[ "$(sed -n '11,15p' "$tmp/r.txt" | sort -u | wc -l)" = 1 ] || fail "band 3..7 holds several values"
[ "$(sed -n '108,208p' "$tmp/r.txt" | sort -u | wc -l)" = 1 ] || fail "band 100..200 holds several values"

# Told where to land, a run says so in its header, which the report reads.
"$batch" "$tmp/p.txt" --align random --seed 5 --footprint 65536 || fail "a placed run failed"
[ "$(sed -n '1p;8p;9p' "$tmp/p.txt" | tr '\n' ' ')" = "# memset-batch 2 # align: random # footprint: 65536 " ] ||
  fail "placed header: $(head -9 "$tmp/p.txt")"
"$report" summary "$tmp/p.txt" >"$tmp/out" 2>&1 || fail "summary of a placed run: $(cat "$tmp/out")"

# Bad command lines: status 1; an unwritable file: status 2, said.
for args in "" "a b" "--seed 3 $tmp/x" "$tmp/x --random-lengths 7-3 --seed 1" "$tmp/x --random-lengths 1-7 --seed 1" "$tmp/x --frob" \
  "$tmp/x --align 64" "$tmp/x --align -1" "$tmp/x --align 016x" "$tmp/x --align random" \
  "$tmp/x --align 3 --seed 1" "$tmp/x --footprint 32767" "$tmp/x --footprint 1099511627777"; do
  # shellcheck disable=SC2086
  "$batch" $args >/dev/null 2>"$tmp/err"
  st=$?
  [ "$st" = 1 ] || fail "'$args': status $st, want 1"
  grep -q '^usage: memset-batch' "$tmp/err" || fail "'$args': no usage line"
done
"$batch" "$tmp/no/such/b.txt" 2>"$tmp/err"
st=$?
[ "$st" = 2 ] || fail "unwritable: status $st, want 2"
grep -q "cannot write results to '$tmp/no/such/b.txt'" "$tmp/err" || fail "unwritable: $(cat "$tmp/err")"

# A campaign on the batched engine: its record names the engine, its sets
# say what they measured, and a set of the other engine is not compared.
"$report" run --out "$tmp/c" --engine batch --random-lengths --runs 2 --variant a --variant b \
  >/dev/null 2>"$tmp/err" || fail "campaign: $(cat "$tmp/err")"
grep -qx 'engine: memset-batch' "$tmp/c/context.txt" && grep -qx 'engine_lengths: random' "$tmp/c/context.txt" ||
  fail "record: $(grep engine "$tmp/c/context.txt")"
grep -q '^# lengths: random' "$tmp/c/a/run-001.txt" || fail "the runs did not draw random lengths"
cmp -s <(sed -n 3p "$tmp/c/a/run-002.txt") <(sed -n 3p "$tmp/c/b/run-002.txt") ||
  fail "the variants of a round drew other lengths"
"$report" summary "$tmp/c" >"$tmp/out" 2>"$tmp/err" || fail "summary: $(cat "$tmp/err")"
grep -q '^engine: memset-batch, lengths drawn at random within each band' "$tmp/out" || fail "no engine line"
grep -q '^measured: memset-batch, the throughput of back-to-back calls' "$tmp/out" || fail "no measured line"
printf '1\n%.0s' $(seq 32768) | head -c -1 >"$tmp/bench.txt"
"$report" summary "$tmp/c/a" "$tmp/bench.txt" >/dev/null 2>"$tmp/err"
st=$?
[ "$st" = 1 ] && grep -q "cannot compare \[2\] .* (memset-bench) with \[1\] .* (memset-batch)" "$tmp/err" ||
  fail "across engines: status $st: $(cat "$tmp/err")"
head -c 3000 "$tmp/c/a/run-001.txt" >"$tmp/cut.txt"
"$report" summary "$tmp/cut.txt" >/dev/null 2>"$tmp/err"
st=$?
[ "$st" = 1 ] && grep -q "cut.txt" "$tmp/err" || fail "a cut file: status $st: $(cat "$tmp/err")"
"$report" run --out "$tmp/d" --engine fast 2>/dev/null
[ $? = 2 ] || fail "an unknown engine is no usage error"
[ -e "$tmp/d" ] && fail "an unknown engine made a folder"

# A campaign told where its fills land: the record keeps it, each round's
# drawn offsets are its variants' alike, and a summary beside a default
# campaign names the difference instead of comparing them as alike.
"$report" run --out "$tmp/l" --engine batch --align random --footprint 64K --runs 2 \
  --variant a --variant b >/dev/null 2>"$tmp/err" || fail "placed campaign: $(cat "$tmp/err")"
[ "$(grep -E '^(align|footprint):' "$tmp/l/context.txt" | tr '\n' ' ')" = "align: random footprint: 65536 " ] ||
  fail "placed record: $(grep -E '^(align|footprint)' "$tmp/l/context.txt")"
cmp -s <(sed -n 3p "$tmp/l/a/run-002.txt") <(sed -n 3p "$tmp/l/b/run-002.txt") ||
  fail "the variants of a round drew other offsets"
"$report" summary "$tmp/l/a" "$tmp/c/a" >"$tmp/out" 2>"$tmp/err" || fail "summary: $(cat "$tmp/err")"
grep -q '^landed: at random offsets from a 64-byte line, walking 65536 bytes$' "$tmp/out" ||
  fail "no landed line: $(grep landed "$tmp/out")"
grep -q '^landed differently: \[1\] .* walking 65536 bytes; \[2\] .* (the default)' "$tmp/out" ||
  fail "the difference is not named: $(grep -c landed "$tmp/out")"
for args in "--align 3" "--engine batch --align 64" "--engine batch --footprint 32767" \
  "--engine batch --footprint L3" "--engine batch --footprint 999999G"; do
  # shellcheck disable=SC2086
  "$report" run --out "$tmp/bad" $args >/dev/null 2>"$tmp/err"
  st=$?
  [ "$st" = 2 ] && [ "$(wc -l <"$tmp/err")" = 1 ] || fail "'$args': status $st: $(cat "$tmp/err")"
  [ -e "$tmp/bad" ] && fail "'$args' made a folder"
done

# Tuning campaigns of two places, advised side by side: each says where it
# holds, and one section says whether the advice differs between them.
for at in 0 16; do
  "$report" tune --out "$tmp/t$at" --runs 2 --engine batch --align $at --footprint 32K >/dev/null 2>&1 ||
    fail "tune at $at"
done
"$report" tune --from "$tmp/t0" --from "$tmp/t16" >"$tmp/out" 2>"$tmp/err" || fail "tune --from twice: $(cat "$tmp/err")"
[ "$(grep -c '^holds for: fills ' "$tmp/out")" = 2 ] || fail "no 'holds for' per campaign"
grep -q "^at: $tmp/t16: .* (fills 16 bytes past a 64-byte line, walking 32768 bytes; " "$tmp/out" &&
  grep -q '^advice: ' <(sed -n '/^== advice by where the fills land: 2 campaigns$/,$p' "$tmp/out") ||
  fail "no advice by where the fills land: $(tail -4 "$tmp/out")"

# A replay: the engine times the mix it is given, one figure; a campaign
# keeps the capture and the mix, and its summary is the mix's.
printf '# memset-mix 1\n8 70\n300 30\n' >"$tmp/mix.txt"
"$batch" "$tmp/p.txt" --replay "$tmp/mix.txt" --seed 4 || fail "replay: status $?"
[ "$(sed -n 2p "$tmp/p.txt")" = "# lengths: replay" ] && [ "$(wc -l <"$tmp/p.txt")" = 9 ] ||
  fail "replay file: $(cat "$tmp/p.txt")"
printf '# memset-mix 1\n8 0\n' >"$tmp/nomix.txt"
"$batch" "$tmp/p.txt" --replay "$tmp/nomix.txt" --seed 4 2>"$tmp/err"
[ $? = 2 ] && grep -q "cannot replay" "$tmp/err" || fail "a bad mix: $(cat "$tmp/err")"
printf '8 70\n300 30\n40000 5\n' >"$tmp/w.txt"
"$report" run --out "$tmp/m" --engine batch --replay "$tmp/w.txt" --runs 6 --variant a --variant b \
  >/dev/null 2>"$tmp/err" || fail "replay campaign: $(cat "$tmp/err")"
grep -qx 'engine_lengths: replay' "$tmp/m/context.txt" && grep -qx 'replay_calls: 100' "$tmp/m/context.txt" ||
  fail "replay record: $(grep replay "$tmp/m/context.txt")"
cmp -s "$tmp/w.txt" "$tmp/m/replay-source.txt" || fail "the capture was not kept as it was"
"$report" summary "$tmp/m" >"$tmp/out" 2>"$tmp/err" || fail "replay summary: $(cat "$tmp/err")"
grep -qE '^mix: (faster|slower|same|unclear) [0-9.]+' "$tmp/out" || fail "no mix line: $(cat "$tmp/out")"
grep -q '^replay: .*100 calls of 1..32768 bytes at 2 lengths (5 more calls left out' "$tmp/out" ||
  fail "no replay line: $(grep replay "$tmp/out")"
# A plain replay campaign (no variants) keeps its capture beside its runs too.
"$report" run --out "$tmp/mp" --engine batch --replay "$tmp/w.txt" --runs 2 >/dev/null 2>&1 || fail "plain replay"
"$report" summary "$tmp/mp" | grep -q '^replay: .*100 calls' || fail "plain replay summary: $("$report" summary "$tmp/mp" 2>&1)"
for bad in "$tmp/m --csv" "$tmp/m/a $tmp/c/a"; do
  # shellcheck disable=SC2086
  "$report" summary $bad >/dev/null 2>"$tmp/err"
  st=$?
  [ "$st" = 1 ] || [ "$st" = 2 ] || fail "summary $bad: status $st"
  [ "$(wc -l <"$tmp/err")" = 1 ] || fail "summary $bad: $(cat "$tmp/err")"
done
# Bad replays: no calls to replay, the other engine, random lengths too:
# refused before anything is written.
printf '0 9\n40000 5\n' >"$tmp/none.txt"
for args in "--engine batch --replay $tmp/none.txt" "--replay $tmp/w.txt" \
  "--engine batch --random-lengths --replay $tmp/w.txt" "--engine batch --replay $tmp/nothing.txt"; do
  # shellcheck disable=SC2086
  "$report" run --out "$tmp/n" $args --variant a --variant b >/dev/null 2>"$tmp/err"
  st=$?
  [ "$st" = 1 ] || [ "$st" = 2 ] || fail "run $args: status $st"
  [ -e "$tmp/n" ] && fail "run $args left $(ls "$tmp/n")"
  rm -rf "$tmp/n"
done
grep -qE "nothing to replay|none of its calls" <("$report" run --out "$tmp/n" --engine batch --replay "$tmp/none.txt" --variant a --variant b 2>&1) ||
  fail "no calls: not said"

echo "batch_cli: $failures failed"
[ "$failures" = 0 ]
