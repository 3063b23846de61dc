// A replay's mix, from a capture or a weights file.

#include "report/formats/replay.hpp"

#include "report/sys/errors.hpp"
#include "report/sys/files.hpp"

#include <algorithm>
#include <cmath>

namespace report {

mix_format::Mix mix_of(const Weights &w, const std::string &name) {
  double most = 0;
  bool whole = true;
  for (double c : w.at) {
    most = std::max(most, c);
    whole = whole && c == std::floor(c);
  }
  most = std::max(most, w.one);
  whole = whole && w.one == std::floor(w.one);
  const double scale = whole ? 1 : 1e9 / std::max(most, 1e-300);
  mix_format::Mix mix;
  for (size_t k = 1; k <= w.at.size() && k <= mix_format::kLengths; k++) {
    // The weights keep 1-byte calls apart (a curve's first value carries
    // the binding); a replay's figure has no binding in it, so they count.
    double calls = std::round((k == 1 ? w.one : w.at[k - 1]) * scale);
    if (calls >= 1)
      mix.emplace_back(k, (uint64_t)std::min(calls, (double)mix_format::kMaxCalls));
  }
  if (mix.empty())
    throw InputError(name + ": no calls of 1 to 32768 bytes, so nothing to replay");
  return mix;
}

std::optional<mix_format::Landing> landing_of(const mix_format::Mix &mix,
                                              const std::optional<CaptureLandings> &captured) {
  if (!captured)
    return std::nullopt;
  mix_format::Landing l;
  bool in_mix[kLengthClasses] = {};
  for (const auto &m : mix)
    in_mix[mix_format::length_class(m.first)] = true;
  uint64_t calls = 0, recent = 0;
  for (unsigned k = 0; k < kLengthClasses; k++) {
    if (!in_mix[k])
      continue;
    if (!captured->calls(k)) // a capture cut short of a class: nothing to draw from
      return std::nullopt;
    std::copy(std::begin(captured->offsets[k]), std::end(captured->offsets[k]), l.offsets[k]);
    calls += captured->calls(k);
    recent += std::min(captured->recent[k], captured->calls(k));
  }
  l.cold_ppm = calls ? (uint64_t)std::llround(1e6 * (double)(calls - recent) / (double)calls) : 0;
  return l;
}

Replay read_replay(const std::string &path, WeightsFormat format) {
  Replay r;
  r.source = read_regular_file(path, kMaxWeightsBytes, "a capture or weights file");
  r.weights = parse_weights(r.source, path, format);
  r.mix = mix_of(r.weights, path);
  for (const auto &m : r.mix)
    r.calls += m.second;
  if (r.weights.capture)
    r.landing = landing_of(r.mix, r.weights.capture->landings);
  return r;
}

} // namespace report
