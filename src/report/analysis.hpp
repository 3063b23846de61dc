#pragma once
// Robust summaries of memset-bench curves.

#include "result_file.hpp"

#include <vector>

namespace report {

using Levels = std::vector<double>; // value k-1 belongs to a fill of k bytes

// Median of the values (mean of the middle two for an even count).
double median(std::vector<double> v);

// Per-length median across runs.
Levels median_curve(const std::vector<Curve> &runs);

// Per-length interquartile range across runs, as a fraction of the median.
Levels spread_curve(const std::vector<Curve> &runs, const Levels &median);

// The cost of a fill that costs nearly nothing, that is, of the two counter
// readings and the call around it: the median level of lengths 1 to 16.
double floor_of(const Levels &curve);

// Lengths at which the curve jumps up and stays up: the level of the next
// `window` lengths exceeds that of the previous `window` by a clear margin,
// and the curve never falls back to half way for the rest of the sweep.
// Single-length spikes and plateaus that come back down are not steps.
struct StepRule {
  size_t window = 16;     // lengths on each side of a candidate
  double min_rise = 0.15; // rise as a fraction of the level before
  double min_ticks = 8.0; // and in ticks, whatever the level
};
std::vector<size_t> find_steps(const Levels &curve, const StepRule &rule = {});

// How far one run sits from the set's median curve: the median over lengths
// 2 and up (length 1 carries the first-call binding) of run / median.
double shift_factor(const Curve &run, const Levels &median);

// A run whose factor is this far from 1 counts as shifted.
constexpr double kShiftTolerance = 0.10;

} // namespace report
