#pragma once
// The arithmetic of memset-batch's batches, apart from the timing so that
// it can be tested: what a batch's ticks come to a call, and how many
// calls the next batch needs.

#include "batch/batch_format.hpp"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace batch {

// Ticks a call: the batch's ticks less a fenced pair of readings, over its
// calls; never below 0, where the readings varied by more than the calls cost.
inline double per_call(uint64_t ticks, double read_cost, unsigned calls) {
  return std::max(0.0, ((double)ticks - read_cost) / calls);
}

// Calls for a batch of `target` ticks with a tenth to spare, from one that
// took `ticks` for `calls`, within kMinCalls..kMaxCalls.
inline unsigned calls_for(uint64_t target, uint64_t ticks, unsigned calls) {
  double want = std::ceil((double)calls * (double)target * 1.1 / std::max<double>(1, ticks));
  return (unsigned)std::clamp<double>(want, batch_format::kMinCalls, batch_format::kMaxCalls);
}

// How a batch's fills walk a region of `region` bytes: each call moves on
// by `stride`, whole lines enough for the batch's largest fill at any
// offset into a line, so that a fill lands on lines the one before did not
// touch; at `limit` it starts over from the region's start. A region of
// fewer than two such steps (or none, 0) keeps every fill in one place:
// stride 0.
struct Walk {
  size_t stride = 0, limit = 1;
};
inline Walk walk_for(unsigned long long region, size_t largest) {
  using batch_format::kLine;
  const size_t stride = (largest + kLine - 1 + kLine - 1) / kLine * kLine;
  const unsigned long long steps = region / stride;
  if (steps < 2)
    return {};
  return {stride, (size_t)(steps * stride)};
}

} // namespace batch
