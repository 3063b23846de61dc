#pragma once
// A set's summary as plain data (floor, steps, shifted runs, table rows), and
// everything one summary command says, computed before anything is written.

#include "analysis.hpp"
#include "compare.hpp"
#include "sets.hpp"

#include <optional>
#include <string>
#include <vector>

namespace report {

struct SummaryRow {
  size_t length;
  double median;                        // ticks
  double above_floor;                   // ticks
  std::optional<double> bytes_per_tick; // above the floor; none where it cannot be told
  std::optional<double> spread;         // interquartile range / median; none for one run
};

struct SetSummary {
  size_t runs = 0;
  unsigned planned = 0; // > runs for a campaign that did not finish
  double floor = 0;
  std::vector<size_t> steps;
  std::optional<std::vector<ShiftedRun>> shifted; // none: too few runs to tell
  std::optional<double> resolution;               // counter step in ticks, from the context
  std::optional<double> read_cost;                // median back-to-back reading, from the context
  std::optional<double> tsc_mhz;                  // counter frequency, from the context
  std::vector<SummaryRow> rows;                   // at 1, 2, 4, ... 32768 bytes
};

// A rate in bytes per tick means something only where the fill costs clearly
// more than the floor: at least two counter steps (within that it is the
// counter's granularity) and a quarter of the floor (the jitter of the
// readings themselves, which grows with the floor).
constexpr double kRateMinSteps = 2.0;
constexpr double kRateMinFloorShare = 0.25;

SetSummary summarize(const Set &set, const Levels &median);

// A number read from a context value, if it is one.
std::optional<double> context_number(const Context &ctx, const std::string &key);

// What a summary reports: the sets, their medians and summaries, and every
// set after the first compared with the first.
struct Report {
  std::vector<Set> sets;
  std::vector<std::vector<ExactMedian>> exact;
  std::vector<Levels> medians;
  std::vector<SetSummary> summaries;
  std::vector<Comparison> comparisons;
  // Counter frequency per set, for times in ns: the campaign's, or one the
  // user gave; none where neither is known.
  std::vector<std::optional<double>> mhz;
};

Report build_report(std::vector<Set> sets, const CompareOptions &opt,
                    std::optional<double> tsc_mhz = std::nullopt);

} // namespace report
