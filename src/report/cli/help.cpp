// The help of memset-report: the tool's own, and each command's, made from
// the same definitions the parser uses.

#include "report/cli/help.hpp"

#include "report/cli/command_table.hpp"
#include "report/formats/record_values.hpp"
#include "report/stats/compare.hpp"
#include "report/stats/stopping.hpp"

#include <algorithm>
#include <cstring>

namespace report {

namespace {

// The defaults a help text names, as "{name}": written from the constants
// that hold them, so that help cannot drift from what a campaign does.
std::string with_defaults(std::string text) {
  const std::pair<const char *, std::string> defaults[] = {
      {"{budget}", plain_decimal(kDefaultBudget)},
      {"{min_span}", plain_decimal(kDefaultMinSpan)},
      {"{min_rounds}", std::to_string(kMinRounds)},
      {"{threshold}", plain_decimal(CompareOptions{}.threshold * 100)},
  };
  for (const auto &[name, value] : defaults)
    for (size_t at = text.find(name); at != std::string::npos; at = text.find(name, at))
      text.replace(at, std::strlen(name), value);
  return text;
}

// The tool's own usage: each command's brief line from the table.
std::string tool_usage() {
  std::string s = "usage: memset-report COMMAND [OPTIONS]\n"
                  "\n"
                  "Repeated runs, robust summaries, comparisons and plots for memset-bench.\n"
                  "\n"
                  "commands:\n";
  auto line = [&](const std::string &name, const char *brief) {
    s += "  " + name + std::string(9 - name.size(), ' ');
    for (const char *b = brief; *b; b++)
      s += *b == '\n' ? std::string("\n") + std::string(11, ' ') : std::string(1, *b);
    s += "\n";
  };
  for (const auto &c : commands())
    line(c.name, c.brief);
  line("help", "'memset-report help COMMAND' shows a command's options");
  return s + "\n"
             "A SET is a result file, a campaign folder written by 'run' (all its run-*.txt\n"
             "files), or an interleaved campaign folder, which stands for all its variants.\n"
             "'memset-report COMMAND --help' tells more.\n";
}

// "  --out DIR" or "  -o, --output FILE".
std::string option_words(const OptionDef &d) {
  std::string w = "  ";
  if (d.alias)
    w += std::string(d.alias) + ", ";
  w += d.name;
  if (d.arg)
    w += std::string(" ") + d.arg;
  return w;
}

// The options, their help in one column after the widest of them.
std::string option_lines(const CommandDef &c) {
  size_t width = 0;
  for (const auto &o : c.options)
    width = std::max(width, option_words(*o.def).size());
  std::string s;
  for (const auto &o : c.options) {
    std::string words = option_words(*o.def);
    s += words + std::string(width + 2 - words.size(), ' ');
    for (const char *h = o.help ? o.help : o.def->help; *h; h++)
      s += *h == '\n' ? "\n" + std::string(width + 2, ' ') : std::string(1, *h);
    s += "\n";
  }
  return s;
}

} // namespace

std::string usage_text(const std::string &command) {
  if (command.empty())
    return tool_usage();
  const CommandDef *c = find_command(command);
  if (!c)
    return "";
  std::string s = std::string(c->synopsis) + "\n" + c->description + "\n" + option_lines(*c);
  if (*c->note)
    s += std::string("\n") + c->note;
  return with_defaults(s);
}

} // namespace report
