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
  CompareOptions opt = given;
  opt.confidence = look_confidence(sets.empty() ? 0 : sets[0].record.looks);
  std::vector<WeightedSet> ws;
  for (const auto &s : sets)
    ws.push_back(weigh_set(s, w, opt.statistic));
  for (size_t v = 0; v < sets.size(); v++) {
    Ranked r{v, ws[v].cost, {}};
    if (v > 0)
      r.w =
          weigh_comparison(sets[0], ws[0], sets[v], ws[v], opt, w, sets[0].record.machine.tsc_mhz);
    c.ranking.push_back(r);
  }
  std::stable_sort(c.ranking.begin(), c.ranking.end(),
                   [](const Ranked &a, const Ranked &b) { return a.cost < b.cost; });
  c.standings = rank_variants(std::move(sets), given);
  return c;
}

} // namespace report
