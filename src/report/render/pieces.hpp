#pragma once
// Pieces of text that several renderers write alike.

#include "report/stats/interval.hpp"
#include "report/sys/text.hpp"

#include <cmath>
#include <string>

namespace report {

// "[0.981, 1.004]": an interval rounded outwards to `decimals`, so that what
// is printed holds the interval itself, and any real width shows as one:
// rounding to nearest would print 0.6021..0.6024 as [0.602, 0.602], and
// 0.978..1.01 as [0.98, 1.01], which reads as within a 2% threshold.
inline std::string bracket(double low, double high, int decimals) {
  double scale = std::pow(10.0, decimals);
  return fmt("[%.*f, %.*f]", decimals, std::floor(low * scale) / scale, decimals,
             std::ceil(high * scale) / scale);
}

// " [0.981, 1.004]" after an estimate; nothing where it has no interval.
inline std::string interval_suffix(const Estimate &e, int decimals = 3) {
  return e.interval ? " " + bracket(e.low, e.high, decimals) : "";
}

} // namespace report
