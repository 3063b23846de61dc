// memset-report: the command line. It parses the words into checked options,
// dispatches each command to src/report/, and writes what the renderers make.

#include "report/campaign.hpp"
#include "report/census.hpp"
#include "report/errors.hpp"
#include "report/machine.hpp"
#include "report/options.hpp"
#include "report/plot.hpp"
#include "report/render.hpp"
#include "report/sequential.hpp"
#include "report/summary.hpp"
#include "report/tune.hpp"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

using namespace report;

namespace {

std::string beside_this_tool(const std::string &name) {
  std::error_code ec;
  auto self = std::filesystem::read_symlink("/proc/self/exe", ec);
  return ec ? name : (self.parent_path() / name).string();
}

// Standard output is checked like every file: a full disk or a closed pipe
// is a failure, never a silent success.
void write_out(const std::string &text) {
  if (std::fwrite(text.data(), 1, text.size(), stdout) != text.size() || std::fflush(stdout) != 0)
    throw SystemError(std::string("cannot write to standard output: ") + std::strerror(errno));
}

// The sets with their summaries and comparisons. --tsc-mhz is for sets
// without a campaign record; given where every set has one, it would be ignored.
std::optional<Weights> weights_of(const Options &o) {
  if (o.weights.empty())
    return std::nullopt;
  return read_weights(o.weights, o.weights_format);
}

Report load_report(const Options &o) {
  Report r = build_report(load_all_sets(o.sets), o.compare, o.tsc_mhz, weights_of(o));
  r.weights_file = o.weights;
  if (o.tsc_mhz && std::all_of(r.sets.begin(), r.sets.end(), [](const SetReport &s) {
        return s.set.record.machine.tsc_mhz.has_value();
      }))
    throw UsageError("--tsc-mhz: every SET has its campaign's measured counter frequency");
  return r;
}

void need_frequency(const Report &r, const char *why) {
  for (const auto &s : r.sets)
    if (!s.mhz)
      throw UsageError(
          std::string(why) + ": '" + s.set.label +
          "' has no measured counter frequency (no campaign record); give --tsc-mhz F");
}

// The observer that stops an interleaved campaign once it is decided, with
// the runs (and looks) it already has.
Sequential observer_for(const std::vector<Set> &sets, const CampaignOptions &c,
                        const CompareOptions &compare) {
  std::vector<BandSeries> series;
  for (const auto &s : sets)
    series.push_back(band_series(s));
  while (series.size() < c.variants.size())
    series.push_back({});
  for (auto &s : series) // runs of one round were taken side by side
    s.campaign = c.out;
  // A campaign of a fixed size was looked at once, by whoever read it.
  unsigned looks = c.earlier ? std::max(1u, c.earlier->looks) : 0;
  return Sequential(std::move(series), compare, looks, c.done);
}

// Runs a campaign: a fixed count, or rounds until decided.
void campaign(const CampaignOptions &c, const CompareOptions &compare) {
  if (c.variants.empty() || (c.runs && !c.earlier)) {
    run_campaign(c);
    return;
  }
  std::vector<Set> sets = c.earlier ? load_sets(c.out) : std::vector<Set>{};
  Sequential seq = observer_for(sets, c, compare);
  run_campaign(c, &seq);
}

int cmd_run(const Options &o) {
  if (o.more.empty()) {
    campaign(o.campaign, o.compare);
    return kOk;
  }
  CampaignOptions c = continue_campaign(o.more);
  c.runs = o.campaign.runs;
  c.budget = o.campaign.budget;
  campaign(c, o.compare);
  return kOk;
}

int cmd_summary(const Options &o) {
  if (o.format == Format::Json)
    need_json_support(); // before reading anything
  Report r = load_report(o);
  if (o.format == Format::Json) {
    need_frequency(r, "--json gives times in ns");
    render_json(r, o.lengths ? *o.lengths : default_json_lengths(), write_out);
  } else if (o.format == Format::Csv) {
    write_out(render_csv(r));
  } else {
    if (o.unit == Unit::Ns)
      need_frequency(r, "--unit ns");
    write_out(render_text(r, o.unit, o.bands));
  }
  if (o.fail_if_slower)
    for (const auto &c : r.comparisons)
      if (const Range *rg = worst_slower(c); rg && rg->ratio > 1 + *o.fail_if_slower) {
        char by[64];
        std::snprintf(by, sizeof by, "%.1f%% > %.1f%%", 100 * (rg->ratio - 1),
                      100 * *o.fail_if_slower);
        throw Failure(kSlower, "[" + std::to_string(c.other + 1) + "] " +
                                   r.sets[c.other].set.label + " is slower than [1] " +
                                   r.sets[0].set.label + " over " + std::to_string(rg->from) +
                                   ".." + std::to_string(rg->to) + " by " + by +
                                   " (--fail-if-slower)");
      }
  // A gate that cannot decide must not pass.
  if (o.fail_if_slower && !o.allow_unclear)
    for (const auto &c : r.comparisons)
      for (const auto &rg : c.ranges)
        if (rg.verdict == Verdict::Unclear)
          throw Failure(kUndecided, "[" + std::to_string(c.other + 1) + "] " +
                                        r.sets[c.other].set.label + " against [1] " +
                                        r.sets[0].set.label + " is unclear over " +
                                        std::to_string(rg.from) + ".." + std::to_string(rg.to) +
                                        ": the gate cannot pass (--fail-if-slower; more rounds "
                                        "would decide, or --allow-unclear)");
  return kOk;
}

int cmd_plot(const Options &o) {
  terminal_for(o.plot_out); // refuse a bad ending before reading anything
  PlotOptions popt;
  popt.log_y = o.log_y;
  draw_plot(load_report(o), o.plot_out, o.force, popt);
  return kOk;
}

// The sets of an interleaved campaign whose first variant is glibc's own
// choice, as tune and census run them.
std::vector<Set> load_baseline_campaign(const std::string &dir, const char *what) {
  std::vector<Set> sets = load_sets(dir);
  if (sets.empty() || sets[0].label != "default" || sets[0].campaign.empty())
    throw InputError(dir + ": not " + what +
                     " (an interleaved campaign whose first variant is 'default')");
  return sets;
}

// GLIBC_TUNABLES set in this environment would be the baseline of some
// variants and be replaced in others.
void refuse_inherited_tunables(const char *command) {
  if (const char *t = std::getenv("GLIBC_TUNABLES"))
    throw UsageError(std::string(command) + ": GLIBC_TUNABLES is set in this environment ('" + t +
                     "'); unset it, so that 'default' is glibc's own choice");
}

// Runs the tuning campaign (unless --from names one), then advises.
int cmd_tune(const Options &o) {
  std::string dir = o.from;
  weights_of(o); // a bad --weights file is refused before a campaign runs
  if (dir.empty()) {
    check_tunable_libc(libc_version());
    refuse_inherited_tunables("tune");
    CampaignOptions c = o.campaign;
    for (const auto &v : tune_variants(cpu_flags()))
      c.variants.push_back({v.name, v.env, std::nullopt});
    campaign(c, o.compare);
    dir = c.out;
  }
  std::vector<Set> sets = load_baseline_campaign(dir, "a tuning campaign");
  check_tunable_libc(sets[0].record.machine.libc);
  write_out(render_advice(advise(std::move(sets), o.compare, weights_of(o))));
  return kOk;
}

// Runs the census campaign (unless --from names one): glibc's own choice
// and its distinct implementations, each C library's memset found beside
// this tool, and the user's own preloads; then ranks them.
int cmd_census(const Options &o) {
  std::optional<Weights> weights = weights_of(o);
  std::string dir = o.from;
  if (dir.empty()) {
    refuse_inherited_tunables("census");
    CampaignOptions c = o.campaign;
    std::vector<VariantOptions> own = c.variants;
    c.variants.clear();
    bool glibc = true;
    try {
      check_tunable_libc(libc_version());
    } catch (const NoTunables &) {
      glibc = false; // glibc's own choice only, without its variants
    }
    for (const auto &v : tune_variants(glibc ? cpu_flags() : std::vector<std::string>{}))
      if (glibc || v.name == "default")
        c.variants.push_back({v.name, v.env, std::nullopt});
    std::string here = std::filesystem::path(beside_this_tool("memset-report")).parent_path();
    for (const auto &lib : known_libraries()) {
      std::string path = here + "/" + preload_library_file(lib.name);
      if (!std::filesystem::exists(path)) {
        std::fprintf(stderr,
                     "memset-report: census: %s left out: no %s beside memset-report "
                     "(install %s and build again)\n",
                     lib.name, path.c_str(), lib.package);
        continue;
      }
      c.variants.push_back({lib.name, {"LD_PRELOAD=" + path}, std::nullopt});
      c.libraries.push_back({lib.name, lib.package, package_version(lib.package)});
    }
    for (auto &v : own) {
      for (const auto &known : c.variants)
        if (known.name == v.name)
          throw UsageError("census --variant " + v.name +
                           ": the census has a variant of that name");
      c.variants.push_back(v);
    }
    campaign(c, o.compare);
    dir = c.out;
  }
  std::vector<Set> sets = load_baseline_campaign(dir, "a census");
  write_out(render_census(take_census(std::move(sets), o.compare, weights), o.weights));
  return kOk;
}

int dispatch(const Options &o) {
  if (o.help) {
    write_out(usage_text(o.command));
    return kOk;
  }
  const struct {
    const char *name;
    int (*run)(const Options &);
  } table[] = {{"run", cmd_run},
               {"summary", cmd_summary},
               {"plot", cmd_plot},
               {"tune", cmd_tune},
               {"census", cmd_census}};
  for (const auto &c : table)
    if (o.command == c.name)
      return c.run(o);
  throw UsageError("unknown command '" + o.command + "'");
}

} // namespace

int main(int argc, char **argv) {
  try {
    std::vector<std::string> words(argv + 1, argv + argc);
    return dispatch(parse_command_line(words, beside_this_tool("memset-bench")));
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
