// capture: runs a command with the counting library preloaded, writes its
// capture, and says in one line what it holds.

#include "report/capture/capture.hpp"
#include "report/cli/commands.hpp"
#include "report/sys/errors.hpp"
#include "report/sys/text.hpp"

#include <cstdio>
#include <unistd.h>

namespace report {

int capture_command(const Options &o) {
  refuse_missing_command(o.command_words, "capture");
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
