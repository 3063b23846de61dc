// Campaigns with one figure a run: their comparison and their stopping rule.

#include "report/stats/one_figure.hpp"

#include <algorithm>

namespace report {

namespace {
// A fixed seed: the same files always give the same interval.
constexpr uint64_t kScalarSeed = 0x5ca1a7;
} // namespace

void add_scalar_run(ScalarSeries &s, unsigned round, const RunValues &run, size_t index,
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

// The parts of a paired campaign, where two of them disagree.
std::vector<RoundsEstimate> moved_parts(const Pairing &p, const ScalarSeries &a,
                                        const ScalarSeries &b, const CompareOptions &opt) {
  const size_t parts = std::min(kMaxParts, p.pairs.size() / kRoundsPerPart);
  if (!p.paired || parts < 2)
    return {};
  Pairing in_order = p;
  std::sort(in_order.pairs.begin(), in_order.pairs.end(),
            [&](auto x, auto y) { return a.rounds[x.first] < a.rounds[y.first]; });
  std::vector<RoundsEstimate> out;
  for (size_t k = 0; k < parts; k++)
    out.push_back(part_of(in_order, k * p.pairs.size() / parts, (k + 1) * p.pairs.size() / parts, a,
                          b, opt, kScalarSeed + 1 + k));
  for (const auto &x : out)
    for (const auto &y : out)
      if (x.est.interval && y.est.interval && x.est.high < y.est.low)
        return out;
  return {};
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
  c.moved = moved_parts(p, a, b, opt);
  // Out to each part's own estimate: a part that straddles two states has
  // a wide interval of its own that says nothing of either.
  if (c.est.interval)
    for (const auto &h : c.moved) {
      c.est.low = std::min(c.est.low, h.est.ratio);
      c.est.high = std::max(c.est.high, h.est.ratio);
      c.est.diff_low = std::min(c.est.diff_low, h.est.diff);
      c.est.diff_high = std::max(c.est.diff_high, h.est.diff);
    }
  c.decision = decide(c.est, opt.threshold);
  return c;
}

ScalarSequential::ScalarSequential(std::vector<ScalarSeries> series, size_t index, double scale,
                                   const CompareOptions &opt, unsigned looks, unsigned last_look)
    : LookingObserver(looks, last_look, false), series_(std::move(series)), index_(index),
      scale_(scale), opt_(opt) {}

void ScalarSequential::run_done(size_t variant, unsigned round, const RunValues &run) {
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
