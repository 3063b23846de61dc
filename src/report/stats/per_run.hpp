#pragma once
// What a change means in a captured command's own run time: its calls times
// the weighted difference per call, in the counter's time, and as a share of
// the run's wall and CPU time. Its interval is the per-call difference's,
// from the same resampling, scaled alike.

#include "report/formats/weights.hpp"
#include "report/stats/interval.hpp"
#include "report/stats/verdict.hpp"

#include <optional>

namespace report {

struct Figure {
  double value = 0, low = 0, high = 0;
};

// What a counter step a call at the hidden lengths comes to in a run: what
// could hide there at least.
struct Unseen {
  double calls = 0; // the capture's calls at lengths hidden in both sets' readings
  double ticks = 0; // those calls times one counter step
  std::optional<double> seconds, wall_share, cpu_share;
};

// What a per-run figure rests on: each length's back-to-back calls, timed
// one length at a time and weighted by the capture's calls; or the
// capture's mix of lengths replayed in a shuffled order. They may differ:
// lengths repeated one at a time train the branch predictors, a shuffled
// mix does not, so the replay stands for the program's calls.
enum class PerRunBasis { PerLength, Replay };

struct PerRun {
  PerRunBasis basis = PerRunBasis::PerLength;
  double calls = 0;      // the capture's calls at the lengths the benchmark measures
  bool interval = false; // low..high mean something
  // The weighted verdict is unclear for the hidden share (WeightedComparison):
  // the figures below bound nothing, and `unseen` is what to read instead.
  bool hidden = false;
  // The weighted verdict is a one-sided bound (Decision::bound): the change
  // is at least `ticks.low` (true) or at most `ticks.high` (false), and
  // `interval` is false.
  std::optional<bool> at_least;
  Unseen unseen;
  Figure ticks; // the change in memset time per run, in counter ticks
  // With the counter's frequency: the same in seconds, and as fractions of
  // the run's wall time and of its CPU time (where the capture has one).
  std::optional<Figure> seconds, wall_share, cpu_share;
};

// None where `w` is no capture. `weighted` is B's weighted cost less A's
// per call (WeightedComparison::est); `mhz` the counter's frequency;
// `hidden_calls` the calls at hidden lengths, each of which a `step` of the
// counter could hide; `d` the weighted verdict, whose qualifiers say what
// the figures are.
std::optional<PerRun> per_run(const Estimate &weighted, const Weights &w, std::optional<double> mhz,
                              double hidden_calls = 0, double step = 0, const Decision &d = {},
                              PerRunBasis basis = PerRunBasis::PerLength);

} // namespace report
