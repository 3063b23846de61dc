// The command line's words as typed, checked options: the usage texts that
// --help shows, one per command.

#include "options.hpp"

namespace report {

namespace {

const char *const kToolUsage =
    "usage: memset-report COMMAND [OPTIONS]\n"
    "\n"
    "Repeated runs, robust summaries, comparisons and plots for memset-bench.\n"
    "\n"
    "commands:\n"
    "  run      run the benchmark repeatedly into a new campaign folder, optionally\n"
    "           several variants interleaved round by round\n"
    "  summary  per-length medians, floor, steps and shifted runs of result sets, and\n"
    "           ranges of lengths where one set is faster or slower than the first\n"
    "  plot     draw median ticks against fill length with gnuplot\n"
    "  tune     measure which memset the C library should pick on this machine\n"
    "  help     'memset-report help COMMAND' shows a command's options\n"
    "\n"
    "A SET is a result file, a campaign folder written by 'run' (all its run-*.txt\n"
    "files), or an interleaved campaign folder, which stands for all its variants.\n"
    "'memset-report COMMAND --help' tells more.\n";

const char *const kRunUsage =
    "usage: memset-report run --out DIR [--runs N] [--cpu K] [--timeout S] [--seed N]\n"
    "                         [--env NAME=VALUE]... [--bench PATH]\n"
    "                         [--variant NAME [--env NAME=VALUE]... [--bench PATH]]...\n"
    "\n"
    "Runs memset-bench N times, each a separate process, and records the machine\n"
    "and conditions in DIR/context.txt. Without --variant the runs are\n"
    "DIR/run-001.txt, DIR/run-002.txt, ... With variants, N is the number of\n"
    "rounds: each round runs every variant once, in an order shuffled afresh for\n"
    "each round, into DIR/NAME/run-NNN.txt, so that runs with one number were\n"
    "taken side by side. DIR must not hold a campaign already; nothing is replaced.\n"
    "\n"
    "  --out DIR          campaign folder (created if missing)\n"
    "  --runs N           runs, or rounds with variants (default 11)\n"
    "  --cpu K            pin every run to processor K (default: no pinning)\n"
    "  --timeout S        kill a run that takes longer than S seconds and stop\n"
    "                     (default 60; 0: no limit)\n"
    "  --seed N           seed of the round orders (default: a fresh one; recorded)\n"
    "  --env NAME=VALUE   add a variable to the benchmark's environment; repeatable,\n"
    "                     e.g. GLIBC_TUNABLES=glibc.cpu.x86_rep_stosb_threshold=8192\n"
    "  --bench PATH       benchmark executable (default: memset-bench beside this tool)\n"
    "  --variant NAME     start a variant (letters, digits, '_', '.', '-'); an --env or\n"
    "                     --bench after it is its own, and replaces a common one of the\n"
    "                     same name\n"
    "\n"
    "A failing run stops the campaign; complete runs (rounds) stay.\n";

const char *const kSummaryUsage =
    "usage: memset-report summary [--csv | --json [--lengths LIST] | --unit ticks|ns]\n"
    "                             [--tsc-mhz F] [--threshold PCT] [--drift PCT]\n"
    "                             [--fail-if-slower PCT] [--] SET...\n"
    "\n"
    "For each set: the counter's resolution, the floor (median of lengths 1 to 16:\n"
    "the counter readings and the call themselves), the steps (lengths where the\n"
    "median curve jumps up and stays up), runs shifted as a whole, and a table at\n"
    "powers of two. Every set after the first is compared with the first: one\n"
    "'range:' line per range of lengths, with the ratio (B over A), its 95%\n"
    "interval and a verdict, paired round by round for variants of one interleaved\n"
    "campaign.\n"
    "\n"
    "  --csv                 'length' and one median column per set, all 32768 lengths\n"
    "                        (no comparisons: --threshold, --drift, --fail-if-slower\n"
    "                        do not go with it)\n"
    "  --json                Google Benchmark's JSON layout (for its compare.py)\n"
    "  --lengths LIST        lengths in the JSON: comma-separated, or 'all'\n"
    "                        (default: powers of two and their midpoints)\n"
    "  --unit ticks|ns       medians in ticks (default) or ns, rates in bytes/tick or GB/s\n"
    "  --tsc-mhz F           counter frequency for result files without a campaign\n"
    "                        record (with --unit ns or --json)\n"
    "  --threshold PCT       smallest difference called faster or slower (default 2)\n"
    "  --drift PCT           allowance for drift between separate campaigns (default 70)\n"
    "  --fail-if-slower PCT  exit 3 if any range is slower by more than PCT percent\n";

const char *const kPlotUsage =
    "usage: memset-report plot -o FILE [--force] [--log-y] [--threshold PCT] [--drift PCT]\n"
    "                          [--] SET...\n"
    "\n"
    "Draws the median ticks of each set against fill length (logarithmic length\n"
    "axis) with its interquartile range shaded and its steps marked, with gnuplot.\n"
    "With two or more sets a lower panel shows each set's ratio to the first, with\n"
    "the comparison's ranges and intervals. FILE ends in .png or .svg.\n"
    "\n"
    "  -o, --output FILE   the plot file; an existing one is not replaced\n"
    "  --force             replace FILE if it exists\n"
    "  --log-y             logarithmic ticks axis too\n"
    "  --threshold PCT     as for summary (default 2)\n"
    "  --drift PCT         as for summary (default 70)\n";

const char *const kTuneUsage =
    "usage: memset-report tune --out DIR [--runs N] [--cpu K] [--timeout S] [--seed N]\n"
    "                          [--bench PATH] [--threshold PCT]\n"
    "       memset-report tune --from DIR [--threshold PCT]\n"
    "\n"
    "Runs one interleaved campaign whose variants differ only in how glibc picks\n"
    "and runs memset (the default; rep stosb at every length and never; each\n"
    "instruction-set mask this processor allows), then prints the fastest variant\n"
    "per range of lengths, the rep stosb crossover and one line of advice:\n"
    "'advice: GLIBC_TUNABLES=...' or 'advice: default'. The advice holds for this\n"
    "machine and this C library only.\n"
    "\n"
    "  --out DIR        campaign folder (as for run)\n"
    "  --runs N         rounds (default 11)\n"
    "  --cpu K, --timeout S, --seed N, --bench PATH   as for run\n"
    "  --threshold PCT  smallest difference that counts (default 2)\n"
    "  --from DIR       advise from a tuning campaign already run, without running\n";

} // namespace

const char *usage_text(const std::string &command) {
  if (command.empty())
    return kToolUsage;
  if (command == "run")
    return kRunUsage;
  if (command == "summary")
    return kSummaryUsage;
  if (command == "plot")
    return kPlotUsage;
  if (command == "tune")
    return kTuneUsage;
  return nullptr;
}

} // namespace report
