// A campaign of a fixed size, or rounds until decided.

#include "report/campaign/decide.hpp"

#include "report/formats/sets.hpp"
#include "report/stats/sequential.hpp"

#include <algorithm>

namespace report {

namespace {

// The observer that stops an interleaved campaign once it is decided, with
// the runs (and looks) it already has.
Sequential observer_for(const std::vector<Set> &sets, const CampaignOptions &c,
                        const CompareOptions &compare) {
  std::vector<BandSeries> series;
  for (const auto &s : sets)
    series.push_back(band_series(s));
  while (series.size() < c.variants.size())
    series.push_back({});
  for (auto &s : series) // runs of one round were taken side by side
    s.campaign = c.out;
  // A campaign of a fixed size was looked at once, by whoever read it.
  unsigned looks = c.earlier ? std::max(1u, c.earlier->looks) : 0;
  return Sequential(std::move(series), compare, looks, c.done);
}

} // namespace

CampaignEnd run_until_decided(const CampaignOptions &c, const CompareOptions &compare) {
  if (c.variants.empty() || (c.runs && !c.earlier))
    return run_campaign(c);
  std::vector<Set> sets = c.earlier ? load_sets(c.out) : std::vector<Set>{};
  Sequential seq = observer_for(sets, c, compare);
  return run_campaign(c, &seq);
}

} // namespace report
