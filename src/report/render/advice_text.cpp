// Renders a tuning campaign's advice and a census as text: variants, groups,
// the fastest per range, the crossover and the advice; the ranking of a census.

#include "report/render/render.hpp"

#include "report/render/pieces.hpp"

#include <algorithm>
#include <cmath>

namespace report {

namespace {

// The variant's setting as a user pastes it: "GLIBC_TUNABLES=...".
std::string setting_of(const Set &variant) {
  std::string s;
  for (const auto &e : variant.env)
    s += (s.empty() ? "" : " ") + e;
  return s.empty() ? "(no setting)" : printable(s);
}

constexpr const char *kMostlyUnmeasured =
    "warning: less than half of the weights' calls are at lengths the benchmark measures; the "
    "weighted figures speak for those alone\n";

// " (memset: ...; tunables: ...)" as the record has them; "" for neither.
std::string measured_of(const Set &variant) {
  if (variant.memset.empty() && variant.tunables.empty())
    return "";
  // A C library of its own is named: the memset's path alone may not say.
  std::string own = variant.libc.loader.empty()
                        ? ""
                        : "; libc: " + printable(variant.libc.path) + " (build ID " +
                              printable(variant.libc.build_id) + ")";
  return " (memset: " + printable(variant.memset.empty() ? "unknown" : variant.memset) +
         "; tunables: " + printable(variant.tunables.empty() ? "unknown" : variant.tunables) + own +
         ")";
}

// What follows a variant's weighted verdict against default: its figures,
// or where fills hide, its bound or why there is none.
std::string weighted_figures(const WeightedComparison &w, const Standings &a, size_t v) {
  return weighted_text(w, Sides{a.sets[0].label, a.sets[v].label}, a.vs_default[v].hidden_step,
                       a.sets[0].record.machine.tsc_mhz);
}

// "3..15, 32..255": the lengths some setting left undecided.
std::string open_ranges(const std::vector<std::pair<size_t, size_t>> &open) {
  std::vector<std::string> r;
  for (const auto &[from, to] : open)
    r.push_back(fmt("%zu..%zu", from, to));
  return joined(r);
}

// How to decide what is still open, for a campaign that `command` reads.
std::string more_rounds(const Standings &a, const char *command) {
  std::string dir = printable(a.sets[0].campaign_given);
  return "add rounds with 'memset-report run --more " + dir + "', then 'memset-report " + command +
         " --from " + dir + "'";
}

// "18% [16%, 21%]": a faster ratio as the share it saves, its interval
// rounded outwards as every interval is (bracket).
std::string gain_text(const Estimate &e, int decimals) {
  std::string b = bracket(100 * (1 - e.high), 100 * (1 - e.low), decimals);
  b.replace(b.find(", "), 2, "%, ");
  b.insert(b.size() - 1, "%");
  return fmt("%.*f%% ", decimals, 100 * (1 - e.ratio)) + b;
}

std::string ratio_text(double ratio, double low, double high) {
  return fmt("%.2f ", ratio) + bracket(low, high, 2);
}

// What a tuning campaign and a census both say: the variants, the groups
// of equivalent ones, and the fastest per range.
std::string common_lines(const char *what, const Standings &a) {
  double confidence = a.sets.size() > 1 ? a.vs_default[1].options.confidence : 0.95;
  std::string o = std::string("== ") + what + ": " + plural(a.rounds, "round") + ", " +
                  plural(a.sets.size(), "variant") +
                  fmt(", paired; ratios are to default, with %.4g%% intervals\n", 100 * confidence);
  o += measured_line(a.sets[0].engine);
  const MachineFacts &m = a.sets[0].record.machine;
  o += "machine: " + printable(m.cpu_model) + ", " + printable(m.libc) + "\n";
  // Every variant of one campaign landed alike: what it says holds there.
  o += landing_line(a.sets[0]);
  o += stop_line(a.sets[0].record); // how the campaign ended, or that it has not
  for (const auto &l : a.sets[0].record.libraries)
    o += "library: " + printable(l.name) + " (" + printable(l.package) + " " +
         printable(l.version.empty() ? "version unknown" : l.version) + ")\n";
  for (const auto &set : a.sets)
    o += "variant: " + printable(set.label) + " = " + setting_of(set) + measured_of(set) + "\n";
  for (const auto &same : a.sets[0].record.same_as) {
    auto as = std::find_if(a.sets.begin(), a.sets.end(),
                           [&](const Set &s) { return s.label == same.as; });
    std::string code = as == a.sets.end() || as->memset.empty() ? "the same code" : as->memset;
    o += "same code: " + printable(same.name) + " = " + printable(same.as) + " here (both " +
         printable(code) + ", same tunables; " +
         printable(same.setting.empty() ? "no setting" : same.setting) + "), measured once\n";
  }
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
    } else if (w.variants[0] == kHidden) {
      o += "unclear (hidden by the readings: more rounds would not tell)\n";
    } else {
      std::vector<std::string> names;
      for (size_t v : w.variants)
        names.push_back(printable(a.sets[v].label));
      if (w.bound)
        o += joined(names) + ", " + bound_text({false, w.ratio}, 2) + " (hidden in " +
             printable(a.sets[w.variants[0]].label) +
             "'s readings: the size cannot be read; --engine batch reads it)\n";
      else
        o += joined(names) + " " + ratio_text(w.ratio, w.low, w.high) + "\n";
    }
  }
  return o;
}

// "where: musl slower over 3..2047 (1.06 to 3.90), same over 2048..32768":
// an entry's stretches against default, with its line feed.
std::string where_line(const Standings &a, const Ranked &r) {
  const Sides sides{a.sets[0].label, a.sets[r.variant].label};
  return "where: " + printable(a.sets[r.variant].label) + " " + stretches_text(r.stretches, sides) +
         "\n";
}

} // namespace

std::string render_census(const Census &c, const std::string &weights_file) {
  const Standings &a = c.standings;
  std::string o = common_lines("census", a);
  if (c.capture)
    o += capture_lines(*c.capture);
  o += "ranking: by the expected cost per call, " +
       (c.weighted ? "weighted by " + printable(weights_file) + "'s lengths"
                   : std::string("every length from 2 to 32768 alike, which the long fills "
                                 "dominate")) +
       (c.capture ? " (the same order as by the change per run)" : "") +
       "; verdict and ratio to default; then where each wins and loses, length by length\n";
  if (c.mostly_unmeasured)
    o += kMostlyUnmeasured;
  if (!a.open.empty())
    o += "undecided: " + open_ranges(a.open) +
         " (a variant not yet decided against default there; the ranking holds for what was "
         "measured, the fastest lines say where: " +
         more_rounds(a, "census") + ")\n";
  for (size_t i = 0; i < c.ranking.size(); i++) {
    const Ranked &r = c.ranking[i];
    o += fmt("rank: %zu ", i + 1) + printable(a.sets[r.variant].label) +
         fmt(" %.2f ticks per call", r.cost);
    if (r.variant > 0)
      o += std::string(c.weighted ? ", weighted: " : ", all lengths alike: ") +
           verdict_name(r.w.verdict) + weighted_figures(r.w, a, r.variant) + "\n" +
           where_line(a, r);
    else
      o += "\n";
    if (r.w.per_run)
      o += per_run_line(*r.w.per_run, a.sets[r.variant].label);
  }
  return o;
}

// The advice's lines up to the advice itself.
static std::string advice_lines(const TuneAdvice &a) {
  std::string o = common_lines("tune", a);
  if (a.have_stosb_pair)
    o += "crossover: " +
         (a.crossover_unclear ? std::string("unclear")
          : a.crossover       ? std::to_string(*a.crossover)
                              : std::string("none")) +
         "\n";
  if (a.capture)
    o += capture_lines(*a.capture);
  if (a.mostly_unmeasured)
    o += kMostlyUnmeasured;
  for (size_t v : a.weighted_order) {
    const WeightedComparison &w = a.weighted[v];
    o += "weighted: " + printable(a.sets[v].label) + " " + verdict_name(w.verdict) +
         weighted_figures(w, a, v) + "\n";
    if (w.per_run)
      o += per_run_line(*w.per_run, a.sets[v].label);
  }
  if (a.advice_hidden) {
    o += "advice: none: a setting's weighted verdict rests on lengths whose fills hide in the "
         "readings, where more rounds would not tell; time those lengths in batches of calls\n";
    return o;
  }
  if (a.advice_undecided) {
    std::string what = plural(a.unclear, "band") + " not decided";
    if (!a.weighted.empty()) {
      std::vector<std::string> names;
      for (size_t v : a.weighted_open)
        names.push_back(printable(a.sets[v].label));
      what = fmt("%zu of %zu settings' weighted ratios not decided (", a.weighted_open.size(),
                 a.sets.size() - 1) +
             joined(names) + "), and each could gain more than any setting decided faster";
    }
    o += "advice: none yet: " + what + "; " + more_rounds(a, "tune") + "\n";
    return o;
  }
  // Said beside an answer that speaks only for the lengths decided.
  const std::string undecided = a.advice_partial
                                    ? "; not yet decided which is fastest over " +
                                          open_ranges(a.advice_open) + ": " + more_rounds(a, "tune")
                                    : "";
  if (!a.advised) {
    // Say why, where a setting gains somewhere: it loses elsewhere.
    std::string why;
    for (size_t v = 1; v < a.sets.size() && why.empty(); v++) {
      std::vector<std::string> faster, slower;
      for (const auto &rg : a.vs_default[v].ranges) {
        if (rg.verdict == Verdict::Faster)
          faster.push_back(fmt("%zu..%zu", rg.from, rg.to));
        if (rg.verdict == Verdict::Slower)
          slower.push_back(fmt("%zu..%zu", rg.from, rg.to));
      }
      if (!faster.empty() && !slower.empty())
        why =
            " (every setting faster somewhere is slower elsewhere: " + printable(a.sets[v].label) +
            " is faster over " + joined(faster) + " and slower over " + joined(slower) + ")";
    }
    if (!a.weighted.empty())
      why = " (no setting is decided faster for this distribution without being slower at "
            "some length it calls)";
    if (a.advice_partial)
      why = " (over the lengths decided: no setting faster there without being slower there)";
    o += "advice: default" + why + undecided + "\n";
    return o;
  }
  const Set &v = a.sets[*a.advised];
  std::vector<std::string> gains;
  for (const auto &rg : a.vs_default[*a.advised].ranges)
    if (rg.verdict == Verdict::Faster && rg.bound)
      gains.push_back(fmt("%zu..%zu faster by at least %.0f%% (hidden in the variant's readings)",
                          rg.from, rg.to, std::floor(100 * (1 - rg.est.high))));
    else if (rg.verdict == Verdict::Faster)
      gains.push_back(fmt("%zu..%zu faster by ", rg.from, rg.to) + gain_text(rg.est, 0));
  if (!a.weighted.empty()) {
    const Estimate &e = a.weighted[*a.advised].est;
    if (a.weighted[*a.advised].bound)
      gains.insert(gains.begin(), fmt("weighted faster by at least %.1f%% (hidden lengths)",
                                      std::floor(1000 * (1 - e.high)) / 10));
    else
      gains.insert(gains.begin(), "weighted faster by " + gain_text(e, 1));
    if (const auto &p = a.weighted[*a.advised].per_run)
      gains.insert(gains.begin() + 1, per_run_gain(*p));
  }
  std::vector<std::string> hidden;
  for (const auto &rg : a.vs_default[*a.advised].ranges)
    if (rg.hidden)
      hidden.push_back(fmt("%zu..%zu", rg.from, rg.to));
  std::string unseen =
      hidden.empty() ? "" : "; unclear over " + joined(hidden) + ", hidden by the readings";
  o += "advice: " + setting_of(v) + " (" + printable(v.label) + "; " + joined(gains) + unseen +
       (!a.weighted.empty() ? "; nowhere slower at the lengths the distribution calls)"
        : a.advice_partial  ? "; nowhere slower where decided)"
                            : "; same elsewhere)") +
       undecided + "\n";
  return o;
}

std::string render_advice(const TuneAdvice &a) {
  std::string o = advice_lines(a);
  // Advice for one place the fills land may not hold for another: it says where.
  if (a.sets[0].engine == Engine::Batch)
    o += "holds for: fills " + landing_text(a.sets[0].landing()) +
         (a.sets[0].landing().placed() ? "" : ", aligned as malloc gave the buffer") +
         "; where a program's fills land elsewhere (another offset from a line, memory "
         "that is cold), tune with --align and --footprint there\n";
  return o;
}

std::string render_advice_by_landing(const std::vector<TuneAdvice> &all,
                                     const std::vector<std::string> &folders) {
  // Each campaign's advice in one word: its setting, default, or none yet.
  auto word = [](const TuneAdvice &a) {
    if (a.advised)
      return setting_of(a.sets[*a.advised]);
    return std::string(a.advice_hidden || a.advice_undecided ? "none yet" : "default");
  };
  std::string o = "== advice by where the fills land: " + plural(all.size(), "campaign") + "\n";
  bool same = true;
  for (size_t i = 0; i < all.size(); i++) {
    o += "at: " + printable(folders[i]) + ": " + word(all[i]) + " (fills " +
         landing_text(all[i].sets[0].landing()) + "; " +
         printable(all[i].sets[0].record.machine.cpu_model) + ")\n";
    same = same && word(all[i]) == word(all[0]);
  }
  if (same && word(all[0]) == "none yet")
    return o + "advice: none yet: no campaign has decided; add rounds to each with 'memset-report "
               "run --more DIR'\n";
  o += same ? "advice: " + word(all[0]) + " wherever these fills landed\n"
            : std::string("advice: differs by where the fills land (above): no one setting "
                          "holds for all; set the one of the place where the program's fills "
                          "land, or none\n");
  return o;
}

std::string render_advice_across(const AdviceAcross &a, const std::vector<TuneAdvice> &advice) {
  auto names = [&](const std::vector<size_t> &ms) {
    std::vector<std::string> n;
    for (size_t m : ms)
      n.push_back(a.machines[m]);
    return n.empty() ? std::string("none") : printable(joined(n));
  };
  std::string o = "== advice across " + plural(a.machines.size(), "machine") +
                  ": each setting against each machine's own default\n";
  for (size_t m = 0; m < a.machines.size(); m++) {
    const TuneAdvice &t = advice[m];
    o += "machine: " + printable(a.machines[m]) + ": " +
         (t.advised ? setting_of(t.sets[*t.advised])
                    : std::string(t.advice_hidden || t.advice_undecided ? "none yet" : "default")) +
         " (" + printable(t.sets[0].record.machine.cpu_model) + ")\n";
  }
  for (const SettingAcross &s : a.settings)
    o += "setting: " + printable(s.variant) + ": slower on " + names(s.slower_on) + "; faster on " +
         names(s.faster_on) + (s.missing.empty() ? "" : "; not measured on " + names(s.missing)) +
         "\n";
  if (!a.advised)
    return o + "advice across machines: default (no setting measured on every machine is "
               "faster somewhere and decided slower nowhere)\n";
  const SettingAcross &best = a.settings[*a.advised];
  std::string setting;
  for (const Set &v : advice[0].sets)
    if (variant_of(v) == best.variant)
      setting = setting_of(v);
  return o + "advice across machines: " + setting + " (" + printable(best.variant) +
         "; decided slower on no machine, faster on " + names(best.faster_on) + "; where still " +
         "undecided on a machine, more rounds there could change it)\n";
}

} // namespace report
