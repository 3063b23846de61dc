#pragma once
// Tuning advice as plain data: which of a tuning campaign's variants is
// fastest where, which are one implementation, the crossover, and the advice.

#include "compare.hpp"
#include "sets.hpp"
#include "weighted.hpp"

#include <optional>
#include <vector>

namespace report {

// Stands in Winner::variants where no verdict decides the band.
constexpr size_t kUnclear = (size_t)-1;

struct Winner {
  size_t from, to;
  // The fastest variants, shown `same` as one another there; empty where
  // nothing is faster than default; {kUnclear} where that is not decided.
  std::vector<size_t> variants;
  double ratio, low, high; // to default
};

struct TuneAdvice {
  std::vector<Set> sets;                   // default first
  std::vector<std::vector<size_t>> groups; // variants that are `same` everywhere
  std::vector<Comparison> vs_default;      // [v] compares v with default; [0] empty
  std::vector<Winner> fastest;
  std::optional<size_t> crossover; // none: rep stosb everywhere stays slower
  bool crossover_unclear = false;  // the bands that would tell are undecided
  bool have_stosb_pair = false;
  std::optional<size_t> advised; // variant to set; none: default or undecided
  // A setting still undecided somewhere might gain more than any decided one.
  bool advice_undecided = false;
  size_t undecided_candidates = 0; // settings not slower anywhere, undecided somewhere
  size_t unclear = 0;              // undecided bands over all comparisons with default
  size_t rounds = 0;
  // With weights: per variant its weighted ratio to default ([0] empty).
  std::vector<WeightedComparison> weighted;
};

} // namespace report
