// A census of C libraries' memset on this machine, as plain data.

#include "report/advice/census.hpp"

#include <algorithm>

namespace report {

Census take_census(std::vector<Set> sets, const CompareOptions &given,
                   const std::optional<Weights> &weights) {
  Census c;
  c.weighted = weights.has_value();
  c.mostly_unmeasured = weights && weights->mostly_unmeasured();
  if (weights)
    c.capture = weights->capture;
  Weights all;
  if (!weights) { // every length the sweep measures, alike
    all.at.assign(kLengths, 1);
    all.at[0] = 0;
    all.total = kLengths - 1;
  }
  const Weights &w = weights ? *weights : all;
  c.standings = rank_variants(std::move(sets), given);
  const Standings &s = c.standings;
  // Weighed with each comparison's options and hidden bands.
  std::vector<WeightedSet> ws;
  for (const auto &set : s.sets)
    ws.push_back(weigh_set(set, w, given.statistic));
  for (size_t v = 0; v < s.sets.size(); v++) {
    Ranked r{v, ws[v].cost, {}};
    if (v > 0)
      r.w = weigh_comparison(s.sets[0], ws[0], s.sets[v], ws[v], s.vs_default[v], w,
                             s.sets[0].record.machine.tsc_mhz);
    c.ranking.push_back(r);
  }
  std::stable_sort(c.ranking.begin(), c.ranking.end(),
                   [](const Ranked &a, const Ranked &b) { return a.cost < b.cost; });
  return c;
}

} // namespace report
