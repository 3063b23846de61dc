// Campaigns: repeated runs of memset-bench into a folder, plain or with
// variants interleaved round by round in a shuffled order. Plans, runs and
// cleans up; the record it writes is record.*'s to spell.

#include "campaign.hpp"

#include "errors.hpp"
#include "files.hpp"
#include "machine.hpp"
#include "process.hpp"
#include "record.hpp"
#include "result_file.hpp"
#include "text.hpp"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <random>
#include <sys/stat.h>
#include <unistd.h>

extern char **environ;

namespace fs = std::filesystem;

namespace report {

namespace {

std::string name_of(const std::string &var) { return var.substr(0, var.find('=')); }

// The common settings with a variant's own replacing those of the same name.
std::vector<std::string> merged_env(const std::vector<std::string> &common,
                                    const std::vector<std::string> &own) {
  std::vector<std::string> out;
  for (const auto &c : common)
    if (std::none_of(own.begin(), own.end(),
                     [&](const std::string &o) { return name_of(o) == name_of(c); }))
      out.push_back(c);
  out.insert(out.end(), own.begin(), own.end());
  return out;
}

// The benchmark's whole environment: ours, with the added variables
// replacing any of the same name.
std::vector<std::string> child_env(const std::vector<std::string> &added) {
  std::vector<std::string> own;
  for (char **e = environ; *e; ++e)
    own.push_back(*e);
  return merged_env(own, added);
}

std::string absolute_bench(const std::string &bench) {
  std::error_code ec;
  auto abs = fs::canonical(bench, ec);
  return ec ? bench : abs.string();
}

// splitmix64: tiny, and the same on every compiler, so a seed always gives
// the same orders.
uint64_t next_random(uint64_t &state) {
  uint64_t z = (state += 0x9e3779b97f4a7c15ULL);
  z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
  z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
  return z ^ (z >> 31);
}

// One benchmark run as the campaign makes it.
struct Job {
  std::string dir, name; // where its file goes, and the variant ("" for none)
  std::vector<std::string> env;
  std::string bench;
};

Record campaign_record(const CampaignOptions &opt, const std::vector<Job> &jobs, uint64_t seed,
                       const std::vector<std::vector<size_t>> &orders) {
  Record r;
  r.machine = probe_machine();
  r.runs = opt.runs;
  r.cpu = opt.cpu;
  if (opt.timeout > 0)
    r.timeout = opt.timeout;
  r.env = opt.env;
  for (const auto &var : steering_variables())
    if (const char *v = getenv(var.c_str()))
      r.env_inherited.push_back(var + "=" + v);
  r.bench = absolute_bench(opt.bench);
  if (opt.variants.empty())
    return r;
  r.seed = seed;
  for (const auto &j : jobs)
    r.variants.push_back({j.name, j.env, absolute_bench(j.bench)});
  for (const auto &order : orders) {
    r.orders.emplace_back();
    for (size_t v : order)
      r.orders.back().push_back(jobs[v].name);
  }
  return r;
}

// A folder that holds a campaign is never written into. A record left empty
// by a full disk is none.
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

// Removes what a campaign made that holds no complete round; the folders it
// created go too, where empty.
struct Cleanup {
  std::vector<std::string> made_dirs; // in the order made
  std::string record;
  std::vector<std::vector<std::string>> round_files; // per round
  size_t complete = 0;

  void drop_round(size_t r) {
    for (const auto &f : round_files[r])
      unlink(f.c_str());
    round_files[r].clear();
  }
  void drop_all_if_empty() {
    if (complete > 0)
      return;
    if (!record.empty())
      unlink(record.c_str());
    for (auto it = made_dirs.rbegin(); it != made_dirs.rend(); ++it)
      rmdir(it->c_str());
  }
};

void make_dir(const std::string &dir, Cleanup &c) {
  std::error_code ec;
  if (fs::is_directory(dir, ec))
    return;
  fs::path p = fs::absolute(dir, ec);
  std::vector<fs::path> missing;
  for (; !p.empty() && !fs::exists(p, ec); p = p.parent_path())
    missing.push_back(p);
  for (auto it = missing.rbegin(); it != missing.rend(); ++it) {
    if (mkdir(it->c_str(), 0755) != 0 && errno != EEXIST)
      throw SystemError(os_error("create", dir, errno));
    c.made_dirs.push_back(it->string());
  }
}

[[noreturn]] void interrupted(int sig, const std::string &what) {
  throw Interrupted(sig, what + " interrupted by " + signal_name(sig));
}

// One benchmark run into `round`'s file of `job`, checked before it takes
// its name; the name is added to `made` once it is there.
void run_one(const Job &job, unsigned round, const CampaignOptions &opt, const char *unit,
             std::vector<std::string> &made) {
  std::string target = (fs::path(job.dir) / run_file_name(round, opt.runs)).string();
  std::string what = std::string(unit) + " " + std::to_string(round) + " of " +
                     std::to_string(opt.runs) + (job.name.empty() ? "" : " (" + job.name + ")");
  if (int sig = take_interrupt())
    interrupted(sig, what);
  // The benchmark writes under a temporary name; only a checked, complete
  // result takes the run's name.
  TempFile file(target);
  Command cmd;
  cmd.argv = {job.bench, file.path()};
  cmd.env = child_env(job.env);
  cmd.cpu = opt.cpu ? (int)*opt.cpu : -1;
  cmd.timeout = opt.timeout;
  cmd.output_to_stderr = true; // the tool's own output stays its own
  Outcome out = run_program(cmd);
  switch (out.kind) {
  case Outcome::Interrupted:
    interrupted(out.code, what);
  case Outcome::TimedOut:
    throw RunTimedOut(what + ": no result within " + fmt("%g", opt.timeout) +
                      " s (--timeout); the run was killed");
  case Outcome::NotStarted:
    throw RunFailed(what + ": cannot run benchmark '" + job.bench +
                    "': " + std::strerror(out.code));
  default:
    break;
  }
  if (!out.ok())
    throw RunFailed(what + " failed: benchmark " + out.describe());
  try {
    read_result_file(file.path());
  } catch (const InputError &e) {
    std::string why = e.what();
    why = why.substr(file.path().size()); // name the run, not our temporary file
    throw RunFailed(what + ": benchmark exited 0 but wrote no complete result (" + target + why +
                    ")");
  }
  file.place(target, false);
  made.push_back(target);
}

} // namespace

const std::vector<std::string> &steering_variables() {
  static const std::vector<std::string> vars = {"GLIBC_TUNABLES", "LD_PRELOAD", "LD_LIBRARY_PATH",
                                                "LD_BIND_NOW", "LD_AUDIT"};
  return vars;
}

std::vector<std::vector<size_t>> shuffled_orders(uint64_t seed, unsigned rounds, size_t variants) {
  uint64_t state = seed;
  std::vector<std::vector<size_t>> orders(rounds);
  for (auto &order : orders) {
    for (size_t v = 0; v < variants; v++)
      order.push_back(v);
    for (size_t i = variants; i > 1; i--)
      std::swap(order[i - 1], order[next_random(state) % i]);
  }
  return orders;
}

void run_campaign(const CampaignOptions &opt) {
  check_folder(opt);

  std::vector<Job> jobs;
  if (opt.variants.empty())
    jobs.push_back({opt.out, "", opt.env, opt.bench});
  for (const auto &v : opt.variants)
    jobs.push_back({(fs::path(opt.out) / v.name).string(), v.name, merged_env(opt.env, v.env),
                    v.bench.value_or(opt.bench)});
  uint64_t seed =
      opt.seed ? *opt.seed : ((uint64_t)std::random_device{}() << 32 | std::random_device{}());
  auto orders = shuffled_orders(seed, opt.runs, jobs.size());
  const bool interleaved = !opt.variants.empty();
  const char *unit = interleaved ? "round" : "run";

  SignalScope signals;
  Cleanup cleanup;
  cleanup.round_files.resize(opt.runs);
  make_dir(opt.out, cleanup);
  fs::path ctx = fs::path(opt.out) / kRecordFile;
  std::error_code ec;
  fs::remove(ctx, ec); // at most an empty one: checked above
  cleanup.record = ctx.string();
  try {
    write_new_file(ctx.string(), format_record(campaign_record(opt, jobs, seed, orders)));
  } catch (...) {
    cleanup.record.clear();
    cleanup.drop_all_if_empty();
    throw;
  }
  bool progress = isatty(STDERR_FILENO);
  unsigned r = 0;
  try {
    for (const auto &j : jobs)
      make_dir(j.dir, cleanup);
    for (; r < opt.runs; r++) {
      if (progress)
        std::fprintf(stderr, "\r%s %u/%u", unit, r + 1, opt.runs);
      for (size_t v : orders[r])
        run_one(jobs[v], r + 1, opt, unit, cleanup.round_files[r]);
      cleanup.complete++;
    }
  } catch (const Failure &why) {
    if (progress)
      std::fputc('\n', stderr);
    // The round under way goes; complete ones stay.
    if (r < opt.runs)
      cleanup.drop_round(r);
    cleanup.drop_all_if_empty();
    std::string kept = cleanup.complete
                           ? plural(cleanup.complete, unit) + " complete, kept in '" + opt.out + "'"
                           : std::string("no complete ") + unit + ", nothing kept";
    throw Failure(why.status, std::string(why.what()) + "; campaign stopped, " + kept);
  }
  if (progress)
    std::fputc('\n', stderr);
}

} // namespace report
