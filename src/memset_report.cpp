// memset-report: the command line. It parses the words into checked options,
// dispatches the command through src/report/cli's table, and maps what fails
// to an exit status.

#include "report/cli/command_table.hpp"
#include "report/cli/options.hpp"
#include "report/sys/environment.hpp"
#include "report/sys/errors.hpp"

#include <cstdio>
#include <string>
#include <vector>

using namespace report;

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
