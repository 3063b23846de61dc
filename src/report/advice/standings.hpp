#pragma once
// Where a campaign's variants stand against its first, glibc's own choice
// ("default"), as plain data: which variants are one implementation, and
// which is fastest where. Tune's advice and the census both start here.

#include "report/formats/sets.hpp"
#include "report/stats/compare.hpp"
#include "report/stats/weighted.hpp"

#include <optional>
#include <vector>

namespace report {

// Stands in Winner::variants where no verdict decides the band, and where
// none can: the fills hide in the readings there.
constexpr size_t kUnclear = (size_t)-1;
constexpr size_t kHidden = (size_t)-2;
// Marks, within standings, a winner decided past a hidden side's floor.
constexpr size_t kBoundMark = (size_t)-3;

struct Winner {
  size_t from, to;
  // The fastest variants, shown `same` as one another there; empty where
  // nothing is faster than default; {kUnclear} where that is not decided.
  std::vector<size_t> variants;
  double ratio, low, high; // to default
  // Faster past default's readings where the winner's fills hide in its
  // own: `ratio` is at most what it is, with no interval.
  bool bound = false;
};

struct Standings {
  std::vector<Set> sets;                   // default first
  std::vector<std::vector<size_t>> groups; // variants that are `same` everywhere
  std::vector<size_t> group_of;            // per variant, its index in groups
  std::vector<Comparison> vs_default;      // [v] compares v with default; [0] empty
  std::vector<Winner> fastest;
  size_t unclear = 0; // bands more rounds could decide, over all comparisons with default
  // The lengths whose fastest is not yet decided: more rounds would tell.
  std::vector<std::pair<size_t, size_t>> open;
  size_t rounds = 0;
  CompareOptions options; // with the confidence the campaign's looks allow

  // The first of its group, and not of default's: the one setting that
  // stands for an implementation other than glibc's own choice.
  bool is_head(size_t v) const { return groups[group_of[v]][0] == v && group_of[v] != group_of[0]; }
};

// From a finished interleaved campaign's sets, default first.
Standings rank_variants(std::vector<Set> sets, const CompareOptions &opt);

// Tune's advice: the standings, the rep stosb crossover and one setting.
struct TuneAdvice : Standings {
  std::optional<size_t> crossover; // none: rep stosb everywhere stays slower
  bool crossover_unclear = false;  // the bands that would tell are undecided
  bool have_stosb_pair = false;
  std::optional<size_t> advised; // variant to set; none: default or undecided
  // A setting still undecided somewhere might gain more than any decided one.
  bool advice_undecided = false;
  // The advice speaks for what was decided; `advice_open`, the lengths
  // where more rounds could still change it.
  bool advice_partial = false;
  std::vector<std::pair<size_t, size_t>> advice_open;
  size_t undecided_candidates = 0; // settings not slower anywhere, undecided somewhere
  // With weights: per variant its weighted ratio to default ([0] empty),
  // and the variants by it, the lowest first, those it leaves unclear last.
  std::vector<WeightedComparison> weighted;
  std::vector<size_t> weighted_order;
  // The settings whose weighted verdict is not yet decided and could gain
  // more than the best decided one: what keeps the advice open.
  std::vector<size_t> weighted_open;
  // No advice: a setting's weighted verdict hides in the readings.
  bool advice_hidden = false;
  bool mostly_unmeasured = false; // the weights' calls, mostly at lengths not measured
  std::optional<Capture> capture; // where the weights are a capture
};

} // namespace report
