#!/usr/bin/env bash
# A variant's own C library: a copy of this machine's loader and libc.so.6
# laid out as an install prefix and as a build tree, run through their own
# loader; the refusals of a library that is not the one loaded; --more after
# the library changed; and summary --benchout read by glibc's own schema and
# compare_strings.py, taken from Debian's glibc-source.
report=$1
. "$(dirname "$0")/lib.sh"
loader=/lib64/ld-linux-x86-64.so.2
libc=$(ldd "$report" | awk '$1 == "libc.so.6" { print $3 }')
glibc_tar=$(ls /usr/src/glibc/glibc-*.tar.xz 2>/dev/null | head -n1)
if ! "$loader" --list-tunables >/dev/null 2>&1 || [ -z "$libc" ] || [ -z "$glibc_tar" ] ||
  ! /usr/bin/python3 -c 'import jsonschema, matplotlib' 2>/dev/null; then
  echo "needs glibc 2.33+, glibc-source, python3-jsonschema and python3-matplotlib: skipped"
  [ -n "${MEMSET_STRICT_TESTS:-}" ] && exit 1
  exit 77
fi
run() { "$report" run --runs 1 --engine batch "$@"; }
libc_id=$("$(dirname "$report")/memset-probe" | sed -n 's/^libc_build_id: //p')

# A copy of the system's loader and library as the install prefix
# $tmp/NAME, its libc.so.6 changed by PYTHON (bytes `d`) where given.
library_copy() { # NAME [PYTHON]
  mkdir -p "$tmp/$1/lib"
  cp "$loader" "$libc" "$tmp/$1/lib/"
  [ -z "${2:-}" ] || /usr/bin/python3 -c "import re, sys
p = sys.argv[1]; d = bytearray(open(p, 'rb').read())
$2
open(p, 'wb').write(d)" "$tmp/$1/lib/libc.so.6"
}

# The two layouts, each a copy of the system's library.
library_copy prefix
mkdir -p "$tmp/tree/elf" "$tmp/bare/elf"
cp "$loader" "$tmp/tree/elf/ld-linux-x86-64.so.2"
cp "$libc" "$tmp/tree/libc.so.6"
# As glibc's Makefile writes it, with one more folder than the copy has.
cat >"$tmp/tree/testrun.sh" <<'SCRIPT'
#!/bin/bash
builddir=`dirname "$0"`
exec   env GCONV_PATH="${builddir}"/iconvdata LC_ALL=C  "${builddir}"/elf/ld-linux-x86-64.so.2 --library-path "${builddir}":"${builddir}"/math:"${builddir}"/elf ${1+"$@"}
SCRIPT
cp "$loader" "$tmp/bare/elf/ld.so"
cp "$libc" "$tmp/bare/libc.so.6"

expect 0 "an install prefix" -- run --out "$tmp/p" --variant sys --variant copy --libc "$tmp/prefix"
ctx=$tmp/p/context.txt
grep -qx "variant_libc: copy $tmp/prefix/lib/libc.so.6" "$ctx" ||
  fail "the copy's libc: $(grep variant_libc: "$ctx")"
grep -qx "variant_libc: sys $libc" "$ctx" || fail "the system's libc: $(grep variant_libc: "$ctx")"
grep -qx "variant_loader: copy $tmp/prefix/lib/ld-linux-x86-64.so.2" "$ctx" || fail "loader"
grep -qx "variant_libc_build_id: copy $libc_id" "$ctx" || fail "build id: $(grep build_id "$ctx")"
grep -q "^variant_memset: copy .*($tmp/prefix/lib/libc.so.6+0x" "$ctx" ||
  fail "the copy's memset: $(grep variant_memset: "$ctx")"
grep -q "^variant_libc_version: copy GNU C Library .* version " "$ctx" || fail "version"
# The same bytes are the same code, wherever the file lies.
grep -q "copy binds .* as variant sys: their comparison is an A/A" "$tmp/err" ||
  fail "no A/A note: $(cat "$tmp/err")"
expect 0 "summary" -- "$report" summary "$tmp/p"
grep -q "^libc: $tmp/prefix/lib/libc.so.6 (GNU C Library.*build ID $libc_id), started as a program is: a copy of each program whose interpreter is $tmp/prefix/lib/ld-linux-x86-64.so.2 and run path $tmp/prefix/lib$" "$tmp/out" ||
  fail "summary's libc line: $(grep ^libc: "$tmp/out")"
grep -qx "variant_started: copy copy" "$ctx" || fail "how the copy started: $(grep started "$ctx")"
grep -q "^same code: \[2\] copy binds the same memset .* as \[1\] sys .*an A/A$" "$tmp/out" ||
  fail "summary's same code note: $(grep -c 'same code' "$tmp/out")"

# Started alike: a benchmark that says, from inside, which file it runs
# as and how far its code lies from the memset it calls; the variant with
# its own library and the plain one must say the same kind of thing.
cat >"$tmp/where.c" <<'C'
#define _GNU_SOURCE
#include <dlfcn.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <unistd.h>
int main(int argc, char **argv) {
  char exe[4096] = "";
  ssize_t n = readlink("/proc/self/exe", exe, sizeof exe - 1);
  exe[n > 0 ? n : 0] = 0;
  uintptr_t code = (uintptr_t)main, fill = (uintptr_t)dlsym(RTLD_DEFAULT, "memset");
  FILE *log = fopen(getenv("WHERE_LOG"), "a");
  fprintf(log, "%s %s\n", exe, (code > fill ? code - fill : fill - code) >> 32 ? "far" : "near");
  fclose(log);
  FILE *out = fopen(argv[1], "w");
  for (int i = 1; i <= 32768; i++)
    fprintf(out, i < 32768 ? "%d\n" : "%d", 40 + i / 40);
  return fclose(out) != 0;
}
C
cc -O2 -o "$tmp/where" "$tmp/where.c" -ldl || fail "cannot build the start-up probe"
WHERE_LOG=$tmp/where.log expect 0 "started alike" -- \
  "$report" run --runs 2 --out "$tmp/w" --bench "$tmp/where" --variant sys --variant copy --libc "$tmp/prefix"
[ "$(wc -l <"$tmp/where.log")" = 4 ] || fail "started alike: $(cat "$tmp/where.log")"
grep -v "far$" "$tmp/where.log" && fail "a variant's code lay beside its libraries, as under a loader"
grep -q "^$tmp/where far$" "$tmp/where.log" || fail "the plain variant: $(cat "$tmp/where.log")"
grep "/ld-linux" "$tmp/where.log" && fail "a variant ran as its loader"
[ "$(awk '{ print $1 }' "$tmp/where.log" | sort -u | wc -l)" = 2 ] ||
  fail "the copy ran as the program itself: $(cat "$tmp/where.log")"

# A build tree, named relative to where the campaign starts; --more from
# elsewhere finds it by the absolute path the record keeps.
(cd "$tmp" && expect 0 "a build tree, relative" -- run --out t --variant a --variant b --libc tree)
grep -qx "variant_library_path: b $tmp/tree:$tmp/tree/math:$tmp/tree/elf" "$tmp/t/context.txt" ||
  fail "testrun.sh's library path: $(grep library_path "$tmp/t/context.txt")"
grep -qx "variant_libc: b $tmp/tree/libc.so.6" "$tmp/t/context.txt" || fail "the tree's libc"
(cd / && expect 0 "--more elsewhere" -- "$report" run --more "$tmp/t" --runs 1)
expect 0 "a tree without testrun.sh" -- run --out "$tmp/b" --libc "$tmp/bare"
grep -qx "loader: $tmp/bare/elf/ld.so" "$tmp/b/context.txt" || fail "elf/ld.so"
grep -qx "libc_loaded: $tmp/bare/libc.so.6" "$tmp/b/context.txt" || fail "bare tree's libc"

# A library rebuilt since the campaign began: its build ID differs.
/usr/bin/python3 - "$tmp/tree/libc.so.6" "$libc_id" <<'PY'
import sys
path, bid = sys.argv[1], bytes.fromhex(sys.argv[2])
d = bytearray(open(path, 'rb').read()); i = d.find(bid); d[i] ^= 0xff
open(path, 'wb').write(d)
PY
expect 1 "--more with a changed library" -- "$report" run --more "$tmp/t" --runs 1
grep -q "variant b: $tmp/tree/libc.so.6 has changed since the campaign began (build ID $libc_id, now " "$tmp/err" ||
  fail "changed library: $(cat "$tmp/err")"

# Refusals: one line naming the variant and the path, and nothing kept.
refused() { # STATUS WHAT WANT -- COMMAND (with --out $tmp/r)
  local st=$1 what=$2 want=$3
  shift 4
  expect "$st" "$what" -- "$@"
  grep -qF -- "$want" "$tmp/err" || fail "$what: $(cat "$tmp/err")"
  [ "$(wc -l <"$tmp/err")" = 1 ] || fail "$what: not one line: $(cat "$tmp/err")"
  [ ! -e "$tmp/r" ] || { fail "$what: a folder was left"; rm -rf "$tmp/r"; }
}
mkdir -p "$tmp/empty" "$tmp/nolibc/lib"
cp "$loader" "$tmp/nolibc/lib/"
refused 2 "no loader" "variant x: --libc $tmp/empty: holds no dynamic loader" -- \
  run --out "$tmp/r" --variant x --libc "$tmp/empty"
refused 2 "no libc.so.6" "variant x: --libc $tmp/nolibc: no libc.so.6 in" -- \
  run --out "$tmp/r" --variant x --libc "$tmp/nolibc"
refused 2 "--libc with --loader" "--libc $tmp/prefix and --loader do not go together" -- \
  run --out "$tmp/r" --variant x --libc "$tmp/prefix" --loader "$loader"
refused 2 "--loader alone" "variant x: --loader and --library-path go together" -- \
  run --out "$tmp/r" --variant x --loader "$loader"
refused 2 "census --libc for every entry" "census --libc goes after --variant NAME" -- \
  "$report" census --out "$tmp/r" --libc "$tmp/prefix"
printf '#!/bin/sh\nexec "$@"\n' >"$tmp/wrap.sh"
chmod +x "$tmp/wrap.sh"
refused 2 "a script" "$tmp/wrap.sh is not a program" -- \
  "$report" program --out "$tmp/r" --libc "$tmp/prefix" -- "$tmp/wrap.sh" true
# A library the loader skips (here of another ELF class) leaves the
# system's to be loaded: measured, it would be the system's.
library_copy other 'd[4] = 1'
refused 4 "the system's library loaded" "variant x: $tmp/other/lib/libc.so.6 was asked for, but $libc was loaded" -- \
  run --out "$tmp/r" --variant x --libc "$tmp/other"
# A library whose banner is another build's than its loader's.
library_copy mixed "j = d.find(b')', d.find(b'GNU C Library (')); d[j - 1:j] = b'~'"
refused 4 "loader and library of different builds" "a loader and a library from different builds" -- \
  run --out "$tmp/r" --variant x --libc "$tmp/mixed"
# tune asks the library it tunes, not the system's, whether it has the tunable.
library_copy old "m = re.search(rb'GNU C Library [(][^)]*[)] [a-z]+ release version (2[.][0-9]+)', d)
d[m.start(1):m.end(1)] = b'2.30'"
refused 7 "tune of a library without the tunable" "glibc 2.30 has no x86_rep_stosb_threshold tunable" -- \
  "$report" tune --out "$tmp/r" --runs 1 --libc "$tmp/old"
printf 'not a loader\n' >"$tmp/noloader"
chmod +x "$tmp/noloader"
refused 4 "a loader that cannot start" "its loader $tmp/noloader cannot start a program" -- \
  run --out "$tmp/r" --variant x --loader "$tmp/noloader" --library-path "$tmp/prefix/lib"
# A loader that lists no tunables (its option renamed), asked for one.
cp "$loader" "$tmp/quiet-ld.so"
/usr/bin/python3 -c "import sys; p = sys.argv[1]; d = open(p, 'rb').read()
open(p, 'wb').write(d.replace(b'list-tunables', b'list-tunablez'))" "$tmp/quiet-ld.so"
refused 4 "no tunables listed" "is asked for, but its loader lists no tunables" -- \
  run --out "$tmp/r" --variant x --loader "$tmp/quiet-ld.so" --library-path "$tmp/prefix/lib" \
  --env GLIBC_TUNABLES=glibc.cpu.x86_rep_stosb_threshold=8192
# A loader that is a script cannot be a program's interpreter.
printf '#!/bin/sh\nexec %s "$@"\n' "$loader" >"$tmp/script-ld.sh"
chmod +x "$tmp/script-ld.sh"
refused 4 "a script as the loader" "variant x: $tmp/prefix/lib/libc.so.6: its loader $tmp/script-ld.sh cannot start a program" -- \
  run --out "$tmp/r" --variant x --loader "$tmp/script-ld.sh" --library-path "$tmp/prefix/lib"
# A static program has no interpreter to name.
cc -static -O2 -o "$tmp/static" "$tmp/where.c" -ldl 2>/dev/null &&
  refused 4 "a static benchmark" "variant x: $tmp/static cannot be started as the campaign starts programs, as a copy whose interpreter is $tmp/prefix/lib/ld-linux-x86-64.so.2: patchelf" -- \
    run --out "$tmp/r" --bench "$tmp/static" --variant x --libc "$tmp/prefix"

# glibc's own scripts read what --benchout writes.
tar -xf "$glibc_tar" -C "$tmp" --wildcards '*/benchtests/scripts/compare_strings.py' \
  '*/benchtests/scripts/benchout_strings.schema.json'
scripts=$(echo "$tmp"/glibc-*/benchtests/scripts)
expect 0 "--benchout" -- "$report" summary --benchout --lengths 64,100,4096 "$tmp/p"
cp "$tmp/out" "$tmp/bench-memset.out"
/usr/bin/python3 -c 'import json, sys, jsonschema
jsonschema.validate(json.load(open(sys.argv[1])), json.load(open(sys.argv[2])))' \
  "$tmp/bench-memset.out" "$scripts/benchout_strings.schema.json" ||
  fail "--benchout does not validate against glibc's schema"
expect 0 "compare_strings.py" -- /usr/bin/python3 "$scripts/compare_strings.py" \
  -i "$tmp/bench-memset.out" -s "$scripts/benchout_strings.schema.json" -a length,alignment
grep -q "sys.copy" "$tmp/out" || fail "compare_strings.py's ifuncs: $(head -5 "$tmp/out")"
[ "$(grep -c "length=[0-9]*, alignment=0:" "$tmp/out")" = 3 ] ||
  fail "compare_strings.py's lengths: $(cat "$tmp/out")"
expect 0 "a program campaign" -- "$report" program --runs 1 --out "$tmp/prog" -- true
expect 2 "--benchout of a program" -- "$report" summary --benchout "$tmp/prog"
grep -q "a timing per length, which only a curve has" "$tmp/err" || fail "program: $(cat "$tmp/err")"
finish
