// memset-report: the command line. It parses options and hands the work to
// src/report/: campaigns, summaries, comparisons, plots and tuning.

#include "report/campaign.hpp"
#include "report/errors.hpp"
#include "report/plot.hpp"
#include "report/render.hpp"
#include "report/summary.hpp"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

using namespace report;

namespace {

const char *kUsage =
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

const char *kRunUsage =
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

const char *kSummaryUsage =
    "usage: memset-report summary [--csv | --json [--lengths LIST]] [--unit ticks|ns]\n"
    "                             [--tsc-mhz F] [--threshold PCT] [--drift PCT]\n"
    "                             [--fail-if-slower PCT] SET...\n"
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
    "  --json                Google Benchmark's JSON layout (for its compare.py)\n"
    "  --lengths LIST        lengths in the JSON: comma-separated, or 'all'\n"
    "                        (default: powers of two and their midpoints)\n"
    "  --unit ticks|ns       medians in ticks (default) or ns, rates in bytes/tick or GB/s\n"
    "  --tsc-mhz F           counter frequency for sets without a campaign record\n"
    "  --threshold PCT       smallest difference called faster or slower (default 2)\n"
    "  --drift PCT           allowance for drift between separate campaigns (default 30)\n"
    "  --fail-if-slower PCT  exit 3 if any range is slower by more than PCT percent\n";

const char *kPlotUsage =
    "usage: memset-report plot -o FILE [--force] [--log-y] [--threshold PCT] [--drift PCT] SET...\n"
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
    "  --drift PCT         as for summary (default 30)\n";

const char *kTuneUsage =
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

// Command-line words of one subcommand, with "--opt VALUE" and "--opt=VALUE".
struct Args {
  std::vector<std::string> words;
  size_t i = 0;
  std::string value;

  bool done() const { return i >= words.size(); }
  bool is_flag(const char *name) {
    if (words[i] != name)
      return false;
    i++;
    return true;
  }
  bool is_option(const char *name) {
    const std::string &w = words[i];
    size_t n = std::strlen(name);
    if (w.compare(0, n, name) == 0 && w.size() > n && w[n] == '=') {
      value = w.substr(n + 1);
      i++;
      return true;
    }
    if (w != name)
      return false;
    if (i + 1 >= words.size())
      throw UsageError(std::string(name) + " needs a value");
    value = words[i + 1];
    i += 2;
    return true;
  }
  // The current word as a SET path; an unrecognised option is refused.
  std::string set_path(const char *command) {
    const std::string &w = words[i++];
    if (w.size() > 1 && w[0] == '-')
      throw UsageError(std::string(command) + ": unknown option '" + w + "'");
    if (w.empty())
      throw UsageError(std::string(command) + ": an empty SET path");
    return w;
  }
  [[noreturn]] void unknown(const char *command) {
    throw UsageError(std::string(command) + ": unknown argument '" + words[i] + "'");
  }
};

unsigned long parse_count(const std::string &option, const std::string &s, unsigned long max) {
  bool digits = !s.empty() && s.size() <= 19 && s.find_first_not_of("0123456789") == s.npos;
  unsigned long v = digits ? std::stoul(s) : 0;
  if (!digits || v > max)
    throw UsageError(option + " takes a whole number up to " + std::to_string(max) + ", got '" + s +
                     "'");
  return v;
}

double parse_number(const std::string &option, const std::string &s, double lo, double hi) {
  char *end = nullptr;
  double v = s.empty() ? NAN : std::strtod(s.c_str(), &end);
  if (s.empty() || *end || !(v >= lo && v <= hi))
    throw UsageError(option + " takes a number from " + std::to_string((int)lo) + " to " +
                     std::to_string((int)hi) + ", got '" + s + "'");
  return v;
}

std::string beside_this_tool(const std::string &name) {
  std::error_code ec;
  auto self = std::filesystem::read_symlink("/proc/self/exe", ec);
  return ec ? name : (self.parent_path() / name).string();
}

void write_out(const std::string &text) {
  if (std::fwrite(text.data(), 1, text.size(), stdout) != text.size() || std::fflush(stdout) != 0)
    throw SystemError(std::string("cannot write to standard output: ") + std::strerror(errno));
}

// Options that run and tune share; true if the current word was one.
bool campaign_option(Args &a, CampaignOptions &opt) {
  if (a.is_option("--out"))
    opt.out = a.value;
  else if (a.is_option("--runs"))
    opt.runs = (unsigned)parse_count("--runs", a.value, 100000);
  else if (a.is_option("--cpu"))
    opt.cpu = (int)parse_count("--cpu", a.value, 1u << 20);
  else if (a.is_option("--timeout"))
    opt.timeout = parse_number("--timeout", a.value, 0, 86400);
  else if (a.is_option("--seed"))
    opt.seed = parse_count("--seed", a.value, UINT64_MAX >> 1);
  else
    return false;
  return true;
}

int cmd_run(Args &a) {
  CampaignOptions opt;
  opt.bench = beside_this_tool("memset-bench");
  while (!a.done()) {
    if (a.is_flag("--help") || a.is_flag("-h")) {
      std::fputs(kRunUsage, stdout);
      return kOk;
    }
    if (campaign_option(a, opt))
      continue;
    if (a.is_option("--variant")) {
      opt.variants.push_back({a.value, {}, std::nullopt});
    } else if (a.is_option("--env")) {
      (opt.variants.empty() ? opt.env : opt.variants.back().env).push_back(a.value);
    } else if (a.is_option("--bench")) {
      if (opt.variants.empty())
        opt.bench = a.value;
      else
        opt.variants.back().bench = a.value;
    } else {
      a.unknown("run");
    }
  }
  run_campaign(opt);
  return kOk;
}

// Options of everything that reads sets.
struct ReadOptions {
  std::vector<std::string> paths;
  CompareOptions compare;
  std::optional<double> tsc_mhz;
};

bool read_option(Args &a, ReadOptions &o, const char *command) {
  if (a.is_option("--threshold"))
    o.compare.threshold = parse_number("--threshold", a.value, 0, 100) / 100;
  else if (a.is_option("--drift"))
    o.compare.drift = parse_number("--drift", a.value, 0, 1000) / 100;
  else if (a.is_option("--tsc-mhz"))
    o.tsc_mhz = parse_number("--tsc-mhz", a.value, 1, 1000000);
  else if (a.done() || a.words[a.i].empty() || a.words[a.i][0] != '-' || a.words[a.i] == "-")
    o.paths.push_back(a.set_path(command));
  else
    return false;
  return true;
}

Report load_report(const ReadOptions &o) {
  if (o.paths.empty())
    throw UsageError("no SET given");
  std::vector<Set> sets;
  for (const auto &p : o.paths)
    for (auto &s : load_sets(p))
      sets.push_back(std::move(s));
  return build_report(std::move(sets), o.compare, o.tsc_mhz);
}

void need_frequency(const Report &r, const char *why) {
  for (size_t s = 0; s < r.sets.size(); s++)
    if (!r.mhz[s])
      throw UsageError(
          std::string(why) + ": '" + r.sets[s].label +
          "' has no measured counter frequency (no campaign record); give --tsc-mhz F");
}

std::vector<size_t> parse_lengths(const std::string &s) {
  std::vector<size_t> out;
  if (s == "all") {
    for (size_t k = 1; k <= kLengths; k++)
      out.push_back(k);
    return out;
  }
  size_t start = 0;
  while (start <= s.size()) {
    size_t end = s.find(',', start);
    if (end == std::string::npos)
      end = s.size();
    out.push_back(parse_count("--lengths", s.substr(start, end - start), kLengths));
    if (out.back() == 0)
      throw UsageError("--lengths: lengths run from 1 to 32768");
    start = end + 1;
  }
  return out;
}

int cmd_summary(Args &a) {
  enum { Text, Csv, Json } format = Text;
  Unit unit = Unit::Ticks;
  std::optional<double> fail_if_slower;
  std::optional<std::vector<size_t>> lengths;
  ReadOptions o;
  while (!a.done()) {
    if (a.is_flag("--help") || a.is_flag("-h")) {
      std::fputs(kSummaryUsage, stdout);
      return kOk;
    } else if (a.is_flag("--csv")) {
      format = Csv;
    } else if (a.is_flag("--json")) {
      format = Json;
    } else if (a.is_option("--lengths")) {
      lengths = parse_lengths(a.value);
    } else if (a.is_option("--unit")) {
      if (a.value != "ticks" && a.value != "ns")
        throw UsageError("--unit takes 'ticks' or 'ns', got '" + a.value + "'");
      unit = a.value == "ns" ? Unit::Ns : Unit::Ticks;
    } else if (a.is_option("--fail-if-slower")) {
      fail_if_slower = parse_number("--fail-if-slower", a.value, 0, 1000) / 100;
    } else if (!read_option(a, o, "summary")) {
      a.unknown("summary");
    }
  }
  if (lengths && format != Json)
    throw UsageError("--lengths goes with --json");
  if (o.paths.empty())
    throw UsageError("no SET given");
  Report r = load_report(o);
  if (format == Json) {
    need_frequency(r, "--json gives times in ns");
    write_out(render_json(r, lengths ? *lengths : default_json_lengths()));
  } else if (format == Csv) {
    write_out(render_csv(r));
  } else {
    if (unit == Unit::Ns)
      need_frequency(r, "--unit ns");
    write_out(render_text(r, unit));
  }
  if (fail_if_slower)
    for (const auto &c : r.comparisons)
      for (const auto &rg : c.ranges)
        if (rg.verdict == Verdict::Slower && rg.ratio > 1 + *fail_if_slower) {
          char buf[64];
          std::snprintf(buf, sizeof buf, "%.1f%% > %.1f%%", 100 * (rg.ratio - 1),
                        100 * *fail_if_slower);
          throw Failure(kSlower, "[" + std::to_string(c.other + 1) + "] " + r.sets[c.other].label +
                                     " is slower than [1] " + r.sets[0].label + " over " +
                                     std::to_string(rg.from) + ".." + std::to_string(rg.to) +
                                     " by " + buf + " (--fail-if-slower)");
        }
  return kOk;
}

int cmd_plot(Args &a) {
  std::string out;
  bool force = false;
  PlotOptions popt;
  ReadOptions o;
  while (!a.done()) {
    if (a.is_flag("--help") || a.is_flag("-h")) {
      std::fputs(kPlotUsage, stdout);
      return kOk;
    } else if (a.is_option("-o") || a.is_option("--output")) {
      out = a.value;
    } else if (a.is_flag("--force")) {
      force = true;
    } else if (a.is_flag("--log-y")) {
      popt.log_y = true;
    } else if (!read_option(a, o, "plot")) {
      a.unknown("plot");
    }
  }
  if (out.empty())
    throw UsageError("plot needs -o FILE");
  terminal_for(out); // refuse a bad ending before reading anything
  if (o.paths.empty())
    throw UsageError("no SET given");
  Report r = load_report(o);
  draw_plot(r, out, force, popt);
  return kOk;
}

int cmd_tune(Args &a) {
  TuneOptions t;
  t.campaign.bench = beside_this_tool("memset-bench");
  while (!a.done()) {
    if (a.is_flag("--help") || a.is_flag("-h")) {
      std::fputs(kTuneUsage, stdout);
      return kOk;
    }
    if (campaign_option(a, t.campaign))
      continue;
    if (a.is_option("--bench")) {
      t.campaign.bench = a.value;
    } else if (a.is_option("--threshold")) {
      t.compare.threshold = parse_number("--threshold", a.value, 0, 100) / 100;
    } else if (a.is_option("--from")) {
      t.from = a.value;
    } else {
      a.unknown("tune");
    }
  }
  if (t.from.empty() && t.campaign.out.empty())
    throw UsageError("tune needs --out DIR (or --from DIR)");
  write_out(render_tune(run_tune(t)));
  return kOk;
}

int dispatch(Args &a) {
  if (a.done())
    throw UsageError("no command given");
  std::string cmd = a.words[a.i++];
  if (cmd == "--help" || cmd == "-h" || cmd == "help") {
    std::string topic = a.done() ? "" : a.words[a.i];
    const char *text = topic == "run"       ? kRunUsage
                       : topic == "summary" ? kSummaryUsage
                       : topic == "plot"    ? kPlotUsage
                       : topic == "tune"    ? kTuneUsage
                       : topic.empty()      ? kUsage
                                            : nullptr;
    if (!text)
      throw UsageError("help: unknown command '" + topic + "'");
    std::fputs(text, stdout);
    return kOk;
  }
  if (cmd == "run")
    return cmd_run(a);
  if (cmd == "summary")
    return cmd_summary(a);
  if (cmd == "plot")
    return cmd_plot(a);
  if (cmd == "tune")
    return cmd_tune(a);
  throw UsageError("unknown command '" + cmd + "'");
}

} // namespace

int main(int argc, char **argv) {
  Args a;
  a.words.assign(argv + 1, argv + argc);
  try {
    return dispatch(a);
  } catch (const UsageError &e) {
    std::fprintf(stderr, "memset-report: %s (see memset-report --help)\n", e.what());
    return e.status;
  } catch (const Failure &e) {
    std::fprintf(stderr, "memset-report: %s\n", e.what());
    return e.status;
  } catch (const std::exception &e) {
    std::fprintf(stderr, "memset-report: %s\n", e.what());
    return kSystem;
  }
}
