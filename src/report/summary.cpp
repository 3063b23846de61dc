// A set's summary as plain data (floor, steps, shifted runs, table rows), and
// everything one summary command says, computed before anything is written.

#include "summary.hpp"

#include <algorithm>
#include <cstdlib>

namespace report {

std::optional<double> context_number(const Context &ctx, const std::string &key) {
  std::string v = ctx.get(key);
  if (v.empty())
    return std::nullopt;
  char *end = nullptr;
  double d = std::strtod(v.c_str(), &end);
  if (end == v.c_str() || !(d > 0))
    return std::nullopt;
  return d;
}

SetSummary summarize(const Set &set, const Levels &median) {
  SetSummary s;
  s.runs = set.runs.size();
  s.planned = set.planned;
  s.floor = floor_of(median);
  s.steps = find_steps(median);
  s.shifted = shifted_runs(set.runs, median);
  s.resolution = context_number(set.context, "tsc_step");
  s.read_cost = context_number(set.context, "tsc_read_cost");
  s.tsc_mhz = context_number(set.context, "tsc_mhz");
  Levels spread = spread_curve(set.runs, median);
  // Below this many ticks above the floor, a rate is the counter's noise.
  double rate_min =
      std::max(kRateMinSteps * s.resolution.value_or(1.0), kRateMinFloorShare * s.floor);
  for (size_t len = 1; len <= median.size(); len *= 2) {
    SummaryRow row{len, median[len - 1], median[len - 1] - s.floor, std::nullopt, std::nullopt};
    // Length 1 carries the first-call binding of memset: no rate there.
    if (len > 1 && row.above_floor >= rate_min)
      row.bytes_per_tick = len / row.above_floor;
    if (set.runs.size() > 1)
      row.spread = spread[len - 1];
    s.rows.push_back(row);
  }
  return s;
}

Report build_report(std::vector<Set> sets, const CompareOptions &opt,
                    std::optional<double> tsc_mhz) {
  Report r;
  r.sets = std::move(sets);
  for (const auto &set : r.sets) {
    r.exact.push_back(exact_median_curve(set.runs));
    r.medians.push_back(levels_of(r.exact.back()));
    r.summaries.push_back(summarize(set, r.medians.back()));
    auto own = r.summaries.back().tsc_mhz;
    r.mhz.push_back(own ? own : tsc_mhz);
  }
  for (size_t s = 1; s < r.sets.size(); s++) {
    r.comparisons.push_back(compare_sets(r.sets[0], r.sets[s], opt));
    r.comparisons.back().base = 0;
    r.comparisons.back().other = s;
  }
  return r;
}

} // namespace report
