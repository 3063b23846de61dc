// The verdict rule.

#include "report/stats/verdict.hpp"

namespace report {

const char *verdict_name(Verdict v) {
  switch (v) {
  case Verdict::Faster:
    return "faster";
  case Verdict::Slower:
    return "slower";
  case Verdict::Same:
    return "same";
  default:
    return "unclear";
  }
}

Decision decide(const Estimate &e, double threshold, Hidden where) {
  const bool hidden = where != Hidden::None;
  if (!e.interval)
    return {Verdict::Unclear, hidden};
  if (!hidden) {
    if (e.low >= 1 - threshold && e.high <= 1 + threshold)
      return {Verdict::Same};
    if (e.high < 1)
      return {Verdict::Faster};
    if (e.low > 1)
      return {Verdict::Slower};
    return {Verdict::Unclear};
  }
  // Past the hidden side's floor by the threshold at least: the readings'
  // own noise there is a fraction of a counter step, which the threshold
  // covers.
  if (where != Hidden::Other && e.low > 1 + threshold)
    return {Verdict::Slower, false, true};
  if (where != Hidden::Base && e.high < 1 - threshold)
    return {Verdict::Faster, false, true};
  return {Verdict::Unclear, true};
}

Bound ratio_bound(const Estimate &e, const Decision &d) {
  return d.at_least() ? Bound{true, e.low} : Bound{false, e.high};
}

double decided_ratio(const Estimate &e, const Decision &d) {
  return d.bound ? ratio_bound(e, d).value : e.ratio;
}

Bound diff_bound(const Estimate &e, const Decision &d) {
  return d.at_least() ? Bound{true, e.diff_low} : Bound{false, e.diff_high};
}

Decision decide_weighted(const Estimate &e, double threshold, double hidden_cost_share,
                         Hidden where) {
  if (hidden_cost_share > kMaterialHiddenShare)
    return decide(e, threshold, where == Hidden::None ? Hidden::Both : where);
  return decide(e, threshold);
}

} // namespace report
