// The plan of a campaign: its jobs and their environments, its record, and
// the checks that come before anything is run.

#include "report/campaign/plan.hpp"

#include "report/campaign/machine.hpp"
#include "report/formats/replay.hpp"
#include "report/sys/environment.hpp"
#include "report/sys/errors.hpp"
#include "report/sys/text.hpp"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>

namespace fs = std::filesystem;

namespace report {

namespace {

// NAME=VALUE of the steering variables this tool's environment holds.
std::vector<std::string> inherited_steering() {
  std::vector<std::string> out;
  for (const auto &var : steering_variables())
    if (const char *v = getenv(var.c_str()))
      out.push_back(var + "=" + v);
  return out;
}

std::string absolute_bench(const std::string &bench) {
  std::error_code ec;
  auto abs = fs::canonical(bench, ec);
  return ec ? bench : abs.string();
}

} // namespace

Record campaign_record(const CampaignOptions &opt, const std::vector<Job> &jobs, uint64_t seed) {
  Record r;
  static_cast<CampaignSettings &>(r) = opt;
  // What it stops on is the book's to keep, once the campaign knows it.
  r.min_span.reset();
  r.threshold.reset();
  r.seed.reset();
  r.machine = probe_machine();
  r.planned = opt.runs               ? opt.runs
              : opt.variants.empty() ? std::optional<unsigned>(kDefaultRuns)
                                     : std::nullopt;
  if (!opt.variants.empty() && !opt.runs)
    r.budgets = {opt.budget};
  r.env_inherited = inherited_steering();
  // A program campaign times the command itself: no engine runs in it.
  if (opt.kind() != CampaignKind::Program)
    r.bench = absolute_bench(opt.bench);
  r.libraries = opt.libraries;
  if (opt.libc) {
    r.libc_run.loader = opt.libc->loader;
    r.libc_run.library_path = opt.libc->library_path();
    r.libc_run.started = start_word(opt.libc->start);
  }
  if (opt.variants.empty())
    return r;
  r.seed = seed;
  for (const auto &j : jobs) {
    r.variants.push_back({j.name,
                          j.launch.settings(),
                          opt.kind() == CampaignKind::Program ? "" : absolute_bench(j.bench),
                          "",
                          "",
                          {}});
    if (const auto &t = j.launch.libc()) {
      r.variants.back().libc.loader = t->loader;
      r.variants.back().libc.library_path = t->library_path();
      r.variants.back().libc.started = start_word(t->start);
    }
  }
  r.same_as = opt.same_as;
  return r;
}

// A folder that holds a campaign is never written into. A record left empty
// by a full disk is none.
void refuse_replaced_tunables(const CampaignOptions &opt) {
  const char *inherited = getenv(kTunablesVar);
  if (!inherited)
    return;
  for (const auto &v : opt.variants)
    for (const auto &e : v.env)
      if (is_tunables_entry(e))
        throw UsageError("GLIBC_TUNABLES is set in this environment ('" + printable(inherited) +
                         "') and variant " + printable(v.name) +
                         " sets its own, which would replace it there alone; unset it, and give "
                         "each variant its whole setting (--env GLIBC_TUNABLES=" +
                         printable(inherited) + ":... for one that adds to it)");
}

void settle_replay_landing(CampaignOptions &c) {
  const bool asked = c.landing.align == Landing::kAlignCapture;
  if (!c.replay) {
    if (asked)
      throw UsageError("--align capture goes with --replay CAPTURE: it plays a capture's fills "
                       "where they landed");
    return;
  }
  if (!asked && c.landing.align != Landing::kAlignBuffer)
    return; // offsets as asked: the footprint, if any, walks them
  Replay r = read_replay(*c.replay);
  if (!r.landing) {
    if (asked)
      throw InputError(*c.replay + ": says nothing of where its fills landed (" +
                       (r.weights.capture ? "a capture from before captures kept it"
                                          : "a weights file, not a capture") +
                       "); capture the command again with this version's 'memset-report "
                       "capture' to replay its fills where they land");
    return; // as every replay did before
  }
  c.landing.align = Landing::kAlignCapture;
  // Its cold calls walk past a hot place of twice the largest fill.
  constexpr uint64_t kLeast = mix_format::kLeastLandedRegion;
  if (c.landing.footprint && c.landing.footprint < kLeast)
    throw UsageError("--footprint " + std::to_string(c.landing.footprint) +
                     ": a replay as its capture found it needs " + std::to_string(kLeast) +
                     " bytes or more, its cold calls walking past the hot place");
  if (c.landing.footprint)
    return;
  // The memory the program's fills covered is what its cold fills land in:
  // a cold fill in 256 MiB costs less than one in 1 GiB (the pages'
  // translations miss more), and SSE2's extra over AVX2 grew from about 20
  // to 50 ticks between the two on an Intel Xeon. A capture from before it
  // was kept walks memory.
  const auto &captured = r.weights.capture->landings;
  if (const std::optional<uint64_t> pages = captured ? captured->pages : std::nullopt) {
    // Never past half the memory free now: a program that covered more
    // had it, the replay's machine may not.
    uint64_t most = memory_available().value_or(UINT64_MAX) / 2 / kLineBytes * kLineBytes;
    c.landing.footprint = std::max(kLeast, std::min(*pages * kPageBytes, most));
    c.landing.level = kLevelCapture;
  } else {
    c.landing.footprint = level_footprint("memory", cache_sizes());
    c.landing.level = "memory";
  }
}

void check_folder(const CampaignOptions &opt) {
  std::error_code ec;
  if (!fs::exists(opt.out, ec))
    return;
  if (!fs::is_directory(opt.out, ec))
    throw InputError("'" + opt.out + "' exists and is not a folder");
  fs::path ctx = fs::path(opt.out) / kRecordFile;
  bool has_record = fs::exists(fs::symlink_status(ctx, ec)) &&
                    !(fs::is_regular_file(ctx, ec) && fs::file_size(ctx, ec) == 0);
  bool has_runs = !run_files_in(opt.out).empty();
  for (const auto &v : opt.variants)
    has_runs = has_runs || (fs::is_directory(fs::path(opt.out) / v.name, ec) &&
                            !run_files_in((fs::path(opt.out) / v.name).string()).empty());
  if (has_record || has_runs)
    throw InputError("'" + opt.out + "' already holds a campaign; choose a new folder");
}

std::vector<Job> jobs_of(const CampaignOptions &opt) {
  std::vector<Job> jobs;
  if (opt.variants.empty())
    jobs.push_back({opt.out, "", Launch(opt.env, {}, opt.libc), opt.bench});
  for (const auto &v : opt.variants)
    jobs.push_back({(fs::path(opt.out) / v.name).string(), v.name,
                    Launch(opt.env, v.env, v.libc ? v.libc : opt.libc),
                    v.bench.value_or(opt.bench)});
  return jobs;
}

const std::vector<std::string> &steering_variables() {
  static const std::vector<std::string> vars = {kTunablesVar, "LD_PRELOAD", "LD_LIBRARY_PATH",
                                                "LD_BIND_NOW", "LD_AUDIT"};
  return vars;
}

CampaignOptions continue_campaign(const std::string &dir) {
  std::error_code ec;
  if (!fs::is_directory(dir, ec))
    throw InputError(fs::exists(dir, ec) ? "'" + dir + "' is not a folder"
                                         : os_error("continue the campaign in", dir, ENOENT));
  Record r = read_record(dir);
  if (r.variants.empty())
    throw InputError(dir + ": not an interleaved campaign (no variants in its " + kRecordFile +
                     "); only those can take more rounds");
  MachineFacts now = probe_machine();
  const MachineFacts &then = r.machine;
  auto differs = [&](const char *what, const std::string &a, const std::string &b) {
    if (a != b)
      throw InputError(dir + ": the " + what + " differs from the campaign's ('" + b + "' now, '" +
                       a + "' then); start a new campaign");
  };
  differs("host", then.host, now.host);
  differs("processor", then.cpu_model, now.cpu_model);
  differs("kernel", then.kernel, now.kernel);
  differs("C library", then.libc, now.libc);
  // Measured afresh: a counter frequency within 1% and a step within 10%
  // are the same counter.
  if (then.tsc_mhz && std::fabs(*now.tsc_mhz / *then.tsc_mhz - 1) > 0.01)
    differs("counter frequency", fmt("%.1f MHz", *then.tsc_mhz), fmt("%.1f MHz", *now.tsc_mhz));
  if (then.tsc_step && std::fabs(*now.tsc_step / *then.tsc_step - 1) > 0.10)
    differs("counter step", fmt("%.2f", *then.tsc_step), fmt("%.2f", *now.tsc_step));
  differs("inherited environment", joined(r.env_inherited), joined(inherited_steering()));

  CampaignOptions opt;
  static_cast<CampaignSettings &>(opt) = r;
  opt.out = dir;
  opt.bench = r.bench;
  for (const auto &v : r.variants)
    opt.variants.push_back({v.name, v.env, v.bench,
                            v.libc.loader.empty()
                                ? std::nullopt
                                : std::optional<LibcTree>(libc_tree_of(
                                      v.libc.loader, v.libc.library_path, v.libc.started))});
  // The rounds there must be whole: 1..N in every variant.
  std::vector<unsigned> counts;
  std::vector<std::vector<std::string>> listed;
  for (const auto &v : r.variants) {
    auto files = run_files_in((fs::path(dir) / v.name).string());
    listed.push_back(files);
    for (size_t i = 0; i < files.size(); i++)
      if (run_number(files[i]) != i + 1)
        throw InputError(dir + "/" + v.name + ": run files are not numbered 1 to " +
                         std::to_string(files.size()) + "; cannot add rounds");
    counts.push_back((unsigned)files.size());
  }
  // A campaign killed in the middle of a round leaves that round's files
  // in some variants only: name them, so that removing them mends it.
  unsigned whole = *std::min_element(counts.begin(), counts.end());
  std::vector<std::string> extra;
  for (size_t v = 0; v < r.variants.size(); v++)
    for (size_t i = whole; i < listed[v].size(); i++)
      extra.push_back((fs::path(dir) / r.variants[v].name / listed[v][i]).string());
  if (!extra.empty())
    throw InputError(dir + ": round " + std::to_string(whole + 1) +
                     " is not in every variant (a campaign killed in the middle of a round); "
                     "remove " +
                     joined(extra) + " to add rounds");
  opt.done = counts[0];
  opt.earlier = r;
  return opt;
}

} // namespace report
