// How the runs of two sets are taken together for a ratio.

#include "report/stats/pairing.hpp"

#include <map>

namespace report {

Pairing pair_runs(const std::string &campaign_a, const std::vector<unsigned> &rounds_a,
                  const std::string &campaign_b, const std::vector<unsigned> &rounds_b,
                  double drift) {
  Pairing p;
  p.paired = side_by_side(campaign_a, campaign_b);
  if (!p.paired) {
    p.runs_a = rounds_a.size();
    p.runs_b = rounds_b.size();
    p.drift = drift;
    return p;
  }
  std::map<unsigned, size_t> by_round;
  for (size_t i = 0; i < rounds_a.size(); i++)
    by_round[rounds_a[i]] = i;
  for (size_t j = 0; j < rounds_b.size(); j++)
    if (auto it = by_round.find(rounds_b[j]); it != by_round.end())
      p.pairs.push_back({it->second, j});
  p.runs_a = p.runs_b = p.pairs.size();
  return p;
}

Estimate ratio_of(const Pairing &p, const std::vector<double> &a, const std::vector<double> &b,
                  Statistic s, double confidence, uint64_t seed) {
  if (p.paired) {
    std::vector<double> x, y;
    for (auto [i, j] : p.pairs) {
      x.push_back(a[i]);
      y.push_back(b[j]);
    }
    return paired_ratio(x, y, s, confidence, seed);
  }
  Estimate e = unpaired_ratio(a, b, s, confidence, seed);
  e.low /= 1 + p.drift;
  e.high *= 1 + p.drift;
  // The same allowance on B's level, as ticks per call.
  double b_level = e.base * e.ratio;
  e.diff_low -= b_level * p.drift / (1 + p.drift);
  e.diff_high += b_level * p.drift;
  return e;
}

} // namespace report
