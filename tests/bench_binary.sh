#!/usr/bin/env bash
# The build settings decide what memset-bench measures, and a changed flag
# changes the numbers without any error. Check them on the built binary.
set -u
bench=$1
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

dyn=$(readelf -d "$bench")
needed=$(echo "$dyn" | sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p' | sort | tr '\n' ' ')
[ "$needed" = "libc.so.6 libm.so.6 " ] || fail "needs '$needed', want only libc.so.6 and libm.so.6"
echo "$dyn" | grep -qE '\(BIND_NOW\)|Flags:.*\bNOW\b' && fail "library routines are bound at start-up, not at first call"

# memset and ceil reached through lazily bound PLT slots (not -fno-plt GOT loads).
relocs=$(readelf -rW "$bench")
for sym in memset ceil; do
  echo "$relocs" | grep -qE "R_X86_64_JUMP_SLOT.* $sym@" || fail "$sym has no lazy PLT slot"
done

asm=$(objdump -d -C --no-show-raw-insn "$bench")
main=$(echo "$asm" | awk '/^[0-9a-f]+ <main>:/{on=1; next} on && /^$/{exit} on')
rdtsc=$(echo "$asm" | awk '/^[0-9a-f]+ <rdtsc\(\)>:/{on=1; next} on && /^$/{exit} on')
[ -n "$main" ] || fail "no main in the disassembly"
[ -n "$rdtsc" ] || fail "rdtsc is not a function of its own"
echo "$rdtsc" | grep -qE '\srdtsc\s*$' || fail "rdtsc() does not execute RDTSC"
echo "$main" | grep -qE '\srdtsc\s*$' && fail "a counter reading is inlined into main"

# The timed region is exactly: call rdtsc, call memset, call rdtsc.
calls=$(echo "$main" | grep -oE 'call +[0-9a-f]+ <[^>]*>' | sed 's/.*<\(.*\)>/\1/' | tr '\n' ' ')
echo "$calls" | grep -qF 'rdtsc() memset@plt rdtsc()' || fail "timed region is not rdtsc, memset, rdtsc: $calls"
echo "$calls" | grep -qF 'ceil@plt' || fail "ceil is not called at run time"
echo "$main" | grep -qE 'rep stos' && fail "a fill is expanded inline"

# No fence or serialising instruction anywhere in the program's own code.
fences=$(echo "$asm" | grep -cE '\s(lfence|mfence|sfence|cpuid|rdtscp)\b')
[ "$fences" = 0 ] || fail "$fences fence or serialising instructions"

echo "bench_binary: $failures failed"
[ "$failures" = 0 ]
