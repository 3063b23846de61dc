// Renders a Report in Google Benchmark's JSON layout, for compare.py and the
// dashboards that read that format.

#include "render.hpp"

#include "errors.hpp"

#include <cmath>
#include <thread>

#ifdef MEMSET_REPORT_JSON
#include <nlohmann/json.hpp>
#endif

namespace report {

std::vector<size_t> default_json_lengths() {
  std::vector<size_t> out;
  for (size_t p = 1; p <= kLengths; p *= 2) {
    out.push_back(p);
    if (p >= 2 && p * 3 / 2 <= kLengths && p < kLengths)
      out.push_back(p * 3 / 2);
  }
  return out;
}

#ifdef MEMSET_REPORT_JSON

namespace {

using nlohmann::ordered_json;

ordered_json context_of(const Set &set) {
  ordered_json c = ordered_json::object();
  for (const auto &[k, v] : set.context.entries)
    if (k != "order" && k != "variant" && k != "variant_env" && k != "variant_bench")
      c[k] = v;
  c["env"] = set.env;
  c["env_inherited"] = set.inherited_env;
  c["runs"] = set.runs.size();
  if (set.planned)
    c["planned_runs"] = set.planned;
  return c;
}

// One benchmark entry, in the fields and order Google Benchmark writes.
ordered_json entry(const std::string &name, const std::string &run_name, size_t family,
                   size_t repetitions) {
  ordered_json e;
  e["name"] = name;
  e["family_index"] = family;
  e["per_family_instance_index"] = 0;
  e["run_name"] = run_name;
  e["run_type"] = "iteration";
  e["repetitions"] = repetitions;
  return e;
}

void set_time(ordered_json &e, double ns) {
  e["real_time"] = ns;
  e["cpu_time"] = ns;
  e["time_unit"] = "ns";
}

} // namespace

std::string render_json(const Report &r, const std::vector<size_t> &lengths) {
  ordered_json doc;
  const Set &first = r.sets[0];
  ordered_json ctx;
  ctx["date"] = first.context.get("date");
  ctx["host_name"] = first.context.get("host");
  ctx["executable"] = first.context.get("bench");
  ctx["num_cpus"] = std::thread::hardware_concurrency();
  ctx["mhz_per_cpu"] = (long)std::lround(*r.mhz[0]);
  ctx["cpu_scaling_enabled"] = false;
  ctx["caches"] = ordered_json::array();
  ctx["library_build_type"] = "release";
  ctx["library_version"] = first.context.get("libc");
  ordered_json sets = ordered_json::array();
  for (size_t s = 0; s < r.sets.size(); s++) {
    ordered_json one = context_of(r.sets[s]);
    one["label"] = r.sets[s].label;
    one["path"] = r.sets[s].path;
    sets.push_back(one);
  }
  ctx["memset_report_sets"] = sets;
  ordered_json variants = ordered_json::array();
  for (const auto &v : variants_of(first.context))
    variants.push_back({{"name", v.name}, {"env", v.env}, {"bench", v.bench}});
  ctx["variants"] = variants;
  doc["context"] = ctx;

  ordered_json benchmarks = ordered_json::array();
  size_t family = 0;
  for (size_t s = 0; s < r.sets.size(); s++) {
    const Set &set = r.sets[s];
    double ns_per_tick = 1000.0 / *r.mhz[s];
    std::string prefix = r.sets.size() > 1 ? set.label + "/" : "";
    size_t n = set.runs.size();
    for (size_t len : lengths) {
      std::string run_name = prefix + "memset/" + std::to_string(len);
      for (size_t i = 0; i < n; i++) {
        ordered_json e = entry(run_name, run_name, family, n);
        // The round for interleaved campaigns, else the run's place in the set.
        e["repetition_index"] = set.rounds[i] ? set.rounds[i] - 1 : i;
        e["threads"] = 1;
        e["iterations"] = 8; // fills averaged into each value
        uint64_t t = set.runs[i][len - 1];
        set_time(e, (double)t * ns_per_tick);
        e["ticks"] = t;
        benchmarks.push_back(e);
      }
      double mean = 0, var = 0;
      for (const auto &run : set.runs)
        mean += (double)run[len - 1] / n;
      for (const auto &run : set.runs)
        var += ((double)run[len - 1] - mean) * ((double)run[len - 1] - mean);
      double stddev = n > 1 ? std::sqrt(var / (n - 1)) : 0;
      const ExactMedian &med = r.exact[s][len - 1];
      for (auto [agg, ticks] : {std::pair<const char *, double>{"median", med.value()},
                                {"mean", mean},
                                {"stddev", stddev}}) {
        ordered_json e = entry(run_name + "_" + agg, run_name, family, n);
        e["run_type"] = "aggregate";
        e["threads"] = 1;
        e["aggregate_name"] = agg;
        e["aggregate_unit"] = "time";
        e["iterations"] = n;
        set_time(e, ticks * ns_per_tick);
        e["ticks"] = ticks;
        benchmarks.push_back(e);
      }
      family++;
    }
  }
  doc["benchmarks"] = benchmarks;

  ordered_json comparisons = ordered_json::array();
  for (const auto &c : r.comparisons) {
    ordered_json j;
    j["base"] = r.sets[c.base].label;
    j["other"] = r.sets[c.other].label;
    j["paired"] = c.paired;
    j["runs_base"] = c.runs_base;
    j["runs_other"] = c.runs_other;
    j["threshold"] = c.threshold;
    if (!c.paired)
      j["drift_allowance"] = c.drift;
    ordered_json ranges = ordered_json::array();
    for (const auto &rg : c.ranges)
      ranges.push_back({{"from", rg.from},
                        {"to", rg.to},
                        {"verdict", verdict_name(rg.verdict)},
                        {"ratio", rg.ratio},
                        {"low", rg.low},
                        {"high", rg.high}});
    j["ranges"] = ranges;
    comparisons.push_back(j);
  }
  doc["memset_report_comparisons"] = comparisons;
  return doc.dump(2) + "\n";
}

#else

std::string render_json(const Report &, const std::vector<size_t> &) {
  throw SystemError("this memset-report was built without JSON support; install "
                    "nlohmann-json3-dev (Debian) and build again");
}

#endif

} // namespace report
