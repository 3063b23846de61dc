# Shared by the command-line tests: a scratch folder, failure counting, and
# `expect STATUS WHAT -- COMMAND...`, which runs COMMAND with its output in
# $tmp/out and $tmp/err and checks its exit status.
set -u
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
expect() {
  local want=$1 what=$2
  shift 3
  "$@" >"$tmp/out" 2>"$tmp/err"
  local st=$?
  [ "$st" = "$want" ] || fail "$what: status $st, want $want; $(head -c 400 "$tmp/err")"
}
# A benchmark stand-in: a valid result file, each value scaled by $FAKE_SCALE.
fake_values() {
  awk -v s="${FAKE_SCALE:-1}" 'BEGIN { for (i = 1; i <= 32768; i++) printf "%d%s", (40 + i / 40) * s, (i < 32768 ? "\n" : "") }'
}
finish() {
  echo "$(basename "$0" .sh): $failures failed"
  [ "$failures" = 0 ]
}
