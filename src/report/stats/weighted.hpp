#pragma once
// What a change means for a real program: each set's expected cost per call
// under a captured length distribution, and each comparison's weighted
// ratio, with its interval from the same resampling of whole rounds as the
// bands, and one of the same four verdicts.

#include "report/formats/weights.hpp"
#include "report/stats/compare.hpp"
#include "report/stats/per_run.hpp"

#include <vector>

namespace report {

// The calls of each band of the grid; those of 2 bytes go with the first
// band (3..7), since the sweep's own value at 2 is its first fills'.
std::vector<double> band_calls(const Weights &w);

// One run's expected cost per call, in ticks: its band levels (the same
// trimmed means the verdicts rest on) weighted by each band's calls. A
// single slow length, such as the first of a size class that some
// implementations pay for in this sweep, so cannot decide a program's
// verdict, however many of its calls sit there. Calls the weights leave out
// do not count.
double weighted_cost(const std::vector<double> &band_levels, const std::vector<double> &calls);

struct WeightedSet {
  std::vector<double> costs;          // per run
  double cost = 0;                    // the statistic across runs
  std::vector<double> band_levels;    // per band, the statistic across runs
  std::vector<double> calls_per_band; // per band, the weights' calls (band_calls)
};

struct WeightedComparison {
  Estimate est;
  Verdict verdict = Verdict::Unclear;
  // Unclear because more than kMaterialHiddenShare of A's weighted cost sits
  // in bands hidden in either set's readings, and no difference shows past
  // the hidden side's floor; `bound`: one does, and the estimate is a
  // one-sided bound (Decision).
  bool hidden = false;
  bool bound = false;
  Hidden hidden_in = Hidden::None; // whose readings hide the weighted calls
  Decision decision() const { return {verdict, hidden, bound}; }
  double hidden_calls = 0;       // the weights' calls in those bands
  double hidden_call_share = 0;  // of the weighted calls
  double hidden_cost_share = 0;  // of A's weighted cost
  std::optional<PerRun> per_run; // with a capture: the change in its run time
};

WeightedSet weigh_set(const Set &set, const Weights &w, Statistic s);

// B's weighted cost over A's, its runs taken as the bands take them
// (pair_runs), with the options of `c`, their comparison, whose hidden bands
// qualify the verdict; and with a capture, what it means per run of the
// command, in the time of A's counter frequency `mhz`.
WeightedComparison weigh_comparison(const Set &a, const WeightedSet &wa, const Set &b,
                                    const WeightedSet &wb, const Comparison &c, const Weights &w,
                                    std::optional<double> mhz);

} // namespace report
