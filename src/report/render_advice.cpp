// Renders a tuning campaign's advice as text: variants, implementations, the
// fastest variant per range, the crossover and one line of advice.

#include "render.hpp"

#include "text.hpp"

namespace report {

namespace {

// The variant's setting as a user pastes it: "GLIBC_TUNABLES=...".
std::string setting_of(const Set &variant) {
  std::string s;
  for (const auto &e : variant.env)
    s += (s.empty() ? "" : " ") + e;
  return s.empty() ? "(no setting)" : printable(s);
}

std::string ratio_text(double ratio, double low, double high) {
  return fmt("%.2f [%.2f, %.2f]", ratio, low, high);
}

} // namespace

std::string render_advice(const TuneAdvice &a) {
  std::string o = "== tune: " + plural(a.rounds, "round") + ", " +
                  plural(a.sets.size(), "variant") +
                  ", paired; ratios are to default, with 95% intervals\n";
  const MachineFacts &m = a.sets[0].record.machine;
  o += "machine: " + printable(m.cpu_model) + ", " + printable(m.libc) + "\n";
  for (const auto &set : a.sets)
    o += "variant: " + printable(set.label) + " = " + setting_of(set) + "\n";
  for (const auto &g : a.groups)
    if (g.size() > 1) {
      std::vector<std::string> names;
      for (size_t v : g)
        names.push_back(printable(a.sets[v].label));
      o += "same implementation: " + joined(names) +
           " (same everywhere: these settings did not change what was measured)\n";
    }
  for (const auto &w : a.fastest) {
    o += fmt("fastest: %zu..%zu ", w.from, w.to);
    if (w.variants.empty()) {
      o += "default (nothing faster)\n";
    } else if (w.variants[0] == kUnclear) {
      o += "unclear (not decided: more rounds would tell)\n";
    } else {
      std::vector<std::string> names;
      for (size_t v : w.variants)
        names.push_back(printable(a.sets[v].label));
      o += joined(names) + " " + ratio_text(w.ratio, w.low, w.high) + "\n";
    }
  }
  if (a.have_stosb_pair)
    o += "crossover: " +
         (a.crossover_unclear ? std::string("unclear")
          : a.crossover       ? std::to_string(*a.crossover)
                              : std::string("none")) +
         "\n";
  if (a.unclear) {
    o += fmt("advice: none yet: %zu bands are not decided; add rounds with "
             "'memset-report run --more DIR'\n",
             a.unclear);
    return o;
  }
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
  o += "advice: " + setting_of(v) + " (" + printable(v.label) + "; " + joined(gains) +
       "; same elsewhere)\n";
  return o;
}

} // namespace report
