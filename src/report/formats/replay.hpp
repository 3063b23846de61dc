#pragma once
// A replay's mix: a capture's or weights file's calls by length, as the
// batched engine times them (batch/mix_format.hpp owns the layout), and the
// copy of the file a replay campaign keeps beside its runs.

#include "batch/mix_format.hpp"
#include "report/formats/weights.hpp"

#include <string>

namespace report {

struct Replay {
  std::string source; // the file as read, byte for byte
  Weights weights;
  mix_format::Mix mix;
  uint64_t calls = 0; // in the mix: calls of 1..32768 bytes
};

// The calls of 1..32768 bytes, as whole calls: a capture's counts as they
// are; a weights file's fractions scaled so that the most called length has
// a billion. An InputError where no call is at 1..32768 bytes.
mix_format::Mix mix_of(const Weights &w, const std::string &name);

// Reads `path` as summary --weights does (format auto-detected unless
// given), and its mix.
Replay read_replay(const std::string &path, WeightsFormat format = WeightsFormat::Auto);

} // namespace report
