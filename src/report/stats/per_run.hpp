#pragma once
// What a change means in a captured command's own run time: its calls times
// the weighted difference per call, in the counter's time, and as a share of
// the run's wall and CPU time. Its interval is the per-call difference's,
// from the same resampling, scaled alike.

#include "report/formats/weights.hpp"
#include "report/stats/interval.hpp"

#include <optional>

namespace report {

struct Figure {
  double value = 0, low = 0, high = 0;
};

struct PerRun {
  double calls = 0;      // the capture's calls at the lengths the benchmark measures
  bool interval = false; // low..high mean something
  Figure ticks;          // the change in memset time per run, in counter ticks
  // With the counter's frequency: the same in seconds, and as fractions of
  // the run's wall time and of its CPU time (where the capture has one).
  std::optional<Figure> seconds, wall_share, cpu_share;
};

// None where `w` is no capture. `weighted` is B's weighted cost less A's
// per call (WeightedComparison::est); `mhz` the counter's frequency.
std::optional<PerRun> per_run(const Estimate &weighted, const Weights &w,
                              std::optional<double> mhz);

} // namespace report
