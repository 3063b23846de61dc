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
    "  census   rank glibc's memset against musl's, dietlibc's, klibc's, LLVM libc's\n"
    "           and your own builds'\n"
    "  help     'memset-report help COMMAND' shows a command's options\n"
    "\n"
    "A SET is a result file, a campaign folder written by 'run' (all its run-*.txt\n"
    "files), or an interleaved campaign folder, which stands for all its variants.\n"
    "'memset-report COMMAND --help' tells more.\n";

const char *const kRunUsage =
    "usage: memset-report run --out DIR [--runs N | --budget S] [--cpu K] [--timeout S]\n"
    "                         [--seed N] [--env NAME=VALUE]... [--preload PATH]\n"
    "                         [--bench PATH] [--variant NAME [--env NAME=VALUE]...\n"
    "                         [--preload PATH] [--bench PATH]]...\n"
    "       memset-report run --more DIR [--runs N | --budget S]\n"
    "\n"
    "Runs memset-bench repeatedly, each run a separate process, and records the\n"
    "machine and conditions in DIR/context.txt. Without --variant: N runs (default\n"
    "11), DIR/run-001.txt, DIR/run-002.txt, ... With variants, rounds: each round\n"
    "runs every variant once, in an order shuffled afresh for each round, into\n"
    "DIR/NAME/run-NNN.txt, so that runs with one number were taken side by side.\n"
    "Rounds go on until every band of every comparison with the first variant is\n"
    "decided (faster, slower or same), at least 11 and for at most S seconds\n"
    "(default 60); --runs N fixes the count instead. DIR must not hold a campaign\n"
    "already; nothing is replaced. --more DIR adds rounds to an interleaved\n"
    "campaign with its own settings, on the same machine.\n"
    "\n"
    "  --out DIR          campaign folder (created if missing)\n"
    "  --runs N           runs, or rounds with variants\n"
    "  --budget S         with variants: seconds to run rounds until decided (default 60)\n"
    "  --cpu K            pin every run to processor K (default: no pinning)\n"
    "  --timeout S        kill a run that takes longer than S seconds and stop\n"
    "                     (default 60; 0: no limit)\n"
    "  --seed N           seed of the round orders (default: a fresh one; recorded)\n"
    "  --env NAME=VALUE   add a variable to the benchmark's environment; repeatable,\n"
    "                     e.g. GLIBC_TUNABLES=glibc.cpu.x86_rep_stosb_threshold=8192\n"
    "  --bench PATH       benchmark executable (default: memset-bench beside this tool)\n"
    "  --variant NAME     start a variant (letters, digits, '_', '.', '-'); an --env,\n"
    "                     --preload or --bench after it is its own, and replaces a\n"
    "                     common one of the same name\n"
    "  --preload PATH     LD_PRELOAD=PATH, checked to be the memset the benchmark binds\n"
    "  --more DIR         add rounds to the interleaved campaign in DIR\n"
    "\n"
    "A failing run stops the campaign; complete runs (rounds) stay.\n";

const char *const kSummaryUsage =
    "usage: memset-report summary [--csv | --json [--lengths LIST] | --unit ticks|ns]\n"
    "                             [--tsc-mhz F] [--statistic low|median] [--threshold PCT]\n"
    "                             [--drift PCT] [--bands]\n"
    "                             [--weights FILE [--weights-format F]]\n"
    "                             [--fail-if-slower PCT [--allow-unclear]] [--] SET...\n"
    "\n"
    "For each set: the counter's resolution, the floor (lengths 1 to 16: the\n"
    "counter readings and the call themselves), the steps (lengths where the curve\n"
    "jumps up and stays up), runs shifted as a whole, and a table at powers of\n"
    "two. Every set after the first is compared with the first: one 'range:' line\n"
    "per range of lengths, with the ratio (B over A), its interval and a verdict:\n"
    "faster, slower, same (shown within the threshold) or unclear. Variants of one\n"
    "interleaved campaign are resampled round by round.\n"
    "\n"
    "  --csv                 'length' and one column per set, all 32768 lengths\n"
    "                        (no comparisons: --threshold, --drift, --bands,\n"
    "                        --fail-if-slower do not go with it)\n"
    "  --json                Google Benchmark's JSON layout (for its compare.py)\n"
    "  --lengths LIST        lengths in the JSON: comma-separated, or 'all'\n"
    "                        (default: powers of two and their midpoints)\n"
    "  --unit ticks|ns       levels in ticks (default) or ns, rates in bytes/tick or GB/s\n"
    "  --tsc-mhz F           counter frequency for result files without a campaign\n"
    "                        record (with --unit ns or --json)\n"
    "  --statistic S         low: the mean of the fastest 15% of runs (default), which\n"
    "                        sees through interference; median: the typical run\n"
    "  --threshold PCT       smallest difference called faster or slower, and the\n"
    "                        margin of 'same' (default 2)\n"
    "  --drift PCT           allowance for drift between separate campaigns (default 70)\n"
    "  --bands               one 'band:' line per band after each comparison's ranges\n"
    "  --fail-if-slower PCT  exit 3 if any range is slower by more than PCT percent, and\n"
    "                        8 if any range is unclear\n"
    "  --allow-unclear       let unclear ranges pass the gate\n"
    "  --weights FILE        a program's lengths and how often each is called: each\n"
    "                        set's expected cost per call, and each comparison's\n"
    "                        weighted ratio with its interval and verdict\n"
    "  --weights-format F    auto (default), plain ('LENGTH COUNT' lines), map\n"
    "                        (bpftrace '@[40]: 1234'), hist (bpftrace hist() and\n"
    "                        lhist()), json (bpftrace -f json)\n";

const char *const kPlotUsage =
    "usage: memset-report plot -o FILE [--force] [--log-y] [--statistic low|median]\n"
    "                          [--threshold PCT] [--drift PCT]\n"
    "                          [--weights FILE [--weights-format F]] [--] SET...\n"
    "\n"
    "Draws each set's ticks against fill length (logarithmic length axis) with the\n"
    "interquartile range shaded and its steps marked, with gnuplot. With two or\n"
    "more sets a lower panel shows each set's ratio to the first, band by band with\n"
    "intervals coloured by verdict. FILE ends in .png or .svg.\n"
    "\n"
    "  -o, --output FILE   the plot file; an existing one is not replaced\n"
    "  --force             replace FILE if it exists\n"
    "  --log-y             logarithmic ticks axis too\n"
    "  --statistic S       as for summary (default low)\n"
    "  --threshold PCT     as for summary (default 2)\n"
    "  --drift PCT         as for summary (default 70)\n"
    "  --weights FILE, --weights-format F   as for summary: the weighted ratio as a note\n";

const char *const kTuneUsage =
    "usage: memset-report tune --out DIR [--runs N | --budget S] [--cpu K] [--timeout S]\n"
    "                          [--seed N] [--bench PATH] [--statistic low|median]\n"
    "                          [--threshold PCT] [--weights FILE [--weights-format F]]\n"
    "       memset-report tune --from DIR [--statistic low|median] [--threshold PCT]\n"
    "                          [--weights FILE [--weights-format F]]\n"
    "\n"
    "Runs one interleaved campaign whose variants differ only in how glibc picks\n"
    "and runs memset (the default; rep stosb at every length and never; each\n"
    "instruction-set mask this processor allows), until decided as 'run' does,\n"
    "then prints the fastest variant per range of lengths, the rep stosb crossover\n"
    "and one line of advice: 'advice: GLIBC_TUNABLES=...', 'advice: default', or\n"
    "'advice: none yet' while bands are undecided. The advice holds for this\n"
    "machine and this C library only.\n"
    "\n"
    "  --out DIR        campaign folder (as for run)\n"
    "  --runs N         a fixed count of rounds instead\n"
    "  --budget S, --cpu K, --timeout S, --seed N, --bench PATH   as for run\n"
    "  --statistic S    as for summary (default low)\n"
    "  --threshold PCT  smallest difference that counts (default 2)\n"
    "  --from DIR       advise from a tuning campaign already run, without running\n"
    "  --weights FILE   advise the setting best for this distribution of lengths and\n"
    "                   slower at none of its lengths (--weights-format as for summary)\n";

const char *const kCensusUsage =
    "usage: memset-report census --out DIR [--runs N | --budget S] [--cpu K] [--timeout S]\n"
    "                            [--seed N] [--bench PATH] [--variant NAME --preload PATH]...\n"
    "                            [--statistic low|median] [--threshold PCT]\n"
    "                            [--weights FILE [--weights-format F]]\n"
    "       memset-report census --from DIR [--statistic low|median] [--threshold PCT]\n"
    "                            [--weights FILE [--weights-format F]]\n"
    "\n"
    "Runs one interleaved campaign, until decided as 'run' does, of glibc's own\n"
    "choice of memset (default), glibc's other implementations (as tune picks\n"
    "them), the memset of each other C library the build found (musl, dietlibc,\n"
    "klibc, LLVM libc, preloaded from libmemset-NAME.so beside this tool) and your\n"
    "own preloads. Prints the fastest implementation, or group of equivalent\n"
    "ones, per range of lengths with its ratio to default, and a ranking of all by\n"
    "the expected cost per call. Every preload is checked to be the memset bound.\n"
    "\n"
    "  --out DIR              campaign folder (as for run)\n"
    "  --runs N, --budget S, --cpu K, --timeout S, --seed N, --bench PATH   as for run\n"
    "  --variant NAME --preload PATH   add your own memset build (a shared library\n"
    "                         that exports memset) as variant NAME\n"
    "  --statistic S, --threshold PCT   as for summary\n"
    "  --weights FILE         rank by this program's lengths (as for summary) instead\n"
    "                         of every length from 2 to 32768 alike\n"
    "  --from DIR             report on a census already run, without running\n";

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
  if (command == "census")
    return kCensusUsage;
  return nullptr;
}

} // namespace report
