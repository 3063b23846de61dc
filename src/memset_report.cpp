// memset-report: repeated runs of memset-bench, robust summaries,
// comparisons and plots of its result files.

#include "report/analysis.hpp"
#include "report/campaign.hpp"
#include "report/plot.hpp"
#include "report/result_file.hpp"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <unistd.h>
#include <vector>

using namespace report;

namespace {

const char *kUsage =
    "usage: memset-report COMMAND [OPTIONS]\n"
    "\n"
    "Repeated runs, robust summaries, comparisons and plots for memset-bench.\n"
    "\n"
    "commands:\n"
    "  run      run the benchmark N times into a new campaign folder\n"
    "  summary  per-length medians, floor, steps and shifted runs of result sets\n"
    "  plot     draw median ticks against fill length with gnuplot\n"
    "\n"
    "A SET is a campaign folder written by 'run' (all its run-*.txt files) or one\n"
    "result file. 'memset-report COMMAND --help' tells more.\n";

const char *kRunUsage =
    "usage: memset-report run --out DIR [--runs N] [--cpu K] [--env NAME=VALUE]...\n"
    "                         [--bench PATH]\n"
    "\n"
    "Runs memset-bench N times, each a separate process writing DIR/run-001.txt,\n"
    "DIR/run-002.txt, ..., and records the machine and conditions in\n"
    "DIR/context.txt. DIR must not hold a campaign already; nothing is replaced.\n"
    "\n"
    "  --out DIR          campaign folder (created if missing)\n"
    "  --runs N           number of runs (default 11)\n"
    "  --cpu K            pin every run to processor K (default: no pinning)\n"
    "  --env NAME=VALUE   add a variable to the benchmark's environment; repeatable,\n"
    "                     e.g. GLIBC_TUNABLES=glibc.cpu.x86_rep_stosb_threshold=8192\n"
    "  --bench PATH       benchmark executable (default: memset-bench beside this tool)\n"
    "\n"
    "A failing run stops the campaign with that run's exit status.\n";

const char *kSummaryUsage =
    "usage: memset-report summary [--csv] SET...\n"
    "\n"
    "For each set: the floor (median ticks of lengths 1 to 16, the cost of the\n"
    "counter readings and call themselves), the steps (lengths where the median\n"
    "curve jumps up and stays up), runs shifted as a whole against the set's\n"
    "median, and a table at powers of two. With two or more sets, a comparison\n"
    "against the first.\n"
    "\n"
    "  --csv   print 'length' and one median column per set, for all 32768 lengths\n";

const char *kPlotUsage =
    "usage: memset-report plot -o FILE [--force] SET...\n"
    "\n"
    "Draws the median ticks of each set against fill length (logarithmic length\n"
    "axis) with gnuplot. FILE ends in .png or .svg.\n"
    "\n"
    "  -o, --output FILE   the plot file; an existing one is not replaced\n"
    "  --force             replace FILE if it exists\n";

struct UsageError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

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
    return w;
  }
};

unsigned parse_count(const std::string &option, const std::string &s, unsigned long max) {
  bool digits = !s.empty() && s.size() <= 9 && s.find_first_not_of("0123456789") == s.npos;
  unsigned long v = digits ? std::stoul(s) : 0;
  if (!digits || v > max)
    throw UsageError(option + " takes a whole number up to " + std::to_string(max) + ", got '" + s +
                     "'");
  return (unsigned)v;
}

std::string beside_this_tool(const std::string &name) {
  std::error_code ec;
  auto self = std::filesystem::read_symlink("/proc/self/exe", ec);
  return ec ? name : (self.parent_path() / name).string();
}

std::string ticks(double v) {
  char buf[32];
  std::snprintf(buf, sizeof buf, v == std::floor(v) ? "%.0f" : "%.1f", v);
  return buf;
}

// The sets named on the command line, each with its per-length median.
struct Loaded {
  std::vector<Set> sets;
  std::vector<Levels> medians;
};

Loaded load_sets(const std::vector<std::string> &paths) {
  if (paths.empty())
    throw UsageError("no SET given");
  Loaded l;
  for (const auto &p : paths) {
    l.sets.push_back(load_set(p));
    l.medians.push_back(median_curve(l.sets.back().runs));
  }
  return l;
}

int cmd_run(Args &a) {
  CampaignOptions opt;
  opt.bench = beside_this_tool("memset-bench");
  while (!a.done()) {
    if (a.is_flag("--help") || a.is_flag("-h")) {
      std::fputs(kRunUsage, stdout);
      return 0;
    } else if (a.is_option("--out"))
      opt.out = a.value;
    else if (a.is_option("--runs"))
      opt.runs = parse_count("--runs", a.value, 100000);
    else if (a.is_option("--cpu"))
      opt.cpu = (int)parse_count("--cpu", a.value, 1u << 20);
    else if (a.is_option("--env"))
      opt.env.push_back(a.value);
    else if (a.is_option("--bench"))
      opt.bench = a.value;
    else
      throw UsageError("run: unknown argument '" + a.words[a.i] + "'");
  }
  if (opt.out.empty())
    throw UsageError("run needs --out DIR");
  if (opt.runs == 0)
    throw UsageError("--runs must be at least 1");
  return run_campaign(opt);
}

void print_summary(const std::vector<Set> &sets, const std::vector<Levels> &medians) {
  for (size_t s = 0; s < sets.size(); s++) {
    const Set &set = sets[s];
    const Levels &med = medians[s];
    Levels spread = spread_curve(set.runs, med);
    double floor = floor_of(med);
    std::printf("%s== [%zu] %s (%zu run%s)\n", s ? "\n" : "", s + 1, set.label.c_str(),
                set.runs.size(), set.runs.size() == 1 ? "" : "s");
    for (const auto &e : set.env)
      std::printf("env: %s\n", e.c_str());
    std::printf("floor: %s ticks\n", ticks(floor).c_str());
    std::string steps;
    for (size_t l : find_steps(med))
      steps += (steps.empty() ? "" : ", ") + std::to_string(l);
    std::printf("steps: %s\n", steps.empty() ? "none" : steps.c_str());
    std::string shifted;
    for (size_t r = 0; r < set.runs.size() && set.runs.size() > 2; r++) {
      double f = shift_factor(set.runs[r], med);
      if (std::fabs(f - 1) > kShiftTolerance) {
        char buf[32];
        std::snprintf(buf, sizeof buf, " x%.2f", f);
        shifted += (shifted.empty() ? "" : ", ") + set.files[r] + buf;
      }
    }
    std::printf("shifted runs: %s\n", shifted.empty() ? "none" : shifted.c_str());
    std::printf("%8s %10s %12s %11s %8s\n", "length", "median", "above_floor", "bytes/tick",
                "spread");
    for (size_t len = 1; len <= kLengths; len *= 2) {
      double m = med[len - 1], above = m - floor;
      char rate[32] = "-";
      if (above > 0)
        std::snprintf(rate, sizeof rate, "%.2f", len / above);
      std::printf("%8zu %10.1f %12.1f %11s %7.1f%%\n", len, m, above, rate, 100 * spread[len - 1]);
    }
  }
  if (sets.size() < 2)
    return;
  std::printf("\n== comparison: median ticks, ratio to [1]\n%8s", "length");
  for (size_t s = 0; s < sets.size(); s++) {
    std::printf(" %10s", ("[" + std::to_string(s + 1) + "]").c_str());
    if (s)
      std::printf(" %-7s", "(ratio)");
  }
  std::printf("\n");
  for (size_t len = 1; len <= kLengths; len *= 2) {
    std::printf("%8zu", len);
    double base = medians[0][len - 1];
    for (size_t s = 0; s < sets.size(); s++) {
      double m = medians[s][len - 1];
      std::printf(" %10.1f", m);
      if (s)
        std::printf(base > 0 ? " (%5.2f)" : " (    -)", m / base);
    }
    std::printf("\n");
  }
}

void print_csv(const std::vector<Set> &sets, const std::vector<Levels> &medians) {
  auto field = [](const std::string &s) {
    if (s.find_first_of(",\"\n") == std::string::npos)
      return s;
    std::string q = "\"";
    for (char c : s)
      q += c == '"' ? std::string("\"\"") : std::string(1, c);
    return q + "\"";
  };
  std::string out = "length";
  for (const auto &set : sets)
    out += "," + field(set.label);
  out += "\n";
  for (size_t k = 0; k < kLengths; k++) {
    out += std::to_string(k + 1);
    for (const auto &m : medians)
      out += "," + ticks(m[k]);
    out += "\n";
  }
  std::fwrite(out.data(), 1, out.size(), stdout);
}

int cmd_summary(Args &a) {
  bool csv = false;
  std::vector<std::string> paths;
  while (!a.done()) {
    if (a.is_flag("--help") || a.is_flag("-h")) {
      std::fputs(kSummaryUsage, stdout);
      return 0;
    } else if (a.is_flag("--csv"))
      csv = true;
    else
      paths.push_back(a.set_path("summary"));
  }
  Loaded l = load_sets(paths);
  if (csv)
    print_csv(l.sets, l.medians);
  else
    print_summary(l.sets, l.medians);
  return 0;
}

int cmd_plot(Args &a) {
  std::string out;
  bool force = false;
  std::vector<std::string> paths;
  while (!a.done()) {
    if (a.is_flag("--help") || a.is_flag("-h")) {
      std::fputs(kPlotUsage, stdout);
      return 0;
    } else if (a.is_option("-o") || a.is_option("--output"))
      out = a.value;
    else if (a.is_flag("--force"))
      force = true;
    else
      paths.push_back(a.set_path("plot"));
  }
  if (out.empty())
    throw UsageError("plot needs -o FILE");
  terminal_for(out); // refuse a bad ending before reading anything
  Loaded l = load_sets(paths);
  std::vector<std::string> labels;
  for (const auto &set : l.sets)
    labels.push_back(set.label);
  plot_curves(labels, l.medians, out, force);
  return 0;
}

} // namespace

int main(int argc, char **argv) {
  Args a;
  a.words.assign(argv + 1, argv + argc);
  try {
    if (a.done())
      throw UsageError("no command given");
    std::string cmd = a.words[a.i++];
    if (cmd == "--help" || cmd == "-h" || cmd == "help") {
      std::fputs(kUsage, stdout);
      return 0;
    }
    if (cmd == "run")
      return cmd_run(a);
    if (cmd == "summary")
      return cmd_summary(a);
    if (cmd == "plot")
      return cmd_plot(a);
    throw UsageError("unknown command '" + cmd + "'");
  } catch (const UsageError &e) {
    std::fprintf(stderr, "memset-report: %s (see memset-report --help)\n", e.what());
    return 2;
  } catch (const std::exception &e) {
    std::fprintf(stderr, "memset-report: %s\n", e.what());
    return 1;
  }
}
