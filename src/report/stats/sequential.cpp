// When a curve campaign is decided.

#include "report/stats/sequential.hpp"

namespace report {

// Before any look every band of every comparison is unclear.
Sequential::Sequential(std::vector<BandSeries> series, const CompareOptions &opt, unsigned looks,
                       unsigned last_look)
    : LookingObserver(looks, last_look, series.size() <= 1), series_(std::move(series)), opt_(opt) {
  unclear_ = band_grid().size() * (series_.size() > 1 ? series_.size() - 1 : 0);
}

void Sequential::started(const Record &r) {
  for (auto &s : series_) {
    s.step = hiding_step(r.engine, r.machine.tsc_step);
    s.scale = engine_scale(r.engine);
  }
}

void Sequential::run_done(size_t variant, unsigned round, const RunValues &run) {
  add_run(series_[variant], round, run);
}

bool Sequential::decide(double confidence) {
  CompareOptions o = opt_;
  o.confidence = confidence;
  unclear_ = 0;
  undecided_.clear();
  hidden_.clear();
  for (size_t v = 1; v < series_.size(); v++)
    for (const auto &b : compare_series(series_[0], series_[v], o).bands)
      if (!b.decision().settled()) {
        unclear_++;
        undecided_.push_back({v, b.band.from, b.band.to});
      } else if (b.hidden) {
        hidden_.push_back({v, b.band.from, b.band.to});
      }
  return unclear_ == 0;
}

std::string Sequential::progress() const {
  if (looks() == 0)
    return first_look();
  return std::to_string(unclear_) + " bands unclear at round " + std::to_string(last_look());
}

} // namespace report
