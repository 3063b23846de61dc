#pragma once
// Repeated runs of memset-bench into a campaign folder.

#include <string>
#include <vector>

namespace report {

struct CampaignOptions {
  std::string out; // campaign folder
  unsigned runs = 11;
  int cpu = -1;                 // processor to pin each run to; -1: none
  std::vector<std::string> env; // NAME=VALUE added to the benchmark's environment
  std::string bench;            // benchmark executable
};

// Runs the campaign, refusing bad options (InputError) before anything is
// written. Returns 0, or the failing run's exit status.
int run_campaign(const CampaignOptions &opt);

// The machine and run conditions, one "key: value" a line.
std::string describe_context(const CampaignOptions &opt);

} // namespace report
