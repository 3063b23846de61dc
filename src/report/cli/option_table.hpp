#pragma once
// Each option of the command line, once: its names, its value, what it
// does to the options and its help text. The parser and --help both read
// it, so that help cannot drift from what an option does. For cli/ alone.

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
  // A campaign setting's: its row checks and sets it (apply is nullptr).
  const SettingRow *setting = nullptr;
};

// A campaign setting's option, made from its row (formats/campaign_settings).
const OptionDef *setting_option(const char *name);

// Sets what `def` asks for from its value.
void apply_option(const OptionDef &def, Options &o, const std::string &value);

// An option as one command takes it, with that command's own help where
// the option's own would not fit there ("as for run").
struct CommandOption {
  const OptionDef *def;
  const char *help = nullptr; // nullptr: the option's own
};

// Every option, as commands() lists them.
extern const OptionDef kWall;
extern const OptionDef kOut, kRuns, kBudget, kEnv, kBench, kVariant, kPreload, kLibc, kLoader,
    kLibraryPath, kMore, kCsv, kJson, kBenchout, kLengthList, kUnit, kTscMhz, kStatistic,
    kThreshold, kDrift, kBands, kGate, kAllowUnclear, kWeights, kWeightsFormat, kOutput, kForce,
    kHtml, kHosts, kSsh, kLogY, kFrom, kCaptureOut, kDuration;

} // namespace report
