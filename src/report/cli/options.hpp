#pragma once
// The command line's words as typed, checked options: which options each
// command takes, their values, and the combinations it refuses.

#include "report/campaign/campaign.hpp"
#include "report/formats/weights.hpp"
#include "report/render/render.hpp"
#include "report/stats/compare.hpp"

#include <optional>
#include <set>
#include <string>
#include <vector>

namespace report {

enum class Format { Text, Csv, Json, Benchout };

// A C library asked for on the command line, before its tree is looked at:
// --libc PATH, or --loader FILE with --library-path DIRS.
struct LibcAsked {
  std::string libc, loader, library_path;
  bool any() const { return !libc.empty() || !loader.empty() || !library_path.empty(); }
};

struct Options {
  std::string command;         // run, summary, plot, tune; "" for the tool's own help
  bool help = false;           // show the command's usage and do nothing else
  std::set<std::string> given; // the options given, by their long names
  bool wall = false;           // summary of a program campaign: wall-clock time
  CampaignOptions campaign;    // run, tune
  std::vector<std::string> sets;
  CompareOptions compare;
  std::optional<double> tsc_mhz;
  Format format = Format::Text;
  Unit unit = Unit::Ticks;
  std::optional<std::vector<size_t>> lengths;
  std::optional<double> fail_if_slower; // a fraction: 0.05 for 5%
  std::string plot_out;
  std::string html;     // --html FILE: the answer as a page too
  std::string hosts;    // fleet --hosts FILE
  std::string ssh;      // fleet --ssh COMMAND
  bool version = false; // --version
  bool force = false, log_y = false;
  std::string from;               // tune --from DIR: the first
  std::vector<std::string> froms; // every --from, in order
  std::string more;               // run --more DIR
  bool bands = false, allow_unclear = false;
  std::string weights; // --weights FILE
  WeightsFormat weights_format = WeightsFormat::Auto;
  std::string capture_out;                // capture --out FILE
  double duration = 0;                    // capture --duration S
  std::vector<std::string> command_words; // capture: the command and its arguments
  // The C library asked for, the campaign's first, then one per variant.
  std::vector<LibcAsked> libc_asked = {LibcAsked{}};
  std::vector<std::string> words; // the command line as typed, without the program

  bool has(const char *option) const { return given.count(option) > 0; }
};

// Parses `words` (argv without the program). `default_bench` is the
// benchmark beside this tool. Throws UsageError for every option a command
// does not take, every bad value and every combination it cannot honour.
Options parse_command_line(const std::vector<std::string> &words, const std::string &default_bench);

} // namespace report
