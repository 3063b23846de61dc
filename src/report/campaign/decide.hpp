#pragma once
// A campaign of a fixed size, or rounds until every comparison with the
// first variant is decided: the campaign with its stopping rule.

#include "report/campaign/campaign.hpp"
#include "report/stats/compare.hpp"

namespace report {

// Runs `c`: a plain campaign or a fixed count of rounds as they are; rounds
// of variants, new or added with --more, until decided or the budget is spent.
CampaignEnd run_until_decided(const CampaignOptions &c, const CompareOptions &compare);

} // namespace report
