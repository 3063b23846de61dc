#pragma once
// Pieces of text that several renderers write alike.

#include "report/advice/census.hpp"
#include "report/formats/campaign_folder.hpp"
#include "report/formats/capture.hpp"
#include "report/render/set_lines.hpp"
#include "report/stats/interval.hpp"
#include "report/stats/per_run.hpp"
#include "report/stats/weighted.hpp"
#include "report/sys/text.hpp"

#include <cmath>
#include <optional>
#include <string>

namespace report {

// "[0.981, 1.004]": an interval rounded outwards to `decimals`, so that what
// is printed holds the interval itself, and any real width shows as one:
// rounding to nearest would print 0.6021..0.6024 as [0.602, 0.602], and
// 0.978..1.01 as [0.98, 1.01], which reads as within a 2% threshold. An
// interval that excludes 1 (a ratio's no change) or 0 (a difference's) gets
// the decimals it needs not to touch it when printed (0.995 stays
// [.., 0.995], never [.., 1.00]), up to six.
inline std::string bracket(double low, double high, int decimals) {
  auto down = [](double v, int d) { return std::floor(v * std::pow(10.0, d)) / std::pow(10.0, d); };
  auto up = [](double v, int d) { return std::ceil(v * std::pow(10.0, d)) / std::pow(10.0, d); };
  auto touches = [&](double none) {
    return (high < none && up(high, decimals) >= none) ||
           (low > none && down(low, decimals) <= none);
  };
  while (decimals < 6 && (touches(0) || touches(1)))
    decimals++;
  return fmt("[%.*f, %.*f]", decimals, down(low, decimals), decimals, up(high, decimals));
}

// " [0.981, 1.004]" after an estimate; nothing where it has no interval.
inline std::string interval_suffix(const Estimate &e, int decimals = 3) {
  return e.interval ? " " + bracket(e.low, e.high, decimals) : "";
}

// " +8.12 ticks [7.70, 8.53] = +3.87 ns [3.67, 4.07] per call": B's cost
// less A's, with its interval, and in ns where the counter's frequency
// `mhz` is known.
inline std::string per_call(const Estimate &e, std::optional<double> mhz) {
  // "+0.00", never "-0.00", for a difference that rounds to nothing.
  auto two = [](double v) { return std::round(v * 100) / 100 + 0.0; };
  std::string s = fmt(" %+.2f ticks", two(e.diff));
  if (e.interval)
    s += " " + bracket(e.diff_low, e.diff_high, 2);
  if (mhz && *mhz > 0) {
    double ns = ns_per_tick(*mhz);
    s += fmt(" = %+.2f ns", two(e.diff * ns));
    if (e.interval)
      s += " " + bracket(e.diff_low * ns, e.diff_high * ns, 2);
  }
  return s + " per call";
}

// A bound's figure to `decimals`, rounded away from what it bounds (down for
// "at least", up for "at most"), so that the printed figure still holds.
double held(double v, bool at_least, int decimals);
// "at least 1.65" or "at most 0.71": a one-sided bound, so rounded.
// "at least " or "at most ": which way a bound holds, in words.
inline std::string bound_word(bool at_least) { return at_least ? "at least " : "at most "; }

std::string bound_text(const Bound &b, int decimals);

// The sets of a comparison by name, for saying whose readings hide.
struct Sides {
  std::string base, other;
};

// "default's", "sse2's" or "both sets'": whose readings hide.
std::string hiding(Hidden h, const Sides &s);

// " (hidden in default's readings: a counter step a call, 26 ticks = 12.4
// ns, or more can hide there)": why a verdict is unclear where fills hide,
// with `step` in ticks and in ns where `mhz` is known.
std::string hidden_note(Hidden h, const Sides &s, double step, std::optional<double> mhz);

// ", at least 1.03 and +0.89 ticks = +0.34 ns per call (hidden in default's
// readings: the size cannot be read; --engine batch reads it)": a verdict
// decided past a hidden side's floor, its one-sided bound and no interval.
std::string bound_note(const Estimate &e, const Decision &d, Hidden h, const Sides &s,
                       std::optional<double> mhz, int decimals);

// What follows a verdict: its ratio, interval and difference per call; or
// where fills hide, the bound or the note above. The one place that says how
// an estimate reads under its decision.
std::string estimate_text(const Estimate &e, const Decision &d, Hidden h, const Sides &s,
                          double step, std::optional<double> mhz, int decimals);

// What follows a weighted verdict: " 0.950 [0.941, 0.960]" and "; 12.5% of
// the calls (3.1% of the cost) at hidden lengths"; for one decided past a
// hidden side's floor, its bound; for one left unclear by them, " (hidden in
// default's readings: ...)".
std::string weighted_text(const WeightedComparison &w, const Sides &s, double step,
                          std::optional<double> mhz);

// "the capture's mix, replayed in a shuffled order": what a per-run figure
// rests on.
const char *per_run_basis(PerRunBasis b);

// "per run: LABEL -0.612 ms [-0.701, -0.520] of memset time over 744381
// calls; -0.287% [-0.330, -0.244] of the run's wall time, ...; from WHAT IT
// RESTS ON", with its line feed; LABEL and its space only where given.
// A replay's names where its fills landed (`landed`, the replay set's).
std::string per_run_line(const PerRun &p, const std::string &label = "",
                         const Landing *landed = nullptr);

// "slower over 3..2047 (1.06 to 3.90), same over 2048..32768": where B wins
// and loses against A, stretch by stretch, with the ratios' span or the
// bound where fills hide.
std::string stretches_text(const std::vector<Stretch> &stretches, const Sides &sides);

// "-0.612 ms [-0.701, -0.520] per run (-0.287% [-0.330, -0.244] of its
// wall time)", for the advice.
std::string per_run_gain(const PerRun &p);

} // namespace report
