#pragma once
// Campaigns: repeated runs of memset-bench into a folder, plain or with
// variants interleaved round by round in a shuffled order. Plans, runs and
// cleans up; the record it writes is record.*'s to spell.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace report {

struct VariantOptions {
  std::string name;
  std::vector<std::string> env; // NAME=VALUE for this variant alone
  std::optional<std::string> bench;
};

// A campaign as the command line asked for it, its values already checked.
struct CampaignOptions {
  std::string out;                      // campaign folder
  unsigned runs = 11;                   // runs, or rounds when there are variants
  std::optional<unsigned> cpu;          // processor to pin each run to
  std::vector<std::string> env;         // NAME=VALUE for every run
  std::string bench;                    // benchmark executable
  std::vector<VariantOptions> variants; // none: a plain campaign
  // A run of memset-bench takes well under a second; one that takes a
  // minute hangs. 0: no limit.
  double timeout = 60;
  std::optional<uint64_t> seed; // the shuffle's seed; none: a fresh one
};

// Variables that change which memset the C library picks or how it is bound:
// recorded whether the runs inherit them or are given them.
const std::vector<std::string> &steering_variables();

// Runs the campaign. A folder that already holds one is refused before
// anything is written. Throws a Failure for a run that fails, times out or
// is interrupted, after removing what is incomplete.
void run_campaign(const CampaignOptions &opt);

// The order of the variants in each round, from the seed: rounds x variants.
std::vector<std::vector<size_t>> shuffled_orders(uint64_t seed, unsigned rounds, size_t variants);

} // namespace report
