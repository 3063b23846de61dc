// A run file of a program campaign, written and read strictly.

#include "report/formats/program_file.hpp"

#include "report/sys/errors.hpp"
#include "report/sys/text.hpp"

namespace report {

namespace {
constexpr const char *kKeys[] = {"wall_us", "cpu_us"};
} // namespace

bool is_program_text(const std::string &text) {
  const std::string mark = std::string(kProgramMark) + "\n";
  return text.compare(0, mark.size(), mark) == 0;
}

std::string program_text(const ProgramRun &r) {
  return std::string(kProgramMark) + "\n" + kKeys[0] + ": " + std::to_string(r.wall_us) + "\n" +
         kKeys[1] + ": " + std::to_string(r.cpu_us) + "\n";
}

ProgramRun parse_program(const std::string &text, const std::string &name) {
  if (text.empty())
    throw InputError(name + ": empty file");
  if (text.size() > kMaxProgramBytes)
    throw InputError(name + ": more than " + std::to_string(kMaxProgramBytes) + " bytes");
  uint64_t v[2] = {0, 0};
  size_t line = 0, start = 0;
  for (; start < text.size() && line < 3; line++) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos)
      throw InputError(name + ":" + std::to_string(line + 1) +
                       ": the last line has no line feed (a file cut short?)");
    std::string s = text.substr(start, end - start);
    start = end + 1;
    if (line == 0) {
      if (s != kProgramMark)
        throw InputError(name + ":1: not a program run of this version (expected '" + kProgramMark +
                         "')");
      continue;
    }
    std::string prefix = std::string(kKeys[line - 1]) + ": ";
    auto n = s.compare(0, prefix.size(), prefix) == 0 ? parse_whole(s.substr(prefix.size()))
                                                      : std::nullopt;
    if (!n || std::to_string(*n) != s.substr(prefix.size()))
      throw InputError(name + ":" + std::to_string(line + 1) + ": expected '" + prefix +
                       "MICROSECONDS', found '" + printable(s) + "'");
    v[line - 1] = *n;
  }
  if (line < 3)
    throw InputError(name + ": cut short after line " + std::to_string(line));
  if (start != text.size())
    throw InputError(name + ":4: more than a run's three lines");
  return {v[0], v[1]};
}

} // namespace report
