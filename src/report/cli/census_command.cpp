// census: runs the census campaign (unless --from names one), then ranks.

#include "report/advice/census.hpp"
#include "report/campaign/decide.hpp"
#include "report/campaign/variants.hpp"
#include "report/cli/commands.hpp"
#include "report/render/render.hpp"
#include "report/sys/errors.hpp"

#include <cstdio>
#include <filesystem>

namespace report {

int census_command(const Options &o) {
  std::optional<Weights> weights = weights_of(o);
  if (o.format == Format::Json)
    need_json_support(); // before a campaign is run whose report could not be written
  refuse_page_target(o);
  std::string dir = o.from;
  if (dir.empty()) {
    std::string here = std::filesystem::path(beside_this_tool("memset-report")).parent_path();
    CensusPlan plan = census_plan(o.campaign, here);
    for (const auto &why : plan.left_out)
      std::fprintf(stderr, "memset-report: census: %s\n", why.c_str());
    say_how_it_ended(run_until_decided(plan.campaign, o.compare));
    dir = plan.campaign.out;
  }
  std::vector<Set> sets = load_baseline_campaign(dir, "a census");
  const CompareOptions compare = compare_for(o, sets);
  std::optional<Report> curves; // the page's: the same sets as a curve comparison
  if (!o.html.empty())
    curves = load_report(o, sets);
  Census c = take_census(std::move(sets), compare, weights);
  const std::string text = render_census(c, o.weights);
  write_out(o.format == Format::Json ? render_census_json(c, o.weights) : text);
  if (curves)
    write_curves_page(o, "How C libraries' memset compare on this machine", *curves, text);
  return kOk;
}

} // namespace report
