#pragma once
// A replay's mix: a capture's or weights file's calls by length, as the
// batched engine times them (batch/mix_format.hpp owns the layout), and the
// copy of the file a replay campaign keeps beside its runs.

#include "batch/mix_format.hpp"
#include "report/formats/capture.hpp"
#include "report/formats/weights.hpp"

#include <optional>

#include <string>

namespace report {

struct Replay {
  std::string source; // the file as read, byte for byte
  Weights weights;
  mix_format::Mix mix;
  uint64_t calls = 0; // in the mix: calls of 1..32768 bytes
  // Where a capture's fills landed, for the mix's classes of lengths; none
  // for a weights file or a capture from before captures kept it.
  std::optional<mix_format::Landing> landing;
};

// The mix's landing from a capture's: each class of lengths the mix calls
// with its offsets, and the share of cold calls (those whose first line no
// recent fill touched) in a million, over the calls of those classes.
std::optional<mix_format::Landing> landing_of(const mix_format::Mix &mix,
                                              const std::optional<CaptureLandings> &captured);

// The calls of 1..32768 bytes, as whole calls: a capture's counts as they
// are; a weights file's fractions scaled so that the most called length has
// a billion. An InputError where no call is at 1..32768 bytes.
mix_format::Mix mix_of(const Weights &w, const std::string &name);

// Reads `path` as summary --weights does (format auto-detected unless
// given), and its mix.
Replay read_replay(const std::string &path, WeightsFormat format = WeightsFormat::Auto);

} // namespace report
