#pragma once
// What a change means for a real program: each set's expected cost per call
// under a captured length distribution, and each comparison's weighted
// ratio, with its interval from the same resampling of whole rounds as the
// bands, and one of the same four verdicts.

#include "report/formats/weights.hpp"
#include "report/stats/compare.hpp"

#include <vector>

namespace report {

// One run's expected cost per call, in ticks: its values at lengths 2..32768
// weighted by the calls there. Calls the weights leave out do not count.
double weighted_cost(const RunTicks &run, const Weights &w);

struct WeightedSet {
  std::vector<double> costs; // per run
  double cost = 0;           // the statistic across runs
};

struct WeightedComparison {
  Estimate est;
  Verdict verdict = Verdict::Unclear;
};

WeightedSet weigh_set(const Set &set, const Weights &w, Statistic s);

// B's weighted cost over A's, its runs taken as the bands take them
// (pair_runs), with the comparison's options.
WeightedComparison weigh_comparison(const Set &a, const WeightedSet &wa, const Set &b,
                                    const WeightedSet &wb, const CompareOptions &opt);

} // namespace report
