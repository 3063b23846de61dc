#pragma once
// The plan of a campaign: its jobs and their environments, its record, and
// the checks that come before anything is run. For campaign.cpp alone.

#include "report/campaign/campaign.hpp"
#include "report/campaign/launch.hpp"
#include "report/formats/campaign_folder.hpp"

#include <cstdint>
#include <string>
#include <vector>

namespace report {

// One benchmark run as the campaign makes it.
struct Job {
  std::string dir, name; // where its file goes, and the variant ("" for none)
  Launch launch;         // how it is started
  std::string bench;
};

std::vector<Job> jobs_of(const CampaignOptions &opt);

// The record of a new campaign: the machine probed now, and its settings.
Record campaign_record(const CampaignOptions &opt, const std::vector<Job> &jobs, uint64_t seed);

// Where a new replay's fills land: as its capture found them (offsets and
// cold calls, the cold ones walking --footprint, or a region the size of
// `memory`) where the capture says and no --align asks for other offsets,
// or where --align capture asks it (an InputError for a capture that does
// not say: capture again); as asked otherwise. --align capture without a
// replay is a UsageError.
void settle_replay_landing(CampaignOptions &c);

// Refuses (InputError) a folder that already holds a campaign.
void check_folder(const CampaignOptions &opt);

// Refuses (UsageError) a new campaign whose variant sets GLIBC_TUNABLES of
// its own while this environment has one: the variant's would replace it,
// and the other variants run with the inherited one, so the campaign would
// compare two settings no one asked for.
void refuse_replaced_tunables(const CampaignOptions &opt);

} // namespace report
