#pragma once
// Tuning advice as plain data: which of a tuning campaign's variants is
// fastest where, which are one implementation, the crossover, and the advice.

#include "compare.hpp"
#include "sets.hpp"

#include <optional>
#include <vector>

namespace report {

struct Winner {
  size_t from, to;
  size_t variant;          // index into the sets; 0 (default) where nothing is faster
  double ratio, low, high; // to default
};

struct TuneAdvice {
  std::vector<Set> sets;                   // default first
  std::vector<std::vector<size_t>> groups; // variants that are `same` everywhere
  std::vector<Comparison> vs_default;      // [v] compares v with default; [0] empty
  std::vector<Winner> fastest;
  std::optional<size_t> crossover; // none: rep stosb everywhere stays slower
  bool have_stosb_pair = false;
  std::optional<size_t> advised; // variant to set; none: default
  size_t rounds = 0;
};

} // namespace report
