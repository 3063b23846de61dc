// What a change means for a real program: each set's expected cost per call
// under a captured length distribution, and each comparison's weighted
// ratio, with its interval and verdict.

#include "weighted.hpp"

#include <map>

namespace report {

namespace {

// A seed of its own, apart from the bands'.
constexpr uint64_t kWeightedSeed = 0x776569676874ULL;

} // namespace

double weighted_cost(const Curve &run, const Weights &w) {
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
                                    const WeightedSet &wb, const CompareOptions &opt, bool paired) {
  WeightedComparison c;
  if (paired) {
    std::map<unsigned, size_t> by_round;
    for (size_t i = 0; i < a.rounds.size(); i++)
      by_round[a.rounds[i]] = i;
    std::vector<double> x, y;
    for (size_t j = 0; j < b.rounds.size(); j++)
      if (auto it = by_round.find(b.rounds[j]); it != by_round.end()) {
        x.push_back(wa.costs[it->second]);
        y.push_back(wb.costs[j]);
      }
    c.est = paired_ratio(x, y, opt.statistic, opt.confidence, kWeightedSeed);
  } else {
    c.est = unpaired_ratio(wa.costs, wb.costs, opt.statistic, opt.confidence, kWeightedSeed);
    c.est.low /= 1 + opt.drift;
    c.est.high *= 1 + opt.drift;
  }
  c.verdict = verdict_of(c.est, opt.threshold);
  return c;
}

} // namespace report
