// tune: runs the tuning campaign (unless --from names one), then advises.

#include "report/advice/tune.hpp"
#include "report/campaign/decide.hpp"
#include "report/campaign/variants.hpp"
#include "report/cli/commands.hpp"
#include "report/render/render.hpp"
#include "report/sys/errors.hpp"

namespace report {

int tune_command(const Options &o) {
  std::string dir = o.from;
  weights_of(o); // a bad --weights file is refused before a campaign runs
  if (dir.empty()) {
    CampaignOptions c = tune_plan(o.campaign);
    say_how_it_ended(run_until_decided(c, o.compare));
    dir = c.out;
  }
  std::vector<Set> sets = load_baseline_campaign(dir, "a tuning campaign");
  check_tunable_libc(sets[0].record.machine.libc);
  const CompareOptions compare = compare_for(o, sets);
  write_out(render_advice(advise(std::move(sets), compare, weights_of(o))));
  return kOk;
}

} // namespace report
