#pragma once
// Pieces of text that several renderers write alike.

#include "report/stats/interval.hpp"
#include "report/sys/text.hpp"

#include <string>

namespace report {

// " [0.981, 1.004]" after an estimate; nothing where it has no interval.
inline std::string interval_suffix(const Estimate &e) {
  return e.interval ? fmt(" [%.3f, %.3f]", e.low, e.high) : "";
}

} // namespace report
