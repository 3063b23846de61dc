#!/usr/bin/env bash
# The layer check refuses a folder that includes one it does not use, and
# names the file and the include; it passes what the table allows.
cmake=$1 check=$2
. "$(dirname "$0")/lib.sh"
mkdir -p "$tmp/src/low" "$tmp/src/high"
printf '#include "report/low/a.hpp"\n' >"$tmp/src/high/b.cpp"
printf '#pragma once\n#include <string>\n' >"$tmp/src/low/a.hpp"
expect 0 "high uses low" -- "$cmake" -DROOT="$tmp/src" "-DLAYERS=low=+high=low" -P "$check"
printf '#include "report/high/b.hpp"\n' >"$tmp/src/low/a.cpp"
expect 1 "low reaches up into high" -- "$cmake" -DROOT="$tmp/src" "-DLAYERS=low=+high=low" -P "$check"
grep -q 'low/a.cpp: #include "report/high/b.hpp" (low uses only: low)' "$tmp/err" ||
  fail "the refusal does not name the file and include: $(cat "$tmp/err")"
# The preloaded library's layout: read only where the table says so, and
# the library itself reaches into nothing of the report.
mkdir -p "$tmp/preload"
printf '#pragma once\n' >"$tmp/preload/layout.hpp"
rm "$tmp/src/low/a.cpp"
printf '#include "preload/layout.hpp"\n' >"$tmp/src/low/c.cpp"
expect 1 "low reads the layout" -- "$cmake" -DROOT="$tmp/src" "-DLAYERS=low=+high=low" -P "$check"
grep -q 'low/c.cpp: #include "preload/layout.hpp"' "$tmp/err" || fail "layout refusal: $(cat "$tmp/err")"
expect 0 "low may read it" -- "$cmake" -DROOT="$tmp/src" "-DLAYERS=low=preload+high=low" \
  -DPRELOAD="$tmp/preload" -P "$check"
printf '#include "report/low/a.hpp"\n' >"$tmp/preload/lib.cpp"
expect 1 "the library reaches into the report" -- "$cmake" -DROOT="$tmp/src" \
  "-DLAYERS=low=preload+high=low" -DPRELOAD="$tmp/preload" -P "$check"
grep -q 'preload/lib.cpp: #include "report/low/a.hpp"' "$tmp/err" || fail "preload refusal: $(cat "$tmp/err")"
finish
