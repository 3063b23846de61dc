#!/usr/bin/env bash
# memset-bench from the outside: what a complete run leaves, what a wrong
# command line does, and what happens when the result file cannot be written.
set -u
bench=$1
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# A complete run replaces an existing file with 32768 plain decimals, one line
# feed between values and none after the last, and says nothing.
printf 'old results\n' >"$tmp/r.txt"
"$bench" "$tmp/r.txt" >"$tmp/out" 2>"$tmp/err"
st=$?
[ "$st" = 0 ] || fail "complete run: status $st"
[ -s "$tmp/out" ] || [ -s "$tmp/err" ] && fail "complete run printed: $(cat "$tmp/out" "$tmp/err")"
values=$(grep -c '' "$tmp/r.txt")
feeds=$(tr -cd '\n' <"$tmp/r.txt" | wc -c)
[ "$values" = 32768 ] || fail "complete run: $values values, want 32768"
[ "$feeds" = 32767 ] || fail "complete run: $feeds line feeds, want 32767"
bad=$(grep -cvE '^(0|[1-9][0-9]{0,19})$' "$tmp/r.txt")
[ "$bad" = 0 ] || fail "complete run: $bad values are not plain unsigned decimals"

# A wrong argument count: status 1, silent, and a file at the first path is
# left as it was.
printf 'keep me\n' >"$tmp/keep.txt"
for args in "" "$tmp/keep.txt $tmp/other.txt" "$tmp/keep.txt $tmp/other.txt x"; do
  # shellcheck disable=SC2086
  "$bench" $args >"$tmp/out" 2>"$tmp/err"
  st=$?
  [ "$st" = 1 ] || fail "args '$args': status $st, want 1"
  [ -s "$tmp/out" ] || [ -s "$tmp/err" ] && fail "args '$args': printed something"
  [ "$(cat "$tmp/keep.txt")" = "keep me" ] || fail "args '$args': touched the first path"
  [ -e "$tmp/other.txt" ] && fail "args '$args': created a file"
done

# A result file that cannot be opened, written or closed: status 2 and one
# line that names the path, never a crash or a silent success.
mkdir "$tmp/dir"
for path in "$tmp/missing/r.txt" "$tmp/dir" /dev/full /proc/version; do
  "$bench" "$path" >"$tmp/out" 2>"$tmp/err"
  st=$?
  [ "$st" = 2 ] || fail "'$path': status $st, want 2"
  [ "$(grep -c '' "$tmp/err")" = 1 ] || fail "'$path': want one line on stderr, got: $(cat "$tmp/err")"
  grep -qF "memset-bench: cannot write results to '$path': " "$tmp/err" ||
    fail "'$path': message does not name the path: $(cat "$tmp/err")"
  [ -s "$tmp/out" ] && fail "'$path': printed on stdout"
done

echo "bench_cli: $failures failed"
[ "$failures" = 0 ]
