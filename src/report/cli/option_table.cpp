// Every option of the command line: what it does, and its help beside it.

#include "report/cli/option_table.hpp"

#include "report/campaign/machine.hpp"
#include "report/cli/option_values.hpp"
#include "report/sys/environment.hpp"
#include "report/sys/errors.hpp"
#include "report/sys/text.hpp"

#include <algorithm>
#include <sched.h>

namespace report {

namespace {

// The limits of values, each with its reason.
// A week: beyond it a campaign outlives the machine's state it measures.
constexpr double kMaxBudget = 7 * 86400;
// Half the base or more is no "smallest difference" any more: a verdict of
// `same` within it would say nothing.
constexpr double kMaxThresholdPct = 50;
// An allowance of x11 each way already leaves no unpaired interval informative.
constexpr double kMaxDriftPct = 1000;
// A gate slower by ten times is no gate.
constexpr double kMaxGatePct = 1000;
// A capture stops a server after at most a day, as --timeout does a run.
constexpr double kMaxDuration = 86400;
// Counter frequencies from 1 MHz to 1 THz cover every real counter.
constexpr double kMinMhz = 1, kMaxMhz = 1e6;

// Before the first --variant an --env, --preload or --bench is common;
// after, the variant's own.
std::vector<std::string> &env_list(Options &o) {
  return o.campaign.variants.empty() ? o.campaign.env : o.campaign.variants.back().env;
}

// What a setting's check needs of this machine.
const MachineLimits kLimits{
    [](const std::string &level) { return level_footprint(level, cache_sizes()); },
    memory_available};

} // namespace

const OptionDef *setting_option(const char *name) {
  // Made once, from the rows, the first time a command's table asks.
  static const std::vector<OptionDef> all = [] {
    std::vector<OptionDef> out;
    for (const SettingRow &r : setting_rows())
      if (r.option)
        out.push_back({r.option, nullptr, r.arg, nullptr, r.help, &r});
    return out;
  }();
  for (const auto &d : all)
    if (std::string(d.name) == name)
      return &d;
  throw std::logic_error(std::string("no campaign setting has the option ") + name);
}

void apply_option(const OptionDef &def, Options &o, const std::string &value) {
  if (def.setting)
    def.setting->ask(o.campaign, value, kLimits);
  else
    def.apply(o, value);
}

const OptionDef kOut{"--out", nullptr, "DIR",
                     [](Options &o, const std::string &v) {
                       if (v.empty())
                         throw UsageError("--out needs a folder");
                       o.campaign.out = v;
                     },
                     "campaign folder (created if missing)"};
const OptionDef kRuns{"--runs", nullptr, "N",
                      [](Options &o, const std::string &v) {
                        o.campaign.runs = (unsigned)count_value("--runs", v, kMaxRounds);
                        if (o.campaign.runs == 0)
                          throw UsageError("--runs must be at least 1");
                      },
                      "runs, or rounds with variants"};
const OptionDef kBudget{"--budget", nullptr, "S",
                        [](Options &o, const std::string &v) {
                          o.campaign.budget = decimal_value("--budget", v, 1, kMaxBudget);
                        },
                        "with variants: seconds to run rounds until decided (default {budget})"};
const OptionDef kWall{"--wall", nullptr, nullptr,
                      [](Options &o, const std::string &) { o.wall = true; },
                      "a program campaign's wall-clock time, not its CPU time"};
const OptionDef kEnv{"--env", nullptr, "NAME=VALUE",
                     [](Options &o, const std::string &v) {
                       check_env_entry(v, env_list(o));
                       env_list(o).push_back(v);
                     },
                     "add a variable to the benchmark's environment; repeatable,\n"
                     "e.g. GLIBC_TUNABLES=glibc.cpu.x86_rep_stosb_threshold=8192"};
const OptionDef kBench{"--bench", nullptr, "PATH",
                       [](Options &o, const std::string &v) {
                         check_bench(v);
                         if (o.campaign.variants.empty())
                           o.campaign.bench = v;
                         else
                           o.campaign.variants.back().bench = v;
                       },
                       "benchmark executable (default: memset-bench beside this tool)"};
const OptionDef kVariant{"--variant", nullptr, "NAME",
                         [](Options &o, const std::string &v) {
                           check_variant_name(v, o.campaign.variants);
                           o.campaign.variants.push_back({v, {}, std::nullopt, std::nullopt});
                         },
                         "start a variant (letters, digits, '_', '.', '-'); an --env,\n"
                         "--preload or --bench after it is its own, and replaces a\n"
                         "common one of the same name"};
// LD_PRELOAD=PATH, the path made absolute.
const OptionDef kPreload{"--preload", nullptr, "PATH",
                         [](Options &o, const std::string &v) {
                           std::string entry = preload_entry(preload_path(v));
                           check_env_entry(entry, env_list(o));
                           env_list(o).push_back(entry);
                         },
                         "LD_PRELOAD=PATH, checked to be the memset the benchmark binds"};
// Each in the scope it is given in: the campaign's before the first
// --variant, the variant's after it.
namespace {
LibcAsked &asked_in_scope(Options &o, const char *option, const std::string &v) {
  if (v.empty())
    throw UsageError(std::string(option) + " needs a path");
  o.libc_asked.resize(o.campaign.variants.size() + 1);
  return o.libc_asked.back();
}
} // namespace

const OptionDef kLibc{
    "--libc", nullptr, "PATH",
    [](Options &o, const std::string &v) { asked_in_scope(o, "--libc", v).libc = v; },
    "run through this C library: a glibc build tree or install\n"
    "prefix, started by its own loader with its library path"};
const OptionDef kLoader{
    "--loader", nullptr, "FILE",
    [](Options &o, const std::string &v) { asked_in_scope(o, "--loader", v).loader = v; },
    "with --library-path: the C library's dynamic loader, as\n"
    "given, instead of one --libc finds"};
const OptionDef kLibraryPath{"--library-path", nullptr, "DIRS",
                             [](Options &o, const std::string &v) {
                               asked_in_scope(o, "--library-path", v).library_path = v;
                             },
                             "with --loader: the folders, ':'-separated, it loads\n"
                             "libc.so.6 and the rest from, first to last"};
const OptionDef kMore{"--more", nullptr, "DIR",
                      [](Options &o, const std::string &v) {
                        if (v.empty())
                          throw UsageError("--more needs a folder");
                        o.more = v;
                      },
                      "add rounds to the interleaved campaign in DIR"};
const OptionDef kCsv{"--csv", nullptr, nullptr,
                     [](Options &o, const std::string &) { o.format = Format::Csv; },
                     "'length' and one column per set, all 32768 lengths\n"
                     "(no comparisons: --threshold, --drift, --bands,\n"
                     "--fail-if-slower do not go with it)"};
const OptionDef kJson{"--json", nullptr, nullptr,
                      [](Options &o, const std::string &) { o.format = Format::Json; },
                      "Google Benchmark's JSON layout (for its compare.py)"};
const OptionDef kBenchout{"--benchout", nullptr, nullptr,
                          [](Options &o, const std::string &) { o.format = Format::Benchout; },
                          "glibc's string-benchmark JSON (bench-memset.out), for\n"
                          "its compare_strings.py: the sets as ifuncs, ticks per call"};
const OptionDef kLengthList{"--lengths", nullptr, "LIST",
                            [](Options &o, const std::string &v) { o.lengths = lengths_value(v); },
                            "lengths in the JSON or --benchout: comma-separated, or 'all'\n"
                            "(default: powers of two and their midpoints)"};
const OptionDef kUnit{"--unit", nullptr, "ticks|ns",
                      [](Options &o, const std::string &v) {
                        if (v != "ticks" && v != "ns")
                          throw UsageError("--unit takes 'ticks' or 'ns', got '" + v + "'");
                        o.unit = v == "ns" ? Unit::Ns : Unit::Ticks;
                      },
                      "levels in ticks (default) or ns, rates in bytes/tick or GB/s"};
const OptionDef kTscMhz{"--tsc-mhz", nullptr, "F",
                        [](Options &o, const std::string &v) {
                          o.tsc_mhz = decimal_value("--tsc-mhz", v, kMinMhz, kMaxMhz);
                        },
                        "counter frequency for result files without a campaign\n"
                        "record (with --unit ns, --json, or a capture's 'per run')"};
const OptionDef kStatistic{"--statistic", nullptr, "S",
                           [](Options &o, const std::string &v) {
                             if (v != "low" && v != "median")
                               throw UsageError("--statistic takes 'low' or 'median', got '" + v +
                                                "'");
                             o.compare.statistic = v == "low" ? Statistic::Low : Statistic::Median;
                           },
                           "low: the mean of the fastest 15% of runs (default), which\n"
                           "sees through interference; median: the typical run"};
const OptionDef kThreshold{
    "--threshold", nullptr, "PCT",
    [](Options &o, const std::string &v) {
      std::optional<double> pct = parse_decimal(v);
      if (!pct || !(*pct > 0) || !(*pct < kMaxThresholdPct))
        throw UsageError("--threshold takes a percentage above 0 and below 50, got '" + v + "'");
      o.compare.threshold = *pct / 100;
    },
    "smallest difference called faster or slower, and the\n"
    "margin of 'same' (default {threshold}; a campaign's own, as\n"
    "it recorded it, where it has one)"};
const OptionDef kDrift{"--drift", nullptr, "PCT",
                       [](Options &o, const std::string &v) {
                         o.compare.drift = decimal_value("--drift", v, 0, kMaxDriftPct) / 100;
                       },
                       "allowance for drift between separate campaigns (default 70)"};
const OptionDef kBands{"--bands", nullptr, nullptr,
                       [](Options &o, const std::string &) { o.bands = true; },
                       "one 'band:' line per band after each comparison's ranges"};
const OptionDef kGate{"--fail-if-slower", nullptr, "PCT",
                      [](Options &o, const std::string &v) {
                        o.fail_if_slower =
                            decimal_value("--fail-if-slower", v, 0, kMaxGatePct) / 100;
                      },
                      "exit 3 if any range (or a program's time) is slower by more\n"
                      "than PCT percent, and 8 if any is unclear"};
const OptionDef kAllowUnclear{"--allow-unclear", nullptr, nullptr,
                              [](Options &o, const std::string &) { o.allow_unclear = true; },
                              "let unclear ranges pass the gate"};
const OptionDef kWeights{"--weights", nullptr, "FILE",
                         [](Options &o, const std::string &v) {
                           if (v.empty())
                             throw UsageError("--weights needs a file");
                           o.weights = v;
                         },
                         "a program's lengths and how often each is called: each\n"
                         "set's expected cost per call, and each comparison's\n"
                         "weighted ratio with its interval and verdict; from\n"
                         "'capture', also the change per run of the command"};
const OptionDef kWeightsFormat{"--weights-format", nullptr, "F",
                               [](Options &o, const std::string &v) {
                                 if (!weights_format_of(v, o.weights_format))
                                   throw UsageError("--weights-format takes auto, plain, map, "
                                                    "hist or json, got '" +
                                                    v + "'");
                               },
                               "auto (default), plain ('LENGTH COUNT' lines), map\n"
                               "(bpftrace '@[40]: 1234'), hist (bpftrace hist() and\n"
                               "lhist()), json (bpftrace -f json)"};
const OptionDef kOutput{"--output", "-o", "FILE",
                        [](Options &o, const std::string &v) {
                          if (v.empty())
                            throw UsageError("-o needs a file name");
                          o.plot_out = v;
                        },
                        "the plot file; an existing one is not replaced"};
const OptionDef kForce{"--force", nullptr, nullptr,
                       [](Options &o, const std::string &) { o.force = true; },
                       "replace FILE if it exists"};
const OptionDef kHtml{"--html", nullptr, "FILE",
                      [](Options &o, const std::string &v) {
                        if (v.empty())
                          throw UsageError("--html needs a file name");
                        o.html = v;
                      },
                      "also write the answer as one self-contained HTML page:\n"
                      "verdicts, intervals, plots and the record; an existing\n"
                      "FILE is not replaced without --force"};
const OptionDef kHosts{"--hosts", nullptr, "FILE",
                       [](Options &o, const std::string &v) {
                         if (v.empty())
                           throw UsageError("--hosts needs a file");
                         o.hosts = v;
                       },
                       "the hosts, one a line, in GNU parallel's sshlogin format\n"
                       "(host, user@host, 4/host, 'ssh -p 2222 host', ':' for this one)"};
const OptionDef kSsh{"--ssh", nullptr, "COMMAND",
                     [](Options &o, const std::string &v) {
                       if (v.empty())
                         throw UsageError("--ssh needs a command");
                       o.ssh = v;
                     },
                     "the ssh command GNU parallel logs in with (its --ssh),\n"
                     "e.g. 'ssh -F fleet_config'; default ssh"};
const OptionDef kLogY{"--log-y", nullptr, nullptr,
                      [](Options &o, const std::string &) { o.log_y = true; },
                      "logarithmic ticks axis too"};
const OptionDef kFrom{"--from", nullptr, "DIR",
                      [](Options &o, const std::string &v) {
                        if (v.empty())
                          throw UsageError("--from needs a folder");
                        if (o.from.empty())
                          o.from = v;
                        o.froms.push_back(v);
                      },
                      "read a campaign already run, without running"};

} // namespace report

namespace report {

const OptionDef kCaptureOut{"--out", nullptr, "FILE",
                            [](Options &o, const std::string &v) {
                              if (v.empty())
                                throw UsageError("--out needs a file name");
                              o.capture_out = v;
                            },
                            "the capture file (the plain weights format, with '#'\n"
                            "lines on the command and its run)"};
const OptionDef kDuration{"--duration", nullptr, "S",
                          [](Options &o, const std::string &v) {
                            o.duration = decimal_value("--duration", v, 0.001, kMaxDuration);
                          },
                          "stop a command that runs until stopped (a server) after\n"
                          "S seconds, SIGINT first, then SIGTERM; what it called is kept"};

} // namespace report
