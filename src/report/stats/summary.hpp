#pragma once
// A set's summary as plain data (floor, steps, shifted runs, table rows), and
// everything one summary command says, computed before anything is written.

#include "report/formats/sets.hpp"
#include "report/stats/compare.hpp"
#include "report/stats/statistics.hpp"
#include "report/stats/weighted.hpp"

#include <optional>
#include <string>
#include <vector>

namespace report {

struct SummaryRow {
  size_t length;
  double level;                         // ticks, of the report's statistic
  double above_floor;                   // ticks
  std::optional<double> bytes_per_tick; // slope_rate; none where it cannot be told
  std::optional<double> spread;         // interquartile range / median; none for one run
};

struct SetSummary {
  size_t runs = 0;
  unsigned planned = 0; // > runs for a campaign that did not finish
  bool rounds = false;  // its runs are rounds of an interleaved campaign
  double floor = 0;
  std::optional<ExactQuarters> exact_floor; // where the curve is exact
  std::vector<size_t> steps;
  // Runs shifted as a whole against the set's median curve; none: too few
  // runs to tell. A set that lands in slow runs more often than another is
  // a finding of its own.
  std::optional<std::vector<ShiftedRun>> shifted;
  std::optional<double> resolution; // counter step in ticks, from the record
  std::optional<double> read_cost;  // median back-to-back reading, from the record
  std::vector<SummaryRow> rows;     // at 1, 2, 4, ... 32768 bytes
  // memset-batch's loop cost, a call of an empty function in the same loop,
  // in ticks: measured anew in each run, and it moves from run to run.
  struct Loop {
    double median = 0, low = 0, high = 0; // over the runs
    size_t runs = 0;
    // The floor lies below the median loop cost said to be in every value:
    // the empty call's loop is no lower bound of a fill's here.
    bool above_floor = false;
  };
  std::optional<Loop> loop;
  // The fills from 3 bytes up to this length, the end of a band, hide in
  // the readings (hidden_bands): a difference there cannot be seen.
  // None where the counter's step is not known, or nothing hides.
  std::optional<size_t> hidden_to;
};

// The rate at a length is the slope of the curve there: the lengths from
// 3/4 of it up to it against those from 3/8 to 1/2 of it, extra bytes over
// extra ticks. Not the length over the ticks above the floor: below a few
// KiB the unfenced counter is read before the stores have drained, so the
// fill hardly shows above the floor and that ratio ran to 300 bytes a tick,
// far past what a core stores. A slope is given only where the curve rises
// by two counter steps or more across it (less is the counter's
// granularity), from 8 bytes up (below, the lower window would reach
// lengths 1 and 2, the first calls), and never above the slope of the
// longest fills, 1 + kRateMargin times at most: faster than those is the
// readings hiding the fill.
constexpr double kRateMinSteps = 2.0;
constexpr size_t kRateMinLength = 8;
constexpr double kRateMargin = 0.10;
std::optional<double> slope_rate(const Curve &curve, size_t len, double min_rise);

// Everything a summary says of one set.
struct SetReport {
  Set set;
  std::vector<ExactLevel> levels; // per length, the statistic across runs
  Curve level_values;             // the same as plain numbers
  std::vector<ExactLevel> median; // per length, the median across runs
  Quartiles quartiles;
  Moments moments;
  SetSummary summary;
  std::optional<double> mhz;           // counter frequency: the campaign's, or one given
  BandSeries series;                   // its runs as comparisons see them
  std::optional<WeightedSet> weighted; // its expected cost per call, with --weights
};

// `curve` is of the report's statistic; shifted runs are judged against
// the median curve whatever it is.
SetSummary summarize(const Set &set, const std::vector<ExactLevel> &exact, const Curve &curve,
                     const Quartiles &quartiles, const Curve &median);

// What a summary reports: the sets, and every set after the first compared
// with the first.
struct Report {
  Statistic statistic = Statistic::Low;
  std::vector<SetReport> sets;
  std::vector<Comparison> comparisons;
  // With --weights: the distribution, its file, and per comparison the
  // weighted ratio (in the order of `comparisons`).
  std::optional<Weights> weights;
  std::string weights_file;
  std::vector<WeightedComparison> weighted;
};

Report build_report(std::vector<Set> sets, const CompareOptions &opt,
                    std::optional<double> tsc_mhz = std::nullopt,
                    const std::optional<Weights> &weights = std::nullopt);

} // namespace report
