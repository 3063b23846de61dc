#pragma once
// The time-stamp counter's step, read from differences of its readings: the
// one rule memset-batch sizes its batches by and memset-report records as a
// campaign's tsc_step, so that the two cannot disagree.
//
// The step is the largest q from kMinStep up to kMaxStep, tried in
// hundredths of a tick, such that kNearShare of the non-zero differences lie
// within one tick of a multiple of q; 1 where none does. A counter that moves
// at 100 MHz but is read in 2445 MHz ticks moves in steps of 24.45, so its
// differences are 24 or 25, 49, 73 or 74 and so on: whole multiples would
// never fit, and their greatest common divisor is 1. Nor does it fit a
// counter whose differences are multiples of 26 but for a few that differ
// by exactly 1 (AMD's Zen 4 here: 1.6% of them), a reading taken as the
// counter moved. Steps of 2 or 3, too small for "within one tick", are
// found where kNearShare of the differences are exact multiples. The q
// found is then refined by least squares over the differences it explains,
// which weighs long differences most, where the truncation of single
// readings matters least. Below 4 every value is within a tick of some
// multiple, so no smaller step can be told. An interrupt gives a far
// multiple; on a counter that moves every tick the differences spread over
// neighbouring values and no q passes. Zero differences say nothing of q and
// are left out.

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <map>
#include <vector>

namespace batch {

constexpr double kMinStep = 4;
constexpr double kMaxStep = 1024;
constexpr double kNearShare = 0.95;

namespace detail {

// Whether kNearShare of the differences lie within one tick of a multiple of
// q; stops as soon as too many do not, which is early for nearly every q.
inline bool explains(const std::map<uint64_t, size_t> &counts, size_t total, double q) {
  double allowed = (1 - kNearShare) * (double)total, missed = 0;
  for (auto [x, n] : counts) {
    double k = std::round((double)x / q);
    if (std::fabs((double)x - k * q) > 1.0 && (missed += (double)n) > allowed)
      return false;
  }
  return true;
}

} // namespace detail

inline double estimate_step(const std::vector<uint64_t> &diffs) {
  // Few distinct values recur many times: count each once.
  std::map<uint64_t, size_t> counts;
  size_t total = 0;
  for (uint64_t x : diffs)
    if (x != 0) {
      counts[x]++;
      total++;
    }
  if (total == 0)
    return 1;
  for (long hundredths = (long)(kMaxStep * 100); hundredths >= (long)(kMinStep * 100);
       hundredths--) {
    double q = hundredths / 100.0;
    if (!detail::explains(counts, total, q))
      continue;
    // Least squares over the explained differences: q = sum(x k) / sum(k^2).
    double xk = 0, kk = 0;
    for (auto [x, n] : counts) {
      double k = std::round((double)x / q);
      if (k >= 1 && std::fabs((double)x - k * q) <= 1.0) {
        xk += (double)n * (double)x * k;
        kk += (double)n * k * k;
      }
    }
    return kk > 0 ? std::round(xk / kk * 100) / 100 : q;
  }
  // Below kMinStep "within one tick" says nothing; a counter that moves in
  // steps of 2 or 3 (seen under a hypervisor) shows only exact multiples.
  for (uint64_t q : {3, 2}) {
    size_t exact = 0;
    for (auto [x, n] : counts)
      exact += x % q == 0 ? n : 0;
    if ((double)exact >= kNearShare * (double)total)
      return (double)q;
  }
  return 1;
}

// The step as a batch's file gives it, in whole ticks: rounded up, so that
// a batch of 1000 such steps spans at least 1000 of the counter's own
// (25 for Zen 3's 24.45).
inline uint64_t whole_step(double step) {
  return std::max<uint64_t>(1, (uint64_t)std::ceil(step - 1e-9));
}

} // namespace batch
