#pragma once
// Numbers given to an option, checked: each refusal a UsageError that
// names the option and what it takes.

#include "report/sys/errors.hpp"
#include "report/sys/text.hpp"

#include <string>

namespace report {

// A whole number of digits only, at most `max`.
inline unsigned long count_value(const std::string &option, const std::string &s,
                                 unsigned long max) {
  std::optional<uint64_t> v = parse_whole(s, max);
  if (!v)
    throw UsageError(option + " takes a whole number up to " + std::to_string(max) + ", got '" + s +
                     "'");
  return (unsigned long)*v;
}

// Plain decimal: digits with an optional fraction; no sign, hex or spaces.
inline double decimal_value(const std::string &option, const std::string &s, double lo, double hi) {
  std::optional<double> v = parse_decimal(s);
  if (!v || *v < lo || *v > hi)
    throw UsageError(option + " takes a decimal number from " + std::to_string((long)lo) + " to " +
                     std::to_string((long)hi) + ", got '" + s + "'");
  return *v;
}

} // namespace report
