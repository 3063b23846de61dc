// capture: runs a command with the counting library preloaded, writes its
// capture, and says in one line what it holds.

#include "report/capture/capture.hpp"
#include "report/cli/commands.hpp"
#include "report/sys/errors.hpp"
#include "report/sys/text.hpp"

#include <cstdio>
#include <sys/stat.h>
#include <unistd.h>

namespace report {

namespace {

// A command is looked up as execvp would; one that is not there is a bad
// command line, found before anything runs.
bool runnable(const std::string &name) {
  auto ok = [](const std::string &p) {
    struct stat st;
    return stat(p.c_str(), &st) == 0 && S_ISREG(st.st_mode) && access(p.c_str(), X_OK) == 0;
  };
  if (name.find('/') != std::string::npos)
    return ok(name);
  const char *path = std::getenv("PATH");
  std::string dirs = path ? path : "/usr/local/bin:/usr/bin:/bin";
  size_t start = 0;
  for (;;) {
    size_t end = std::min(dirs.find(':', start), dirs.size());
    std::string dir = dirs.substr(start, end - start);
    if (ok((dir.empty() ? "." : dir) + "/" + name))
      return true;
    if (end == dirs.size())
      return false;
    start = end + 1;
  }
}

} // namespace

int capture_command(const Options &o) {
  if (!runnable(o.command_words[0]))
    throw UsageError("capture: no such command, or not executable: '" +
                     printable(o.command_words[0]) + "'");
  CaptureRequest r{o.command_words, o.capture_out, o.force, o.duration,
                   beside_this_tool("libcapture-memset.so")};
  if (access(r.library.c_str(), R_OK) != 0)
    throw SystemError("cannot find libcapture-memset.so beside memset-report (" + r.library +
                      "): build or install the project whole");
  Capture c = run_capture(r);
  std::fprintf(
      stderr, "memset-report: captured %s in %llu process%s; %.3f s wall, %.3f s CPU; %s\n",
      plural(c.calls, "call").c_str(), (unsigned long long)c.processes,
      c.processes == 1 ? "" : "es", c.wall_seconds, c.cpu_seconds, printable(c.how).c_str());
  return kOk;
}

} // namespace report
