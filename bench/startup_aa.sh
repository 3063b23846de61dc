#!/usr/bin/env bash
# A/A over every way two variants can differ but the memset: the same
# memset as two variants that differ in one way only, on both engines, each
# pair a campaign of BUDGET seconds; prints, for each, the share of lengths
# 3..32768 read faster or slower (false findings: there should be none), same
# and unclear, and the rounds. The ways:
#   loader   b started through the system's loader by a wrapper
#            (/lib64/ld-linux-x86-64.so.2 ENGINE), as --libc campaigns were
#   libc     b --libc with a copy of the system's loader, libc.so.6 and libm.so.6
#   env      b's environment larger by 3 KiB
#   argv0    b started under a name 200 bytes longer (a symbolic link)
#   cwd      b started in another working folder
#   preload  b with a preloaded library that defines no memset
# Not a test: it prints figures. ENGINES='memset-batch' times one engine.
# Usage: bench/startup_aa.sh [BUILD_DIR] [BUDGET] [WAYS...]   (default: build 60, every way)
set -euo pipefail
build=$(cd "${1:-build}" && pwd)
budget=${2:-60}
ways=("${@:3}")
[ ${#ways[@]} -gt 0 ] || ways=(loader libc env argv0 cwd preload)
. "$(dirname "$0")/work_dir.sh"
report=$build/memset-report
loader=/lib64/ld-linux-x86-64.so.2
libdir=$(dirname "$(ldd "$build/memset-bench" | awk '$1 == "libc.so.6" { print $3 }')")
mkdir -p "$tmp/sys/lib"
cp "$loader" "$libdir/libc.so.6" "$libdir/libm.so.6" "$tmp/sys/lib/"
printf 'int memset_startup_unrelated(void) { return 1; }\n' >"$tmp/unrelated.c"
cc -shared -fPIC -o "$tmp/libunrelated.so" "$tmp/unrelated.c"
share() { # verdict word, summary text: the share of lengths 3..32768 in its ranges
  awk -v v="$1" '$1 == "range:" && $3 == v { split($2, r, /\.\./); n += r[2] - r[1] + 1 }
    END { printf "%.1f", 100 * n / 32766 }'
}
# A wrapper that starts ENGINE as the way asks; "" where the way needs none.
wrapper() { # WAY ENGINE_PATH
  local w=$tmp/$1-$(basename "$2")
  case $1 in
  loader) printf '#!/bin/sh\nexec %s %s "$@"\n' "$loader" "$2" >"$w" ;;
  cwd) printf '#!/bin/sh\nf=$(readlink -f "$1")\ncd /\nexec %s "$f"\n' "$2" >"$w" ;;
  preload) printf '#!/bin/sh\nLD_PRELOAD=%s exec %s "$@"\n' "$tmp/libunrelated.so" "$2" >"$w" ;;
  argv0)
    w=$tmp/$(printf 'x%.0s' $(seq 200))-$(basename "$2")
    ln -sf "$2" "$w"
    echo "$w"
    return
    ;;
  *) return ;;
  esac
  chmod +x "$w"
  echo "$w"
}
echo "machine: $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2- | sed 's/^ //'), $(ldd --version | head -1 | awk '{print $NF}'), $(date -u '+%Y-%m-%d %H:%M UTC')"
printf '%-8s %-12s %8s %8s %8s %7s  %s\n' way engine wrong% same% unclear% rounds "widest range off 1"
for engine in ${ENGINES:-memset-batch memset-bench}; do
  e=$build/$engine
  for way in "${ways[@]}"; do
    b=(--variant b --bench "$e")
    case $way in
    libc) b+=(--libc "$tmp/sys") ;;
    env) b+=(--env "PAD=$(head -c 3072 /dev/zero | tr '\0' x)") ;;
    *) [ -z "$(wrapper "$way" "$e")" ] || b=(--variant b --bench "$(wrapper "$way" "$e")") ;;
    esac
    out=$tmp/aa-$way-$engine
    "$report" run --out "$out" --budget "$budget" --engine "${engine#memset-}" \
      --variant a --bench "$e" "${b[@]}" 2>/dev/null || true
    "$report" summary "$out" >"$out.txt" 2>&1 || true
    f=$(share faster <"$out.txt")
    s=$(share slower <"$out.txt")
    far=$(awk '$1 == "range:" && ($3 == "faster" || $3 == "slower") { print $2, $3, $4 }' "$out.txt" | head -1)
    printf '%-8s %-12s %8s %8s %8s %7s  %s\n' "$way" "$engine" \
      "$(awk -v f="$f" -v s="$s" 'BEGIN { print f + s }')" "$(share same <"$out.txt")" \
      "$(share unclear <"$out.txt")" "$(sed -n 's/^rounds: //p' "$out/context.txt" 2>/dev/null)" "${far:--}"
  done
done
