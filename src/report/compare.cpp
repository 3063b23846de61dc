// Comparisons of two sets as plain data: per band of lengths a ratio with a
// 95% interval and a verdict, and the ranges that adjacent bands make.

#include "compare.hpp"

#include "analysis.hpp"

#include <algorithm>
#include <cmath>
#include <map>

namespace report {

namespace {

// Two-sided 95%: each tail may hold at most this much.
constexpr double kTail = 0.025;

// Median of one run over one band.
double band_level(const Curve &run, const Band &b) {
  std::vector<double> v(run.begin() + (b.from - 1), run.begin() + b.to);
  return median(std::move(v));
}

// The number of the order statistic that bounds a distribution-free interval:
// the largest c (1-based) whose tail P(X <= c - 1) stays within kTail, where
// `counts` holds the null distribution of X as counts over 0, 1, 2, ...
// Returns 0 when even c = 1 leaves too much in the tail.
size_t order_bound(const std::vector<long double> &counts) {
  long double total = 0;
  for (auto c : counts)
    total += c;
  long double below = 0;
  size_t c = 0;
  for (size_t k = 0; k < counts.size(); k++) {
    below += counts[k]; // P(X <= k)
    if (below / total > kTail)
      break;
    c = k + 1;
  }
  return c;
}

Verdict verdict_of(const Estimate &e, double threshold) {
  if (!e.enough)
    return Verdict::Same;
  if (e.high < 1 && e.ratio < 1 - threshold)
    return Verdict::Faster;
  if (e.low > 1 && e.ratio > 1 + threshold)
    return Verdict::Slower;
  return Verdict::Same;
}

} // namespace

const char *verdict_name(Verdict v) {
  switch (v) {
  case Verdict::Faster:
    return "faster";
  case Verdict::Slower:
    return "slower";
  default:
    return "same";
  }
}

const std::vector<Band> &band_grid() {
  static const std::vector<Band> grid = [] {
    std::vector<size_t> edges;
    for (int k = 4; k < 60; k++) {
      auto e = (size_t)std::floor(std::pow(2.0, k / 4.0));
      if (edges.empty() || e != edges.back())
        edges.push_back(e);
    }
    std::vector<Band> g;
    for (size_t i = 0; i < edges.size(); i++)
      g.push_back({edges[i], i + 1 < edges.size() ? edges[i + 1] - 1 : kLengths});
    return g;
  }();
  return grid;
}

Estimate paired_estimate(std::vector<double> ratios) {
  Estimate e;
  if (ratios.empty())
    return e;
  std::sort(ratios.begin(), ratios.end());
  size_t n = ratios.size();
  e.ratio = median(ratios);
  // The sign test: under the median, the count of ratios below it is
  // Binomial(n, 1/2).
  std::vector<long double> binom(n + 1);
  binom[0] = 1;
  for (size_t k = 1; k <= n; k++)
    binom[k] = binom[k - 1] * (long double)(n - k + 1) / k;
  size_t c = order_bound(binom);
  e.enough = c > 0;
  e.low = ratios[e.enough ? c - 1 : 0];
  e.high = ratios[e.enough ? n - c : n - 1];
  return e;
}

Estimate unpaired_estimate(const std::vector<double> &a, const std::vector<double> &b) {
  Estimate e;
  size_t n = a.size(), m = b.size();
  if (n == 0 || m == 0)
    return e;
  std::vector<double> d;
  d.reserve(n * m);
  for (double x : a)
    for (double y : b)
      d.push_back(std::log(y) - std::log(x));
  std::sort(d.begin(), d.end());
  e.ratio = std::exp(median(d));
  // Null distribution of the Mann-Whitney U: the coefficients of the
  // Gaussian binomial [n+m choose n] in q, built as the product of
  // (1 - q^(m+i)) / (1 - q^i) for i = 1..n.
  size_t deg = n * m;
  std::vector<long double> u(deg + 1, 0);
  u[0] = 1;
  for (size_t i = 1; i <= n; i++) {
    for (size_t k = deg; k >= m + i && k <= deg; k--)
      u[k] -= u[k - (m + i)];
    for (size_t k = i; k <= deg; k++)
      u[k] += u[k - i];
  }
  size_t c = order_bound(u);
  e.enough = c > 0;
  e.low = std::exp(d[e.enough ? c - 1 : 0]);
  e.high = std::exp(d[e.enough ? deg - c : deg - 1]);
  return e;
}

std::vector<Span> merge_bands(const std::vector<Band> &bands, const std::vector<Estimate> &est,
                              const std::vector<size_t> &key) {
  std::vector<Span> out;
  for (size_t i = 0; i < bands.size();) {
    size_t j = i;
    std::vector<std::pair<double, size_t>> ratios; // ratio, lengths
    double low = INFINITY, high = -INFINITY;
    for (; j < bands.size() && key[j] == key[i]; j++) {
      ratios.push_back({est[j].ratio, bands[j].to - bands[j].from + 1});
      low = std::min(low, est[j].low);
      high = std::max(high, est[j].high);
    }
    // The median over the span's lengths: each band weighs as many as it holds.
    std::sort(ratios.begin(), ratios.end());
    size_t total = 0, seen = 0;
    for (const auto &r : ratios)
      total += r.second;
    double ratio = ratios.back().first;
    for (const auto &r : ratios)
      if (2 * (seen += r.second) >= total) {
        ratio = r.first;
        break;
      }
    out.push_back({bands[i].from, bands[j - 1].to, key[i], ratio, low, high});
    i = j;
  }
  return out;
}

bool can_pair(const Set &a, const Set &b) {
  return !a.campaign.empty() && a.campaign == b.campaign;
}

Comparison compare_sets(const Set &a, const Set &b, const CompareOptions &opt) {
  Comparison c;
  c.paired = can_pair(a, b);
  c.threshold = opt.threshold;
  c.drift = c.paired ? 0 : opt.drift;

  // Runs taken side by side share a round number.
  std::vector<std::pair<const Curve *, const Curve *>> pairs;
  if (c.paired) {
    std::map<unsigned, const Curve *> by_round;
    for (size_t i = 0; i < a.runs.size(); i++)
      by_round[a.rounds[i]] = &a.runs[i];
    for (size_t j = 0; j < b.runs.size(); j++)
      if (auto it = by_round.find(b.rounds[j]); it != by_round.end())
        pairs.push_back({it->second, &b.runs[j]});
    c.runs_base = c.runs_other = pairs.size();
  } else {
    c.runs_base = a.runs.size();
    c.runs_other = b.runs.size();
  }

  c.enough = true;
  for (const Band &band : band_grid()) {
    Estimate e;
    if (c.paired) {
      std::vector<double> ratios;
      for (auto [ra, rb] : pairs) {
        double la = band_level(*ra, band), lb = band_level(*rb, band);
        if (la > 0)
          ratios.push_back(lb / la);
        else if (lb == 0)
          ratios.push_back(1);
      }
      e = paired_estimate(std::move(ratios));
    } else {
      std::vector<double> la, lb;
      for (const auto &r : a.runs)
        if (double l = band_level(r, band); l > 0)
          la.push_back(l);
      for (const auto &r : b.runs)
        if (double l = band_level(r, band); l > 0)
          lb.push_back(l);
      e = unpaired_estimate(la, lb);
      e.low /= 1 + c.drift;
      e.high *= 1 + c.drift;
    }
    c.enough = c.enough && e.enough;
    c.bands.push_back({band, e, verdict_of(e, opt.threshold)});
  }

  std::vector<Estimate> est;
  std::vector<size_t> verdicts;
  for (const auto &br : c.bands) {
    est.push_back(br.est);
    verdicts.push_back((size_t)br.verdict);
  }
  for (const Span &sp : merge_bands(band_grid(), est, verdicts))
    c.ranges.push_back({sp.from, sp.to, (Verdict)sp.key, sp.ratio, sp.low, sp.high, c.enough});
  return c;
}

const Range *worst_slower(const Comparison &c) {
  const Range *worst = nullptr;
  for (const auto &r : c.ranges)
    if (r.verdict == Verdict::Slower && (!worst || r.ratio > worst->ratio))
      worst = &r;
  return worst;
}

} // namespace report
