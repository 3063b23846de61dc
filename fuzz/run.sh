#!/usr/bin/env bash
# Runs every fuzz target of BUILD (default build-fuzz) for SECONDS each
# (default 20), from its seed corpus in fuzz/corpus/NAME, and prints how many
# inputs each ran. New inputs go to a scratch folder; the seeds stay as they
# are. A failure keeps the scratch folder, whose crash-* file (named in the
# output) holds the input, and fails the run.
set -u
build=${1:-build-fuzz} seconds=${2:-20}
here=$(cd "$(dirname "$0")" && pwd)
scratch=$(mktemp -d)
failed=0
trap '[ "$failed" = 0 ] && rm -rf "$scratch"' EXIT
for seeds in "$here"/corpus/*/; do
  name=$(basename "$seeds")
  target="$build/fuzz/fuzz_$name"
  [ -x "$target" ] || { echo "fuzz $name: no $target (build the fuzz_targets target)"; failed=1; continue; }
  mkdir -p "$scratch/$name"
  if "$target" -max_total_time="$seconds" -print_final_stats=1 -artifact_prefix="$scratch/" \
    "$scratch/$name" "$seeds" >"$scratch/$name.log" 2>&1; then
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$scratch/$name.log")
    echo "fuzz $name: ${runs:-?} inputs in ${seconds} s, no failure"
  else
    echo "fuzz $name: FAILED"
    grep -E 'ERROR|SUMMARY|Test unit written' "$scratch/$name.log" | head -5
    failed=1
  fi
done
exit $failed
