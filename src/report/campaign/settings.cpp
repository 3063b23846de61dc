// Before the first round: what every variant measures, and the settings
// that glibc did not take or that changed nothing.

#include "report/campaign/settings.hpp"

#include "report/sys/environment.hpp"
#include "report/sys/errors.hpp"
#include "report/sys/text.hpp"

#include <algorithm>
#include <cstdio>

namespace report {

namespace {

std::string probe_path() { return beside_this_tool("memset-probe"); }

JobFacts facts_of(const Measured &m, const Tunables *defaults) {
  JobFacts f;
  f.memset = m.memset ? m.memset->text() : "unknown: " + m.memset_unknown;
  if (!m.tunables)
    f.tunables = "unknown: " + m.tunables_unknown;
  else if (defaults)
    f.tunables = tunables_text(*m.tunables, *defaults);
  return f;
}

std::string who(const Job &j) {
  return j.name.empty() ? std::string("the campaign") : "variant " + printable(j.name);
}

// A tunable the loader does not know, or a value it did not take.
void refuse_untaken(const Job &j, const Measured &m, const Tunables &defaults) {
  std::string entry = j.launch.tunables_entry();
  for (const auto &[name, value] : requested_tunables(j.launch.settings())) {
    if (!defaults.count(name))
      throw RunFailed(who(j) + ": " + printable(entry) + ": the C library's loader (" +
                      j.launch.loader() + ") knows no tunable '" + printable(name) +
                      "', so glibc would ignore it; nothing kept");
    const std::string &listed = m.tunables->at(name);
    if (!value_taken(value, listed))
      throw RunFailed(who(j) + ": " + printable(entry) + ": the C library's loader did not take '" +
                      printable(value) + "' for " + name + ", which stays '" + listed +
                      "' (a value out of its bounds: '" + j.launch.loader() +
                      " --list-tunables' shows them); nothing kept");
  }
}

} // namespace

std::vector<JobFacts> check_settings(const std::vector<Job> &jobs, const CampaignOptions &opt) {
  const std::string probe = probe_path();
  Measured defaults = measure_environment(probe, Launch::glibc_defaults(), opt.timeout);
  const Tunables *known = defaults.tunables ? &*defaults.tunables : nullptr;
  std::vector<Measured> measured;
  std::vector<JobFacts> facts;
  for (const auto &j : jobs) {
    measured.push_back(measure_environment(probe, j.launch, opt.timeout));
    facts.push_back(facts_of(measured.back(), known));
    if (known && measured.back().tunables)
      refuse_untaken(j, measured.back(), *known);
  }
  if (!known)
    return facts;
  // The settings that changed nothing, against the variant without settings
  // or the environment without them; an A/A campaign compares like with like.
  bool aa = opt.variants.size() > 1 &&
            std::all_of(opt.variants.begin(), opt.variants.end(),
                        [&](const VariantOptions &v) { return v.env == opt.variants[0].env; });
  if (aa)
    return facts;
  auto plain = std::find_if(opt.variants.begin(), opt.variants.end(),
                            [](const VariantOptions &v) { return v.env.empty(); });
  size_t base_job = (size_t)(plain - opt.variants.begin());
  bool from_job = plain != opt.variants.end();
  Measured base = from_job
                      ? measured[base_job]
                      : measure_environment(probe, Launch(opt.env).without_tunables(), opt.timeout);
  std::string base_entry = from_job ? jobs[base_job].launch.tunables_entry() : "";
  std::string base_name =
      from_job ? printable(jobs[base_job].name) : std::string("the environment without it");
  for (size_t i = 0; i < jobs.size(); i++) {
    std::string entry = jobs[i].launch.tunables_entry();
    if (!entry.empty() && entry != base_entry && same_code(measured[i], base))
      throw RunFailed(who(jobs[i]) + ": " + printable(entry) + " changed nothing: it binds " +
                      measured[i].memset->text() + " with the same tunables as " + base_name +
                      "; nothing kept");
  }
  // Other settings that change nothing make an A/A pair, which may be meant.
  for (size_t i = 0; i < jobs.size(); i++)
    for (size_t k = 0; k < i; k++)
      if (jobs[i].launch != jobs[k].launch && same_code(measured[i], measured[k])) {
        std::fprintf(stderr,
                     "memset-report: note: %s binds %s with the same tunables as %s: their "
                     "comparison is an A/A\n",
                     who(jobs[i]).c_str(), measured[i].memset->text().c_str(),
                     who(jobs[k]).c_str());
        break;
      }
  return facts;
}

std::vector<SameAs> measure_once(CampaignOptions &c) {
  const std::string probe = probe_path();
  return measure_once(c, [&](const Launch &l) { return measure_environment(probe, l, c.timeout); });
}

std::vector<SameAs> measure_once(CampaignOptions &c, const MeasureFn &measure) {
  std::vector<SameAs> same;
  std::vector<VariantOptions> kept;
  std::vector<Measured> kept_measured;
  std::vector<Job> jobs = jobs_of(c);
  for (size_t i = 0; i < c.variants.size(); i++) {
    const VariantOptions &v = c.variants[i];
    Measured m = measure(jobs[i].launch);
    auto twin = std::find_if(kept_measured.begin(), kept_measured.end(),
                             [&](const Measured &k) { return same_code(k, m); });
    if (twin != kept_measured.end() && !v.bench) {
      std::string setting;
      for (const auto &e : v.env)
        setting += (setting.empty() ? "" : " ") + e;
      same.push_back({v.name, kept[(size_t)(twin - kept_measured.begin())].name, setting});
      continue;
    }
    kept.push_back(v);
    kept_measured.push_back(m);
  }
  c.variants = kept;
  return same;
}

} // namespace report
