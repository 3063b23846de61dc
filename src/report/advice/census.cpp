// A census of C libraries' memset on this machine, as plain data.

#include "report/advice/census.hpp"

#include <algorithm>

namespace report {

std::vector<Stretch> stretches_of(const Comparison &c) {
  std::vector<Stretch> out;
  for (const Range &r : c.ranges) {
    double ratio = decided_ratio(r.est, r.decision());
    // Where the fills hide, whose readings they hide in may change from one
    // range to the next; the stretch says all of them.
    if (!out.empty() && out.back().decision == r.decision() &&
        (out.back().hidden_in == r.hidden_in ||
         (out.back().hidden_in != Hidden::None && r.hidden_in != Hidden::None))) {
      out.back().to = r.to;
      out.back().hidden_in = out.back().hidden_in | r.hidden_in;
      out.back().low = std::min(out.back().low, ratio);
      out.back().high = std::max(out.back().high, ratio);
      continue;
    }
    out.push_back({r.from, r.to, r.decision(), r.hidden_in, ratio, ratio});
  }
  return out;
}

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
    Ranked r{v, ws[v].cost, {}, {}};
    if (v > 0) {
      r.w = weigh_comparison(s.sets[0], ws[0], s.sets[v], ws[v], s.vs_default[v], w,
                             s.sets[0].record.machine.tsc_mhz);
      r.stretches = stretches_of(s.vs_default[v]);
    }
    c.ranking.push_back(r);
  }
  std::stable_sort(c.ranking.begin(), c.ranking.end(),
                   [](const Ranked &a, const Ranked &b) { return a.cost < b.cost; });
  return c;
}

} // namespace report
