#!/usr/bin/env bash
# memset-report end to end on real runs: a campaign, its summary, CSV and
# plots, and the refusals that keep bad input from writing anything.
report=$1
bench=$2
. "$(dirname "$0")/lib.sh"

expect 0 "campaign" -- "$report" run --out "$tmp/camp" --runs 3 --bench "$bench"
[ "$(ls "$tmp/camp")" = "$(printf 'context.txt\nrun-001.txt\nrun-002.txt\nrun-003.txt')" ] ||
  fail "campaign folder holds: $(ls "$tmp/camp" | tr '\n' ' ')"
for key in date host cpu_model kernel libc tsc_mhz tsc_constant_nonstop tsc_step tsc_read_cost \
  runs pinning timeout env env_inherited bench; do
  grep -q "^$key: ." "$tmp/camp/context.txt" || fail "context.txt lacks '$key'"
done
grep -qx 'runs: 3' "$tmp/camp/context.txt" || fail "context.txt does not say 3 runs"
# No progress line where stderr is not a terminal: only the line that ends it.
grep -q $'\r' "$tmp/err" && fail "progress shown although stderr is not a terminal"
[ "$(wc -l <"$tmp/err")" = 1 ] && grep -qE '^memset-report: 3 runs in [0-9.]+ s$' "$tmp/err" ||
  fail "the campaign's last line: $(cat "$tmp/err")"

expect 0 "summary" -- "$report" summary "$tmp/camp" "$tmp/camp/run-001.txt"
for re in '^floor: [0-9.]+ ticks$' '^steps: (none|[0-9]+(, [0-9]+)*)$' '^resolution: [0-9]+(\.[0-9]+)? ticks?' \
  '^== compare \[2\] .* with \[1\] .*: 3 and 1 runs, unpaired; ratio of low, 95% intervals$' '^range: 3\.\.[0-9]+ (same|faster|slower|unclear) '; do
  grep -qE "$re" "$tmp/out" || fail "summary has no line like $re"
done
[ "$(grep -c '^range: ' "$tmp/out")" -ge 1 ] && grep -qE '^range: [0-9]+\.\.32768 ' "$tmp/out" ||
  fail "ranges do not reach 32768"
grep -q '^shifted runs: n/a' "$tmp/out" || fail "one run, yet shifted runs are not n/a"

expect 0 "csv" -- "$report" summary --csv "$tmp/camp" "$tmp/camp/run-002.txt"
[ "$(head -1 "$tmp/out")" = "length,$tmp/camp,$tmp/camp/run-002.txt" ] || fail "csv header: $(head -1 "$tmp/out")"
[ "$(wc -l <"$tmp/out")" = 32769 ] || fail "csv does not have 32768 rows"

# Nothing is ever overwritten.
sums=$(md5sum "$tmp"/camp/*)
expect 1 "second campaign into the same folder" -- "$report" run --out "$tmp/camp" --runs 1 --bench "$bench"
grep -q "already holds a campaign" "$tmp/err" || fail "refusal does not say why: $(cat "$tmp/err")"
[ "$(md5sum "$tmp"/camp/*)" = "$sums" ] || fail "an existing campaign was changed"

# Bad input files: one line naming the file, status 1, no report.
printf '1\n2' >"$tmp/short.txt"
cp "$tmp/camp/run-001.txt" "$tmp/crlf.txt" && sed -i '5s/$/\r/' "$tmp/crlf.txt"
head -c 700000 /dev/zero | tr '\0' '1' >"$tmp/huge.txt"
expect 1 "short file" -- "$report" summary "$tmp/short.txt"
grep -q "short.txt: 2 values, expected 32768" "$tmp/err" || fail "short file: $(cat "$tmp/err")"
expect 1 "crlf file" -- "$report" summary "$tmp/camp" "$tmp/crlf.txt"
grep -q "crlf.txt:5: found a carriage return after the value" "$tmp/err" || fail "crlf file: $(cat "$tmp/err")"
[ -s "$tmp/out" ] && fail "summary printed a report despite a broken file"
expect 1 "huge file" -- timeout 10 "$report" summary "$tmp/huge.txt"
grep -q "huge.txt: more than 688127 bytes" "$tmp/err" || fail "huge file: $(cat "$tmp/err")"
# Devices and FIFOs are refused at once, as a SET and as a campaign's record.
mkfifo "$tmp/fifo" && mkdir "$tmp/fifocamp" && cp "$tmp/camp/run-001.txt" "$tmp/fifocamp/" &&
  mkfifo "$tmp/fifocamp/context.txt"
mkdir "$tmp/zerocamp" && cp "$tmp/camp/run-001.txt" "$tmp/zerocamp/" && ln -s /dev/zero "$tmp/zerocamp/context.txt"
for odd in /dev/zero "$tmp/fifo" "$tmp/fifocamp" "$tmp/zerocamp"; do
  expect 1 "$odd" -- timeout 10 "$report" summary "$odd"
  grep -q "not a regular file" "$tmp/err" || fail "$odd: $(cat "$tmp/err")"
done
ln -s loop "$tmp/loop" 2>/dev/null; ln -sf "$tmp/loop" "$tmp/loop"
expect 1 "symlink loop" -- "$report" summary "$tmp/loop"
grep -q "Too many levels of symbolic links" "$tmp/err" || fail "symlink loop: $(cat "$tmp/err")"
expect 1 "missing path" -- "$report" summary "$tmp/nope"
expect 1 "folder without runs" -- "$report" summary "$tmp/camp/.."

# Bad command lines: status 2, one line with the hint, nothing written.
mkdir "$tmp/dir"
for args in "frobnicate" "" "summary --bogus $tmp/camp" "summary" "summary --unit ns $tmp/camp/run-001.txt" \
  "summary --lengths 5 $tmp/camp" "run --out $tmp/new --runs abc" "run --out $tmp/new --runs 0" \
  "run --out $tmp/new --cpu 99999" "run --out $tmp/new --env =x" "run --out $tmp/new --env FOO" \
  "run --out $tmp/new --env 1A=x" "run --out $tmp/new --bench $tmp/nope" "run --out $tmp/new --bench $tmp/dir" \
  "run --out $tmp/new --bench=" "run --runs 2" "run --out $tmp/new --variant a/b" \
  "run --out $tmp/new --variant a --variant a" "run --out $tmp/new --timeout -1" "plot $tmp/camp" \
  "plot -o $tmp/p.jpg $tmp/camp" "help nothing" "tune" "plot --tsc-mhz 5 -o $tmp/p.png $tmp/camp" \
  "summary --csv --json $tmp/camp" "summary --csv --unit ns $tmp/camp" "summary --tsc-mhz 5 $tmp/camp" \
  "summary --unit ns --tsc-mhz 5 $tmp/camp" "tune --from $tmp/camp --runs 3 --cpu 0" \
  "tune --from $tmp/camp --out $tmp/new" "run --out $tmp/new --timeout 0x10" "run --out $tmp/new --seed -1" \
  "run --out $tmp/new --env A=1 --env A=2" "run --out $tmp/new --variant context.txt" \
  "summary --csv --threshold 5 $tmp/camp" "run --out $tmp/new --variant a --env B=1 --env B=2"; do
  # shellcheck disable=SC2086
  "$report" $args >"$tmp/out" 2>"$tmp/err"
  st=$?
  [ "$st" = 2 ] || fail "'$args': status $st, want 2"
  [ "$(grep -c '' "$tmp/err")" = 1 ] && grep -q '(see memset-report --help)$' "$tmp/err" ||
    fail "'$args': want one line with the hint: $(cat "$tmp/err")"
  [ -e "$tmp/new" ] || [ -e "$tmp/p.jpg" ] && fail "'$args': wrote something"
done
expect 2 "empty SET" -- "$report" summary ""
expect 2 "a number with a space" -- "$report" run --out "$tmp/new" --timeout ' 5'
expect 2 "a line feed in --bench" -- "$report" run --out "$tmp/new" --bench "$(printf '%s\nenv: forged' "$bench")"
expect 0 "-- ends the options" -- "$report" summary -- "$tmp/camp/run-001.txt"
expect 2 "line feed in --env" -- "$report" run --out "$tmp/new" --env "$(printf 'A=1\nenv: forged')"
# Every command the tool's help lists (from its command table) has a guide
# in docs/ whose synopsis is the tool's own, word for word.
commands=$("$report" --help | sed -n '/^commands:/,/^$/p' | awk '/^  [a-z]+  / && $1 != "help" { print $1 }')
[ "$(echo "$commands" | wc -l)" -ge 6 ] || fail "the tool's help lists too few commands: $commands"
for cmd in $commands; do
  readme=$(dirname "$0")/../docs/$cmd.md
  "$report" "$cmd" --help | sed -n '/^usage:/,/^$/p' | sed '/^$/d; s/^/    /' >"$tmp/synopsis"
  grep -qxFf "$tmp/synopsis" "$readme" && [ "$(grep -cxFf "$tmp/synopsis" "$readme")" = "$(wc -l <"$tmp/synopsis")" ] ||
    fail "docs/$cmd.md's synopsis differs from --help"
done
expect 6 "help into a full disk" -- sh -c "'$report' --help >/dev/full"
for cmd in "" $commands; do
  # shellcheck disable=SC2086
  "$report" $cmd --help >"$tmp/out" 2>&1 && grep -q "^usage: memset-report $cmd" "$tmp/out" ||
    fail "'$cmd --help' does not show its usage"
  [ -z "$cmd" ] || { "$report" help $cmd | grep -q "^usage: memset-report $cmd" || fail "'help $cmd'"; }
done

# Times in ns need the counter's frequency: the campaign's, or one given.
expect 0 "ns with a campaign" -- "$report" summary --unit ns "$tmp/camp"
grep -qE '^floor: [0-9.]+ ns$' "$tmp/out" || fail "no floor in ns"
expect 0 "ns with --tsc-mhz" -- "$report" summary --unit ns --tsc-mhz 2000 "$tmp/camp/run-001.txt"

# Plots are real PNG and SVG files; an existing one is kept, and so is one
# that gnuplot could not finish.
if command -v gnuplot >/dev/null; then
  expect 0 "png plot" -- "$report" plot -o "$tmp/p.png" "$tmp/camp" "$tmp/camp/run-001.txt"
  [ "$(head -c 8 "$tmp/p.png" | od -An -tx1 | tr -d ' \n')" = 89504e470d0a1a0a ] || fail "p.png is not a PNG"
  expect 0 "svg plot" -- "$report" plot --log-y -o "$tmp/p.svg" "$tmp/camp"
  grep -q '<svg' "$tmp/p.svg" && grep -q '</svg>' "$tmp/p.svg" || fail "p.svg is not an SVG"
  sum=$(md5sum <"$tmp/p.svg")
  expect 1 "plot over an existing file" -- "$report" plot -o "$tmp/p.svg" "$tmp/camp/run-001.txt"
  mkdir "$tmp/bin" && printf '#!/bin/sh\nexit 0\n' >"$tmp/bin/gnuplot" && chmod +x "$tmp/bin/gnuplot"
  expect 6 "gnuplot that writes nothing" -- env PATH="$tmp/bin:$PATH" "$report" plot --force -o "$tmp/p.svg" "$tmp/camp"
  grep -q "no complete plot" "$tmp/err" || fail "incomplete plot: $(cat "$tmp/err")"
  [ "$(md5sum <"$tmp/p.svg")" = "$sum" ] || fail "an existing plot was replaced"
  [ "$(find "$tmp" -maxdepth 1 -name '*tmp-*' | wc -l)" = 0 ] || fail "temporary plot files left behind"
  odd="$tmp/$(printf 'line\nfeed')"
  expect 0 "a line feed in the plot's name" -- "$report" plot -o "$odd.png" "$tmp/camp"
  [ -s "$odd.png" ] || fail "no plot under a name with a line feed"
  expect 6 "plot into a missing folder" -- "$report" plot -o "$tmp/nodir/x.png" "$tmp/camp"
  grep -qF "cannot write '$tmp/nodir/x.png': No such file or directory" "$tmp/err" || fail "nodir: $(cat "$tmp/err")"
else
  fail "gnuplot is not installed: plots untested"
fi
# The defaults the guides give are those --help writes from the stopping
# rule's constants: a change to one and not the other fails here.
help=$("$report" run --help)
budget=$(printf '%s\n' "$help" | sed -n 's/.*--budget S .*(default \([0-9.]*\)).*/\1/p')
span=$(printf '%s\n' "$help" | sed -n 's/.*(default \([0-9.]*\) for a replay or a program.*/\1/p')
threshold=$(printf '%s\n' "$help" | sed -n 's/.*keeps for summary (default \([0-9.]*\)).*/\1/p')
docs=$(dirname "$0")/../docs
[ -n "$budget" ] && [ -n "$span" ] && [ -n "$threshold" ] || fail "defaults not found in run --help"
for doc in run program; do
  grep -q "(default $budget)" "$docs/$doc.md" || fail "docs/$doc.md does not give the budget's default, $budget"
  grep -q "span $span seconds" "$docs/$doc.md" || fail "docs/$doc.md does not give the span's default, $span"
done
grep -q "(default $threshold;" "$docs/run.md" || fail "docs/run.md does not give the threshold's default, $threshold"

expect 6 "plot without gnuplot" -- env PATH=/nonexistent "$report" plot -o "$tmp/q.png" "$tmp/camp"
grep -q "apt-get install gnuplot-nox" "$tmp/err" || fail "no install hint: $(cat "$tmp/err")"

finish
