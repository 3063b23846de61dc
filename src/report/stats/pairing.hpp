#pragma once
// How the runs of two sets are taken together for a ratio: matched round by
// round where they were taken side by side, or each on its own with an
// allowance for drift between separate campaigns. Bands, ranges and
// weighted figures all take their runs through here.

#include "report/stats/interval.hpp"

#include <string>
#include <utility>
#include <vector>

namespace report {

struct Pairing {
  bool paired = false;
  // Paired: indices into A's and B's runs that share a round number.
  std::vector<std::pair<size_t, size_t>> pairs;
  size_t runs_a = 0, runs_b = 0; // the rounds in common when paired
  // Unpaired intervals are widened by this factor each way; 0 when paired.
  double drift = 0;
};

// Whether runs of these campaign folders were taken side by side: both are
// the one interleaved campaign.
inline bool side_by_side(const std::string &campaign_a, const std::string &campaign_b) {
  return !campaign_a.empty() && campaign_a == campaign_b;
}

// `campaign_*` is the canonical folder of an interleaved campaign ("" for
// none): runs pair only within one campaign, by their round numbers.
Pairing pair_runs(const std::string &campaign_a, const std::vector<unsigned> &rounds_a,
                  const std::string &campaign_b, const std::vector<unsigned> &rounds_b,
                  double drift);

// The ratio of B's statistic over A's, from one value per run of each, with
// its interval: rounds resampled whole when paired, each side on its own
// and widened for drift otherwise.
Estimate ratio_of(const Pairing &p, const std::vector<double> &a, const std::vector<double> &b,
                  Statistic s, double confidence, uint64_t seed);

} // namespace report
