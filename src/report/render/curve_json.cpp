// Renders a curve campaign's Report in Google Benchmark's JSON layout, for
// compare.py and the dashboards that read that format.

#include "report/render/render.hpp"

#include "report/render/pieces.hpp"

#include "report/sys/errors.hpp"
#include "report/sys/text.hpp"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#ifdef MEMSET_REPORT_JSON
#include "report/render/json_parts.hpp"
#endif

namespace report {

#ifdef MEMSET_REPORT_JSON

namespace {

using nlohmann::ordered_json;

void set_time(ordered_json &e, double ns) {
  e["real_time"] = ns;
  e["cpu_time"] = ns;
  e["time_unit"] = "ns";
}

ordered_json context_json(const Report &r) {
  const Set &first = r.sets[0].set;
  const MachineFacts &m = first.record.machine;
  ordered_json ctx;
  ctx["date"] = utf8(m.date);
  ctx["host_name"] = utf8(m.host);
  ctx["executable"] = utf8(first.record.bench);
  // The machine that ran the campaign, not the one reading it; unknown for
  // records written before it was kept.
  if (m.num_cpus)
    ctx["num_cpus"] = *m.num_cpus;
  // Google Benchmark's mhz_per_cpu is the core's clock and its
  // cpu_scaling_enabled the governor's: neither is measured here, so neither
  // is written. What the times were converted with is the counter's.
  ctx["memset_report_tsc_mhz"] = *r.sets[0].mhz;
  ctx["caches"] = ordered_json::array();
  ctx["library_build_type"] = "release";
  ctx["library_version"] = utf8(m.libc);
  ctx["memset_report_statistic"] = statistic_name(r.statistic);
  ordered_json sets = ordered_json::array();
  for (const auto &sr : r.sets) {
    ordered_json one = context_of(sr.set);
    one["label"] = utf8(sr.set.label);
    one["path"] = utf8(sr.set.path);
    if (sr.summary.shifted)
      one["shifted_runs"] = sr.summary.shifted->size();
    if (sr.weighted) {
      one["weighted_cost_ticks"] = sr.weighted->cost;
      one["weighted_cost_ns"] = sr.weighted->cost * ns_per_tick(*sr.mhz);
    }
    sets.push_back(one);
  }
  ctx["memset_report_sets"] = sets;
  if (r.weights) {
    const Weights &w = *r.weights;
    ctx["memset_report_weights"] = {{"file", utf8(r.weights_file)},
                                    {"format", weights_format_name(w.format)},
                                    {"calls", w.total},
                                    {"measured_share", w.measured() / w.total},
                                    {"mostly_unmeasured", w.mostly_unmeasured()},
                                    {"zero_share", w.zero / w.total},
                                    {"one_share", w.one / w.total},
                                    {"above_share", w.above / w.total},
                                    {"open_share", w.open / w.total}};
    if (w.capture)
      ctx["memset_report_weights"]["capture"] = capture_json(*w.capture);
  }
  ordered_json variants = ordered_json::array();
  for (const auto &v : first.record.variants)
    variants.push_back({{"name", utf8(v.name)},
                        {"env", utf8(v.env)},
                        {"bench", utf8(v.bench)},
                        {"memset", utf8(v.memset)},
                        {"tunables", utf8(v.tunables)},
                        {"libc", libc_json(v.libc)}});
  ctx["variants"] = variants;
  return ctx;
}

ordered_json comparisons_json(const Report &r) {
  ordered_json comparisons = ordered_json::array();
  for (const auto &c : r.comparisons) {
    ordered_json j;
    j["base"] = utf8(r.sets[c.base].set.label);
    j["other"] = utf8(r.sets[c.other].set.label);
    const Engine engine = r.sets[c.base].set.engine;
    j["engine"] = engine_name(engine);
    j["landed_differently"] = landed_apart(r.sets[c.base].set, r.sets[c.other].set);
    j["started_differently"] = !started_alike(r.sets[c.base].set, r.sets[c.other].set);
    j["measured"] = engine_measures(engine);
    j["paired"] = c.paired;
    if (c.same_code)
      j["same_code"] = true;
    j["runs_base"] = c.runs_base;
    j["runs_other"] = c.runs_other;
    j["statistic"] = statistic_name(c.options.statistic);
    j["confidence"] = c.options.confidence;
    j["threshold"] = c.options.threshold;
    if (!c.paired)
      j["drift_allowance"] = c.options.drift;
    if (c.hidden_bands) {
      j["hidden_to"] = band_grid()[c.hidden_bands - 1].to;
      j["hidden_step_ticks"] = c.hidden_step;
    }
    const Sides sides{r.sets[c.base].set.label, r.sets[c.other].set.label};
    ordered_json ranges = ordered_json::array(), bands = ordered_json::array();
    for (const auto &rg : c.ranges) {
      ranges.push_back(estimate_json(rg.from, rg.to, rg.decision(), rg.hidden_in, sides, rg.est));
      if (rg.bands_differ && !rg.hidden && !rg.bound) {
        ranges.back()["band_min"] = rg.band_min;
        ranges.back()["band_max"] = rg.band_max;
      }
    }
    for (const auto &b : c.bands)
      bands.push_back(
          estimate_json(b.band.from, b.band.to, b.decision(), b.hidden_in, sides, b.est));
    j["ranges"] = ranges;
    j["bands"] = bands;
    if (!r.weighted.empty()) {
      const WeightedComparison &w = r.weighted[&c - r.comparisons.data()];
      ordered_json wj =
          estimate_json(1, kLengths, w.decision(), w.hidden || w.bound ? w.hidden_in : Hidden::None,
                        sides, w.est);
      wj["hidden_call_share"] = w.hidden_call_share;
      wj["hidden_cost_share"] = w.hidden_cost_share;
      j["weighted"] = wj;
      if (w.per_run)
        j["per_run"] = per_run_json(*w.per_run);
    }
    comparisons.push_back(j);
  }
  return comparisons;
}

} // namespace

void render_json(const Report &r, const std::vector<size_t> &lengths,
                 const std::function<void(const std::string &)> &write) {
  // Written entry by entry: memory stays bounded by one entry, however many
  // runs and lengths go out.
  write("{\n  \"context\": " + nested(context_json(r), 1) + ",\n  \"benchmarks\": [");
  bool first_entry = true;
  auto put = [&](const ordered_json &e) {
    write((first_entry ? "\n    " : ",\n    ") + nested(e, 2));
    first_entry = false;
  };
  size_t family = 0;
  for (const auto &sr : r.sets) {
    const Set &set = sr.set;
    const double ns = ns_per_tick(*sr.mhz);
    std::string prefix = r.sets.size() > 1 ? utf8(set.label) + "/" : "";
    size_t n = set.runs.size();
    for (size_t len : lengths) {
      std::string run_name = prefix + "memset/" + std::to_string(len);
      for (size_t i = 0; i < n; i++) {
        ordered_json e = entry(run_name, run_name, family, n);
        // The round for interleaved campaigns, else the run's place in the set.
        e["repetition_index"] = set.rounds[i] ? set.rounds[i] - 1 : i;
        e["threads"] = 1;
        // Fills averaged into each value; memset-batch's is the faster of two batches.
        e["iterations"] = set.engine == Engine::Bench ? 8 : 1;
        uint64_t raw = set.runs[i][len - 1];
        if (set.engine == Engine::Bench) { // whole ticks, as the benchmark wrote them
          set_time(e, (double)raw * ns);
          e["ticks"] = raw;
        } else {
          double t = (double)raw / set.scale();
          set_time(e, t * ns);
          e["ticks"] = t;
        }
        put(e);
      }
      std::vector<std::pair<const char *, double>> aggregates = {
          {"median", sr.median[len - 1].value()},
          {"mean", sr.moments.mean[len - 1]},
          {"stddev", sr.moments.stddev[len - 1]}};
      if (r.statistic != Statistic::Median)
        aggregates.push_back({statistic_name(r.statistic), sr.levels[len - 1].value()});
      for (auto [agg, ticks] : aggregates) {
        ordered_json e = entry(run_name + "_" + agg, run_name, family, n);
        e["run_type"] = "aggregate";
        e["threads"] = 1;
        e["aggregate_name"] = agg;
        e["aggregate_unit"] = "time";
        e["iterations"] = n;
        set_time(e, ticks * ns);
        e["ticks"] = ticks;
        put(e);
      }
      family++;
    }
  }
  write(std::string(first_entry ? "]" : "\n  ]") +
        ",\n  \"memset_report_comparisons\": " + nested(comparisons_json(r), 1) + "\n}\n");
}

#endif

// Whether this build writes JSON, the lengths a JSON carries by default,
// and the refusal where it cannot write one.
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

bool json_supported() { return true; }

#else

bool json_supported() { return false; }

void render_json(const Report &, const std::vector<size_t> &,
                 const std::function<void(const std::string &)> &) {
  need_json_support();
}

#endif

void need_json_support() {
  if (!json_supported())
    throw SystemError("this memset-report was built without JSON support; install "
                      "nlohmann-json3-dev (Debian) and build again");
}

} // namespace report
