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

// Whose readings hide the fills of some lengths: neither set's, the base's
// (A, the set compared with), the other's (B) or both. Each set's hidden
// stretch is its own (hidden_bands), the one its `hidden:` line gives.
enum class Hidden { None = 0, Base = 1, Other = 2, Both = 3 };
inline Hidden operator|(Hidden a, Hidden b) { return (Hidden)((int)a | (int)b); }

// A verdict and what qualifies it, where the fills hide in either set's
// readings. A hidden side reads its floor, not its cost: reading the
// counter costs more than the fill, which the unfenced readings overlap.
// That floor is the counter's, the same for both sets. So a side that reads
// above the other's hidden floor costs more than the other's fill: the
// direction holds, but the size is a one-sided bound (`bound`). The ratio is
// at least the interval's low end where B reads higher (A's side hides), at
// most its high end where B reads lower (B's side hides); the interval is no
// interval of the true ratio. A side that reads below the other's hidden
// floor, or a difference within the threshold, says nothing: unclear, and
// `hidden`.
struct Decision {
  Verdict verdict = Verdict::Unclear;
  bool hidden = false; // unclear, and the fills hide: more rounds cannot tell
  bool bound = false;  // decided past a hidden side's floor: a one-sided bound
  // Unclear, and more rounds would not make it otherwise.
  bool settled() const { return verdict != Verdict::Unclear || hidden; }
  // Which way a bound holds: a slower one at least, a faster one at most.
  bool at_least() const { return verdict != Verdict::Faster; }
  bool operator==(const Decision &o) const {
    return verdict == o.verdict && hidden == o.hidden && bound == o.bound;
  }
};

// The verdict of an estimate with `threshold` (a fraction), as above.
// Where fills hide (`where` is not None), the difference must clear the
// threshold whole and point a way that can show: B slower where A hides, B
// faster where B hides, either where both do (one of them then reads above
// the counter's floor: its fills are flat, but not hidden).
Decision decide(const Estimate &e, double threshold, Hidden where = Hidden::None);

// "at least 1.031" or "at most 0.702": the one-sided bound of a decision
// that is one, as a ratio (`diff` false) or as B's cost less A's.
struct Bound {
  bool at_least = true;
  double value = 0;
};
Bound ratio_bound(const Estimate &e, const Decision &d);
// The ratio a decision stands for: its bound where it is one, else the
// estimate's own.
double decided_ratio(const Estimate &e, const Decision &d);
Bound diff_bound(const Estimate &e, const Decision &d);

// The share of a weighted cost that may sit at hidden lengths before a
// weighted verdict says nothing: a difference there is unbounded, and 5% of
// a program's memset time hidden could hold as much as the threshold and
// more. Below it, the hidden share is stated beside the verdict.
constexpr double kMaterialHiddenShare = 0.05;

// A weighted verdict: where more than that share of its cost sits at
// hidden lengths, the estimate is read as a bound is (decide with `where`,
// the sides hidden over those lengths); else the estimate's own.
Decision decide_weighted(const Estimate &e, double threshold, double hidden_cost_share,
                         Hidden where);

} // namespace report
