#!/bin/bash
# Builds glibc from Debian's glibc-source with one change to its memset (the
# default rep stosb threshold, 2048 bytes upstream, set to THRESHOLD), then
# times three variants in one interleaved campaign of memset-batch:
#   system   the system's C library
#   tunable  the system's library with GLIBC_TUNABLES=...x86_rep_stosb_threshold=THRESHOLD
#   build    the build tree, through its own loader (--libc)
# and prints the summary and glibc's compare_strings.py table of it.
# Long (the build alone takes tens of minutes on two cores) and optional:
# never part of CI. Prints figures; asserts nothing.
#
# usage: bench/glibc_build.sh [BUILD_DIR] (default /tmp/memset-glibc-build)
# environment: THRESHOLD (default 16384), BUDGET (seconds, default 300),
#              REPORT (memset-report, default build/memset-report)
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
work=${1:-/tmp/memset-glibc-build}
threshold=${THRESHOLD:-16384}
budget=${BUDGET:-300}
report=${REPORT:-$here/build/memset-report}

for tool in gawk bison; do
  command -v $tool >/dev/null || apt-get install -y -q $tool >/dev/null
done
[ -d /usr/src/glibc ] || apt-get install -y -q glibc-source >/dev/null
tarball=$(ls /usr/src/glibc/glibc-*.tar.xz | head -n1)
src=$work/$(basename "$tarball" .tar.xz)
mkdir -p "$work"
if [ ! -e "$work/build/testrun.sh" ]; then
  rm -rf "$src" "$work/build"
  tar -xf "$tarball" -C "$work"
  # The one change: the threshold's default, where the tunable sets it.
  sed -i "/x86_rep_stosb_threshold {/,/}/s/default: 2048/default: $threshold/" \
    "$src/sysdeps/x86/dl-tunables.list"
  sed -i "s/unsigned long int rep_stosb_threshold = 2048;/unsigned long int rep_stosb_threshold = $threshold;/" \
    "$src/sysdeps/x86/dl-cacheinfo.h"
  grep -q "default: $threshold" "$src/sysdeps/x86/dl-tunables.list"
  mkdir -p "$work/build"
  echo "building glibc in $work/build (tens of minutes)" >&2
  start=$(date +%s)
  (cd "$work/build" && "$src/configure" --prefix=/usr --disable-werror --disable-nscd \
       --disable-timezone-tools >configure.log 2>&1 &&
     make -j"$(nproc)" >make.log 2>&1) ||
    { echo "glibc_build.sh: the build failed; see $work/build/*.log" >&2; exit 1; }
  echo "built in $(( $(date +%s) - start )) s" >&2
fi

out=$work/campaign-$(date +%Y%m%d-%H%M%S)
echo "machine: $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2- | sed 's/^ //'), $(nproc) cores; $(date -u '+%Y-%m-%d %H:%M UTC')"
"$report" run --out "$out" --engine batch --budget "$budget" \
  --variant system \
  --variant tunable --env GLIBC_TUNABLES=glibc.cpu.x86_rep_stosb_threshold=$threshold \
  --variant build --libc "$work/build"
"$report" summary "$out" | grep -E '^(== |memset:|libc:|range:|stopped:)'
scripts=$src/benchtests/scripts
if /usr/bin/python3 -c 'import jsonschema, matplotlib' 2>/dev/null; then
  "$report" summary --benchout "$out" >"$out/bench-memset.out"
  /usr/bin/python3 "$scripts/compare_strings.py" -i "$out/bench-memset.out" \
    -s "$scripts/benchout_strings.schema.json" -a length
fi
