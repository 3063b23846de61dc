// Campaigns: repeated runs of memset-bench into a folder, plain or with
// variants interleaved round by round in a shuffled order. Plans, runs and
// cleans up; the record it writes is record.*'s to spell.

#include "campaign.hpp"

#include "campaign_plan.hpp"

#include "errors.hpp"
#include "files.hpp"
#include "machine.hpp"
#include "preload.hpp"
#include "process.hpp"
#include "record.hpp"
#include "result_file.hpp"
#include "splitmix.hpp"
#include "text.hpp"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <random>
#include <sys/stat.h>
#include <unistd.h>

extern char **environ;

namespace fs = std::filesystem;

namespace report {

namespace {

// The shuffled order of each round in turn, from one seed.
std::vector<size_t> next_order(uint64_t &state, size_t variants) {
  std::vector<size_t> order;
  for (size_t v = 0; v < variants; v++)
    order.push_back(v);
  for (size_t i = variants; i > 1; i--)
    std::swap(order[i - 1], order[next_random(state) % i]);
  return order;
}

double now_seconds() {
  timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return (double)ts.tv_sec + (double)ts.tv_nsec * 1e-9;
}

// Replaces the record whole: a reader sees the old one or the new one.
void rewrite_record(const std::string &path, const Record &r) {
  TempFile t(path);
  t.write(format_record(r), path);
  t.place(path, true);
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
// its name; the name is added to `made` once it is there. `what` names the
// run in messages ("round 3 of 11 (a)").
Curve run_one(const Job &job, unsigned round, unsigned width, const CampaignOptions &opt,
              const std::string &what, std::vector<std::string> &made) {
  std::string target = (fs::path(job.dir) / run_file_name(round, width)).string();
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
  Curve curve;
  try {
    curve = read_result_file(file.path());
  } catch (const InputError &e) {
    std::string why = e.what();
    why = why.substr(file.path().size()); // name the run, not our temporary file
    throw RunFailed(what + ": benchmark exited 0 but wrote no complete result (" + target + why +
                    ")");
  }
  file.place(target, false);
  made.push_back(target);
  return curve;
}

} // namespace

std::vector<std::vector<size_t>> shuffled_orders(uint64_t seed, unsigned rounds, size_t variants) {
  uint64_t state = seed;
  std::vector<std::vector<size_t>> orders;
  for (unsigned r = 0; r < rounds; r++)
    orders.push_back(next_order(state, variants));
  return orders;
}

void run_campaign(const CampaignOptions &opt, RoundObserver *observer) {
  const bool more = opt.earlier.has_value();
  if (!more)
    check_folder(opt);
  std::vector<Job> jobs = jobs_of(opt);
  if (more) // the record's variants carry their whole environment already
    for (size_t v = 0; v < jobs.size(); v++)
      jobs[v].env = opt.variants[v].env;
  uint64_t seed =
      opt.seed ? *opt.seed : ((uint64_t)std::random_device{}() << 32 | std::random_device{}());
  const bool interleaved = !opt.variants.empty();
  const bool fixed = opt.runs || !interleaved;
  const unsigned planned = opt.runs.value_or(kDefaultRuns); // this time, when fixed
  const unsigned last = fixed ? opt.done + planned : kMaxRounds;
  const char *unit = interleaved ? "round" : "run";

  SignalScope signals;
  Cleanup cleanup;
  Record record = more ? *opt.earlier : campaign_record(opt, jobs, seed);
  uint64_t state = seed;
  std::vector<std::vector<size_t>> orders;
  for (unsigned r = 0; r < opt.done; r++)
    orders.push_back(next_order(state, jobs.size()));
  fs::path ctx = fs::path(opt.out) / kRecordFile;
  if (!more) {
    make_dir(opt.out, cleanup);
    std::error_code ec;
    fs::remove(ctx, ec); // at most an empty one: checked above
    cleanup.record = ctx.string();
    try {
      write_new_file(ctx.string(), format_record(record));
    } catch (...) {
      cleanup.record.clear();
      cleanup.drop_all_if_empty();
      throw;
    }
  }
  bool progress = isatty(STDERR_FILENO);
  unsigned r = opt.done;
  std::string stop = fixed ? "runs" : "budget";
  double start = now_seconds();
  // Record what is there however the campaign ends.
  auto finish = [&](const std::string &why) {
    if (!interleaved || r == opt.done)
      return;
    record.rounds = r;
    if (fixed)
      record.runs = r;
    if (observer)
      record.looks = observer->looks();
    record.stop = why;
    record.orders.clear();
    for (unsigned i = 0; i < r; i++) {
      record.orders.emplace_back();
      for (size_t v : orders[i])
        record.orders.back().push_back(jobs[v].name);
    }
    rewrite_record(ctx.string(), record);
  };
  try {
    for (const auto &j : jobs)
      make_dir(j.dir, cleanup);
    // A preload that is not the memset bound would measure glibc's under
    // another name: each is checked once before the first round.
    for (const auto &j : jobs)
      if (std::any_of(j.env.begin(), j.env.end(),
                      [](const std::string &e) { return e.rfind("LD_PRELOAD=", 0) == 0; }))
        check_preload(j.bench, child_env(j.env), j.name.empty() ? "(all runs)" : j.name,
                      opt.timeout);
    while (r < last && (fixed || r < kMinRounds || now_seconds() - start < opt.budget)) {
      std::string at = std::string(unit) + " " + std::to_string(r + 1) +
                       (fixed ? " of " + std::to_string(last) : "");
      if (progress)
        std::fprintf(stderr, "\r%s%s\033[K", at.c_str(),
                     observer ? (", " + observer->progress()).c_str() : "");
      orders.push_back(next_order(state, jobs.size()));
      cleanup.round_files.emplace_back();
      for (size_t v : orders[r]) {
        std::string what = at + (jobs[v].name.empty() ? "" : " (" + jobs[v].name + ")");
        Curve c = run_one(jobs[v], r + 1, fixed ? last : 0, opt, what, cleanup.round_files.back());
        if (observer)
          observer->run_done(v, r + 1, c);
      }
      r++;
      cleanup.complete++;
      if (!fixed && observer && observer->round_done(r)) {
        stop = "decided";
        break;
      }
    }
    if (observer && stop != "decided" && observer->final_look(r))
      stop = "decided";
  } catch (const Failure &why) {
    if (progress)
      std::fputc('\n', stderr);
    // The round under way goes; complete ones stay.
    if (cleanup.round_files.size() > cleanup.complete)
      cleanup.drop_round(cleanup.round_files.size() - 1);
    cleanup.drop_all_if_empty();
    if (cleanup.complete)
      finish(why.status >= kInterrupted ? "interrupted" : "failed");
    std::string kept = cleanup.complete
                           ? plural(cleanup.complete, unit) + " complete, kept in '" + opt.out + "'"
                           : std::string("no complete ") + unit + ", nothing kept";
    throw Failure(why.status, std::string(why.what()) + "; campaign stopped, " + kept);
  }
  if (progress)
    std::fputc('\n', stderr);
  finish(stop);
}

} // namespace report
