// Renders a curve campaign's Report as text for people: one section per set
// and per comparison.

#include "report/render/render.hpp"

#include "report/render/pieces.hpp"

#include <algorithm>
#include <cmath>

namespace report {

namespace {

// `v` as printed with `decimals`, without the "-0.0" of a small negative.
double unsigned_zero(double v, int decimals) {
  double scale = std::pow(10.0, decimals);
  return std::round(v * scale) / scale + 0.0;
}

// Shifted runs named on their line, the furthest first: a busy machine can
// shift half of 500 runs, and a line of 239 names reads as none.
constexpr size_t kShiftedNamed = 3;

// A tick count as the benchmark's integers are: whole, or with two decimals.
std::string ticks(double v) { return fmt(v == (double)(long long)v ? "%.0f" : "%.2f", v); }

void set_section(std::string &o, const SetReport &sr, size_t s, Unit unit, Statistic statistic) {
  const Set &set = sr.set;
  const SetSummary &sum = sr.summary;
  bool ns = unit == Unit::Ns;
  double to_unit = ns ? ns_per_tick(*sr.mhz) : 1.0;
  const char *unit_word = sum.rounds ? "round" : "run";

  o += fmt("%s== [%zu] ", s ? "\n" : "", s + 1) + printable(set.label) + " (" +
       plural(sum.runs, unit_word) + ")\n";
  if (sum.planned > sum.runs)
    o += fmt("incomplete: %zu of %u %ss\n", sum.runs, sum.planned, unit_word);
  else
    o += stop_line(set.record);
  if (!set.incomplete_rounds.empty())
    o += "ignored: " + printable(joined(set.incomplete_rounds)) +
         " (the round is missing in another variant)\n";
  for (const auto &e : set.env)
    o += "env: " + printable(e) + "\n";
  for (const auto &e : set.inherited_env)
    o += "inherited env: " + printable(e) + "\n";
  if (!set.memset.empty() || !set.tunables.empty())
    o += "memset: " + printable(set.memset.empty() ? "unknown" : set.memset) +
         "; tunables: " + printable(set.tunables.empty() ? "unknown" : set.tunables) + "\n";
  o += libc_line(set.libc);
  if (set.batch) {
    const BatchHeader &h = *set.batch;
    o += std::string("engine: memset-batch, ") +
         (h.random ? "lengths drawn at random within each band" : "fixed lengths") + "\n";
    o += landing_line(set);
    o += fmt("resolution: batches of %llu ticks or more, 1000 of the counter's steps as the "
             "engine read them (%llu %s)",
             (unsigned long long)h.batch_ticks, (unsigned long long)h.resolution,
             h.resolution == 1 ? "tick" : "ticks");
    // The campaign reads the step too, with a rule that sees fractional
    // steps: where the two disagree, the batches were shorter than meant.
    if (short_batches(set))
      o += fmt(", where the campaign read a step of %.2f ticks: batches shorter than 1000 steps",
               *set.record.machine.tsc_step);
    o += fmt("; a fenced pair of readings, %.3f ticks, taken off each\n",
             (double)h.read_cost / kBatchScale);
    if (const auto &loop = sum.loop) {
      o += fmt("loop: %.3f ticks a call, the median of %zu runs (%.3f to %.3f): the same loop "
               "calling an empty function, measured in each run; in every value",
               loop->median, loop->runs, loop->low, loop->high);
      o += loop->above_floor ? fmt(", though the floor below is less: the empty call's loop "
                                   "costs more than a short fill's here, and bounds nothing\n")
                             : "\n";
    }
  }
  if (sum.resolution)
    o += "resolution: " + ticks(*sum.resolution) + (*sum.resolution == 1 ? " tick" : " ticks") +
         (sum.read_cost ? " (one back-to-back reading costs " + ticks(*sum.read_cost) + ")" : "") +
         "\n";
  if (ns)
    o += fmt("floor: %.2f ns\n", sum.floor * to_unit);
  else
    o += "floor: " + (sum.exact_floor ? sum.exact_floor->str() : fmt("%.2f", sum.floor)) +
         " ticks\n";
  std::vector<std::string> steps;
  for (size_t l : sum.steps)
    steps.push_back(std::to_string(l));
  o += "steps: " + (steps.empty() ? std::string("none") : joined(steps)) + "\n";
  std::string shifted = "n/a (fewer than 3 runs)";
  if (sum.shifted) {
    // The count, and by name only the few furthest from the median curve.
    std::vector<ShiftedRun> most = *sum.shifted;
    std::stable_sort(most.begin(), most.end(), [](const ShiftedRun &x, const ShiftedRun &y) {
      return std::fabs(std::log(x.factor)) > std::fabs(std::log(y.factor));
    });
    std::vector<std::string> named;
    for (size_t i = 0; i < most.size() && i < kShiftedNamed; i++)
      named.push_back(printable(set.files[most[i].run]) + fmt(" x%.2f", most[i].factor));
    shifted = named.empty() ? "none"
                            : fmt("%zu of %zu (%.0f%%): ", most.size(), sum.runs,
                                  100.0 * (double)most.size() / (double)sum.runs) +
                                  joined(named) + (most.size() > named.size() ? ", ..." : "");
  }
  o += "shifted runs: " + shifted + "\n";
  if (sum.hidden_to)
    o += fmt("hidden: 3..%zu: within what the counter resolves of the floor, the fill does not "
             "show; these lengths read the floor, not their cost\n",
             *sum.hidden_to);
  if (sr.weighted)
    o += "weighted: " +
         (ns ? fmt("%.2f ns", sr.weighted->cost * to_unit) : fmt("%.2f ticks", sr.weighted->cost)) +
         " per call (" + statistic_name(statistic) + ")\n";

  std::string level = statistic_name(statistic);
  o += fmt("%8s %12s %14s %11s %8s\n", "length", (ns ? level + "_ns" : level).c_str(),
           ns ? "above_floor_ns" : "above_floor", ns ? "GB/s" : "bytes/tick", "spread");
  for (const SummaryRow &row : sum.rows) {
    std::string med = ns ? fmt("%.2f", row.level * to_unit) : sr.levels[row.length - 1].str();
    std::string rate = row.bytes_per_tick ? fmt("%.2f", *row.bytes_per_tick / to_unit) : "n/a";
    std::string spread = row.spread ? fmt("%.1f%%", 100 * *row.spread) : "n/a";
    o += fmt("%8zu %12s %14.*f %11s %8s\n", row.length, med.c_str(), ns ? 2 : 1,
             unsigned_zero(row.above_floor * to_unit, ns ? 2 : 1), rate.c_str(), spread.c_str());
  }
}

std::string interval_text(bool interval, double low, double high) {
  // Without an interval there is no bracket: a span of single ratios is none.
  return interval ? " " + bracket(low, high, 2) : "";
}

void compare_section(std::string &o, const Report &r, const Comparison &c, bool bands) {
  const Set &a = r.sets[c.base].set, &b = r.sets[c.other].set;
  const CompareOptions &opt = c.options;
  o += fmt("\n== compare [%zu] ", c.other + 1) + printable(b.label) +
       fmt(" with [%zu] ", c.base + 1) + printable(a.label) + ": ";
  if (c.paired)
    o += plural(c.runs_base, "round") + ", paired";
  else
    o += fmt("%zu and %zu runs, unpaired", c.runs_base, c.runs_other);
  o +=
      fmt("; ratio of %s, %.4g%% intervals\n", statistic_name(opt.statistic), 100 * opt.confidence);
  if (!c.paired)
    o += unpaired_line(opt.drift, "run --variant");
  o += landed_differently(a, c.base, b, c.other);
  o += started_differently(a, c.base, b, c.other);
  if (c.runs_base < kMinRunsForInterval || c.runs_other < kMinRunsForInterval)
    o += fmt("too few: fewer than %zu %s give no interval; ranges are 'unclear' there\n",
             kMinRunsForInterval, c.paired ? "rounds" : "runs");
  const std::optional<double> mhz = r.sets[c.base].mhz;
  o += measured_line(a.engine, {&a, &b});
  if (c.same_code)
    o += same_code_line(a, c.base, b, c.other);
  const Sides sides{a.label, b.label};
  for (const auto &rg : c.ranges) {
    o += fmt("range: %zu..%zu %s", rg.from, rg.to, verdict_name(rg.verdict));
    if (rg.hidden || rg.bound) {
      o += estimate_text(rg.est, rg.decision(), rg.hidden_in, sides, c.hidden_step, mhz, 2) + "\n";
      continue;
    }
    o += fmt(" %.2f", rg.est.ratio) + interval_text(rg.est.interval, rg.est.low, rg.est.high);
    if (rg.bands_differ)
      o += fmt(" bands %.2f..%.2f", rg.band_min, rg.band_max);
    o += per_call(rg.est, mhz) + "\n";
  }
  if (!r.weighted.empty()) {
    const WeightedComparison &w = r.weighted[&c - r.comparisons.data()];
    o += std::string("weighted: ") + verdict_name(w.verdict) +
         weighted_text(w, sides, c.hidden_step, mhz) + "\n";
    if (w.per_run)
      o += per_run_line(*w.per_run);
  }
  if (bands)
    for (const auto &br : c.bands)
      o += fmt("band: %zu..%zu %s", br.band.from, br.band.to, verdict_name(br.verdict)) +
           estimate_text(br.est, br.decision(), br.hidden_in, sides, c.hidden_step, mhz, 3) + "\n";
}

// What the weights are, and the calls they leave out.
std::string weights_section(const Report &r) {
  const Weights &w = *r.weights;
  auto share = [&](double calls) { return fmt("%.3g%%", 100 * calls / w.total); };
  std::string o = "== weights: " + printable(r.weights_file) + " (" +
                  weights_format_name(w.format) + "), " + fmt("%.0f calls", w.total) + "\n";
  if (w.capture)
    o += capture_lines(*w.capture);
  o += "measured: " + share(w.measured()) + " of calls, at lengths 2..32768\n";
  if (w.mostly_unmeasured())
    o += "warning: less than half of the weights' calls are at lengths the benchmark "
         "measures; the weighted figures speak for those alone\n";
  std::vector<std::string> out;
  if (w.zero > 0)
    out.push_back("0 bytes " + share(w.zero));
  if (w.one > 0)
    out.push_back("1 byte " + share(w.one) + " (its value carries the first-call binding)");
  if (w.above > 0)
    out.push_back("above 32768 " + share(w.above));
  if (w.open > 0)
    out.push_back("open-ended buckets " + share(w.open));
  o += "not measured: " + (out.empty() ? std::string("none") : joined(out)) + "\n\n";
  return o;
}

} // namespace

std::string render_text(const Report &r, Unit unit, bool bands) {
  std::string o = r.weights ? weights_section(r) : "";
  for (size_t s = 0; s < r.sets.size(); s++)
    set_section(o, r.sets[s], s, unit, r.statistic);
  for (const auto &c : r.comparisons)
    compare_section(o, r, c, bands);
  return o;
}

} // namespace report
