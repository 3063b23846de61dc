#!/usr/bin/env bash
# Campaigns with a stand-in benchmark: interleaved variants, failing, hanging
# and silent runs, interruption, and what the record says.
report=$1
. "$(dirname "$0")/lib.sh"

# The stand-in notes what it saw, then does what FAKE_MODE says.
cat >"$tmp/fake" <<FAKE
#!/usr/bin/env bash
echo "\${MEMSET_TEST_VAR:-} \$(grep Cpus_allowed_list /proc/self/status | cut -f2)" >>"\$(dirname "\$1").seen"
n=\$(ls "\$(dirname "\$1")" | grep -c '^run-[0-9]*\.txt\$')
case "\${FAKE_MODE:-}" in
  fail) [ "\$n" -ge 1 ] && { echo "fake: boom" >&2; exit 3; } ;;
  silent) exit 0 ;;
  hang) sleep 30 ;;
  slow) sleep 0.3 ;;
  chatty) echo "chatter on standard output" ;;
  noisy) FAKE_SCALE=\$((1 + RANDOM % 3)).\$RANDOM ;;
  stuck) [ "\$(ls "\$(dirname "\$(dirname "\$1")")"/*/ | grep -c '^run-[0-9]*\.txt\$')" -ge 3 ] && exec sleep 317.125 ;;
esac
$(declare -f fake_values)
fake_values >"\$1"
FAKE
chmod +x "$tmp/fake"

# Interleaved: one folder per variant, orders recorded, each variant's own
# environment reaching its runs alone, replacing the common one.
expect 0 "interleaved" -- "$report" run --out "$tmp/il" --runs 4 --bench "$tmp/fake" --seed 7 \
  --env MEMSET_TEST_VAR=common --variant a --variant b --env MEMSET_TEST_VAR=own --variant c
[ "$(ls "$tmp/il" | grep -v seen)" = "$(printf 'a\nb\nc\ncontext.txt')" ] || fail "layout: $(ls "$tmp/il" | tr '\n' ' ')"
[ "$(ls "$tmp/il/b" | grep -c '^run-00[1-4].txt$')" = 4 ] || fail "b holds: $(ls "$tmp/il/b" | tr '\n' ' ')"
sort -u "$tmp/il/a.seen" | grep -qx 'common .*' && sort -u "$tmp/il/b.seen" | grep -qx 'own .*' &&
  [ "$(cut -d' ' -f1 "$tmp/il/b.seen" | sort -u)" = own ] || fail "variant env: $(cat "$tmp"/il/*.seen)"
grep -qx 'shuffle_seed: 7' "$tmp/il/context.txt" || fail "no seed recorded"
orders=$(grep '^order: ' "$tmp/il/context.txt")
[ "$(echo "$orders" | wc -l)" = 4 ] || fail "want 4 orders: $orders"
echo "$orders" | while read -r _ n v1 v2 v3; do
  [ "$(printf '%s\n' "$v1" "$v2" "$v3" | sort | tr '\n' ' ')" = "a b c " ] || echo "bad order $n"
done | grep -q . && fail "an order is not a permutation of the variants: $orders"
grep -qx 'variant_env: b MEMSET_TEST_VAR=own' "$tmp/il/context.txt" || fail "b's setting not recorded"
expect 0 "same seed, same orders" -- "$report" run --out "$tmp/il2" --runs 4 --bench "$tmp/fake" --seed 7 \
  --variant a --variant b --variant c
[ "$(grep '^order: ' "$tmp/il2/context.txt")" = "$orders" ] || fail "orders differ for one seed"
expect 0 "summary of an interleaved campaign" -- "$report" summary "$tmp/il"
[ "$(grep -c '^== compare .*: 4 rounds, paired; ' "$tmp/out")" = 2 ] || fail "not paired: $(grep '^==' "$tmp/out")"

# A variant twice as slow fails a gate of 5%.
expect 0 "slow variant" -- "$report" run --out "$tmp/gate" --runs 6 --bench "$tmp/fake" \
  --variant base --variant slow --env FAKE_SCALE=2
expect 3 "fail-if-slower" -- "$report" summary --fail-if-slower 5 "$tmp/gate"
# Where both read their floors, the slow one's is twice the other's: slower,
# but only a bound; above them, the size itself.
grep -q "^range: 3\.\.[0-9]* slower, at least 1\.9[0-9] and .*(hidden in both sets' readings" "$tmp/out" &&
  grep -q '^range: [0-9]*\.\.32768 slower 2\.00' "$tmp/out" || fail "gate ranges: $(grep range "$tmp/out")"
grep -q 'slow is slower than \[1\] base' "$tmp/err" || fail "gate message: $(cat "$tmp/err")"
# Slower within the gate where the sizes show; where they hide, by at least
# what the gate allows, and by how much more no one can tell.
expect 8 "within the gate, but hidden" -- "$report" summary --fail-if-slower 150 "$tmp/gate"
grep -q 'by at least 9[0-9]\.[0-9]%, but the fills hide' "$tmp/err" || fail "hidden gate: $(cat "$tmp/err")"
expect 0 "within the gate" -- "$report" summary --fail-if-slower 150 --allow-unclear "$tmp/gate"

# The threshold a campaign stops on is recorded; summary reads at it unless
# told otherwise, and more rounds keep it. A variant 1.5% dearer is `same`
# within 5%, `slower` within 1%.
expect 0 "a threshold of 5%" -- "$report" run --out "$tmp/thr" --runs 8 --threshold 5 --bench "$tmp/fake" \
  --variant base --variant dear --env FAKE_SCALE=1.015
grep -qx 'threshold: 5' "$tmp/thr/context.txt" || fail "threshold not recorded: $(grep thr "$tmp/thr/context.txt")"
expect 0 "summary at the recorded threshold" -- "$report" summary "$tmp/thr"
grep -q '^range: [0-9]*\.\.32768 same ' "$tmp/out" || fail "recorded threshold not used: $(grep range "$tmp/out")"
expect 0 "summary at a given threshold" -- "$report" summary --threshold 0.5 "$tmp/thr"
grep -q '^range: [0-9]*\.\.32768 slower ' "$tmp/out" || fail "--threshold not used: $(grep range "$tmp/out")"
expect 0 "more rounds keep it" -- "$report" run --more "$tmp/thr" --runs 2
[ "$(grep -c '^threshold: ' "$tmp/thr/context.txt")" = 1 ] && grep -qx 'threshold: 5' "$tmp/thr/context.txt" ||
  fail "threshold after --more: $(grep thr "$tmp/thr/context.txt")"

# Interrupted before it was decided: the record and the summary say so.
FAKE_MODE=slow "$report" run --out "$tmp/intd" --bench "$tmp/fake" --variant a --variant b 2>/dev/null &
pid=$!
for _ in $(seq 100); do [ -e "$tmp/intd/a/run-002.txt" ] && break; sleep 0.1; done
kill -INT $pid
wait $pid
[ "$?" = 130 ] || fail "interrupted adaptive campaign: wrong status"
grep -qx 'stop: interrupted' "$tmp/intd/context.txt" && grep -q '^rounds: [1-9]' "$tmp/intd/context.txt" ||
  fail "record of an interrupted campaign: $(grep -E '^(rounds|stop)' "$tmp/intd/context.txt")"
[ "$(grep -c '^order: ' "$tmp/intd/context.txt")" = "$(grep '^rounds: ' "$tmp/intd/context.txt" | cut -d' ' -f2)" ] ||
  fail "orders do not match the rounds kept"
expect 0 "summary of it" -- "$report" summary "$tmp/intd"
grep -qx 'stopped: interrupted before it was decided' "$tmp/out" || fail "no stopped line: $(head -3 "$tmp/out")"

# Until decided: runs that agree decide at the first look, 11 rounds; runs
# that scatter over x3 are still undecided when the budget is spent.
expect 0 "until decided" -- "$report" run --out "$tmp/dec" --bench "$tmp/fake" --variant a --variant b --env FAKE_SCALE=2
grep -qx 'stop: decided' "$tmp/dec/context.txt" && grep -qx 'rounds: 11' "$tmp/dec/context.txt" &&
  grep -qx 'looks: 1' "$tmp/dec/context.txt" || fail "not decided at 11: $(grep -E '^(rounds|looks|stop)' "$tmp/dec/context.txt")"
grep -qE '^memset-report: decided after 11 rounds in [0-9.]+ s$' "$tmp/err" || fail "decided: $(cat "$tmp/err")"
start=$(date +%s)
FAKE_MODE=noisy expect 0 "until the budget" -- "$report" run --out "$tmp/bud" --bench "$tmp/fake" --budget 3 --variant a --variant b
[ $(($(date +%s) - start)) -lt 20 ] || fail "the budget did not stop the campaign"
grep -qx 'stop: budget' "$tmp/bud/context.txt" || fail "budget: $(grep -E '^(rounds|looks|stop)' "$tmp/bud/context.txt")"
grep -qE "^memset-report: its budget of [0-9.]+ s was spent before it was decided: [0-9]+ rounds in [0-9.]+ s; still unclear: b [0-9]+\.\..*; more rounds: memset-report run --more '$tmp/bud'\$" "$tmp/err" ||
  fail "budget line: $(cat "$tmp/err")"
expect 0 "summary of it" -- "$report" summary "$tmp/bud"
grep -qx 'stopped: its budget of 3 s was spent before it was decided' "$tmp/out" || fail "summary's stopped line"
grep -q '^range: .* unclear' "$tmp/out" || fail "undecided campaign has no unclear range: $(grep range "$tmp/out")"
# A gate that cannot decide does not pass, unless told to.
expect 8 "unclear gate" -- "$report" summary --fail-if-slower 5 "$tmp/bud"
grep -q "is unclear over" "$tmp/err" || fail "unclear gate: $(cat "$tmp/err")"
expect 0 "unclear allowed" -- "$report" summary --fail-if-slower 5 --allow-unclear "$tmp/bud"
# More rounds with the same settings; refused where the machine differs.
rounds=$(grep '^rounds: ' "$tmp/bud/context.txt" | cut -d' ' -f2)
FAKE_MODE=noisy expect 0 "more rounds" -- "$report" run --more "$tmp/bud" --runs 2
grep -qx "rounds: $((rounds + 2))" "$tmp/bud/context.txt" || fail "more: $(grep -E '^(rounds|looks)' "$tmp/bud/context.txt")"
[ -e "$tmp/bud/a/run-$(printf '%03d' $((rounds + 2))).txt" ] || fail "more: no run $((rounds + 2))"
# A continuation until decided keeps its own budget beside the first, and
# the stop line names the last.
FAKE_MODE=noisy expect 0 "more with a budget" -- "$report" run --more "$tmp/bud" --budget 2
[ "$(grep '^budget: ' "$tmp/bud/context.txt" | tr '\n' ' ')" = "budget: 3 s budget: 2 s " ] ||
  fail "budgets: $(grep '^budget' "$tmp/bud/context.txt")"
expect 0 "summary after more" -- "$report" summary "$tmp/bud"
grep -qx 'stopped: its budget of 2 s was spent before it was decided' "$tmp/out" || fail "summary's stopped line after more"
sed -i 's/^host: .*/host: elsewhere/' "$tmp/bud/context.txt"
expect 1 "more on another machine" -- "$report" run --more "$tmp/bud" --runs 1
grep -q "the host differs" "$tmp/err" || fail "more refusal: $(cat "$tmp/err")"
GLIBC_TUNABLES=glibc.cpu.x86_rep_stosb_threshold=1 expect 1 "more with other tunables" -- "$report" run --more "$tmp/dec" --runs 1
grep -q "inherited environment differs" "$tmp/err" || fail "more refusal: $(cat "$tmp/err")"
expect 2 "more with settings" -- "$report" run --more "$tmp/dec" --variant c

# A failing run: status 4 with the benchmark's status; complete rounds stay,
# the round under way goes.
FAKE_MODE=fail expect 4 "failing run" -- "$report" run --out "$tmp/fails" --runs 4 --bench "$tmp/fake" --variant a --variant b
grep -q "round 2 of 4 (.) failed: benchmark exit status 3; campaign stopped, 1 round complete, kept in '$tmp/fails'; more rounds: memset-report run --more '$tmp/fails'$" "$tmp/err" ||
  fail "failure not reported: $(cat "$tmp/err")"
[ "$(cd "$tmp/fails" && ls a b | grep -c '^run-')" = 2 ] && [ ! -e "$tmp/fails/a/run-002.txt" ] ||
  fail "after the failure: $(cd "$tmp/fails" && ls -R)"

# A run that exits 0 but writes nothing is a failure, and a campaign with no
# complete run leaves nothing behind, so the folder can be used again.
mkdir "$tmp/silent"
FAKE_MODE=silent expect 4 "silent run" -- "$report" run --out "$tmp/silent" --runs 2 --bench "$tmp/fake"
grep -q "run 1 of 2: benchmark exited 0 but wrote no complete result ($tmp/silent/run-001.txt: empty file)" "$tmp/err" ||
  fail "silent run: $(cat "$tmp/err")"
[ -z "$(ls -A "$tmp/silent")" ] || fail "silent campaign left: $(ls -A "$tmp/silent")"
expect 0 "the same folder again" -- "$report" run --out "$tmp/silent" --runs 1 --bench "$tmp/fake"
FAKE_MODE=silent expect 4 "silent run into a new folder" -- "$report" run --out "$tmp/gone/deeper" --runs 1 --bench "$tmp/fake"
[ -e "$tmp/gone/deeper" ] && fail "folders made for a failed campaign were left"
mkdir "$tmp/empty-ctx" && : >"$tmp/empty-ctx/context.txt"
expect 0 "an empty context.txt is no campaign" -- "$report" run --out "$tmp/empty-ctx" --runs 1 --bench "$tmp/fake"

# A hanging run is killed at the time limit: status 5, its file gone.
start=$(date +%s)
FAKE_MODE=hang expect 5 "hanging run" -- "$report" run --out "$tmp/hang" --runs 2 --timeout 1 --bench "$tmp/fake"
[ $(($(date +%s) - start)) -lt 10 ] || fail "the time limit did not stop the run"
grep -q "run 1 of 2: no result within 1 s (--timeout)" "$tmp/err" || fail "timeout: $(cat "$tmp/err")"
[ -e "$tmp/hang" ] && fail "a timed-out first run left a campaign: $(ls -A "$tmp/hang")"

# Interrupted: only complete runs stay, and the summary says what is missing.
FAKE_MODE=slow "$report" run --out "$tmp/int" --runs 20 --bench "$tmp/fake" 2>"$tmp/err" &
pid=$!
sleep 1.5
kill -INT $pid
wait $pid
st=$?
[ "$st" = 130 ] || fail "interrupted campaign: status $st, want 130"
runs=$(ls "$tmp/int" | grep -c '^run-')
[ "$(ls "$tmp/int" | grep -vc -e '^run-[0-9]*\.txt$' -e '^context.txt$')" = 0 ] ||
  fail "interrupted campaign left: $(ls "$tmp/int")"
grep -q "campaign stopped, $runs runs\? complete" "$tmp/err" || fail "interruption: $(cat "$tmp/err")"
expect 0 "summary of an interrupted campaign" -- "$report" summary "$tmp/int"
grep -qx "incomplete: $runs of 20 runs" "$tmp/out" || fail "no incomplete line: $(head -3 "$tmp/out")"

# A closed terminal (SIGHUP) or SIGQUIT stops a campaign as Ctrl-C does:
# nothing half-made stays, so the same folder can be used again.
for sig in HUP QUIT; do
  FAKE_MODE=hang "$report" run --out "$tmp/sig$sig" --runs 2 --bench "$tmp/fake" 2>"$tmp/err" &
  pid=$!
  sleep 1
  kill -$sig $pid
  wait $pid
  st=$?
  [ "$st" = "$((128 + $(kill -l $sig)))" ] || fail "SIG$sig: status $st"
  [ -e "$tmp/sig$sig" ] && fail "SIG$sig left: $(ls -A "$tmp/sig$sig")"
  grep -q "run 1 of 2 interrupted by SIG$sig" "$tmp/err" || fail "SIG$sig: $(cat "$tmp/err")"
done

# Killed outright, the tool takes its benchmark with it; the half round it
# leaves is ignored, and said so. The stuck benchmark sleeps for a time no
# other process on the machine is likely to sleep, so that pgrep finds it alone.
FAKE_MODE=stuck "$report" run --out "$tmp/killed" --runs 3 --bench "$tmp/fake" --variant a --variant b 2>/dev/null &
pid=$!
for _ in $(seq 50); do pgrep -f "sleep 317.125" >/dev/null && break; sleep 0.1; done
sleep 0.5
kill -KILL $pid
wait $pid 2>/dev/null
sleep 0.5
pgrep -f "sleep 317.125" >/dev/null && { pkill -f "sleep 317.125"; fail "the benchmark outlived its killed tool"; }
expect 0 "summary of a half round" -- "$report" summary "$tmp/killed"
grep -q "^ignored: run-002.txt (the round is missing in another variant)" "$tmp/out" || fail "half round: $(head -5 "$tmp/out")"
grep -q "^== compare .*: 1 round, paired" "$tmp/out" || fail "half round paired: $(grep '^==' "$tmp/out")"
# More rounds name the half round's file to remove; a lost variant folder is named.
expect 1 "more after a kill" -- "$report" run --more "$tmp/killed" --runs 1
grep -qE "round 2 is not in every variant .*; remove $tmp/killed/[ab]/run-002.txt to add rounds" "$tmp/err" ||
  fail "more after a kill: $(cat "$tmp/err")"
mv "$tmp/killed/b" "$tmp/killed-b"
expect 1 "a variant's folder gone" -- "$report" summary "$tmp/killed/a"
grep -q "killed/b: variant b's folder is missing" "$tmp/err" || fail "folder gone: $(cat "$tmp/err")"

# A benchmark's output never mixes into the tool's own.
FAKE_MODE=chatty expect 0 "chatty benchmark" -- "$report" run --out "$tmp/chatty" --runs 1 --bench "$tmp/fake"
[ -s "$tmp/out" ] && fail "the benchmark's output reached standard output"
grep -q chatter "$tmp/err" || fail "the benchmark's output was lost"

# Labels: unique across campaigns, resolved through '.', printed safely.
expect 0 "second campaign" -- "$report" run --out "$tmp/il3" --runs 2 --bench "$tmp/fake" --variant a --variant b
expect 0 "csv of two campaigns" -- "$report" summary --csv "$tmp/il" "$tmp/il3"
[ "$(head -1 "$tmp/out")" = "length,$tmp/il/a,$tmp/il/b,c,$tmp/il3/a,$tmp/il3/b" ] || fail "labels: $(head -1 "$tmp/out")"
expect 0 "variant folders as ." -- "$report" summary "$tmp/il/a/." "$tmp/il/b/."
grep -q "^== compare .*: 4 rounds, paired" "$tmp/out" || fail "'.' lost the campaign: $(grep '^==' "$tmp/out")"
odd="$tmp/$(printf 'x\n== [9] forged')"
mkdir "$odd" && cp "$tmp/il/a/run-001.txt" "$odd/"
expect 0 "a line feed in a label" -- "$report" summary "$odd" "$tmp/il/a/run-002.txt"
grep -q '^== \[9\] forged' "$tmp/out" && fail "a label forged a header"
grep -qE '^range: 3\.\.32768 unclear 1\.00 [+-][0-9.]+ ticks( = [+-][0-9.]+ ns)? per call' "$tmp/out" || fail "one run against one has an interval: $(grep range "$tmp/out")"

# JSON takes any byte: what is not UTF-8 is written escaped.
if "$report" summary --json "$tmp/il/a" >/dev/null 2>&1; then
  expect 0 "latin-1 env" -- "$report" run --out "$tmp/latin" --runs 1 --bench "$tmp/fake" --env "X=$(printf '\xe9')"
  expect 0 "json of it" -- "$report" summary --json "$tmp/latin"
  /usr/bin/python3 -c 'import json, sys; d = json.load(sys.stdin); assert d["context"]["memset_report_sets"][0]["env"] == ["X=\\xe9"], d["context"]' <"$tmp/out" ||
    fail "JSON with a byte that is not UTF-8"
fi

# What steers the C library is recorded, inherited or added; an ignored
# SIGCHLD inherited from the caller hides nothing.
GLIBC_TUNABLES=glibc.cpu.x86_rep_stosb_threshold=8192 expect 0 "inherited tunables" -- \
  "$report" run --out "$tmp/inh" --runs 1 --bench "$tmp/fake"
grep -qx 'env_inherited: GLIBC_TUNABLES=glibc.cpu.x86_rep_stosb_threshold=8192' "$tmp/inh/context.txt" ||
  fail "inherited tunables not recorded"
expect 0 "summary shows it" -- "$report" summary "$tmp/inh"
grep -qx 'inherited env: GLIBC_TUNABLES=glibc.cpu.x86_rep_stosb_threshold=8192' "$tmp/out" || fail "not shown"
FAKE_MODE=fail expect 4 "ignored SIGCHLD" -- perl -e '$SIG{CHLD} = "IGNORE"; exec @ARGV' \
  "$report" run --out "$tmp/chld" --runs 2 --bench "$tmp/fake"

# Weighted by a program's lengths: each set's cost per call, each
# comparison's weighted verdict; a bad capture is named with its line.
printf '@bytes[8]: 90\n@bytes[4096]: 10\n@bytes[0]: 5\n' >"$tmp/w.txt"
expect 0 "weighted summary" -- "$report" summary --weights "$tmp/w.txt" "$tmp/gate"
grep -q '^not measured: 0 bytes 4.76%$' "$tmp/out" &&
  grep -qE "^weighted: slower, at least 1\.9[0-9]+ \(hidden in both sets' readings: 90% of the calls" "$tmp/out" &&
  [ "$(grep -c '^weighted: .* ticks per call (low)$' "$tmp/out")" = 2 ] || fail "weighted: $(grep -e weight -e measured "$tmp/out")"
printf '@bytes[8]: 90\n@bytes[x]: 10\n' >"$tmp/bad.txt"
expect 1 "bad capture" -- "$report" summary --weights "$tmp/bad.txt" "$tmp/gate"
grep -q "bad.txt:2: the key must be one length" "$tmp/err" || fail "bad capture: $(cat "$tmp/err")"
expect 2 "bad format name" -- "$report" summary --weights "$tmp/w.txt" --weights-format xml "$tmp/gate"

# Tuning refuses a C library without the tunables.
mkdir -p "$tmp/musl/default"
cp "$tmp/il/a/run-001.txt" "$tmp/musl/default/"
printf 'libc: musl 1.2.4\nvariant: default\n' >"$tmp/musl/context.txt"
expect 7 "tune outside glibc" -- "$report" tune --from "$tmp/musl"
grep -q "not glibc" "$tmp/err" || fail "tune refusal: $(cat "$tmp/err")"

finish
