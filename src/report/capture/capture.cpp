// Capturing a command's memset lengths: the shared counts, the run, the file.

#include "report/capture/capture.hpp"

#include "preload/capture_layout.hpp"
#include "report/sys/clock.hpp"
#include "report/sys/environment.hpp"
#include "report/sys/errors.hpp"
#include "report/sys/files.hpp"
#include "report/sys/process.hpp"
#include "report/sys/text.hpp"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstring>
#include <ctime>
#include <gnu/libc-version.h>
#include <map>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

extern char **environ;

namespace report {

namespace {

using capture_layout::Counts;

// The counts, in a memory file that the command's processes open by its
// /proc name: nothing is left on disk, whatever ends this tool.
class SharedCounts {
public:
  SharedCounts() {
    fd_ = memfd_create("capture-memset", MFD_CLOEXEC);
    if (fd_ < 0 || ftruncate(fd_, sizeof(Counts)) != 0)
      throw SystemError(os_error("make the capture's counts", errno));
    void *m = mmap(nullptr, sizeof(Counts), PROT_READ | PROT_WRITE, MAP_SHARED, fd_, 0);
    if (m == MAP_FAILED) {
      close(fd_);
      throw SystemError(os_error("map the capture's counts", errno));
    }
    counts_ = static_cast<Counts *>(m);
    __atomic_store_n(&counts_->magic, capture_layout::kMagic, __ATOMIC_RELEASE);
  }
  ~SharedCounts() {
    munmap(counts_, sizeof(Counts));
    close(fd_);
  }
  SharedCounts(const SharedCounts &) = delete;
  SharedCounts &operator=(const SharedCounts &) = delete;

  std::string path() const { return fmt("/proc/%d/fd/%d", (int)getpid(), fd_); }
  const Counts &counts() const { return *counts_; }

private:
  int fd_ = -1;
  Counts *counts_ = nullptr;
};

// This tool's environment, with the library preloaded ahead of any other
// preload and the counts named.
std::vector<std::string> capture_env(const std::string &library, const std::string &counts) {
  std::vector<std::string> env;
  std::string preload = library;
  for (char **e = environ; *e; e++) {
    std::string entry = *e;
    if (is_preload_entry(entry))
      preload += ":" + entry.substr(std::strlen(kPreloadPrefix));
    else if (env_name(entry) != capture_layout::kCountsVariable)
      env.push_back(entry);
  }
  env.push_back(preload_entry(preload));
  env.push_back(std::string(capture_layout::kCountsVariable) + "=" + counts);
  return env;
}

// Every length called, longer ones included; calls above the sweep whose
// length found no slot stand at the first length beyond it.
std::map<uint64_t, uint64_t> lengths_of(const Counts &c) {
  std::map<uint64_t, uint64_t> lengths;
  uint64_t rows = std::min(__atomic_load_n(&c.rows_taken, __ATOMIC_RELAXED), capture_layout::kRows);
  for (uint64_t k = 0; k <= capture_layout::kMaxExact; k++) {
    uint64_t n = __atomic_load_n(&c.exact[k], __ATOMIC_RELAXED);
    for (uint64_t r = 0; r < rows; r++)
      n += __atomic_load_n(&c.rows[r][k], __ATOMIC_RELAXED);
    if (n)
      lengths[k] = n;
  }
  for (const auto &slot : c.longer)
    if (uint64_t len = __atomic_load_n(&slot.length, __ATOMIC_ACQUIRE))
      lengths[len] += __atomic_load_n(&slot.calls, __ATOMIC_RELAXED);
  if (uint64_t n = __atomic_load_n(&c.unkept, __ATOMIC_RELAXED))
    lengths[capture_layout::kMaxExact + 1] += n;
  return lengths;
}

// Where the fills landed: every thread's row and the shared counts.
static_assert(capture_layout::kClasses == kLengthClasses && capture_layout::kLine == kLineBytes &&
                  capture_layout::kRecent == kRecentFills,
              "a capture's landing lines have the shared counts' classes and offsets");
CaptureLandings landings_of(const Counts &c) {
  CaptureLandings out;
  uint64_t rows = std::min(__atomic_load_n(&c.rows_taken, __ATOMIC_RELAXED), capture_layout::kRows);
  auto add = [&](const capture_layout::Landings &l) {
    for (unsigned k = 0; k < kLengthClasses; k++) {
      for (unsigned o = 0; o < kLineBytes; o++)
        out.offsets[k][o] += __atomic_load_n(&l.offsets[k][o], __ATOMIC_RELAXED);
      out.recent[k] += __atomic_load_n(&l.recent[k], __ATOMIC_RELAXED);
    }
  };
  add(c.landings);
  for (uint64_t r = 0; r < rows; r++)
    add(c.landing_rows[r]);
  // Distinct pages from the share of bits still clear (linear counting);
  // with none clear, as if half of one were: the most the bitmap can tell.
  uint64_t clear = 0;
  for (const uint64_t &w : c.pages)
    clear += 64 - (uint64_t)__builtin_popcountll(__atomic_load_n(&w, __ATOMIC_RELAXED));
  const double m = (double)capture_layout::kPageBits;
  out.pages = (uint64_t)std::llround(-m * std::log(std::max((double)clear, 0.5) / m));
  return out;
}

void how_it_ended(Capture &c, const Outcome &out, double duration) {
  c.how = out.describe();
  if (out.stopped) {
    c.end = CaptureEnd::Stopped;
    c.how = fmt("stopped after %g s (--duration); then ", duration) + c.how;
  } else if (out.kind == Outcome::Interrupted) {
    c.end = CaptureEnd::Interrupted;
  } else if (!out.ok()) {
    c.end = CaptureEnd::Failed;
  }
}

[[noreturn]] void no_calls(const Capture &c) {
  std::string ended = c.end == CaptureEnd::Ok ? "" : " (the command ended: " + c.how + ")";
  throw NoCalls("no calls captured" + ended +
                ": the command may be a static binary, a setuid program (the loader ignores "
                "LD_PRELOAD there), clear its environment, inline every memset, or call it only "
                "inside the C library; nothing written");
}

} // namespace

Capture run_capture(const CaptureRequest &r) {
  struct stat st;
  if (!r.force && stat(r.out.c_str(), &st) == 0)
    throw InputError("'" + r.out + "' already exists; use --force to replace it");
  TempFile file(r.out); // an unwritable folder fails here, before the command runs
  SharedCounts shared;
  Command cmd;
  cmd.argv = r.command;
  cmd.env = capture_env(r.library, shared.path());
  cmd.search_path = true;
  cmd.keep_stdin = !isatty(STDIN_FILENO); // a pipe or a file; never the terminal
  cmd.stop_after = r.duration;

  SignalScope scope;
  auto start = std::chrono::steady_clock::now();
  Outcome out = run_program(cmd);
  double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  if (out.kind == Outcome::NotStarted)
    throw SystemError(os_error("start", r.command[0], out.code));

  Capture c;
  c.command = shell_words(r.command);
  how_it_ended(c, out, r.duration);
  c.wall_seconds = wall;
  c.cpu_seconds = out.cpu_seconds;
  std::map<uint64_t, uint64_t> lengths = lengths_of(shared.counts());
  for (const auto &l : lengths)
    c.calls += l.second;
  c.processes = __atomic_load_n(&shared.counts().processes, __ATOMIC_RELAXED);
  c.landings = landings_of(shared.counts());
  c.libc = std::string("glibc ") + gnu_get_libc_version();
  c.date = utc_now();
  if (c.calls == 0)
    no_calls(c);
  file.write(capture_text(c, lengths), r.out);
  file.place(r.out, r.force);
  if (c.end == CaptureEnd::Failed)
    throw CommandFailed("the command failed (" + c.how + "); its capture is in '" + r.out +
                        "', marked 'outcome: failed'");
  if (c.end == CaptureEnd::Interrupted)
    throw Interrupted(out.code, "interrupted (" + signal_name(out.code) +
                                    "); the capture so far is in '" + r.out + "'");
  return c;
}

} // namespace report
