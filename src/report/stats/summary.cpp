// A set's summary as plain data (floor, steps, shifted runs, table rows), and
// everything one summary command says, computed before anything is written.

#include "report/stats/summary.hpp"

#include "report/stats/sequential.hpp"
#include "report/sys/parallel.hpp"

#include <algorithm>
#include <cmath>
#include <thread>

namespace report {

std::optional<double> slope_rate(const Curve &curve, size_t len, double min_rise) {
  if (len < kRateMinLength || len > curve.size())
    return std::nullopt;
  auto window = [&](size_t lo, size_t hi, double &mean_len) {
    double sum = 0;
    for (size_t k = lo; k <= hi; k++)
      sum += curve[k - 1];
    mean_len = (double)(lo + hi) / 2;
    return sum / (double)(hi - lo + 1);
  };
  double at_len, at_half;
  double upper = window(3 * len / 4, len, at_len), lower = window(3 * len / 8, len / 2, at_half);
  double rise = upper - lower;
  if (!(rise >= min_rise))
    return std::nullopt;
  return (at_len - at_half) / rise;
}

SetSummary summarize(const Set &set, const std::vector<ExactLevel> &exact, const Curve &curve,
                     const Quartiles &quartiles, const Curve &median) {
  SetSummary s;
  s.runs = set.runs.size();
  s.planned = set.planned;
  s.rounds = !set.campaign.empty();
  s.floor = floor_of(curve);
  s.exact_floor = exact_floor(exact);
  s.steps = find_steps(curve);
  // Runs are judged in their own units: the median curve is in ticks.
  Curve raw_median = median;
  for (double &v : raw_median)
    v *= set.scale();
  s.shifted = shifted_runs(set.runs, raw_median);
  // memset-batch's values resolve far finer than a counter step: their
  // rates need a rise of two ticks, as for a counter that moves by one.
  if (set.engine == Engine::Bench)
    s.resolution = set.record.machine.tsc_step;
  s.read_cost = set.record.machine.tsc_read_cost;
  Curve spread = spread_curve(quartiles, curve);
  // A rise of fewer ticks than this is the counter's granularity.
  const double min_rise = kRateMinSteps * s.resolution.value_or(1.0);
  // No fill goes faster than the longest ones: a faster rate is the
  // readings hiding the fill, not a fill.
  std::optional<double> longest = slope_rate(curve, curve.size(), min_rise);
  for (size_t len = 1; len <= curve.size(); len *= 2) {
    SummaryRow row{len, curve[len - 1], curve[len - 1] - s.floor, std::nullopt, std::nullopt};
    auto rate = slope_rate(curve, len, min_rise);
    if (rate && longest && *rate <= *longest * (1 + kRateMargin))
      row.bytes_per_tick = rate;
    if (set.runs.size() > 1)
      row.spread = spread[len - 1];
    s.rows.push_back(row);
  }
  return s;
}

namespace {

// A set whose raw values are fractions of a tick, in ticks: its levels are
// estimates then, printed with decimals.
void in_ticks(LengthStats &st, double scale) {
  for (auto *levels : {&st.level, &st.median})
    for (ExactLevel &l : *levels)
      l.estimate = l.value() / scale;
  for (auto *curve : {&st.quartiles.q1, &st.quartiles.q3, &st.moments.mean, &st.moments.stddev})
    for (double &v : *curve)
      v /= scale;
}

SetReport set_report(Set set, Statistic statistic, std::optional<double> tsc_mhz,
                     const std::optional<Weights> &weights) {
  SetReport one;
  LengthStats st = length_stats(set.runs, statistic);
  if (double scale = set.scale(); scale != 1) // in ticks, as every figure is
    in_ticks(st, scale);
  one.levels = std::move(st.level);
  one.median = std::move(st.median);
  one.level_values = levels_of(one.levels);
  one.quartiles = std::move(st.quartiles);
  one.moments = std::move(st.moments);
  one.summary = summarize(set, one.levels, one.level_values, one.quartiles, levels_of(one.median));
  one.mhz = counter_mhz(set, tsc_mhz);
  if (!set.loops.empty()) {
    std::vector<double> loops;
    for (uint64_t l : set.loops)
      loops.push_back((double)l / kBatchScale);
    SetSummary::Loop loop;
    loop.runs = loops.size();
    loop.low = *std::min_element(loops.begin(), loops.end());
    loop.high = *std::max_element(loops.begin(), loops.end());
    loop.median = median(loops);
    loop.above_floor = loop.median > one.summary.floor;
    one.summary.loop = loop;
  }
  one.series = band_series(set);
  if (size_t hidden = hidden_bands(one.series, statistic))
    one.summary.hidden_to = band_grid()[hidden - 1].to;
  if (weights)
    one.weighted = weigh_set(set, *weights, statistic);
  one.set = std::move(set);
  return one;
}

} // namespace

Report build_report(std::vector<Set> sets, const CompareOptions &opt, std::optional<double> tsc_mhz,
                    const std::optional<Weights> &weights) {
  Report r;
  r.statistic = opt.statistic;
  r.weights = weights;
  // Sets are summarised each on its own, several at a time.
  r.sets.resize(sets.size());
  for_each_parallel(sets.size(), [&](size_t s) {
    r.sets[s] = set_report(std::move(sets[s]), opt.statistic, tsc_mhz, weights);
  });
  for (size_t s = 1; s < r.sets.size(); s++) {
    const Set &first = r.sets[0].set, &other = r.sets[s].set;
    if (other.engine != first.engine)
      throw InputError("cannot compare [" + std::to_string(s + 1) + "] " + other.label + " (" +
                       engine_name(other.engine) + ") with [1] " + first.label + " (" +
                       engine_name(first.engine) +
                       "): the engines measure different things (one call at a time, and "
                       "back-to-back calls); compare sets of one engine");
  }
  for (size_t s = 1; s < r.sets.size(); s++) {
    // A campaign that looked at its data as it went claims less per look.
    CompareOptions one = opt;
    if (side_by_side(r.sets[0].set.campaign, r.sets[s].set.campaign))
      one.confidence = campaign_confidence(r.sets[0].set.record);
    Comparison c = compare_series(r.sets[0].series, r.sets[s].series, one);
    c.base = 0;
    c.other = s;
    const Set &sa = r.sets[0].set, &sb = r.sets[s].set;
    c.same_code = same_code_of(sa, sb);
    const Curve &a = r.sets[0].level_values, &b = r.sets[s].level_values;
    c.per_length.resize(a.size());
    for (size_t k = 0; k < a.size(); k++)
      c.per_length[k] = a[k] > 0 ? b[k] / a[k] : NAN;
    if (weights)
      r.weighted.push_back(weigh_comparison(r.sets[0].set, *r.sets[0].weighted, r.sets[s].set,
                                            *r.sets[s].weighted, c, *weights, r.sets[0].mhz));
    r.comparisons.push_back(std::move(c));
  }
  return r;
}

} // namespace report
