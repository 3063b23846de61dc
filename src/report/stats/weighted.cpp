// What a change means for a real program: each set's expected cost per call
// under a captured length distribution, and each comparison's weighted
// ratio, with its interval and verdict.

#include "report/stats/weighted.hpp"

namespace report {

namespace {

// A seed of its own, apart from the bands'.
constexpr uint64_t kWeightedSeed = 0x776569676874ULL;

} // namespace

double weighted_cost(const RunTicks &run, const Weights &w) {
  double sum = 0, calls = 0;
  for (size_t k = 1; k < run.size() && k < w.at.size(); k++) {
    sum += w.at[k] * (double)run[k];
    calls += w.at[k];
  }
  return calls > 0 ? sum / calls : 0;
}

WeightedSet weigh_set(const Set &set, const Weights &w, Statistic s) {
  WeightedSet out;
  for (const auto &run : set.runs)
    out.costs.push_back(weighted_cost(run, w));
  std::vector<double> v = out.costs;
  out.cost = statistic_of(v, s);
  return out;
}

WeightedComparison weigh_comparison(const Set &a, const WeightedSet &wa, const Set &b,
                                    const WeightedSet &wb, const CompareOptions &opt) {
  WeightedComparison c;
  Pairing p = pair_runs(a.campaign, a.rounds, b.campaign, b.rounds, opt.drift);
  c.est = ratio_of(p, wa.costs, wb.costs, opt.statistic, opt.confidence, kWeightedSeed);
  c.verdict = verdict_of(c.est, opt.threshold);
  return c;
}

} // namespace report
