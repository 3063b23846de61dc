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

} // namespace batch
