#pragma once
// A program's distribution of memset lengths, as captured with bpftrace or
// written by hand: plain "LENGTH COUNT" lines, bpftrace's text output of a
// count map or of hist() and lhist(), and bpftrace's JSON output. Read
// strictly, within bounds, errors as "file:line: what".

#include "report/formats/capture.hpp"

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace report {

enum class WeightsFormat { Auto, Plain, Map, Hist, Json };
// "plain", "map", "hist", "json"; Auto for "auto"; false for anything else.
bool weights_format_of(const std::string &name, WeightsFormat &format);
const char *weights_format_name(WeightsFormat f);

// A capture holds one line per length or bucket: a few thousand at most.
// 16 MiB bounds what a wrong file can cost.
constexpr size_t kMaxWeightsBytes = 16 << 20;

struct Weights {
  WeightsFormat format = WeightsFormat::Auto; // as read
  std::vector<double> at;                     // at[k-1]: calls of k bytes, k = 1..32768
  double total = 0;                           // every call read
  // Calls the benchmark does not measure, left out and reported, never
  // moved to a length it measures:
  double zero = 0;  // of 0 bytes
  double one = 0;   // of 1 byte: its value carries the first-call binding
  double above = 0; // of more than 32768 bytes
  double open = 0;  // in a bucket without an upper (or lower) bound
  // What was run and what it cost, where the file is a capture.
  std::optional<Capture> capture;
  // Calls at the lengths 2..32768 the weighting uses.
  double measured() const { return total - zero - one - above - open; }
  // Less than half of the calls are measured: the weighted figures speak
  // for a minority of the program's calls, which the outputs say.
  bool mostly_unmeasured() const { return measured() < total / 2; }
};

// Parses a distribution; `name` is for messages. A bucket's calls are
// spread evenly over its lengths, but over 0 and 1 only if it holds no
// other: bpftrace's first bucket [0, 16) holds calls of 2..15 far more
// often than of 0 or 1, which no program calls much.
Weights parse_weights(const std::string &text, const std::string &name, WeightsFormat format);
Weights read_weights(const std::string &path, WeightsFormat format);

} // namespace report
