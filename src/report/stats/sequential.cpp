// When an interleaved campaign has run enough rounds: it looks at its data
// at planned rounds and stops once every band of every comparison with the
// first variant is decided, or hidden in the readings.

#include "report/stats/sequential.hpp"

#include <cmath>

namespace report {

unsigned next_look(unsigned last) {
  if (last < kMinRounds)
    return kMinRounds;
  return std::max(last + 1, (unsigned)std::ceil(kLookGrowth * last));
}

double campaign_confidence(const Record &r) {
  return look_confidence(r.stop == Stop::Running ? r.looks + 1 : r.looks);
}

bool LookingObserver::look(unsigned rounds) {
  looks_++;
  last_ = rounds;
  looked_ = true;
  decided_ = decide(look_confidence(looks_));
  return decided_;
}

bool LookingObserver::round_done(unsigned rounds, double elapsed) {
  elapsed_ = elapsed;
  if (rounds < next_look(last_) || elapsed < min_span_)
    return false;
  return look(rounds);
}

bool LookingObserver::final_look(unsigned rounds, double elapsed) {
  if (rounds == last_ || rounds < kMinRounds || elapsed < min_span_)
    return decided_ && rounds == last_;
  return look(rounds);
}

std::string LookingObserver::first_look() const {
  std::string at = "first look at round " + std::to_string(next_look(last_));
  if (min_span_ > 0)
    at += " and " + std::to_string((long)std::ceil(min_span_)) + " s (" +
          std::to_string((long)elapsed_) + " s so far)";
  return at;
}

// Before any look every band of every comparison is unclear.
Sequential::Sequential(std::vector<BandSeries> series, const CompareOptions &opt, unsigned looks,
                       unsigned last_look)
    : LookingObserver(looks, last_look, series.size() <= 1), series_(std::move(series)), opt_(opt) {
  unclear_ = band_grid().size() * (series_.size() > 1 ? series_.size() - 1 : 0);
}

void Sequential::started(const Record &r) {
  for (auto &s : series_) {
    s.step = r.engine == Engine::Bench ? r.machine.tsc_step : std::nullopt;
    s.scale = engine_scale(r.engine);
  }
}

void Sequential::run_done(size_t variant, unsigned round, const RunTicks &run) {
  add_run(series_[variant], round, run);
}

bool Sequential::decide(double confidence) {
  CompareOptions o = opt_;
  o.confidence = confidence;
  unclear_ = 0;
  undecided_.clear();
  for (size_t v = 1; v < series_.size(); v++)
    for (const auto &b : compare_series(series_[0], series_[v], o).bands)
      if (!b.decision().settled()) {
        unclear_++;
        undecided_.push_back({v, b.band.from, b.band.to});
      }
  return unclear_ == 0;
}

std::string Sequential::progress() const {
  if (looks() == 0)
    return first_look();
  return std::to_string(unclear_) + " bands unclear at round " + std::to_string(last_look());
}

} // namespace report
