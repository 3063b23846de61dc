// Intervals for the ratio of one statistic of two sets of runs, by
// resampling whole rounds, and the confidence each look of a sequential
// campaign may claim.

#include "interval.hpp"

#include <cmath>

namespace report {

namespace {

// splitmix64: small, and the same on every compiler.
uint64_t next_random(uint64_t &state) {
  uint64_t z = (state += 0x9e3779b97f4a7c15ULL);
  z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
  z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
  return z ^ (z >> 31);
}

// The estimate from the log ratios of the resamples: est * exp(+-z sd).
Estimate from_resamples(double a, double b, const std::vector<double> &logs, double confidence) {
  Estimate e;
  if (!(a > 0) || !(b > 0))
    return e;
  e.ratio = b / a;
  double mean = 0, var = 0;
  for (double x : logs)
    mean += x / (double)logs.size();
  for (double x : logs)
    var += (x - mean) * (x - mean) / (double)(logs.size() - 1);
  double half = two_sided_z(confidence) * std::sqrt(var);
  e.low = e.ratio * std::exp(-half);
  e.high = e.ratio * std::exp(half);
  e.interval = true;
  return e;
}

} // namespace

double two_sided_z(double confidence) {
  // erfc is monotone: bisect for P(|Z| > z) = 1 - confidence.
  double lo = 0, hi = 40, tail = 1 - confidence;
  for (int i = 0; i < 200; i++) {
    double mid = (lo + hi) / 2;
    (std::erfc(mid / std::sqrt(2.0)) > tail ? lo : hi) = mid;
  }
  return (lo + hi) / 2;
}

Estimate paired_ratio(const std::vector<double> &a, const std::vector<double> &b, Statistic s,
                      double confidence, uint64_t seed) {
  size_t n = std::min(a.size(), b.size());
  std::vector<double> ra(a.begin(), a.begin() + n), rb(b.begin(), b.begin() + n);
  double sa = statistic_of(ra, s), sb = statistic_of(rb, s);
  if (n < kMinRunsForInterval) {
    Estimate e;
    e.ratio = sa > 0 ? sb / sa : 1;
    return e;
  }
  std::vector<double> logs;
  logs.reserve(kResamples);
  uint64_t state = seed;
  for (size_t i = 0; i < kResamples; i++) {
    for (size_t j = 0; j < n; j++) {
      size_t r = next_random(state) % n;
      ra[j] = a[r];
      rb[j] = b[r];
    }
    double x = statistic_of(ra, s), y = statistic_of(rb, s);
    if (x > 0 && y > 0)
      logs.push_back(std::log(y / x));
  }
  if (logs.size() < kResamples / 2)
    return {};
  return from_resamples(sa, sb, logs, confidence);
}

Estimate unpaired_ratio(const std::vector<double> &a, const std::vector<double> &b, Statistic s,
                        double confidence, uint64_t seed) {
  std::vector<double> ra = a, rb = b;
  double sa = statistic_of(ra, s), sb = statistic_of(rb, s);
  if (a.size() < kMinRunsForInterval || b.size() < kMinRunsForInterval) {
    Estimate e;
    e.ratio = sa > 0 ? sb / sa : 1;
    return e;
  }
  std::vector<double> logs;
  logs.reserve(kResamples);
  uint64_t state = seed;
  for (size_t i = 0; i < kResamples; i++) {
    for (size_t j = 0; j < a.size(); j++)
      ra[j] = a[next_random(state) % a.size()];
    for (size_t j = 0; j < b.size(); j++)
      rb[j] = b[next_random(state) % b.size()];
    double x = statistic_of(ra, s), y = statistic_of(rb, s);
    if (x > 0 && y > 0)
      logs.push_back(std::log(y / x));
  }
  if (logs.size() < kResamples / 2)
    return {};
  return from_resamples(sa, sb, logs, confidence);
}

double look_confidence(unsigned look) {
  if (look == 0)
    return 1 - kErrorRate;
  const double pi = 3.14159265358979323846;
  return 1 - kErrorRate * 6 / (pi * pi * (double)look * (double)look);
}

} // namespace report
