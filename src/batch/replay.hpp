#pragma once
// The lengths a replay times: a mix's calls in proportion, in a random
// order, drawn from a seed before any timing, so that drawing costs
// nothing inside the timed loop and no predictor learns the order.

#include "batch/mix_format.hpp"
#include "batch/splitmix.hpp"

#include <algorithm>
#include <cstdint>
#include <vector>

namespace batch {

// Calls a replay's sequence holds: every length with a 65536th of the calls
// or more is in it, and a pass over it spans many counter steps.
constexpr size_t kReplayCalls = 1u << 16;

// `n` lengths, each length's share of them its share of the mix's calls to
// within one call (largest remainders, the lower length first on a tie),
// shuffled with the seed.
inline std::vector<size_t> replay_sequence(const mix_format::Mix &mix, size_t n, uint64_t seed) {
  long double total = 0;
  for (const auto &m : mix)
    total += (long double)m.second;
  std::vector<size_t> quota(mix.size());
  std::vector<std::pair<long double, size_t>> rest;
  size_t given = 0;
  for (size_t i = 0; i < mix.size(); i++) {
    long double exact = (long double)n * (long double)mix[i].second / total;
    quota[i] = (size_t)exact;
    given += quota[i];
    rest.emplace_back(exact - (long double)quota[i], i);
  }
  std::stable_sort(rest.begin(), rest.end(),
                   [](const auto &a, const auto &b) { return a.first > b.first; });
  for (size_t k = 0; given < n && k < rest.size(); k++, given++)
    quota[rest[k].second]++;
  std::vector<size_t> seq;
  seq.reserve(n);
  for (size_t i = 0; i < mix.size(); i++)
    seq.insert(seq.end(), quota[i], mix[i].first);
  uint64_t state = seed;
  for (size_t i = seq.size(); i > 1; i--)
    std::swap(seq[i - 1], seq[next_random(state) % i]);
  return seq;
}

// Where each call of a replay's sequence lands, drawn with `seed` before
// any timing: its offset from a line from its length's class in
// `landing`, in proportion to the calls there, and whether it lands cold,
// with the mix's share of cold calls.
struct Landed {
  std::vector<unsigned char> offsets;
  std::vector<unsigned char> cold;
};
inline Landed replay_landing(const std::vector<size_t> &seq, const mix_format::Landing &landing,
                             uint64_t seed) {
  using namespace mix_format;
  Landed out;
  uint64_t total[kClasses] = {};
  for (unsigned k = 0; k < kClasses; k++)
    for (uint64_t n : landing.offsets[k])
      total[k] += n;
  uint64_t state = seed ^ 0x6a09e667f3bcc909ull; // a stream of its own: the order's stays
  for (size_t len : seq) {
    const unsigned k = length_class(len);
    // An offset in proportion to its calls: a point in the class's calls.
    uint64_t at = total[k] ? next_random(state) % total[k] : 0;
    unsigned o = 0;
    while (o + 1 < kLine && at >= landing.offsets[k][o])
      at -= landing.offsets[k][o++];
    out.offsets.push_back((unsigned char)o);
    out.cold.push_back(next_random(state) % kPpm < landing.cold_ppm);
  }
  return out;
}

// Where in a replay's region each call of `passes` passes over the
// sequence lands, in bytes from its start: a hot call at its offset into
// the region's first line, where every hot call lands; a cold call at its
// offset into a line drawn at random (with `seed`) past the hot place, as a
// program's cold fills land here and there, which no prefetcher follows;
// drawn again where it would meet a line the cold call before touched.
inline std::vector<size_t> replay_positions(const std::vector<size_t> &seq, const Landed &l,
                                            unsigned long long region, int passes,
                                            uint64_t seed = 0) {
  using mix_format::kLine;
  const size_t hot = 2 * mix_format::kLengths; // the hot place, and room for its longest fill
  // Lines a cold fill may start on: its longest fill at its last offset
  // fits; a region of kLeastLandedRegion or more leaves lines clear of the
  // cold call before.
  const size_t starts = (size_t)((region - hot - 2 * mix_format::kLengths) / kLine);
  std::vector<size_t> pos;
  pos.reserve(seq.size() * (size_t)passes);
  uint64_t state = seed ^ 0xbb67ae8584caa73bull;
  size_t last_from = 0, last_to = 0; // the cold call before's lines
  for (int p = 0; p < passes; p++)
    for (size_t i = 0; i < seq.size(); i++) {
      if (!l.cold[i]) {
        pos.push_back(l.offsets[i]);
        continue;
      }
      const size_t lines = (l.offsets[i] + seq[i] + kLine - 1) / kLine;
      size_t line;
      do
        line = hot / kLine + (size_t)(next_random(state) % starts);
      while (line <= last_to && line + lines > last_from);
      last_from = line;
      last_to = line + lines - 1;
      pos.push_back(line * kLine + l.offsets[i]);
    }
  return pos;
}

} // namespace batch
