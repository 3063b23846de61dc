// The commands of memset-report: their options, in the order --help lists
// them, with the help of each where it differs from the option's own, and
// the texts around them.

#include "report/cli/command_table.hpp"

#include "report/cli/commands.hpp"
#include "report/cli/help.hpp"
#include "report/sys/errors.hpp"

#include <algorithm>

namespace report {

namespace {

constexpr const char *kAsForRun = "as for run";
constexpr const char *kAsForSummary = "as for summary";

const CommandDef kRun{
    "run",
    {{&kOut},
     {&kRuns},
     {&kBudget},
     {setting_option("--min-span")},
     {&kThreshold, "the difference the comparisons stop on and the record\n"
                   "keeps for summary (default {threshold})"},
     {setting_option("--cpu")},
     {setting_option("--timeout")},
     {setting_option("--seed")},
     {&kEnv},
     {&kBench},
     {&kVariant},
     {&kPreload},
     {&kLibc},
     {&kLoader},
     {&kLibraryPath},
     {setting_option("--engine")},
     {setting_option("--random-lengths")},
     {setting_option("--align")},
     {setting_option("--footprint")},
     {setting_option("--replay")},
     {&kMore}},
    false,
    "usage: memset-report run --out DIR [--runs N | --budget S [--min-span S]] [--threshold PCT]\n"
    "                         [--cpu K] [--timeout S] [--seed N] [--env NAME=VALUE]...\n"
    "                         [--preload PATH] [--bench PATH] [LIBC]\n"
    "                         [--variant NAME [--env NAME=VALUE]... [--preload PATH]\n"
    "                         [--bench PATH] [LIBC]]...\n"
    "                         [--engine bench|batch [--random-lengths | --replay CAPTURE]\n"
    "                         [--align K|random|capture] [--footprint BYTES|L1|L2|LLC|memory]]\n"
    "       memset-report run --more DIR [--runs N | --budget S]\n"
    "LIBC: --libc PATH | --loader FILE --library-path DIRS\n",
    "Runs memset-bench repeatedly, each run a separate process, and records the\n"
    "machine and conditions in DIR/context.txt. Without --variant: N runs (default\n"
    "11), DIR/run-001.txt, DIR/run-002.txt, ... With variants, rounds: each round\n"
    "runs every variant once, in an order shuffled afresh for each round, into\n"
    "DIR/NAME/run-NNN.txt, so that runs with one number were taken side by side.\n"
    "Rounds go on until every band of every comparison with the first variant is\n"
    "decided (faster, slower or same, at --threshold PCT), at least {min_rounds} and\n"
    "for at most S seconds (default {budget}); --runs N fixes the count instead. A\n"
    "replay's figure is looked at only once its rounds span {min_span} seconds\n"
    "(--min-span), a curve's from the {min_rounds}th round. DIR must not hold a campaign\n"
    "already; nothing is replaced. --more DIR adds rounds to an interleaved\n"
    "campaign with its own settings, on the same machine.\n",
    "A failing run stops the campaign; complete runs (rounds) stay.\n",
    false,
    "run the benchmark repeatedly into a new campaign folder, optionally\n"
    "several variants interleaved round by round",
    run_command};

const CommandDef kSummary{
    "summary",
    {{&kCsv},
     {&kJson},
     {&kBenchout},
     {&kLengthList},
     {&kUnit},
     {&kTscMhz},
     {&kStatistic},
     {&kThreshold},
     {&kDrift},
     {&kBands},
     {&kGate},
     {&kAllowUnclear},
     {&kWeights},
     {&kWeightsFormat},
     {&kWall},
     {&kHtml},
     {&kForce, "replace the --html page if it exists"}},
    true,
    "usage: memset-report summary [--csv | --json [--lengths LIST] | --unit ticks|ns]\n"
    "                             [--statistic low|median] --benchout [--lengths LIST] [--] "
    "SET...\n"
    "                             [--tsc-mhz F] [--statistic low|median] [--threshold PCT]\n"
    "                             [--drift PCT] [--bands]\n"
    "                             [--weights FILE [--weights-format F]] [--html FILE [--force]]\n"
    "                             [--fail-if-slower PCT [--allow-unclear]] [--] SET...\n"
    "       memset-report summary [--statistic low|median] [--threshold PCT] [--wall]\n"
    "                             [--html FILE [--force]]\n"
    "                             [--fail-if-slower PCT [--allow-unclear]] REPLAY|PROGRAM...\n",
    "For each set: the counter's resolution, the floor (lengths 1 to 16: the\n"
    "counter readings and the call themselves), the steps (lengths where the curve\n"
    "jumps up and stays up), runs shifted as a whole, and a table at powers of\n"
    "two of the chosen statistic (the low one unless --statistic median). Every\n"
    "set after the first is compared with the first: one 'range:' line per range\n"
    "of lengths, with the ratio (B over A), its interval and a verdict: faster,\n"
    "slower, same (shown within the threshold) or unclear. Variants of one\n"
    "interleaved campaign are resampled round by round.\n",
    "",
    false,
    "per-length levels (the low statistic unless asked for the median),\n"
    "floor, steps and shifted runs of result sets, and ranges of lengths\n"
    "where one set is faster or slower than the first",
    summary_command};

const CommandDef kPlot{
    "plot",
    {{&kOutput},
     {&kForce},
     {&kLogY},
     {&kStatistic, "as for summary (default low)"},
     {&kThreshold, "as for summary (default 2)"},
     {&kDrift, "as for summary (default 70)"},
     {&kWeights, "as for summary: the weighted ratio as a note"},
     {&kWeightsFormat, kAsForSummary}},
    true,
    "usage: memset-report plot -o FILE [--force] [--log-y] [--statistic low|median]\n"
    "                          [--threshold PCT] [--drift PCT]\n"
    "                          [--weights FILE [--weights-format F]] [--] SET...\n",
    "Draws each set's ticks per call against fill length (logarithmic length\n"
    "axis), of the chosen statistic (the low one unless --statistic median), with\n"
    "the interquartile range shaded and its steps marked, with gnuplot. With two\n"
    "or more sets a lower panel shows each set's ratio to the first, band by band\n"
    "with intervals coloured by verdict. FILE ends in .png or .svg.\n",
    "",
    false,
    "draw ticks per call against fill length with gnuplot",
    plot_command};

const CommandDef kTune{
    "tune",
    {{&kOut, "campaign folder (as for run)"},
     {&kRuns, "a fixed count of rounds instead"},
     {&kBudget, kAsForRun},
     {setting_option("--cpu"), kAsForRun},
     {setting_option("--timeout"), kAsForRun},
     {setting_option("--seed"), kAsForRun},
     {&kBench, kAsForRun},
     {&kLibc, "tune this C library: its tunables, against its own default"},
     {&kLoader, kAsForRun},
     {&kLibraryPath, kAsForRun},
     {setting_option("--engine"), kAsForRun},
     {setting_option("--random-lengths"), kAsForRun},
     {setting_option("--align"), kAsForRun},
     {setting_option("--footprint"), kAsForRun},
     {&kStatistic, "as for summary (default low)"},
     {&kThreshold, "smallest difference that counts (default 2)"},
     {&kFrom, "advise from a tuning campaign already run, without running;\n"
              "repeated, for campaigns whose fills landed in different\n"
              "places: each one's advice, then where they differ"},
     {&kWeights, "advise the setting best for this distribution of lengths and\n"
                 "slower at none of its lengths (as for summary)"},
     {&kWeightsFormat, kAsForSummary},
     {&kHtml, "also write the advice as one self-contained HTML page (as\n"
              "for summary); one campaign's"},
     {&kForce, "replace the --html page if it exists"}},
    false,
    "usage: memset-report tune --out DIR [--runs N | --budget S] [--cpu K] [--timeout S]\n"
    "                          [--seed N] [--bench PATH] [--engine bench|batch "
    "[--random-lengths]\n"
    "                          [--align K|random] [--footprint BYTES|L1|L2|LLC|memory]]\n"
    "                          [--libc PATH | --loader FILE --library-path DIRS]\n"
    "                          [--statistic low|median] [--threshold PCT]\n"
    "                          [--weights FILE [--weights-format F]] [--html FILE [--force]]\n"
    "       memset-report tune --from DIR [--from DIR]... [--statistic low|median] [--threshold "
    "PCT]\n"
    "                          [--weights FILE [--weights-format F]] [--html FILE [--force]]\n",
    "Runs one interleaved campaign whose variants differ only in how glibc picks\n"
    "and runs memset (the default; rep stosb at every length and never; each\n"
    "instruction-set mask this processor allows), until decided as 'run' does,\n"
    "then prints the fastest variant per range of lengths, the rep stosb crossover\n"
    "and one line of advice: 'advice: GLIBC_TUNABLES=...' for the setting decided\n"
    "nowhere slower and faster by the most, 'advice: default' where none is, or\n"
    "'advice: none yet' while a setting still undecided somewhere could gain more\n"
    "than the advice would. The advice holds for this machine and this C library\n"
    "only.\n",
    "",
    false,
    "measure which memset the C library should pick on this machine",
    tune_command};

const CommandDef kCensus{
    "census",
    {{&kOut, "campaign folder (as for run)"},
     {&kRuns, kAsForRun},
     {&kBudget, kAsForRun},
     {setting_option("--cpu"), kAsForRun},
     {setting_option("--timeout"), kAsForRun},
     {setting_option("--seed"), kAsForRun},
     {&kBench, kAsForRun},
     {setting_option("--engine"), kAsForRun},
     {setting_option("--random-lengths"), kAsForRun},
     {setting_option("--align"), kAsForRun},
     {setting_option("--footprint"), kAsForRun},
     {&kVariant, "add your own memset build (a shared library that exports\n"
                 "memset) as variant NAME; --preload PATH after it is the build"},
     {&kPreload, "the variant's library, checked to be the memset bound"},
     {&kLibc, "after --variant NAME: a whole C library as the entry, run\n"
              "through its own loader (as for run)"},
     {&kLoader, kAsForRun},
     {&kLibraryPath, kAsForRun},
     {&kStatistic, kAsForSummary},
     {&kThreshold, kAsForSummary},
     {&kFrom, "report on a census already run, without running"},
     {&kWeights, "rank by this program's lengths (as for summary) instead\n"
                 "of every length from 2 to 32768 alike"},
     {&kWeightsFormat, kAsForSummary},
     {&kJson, "the census as JSON: the ranking with each entry's verdict\n"
              "and its stretches, the fastest per range, the record"},
     {&kHtml, "also write the census as one self-contained HTML page (as\n"
              "for summary)"},
     {&kForce, "replace the --html page if it exists"}},
    false,
    "usage: memset-report census --out DIR [--runs N | --budget S] [--cpu K] [--timeout S]\n"
    "                            [--seed N] [--bench PATH] [--engine bench|batch "
    "[--random-lengths]\n"
    "                            [--align K|random] [--footprint BYTES|L1|L2|LLC|memory]]\n"
    "                            [--variant NAME --preload PATH | --variant NAME LIBC]...\n"
    "                            [--statistic low|median] [--threshold PCT]\n"
    "                            [--weights FILE [--weights-format F]] [--json]\n"
    "                            [--html FILE [--force]]\n"
    "       memset-report census --from DIR [--statistic low|median] [--threshold PCT]\n"
    "                            [--weights FILE [--weights-format F]] [--json]\n"
    "                            [--html FILE [--force]]\n"
    "LIBC: --libc PATH | --loader FILE --library-path DIRS\n",
    "Runs one interleaved campaign, until decided as 'run' does, of glibc's own\n"
    "choice of memset (default), glibc's other implementations (as tune picks\n"
    "them), the memset of each other C library the build found (musl, dietlibc,\n"
    "klibc, LLVM libc, preloaded from libmemset-NAME.so beside this tool) and your\n"
    "own preloads. Prints the fastest implementation, or group of equivalent\n"
    "ones, per range of lengths with its ratio to default, and a ranking of all by\n"
    "the expected cost per call, each with where it is faster, slower or the same\n"
    "as default, length by length. Every preload is checked to be the memset bound.\n",
    "",
    false,
    "rank glibc's memset against musl's, dietlibc's, klibc's, LLVM libc's\n"
    "and your own builds'",
    census_command};

const CommandDef kProgram{
    "program",
    {{&kOut},
     {&kRuns},
     {&kBudget},
     {setting_option("--min-span")},
     {&kThreshold, "the difference the comparisons stop on and the record\n"
                   "keeps for summary (default {threshold})"},
     {setting_option("--cpu")},
     {setting_option("--timeout"),
      "seconds a run of COMMAND may take before it is stopped (default 60; 0: no "
      "limit)"},
     {setting_option("--seed")},
     {&kEnv, "add a variable to COMMAND's environment; repeatable,\n"
             "e.g. GLIBC_TUNABLES=glibc.cpu.hwcaps=-AVX512F,-AVX512VL,-AVX2"},
     {&kVariant, "start a variant (letters, digits, '_', '.', '-'); an --env or\n"
                 "--preload after it is its own, and replaces a common one of\n"
                 "the same name"},
     {&kPreload, "LD_PRELOAD=PATH for COMMAND, checked to be the memset it binds"},
     {&kLibc, "run COMMAND through this C library's loader (as for run);\n"
              "COMMAND must be a program, not a script, and what it starts\n"
              "runs the system's library"},
     {&kLoader, kAsForRun},
     {&kLibraryPath, kAsForRun},
     {setting_option("--keep-output")}},
    false,
    "usage: memset-report program --out DIR [--runs N | --budget S [--min-span S]]\n"
    "                             [--threshold PCT] [--cpu K] [--timeout S] [--seed N]\n"
    "                             [--keep-output] [--env NAME=VALUE]... [LIBC]\n"
    "                             [--variant NAME [--env NAME=VALUE]... [--preload PATH]\n"
    "                             [LIBC]]... -- COMMAND [ARG...]\n"
    "LIBC: --libc PATH | --loader FILE --library-path DIRS\n",
    "Times COMMAND itself under each variant, as 'run' times the benchmark: rounds\n"
    "of every variant once, in an order shuffled afresh each round, until the CPU\n"
    "time (user and system, from wait4) of every variant is decided against the\n"
    "first's, at least {min_rounds} rounds, looked at only once they span {min_span} seconds\n"
    "(--min-span: a shared machine's spells last seconds) and for at most S\n"
    "seconds (default {budget}); --runs N fixes the count. Each run's wall-clock and CPU\n"
    "time go into\n"
    "DIR/NAME/run-NNN.txt, its output is discarded (--keep-output keeps it), and\n"
    "DIR/context.txt records the machine, the command and each variant's bound\n"
    "memset. 'memset-report summary DIR' gives each variant's 'time:' verdict;\n"
    "'memset-report run --more DIR' adds rounds.\n",
    "A run that cannot start, exits non-zero, is killed or outlasts --timeout stops\n"
    "the campaign with a line naming the variant and how it ended; complete\n"
    "rounds stay.\n",
    true,
    "time a program itself under each variant, interleaved until its\n"
    "CPU time is decided",
    program_command};

const CommandDef kCapture{
    "capture",
    {{&kCaptureOut}, {&kForce, "replace FILE if it exists"}, {&kDuration}},
    false,
    "usage: memset-report capture --out FILE [--force] [--duration S] -- COMMAND [ARG...]\n",
    "Runs COMMAND with libcapture-memset.so (beside this tool) preloaded, and counts\n"
    "the length of every call of memset and __memset_chk in every thread and\n"
    "process of its tree, without root or tracing. Writes FILE whole, in the\n"
    "plain weights format for --weights, after '#' lines that give the command,\n"
    "how it ended, its wall and CPU time, the calls, the processes that called,\n"
    "the C library and the date. With such a file, summary, tune and census\n"
    "print a 'per run:' line: what a change means in the command's own run time.\n"
    "COMMAND reads standard input unless that is a terminal; its output is its own.\n",
    "Not seen: calls inside the C library itself (its own memset is internal), and\n"
    "programs the loader does not preload into (static, setuid, or started with an\n"
    "environment cleared). Exit status: 0 captured; 9 COMMAND failed, its capture\n"
    "is written and marked 'outcome: failed'; 10 no calls captured, nothing written.\n",
    true,
    "count the lengths a command passes to memset, without root, for\n"
    "--weights; the answer then comes per run of that command",
    capture_command};

const CommandDef kFleet{
    "fleet",
    {{&kHosts},
     {&kOut, "the fleet's folder: each host's campaign comes back into DIR/HOST"},
     {&kSsh},
     {&kMore, "go on with every host's campaign in the fleet DIR (run --more\n"
              "there), on the hosts its record names"},
     {&kBudget, "with --more: each host's run --more runs until decided for\n"
                "at most S seconds more"}},
    false,
    "usage: memset-report fleet --hosts FILE --out DIR [--ssh COMMAND] -- CAMPAIGN [ARG...]\n"
    "       memset-report fleet --more DIR [--budget S] [--ssh COMMAND]\n"
    "CAMPAIGN: run, tune, census or program, with its options but --out\n",
    "Runs the same campaign on every host of FILE at once, through GNU parallel\n"
    "over ssh: each host runs it alone, with its own memset-report (which must be\n"
    "on its PATH, of this version: checked first), in a scratch folder that GNU\n"
    "parallel brings back whole into DIR/HOST with rsync and then removes. Each\n"
    "host's progress shows prefixed with its name. DIR/fleet.txt records the\n"
    "campaign and how each host ended. 'memset-report summary DIR' compares\n"
    "within each machine and then across them.\n",
    "Exit status: 0 every host's campaign came back; 11 one or more did not (each\n"
    "is named, with why: unreachable, missing, version, failed, interrupted,\n"
    "not-back), the others' folders are kept; 130 interrupted.\n",
    true,
    "run one campaign on many hosts over ssh (GNU parallel), each\n"
    "host's folder back into one fleet folder",
    fleet_command};

} // namespace

const std::vector<CommandDef> &commands() {
  static const std::vector<CommandDef> c = {kRun,    kSummary, kPlot,    kTune,
                                            kCensus, kProgram, kCapture, kFleet};
  return c;
}

int dispatch(const Options &o) {
  if (o.version) {
    write_out(std::string("memset-report ") + kVersion + "\n");
    return kOk;
  }
  if (o.help) {
    write_out(usage_text(o.command));
    return kOk;
  }
  if (const CommandDef *c = find_command(o.command))
    return c->run(o);
  throw UsageError("unknown command '" + o.command + "'");
}

const CommandDef *find_command(const std::string &name) {
  auto it = std::find_if(commands().begin(), commands().end(),
                         [&](const CommandDef &c) { return name == c.name; });
  return it == commands().end() ? nullptr : &*it;
}

} // namespace report
