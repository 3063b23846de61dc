// Pieces of text that every text output writes alike: the qualifiers of a
// verdict, the 'per run:' line and a capture's own lines.

#include "report/render/pieces.hpp"

#include <algorithm>
#include <cmath>

namespace report {

namespace {

double largest(const Figure &f) {
  return std::max({std::fabs(f.value), std::fabs(f.low), std::fabs(f.high)});
}

// Decimals that show the largest of the figures with three significant
// digits, within 0..9.
int decimals_for(const Figure &f) {
  double most = largest(f);
  if (!(most > 0))
    return 2;
  return std::clamp(2 - (int)std::floor(std::log10(most)), 0, 9);
}

} // namespace

double held(double v, bool at_least, int decimals) {
  double p = std::pow(10.0, decimals);
  return (at_least ? std::floor(v * p) : std::ceil(v * p)) / p + 0.0;
}

namespace {

// How a figure without an interval is rounded: to nearest, or, for a
// one-sided bound, away from what it bounds, so that the printed bound holds.
enum class Rounding { Nearest, Down, Up };

// "-0.61 [-0.70, -0.52]" in a scale and unit, the interval rounded outwards.
std::string figure(const Figure &f, bool interval, double scale, const char *unit,
                   Rounding r = Rounding::Nearest) {
  Figure s{f.value * scale, f.low * scale, f.high * scale};
  int d = decimals_for(s);
  double v = r == Rounding::Nearest ? s.value : held(s.value, r == Rounding::Down, d);
  std::string o = fmt("%+.*f%s", d, v, unit);
  if (interval)
    o += " " + bracket(s.low, s.high, d);
  return o;
}

// Seconds in the unit that suits the largest figure.
std::string time_figure(const Figure &f, bool interval, Rounding r = Rounding::Nearest) {
  double most = largest(f);
  if (most >= 1)
    return figure(f, interval, 1, " s", r);
  if (most >= 1e-3)
    return figure(f, interval, 1e3, " ms", r);
  if (most >= 1e-6)
    return figure(f, interval, 1e6, " us", r);
  return figure(f, interval, 1e9, " ns", r);
}

// "26 ticks = 12.4 ns"; ticks alone without the counter's frequency.
std::string ticks_and_ns(double ticks, std::optional<double> mhz) {
  std::string s = fmt("%.3g ticks", ticks);
  if (mhz && *mhz > 0)
    s += fmt(" = %.3g ns", ticks * ns_per_tick(*mhz));
  return s;
}

} // namespace

std::string hiding(Hidden h, const Sides &s) {
  switch (h) {
  case Hidden::Base:
    return printable(s.base) + "'s";
  case Hidden::Other:
    return printable(s.other) + "'s";
  default:
    return "both sets'";
  }
}

std::string hidden_note(Hidden h, const Sides &s, double step, std::optional<double> mhz) {
  return " (hidden in " + hiding(h, s) + " readings: a counter step a call, " +
         ticks_and_ns(step, mhz) + ", or more can hide there)";
}

std::string bound_text(const Bound &b, int decimals) {
  return bound_word(b.at_least) + fmt("%.*f", decimals, held(b.value, b.at_least, decimals));
}

std::string bound_note(const Estimate &e, const Decision &d, Hidden h, const Sides &s,
                       std::optional<double> mhz, int decimals) {
  // Each figure rounded so that it still holds: the difference per call
  // bounds the same way as the ratio.
  Bound r = ratio_bound(e, d), diff = diff_bound(e, d);
  std::string o =
      ", " + bound_text(r, decimals) + fmt(" and %+.2f ticks", held(diff.value, diff.at_least, 2));
  if (mhz && *mhz > 0)
    o += fmt(" = %+.2f ns", held(diff.value * ns_per_tick(*mhz), diff.at_least, 2));
  return o + " per call (hidden in " + hiding(h, s) +
         " readings: the size cannot be read; --engine batch reads it)";
}

std::string estimate_text(const Estimate &e, const Decision &d, Hidden h, const Sides &s,
                          double step, std::optional<double> mhz, int decimals) {
  if (d.bound)
    return bound_note(e, d, h, s, mhz, decimals);
  if (d.hidden)
    return hidden_note(h, s, step, mhz);
  return fmt(" %.*f", decimals, e.ratio) + interval_suffix(e, decimals) + per_call(e, mhz);
}

std::string weighted_text(const WeightedComparison &w, const Sides &s, double step,
                          std::optional<double> mhz) {
  std::string share = fmt("%.3g%% of the calls, %.3g%% of the cost", 100 * w.hidden_call_share,
                          100 * w.hidden_cost_share);
  if (w.hidden)
    return " (hidden in " + hiding(w.hidden_in, s) + " readings: " + share +
           ", at lengths where a counter step a call, " + ticks_and_ns(step, mhz) +
           ", or more can hide)";
  if (w.bound) {
    return ", " + bound_text(ratio_bound(w.est, w.decision()), 3) + " (hidden in " +
           hiding(w.hidden_in, s) + " readings: " + share +
           "; the size cannot be read; --engine batch reads it)";
  }
  std::string o = fmt(" %.3f", w.est.ratio) + interval_suffix(w.est);
  if (w.hidden_calls > 0)
    o += fmt("; %.3g%% of the calls (%.3g%% of the cost) at hidden lengths",
             100 * w.hidden_call_share, 100 * w.hidden_cost_share);
  return o;
}

namespace {

std::string per_run_figures(const PerRun &p, const std::string &label) {
  std::string o = "per run: " + (label.empty() ? "" : printable(label) + " ");
  if (p.hidden) {
    // No figure that would read as a bound: what could hide instead.
    const Unseen &u = p.unseen;
    o += fmt("unclear: %.0f of %.0f calls are at lengths that hide in the readings, where a "
             "counter step a call comes to ",
             u.calls, p.calls);
    if (!u.seconds)
      return o + fmt("%.3g ticks a run or more (no counter frequency: give --tsc-mhz)\n", u.ticks);
    o += time_figure({*u.seconds, *u.seconds, *u.seconds}, false).substr(1) + " a run (" +
         fmt("%.3g%%", 100 * *u.wall_share) + " of its wall time";
    if (u.cpu_share)
      o += fmt(", %.3g%% of its CPU time", 100 * *u.cpu_share);
    return o + ") or more\n";
  }
  if (p.at_least) {
    // A one-sided bound: the figure the bound rests on, rounded so that it
    // still holds, and no interval.
    bool least = *p.at_least;
    Rounding r = least ? Rounding::Down : Rounding::Up;
    auto one = [&](const Figure &f) {
      double v = least ? f.low : f.high;
      return Figure{v, v, v};
    };
    o += bound_word(least);
    if (!p.seconds)
      return o + figure(one(p.ticks), false, 1, " ticks", r) +
             fmt(" of memset time over %.0f calls (hidden lengths: the size cannot be read)\n",
                 p.calls);
    o += time_figure(one(*p.seconds), false, r) +
         fmt(" of memset time over %.0f calls; ", p.calls) +
         figure(one(*p.wall_share), false, 100, "%", r) + " of the run's wall time";
    if (p.cpu_share)
      o += ", " + figure(one(*p.cpu_share), false, 100, "%", r) + " of its CPU time";
    return o + " (hidden lengths: the size cannot be read)\n";
  }
  const char *why_no_interval = p.interval ? "" : " (no interval: too few runs)";
  if (!p.seconds)
    return o + figure(p.ticks, p.interval, 1, " ticks") +
           fmt(" of memset time over %.0f calls; no counter frequency (give --tsc-mhz), so no "
               "share of the run's time%s\n",
               p.calls, why_no_interval);
  o += time_figure(*p.seconds, p.interval) + fmt(" of memset time over %.0f calls; ", p.calls) +
       figure(*p.wall_share, p.interval, 100, "%") + " of the run's wall time";
  if (p.cpu_share)
    o += ", " + figure(*p.cpu_share, p.interval, 100, "%") + " of its CPU time";
  else
    o += " (the capture records no CPU time: no share of it)";
  return o + why_no_interval + "\n";
}

} // namespace

const char *per_run_basis(PerRunBasis b) {
  return b == PerRunBasis::Replay ? "the capture's mix, replayed in a shuffled order"
                                  : "each length timed on its own, back to back, weighted by the "
                                    "capture's calls";
}

std::string per_run_line(const PerRun &p, const std::string &label, const Landing *landed) {
  std::string o = per_run_figures(p, label);
  o.pop_back(); // its line feed, after what it rests on
  return o + "; from " + per_run_basis(p.basis) +
         (landed ? ", fills " + landing_text(*landed) : std::string()) + "\n";
}

std::string per_run_gain(const PerRun &p) {
  if (p.hidden)
    return "unclear per run (hidden by the readings)";
  if (p.at_least) {
    const Figure &t = p.seconds ? *p.seconds : p.ticks;
    double v = *p.at_least ? t.low : t.high;
    Rounding r = *p.at_least ? Rounding::Down : Rounding::Up;
    return bound_word(*p.at_least) +
           (p.seconds ? time_figure({v, v, v}, false, r)
                      : figure({v, v, v}, false, 1, " ticks", r)) +
           " per run (hidden lengths)";
  }
  if (!p.seconds)
    return figure(p.ticks, p.interval, 1, " ticks") + " per run";
  return time_figure(*p.seconds, p.interval) + " per run (" +
         figure(*p.wall_share, p.interval, 100, "%") + " of its wall time)";
}

std::string stretches_text(const std::vector<Stretch> &stretches, const Sides &sides) {
  std::vector<std::string> parts;
  for (const Stretch &st : stretches) {
    std::string p =
        std::string(verdict_name(st.decision.verdict)) + fmt(" over %zu..%zu", st.from, st.to);
    if (st.decision.bound) {
      bool least = st.decision.verdict == Verdict::Slower;
      // The weakest bound holds for all its ranges.
      p += " (" + bound_text({least, least ? st.low : st.high}, 2) + "; hidden in " +
           hiding(st.hidden_in, sides) + " readings)";
    } else if (st.decision.hidden) {
      p += " (hidden in " + hiding(st.hidden_in, sides) + " readings)";
    } else if (st.decision.verdict == Verdict::Faster || st.decision.verdict == Verdict::Slower) {
      p += st.high > st.low * 1.005 ? fmt(" (%.2f to %.2f)", st.low, st.high)
                                    : fmt(" (%.2f)", st.low);
    }
    parts.push_back(p);
  }
  return joined(parts);
}

} // namespace report
