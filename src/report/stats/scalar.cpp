// Campaigns with one figure a run: their comparison and their stopping rule.

#include "report/stats/scalar.hpp"

#include <algorithm>

namespace report {

namespace {
// A fixed seed: the same files always give the same interval.
constexpr uint64_t kScalarSeed = 0x5ca1a7;
} // namespace

void add_scalar_run(ScalarSeries &s, unsigned round, const RunTicks &run, size_t index,
                    double scale) {
  if (run.size() <= index)
    return;
  s.rounds.push_back(round);
  s.values.push_back((double)run[index] / scale);
}

ScalarSeries scalar_series(const Set &set, size_t index, double scale) {
  ScalarSeries s;
  s.campaign = set.campaign;
  for (size_t r = 0; r < set.runs.size(); r++)
    add_scalar_run(s, set.rounds[r], set.runs[r], index, scale);
  return s;
}

namespace {

// The estimate of pairs from..to of `p` (in round order).
RoundsEstimate part_of(const Pairing &p, size_t from, size_t to, const ScalarSeries &a,
                       const ScalarSeries &b, const CompareOptions &opt, uint64_t seed) {
  Pairing part = p;
  part.pairs.assign(p.pairs.begin() + (ptrdiff_t)from, p.pairs.begin() + (ptrdiff_t)to);
  part.runs_a = part.runs_b = part.pairs.size();
  return {a.rounds[part.pairs.front().first], a.rounds[part.pairs.back().first],
          ratio_of(part, a.values, b.values, opt.statistic, opt.confidence, seed)};
}

// The halves of a paired campaign, where their intervals share no value.
std::optional<std::array<RoundsEstimate, 2>> moved_halves(const Pairing &p, const ScalarSeries &a,
                                                          const ScalarSeries &b,
                                                          const CompareOptions &opt) {
  if (!p.paired || p.pairs.size() < kMinRoundsForHalves)
    return std::nullopt;
  Pairing in_order = p;
  std::sort(in_order.pairs.begin(), in_order.pairs.end(),
            [&](auto x, auto y) { return a.rounds[x.first] < a.rounds[y.first]; });
  const size_t half = p.pairs.size() / 2;
  std::array<RoundsEstimate, 2> h = {
      part_of(in_order, 0, half, a, b, opt, kScalarSeed + 1),
      part_of(in_order, half, p.pairs.size(), a, b, opt, kScalarSeed + 2)};
  const Estimate &x = h[0].est, &y = h[1].est;
  if (!x.interval || !y.interval || (x.high >= y.low && y.high >= x.low))
    return std::nullopt;
  return h;
}

} // namespace

ScalarComparison compare_scalar(const ScalarSeries &a, const ScalarSeries &b,
                                const CompareOptions &opt) {
  ScalarComparison c;
  Pairing p = pair_runs(a.campaign, a.rounds, b.campaign, b.rounds, opt.drift);
  c.paired = p.paired;
  c.runs = p.paired ? p.pairs.size() : b.values.size();
  if (a.values.empty() || b.values.empty())
    return c;
  c.est = ratio_of(p, a.values, b.values, opt.statistic, opt.confidence, kScalarSeed);
  c.moved = moved_halves(p, a, b, opt);
  if (c.moved && c.est.interval)
    for (const auto &h : *c.moved) {
      c.est.low = std::min(c.est.low, h.est.low);
      c.est.high = std::max(c.est.high, h.est.high);
      c.est.diff_low = std::min(c.est.diff_low, h.est.diff_low);
      c.est.diff_high = std::max(c.est.diff_high, h.est.diff_high);
    }
  c.decision = decide(c.est, opt.threshold);
  return c;
}

ScalarSequential::ScalarSequential(std::vector<ScalarSeries> series, size_t index, double scale,
                                   const CompareOptions &opt, unsigned looks, unsigned last_look)
    : LookingObserver(looks, last_look, false), series_(std::move(series)), index_(index),
      scale_(scale), opt_(opt) {}

void ScalarSequential::run_done(size_t variant, unsigned round, const RunTicks &run) {
  if (variant >= series_.size())
    series_.resize(variant + 1);
  add_scalar_run(series_[variant], round, run, index_, scale_);
}

bool ScalarSequential::decide(double confidence) {
  CompareOptions o = opt_;
  o.confidence = confidence;
  undecided_.clear();
  for (size_t v = 1; v < series_.size(); v++)
    if (!compare_scalar(series_[0], series_[v], o).decision.settled())
      undecided_.push_back({v, 0, 0});
  return undecided_.empty();
}

std::string ScalarSequential::progress() const {
  if (!looked())
    return first_look();
  return std::to_string(undecided_.size()) + " unclear at round " + std::to_string(last_look());
}

} // namespace report
