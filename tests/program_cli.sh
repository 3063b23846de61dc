#!/usr/bin/env bash
# memset-report program from the outside: the child's wall-clock and CPU
# time (wait4) reach each run's file and the summary; a command that is not
# found, fails, fails in a later round or outlasts --timeout stops the
# campaign with one line naming the variant, keeping the complete rounds.
report=$1
. "$(dirname "$0")/lib.sh"

# A command that burns some CPU: its runs' files hold its times.
burn=(sh -c 'i=0; while [ $i -lt 30000 ]; do i=$((i+1)); done; echo out; echo err >&2')
"$report" program --out "$tmp/p" --runs 4 --variant a --variant b -- "${burn[@]}" >"$tmp/out" 2>"$tmp/err" ||
  fail "campaign: $(cat "$tmp/err")"
[ -s "$tmp/out" ] && fail "the command's output was not discarded: $(cat "$tmp/out")"
grep -q '^err' "$tmp/err" && fail "the command's errors were not discarded"
[ "$(grep -c '^program: ' "$tmp/p/context.txt")" = 3 ] || fail "record: $(grep program "$tmp/p/context.txt")"
[ "$(head -1 "$tmp/p/a/run-001.txt")" = "# memset-program 1" ] || fail "run file: $(cat "$tmp/p/a/run-001.txt")"
cpu=$(sed -n 's/^cpu_us: //p' "$tmp/p/b/run-004.txt")
wall=$(sed -n 's/^wall_us: //p' "$tmp/p/b/run-004.txt")
[ "${cpu:-0}" -gt 1000 ] || fail "CPU time $cpu us: the child's wait4 figures did not reach the file"
[ "${wall:-0}" -ge "$((cpu / 2))" ] || fail "wall $wall us against CPU $cpu us"
"$report" summary "$tmp/p" >"$tmp/out" 2>"$tmp/err" || fail "summary: $(cat "$tmp/err")"
grep -qE '^time: (faster|slower|same|unclear) [0-9.]+' "$tmp/out" || fail "no time line: $(cat "$tmp/out")"
"$report" summary --wall "$tmp/p" | grep -q "wall-clock time" || fail "--wall is not the wall-clock time"
"$report" program --out "$tmp/p" --runs 1 -- true 2>"$tmp/err"
[ $? = 1 ] && grep -q "already" "$tmp/err" || fail "an existing folder: $(cat "$tmp/err")"

# The gate on a program's time: a variant that does ten times the work
# fails it unless the allowance is larger; a campaign too short to decide
# cannot pass it.
slow=(sh -c 'n=2000; [ -n "${SLOW:-}" ] && n=20000; i=0; while [ $i -lt $n ]; do i=$((i+1)); done')
"$report" program --out "$tmp/g" --runs 16 --variant a --variant b --env SLOW=1 -- "${slow[@]}" 2>/dev/null ||
  fail "gate campaign"
"$report" summary --fail-if-slower 5 "$tmp/g" >/dev/null 2>"$tmp/err"
[ $? = 3 ] && grep -q "\[2\] b is slower than \[1\] a in its CPU time by" "$tmp/err" || fail "gate: $(cat "$tmp/err")"
"$report" summary --fail-if-slower 1000 "$tmp/g" >/dev/null 2>"$tmp/err" || fail "a wide gate: $(cat "$tmp/err")"
"$report" summary --fail-if-slower 5 "$tmp/p" >/dev/null 2>"$tmp/err"
[ $? = 8 ] && grep -q "unclear in its CPU time" "$tmp/err" || fail "an unclear gate: $(cat "$tmp/err")"

# Separate campaigns of different commands: each set names its command,
# and the interleaving offered is the program's own.
"$report" program --out "$tmp/o" --runs 6 --variant a -- true 2>/dev/null || fail "campaign of true"
"$report" summary "$tmp/o" "$tmp/p/a" >"$tmp/out" 2>&1
grep -qx 'command: \[1\] true' "$tmp/out" && grep -q '^command: \[2\] sh -c' "$tmp/out" &&
  grep -q "interleave them with 'program --variant'" "$tmp/out" && grep -q ': 6 and 4 runs, unpaired;' "$tmp/out" ||
  fail "two commands: $(cat "$tmp/out")"

# --keep-output keeps each run's output beside its file.
"$report" program --out "$tmp/k" --runs 1 --keep-output --variant a -- "${burn[@]}" 2>/dev/null ||
  fail "keep-output campaign"
[ "$(cat "$tmp/k/a/run-001.out" 2>/dev/null)" = out ] && [ "$(cat "$tmp/k/a/run-001.err" 2>/dev/null)" = err ] ||
  fail "kept output: $(ls "$tmp/k/a")"

# How a run can end badly: one line naming the variant and how; the
# complete rounds stay, and nothing stays where none was complete.
expect_stop() { # folder, want-in-message, args...
  local dir=$1 want=$2
  shift 2
  "$report" program --out "$dir" "$@" >/dev/null 2>"$tmp/err"
  local st=$?
  [ "$st" != 0 ] || fail "$want: status 0"
  [ "$(wc -l <"$tmp/err")" = 1 ] && grep -q "$want" "$tmp/err" || fail "$want: $(cat "$tmp/err")"
}
# A command not found is a bad command line, as for capture: status 2.
expect 2 "command not found" -- "$report" program --out "$tmp/n" --runs 2 --variant b -- /no/such/command
grep -q "program: no such command, or not executable: '/no/such/command'" "$tmp/err" || fail "not found: $(cat "$tmp/err")"
[ -e "$tmp/n" ] && fail "a command not found left a folder"
expect_stop "$tmp/x" "(a) failed: the command ended with exit status 3" --runs 2 --variant a -- sh -c 'exit 3'
expect_stop "$tmp/t" "ran longer than 1 s (--timeout) and was stopped" --runs 1 --timeout 1 --variant a -- sleep 5
counter="$tmp/count"
expect_stop "$tmp/l" "round 3 of 5 (.) failed: .*exit status 4 (its output: .*run-003.err).*2 rounds complete, kept" \
  --runs 5 --keep-output --variant a --variant b \
  -- sh -c 'n=$(cat "$0" 2>/dev/null || echo 0); n=$((n+1)); echo $n >"$0"; [ $n != 5 ] || exit 4' "$counter"
[ "$(ls "$tmp/l/a"/*.txt | wc -l)" = 2 ] && grep -qx 'stop: failed' "$tmp/l/context.txt" ||
  fail "the complete rounds: $(ls "$tmp/l/a"; grep stop "$tmp/l/context.txt")"
# More rounds run the failed round again, its kept output made afresh.
"$report" run --more "$tmp/l" --runs 3 >/dev/null 2>"$tmp/err" || fail "--more after a failure: $(cat "$tmp/err")"
[ "$(ls "$tmp/l/b"/*.txt | wc -l)" = 5 ] || fail "--more: $(ls "$tmp/l/b")"
"$report" program --runs 2 -- true 2>/dev/null
[ $? = 2 ] || fail "no --out is no usage error"

# Until decided, no look comes before the rounds span --min-span seconds;
# the record counts the seconds, and a budget shorter than the span (the
# default 20 s) is refused before anything is written.
expect 0 "a campaign with a span" -- "$report" program --out "$tmp/s" --budget 5 --min-span 1.5 --variant a --variant b -- true
grep -qx 'min_span: 1.5 s' "$tmp/s/context.txt" || fail "no min_span: $(grep -E 'min_span|elapsed' "$tmp/s/context.txt")"
awk '/^elapsed: / { ok = $2 >= 1.5 } END { exit !ok }' "$tmp/s/context.txt" ||
  fail "looked before 1.5 s: $(grep -E '^(elapsed|rounds|stop):' "$tmp/s/context.txt")"
expect 2 "a budget shorter than the span" -- "$report" program --out "$tmp/short" --budget 5 --variant a --variant b -- true
grep -q "ends before the rounds span 20 s (--min-span)" "$tmp/err" && [ ! -e "$tmp/short" ] ||
  fail "a short budget: $(cat "$tmp/err"; ls "$tmp/short" 2>&1)"
expect 2 "--min-span with --runs" -- "$report" program --out "$tmp/short" --runs 3 --min-span 1 -- true
# With nothing to compare there is nothing to wait for.
expect 0 "one variant, a short budget" -- "$report" program --out "$tmp/one" --budget 1 -- true
grep -q '^min_span:' "$tmp/one/context.txt" && fail "one variant waited for a span"

# A session cut off before it ends leaves a record that says it was under
# way, and its summary claims no more than its next look could; --more then
# ends it with a stop of its own. While it runs, no other session may add
# runs to it.
"$report" program --out "$tmp/c" --budget 60 --variant a --variant b -- sleep 0.5 >/dev/null 2>&1 &
pid=$!
for _ in $(seq 100); do
  grep -qx 'stop: running' "$tmp/c/context.txt" 2>/dev/null && break
  sleep 0.05
done
# Meanwhile a second session on the same campaign is refused.
"$report" run --more "$tmp/c" --runs 1 >/dev/null 2>"$tmp/err"
[ $? = 1 ] && grep -q "is in use: another memset-report" "$tmp/err" || fail "two sessions at once: $(cat "$tmp/err")"
{
  kill -9 "$pid"
  wait "$pid"
} 2>/dev/null
"$report" summary "$tmp/c" >"$tmp/out" 2>&1
grep -q '^under way: no end recorded' "$tmp/out" || fail "a cut-off session: $(cat "$tmp/out")"
sed 's/^stop: running$/stop: budget/' "$tmp/c/context.txt" >"$tmp/ended" && cp "$tmp/ended" "$tmp/c/context.txt"
"$report" summary "$tmp/c" >"$tmp/out2" 2>&1
level() { sed -n 's/.*ratio of low, \(.*\)% intervals$/\1/p' "$1"; }
awk -v a="$(level "$tmp/out")" -v b="$(level "$tmp/out2")" 'BEGIN { exit !(a + 0 > b + 0) }' ||
  fail "under way at $(level "$tmp/out")%, ended at $(level "$tmp/out2")%"
sed -i 's/^stop: budget$/stop: running/' "$tmp/c/context.txt"
"$report" run --more "$tmp/c" --runs 2 >/dev/null 2>"$tmp/err" || fail "--more of a cut-off session: $(cat "$tmp/err")"
grep -qx 'stop: running' "$tmp/c/context.txt" && fail "--more left the record under way"

# A replay's prediction beside the program's measurement: of the same
# capture and variants, and refused for other variants.
cat >"$tmp/cap.txt" <<'CAP'
# memset-report capture
# command: true
# outcome: ok: exit status 0
# wall_time: 0.002 s
# cpu_time: 0.001 s
# calls: 1000
# processes: 1
# libc: glibc 2.36
# date: 2026-12-09T13:23:13Z
64 1000
CAP
"$report" run --engine batch --replay "$tmp/cap.txt" --out "$tmp/r" --runs 6 --variant a --variant b 2>"$tmp/err" ||
  fail "replay: $(cat "$tmp/err")"
"$report" program --out "$tmp/q" --runs 6 --variant a --variant b -- true 2>"$tmp/err" || fail "program: $(cat "$tmp/err")"
"$report" summary "$tmp/r" "$tmp/q" >"$tmp/out" 2>"$tmp/err" || fail "prediction: $(cat "$tmp/err")"
grep -qE '^prediction: b predicted [-+][0-9.]+ ms \[.*\] a run, measured [-+][0-9.]+ ms .*: (cannot check it \(.*\)|the measured interval (holds|does not hold) the prediction)$' "$tmp/out" ||
  fail "no prediction line: $(grep -A3 '== prediction' "$tmp/out")"
grep -q '^warning: the replay' "$tmp/out" && fail "a capture of the command warned of another"
"$report" summary "$tmp/r" "$tmp/k" >/dev/null 2>"$tmp/err"
[ $? = 1 ] && grep -q "give the same variants" "$tmp/err" || fail "other variants: $(cat "$tmp/err")"

finish
