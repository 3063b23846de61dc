// Before the first round: what every variant measures, and the settings
// that glibc did not take or that changed nothing.

#include "report/campaign/settings.hpp"

#include "report/sys/environment.hpp"
#include "report/sys/errors.hpp"
#include "report/sys/process.hpp"
#include "report/sys/text.hpp"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <map>

namespace report {

namespace {

std::string probe_path() { return beside_this_tool("memset-probe"); }

JobFacts facts_of(const Measured &m, const Tunables *defaults) {
  JobFacts f;
  f.libc = m.libc.value_or(LoadedLibc{});
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

bool same_file(const std::string &a, const std::string &b) {
  std::error_code ec1, ec2;
  return std::filesystem::equivalent(a, b, ec1) && !ec1 && !ec2;
}

// A job with a C library of its own measures that library, or nothing.
// The program a job's rounds start: its benchmark, or a program campaign's command.
std::string started_program(const Job &j, const std::vector<std::string> &program) {
  const std::string p = program.empty() ? j.bench : program[0];
  return find_program(p).value_or(p);
}

// A variant with a library of its own starts copies of its programs that
// name that library: each is made now, before anything is measured, so
// that one that cannot be made refuses the variant by name.
void make_copies(const Job &j, const std::vector<std::string> &program) {
  const auto &tree = j.launch.libc();
  if (!tree || tree->start != LibcTree::Start::Copy)
    return;
  try {
    for (const auto &p : {probe_path(), started_program(j, program)})
      started_copy(p, *tree);
  } catch (const RunFailed &e) {
    throw RunFailed(who(j) + ": " + e.what() + "; nothing kept");
  }
}

void check_own_libc(const Job &j, const Measured &m, const CampaignOptions &opt) {
  const auto &tree = j.launch.libc();
  if (!tree)
    return;
  const std::string lib = tree->libc(), head = who(j) + ": " + printable(lib);
  const std::string loader = printable(tree->loader);
  if (!m.memset)
    throw RunFailed(head + ": its loader " + loader +
                    " cannot start a program: " + m.memset_unknown + "; nothing kept");
  if (!m.libc)
    throw RunFailed(head + ": the probe found no libc.so.6 loaded; nothing kept");
  if (!same_file(m.libc->path, lib))
    throw RunFailed(head + " was asked for, but " + printable(m.libc->path) +
                    " was loaded (the system's, or another on the library path " +
                    printable(tree->library_path()) +
                    "): it would measure another library; nothing kept");
  if (!same_release(m.loader_version, m.libc->version))
    throw RunFailed(head + " is '" + printable(m.libc->version) + "' but its loader " + loader +
                    " is '" + printable(m.loader_version) +
                    "': a loader and a library from different builds; nothing kept");
  const std::string found = started_program(j, opt.program);
  if (std::string why = cannot_start(j.launch, found, opt.time_limit()); !why.empty())
    throw RunFailed(head + ": its loader " + loader + " cannot start " + printable(found) + ": " +
                    why + "; nothing kept");
  if (!j.launch.tunables_entry().empty() && !m.tunables)
    throw RunFailed(head + ": " + printable(j.launch.tunables_entry()) +
                    " is asked for, but its loader lists no tunables (" + m.tunables_unknown +
                    "); nothing kept");
}

} // namespace

std::string release_of(const LibcTree &tree, double timeout) {
  Measured m = measure_environment(probe_path(), Launch::glibc_defaults(tree), timeout);
  if (!m.libc)
    return "unknown (" + m.memset_unknown + ")";
  const std::string mark = "release version ";
  auto at = m.libc->version.find(mark);
  int major = 0, minor = 0;
  if (at != std::string::npos &&
      std::sscanf(m.libc->version.c_str() + at + mark.size(), "%d.%d", &major, &minor) == 2)
    return "glibc " + std::to_string(major) + "." + std::to_string(minor);
  return m.libc->version;
}

void check_same_libraries(const std::vector<Job> &jobs, const Record &record, double timeout) {
  const std::string probe = probe_path();
  for (size_t i = 0; i < jobs.size() && i < record.variants.size(); i++) {
    const LibcRecord &then = record.variants[i].libc;
    if (then.build_id.empty())
      continue; // recorded before campaigns kept it
    make_copies(jobs[i], record.program);
    Measured now = measure_environment(probe, jobs[i].launch, timeout);
    std::string now_id = now.libc ? now.libc->build_id : "unknown (" + now.memset_unknown + ")";
    if (now_id != then.build_id)
      throw InputError(who(jobs[i]) + ": " + printable(then.path) +
                       " has changed since the campaign began (build ID " + then.build_id +
                       ", now " + now_id + "); start a new campaign");
  }
}

std::vector<JobFacts> check_settings(const std::vector<Job> &jobs, const CampaignOptions &opt) {
  const std::string probe = probe_path();
  Measured defaults = measure_environment(probe, Launch::glibc_defaults(), opt.time_limit());
  const Tunables *known = defaults.tunables ? &*defaults.tunables : nullptr;
  // A library of a variant's own has its own defaults, as its loader lists them.
  std::map<std::string, Measured> own_defaults;
  std::vector<Measured> measured;
  std::vector<JobFacts> facts;
  for (const auto &j : jobs) {
    make_copies(j, opt.program);
    measured.push_back(measure_environment(probe, j.launch, opt.time_limit()));
    check_own_libc(j, measured.back(), opt);
    const Tunables *its = known;
    if (const auto &tree = j.launch.libc()) {
      auto key = tree->loader + "\n" + tree->library_path();
      if (!own_defaults.count(key))
        own_defaults[key] =
            measure_environment(probe, Launch::glibc_defaults(*tree), opt.time_limit());
      its = own_defaults[key].tunables ? &*own_defaults[key].tunables : nullptr;
    }
    facts.push_back(facts_of(measured.back(), its));
    if (its && measured.back().tunables)
      refuse_untaken(j, measured.back(), *its);
  }
  if (!known)
    return facts;
  // The settings that changed nothing, against the variant without settings
  // or the environment without them; an A/A campaign compares like with like.
  bool aa = opt.variants.size() > 1 && std::all_of(jobs.begin(), jobs.end(), [&](const Job &j) {
              return j.launch == jobs[0].launch;
            });
  if (aa)
    return facts;
  auto plain = std::find_if(opt.variants.begin(), opt.variants.end(),
                            [](const VariantOptions &v) { return v.env.empty(); });
  size_t base_job = (size_t)(plain - opt.variants.begin());
  bool from_job = plain != opt.variants.end();
  Measured base = from_job
                      ? measured[base_job]
                      : measure_environment(probe, Launch(opt.env, {}, opt.libc).without_tunables(),
                                            opt.time_limit());
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
  return measure_once(
      c, [&](const Launch &l) { return measure_environment(probe, l, c.time_limit()); });
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
      if (v.libc)
        setting +=
            (setting.empty() ? "" : " ") + std::string("--library-path ") + v.libc->library_path();
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
