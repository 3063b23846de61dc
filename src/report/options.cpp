// The command line's words as typed, checked options: which options each
// command takes, their values, and the combinations it refuses.

#include "options.hpp"

#include "errors.hpp"
#include "option_values.hpp"

#include <algorithm>
#include <sched.h>

namespace report {

namespace {

// The limits of values, each with its reason.
// Linux knows at most 8192 processors; the affinity check names any other.
constexpr unsigned long kMaxCpu = 8191;
// A run takes well under a second; a limit beyond a day guards nothing.
constexpr double kMaxTimeout = 86400;
// A week: beyond it a campaign outlives the machine's state it measures.
constexpr double kMaxBudget = 7 * 86400;
// Seeds are recorded and read back as decimals that fit a signed 64-bit value.
constexpr unsigned long kMaxSeed = UINT64_MAX >> 1;
// A difference is a share of the base: 100% is everything it could be.
constexpr double kMaxThresholdPct = 100;
// An allowance of x11 each way already leaves no unpaired interval informative.
constexpr double kMaxDriftPct = 1000;
// A gate slower by ten times is no gate.
constexpr double kMaxGatePct = 1000;
// Counter frequencies from 1 MHz to 1 THz cover every real counter.
constexpr double kMinMhz = 1, kMaxMhz = 1e6;

using Apply = void (*)(Options &, const std::string &);
struct OptionDef {
  const char *name, *alias;
  bool takes_value;
  Apply apply;
};

const OptionDef kOut{"--out", nullptr, true, [](Options &o, const std::string &v) {
                       if (v.empty())
                         throw UsageError("--out needs a folder");
                       o.campaign.out = v;
                     }};
const OptionDef kRuns{"--runs", nullptr, true, [](Options &o, const std::string &v) {
                        o.campaign.runs = (unsigned)count_value("--runs", v, kMaxRounds);
                        if (o.campaign.runs == 0)
                          throw UsageError("--runs must be at least 1");
                      }};
const OptionDef kCpu{
    "--cpu", nullptr, true, [](Options &o, const std::string &v) {
      unsigned cpu = (unsigned)count_value("--cpu", v, kMaxCpu);
      cpu_set_t allowed;
      CPU_ZERO(&allowed);
      if (cpu >= CPU_SETSIZE || sched_getaffinity(0, sizeof allowed, &allowed) != 0 ||
          !CPU_ISSET(cpu, &allowed))
        throw UsageError("--cpu " + v + ": no such processor available to this process");
      o.campaign.cpu = cpu;
    }};
const OptionDef kTimeout{"--timeout", nullptr, true, [](Options &o, const std::string &v) {
                           o.campaign.timeout = decimal_value("--timeout", v, 0, kMaxTimeout);
                         }};
const OptionDef kBudget{"--budget", nullptr, true, [](Options &o, const std::string &v) {
                          o.campaign.budget = decimal_value("--budget", v, 1, kMaxBudget);
                        }};
const OptionDef kMore{"--more", nullptr, true, [](Options &o, const std::string &v) {
                        if (v.empty())
                          throw UsageError("--more needs a folder");
                        o.more = v;
                      }};
const OptionDef kStatistic{"--statistic", nullptr, true, [](Options &o, const std::string &v) {
                             if (v != "low" && v != "median")
                               throw UsageError("--statistic takes 'low' or 'median', got '" + v +
                                                "'");
                             o.compare.statistic = v == "low" ? Statistic::Low : Statistic::Median;
                           }};
const OptionDef kBands{"--bands", nullptr, false,
                       [](Options &o, const std::string &) { o.bands = true; }};
const OptionDef kAllowUnclear{"--allow-unclear", nullptr, false,
                              [](Options &o, const std::string &) { o.allow_unclear = true; }};
const OptionDef kWeights{"--weights", nullptr, true, [](Options &o, const std::string &v) {
                           if (v.empty())
                             throw UsageError("--weights needs a file");
                           o.weights = v;
                         }};
const OptionDef kWeightsFormat{
    "--weights-format", nullptr, true, [](Options &o, const std::string &v) {
      if (!weights_format_of(v, o.weights_format))
        throw UsageError("--weights-format takes auto, plain, map, hist or "
                         "json, got '" +
                         v + "'");
    }};
const OptionDef kSeed{"--seed", nullptr, true, [](Options &o, const std::string &v) {
                        o.campaign.seed = count_value("--seed", v, kMaxSeed);
                      }};
// Before the first --variant an --env or --bench is common; after, the variant's own.
const OptionDef kEnv{"--env", nullptr, true, [](Options &o, const std::string &v) {
                       auto &list = o.campaign.variants.empty() ? o.campaign.env
                                                                : o.campaign.variants.back().env;
                       check_env_entry(v, list);
                       list.push_back(v);
                     }};
const OptionDef kBench{"--bench", nullptr, true, [](Options &o, const std::string &v) {
                         check_bench(v);
                         if (o.campaign.variants.empty())
                           o.campaign.bench = v;
                         else
                           o.campaign.variants.back().bench = v;
                       }};
// --preload PATH: LD_PRELOAD=PATH (made absolute), common or the variant's own.
const OptionDef kPreload{"--preload", nullptr, true, [](Options &o, const std::string &v) {
                           std::string path = preload_path(v);
                           auto &list = o.campaign.variants.empty()
                                            ? o.campaign.env
                                            : o.campaign.variants.back().env;
                           check_env_entry("LD_PRELOAD=" + path, list);
                           list.push_back("LD_PRELOAD=" + path);
                         }};
const OptionDef kVariant{"--variant", nullptr, true, [](Options &o, const std::string &v) {
                           check_variant_name(v, o.campaign.variants);
                           o.campaign.variants.push_back({v, {}, std::nullopt});
                         }};
const OptionDef kThreshold{"--threshold", nullptr, true, [](Options &o, const std::string &v) {
                             o.compare.threshold =
                                 decimal_value("--threshold", v, 0, kMaxThresholdPct) / 100;
                           }};
const OptionDef kDrift{"--drift", nullptr, true, [](Options &o, const std::string &v) {
                         o.compare.drift = decimal_value("--drift", v, 0, kMaxDriftPct) / 100;
                       }};
const OptionDef kTscMhz{"--tsc-mhz", nullptr, true, [](Options &o, const std::string &v) {
                          o.tsc_mhz = decimal_value("--tsc-mhz", v, kMinMhz, kMaxMhz);
                        }};
const OptionDef kCsv{"--csv", nullptr, false,
                     [](Options &o, const std::string &) { o.format = Format::Csv; }};
const OptionDef kJson{"--json", nullptr, false,
                      [](Options &o, const std::string &) { o.format = Format::Json; }};
const OptionDef kLengthsOpt{"--lengths", nullptr, true,
                            [](Options &o, const std::string &v) { o.lengths = lengths_value(v); }};
const OptionDef kUnit{"--unit", nullptr, true, [](Options &o, const std::string &v) {
                        if (v != "ticks" && v != "ns")
                          throw UsageError("--unit takes 'ticks' or 'ns', got '" + v + "'");
                        o.unit = v == "ns" ? Unit::Ns : Unit::Ticks;
                      }};
const OptionDef kGate{"--fail-if-slower", nullptr, true, [](Options &o, const std::string &v) {
                        o.fail_if_slower =
                            decimal_value("--fail-if-slower", v, 0, kMaxGatePct) / 100;
                      }};
const OptionDef kOutput{"--output", "-o", true, [](Options &o, const std::string &v) {
                          if (v.empty())
                            throw UsageError("-o needs a file name");
                          o.plot_out = v;
                        }};
const OptionDef kForce{"--force", nullptr, false,
                       [](Options &o, const std::string &) { o.force = true; }};
const OptionDef kLogY{"--log-y", nullptr, false,
                      [](Options &o, const std::string &) { o.log_y = true; }};
const OptionDef kFrom{"--from", nullptr, true, [](Options &o, const std::string &v) {
                        if (v.empty())
                          throw UsageError("--from needs a folder");
                        o.from = v;
                      }};

struct CommandDef {
  const char *name;
  std::vector<const OptionDef *> options;
  bool takes_sets;
};

const std::vector<CommandDef> &commands() {
  static const std::vector<CommandDef> c = {
      {"run",
       {&kOut, &kMore, &kRuns, &kBudget, &kCpu, &kTimeout, &kSeed, &kEnv, &kBench, &kVariant,
        &kPreload},
       false},
      {"summary",
       {&kCsv, &kJson, &kLengthsOpt, &kUnit, &kTscMhz, &kStatistic, &kThreshold, &kDrift, &kBands,
        &kGate, &kAllowUnclear, &kWeights, &kWeightsFormat},
       true},
      {"plot",
       {&kOutput, &kForce, &kLogY, &kStatistic, &kThreshold, &kDrift, &kWeights, &kWeightsFormat},
       true},
      {"census",
       {&kOut, &kRuns, &kBudget, &kCpu, &kTimeout, &kSeed, &kBench, &kVariant, &kPreload,
        &kStatistic, &kThreshold, &kFrom, &kWeights, &kWeightsFormat},
       false},
      {"tune",
       {&kOut, &kRuns, &kBudget, &kCpu, &kTimeout, &kSeed, &kBench, &kStatistic, &kThreshold,
        &kFrom, &kWeights, &kWeightsFormat},
       false},
  };
  return c;
}

void refuse_together(const Options &o, const char *a, const char *b, const std::string &why) {
  if (o.has(a) && o.has(b))
    throw UsageError(std::string(a) + " and " + b + " do not go together: " + why);
}

// The combinations each command cannot honour.
void check_combinations(const Options &o) {
  if (o.command == "run") {
    if (!o.more.empty()) {
      for (const char *c :
           {"--out", "--variant", "--env", "--bench", "--cpu", "--timeout", "--seed"})
        refuse_together(o, "--more", c, "more rounds take the campaign's own settings");
    } else if (o.campaign.out.empty()) {
      throw UsageError("run needs --out DIR (or --more DIR)");
    }
    if (o.more.empty() && o.campaign.variants.empty() && o.has("--budget"))
      throw UsageError("--budget goes with --variant: a plain campaign runs a fixed count");
  }
  if (o.command == "run" || o.command == "tune")
    refuse_together(o, "--runs", "--budget", "a fixed count, or until decided");
  if (o.command == "summary") {
    refuse_together(o, "--csv", "--json", "choose one format");
    refuse_together(o, "--csv", "--unit", "CSV holds exact ticks");
    refuse_together(o, "--json", "--unit", "JSON holds both ns and ticks");
    for (const char *c : {"--threshold", "--drift", "--fail-if-slower", "--bands"})
      refuse_together(o, "--csv", c, "CSV holds no comparisons");
    refuse_together(o, "--json", "--bands", "the JSON holds every band");
    if (o.has("--allow-unclear") && !o.has("--fail-if-slower"))
      throw UsageError("--allow-unclear goes with --fail-if-slower");
    if (o.has("--lengths") && o.format != Format::Json)
      throw UsageError("--lengths goes with --json");
    if (o.has("--tsc-mhz") && o.unit != Unit::Ns && o.format != Format::Json)
      throw UsageError("--tsc-mhz is used only for times in ns: give --unit ns or --json");
  }
  if (o.command == "plot" && o.plot_out.empty())
    throw UsageError("plot needs -o FILE");
  if (o.command == "census") {
    for (const auto &v : o.campaign.variants)
      if (std::none_of(v.env.begin(), v.env.end(),
                       [](const std::string &e) { return e.rfind("LD_PRELOAD=", 0) == 0; }))
        throw UsageError("census --variant " + v.name + " needs --preload PATH");
    if (o.campaign.variants.empty() && o.has("--preload"))
      throw UsageError("census --preload goes after --variant NAME");
    refuse_together(o, "--from", "--variant", "--from reads a census already run");
  }
  if (o.command == "tune" || o.command == "census") {
    if (!o.from.empty()) {
      for (const char *c :
           {"--out", "--runs", "--budget", "--cpu", "--timeout", "--seed", "--bench"})
        refuse_together(o, "--from", c, "--from reads a campaign already run");
    } else if (o.campaign.out.empty()) {
      throw UsageError(o.command + " needs --out DIR (or --from DIR)");
    }
  }
  if (o.has("--weights-format") && !o.has("--weights"))
    throw UsageError("--weights-format goes with --weights");
  refuse_together(o, "--csv", "--weights", "CSV holds no comparisons");
  if (o.command == "summary" || o.command == "plot")
    if (o.sets.empty())
      throw UsageError("no SET given");
}

} // namespace

Options parse_command_line(const std::vector<std::string> &words,
                           const std::string &default_bench) {
  Options o;
  o.campaign.bench = default_bench;
  if (words.empty())
    throw UsageError("no command given");
  const std::string &first = words[0];
  if (first == "--help" || first == "-h" || first == "help") {
    o.help = true;
    if (words.size() > 2)
      throw UsageError("help takes at most one COMMAND");
    o.command = words.size() > 1 ? words[1] : "";
    if (!usage_text(o.command))
      throw UsageError("help: unknown command '" + o.command + "'");
    return o;
  }
  auto cmd = std::find_if(commands().begin(), commands().end(),
                          [&](const CommandDef &c) { return first == c.name; });
  if (cmd == commands().end())
    throw UsageError("unknown command '" + first + "'");
  o.command = cmd->name;

  bool options_ended = false;
  for (size_t i = 1; i < words.size(); i++) {
    const std::string &w = words[i];
    bool looks_like_option = !options_ended && w.size() > 1 && w[0] == '-';
    if (!looks_like_option) {
      if (!cmd->takes_sets)
        throw UsageError(o.command + ": unknown argument '" + w + "'");
      if (w.empty())
        throw UsageError(o.command + ": an empty SET path");
      o.sets.push_back(w);
      continue;
    }
    if (w == "--") {
      options_ended = true;
      continue;
    }
    if (w == "--help" || w == "-h") {
      o.help = true;
      return o;
    }
    std::string name = w.substr(0, w.find('=')), value;
    auto def = std::find_if(cmd->options.begin(), cmd->options.end(), [&](const OptionDef *s) {
      return name == s->name || (s->alias && name == s->alias);
    });
    if (def == cmd->options.end())
      throw UsageError(o.command + ": unknown option '" + w + "'");
    if ((*def)->takes_value) {
      if (name.size() < w.size())
        value = w.substr(name.size() + 1);
      else if (i + 1 < words.size())
        value = words[++i];
      else
        throw UsageError(std::string((*def)->name) + " needs a value");
    } else if (name.size() < w.size()) {
      throw UsageError(std::string((*def)->name) + " takes no value");
    }
    (*def)->apply(o, value);
    o.given.insert((*def)->name);
  }
  check_combinations(o);
  return o;
}

} // namespace report
