// Intervals for the ratio of one statistic of two sets of runs, by
// resampling whole rounds, and the confidence each look of a sequential
// campaign may claim.

#include "report/stats/interval.hpp"

#include "report/stats/splitmix.hpp"

#include <algorithm>
#include <cmath>
#include <map>

namespace report {

namespace {

// Degrees of freedom past which Student's t is the normal's quantile.
constexpr double kManyDegrees = 1e6;

// The estimate from the log ratios of the resamples: est * exp(+-half),
// where half adds t sd (Student's t for `df` degrees of freedom) and the
// floor for what a repeat campaign varies by, in quadrature.
double variance(const std::vector<double> &v) {
  double mean = 0, var = 0;
  for (double x : v)
    mean += x / (double)v.size();
  for (double x : v)
    var += (x - mean) * (x - mean) / (double)(v.size() - 1);
  return var;
}

// t sd of the resamples (Student's t for `df`: the spread is estimated from
// few runs) and the floor `known` (the normal's quantile: it is known, not
// estimated), in quadrature.
double half_width(double var, double known, double confidence, double df) {
  double sampled = two_sided_t(confidence, df) * std::sqrt(var);
  double floor = two_sided_t(confidence, kManyDegrees) * known;
  return std::sqrt(sampled * sampled + floor * floor);
}

// The estimate from the log ratios and the differences of the resamples:
// ratio * exp(+-half), and the difference +-half in ticks, the floor there
// the same share of A's level.
Estimate from_resamples(double a, double b, const std::vector<double> &logs,
                        const std::vector<double> &diffs, double confidence, double df) {
  Estimate e;
  if (!(a > 0) || !(b > 0))
    return e;
  e.ratio = b / a;
  double half = half_width(variance(logs), kBetweenCampaigns, confidence, df);
  e.low = e.ratio * std::exp(-half);
  e.high = e.ratio * std::exp(half);
  e.base = a;
  e.diff = b - a;
  double diff_half = half_width(variance(diffs), kBetweenCampaigns * a, confidence, df);
  e.diff_low = e.diff - diff_half;
  e.diff_high = e.diff + diff_half;
  e.interval = true;
  return e;
}

} // namespace

double two_sided_t(double confidence, double df) {
  // P(|T| > t) by Simpson's rule on the density, bisected; cached, as the
  // same few pairs recur for every band.
  static thread_local std::map<std::pair<double, double>, double> cache;
  auto key = std::make_pair(confidence, df);
  if (auto it = cache.find(key); it != cache.end())
    return it->second;
  double norm = std::lgamma((df + 1) / 2) - std::lgamma(df / 2) - 0.5 * std::log(df * M_PI);
  auto density = [&](double x) { return std::exp(norm - (df + 1) / 2 * std::log1p(x * x / df)); };
  auto tail = [&](double t) { // P(|T| > t)
    const int steps = 2000;
    double h = t / steps, sum = density(0) + density(t);
    for (int k = 1; k < steps; k++)
      sum += density(k * h) * (k % 2 ? 4 : 2);
    return 1 - 2 * sum * h / 3;
  };
  double lo = 0, hi = 1;
  while (tail(hi) > 1 - confidence && hi < 1e6)
    hi *= 2;
  for (int i = 0; i < 60; i++) {
    double mid = (lo + hi) / 2;
    (tail(mid) > 1 - confidence ? lo : hi) = mid;
  }
  return cache[key] = (lo + hi) / 2;
}

size_t block_length(size_t runs) {
  return std::max<size_t>(1, (size_t)std::lround(std::sqrt((double)runs)));
}

namespace {

// One resample of `from` into `to` (of the same size): blocks of
// block_length consecutive runs, each from a random start, wrapping round.
void resample_blocks(const std::vector<double> &from, std::vector<double> &to, uint64_t &state) {
  const size_t n = from.size(), length = block_length(n);
  for (size_t j = 0; j < n;) {
    size_t r = next_random(state) % n;
    for (size_t k = 0; k < length && j < n; k++, j++)
      to[j] = from[(r + k) % n];
  }
}

// The estimate of B / A and its interval, from `resample`, which fills ra
// and rb with one resample of A's and B's runs.
template <typename Resample>
Estimate resampled_ratio(std::vector<double> ra, std::vector<double> rb, size_t runs, Statistic s,
                         double confidence, Resample resample) {
  // The runs the statistic rests on: its share of the smaller set, and at
  // least one. A low tail of a few runs is a small sample however many runs
  // there are, and resampling a few runs understates how far it can move.
  double share = s == Statistic::Low ? kLowShare : 0.5;
  double df = std::max(1.0, share * (double)runs - 1);
  double sa = statistic_of(ra, s), sb = statistic_of(rb, s);
  if (runs < kMinRunsForInterval) {
    Estimate e;
    e.ratio = sa > 0 ? sb / sa : 1;
    e.diff = sb - sa;
    return e;
  }
  std::vector<double> logs, diffs;
  logs.reserve(kResamples);
  diffs.reserve(kResamples);
  for (size_t i = 0; i < kResamples; i++) {
    resample(ra, rb);
    double x = statistic_of(ra, s), y = statistic_of(rb, s);
    if (x > 0 && y > 0) {
      logs.push_back(std::log(y / x));
      diffs.push_back(y - x);
    }
  }
  if (logs.size() < kResamples / 2)
    return {};
  return from_resamples(sa, sb, logs, diffs, confidence, df);
}

} // namespace

Estimate paired_ratio(const std::vector<double> &a, const std::vector<double> &b, Statistic s,
                      double confidence, uint64_t seed) {
  size_t n = std::min(a.size(), b.size());
  uint64_t state = seed;
  return resampled_ratio({a.begin(), a.begin() + n}, {b.begin(), b.begin() + n}, n, s, confidence,
                         [&](std::vector<double> &ra, std::vector<double> &rb) {
                           const size_t length = block_length(n);
                           for (size_t j = 0; j < n;) {
                             size_t r = next_random(state) % n;
                             for (size_t k = 0; k < length && j < n; k++, j++) {
                               ra[j] = a[(r + k) % n];
                               rb[j] = b[(r + k) % n];
                             }
                           }
                         });
}

Estimate unpaired_ratio(const std::vector<double> &a, const std::vector<double> &b, Statistic s,
                        double confidence, uint64_t seed) {
  uint64_t state = seed;
  return resampled_ratio(a, b, std::min(a.size(), b.size()), s, confidence,
                         [&](std::vector<double> &ra, std::vector<double> &rb) {
                           resample_blocks(a, ra, state);
                           resample_blocks(b, rb, state);
                         });
}

double look_confidence(unsigned look) {
  if (look == 0)
    return 1 - kErrorRate;
  const double pi = 3.14159265358979323846;
  return 1 - kErrorRate * 6 / (pi * pi * (double)look * (double)look);
}

} // namespace report
