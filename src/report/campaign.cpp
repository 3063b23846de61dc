// Campaigns: repeated runs of memset-bench into a folder, plain or with
// variants interleaved round by round in a shuffled order.

#include "campaign.hpp"

#include "errors.hpp"
#include "files.hpp"
#include "machine.hpp"
#include "process.hpp"
#include "result_file.hpp"
#include "sets.hpp"
#include "text.hpp"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <gnu/libc-version.h>
#include <random>
#include <sched.h>
#include <sys/stat.h>
#include <sys/utsname.h>
#include <unistd.h>

extern char **environ;

namespace fs = std::filesystem;

namespace report {

namespace {

std::string name_of(const std::string &var) { return var.substr(0, var.find('=')); }

bool valid_env_name(const std::string &s) {
  if (s.empty() || std::isdigit((unsigned char)s[0]))
    return false;
  return std::all_of(s.begin(), s.end(),
                     [](char c) { return std::isalnum((unsigned char)c) || c == '_'; });
}

bool valid_variant_name(const std::string &s) {
  return !s.empty() && s.size() <= 32 && s != "." && s != ".." &&
         std::all_of(s.begin(), s.end(), [](char c) {
           return std::isalnum((unsigned char)c) || c == '_' || c == '.' || c == '-';
         });
}

void check_env(const std::vector<std::string> &env) {
  for (const auto &e : env) {
    if (e.find('=') == std::string::npos || !valid_env_name(name_of(e)))
      throw UsageError("--env takes NAME=VALUE with NAME of letters, digits and '_', got '" + e +
                       "'");
    // A line feed would forge lines of the campaign's record.
    if (std::any_of(e.begin(), e.end(), [](char c) { return std::iscntrl((unsigned char)c); }))
      throw UsageError("--env " + name_of(e) + ": control characters are not allowed in a value");
  }
}

void check_bench(const std::string &bench) {
  if (bench.empty())
    throw UsageError("--bench needs a path");
  struct stat st;
  if (stat(bench.c_str(), &st) != 0)
    throw UsageError("cannot run benchmark '" + bench + "': " + std::strerror(errno));
  if (!S_ISREG(st.st_mode))
    throw UsageError("cannot run benchmark '" + bench + "': not a regular file");
  if (access(bench.c_str(), X_OK) != 0)
    throw UsageError("cannot run benchmark '" + bench + "': " + std::strerror(errno));
}

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

std::string run_name(unsigned i, unsigned runs) {
  // At least three digits, more where the count needs them, so that names sort.
  size_t width = std::max<size_t>(3, std::to_string(runs).size());
  std::string digits = std::to_string(i);
  return "run-" + std::string(width - std::min(width, digits.size()), '0') + digits + ".txt";
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

std::string describe_context(const CampaignOptions &opt, const std::vector<Job> &jobs,
                             uint64_t seed, const std::vector<std::vector<size_t>> &orders) {
  std::string s;
  auto add = [&](const std::string &k, const std::string &v) { s += k + ": " + v + "\n"; };
  char date[64];
  time_t t = time(nullptr);
  strftime(date, sizeof date, "%Y-%m-%d %H:%M:%S %z", localtime(&t));
  add("date", date);
  char host[256] = "unknown";
  gethostname(host, sizeof host - 1);
  add("host", host);
  add("cpu_model", cpuinfo_field("model name"));
  utsname u;
  add("kernel", uname(&u) == 0 ? u.release : "unknown");
  add("libc", std::string("glibc ") + gnu_get_libc_version());
  char num[64];
  std::snprintf(num, sizeof num, "%.1f", measure_tsc_hz() / 1e6);
  add("tsc_mhz", num);
  bool constant = has_cpu_flag("constant_tsc"), nonstop = has_cpu_flag("nonstop_tsc");
  add("tsc_constant_nonstop", constant && nonstop
                                  ? "yes"
                                  : std::string("no (") + (constant ? "" : "no constant_tsc ") +
                                        (nonstop ? "" : "no nonstop_tsc") + ")");
  Resolution res = measure_resolution();
  add("tsc_step", std::to_string(res.step));
  std::snprintf(num, sizeof num, "%.0f", res.read_cost);
  add("tsc_read_cost", num);
  add("runs", std::to_string(opt.runs));
  add("pinning", opt.cpu >= 0 ? "cpu " + std::to_string(opt.cpu) : "none");
  char limit[32];
  std::snprintf(limit, sizeof limit, "%g s", opt.timeout);
  add("timeout", opt.timeout > 0 ? limit : "none");
  if (opt.env.empty())
    add("env", "none");
  for (const auto &e : opt.env)
    add("env", e);
  size_t inherited = 0;
  for (const auto &var : steering_variables())
    if (const char *v = getenv(var.c_str()); v) {
      add("env_inherited", var + "=" + v);
      inherited++;
    }
  if (!inherited)
    add("env_inherited", "none");
  add("bench", absolute_bench(opt.bench));
  if (opt.variants.empty())
    return s;
  add("shuffle_seed", std::to_string(seed));
  for (const auto &j : jobs) {
    add("variant", j.name);
    for (const auto &e : j.env)
      add("variant_env", j.name + " " + e);
    add("variant_bench", j.name + " " + absolute_bench(j.bench));
  }
  for (size_t r = 0; r < orders.size(); r++) {
    std::string line = std::to_string(r + 1);
    for (size_t v : orders[r])
      line += " " + jobs[v].name;
    add("order", line);
  }
  return s;
}

// Everything that can be refused is refused here, before anything is written.
void check_campaign(const CampaignOptions &opt) {
  if (opt.out.empty())
    throw UsageError("run needs --out DIR");
  if (opt.runs == 0)
    throw UsageError("--runs must be at least 1");
  check_env(opt.env);
  if (opt.cpu >= 0) {
    cpu_set_t allowed;
    CPU_ZERO(&allowed);
    if (opt.cpu >= CPU_SETSIZE || sched_getaffinity(0, sizeof allowed, &allowed) != 0 ||
        !CPU_ISSET(opt.cpu, &allowed))
      throw UsageError("--cpu " + std::to_string(opt.cpu) +
                       ": no such processor available to this process");
  }
  check_bench(opt.bench);
  for (size_t i = 0; i < opt.variants.size(); i++) {
    const auto &v = opt.variants[i];
    if (!valid_variant_name(v.name))
      throw UsageError("--variant takes a short name of letters, digits, '_', '.' and '-', got '" +
                       v.name + "'");
    for (size_t j = 0; j < i; j++)
      if (opt.variants[j].name == v.name)
        throw UsageError("--variant " + v.name + " is given twice");
    check_env(v.env);
    if (v.bench)
      check_bench(*v.bench);
  }
  std::error_code ec;
  if (fs::exists(opt.out, ec)) {
    if (!fs::is_directory(opt.out, ec))
      throw InputError("'" + opt.out + "' exists and is not a folder");
    fs::path ctx = fs::path(opt.out) / "context.txt";
    // A record left empty by a full disk is no campaign.
    bool has_context =
        fs::exists(ctx, ec) && !(fs::is_regular_file(ctx, ec) && fs::file_size(ctx, ec) == 0);
    bool has_runs = !run_files_in(opt.out).empty();
    for (const auto &v : opt.variants)
      has_runs = has_runs || (fs::is_directory(fs::path(opt.out) / v.name, ec) &&
                              !run_files_in((fs::path(opt.out) / v.name).string()).empty());
    if (has_context || has_runs)
      throw InputError("'" + opt.out + "' already holds a campaign; choose a new folder");
  }
}

// Removes what a campaign made that holds no complete round; the folders it
// created go too, where empty.
struct Cleanup {
  std::vector<std::string> made_dirs; // in the order made
  std::string context;
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
    if (!context.empty())
      unlink(context.c_str());
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

// One run of the benchmark into `round`'s file of `job`, checked before it
// takes its name; the name is added to `made` once it is there.
void run_one(const Job &job, unsigned round, const CampaignOptions &opt, const char *unit,
             std::vector<std::string> &made) {
  std::string target = (fs::path(job.dir) / run_name(round, opt.runs)).string();
  std::string what = std::string(unit) + " " + std::to_string(round) + " of " +
                     std::to_string(opt.runs) + (job.name.empty() ? "" : " (" + job.name + ")");
  if (int sig = take_interrupt())
    throw Interrupted(sig, std::string("interrupted by ") + strsignal(sig));
  // The benchmark writes under a temporary name; only a checked, complete
  // result takes the run's name.
  TempFile file(target);
  Command cmd;
  cmd.argv = {job.bench, file.path()};
  cmd.env = child_env(job.env);
  cmd.cpu = opt.cpu;
  cmd.timeout = opt.timeout;
  Outcome out = run_program(cmd);
  switch (out.kind) {
  case Outcome::Interrupted:
    throw Interrupted(out.code, what + " interrupted by " + strsignal(out.code));
  case Outcome::TimedOut: {
    char limit[32];
    std::snprintf(limit, sizeof limit, "%g", opt.timeout);
    throw RunTimedOut(what + ": no result within " + limit + " s (--timeout); the run was killed");
  }
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
  check_campaign(opt);

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
  fs::path ctx = fs::path(opt.out) / "context.txt";
  std::error_code ec;
  if (fs::exists(ctx, ec))
    fs::remove(ctx, ec); // empty: checked above
  cleanup.context = ctx.string();
  try {
    write_new_file(ctx.string(), describe_context(opt, jobs, seed, orders));
  } catch (...) {
    cleanup.context.clear();
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
