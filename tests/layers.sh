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
finish
