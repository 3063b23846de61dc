// run: a campaign, new or continued with --more.

#include "report/campaign/decide.hpp"
#include "report/campaign/plan.hpp"
#include "report/cli/commands.hpp"
#include "report/sys/errors.hpp"
#include "report/sys/files.hpp"

#include <filesystem>
#include <optional>

namespace report {

int run_command(const Options &o) {
  if (o.more.empty()) {
    refuse_replaced_tunables(o.campaign);
    CampaignOptions c = o.campaign;
    settle_replay_landing(c);
    say_how_it_ended(run_until_decided(c, o.compare));
    return kOk;
  }
  // Held from reading the campaign to its last record: one session at a time.
  std::optional<FolderLock> lock;
  if (std::error_code ec; std::filesystem::is_directory(o.more, ec))
    lock.emplace(o.more);
  CampaignOptions c = continue_campaign(o.more);
  c.runs = o.campaign.runs;
  c.budget = o.campaign.budget;
  say_how_it_ended(run_until_decided(c, o.compare));
  return kOk;
}

int program_command(const Options &o) {
  refuse_missing_command(o.command_words, "program");
  CampaignOptions c = o.campaign;
  c.program = o.command_words;
  if (c.variants.empty()) // one variant: the command as it is, with nothing to decide against
    c.variants.push_back({"default", {}, std::nullopt, std::nullopt});
  refuse_replaced_tunables(c);
  say_how_it_ended(run_until_decided(c, o.compare));
  return kOk;
}

} // namespace report
