// One benchmark run into a campaign folder, checked before it takes its
// name, and the folders a campaign makes.

#include "report/campaign/one_run.hpp"

#include "report/formats/engine.hpp"
#include "report/formats/program_file.hpp"
#include "report/stats/compare.hpp"
#include "report/sys/errors.hpp"
#include "report/sys/files.hpp"
#include "report/sys/process.hpp"
#include "report/sys/text.hpp"

#include <cerrno>
#include <cmath>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace report {

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

namespace {

[[noreturn]] void interrupted(int sig, const std::string &what) {
  throw Interrupted(sig, what + " interrupted by " + signal_name(sig));
}

// Throws what stops the campaign unless the run exited 0: an interruption,
// the time limit, a start that failed, or another end.
void ended_well(const Outcome &out, const std::string &what, const std::string &program,
                const char *verb, const std::string &timed_out, const std::string &failed) {
  switch (out.kind) {
  case Outcome::Interrupted:
    interrupted(out.code, what);
  case Outcome::TimedOut:
    throw RunTimedOut(what + ": " + timed_out);
  case Outcome::NotStarted:
    throw RunFailed(what + ": " + os_error(verb, program, out.code));
  default:
    break;
  }
  if (!out.ok())
    throw RunFailed(what + " failed: " + failed);
}

// A program campaign's run: the user's command under the variant's
// environment, its output discarded or kept beside the run's file, its
// times written as the run's file once it has ended well.
RunValues run_program_once(const Job &job, const std::string &target, const CampaignOptions &opt,
                           const std::string &what, std::vector<std::string> &made) {
  Command cmd = job.launch.command(opt.program, true);
  cmd.cpu = opt.cpu ? (int)*opt.cpu : -1;
  cmd.timeout = opt.time_limit();
  std::string base = target.substr(0, target.size() - 4); // less ".txt"
  std::vector<std::string> outputs;
  if (opt.keep_output) {
    // Made afresh: a failed run's output, kept to say why, gives way when
    // its round is run again (run --more).
    for (const char *ext : {".out", ".err"}) {
      outputs.push_back(base + ext);
      int fd = open(outputs.back().c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
      if (fd < 0)
        throw SystemError(os_error("create", outputs.back(), errno));
      close(fd);
    }
    cmd.stdout_path = outputs[0];
    cmd.stderr_path = outputs[1];
  } else {
    cmd.stdout_path = cmd.stderr_path = "/dev/null";
  }
  // A failed run's output stays, to say why; a good one's goes with its round.
  const std::string said = opt.keep_output ? " (its output: " + outputs[1] + ")" : "";
  const Outcome out = run_program(cmd);
  ended_well(out, what, opt.program[0], "run",
             "the command ran longer than " + fmt("%g", *opt.timeout) +
                 " s (--timeout) and was stopped" + said,
             "the command ended with " + out.describe() + said);
  ProgramRun p{(uint64_t)std::llround(out.wall_seconds * 1e6),
               (uint64_t)std::llround(out.cpu_seconds * 1e6)};
  TempFile file(target);
  file.write(program_text(p), target);
  file.place(target, false);
  made.insert(made.end(), outputs.begin(), outputs.end());
  made.push_back(target);
  return {p.wall_us, p.cpu_us};
}

} // namespace

RunValues run_one(const Job &job, unsigned round, unsigned width, const CampaignOptions &opt,
                  const std::string &what, std::vector<std::string> &made, uint64_t lengths_seed) {
  std::string target = (fs::path(job.dir) / run_file_name(round, width)).string();
  if (int sig = take_interrupt())
    interrupted(sig, what);
  if (opt.kind() == CampaignKind::Program)
    return run_program_once(job, target, opt, what, made);
  // The benchmark writes under a temporary name; only a checked, complete
  // result takes the run's name.
  TempFile file(target);
  Command cmd = job.launch.command({job.bench, file.path()});
  EngineCall call;
  call.seed = lengths_seed;
  call.mix = (fs::path(opt.out) / kMixFile).string();
  for (const Band &b : band_grid())
    call.bands +=
        (call.bands.empty() ? "" : ",") + std::to_string(b.from) + "-" + std::to_string(b.to);
  for (auto &w : engine_arguments(opt, call))
    cmd.argv.push_back(std::move(w));
  cmd.cpu = opt.cpu ? (int)*opt.cpu : -1;
  cmd.timeout = opt.time_limit();
  cmd.output_to_stderr = true; // the tool's own output stays its own
  const Outcome out = run_program(cmd);
  ended_well(out, what, job.bench, "run benchmark",
             "no result within " + fmt("%g", *opt.timeout) + " s (--timeout); the run was killed",
             "benchmark " + out.describe());
  RunValues curve;
  try {
    RunFile f = read_run_file(file.path());
    if (f.engine != opt.engine)
      throw InputError(file.path() + ": a file of " + engine_name(f.engine) + ", not of " +
                       engine_name(opt.engine));
    if (opt.replay.has_value() != (f.batch && f.batch->replay))
      throw InputError(file.path() + (opt.replay ? ": not a replay" : ": a replay"));
    curve = std::move(f.values);
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

} // namespace report
