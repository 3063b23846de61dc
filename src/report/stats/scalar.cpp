// Campaigns with one figure a run: their comparison and their stopping rule.

#include "report/stats/scalar.hpp"

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

ScalarComparison compare_scalar(const ScalarSeries &a, const ScalarSeries &b,
                                const CompareOptions &opt) {
  ScalarComparison c;
  Pairing p = pair_runs(a.campaign, a.rounds, b.campaign, b.rounds, opt.drift);
  c.paired = p.paired;
  c.runs = p.paired ? p.pairs.size() : b.values.size();
  if (a.values.empty() || b.values.empty())
    return c;
  c.est = ratio_of(p, a.values, b.values, opt.statistic, opt.confidence, kScalarSeed);
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
    return "first look at round " + std::to_string(next_look(last_look()));
  return std::to_string(undecided_.size()) + " unclear at round " + std::to_string(last_look());
}

} // namespace report
