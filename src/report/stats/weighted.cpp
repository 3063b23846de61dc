// What a change means for a real program: each set's expected cost per call
// under a captured length distribution, and each comparison's weighted
// ratio, with its interval and verdict.

#include "report/stats/weighted.hpp"

namespace report {

namespace {

// A seed of its own, apart from the bands'.
constexpr uint64_t kWeightedSeed = 0x776569676874ULL;

} // namespace

std::vector<double> band_calls(const Weights &w) {
  const auto &grid = band_grid();
  std::vector<double> calls(grid.size(), 0);
  for (size_t g = 0; g < grid.size(); g++)
    for (size_t k = grid[g].from; k <= grid[g].to && k <= w.at.size(); k++)
      calls[g] += w.at[k - 1];
  // Calls of 2 bytes are real calls, but the sweep's value there is its
  // first fills': they cost what the nearest band does.
  if (w.at.size() >= 2)
    calls[0] += w.at[1];
  return calls;
}

double weighted_cost(const std::vector<double> &levels, const std::vector<double> &calls) {
  double sum = 0, total = 0;
  for (size_t g = 0; g < levels.size() && g < calls.size(); g++) {
    sum += calls[g] * levels[g];
    total += calls[g];
  }
  return total > 0 ? sum / total : 0;
}

WeightedSet weigh_set(const Set &set, const Weights &w, Statistic s) {
  WeightedSet out;
  out.calls_per_band = band_calls(w);
  BandSeries series = band_series(set);
  for (const auto &levels : series.levels)
    out.costs.push_back(weighted_cost(levels, out.calls_per_band));
  std::vector<double> v = out.costs;
  out.cost = statistic_of(v, s);
  for (size_t g = 0; g < band_grid().size(); g++) {
    v.clear();
    for (const auto &levels : series.levels)
      v.push_back(levels[g]);
    out.band_levels.push_back(v.empty() ? 0 : statistic_of(v, s));
  }
  return out;
}

WeightedComparison weigh_comparison(const Set &a, const WeightedSet &wa, const Set &b,
                                    const WeightedSet &wb, const Comparison &cmp, const Weights &w,
                                    std::optional<double> mhz) {
  const CompareOptions &opt = cmp.options;
  WeightedComparison c;
  Pairing p = pair_runs(a.campaign, a.rounds, b.campaign, b.rounds, opt.drift);
  c.est = ratio_of(p, wa.costs, wb.costs, opt.statistic, opt.confidence, kWeightedSeed);
  double calls = 0, cost = 0, hidden_cost = 0;
  for (size_t g = 0; g < cmp.bands.size() && g < wa.calls_per_band.size(); g++) {
    double n = wa.calls_per_band[g], spent = n * wa.band_levels[g];
    calls += n;
    cost += spent;
    if (cmp.bands[g].hidden_in != Hidden::None) {
      c.hidden_calls += n;
      hidden_cost += spent;
      if (n > 0)
        c.hidden_in = c.hidden_in | cmp.bands[g].hidden_in;
    }
  }
  c.hidden_call_share = calls > 0 ? c.hidden_calls / calls : 0;
  c.hidden_cost_share = cost > 0 ? hidden_cost / cost : 0;
  // Where the base alone hides, its readings there are at least its costs
  // and B's are its own: the weighted ratio can only understate B's; the
  // other way round, only overstate it. decide_weighted reads it so.
  Decision d = decide_weighted(c.est, opt.threshold, c.hidden_cost_share, c.hidden_in);
  c.verdict = d.verdict;
  c.hidden = d.hidden;
  c.bound = d.bound;
  c.per_run = per_run(c.est, w, mhz, c.hidden_calls, cmp.hidden_step, d);
  return c;
}

} // namespace report
