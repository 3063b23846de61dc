#pragma once
// Robust statistics of memset-bench curves: medians, spread, floor, steps, shifted runs.

#include "report/formats/result_file.hpp"

#include <optional>
#include <string>
#include <vector>

namespace report {

using Curve = std::vector<double>; // value k-1 belongs to a fill of k bytes

// Median of the values (mean of the middle two for an even count).
double median(std::vector<double> v);

// Quantile q (0 to 1) of sorted values, interpolated between neighbours.
double quantile_sorted(const std::vector<double> &sorted, double q);

// Which level across runs a curve or a band stands for.
//  - Low: the mean of the fastest 15% of the runs (at least one; the last
//    one in part, so that the estimate moves smoothly as runs are added).
//    Interference on a shared machine only ever adds time, and whole runs
//    land in a slow state at random: a low statistic sees through that to
//    the cost of the fill itself, as long as 15% of the runs are fast. Not
//    the minimum, which drifts down with every run added and whose
//    resampled interval means nothing; and a mean of the low tail rather
//    than one low quantile, because it averages the coarse steps of the
//    counter over several runs. Tuned on synthetic campaigns of fast and
//    slow runs (tests/compare_test.cpp): 10% and 25% tails, and the
//    Harrell-Davis 10th percentile, decided more A/A bands wrongly, or
//    decided fewer.
//  - Median: the typical cost of a run on this machine, slow states included.
enum class Statistic { Low, Median };
constexpr double kLowShare = 0.15;
const char *statistic_name(Statistic s); // "low", "median"
// "the mean of the fastest 15% of runs", "the median of the runs"
std::string statistic_meaning(Statistic s);

// The statistic of the values (their order is changed).
double statistic_of(std::vector<double> &values, Statistic s);

// A level of tick counts held exactly: one value, or for a median of an even
// count the middle two (whose mean can need a half and more than 64 bits).
struct ExactLevel {
  uint64_t lo = 0, hi = 0;
  std::optional<double> estimate; // a level that is no tick count (the low statistic)
  double value() const { return estimate ? *estimate : ((double)lo + (double)hi) / 2; }
  std::string str() const; // exact, with ".5" where the mean has a half; estimates to 0.01
};

// A mean of two such medians, as the floor is, held in quarter ticks.
struct ExactQuarters {
  unsigned __int128 quarters = 0;
  double value() const { return (double)quarters / 4; }
  std::string str() const; // in decimal, with ".25", ".5" or ".75" where it has one
};

// The mean of the lowest `share` of the values (order changed).
double lower_mean(std::vector<double> &values, double share);

Curve levels_of(const std::vector<ExactLevel> &exact);

// Per-length first and third quartiles across runs.
struct Quartiles {
  Curve q1, q3;
};

// Per-length interquartile range across runs, as a fraction of the median.
Curve spread_curve(const Quartiles &q, const Curve &median);

// The cost of a fill that costs nearly nothing, that is, of the two counter
// readings and the call around it: the median level of lengths 1 to 16.
constexpr size_t kFloorLengths = 16;
double floor_of(const Curve &curve);
// The same of exact medians, exactly; none for estimates.
std::optional<ExactQuarters> exact_floor(const std::vector<ExactLevel> &curve);

// One figure's runs summed up: their median, mean, sample standard deviation
// (0 for one run) and the chosen statistic; all 0 for no runs.
struct Aggregates {
  double median = 0, mean = 0, stddev = 0, level = 0;
};
Aggregates aggregates_of(std::vector<double> values, Statistic s);

// Per-length mean and sample standard deviation across runs (0 for one run).
struct Moments {
  Curve mean, stddev;
};

// Everything a report takes from the runs length by length, in one pass
// that sorts each length's values once: the chosen statistic, the median,
// the quartiles and the moments.
struct LengthStats {
  std::vector<ExactLevel> level, median;
  Quartiles quartiles;
  Moments moments;
};
LengthStats length_stats(const std::vector<RunValues> &runs, Statistic s);

// Lengths at which the curve jumps up and stays up: the level of the next
// `window` lengths exceeds that of the previous `window` by a clear margin,
// and the curve never falls back to half way for the rest of the sweep.
// Single-length spikes and plateaus that come back down are not steps.
struct StepRule {
  size_t window = 16;     // lengths on each side of a candidate
  double min_rise = 0.15; // rise as a fraction of the level before
  double min_ticks = 8.0; // and in ticks, whatever the level
};
std::vector<size_t> find_steps(const Curve &curve, const StepRule &rule = {});

// How far one run sits from the set's median curve: the median over lengths
// 2 and up (length 1 carries the first-call binding) of run / median.
double shift_factor(const RunValues &run, const Curve &median);

// A run whose factor is this far from 1 counts as shifted. 10% sits above
// the run-to-run scatter of the median ratio seen on quiet machines (a few
// percent) and below the 20 to 40% whole-run shifts of a busy neighbour.
constexpr double kShiftTolerance = 0.10;

// Fewer runs than this leave no median to be shifted against: with two runs
// each is as far from the median as the other.
constexpr size_t kMinRunsForShift = 3;

struct ShiftedRun {
  size_t run;    // index into the set's runs
  double factor; // its shift_factor
};

// The runs whose shift_factor is more than kShiftTolerance away from 1, or
// nothing at all when the set has too few runs to tell.
std::optional<std::vector<ShiftedRun>> shifted_runs(const std::vector<RunValues> &runs,
                                                    const Curve &median);

} // namespace report
