#pragma once
// The result file of memset-bench: its exact format, read strictly and within bounds.

#include "report/sys/errors.hpp"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace report {

// Number of values in a result file: one per fill length, 1 to 32768 bytes.
constexpr size_t kLengths = 32768;

// The most a result file can hold: kLengths values of at most 20 digits (the
// width of 2^64 - 1) and a line feed between each two. Reading stops as soon
// as a file passes it, so a device or a pipe that never ends is refused.
constexpr size_t kMaxResultBytes = kLengths * 21 - 1;

// One run's values: for a curve, value k-1 belongs to a fill of k bytes (in
// ticks, or an engine's fraction of one: engine_scale); for a program run,
// its wall-clock and CPU time in microseconds (program_file).
using RunValues = std::vector<uint64_t>;

// Parses one result file strictly: exactly kLengths unsigned decimals without
// sign or leading zeros, one line feed between values, none after the last.
// Throws InputError naming `name` and the line.
RunValues parse_result(const std::string &text, const std::string &name);

} // namespace report
