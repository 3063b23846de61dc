#!/usr/bin/env bash
# memset-report end to end: a real campaign, its summary and plot, and the
# refusals that keep bad input from writing anything.
set -u
report=$1
bench=$2
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
# expect STATUS WHAT -- COMMAND...: runs it with output in $tmp/out, $tmp/err.
expect() {
  local want=$1 what=$2
  shift 3
  "$@" >"$tmp/out" 2>"$tmp/err"
  local st=$?
  [ "$st" = "$want" ] || fail "$what: status $st, want $want; $(head -c 300 "$tmp/err")"
}

# A real campaign of three runs.
expect 0 "campaign" -- "$report" run --out "$tmp/camp" --runs 3 --bench "$bench"
[ "$(ls "$tmp/camp")" = "$(printf 'context.txt\nrun-001.txt\nrun-002.txt\nrun-003.txt')" ] ||
  fail "campaign folder holds: $(ls "$tmp/camp" | tr '\n' ' ')"
for key in date cpu_model kernel libc tsc_mhz tsc_constant_nonstop runs pinning env bench; do
  grep -q "^$key: ." "$tmp/camp/context.txt" || fail "context.txt lacks '$key'"
done
grep -qx 'runs: 3' "$tmp/camp/context.txt" || fail "context.txt does not say 3 runs"
[ -s "$tmp/err" ] && fail "progress shown although stderr is not a terminal"

expect 0 "summary" -- "$report" summary "$tmp/camp" "$tmp/camp/run-001.txt"
grep -qE '^floor: [0-9.]+ ticks$' "$tmp/out" || fail "summary has no floor line"
grep -qE '^steps: (none|[0-9]+(, [0-9]+)*)$' "$tmp/out" || fail "summary has no steps line"
grep -q '^== comparison' "$tmp/out" || fail "two sets but no comparison"
[ "$(grep -cE '^ +32768 ' "$tmp/out")" = 3 ] || fail "tables do not reach 32768"

expect 0 "csv" -- "$report" summary --csv "$tmp/camp" "$tmp/camp/run-002.txt"
[ "$(head -1 "$tmp/out")" = "length,$tmp/camp,$tmp/camp/run-002.txt" ] || fail "csv header: $(head -1 "$tmp/out")"
[ "$(wc -l <"$tmp/out")" = 32769 ] || fail "csv does not have 32768 rows"

# Nothing is ever overwritten.
sums=$(md5sum "$tmp"/camp/*)
expect 1 "second campaign into the same folder" -- "$report" run --out "$tmp/camp" --runs 1 --bench "$bench"
grep -q "already holds a campaign" "$tmp/err" || fail "refusal does not say why: $(cat "$tmp/err")"
[ "$(md5sum "$tmp"/camp/*)" = "$sums" ] || fail "an existing campaign was changed"

# The environment and pinning reach the benchmark; a failing run stops it all.
cat >"$tmp/fake-bench" <<'FAKE'
#!/usr/bin/env bash
echo "$MEMSET_TEST_VAR $(grep Cpus_allowed_list /proc/self/status | cut -f2)" >>"$(dirname "$1")/seen"
[ -n "${FAKE_FAIL:-}" ] && [ -e "$(dirname "$1")/run-002.txt" ] && { echo "fake: boom" >&2; exit 3; }
seq 32768 | head -c -1 >"$1"
FAKE
chmod +x "$tmp/fake-bench"
cpu=$(grep Cpus_allowed_list /proc/self/status | cut -f2 | cut -d, -f1 | cut -d- -f1)
expect 0 "env and cpu" -- "$report" run --out "$tmp/env" --runs 2 --cpu "$cpu" --env MEMSET_TEST_VAR=a=b --bench "$tmp/fake-bench"
[ "$(cat "$tmp/env/seen")" = "$(printf 'a=b %s\na=b %s' "$cpu" "$cpu")" ] || fail "benchmark saw: $(cat "$tmp/env/seen")"
grep -qx 'env: MEMSET_TEST_VAR=a=b' "$tmp/env/context.txt" || fail "context lacks the added variable"
grep -qx "pinning: cpu $cpu" "$tmp/env/context.txt" || fail "context lacks the pinning"
FAKE_FAIL=1 expect 3 "failing run" -- "$report" run --out "$tmp/fails" --runs 4 --bench "$tmp/fake-bench"
grep -q "fake: boom" "$tmp/err" && grep -q "run 2 of 4 failed" "$tmp/err" || fail "failure not reported: $(cat "$tmp/err")"
[ -e "$tmp/fails/run-002.txt" ] || [ -e "$tmp/fails/run-003.txt" ] && fail "campaign went on or left a broken run"

# Bad input: one line, non-zero, nothing written.
printf '1\n2' >"$tmp/short.txt"
cp "$tmp/camp/run-001.txt" "$tmp/crlf.txt" && sed -i '5s/$/\r/' "$tmp/crlf.txt"
expect 1 "short file" -- "$report" summary "$tmp/short.txt"
grep -q "short.txt: 2 values, expected 32768" "$tmp/err" || fail "short file: $(cat "$tmp/err")"
expect 1 "crlf file" -- "$report" summary "$tmp/camp" "$tmp/crlf.txt"
grep -q "crlf.txt:5: " "$tmp/err" || fail "crlf file: $(cat "$tmp/err")"
[ -s "$tmp/out" ] && fail "summary printed a report despite a broken file"
expect 1 "missing path" -- "$report" summary "$tmp/nope"
expect 1 "empty path" -- "$report" summary ""
expect 1 "folder without runs" -- "$report" summary "$tmp/env/.."
for args in "frobnicate" "" "summary --bogus $tmp/camp" "summary" "run --out $tmp/new --runs abc" \
  "run --out $tmp/new --runs 0" "run --out $tmp/new --cpu 99999" "run --out $tmp/new --env =x" \
  "run --out $tmp/new --bench $tmp/nope" "run --runs 2" "plot $tmp/camp" "plot -o $tmp/p.pdf $tmp/camp"; do
  # shellcheck disable=SC2086
  "$report" $args >"$tmp/out" 2>"$tmp/err"
  st=$?
  [ "$st" != 0 ] && [ "$st" -lt 128 ] || fail "'$args': status $st"
  [ "$(grep -c '' "$tmp/err")" = 1 ] || fail "'$args': want one line on stderr: $(cat "$tmp/err")"
  [ -e "$tmp/new" ] || [ -e "$tmp/p.pdf" ] && fail "'$args': wrote something"
done
for cmd in "" run summary plot; do
  # shellcheck disable=SC2086
  "$report" $cmd --help >"$tmp/out" 2>&1 && grep -q '^usage: memset-report' "$tmp/out" ||
    fail "'$cmd --help' does not show usage"
done

# Plots are real PNG and SVG files, and an existing one is kept.
if command -v gnuplot >/dev/null; then
  expect 0 "png plot" -- "$report" plot -o "$tmp/p.png" "$tmp/camp" "$tmp/camp/run-001.txt"
  [ "$(head -c 8 "$tmp/p.png" | od -An -tx1 | tr -d ' \n')" = 89504e470d0a1a0a ] || fail "p.png is not a PNG"
  expect 0 "svg plot" -- "$report" plot -o "$tmp/p.svg" "$tmp/camp"
  grep -q '<svg' "$tmp/p.svg" && grep -q '</svg>' "$tmp/p.svg" || fail "p.svg is not an SVG"
  sum=$(md5sum <"$tmp/p.svg")
  expect 1 "plot over an existing file" -- "$report" plot -o "$tmp/p.svg" "$tmp/camp/run-001.txt"
  [ "$(md5sum <"$tmp/p.svg")" = "$sum" ] || fail "an existing plot was replaced"
  [ "$(ls "$tmp" | grep -c 'tmp-')" = 0 ] || fail "temporary plot files left behind"
else
  echo "gnuplot not installed: plot checks skipped"
fi
expect 1 "plot without gnuplot" -- env PATH=/nonexistent "$report" plot -o "$tmp/q.png" "$tmp/camp"
grep -q "apt-get install gnuplot-nox" "$tmp/err" || fail "no install hint: $(cat "$tmp/err")"

echo "report_cli: $failures failed"
[ "$failures" = 0 ]
