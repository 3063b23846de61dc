// Renders a Report as text for people: one section per set and per comparison.

#include "render.hpp"

#include "text.hpp"

namespace report {

namespace {

// A tick count as the benchmark's integers are: whole, or with one decimal.
std::string ticks(double v) { return fmt(v == (double)(long long)v ? "%.0f" : "%.1f", v); }

void set_section(std::string &o, const Report &r, size_t s, Unit unit) {
  const Set &set = r.sets[s];
  const SetSummary &sum = r.summaries[s];
  bool ns = unit == Unit::Ns;
  double ns_per_tick = ns ? 1000.0 / *r.mhz[s] : 1.0;

  o +=
      fmt("%s== [%zu] ", s ? "\n" : "", s + 1) + set.label + " (" + plural(sum.runs, "run") + ")\n";
  if (sum.planned > sum.runs)
    o += fmt("incomplete: %zu of %u runs\n", sum.runs, sum.planned);
  for (const auto &e : set.env)
    o += "env: " + e + "\n";
  for (const auto &e : set.inherited_env)
    o += "inherited env: " + e + "\n";
  if (sum.resolution)
    o += "resolution: " + ticks(*sum.resolution) + (*sum.resolution == 1 ? " tick" : " ticks") +
         (sum.read_cost ? " (one back-to-back reading costs " + ticks(*sum.read_cost) + ")" : "") +
         "\n";
  if (ns)
    o += fmt("floor: %.2f ns\n", sum.floor * ns_per_tick);
  else
    o += "floor: " + ticks(sum.floor) + " ticks\n";
  std::vector<std::string> steps;
  for (size_t l : sum.steps)
    steps.push_back(std::to_string(l));
  o += "steps: " + (steps.empty() ? std::string("none") : joined(steps)) + "\n";
  std::string shifted = "n/a (fewer than 3 runs)";
  if (sum.shifted) {
    std::vector<std::string> named;
    for (const auto &sh : *sum.shifted)
      named.push_back(set.files[sh.run] + fmt(" x%.2f", sh.factor));
    shifted = named.empty() ? "none" : joined(named);
  }
  o += "shifted runs: " + shifted + "\n";

  o += fmt("%8s %12s %14s %11s %8s\n", "length", ns ? "median_ns" : "median",
           ns ? "above_floor_ns" : "above_floor", ns ? "GB/s" : "bytes/tick", "spread");
  for (size_t i = 0; i < sum.rows.size(); i++) {
    const SummaryRow &row = sum.rows[i];
    std::string med = ns ? fmt("%.2f", row.median * ns_per_tick) : r.exact[s][row.length - 1].str();
    std::string rate = row.bytes_per_tick ? fmt("%.2f", *row.bytes_per_tick / ns_per_tick) : "n/a";
    std::string spread = row.spread ? fmt("%.1f%%", 100 * *row.spread) : "n/a";
    o += fmt("%8zu %12s %14.*f %11s %8s\n", row.length, med.c_str(), ns ? 2 : 1,
             row.above_floor * ns_per_tick, rate.c_str(), spread.c_str());
  }
}

void compare_section(std::string &o, const Report &r, const Comparison &c) {
  const Set &a = r.sets[c.base], &b = r.sets[c.other];
  o += fmt("\n== compare [%zu] ", c.other + 1) + b.label + fmt(" with [%zu] ", c.base + 1) +
       a.label + ": ";
  if (c.paired)
    o += plural(c.runs_base, "round") + ", paired\n";
  else
    o += fmt("%zu and %zu runs, unpaired\n", c.runs_base, c.runs_other) +
         fmt("unpaired: separate campaigns can drift as a whole; each interval is widened by "
             "%.0f%% for that (--drift); interleave them with 'run --variant' instead\n",
             100 * c.drift);
  if (!c.enough)
    o += std::string("too few: ") + (c.paired ? "fewer than 6 rounds give" : "so few runs give") +
         " no 95% interval; ranges are 'same' there\n";
  for (const auto &rg : c.ranges)
    o += fmt("range: %zu..%zu %s %.2f [%.2f, %.2f]\n", rg.from, rg.to, verdict_name(rg.verdict),
             rg.ratio, rg.low, rg.high);
}

std::string ratio_text(double ratio, double low, double high) {
  return fmt("%.2f [%.2f, %.2f]", ratio, low, high);
}

} // namespace

std::string render_text(const Report &r, Unit unit) {
  std::string o;
  for (size_t s = 0; s < r.sets.size(); s++)
    set_section(o, r, s, unit);
  for (const auto &c : r.comparisons)
    compare_section(o, r, c);
  return o;
}

std::string render_tune(const TuneAdvice &a) {
  std::string o = "== tune: " + plural(a.rounds, "round") + ", " +
                  plural(a.sets.size(), "variant") +
                  ", paired; ratios are to default, with 95% intervals\n";
  const Context &ctx = a.sets[0].context;
  o += "machine: " + ctx.get("cpu_model") + ", " + ctx.get("libc") + "\n";
  for (const auto &set : a.sets)
    o += "variant: " + set.label + " = " + setting_of(set) + "\n";
  for (const auto &g : a.groups)
    if (g.size() > 1) {
      std::vector<std::string> names;
      for (size_t v : g)
        names.push_back(a.sets[v].label);
      o += "same implementation: " + joined(names) +
           " (same everywhere: these settings did not change what was measured)\n";
    }
  for (const auto &w : a.fastest)
    o += fmt("fastest: %zu..%zu ", w.from, w.to) + a.sets[w.variant].label +
         (w.variant ? " " + ratio_text(w.ratio, w.low, w.high) : std::string(" (nothing faster)")) +
         "\n";
  if (a.have_stosb_pair)
    o += "crossover: " + (a.crossover ? std::to_string(*a.crossover) : std::string("none")) + "\n";
  if (!a.advised) {
    o += "advice: default\n";
    return o;
  }
  const Set &v = a.sets[*a.advised];
  std::vector<std::string> gains;
  for (const auto &rg : a.vs_default[*a.advised].ranges)
    if (rg.verdict == Verdict::Faster)
      gains.push_back(fmt("%zu..%zu faster by %.0f%% [%.0f%%, %.0f%%]", rg.from, rg.to,
                          100 * (1 - rg.ratio), 100 * (1 - rg.high), 100 * (1 - rg.low)));
  o += "advice: " + setting_of(v) + " (" + v.label + "; " + joined(gains) + "; same elsewhere)\n";
  return o;
}

} // namespace report
