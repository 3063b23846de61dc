// Renders campaigns of one figure a run (replays, programs) in Google
// Benchmark's JSON layout: an entry a run, so that compare.py takes them as
// they are, and the comparisons and predictions beside.

#include "report/render/render.hpp"

#include "report/formats/program_file.hpp"
#include "report/sys/errors.hpp"
#include "report/sys/text.hpp"

#include <cmath>
#include <tuple>

#ifdef MEMSET_REPORT_JSON
#include "report/render/json_parts.hpp"
#endif

namespace report {

#ifdef MEMSET_REPORT_JSON

namespace {

using nlohmann::ordered_json;

// A run's two times, in the unit an entry gives: a program's wall-clock
// and CPU time in ms; a replay's ns per call, both alike.
struct Times {
  std::vector<double> real, cpu;
  const char *unit;
};

Times times_of(const MixReport &r, const MixSet &m) {
  Times t;
  const Set &s = m.set;
  if (r.program()) {
    t.unit = "ms";
    for (const auto &run : s.runs) {
      t.real.push_back((double)run[kWallUs] / kProgramScale);
      t.cpu.push_back((double)run[kCpuUs] / kProgramScale);
    }
    return t;
  }
  if (!m.mhz)
    throw UsageError("--json gives times in ns: '" + s.label +
                     "' has no measured counter frequency (no campaign record); give --tsc-mhz F");
  t.unit = "ns";
  for (double ticks : m.series.values)
    t.real.push_back(ticks * ns_per_tick(*m.mhz));
  t.cpu = t.real;
  return t;
}

// Each set's runs and their aggregates, as `benchmarks` entries.
void put_entries(const MixReport &r, ordered_json &out, size_t &family) {
  const char *what = r.program() ? "program" : "replay";
  for (const auto &m : r.sets) {
    Times t = times_of(r, m);
    const size_t n = t.real.size();
    const std::string name = (r.sets.size() > 1 ? utf8(m.set.label) + "/" : "") + what;
    for (size_t i = 0; i < n; i++) {
      ordered_json e = entry(name, name, family, n);
      e["repetition_index"] = m.set.rounds[i] ? m.set.rounds[i] - 1 : i;
      e["threads"] = 1;
      e["iterations"] = 1;
      e["real_time"] = t.real[i];
      e["cpu_time"] = t.cpu[i];
      e["time_unit"] = t.unit;
      out.push_back(e);
    }
    // A replay's ticks per call, in ns as its runs are.
    const double scale = r.program() ? 1 : ns_per_tick(*m.mhz);
    std::vector<std::tuple<std::string, double, double>> aggregates = {
        {"median", m.real.median, m.cpu.median},
        {"mean", m.real.mean, m.cpu.mean},
        {"stddev", m.real.stddev, m.cpu.stddev}};
    if (r.statistic != Statistic::Median)
      aggregates.push_back({statistic_name(r.statistic), m.real.level, m.cpu.level});
    for (const auto &[agg, real, cpu] : aggregates) {
      ordered_json e = entry(name + "_" + agg, name, family, n);
      e["run_type"] = "aggregate";
      e["threads"] = 1;
      e["aggregate_name"] = agg;
      e["aggregate_unit"] = "time";
      e["iterations"] = n;
      e["real_time"] = real * scale;
      e["cpu_time"] = cpu * scale;
      e["time_unit"] = t.unit;
      out.push_back(e);
    }
    family++;
  }
}

ordered_json sets_json(const MixReport &r) {
  ordered_json sets = ordered_json::array();
  for (const auto &m : r.sets) {
    ordered_json one = context_of(m.set);
    one["kind"] = kind_name(r.kind);
    one["label"] = utf8(m.set.label);
    one["path"] = utf8(m.set.path);
    one["variant"] = utf8(m.variant);
    one["level"] = m.level;
    if (m.mhz)
      one["tsc_mhz"] = *m.mhz;
    sets.push_back(one);
  }
  return sets;
}

void put_comparisons(const MixReport &r, ordered_json &out) {
  for (const auto &mc : r.comparisons) {
    const Estimate &e = mc.c.est;
    ordered_json j;
    j["kind"] = kind_name(r.kind);
    j["base"] = utf8(r.sets[0].set.label);
    j["other"] = utf8(r.sets[mc.other].set.label);
    j["figure"] = r.program() ? (r.wall ? "wall_ms" : "cpu_ms") : "ticks_per_call";
    j["paired"] = mc.c.paired;
    if (mc.same_code)
      j["same_code"] = true;
    j["started_differently"] = !started_alike(r.sets[0].set, r.sets[mc.other].set);
    j["runs"] = mc.c.runs;
    j["statistic"] = statistic_name(mc.options.statistic);
    j["confidence"] = mc.options.confidence;
    j["threshold"] = mc.options.threshold;
    if (!mc.c.paired)
      j["drift_allowance"] = mc.options.drift;
    j["verdict"] = verdict_name(mc.c.decision.verdict);
    j["ratio"] = e.ratio;
    j["diff"] = e.diff;
    if (e.interval) {
      j["low"] = e.low;
      j["high"] = e.high;
      j["diff_low"] = e.diff_low;
      j["diff_high"] = e.diff_high;
    }
    if (!mc.c.moved.empty()) {
      j["moved"] = ordered_json::array();
      for (const auto &h : mc.c.moved)
        j["moved"].push_back({{"first_round", h.first},
                              {"last_round", h.last},
                              {"ratio", h.est.ratio},
                              {"low", h.est.low},
                              {"high", h.est.high}});
    }
    if (mc.per_run)
      j["per_run"] = per_run_json(*mc.per_run);
    out.push_back(j);
  }
}

} // namespace

std::string render_one_figure_json(const MixReport &first, const MixReport *program,
                                   const std::vector<Prediction> *ps) {
  std::vector<const MixReport *> reports = {&first};
  if (program)
    reports.push_back(program);
  const Set &a = first.sets.at(0).set;
  ordered_json ctx;
  ctx["date"] = utf8(a.record.machine.date);
  ctx["host_name"] = utf8(a.record.machine.host);
  ctx["executable"] = utf8(a.record.kind() == CampaignKind::Program ? shell_words(a.record.program)
                                                                    : std::string("memset-batch"));
  if (a.record.machine.num_cpus)
    ctx["num_cpus"] = *a.record.machine.num_cpus;
  ctx["caches"] = ordered_json::array();
  ctx["library_build_type"] = "release";
  ctx["library_version"] = utf8(a.record.machine.libc);
  ctx["memset_report_statistic"] = statistic_name(first.statistic);
  ordered_json sets = ordered_json::array(), benchmarks = ordered_json::array(),
               comparisons = ordered_json::array();
  size_t family = 0;
  for (const MixReport *r : reports) {
    for (auto &s : sets_json(*r))
      sets.push_back(s);
    put_entries(*r, benchmarks, family);
    put_comparisons(*r, comparisons);
    if (r->replay) {
      const Replay &p = *r->replay;
      ctx["memset_report_replay"] = {{"file", utf8(a.record.replay.value_or(""))},
                                     {"calls", p.calls},
                                     {"lengths", p.mix.size()}};
      if (p.weights.capture)
        ctx["memset_report_replay"]["capture"] = capture_json(*p.weights.capture);
    }
  }
  ctx["memset_report_sets"] = sets;
  ordered_json doc;
  doc["context"] = ctx;
  doc["benchmarks"] = benchmarks;
  doc["memset_report_comparisons"] = comparisons;
  if (program && ps) {
    ordered_json predictions = ordered_json::array();
    for (const auto &p : *ps) {
      const Estimate &m = p.measured;
      ordered_json j = {{"variant", utf8(first.sets[p.replay_set].variant)},
                        {"predicted_ms", p.predicted_ms.value}};
      if (p.predicted_interval) {
        j["predicted_ms_low"] = p.predicted_ms.low;
        j["predicted_ms_high"] = p.predicted_ms.high;
      }
      j["measured_ms"] = m.diff;
      if (m.interval) {
        j["measured_ms_low"] = m.diff_low;
        j["measured_ms_high"] = m.diff_high;
      }
      j["measured_verdict"] = verdict_name(p.verdict.verdict);
      // null: the measurement cannot check the prediction (see width_ratio,
      // more_rounds).
      j["holds"] = p.holds ? ordered_json(*p.holds) : ordered_json(nullptr);
      // Whether the measured interval also holds no change: then it
      // cannot tell the prediction from nothing.
      j["holds_no_change"] =
          p.measured.interval && p.measured.diff_low <= 0 && p.measured.diff_high >= 0;
      if (m.interval)
        j["width_ratio"] = std::isfinite(p.width_ratio) ? ordered_json(p.width_ratio) : nullptr;
      if (p.more_rounds)
        j["more_rounds"] = *p.more_rounds;
      j["same_command"] = same_command(first, *program);
      predictions.push_back(j);
    }
    doc["memset_report_predictions"] = predictions;
  }
  return nested(doc, 0) + "\n";
}

#else

std::string render_one_figure_json(const MixReport &, const MixReport *,
                                   const std::vector<Prediction> *) {
  need_json_support();
  return "";
}

#endif

} // namespace report
