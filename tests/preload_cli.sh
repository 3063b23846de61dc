#!/usr/bin/env bash
# Preload libraries: one built from a fake archive as the build builds them,
# an object that needs other symbols refused, and a preload that is not the
# memset bound failing the campaign before it measures anything.
report=$1
unhide=$2
extract=$3
. "$(dirname "$0")/lib.sh"
command -v cc >/dev/null || { echo "no C compiler: preloads untested"; [ -n "${MEMSET_STRICT_TESTS:-}" ] && exit 1; exit 77; }

# A memset of hidden visibility, as LLVM's libc builds it, in an archive.
cat >"$tmp/memset.c" <<'C'
__attribute__((visibility("hidden"))) void *memset(void *s, int c, unsigned long n) {
  unsigned char *p = s;
  while (n--)
    *p++ = (unsigned char)c;
  return s;
}
C
cat >"$tmp/needs.c" <<'C'
extern void abort(void);
void *memset(void *s, int c, unsigned long n) { if (!n) abort(); return s; }
C
cc -O2 -fPIC -fno-builtin -c "$tmp/memset.c" -o "$tmp/memset.o" && cc -O2 -fPIC -c "$tmp/needs.c" -o "$tmp/needs.o" &&
  ar rcs "$tmp/libfake.a" "$tmp/memset.o" "$tmp/needs.o" || fail "cannot build the fake archive"
extract() { cmake -DAR=ar -DNM=nm -DUNHIDE="$unhide" -DARCHIVE="$tmp/libfake.a" -DMEMBER="$1" -DOUT="$2" -P "$extract"; }
expect 0 "extract memset.o" -- extract memset.o "$tmp/good.o"
expect 0 "link it" -- cc -shared -nostdlib -Wl,-z,defs -o "$tmp/libmemset-fake.so" "$tmp/good.o"
nm -D --defined-only "$tmp/libmemset-fake.so" | grep -q ' T memset$' || fail "the library exports no memset"
expect 1 "an object that needs other symbols" -- extract needs.o "$tmp/bad.o"
grep -q "needs other symbols (abort)" "$tmp/err" || fail "refusal: $(cat "$tmp/err")"
[ -e "$tmp/bad.o" ] && fail "a refused object was kept"

# The stand-in benchmark is a shell script: the shell and awk bind memset
# as the benchmark would.
cat >"$tmp/fake" <<FAKE
#!/usr/bin/env bash
$(declare -f fake_values)
fake_values >"\$1"
FAKE
chmod +x "$tmp/fake"
expect 0 "a preload that is bound" -- "$report" run --out "$tmp/ok" --runs 1 --bench "$tmp/fake" \
  --variant glibc --variant fake --preload "$tmp/libmemset-fake.so"
grep -qx "variant_env: fake LD_PRELOAD=$tmp/libmemset-fake.so" "$tmp/ok/context.txt" || fail "preload not recorded"
# A wrapper that looks up glibc's memset for itself is still the one bound.
cat >"$tmp/wrap.c" <<'C'
#define _GNU_SOURCE
#include <dlfcn.h>
#include <stddef.h>
void *memset(void *s, int c, size_t n) {
  static void *(*next)(void *, int, size_t);
  if (!next)
    next = (void *(*)(void *, int, size_t))dlsym(RTLD_NEXT, "memset");
  return next(s, c, n);
}
C
cc -shared -fPIC -O2 -o "$tmp/libwrap.so" "$tmp/wrap.c" -ldl
expect 0 "a wrapper preload" -- "$report" run --out "$tmp/wrap" --runs 1 --bench "$tmp/fake" \
  --variant glibc --variant wrap --preload "$tmp/libwrap.so"
# Loaded, but exporting no memset: glibc's would be measured under its name.
printf 'int not_memset(void) { return 0; }\n' >"$tmp/other.c"
cc -shared -fPIC -o "$tmp/libother.so" "$tmp/other.c"
expect 4 "a preload that is not bound" -- "$report" run --out "$tmp/bad" --runs 1 --bench "$tmp/fake" \
  --variant glibc --variant other --preload "$tmp/libother.so"
grep -q "variant other: checking its LD_PRELOAD: memset is bound to '.*libc.so.6', not to the preloaded library" "$tmp/err" ||
  fail "wrong preload: $(cat "$tmp/err")"
[ -e "$tmp/bad" ] && fail "a campaign with a wrong preload left: $(ls -A "$tmp/bad")"
expect 4 "a wrong path given as --env" -- "$report" run --out "$tmp/bad" --runs 1 --bench "$tmp/fake" \
  --variant glibc --variant typo --env LD_PRELOAD="$tmp/libnothere.so"
# A census with the stand-in: glibc's variants, every library built beside
# the tool, and one's own; each ranked, each library named with its version.
expect 0 "census" -- "$report" census --out "$tmp/census" --runs 2 --bench "$tmp/fake" \
  --variant mine --preload "$tmp/libmemset-fake.so"
[ "$(grep -c '^rank: ' "$tmp/out")" = "$(grep -c '^variant: ' "$tmp/out")" ] || fail "census ranks: $(cat "$tmp/out")"
grep -q '^variant: mine = LD_PRELOAD=' "$tmp/out" || fail "own preload not in the census"
for lib in "$(dirname "$report")"/libmemset-*.so; do
  [ -e "$lib" ] || continue
  name=$(basename "$lib" .so | sed 's/^libmemset-//')
  grep -q "^library: $name (.* [0-9]" "$tmp/out" && grep -q "^library: $name " "$tmp/census/context.txt" ||
    fail "census does not name $name and its version: $(grep library "$tmp/out")"
done
expect 0 "census from its folder" -- "$report" census --from "$tmp/census"
# Every entry but default says where it wins and loses, in text and in JSON,
# its stretches covering 3..32768 without a gap.
[ "$(grep -c '^where: ' "$tmp/out")" = "$(($(grep -c '^rank: ' "$tmp/out") - 1))" ] ||
  fail "census stretches: $(grep -e '^rank' -e '^where' "$tmp/out")"
expect 0 "census JSON" -- "$report" census --from "$tmp/census" --json
/usr/bin/python3 -c '
import json, sys
doc = json.load(sys.stdin)
ranking = doc["ranking"]
assert [r["rank"] for r in ranking] == list(range(1, len(ranking) + 1)), ranking
for r in ranking:
    if r["variant"] == "default":
        assert "overall" not in r, r
        continue
    assert r["overall"]["verdict"] in ("faster", "slower", "same", "unclear"), r
    st = r["stretches"]
    assert st[0]["from"] == 3 and st[-1]["to"] == 32768, st
    assert all(a["to"] + 1 == b["from"] for a, b in zip(st, st[1:])), st
assert "long fills" in doc["context"]["ranking_weighs"], doc["context"]
' <"$tmp/out" || fail "census JSON: $(head -c 600 "$tmp/out")"
expect 2 "a missing --preload" -- "$report" run --out "$tmp/bad" --variant x --preload "$tmp/libnothere.so"
expect 2 "census variant without --preload" -- "$report" census --out "$tmp/bad" --variant x
finish
