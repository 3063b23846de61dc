#pragma once
// Tuning advice: which memset glibc should pick on this machine, from one
// interleaved campaign of the settings that steer its choice. Pure: running
// that campaign is the caller's.

#include "report/advice/standings.hpp"
#include "report/formats/sets.hpp"
#include "report/formats/weights.hpp"
#include "report/stats/compare.hpp"

#include <optional>

namespace report {

// The advice from a finished tuning campaign's sets (default first). With
// weights, the advice is the setting with the lowest expected cost for that
// distribution, decided faster, and decided slower in no band the
// distribution calls.
TuneAdvice advise(std::vector<Set> sets, const CompareOptions &opt,
                  const std::optional<Weights> &weights = std::nullopt);

} // namespace report
