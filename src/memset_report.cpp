// memset-report: the command line. It parses the words into checked options,
// dispatches each command to src/report/cli/, and maps what fails to an exit
// status.

#include "report/cli/commands.hpp"
#include "report/cli/options.hpp"
#include "report/sys/errors.hpp"

#include <cstdio>
#include <string>
#include <vector>

using namespace report;

namespace {

int dispatch(const Options &o) {
  if (o.help) {
    write_out(usage_text(o.command));
    return kOk;
  }
  const struct {
    const char *name;
    int (*run)(const Options &);
  } table[] = {{"run", run_command},   {"summary", summary_command}, {"plot", plot_command},
               {"tune", tune_command}, {"census", census_command},   {"capture", capture_command}};
  for (const auto &c : table)
    if (o.command == c.name)
      return c.run(o);
  throw UsageError("unknown command '" + o.command + "'");
}

} // namespace

int main(int argc, char **argv) {
  try {
    std::vector<std::string> words(argv + 1, argv + argc);
    return dispatch(parse_command_line(words, beside_this_tool("memset-bench")));
  } catch (const UsageError &e) {
    std::fprintf(stderr, "memset-report: %s (see memset-report --help)\n", e.what());
    return e.status;
  } catch (const Failure &e) {
    std::fprintf(stderr, "memset-report: %s\n", e.what());
    return e.status;
  } catch (const std::exception &e) {
    std::fprintf(stderr, "memset-report: %s\n", e.what());
    return kSystem;
  }
}
