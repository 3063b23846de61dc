#pragma once
// The definitions of the command line: each option with what it does to the
// options and its help text, and each command with its options, its
// synopsis and its description. The parser and --help both read them, so
// that help cannot drift from what an option does. For cli/ alone.

#include "report/cli/options.hpp"

#include <string>
#include <vector>

namespace report {

using Apply = void (*)(Options &, const std::string &);

struct OptionDef {
  const char *name, *alias; // "--output", "-o"
  const char *arg;          // its value's placeholder ("FILE"); nullptr: takes none
  Apply apply;
  const char *help; // what --help says of it; '\n' breaks its lines
};

// An option as one command takes it, with that command's own help where
// the option's own would not fit there ("as for run").
struct CommandOption {
  const OptionDef *def;
  const char *help = nullptr; // nullptr: the option's own
};

struct CommandDef {
  const char *name;
  std::vector<CommandOption> options;
  bool takes_sets;
  const char *synopsis;       // the "usage:" lines
  const char *description;    // what the command does
  const char *note;           // after the options; "" for none
  bool takes_command = false; // after its options (and '--'): a command to run, whole
};

// Every option, as commands() lists them.
extern const OptionDef kOut, kRuns, kBudget, kCpu, kTimeout, kSeed, kEnv, kBench, kVariant,
    kPreload, kMore, kCsv, kJson, kLengthList, kUnit, kTscMhz, kStatistic, kThreshold, kDrift,
    kBands, kGate, kAllowUnclear, kWeights, kWeightsFormat, kOutput, kForce, kLogY, kFrom,
    kCaptureOut, kDuration;

// The commands, each with its options in the order --help lists them.
const std::vector<CommandDef> &commands();
const CommandDef *find_command(const std::string &name);

} // namespace report
