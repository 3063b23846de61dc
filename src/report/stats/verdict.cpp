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

Decision decide(const Estimate &e, double threshold, bool hidden) {
  if (!e.interval)
    return {Verdict::Unclear, hidden};
  if (!hidden && e.low >= 1 - threshold && e.high <= 1 + threshold)
    return {Verdict::Same, false};
  // Where the fills hide, a difference must clear the threshold whole.
  double margin = hidden ? threshold : 0;
  if (e.high < 1 - margin)
    return {Verdict::Faster, false};
  if (e.low > 1 + margin)
    return {Verdict::Slower, false};
  return {Verdict::Unclear, hidden};
}

Decision decide_weighted(const Estimate &e, double threshold, double hidden_cost_share) {
  if (hidden_cost_share > kMaterialHiddenShare)
    return {Verdict::Unclear, true};
  return decide(e, threshold);
}

} // namespace report
