// tune: runs the tuning campaign (unless --from names one), then advises.

#include "report/advice/machines.hpp"
#include "report/advice/tune.hpp"
#include "report/campaign/decide.hpp"
#include "report/campaign/variants.hpp"
#include "report/cli/commands.hpp"
#include "report/formats/fleet_file.hpp"
#include "report/render/render.hpp"
#include "report/sys/errors.hpp"

#include <algorithm>
#include <filesystem>

namespace report {

int tune_command(const Options &o) {
  std::string dir = o.from;
  weights_of(o); // a bad --weights file is refused before a campaign runs
  refuse_page_target(o);
  if (!o.html.empty() && o.froms.size() > 1)
    throw UsageError("--html takes one campaign's advice; give one --from");
  if (dir.empty()) {
    CampaignOptions c = tune_plan(o.campaign);
    say_how_it_ended(run_until_decided(c, o.compare));
    dir = c.out;
  }
  // Campaigns of one question each, read and advised alike; where their
  // fills landed in different places, the advice of each place, and
  // whether it differs.
  std::vector<std::string> dirs = o.froms.empty() ? std::vector<std::string>{dir} : o.froms;
  // A fleet's folder stands for its hosts' campaigns: advice per machine,
  // then across them.
  std::vector<std::string> hosts, host_dirs;
  for (const auto &d : dirs)
    for (const auto &[folder, name] : fleet_folders(d))
      host_dirs.push_back(folder), hosts.push_back(name);
  const bool fleet = std::any_of(dirs.begin(), dirs.end(), [](const std::string &d) {
    return std::filesystem::exists(std::filesystem::path(d) / kFleetFile);
  });
  if (fleet && hosts.empty())
    throw InputError("no host's campaign came back to advise from");
  if (fleet) {
    std::vector<TuneAdvice> per;
    std::string text;
    for (size_t m = 0; m < host_dirs.size(); m++) {
      std::vector<Set> sets = load_baseline_campaign(host_dirs[m], "a tuning campaign");
      check_tunable_libc(sets[0].record.machine.libc);
      const CompareOptions compare = compare_for(o, sets);
      per.push_back(advise(std::move(sets), compare, weights_of(o)));
      text += "=== machine " + hosts[m] + "\n" + render_advice(per.back()) + "\n";
    }
    write_out(text + render_advice_across(advise_across(hosts, per), per));
    return kOk;
  }
  std::vector<TuneAdvice> all;
  std::string text;
  std::optional<Report> curves; // the page's: the same sets as a curve comparison
  for (const auto &d : dirs) {
    std::vector<Set> sets = load_baseline_campaign(d, "a tuning campaign");
    check_tunable_libc(sets[0].record.machine.libc);
    const CompareOptions compare = compare_for(o, sets);
    if (!o.html.empty())
      curves = load_report(o, sets);
    all.push_back(advise(std::move(sets), compare, weights_of(o)));
    text += (text.empty() ? "" : "\n") + render_advice(all.back());
  }
  if (all.size() > 1)
    text += "\n" + render_advice_by_landing(all, dirs);
  write_out(text);
  if (curves)
    write_curves_page(o, "Which memset glibc should pick on this machine", *curves, text);
  return kOk;
}

} // namespace report
