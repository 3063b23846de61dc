#pragma once
// The verdict rule, the one place that says what an estimate decides: the
// four verdicts, and where the fills hide in the readings, what they cannot
// say. Comparisons, weighted figures, the stopping rule, the gate and every
// renderer take verdicts from here and decide nothing of their own.

#include "report/stats/interval.hpp"

namespace report {

// same: the whole interval lies within the threshold (shown equivalence);
// otherwise faster or slower where the interval excludes 1 (a difference,
// which may reach past the threshold); unclear where it holds 1 and reaches
// past the threshold, and wherever there is no interval at all. There is no
// dead zone: an interval narrower than the threshold always decides, so any
// true ratio is decided once the intervals are narrow enough.
enum class Verdict { Same, Faster, Slower, Unclear };
const char *verdict_name(Verdict v);

// A verdict and what qualifies it. `hidden`: the lengths are ones whose
// fills hide in the readings of both sets (hidden_bands), so the estimate
// does not bound what the fills cost: `same` there would be a claim the
// readings cannot make, and an interval would be no bound.
struct Decision {
  Verdict verdict = Verdict::Unclear;
  bool hidden = false;
  // Unclear, and more rounds would not make it otherwise.
  bool settled() const { return verdict != Verdict::Unclear || hidden; }
  bool operator==(const Decision &o) const { return verdict == o.verdict && hidden == o.hidden; }
};

// The verdict of an estimate with `threshold` (a fraction), as above.
// Where `hidden`, only a difference that shows past the readings' noise
// stands: faster or slower with the whole interval beyond the threshold
// (a 1% difference between two fills that both read as the counter's floor
// is the readings, not the fills); anything else is unclear and hidden.
Decision decide(const Estimate &e, double threshold, bool hidden = false);

// The share of a weighted cost that may sit at hidden lengths before a
// weighted verdict says nothing: a difference there is unbounded, and 5% of
// a program's memset time hidden could hold as much as the threshold and
// more. Below it, the hidden share is stated beside the verdict.
constexpr double kMaterialHiddenShare = 0.05;

// A weighted verdict: unclear and hidden where more than that share of its
// cost sits at hidden lengths, whatever the estimate; else the estimate's.
Decision decide_weighted(const Estimate &e, double threshold, double hidden_cost_share);

} // namespace report
