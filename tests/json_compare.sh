#!/usr/bin/env bash
# summary --json read by a real consumer: Google Benchmark's compare.py must
# take two exported sets and print its table with the U test's rows.
report=$1
bench=$2
. "$(dirname "$0")/lib.sh"
compare=/usr/share/benchmark/compare.py
# compare.py's U test needs Debian's scipy, under Debian's own Python.
if [ ! -f "$compare" ] || ! /usr/bin/python3 -c 'import scipy' 2>/dev/null; then
  echo "compare.py or scipy missing: JSON untested (Debian: libbenchmark-tools python3-scipy)"
  [ -n "${MEMSET_STRICT_TESTS:-}" ] && exit 1
  exit 77
fi

# A tool built without nlohmann-json says so; that is a skip, not a failure.
"$report" summary --json /dev/null 2>&1 | grep -q "built without JSON support" && {
  echo "memset-report built without JSON support: JSON untested (Debian: nlohmann-json3-dev)"
  [ -n "${MEMSET_STRICT_TESTS:-}" ] && exit 1
  exit 77
}
expect 0 "campaign" -- "$report" run --out "$tmp/c" --runs 3 --bench "$bench" --variant a --variant b \
  --env GLIBC_TUNABLES=glibc.cpu.x86_rep_stosb_threshold=8192
expect 0 "json a" -- "$report" summary --json "$tmp/c/a"
mv "$tmp/out" "$tmp/a.json"
expect 0 "json b" -- "$report" summary --json --lengths 1,2,3,4096,32768 "$tmp/c/b"
mv "$tmp/out" "$tmp/b.json"
expect 0 "compare.py" -- /usr/bin/python3 "$compare" benchmarks "$tmp/a.json" "$tmp/b.json"
grep -q Traceback "$tmp/err" && fail "compare.py: $(cat "$tmp/err")"
for name in memset/4096 memset/32768; do
  grep -q "${name}_pvalue" "$tmp/out" || fail "no U test row for $name: $(head -20 "$tmp/out")"
  grep -q "${name}_median" "$tmp/out" || fail "no median row for $name"
done
grep -q "U Test, Repetitions: 3 vs 3" "$tmp/out" || fail "U test rows missing"
# The layout as Python reads it: three runs and three aggregates per length,
# times in ns from the campaign's frequency, ticks kept, the ranges beside.
/usr/bin/python3 - "$tmp/a.json" "$tmp/c/context.txt" <<'PY' || fail "JSON layout"
import json, sys
doc = json.load(open(sys.argv[1]))
mhz = float(next(l.split(": ")[1] for l in open(sys.argv[2]) if l.startswith("tsc_mhz: ")))
b = [x for x in doc["benchmarks"] if x["run_name"] == "memset/4096"]
runs = [x for x in b if x["run_type"] == "iteration"]
assert sorted(x["repetition_index"] for x in runs) == [0, 1, 2], runs
assert sorted(x["aggregate_name"] for x in b if x["run_type"] == "aggregate") == ["low", "mean", "median", "stddev"]
for x in runs:
    assert abs(x["real_time"] - x["ticks"] * 1000 / mhz) < 1e-6 * x["real_time"] + 1e-9, x
assert doc["context"]["memset_report_tsc_mhz"] == mhz and "mhz_per_cpu" not in doc["context"]
assert all(isinstance(s["runs"], int) for s in doc["context"]["memset_report_sets"])
assert len({x["run_name"] for x in doc["benchmarks"]}) == 30  # powers of two and midpoints
PY
expect 0 "json of both variants" -- "$report" summary --json "$tmp/c"
/usr/bin/python3 -c '
import json, sys
doc = json.load(sys.stdin)
names = {x["name"] for x in doc["benchmarks"]}
assert "a/memset/4096" in names and "b/memset/4096_median" in names, sorted(names)[:5]
r = doc["memset_report_comparisons"][0]
assert r["paired"] and r["ranges"][0]["from"] == 3 and r["ranges"][-1]["to"] == 32768, r
assert all(isinstance(s["rounds"], int) and isinstance(s["shuffle_seed"], int) for s in doc["context"]["memset_report_sets"]), doc["context"]["memset_report_sets"]
' <"$tmp/out" || fail "JSON of an interleaved campaign"

# Weighted: each set's cost per call and the comparison's weighted verdict.
printf '8 90\n4096 10\n0 5\n' >"$tmp/w.txt"
expect 0 "weighted json" -- "$report" summary --json --weights "$tmp/w.txt" "$tmp/c"
/usr/bin/python3 -c '
import json, sys
doc = json.load(sys.stdin)
w = doc["context"]["memset_report_weights"]
assert abs(w["zero_share"] - 5 / 105) < 1e-9 and abs(w["measured_share"] - 100 / 105) < 1e-9, w
for s in doc["context"]["memset_report_sets"]:
    assert s["weighted_cost_ticks"] > 0 and s["weighted_cost_ns"] > 0, s
c = doc["memset_report_comparisons"][0]["weighted"]
assert c["verdict"] in ("faster", "slower", "same", "unclear") and c["from"] == 1, c
' <"$tmp/out" || fail "weighted JSON"

# A capture: the change per run, in the campaign's counter time, as shares.
{ printf '# memset-report capture\n# command: prog\n# outcome: ok: exit status 0\n'
  printf '# wall_time: 0.5 s\n# cpu_time: 0.25 s\n# calls: 100\n# processes: 1\n'
  printf '# libc: glibc\n# date: today\n8 90\n4096 10\n'; } >"$tmp/cap.txt"
expect 0 "per run json" -- "$report" summary --json --weights "$tmp/cap.txt" "$tmp/c"
/usr/bin/python3 -c '
import json, sys
doc = json.load(sys.stdin)
assert doc["context"]["memset_report_weights"]["capture"]["cpu_seconds"] == 0.25
mhz = doc["context"]["memset_report_tsc_mhz"]
p = doc["memset_report_comparisons"][0]["per_run"]
assert p["calls"] == 100, p
for k in [k for k in ("", "_low", "_high") if "ticks" + k in p]:
    s = p["ticks" + k] / (mhz * 1e6)
    assert abs(p["seconds" + k] - s) <= 1e-12 + 1e-9 * abs(s), (k, p)
    assert abs(p["wall_share" + k] - s / 0.5) <= 1e-12 + 1e-9 * abs(s), (k, p)
    assert abs(p["cpu_share" + k] - s / 0.25) <= 1e-12 + 1e-9 * abs(s), (k, p)
assert ("ticks_low" in p) == ("cpu_share_high" in p), p
# Where the calls hide in the readings, no interval, and what could hide instead.
w = doc["memset_report_comparisons"][0]["weighted"]
assert w.get("hidden", False) == p.get("hidden", False) == (w["hidden_cost_share"] > 0.05), (w, p)
if p.get("hidden"):
    assert "ticks_low" not in p and "low" not in w, (w, p)
    s = p["unseen_ticks"] / (mhz * 1e6)
    assert abs(p["unseen_seconds"] - s) <= 1e-12 + 1e-9 * s and abs(p["unseen_cpu_share"] - s / 0.25) <= 1e-12 + 1e-9 * s, p
    print("hidden")
' <"$tmp/out" >"$tmp/hidden" || fail "per-run JSON"
expect 0 "per run text" -- "$report" summary --weights "$tmp/cap.txt" "$tmp/c"
if [ -s "$tmp/hidden" ]; then
  want="^per run: unclear: [0-9]+ of 100 calls are at lengths that hide in the readings, .* of its wall time, .* of its CPU time\) or more"
else
  want="^per run: .* of memset time over 100 calls; .* of the run's wall time, .* of its CPU time"
fi
grep -Eq "$want" "$tmp/out" || fail "per-run text: $(grep -A1 '^weighted: ' "$tmp/out")"

# One figure a run: a program's times, an entry a run that compare.py takes,
# read back against the run files; a replay's beside it, with the prediction.
burn=(sh -c 'i=0; while [ $i -lt 3000 ]; do i=$((i+1)); done')
expect 0 "program campaign" -- "$report" program --out "$tmp/p" --runs 6 --variant a --variant b -- "${burn[@]}"
expect 0 "program json a" -- "$report" summary --json "$tmp/p/a"
mv "$tmp/out" "$tmp/pa.json"
expect 0 "program json b" -- "$report" summary --json "$tmp/p/b"
mv "$tmp/out" "$tmp/pb.json"
expect 0 "compare.py of programs" -- /usr/bin/python3 "$compare" benchmarks "$tmp/pa.json" "$tmp/pb.json"
grep -q "program_pvalue" "$tmp/out" && grep -q "U Test, Repetitions: 6 vs 6" "$tmp/out" ||
  fail "compare.py of programs: $(head -c 600 "$tmp/out")"
expect 0 "program json" -- "$report" summary --json "$tmp/p"
/usr/bin/python3 - "$tmp/out" "$tmp/p" <<'PY' || fail "program JSON layout"
import json, os, sys
doc = json.load(open(sys.argv[1]))
runs = [x for x in doc["benchmarks"] if x["name"] == "b/program"]
assert sorted(x["repetition_index"] for x in runs) == list(range(6)), runs
for x in runs:
    f = dict(l.strip().split(": ") for l in open(os.path.join(sys.argv[2], "b", "run-%03d.txt" % (x["repetition_index"] + 1))) if ": " in l)
    assert x["time_unit"] == "ms" and x["real_time"] == int(f["wall_us"]) / 1000 and x["cpu_time"] == int(f["cpu_us"]) / 1000, (x, f)
c = doc["memset_report_comparisons"][0]
assert c["figure"] == "cpu_ms" and c["paired"] and c["runs"] == 6 and c["low"] <= c["ratio"] <= c["high"], c
assert doc["context"]["memset_report_sets"][0]["program"][0] == "sh", doc["context"]["memset_report_sets"][0]
PY
grep -q "\"verdict\": \"$("$report" summary "$tmp/p" | sed -n 's/^time: \([a-z]*\) .*/\1/p')\"" "$tmp/out" ||
  fail "the JSON's verdict is not the text's"
printf '# memset-report capture\n# command: sh -c %s\n# outcome: ok: exit status 0\n# wall_time: 0.01 s\n# cpu_time: 0.01 s\n# calls: 10\n# processes: 1\n# libc: glibc\n# date: today\n64 10\n' \
  "'i=0; while [ \$i -lt 3000 ]; do i=\$((i+1)); done'" >"$tmp/pcap.txt"
expect 0 "replay campaign" -- "$report" run --engine batch --replay "$tmp/pcap.txt" --out "$tmp/r" --runs 6 --variant a --variant b
expect 0 "prediction json" -- "$report" summary --json "$tmp/r" "$tmp/p"
/usr/bin/python3 -c '
import json, sys
doc = json.load(sys.stdin)
kinds = [c["kind"] for c in doc["memset_report_comparisons"]]
assert kinds == ["replay", "program"], kinds
p = doc["memset_report_predictions"][0]
assert p["variant"] == "b" and "predicted_ms" in p and p["holds"] in (True, False, None), p
assert p["holds"] is not None or p["measured_verdict"] == "unclear" or p["width_ratio"] > 4, p
r = [x for x in doc["benchmarks"] if x["name"].endswith("a/replay")]
assert len(r) == 6 and all(x["time_unit"] == "ns" and x["real_time"] > 0 for x in r), r
' <"$tmp/out" || fail "JSON of a prediction"

# A curve campaign weighted by the capture beside its replay: the change per
# run both ways, each saying what it rests on, and which stands for the program.
expect 0 "curves for two ways" -- "$report" run --engine batch --out "$tmp/c2" --runs 6 --variant a --variant b
expect 0 "two ways" -- "$report" summary --weights "$tmp/pcap.txt" "$tmp/c2" "$tmp/r"
sed -n '/^== per run, two ways/,$p' "$tmp/out" >"$tmp/two"
[ "$(grep -c '^per run: b .*; from each length timed on its own' "$tmp/two")" = 1 ] &&
  [ "$(grep -c "^per run: b .*; from the capture's mix, replayed in a shuffled order" "$tmp/two")" = 1 ] &&
  grep -q '^why: .*the replay stands for the program' "$tmp/two" || fail "two ways: $(cat "$tmp/two")"
expect 2 "two ways without weights" -- "$report" summary "$tmp/c2" "$tmp/r"

finish
