#!/usr/bin/env bash
# Settings that glibc did not take or that changed nothing are refused before
# the first round, with nothing kept; what each variant bound is recorded.
# Needs glibc's loader with --list-tunables (2.33 and later): skipped without.
report=$1
. "$(dirname "$0")/lib.sh"
loader=/lib64/ld-linux-x86-64.so.2
if ! "$loader" --list-tunables 2>/dev/null | grep -q '^glibc.cpu.x86_rep_stosb_threshold:'; then
  echo "no glibc loader that lists its tunables: skipped"
  [ -n "${MEMSET_STRICT_TESTS:-}" ] && exit 1
  exit 77
fi
printf '#!/bin/sh\n%s\nfake_values >"$1"\n' "$(declare -f fake_values)" >"$tmp/fake"
chmod +x "$tmp/fake"
run() { "$report" run --runs 1 --bench "$tmp/fake" "$@"; }
t=GLIBC_TUNABLES=glibc.cpu

refused() { # WHAT FOLDER WANT -- ARGS
  local what=$1 dir=$2 want=$3
  shift 4
  expect 4 "$what" -- run --out "$tmp/$dir" "$@"
  grep -qF "$want" "$tmp/err" || fail "$what: $(cat "$tmp/err")"
  grep -q "nothing kept" "$tmp/err" || fail "$what: not said that nothing was kept"
  [ ! -e "$tmp/$dir" ] || fail "$what: $dir was left behind"
}
refused "a misspelled tunable" typo "knows no tunable 'glibc.cpu.x86_rep_stosb_treshold'" -- \
  --variant default --variant t --env $t.x86_rep_stosb_treshold=8192
refused "a value out of range" range "did not take '0' for glibc.cpu.x86_rep_stosb_threshold" -- \
  --variant default --variant t --env $t.x86_rep_stosb_threshold=0
refused "a mask of no feature" mask "variant m: $t.hwcaps=-AVX512X changed nothing" -- \
  --variant default --variant m --env $t.hwcaps=-AVX512X
refused "a plain campaign's setting" plain "the campaign: $t.hwcaps=-NOSUCH changed nothing" -- \
  --env $t.hwcaps=-NOSUCH

# A/A: identical settings on purpose are measured as they are.
expect 0 "A/A with a setting that changes nothing" -- run --out "$tmp/aa" \
  --variant a --env $t.hwcaps=-NOSUCH --variant b --env $t.hwcaps=-NOSUCH
# Taken settings are recorded with what they bound.
expect 0 "a taken threshold" -- run --out "$tmp/ok" --variant default \
  --variant t --env $t.x86_rep_stosb_threshold=8192
grep -qx "variant_tunables: default defaults" "$tmp/ok/context.txt" || fail "default's tunables"
grep -qx "variant_tunables: t glibc.cpu.x86_rep_stosb_threshold=0x2000" "$tmp/ok/context.txt" ||
  fail "t's tunables: $(grep tunables "$tmp/ok/context.txt")"
grep -qE "^variant_memset: t .*[^ ]+\+0x[0-9a-f]+\)?$" "$tmp/ok/context.txt" ||
  fail "t's memset: $(grep memset: "$tmp/ok/context.txt")"
expect 0 "summary names the memset" -- "$report" summary "$tmp/ok"
[ "$(grep -c '^memset: .*; tunables: ' "$tmp/out")" = 2 ] || fail "summary: $(grep memset "$tmp/out")"

# Settings that measure nothing are usage errors before the first round:
# a name a letter or two from one that steers memset, and an inherited
# GLIBC_TUNABLES that one variant's own would replace.
for name in GLIBC_TUNABLE LD_PRELAOD ld_library_path; do
  expect 2 "near miss $name" -- run --out "$tmp/near" --variant a --variant b --env "$name=x"
  grep -q "did you mean [A-Z_]*?" "$tmp/err" || fail "near miss $name: $(cat "$tmp/err")"
  [ ! -e "$tmp/near" ] || fail "near miss $name: a folder was made"
done
GLIBC_TUNABLES=$t.x86_rep_stosb_threshold=0x800 expect 2 "inherited tunables replaced" -- \
  run --out "$tmp/inh" --variant a --variant b --env $t.x86_rep_stosb_threshold=0x1000
grep -q "GLIBC_TUNABLES is set in this environment .* variant b sets its own" "$tmp/err" ||
  fail "inherited tunables: $(cat "$tmp/err")"
[ ! -e "$tmp/inh" ] || fail "inherited tunables: a folder was made"
# Other settings that bind the same code: an A/A, said, not refused.
expect 0 "same code under other settings" -- run --out "$tmp/same" --variant a --variant b \
  --env MEMSET_TEST_VAR=1
grep -q "note: variant b binds .* with the same tunables as variant a: their comparison is an A/A" \
  "$tmp/err" || fail "same code note: $(cat "$tmp/err")"
expect 0 "summary of the same code" -- "$report" summary "$tmp/same"
grep -q "^same code: \[2\] b binds the same memset with the same tunables as \[1\] a" "$tmp/out" ||
  fail "summary same code: $(grep -A2 '^== compare' "$tmp/out")"
finish
