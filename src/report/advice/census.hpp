#pragma once
// A census of C libraries' memset on this machine, as plain data: glibc's
// own choice and its distinct implementations beside the memset of every
// other C library at hand, the fastest per range of lengths, and a ranking
// by the expected cost per call.

#include "report/advice/standings.hpp"
#include "report/stats/weighted.hpp"

#include <optional>
#include <string>
#include <vector>

namespace report {

// Where an entry wins and loses against glibc's choice: adjacent ranges of
// its comparison with one verdict and qualifier, joined, with the span of
// their own estimates (of their bounds, where the fills hide).
struct Stretch {
  size_t from, to;
  Decision decision;
  Hidden hidden_in = Hidden::None;
  double low = 1, high = 1; // the ranges' ratios (bounds), least and most
};

// A comparison's ranges as such stretches.
std::vector<Stretch> stretches_of(const Comparison &c);

struct Ranked {
  size_t variant;
  double cost;          // expected ticks per call, of the statistic
  WeightedComparison w; // to glibc's choice; the first variant's own is empty
  // Where it is faster, slower or the same as glibc's choice, length by
  // length: what one figure over all lengths cannot say. Empty for the first.
  std::vector<Stretch> stretches;
};

struct Census {
  Standings standings;            // groups and the fastest per range
  std::vector<Ranked> ranking;    // cheapest first
  bool weighted = false;          // ranked by a program's lengths, not all lengths alike
  bool mostly_unmeasured = false; // the weights' calls, mostly at lengths not measured
  std::optional<Capture> capture; // where the weights are a capture
};

// From a finished census campaign's sets (glibc's choice first). Without
// weights every length from 2 to 32768 counts alike.
Census take_census(std::vector<Set> sets, const CompareOptions &opt,
                   const std::optional<Weights> &weights);

} // namespace report
