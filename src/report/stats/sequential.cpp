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

Sequential::Sequential(std::vector<BandSeries> series, const CompareOptions &opt, unsigned looks,
                       unsigned last_look)
    : series_(std::move(series)), opt_(opt), looks_(looks), last_(last_look) {
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

bool Sequential::look(unsigned rounds) {
  looks_++;
  last_ = rounds;
  CompareOptions o = opt_;
  o.confidence = look_confidence(looks_);
  unclear_ = 0;
  undecided_.clear();
  for (size_t v = 1; v < series_.size(); v++)
    for (const auto &b : compare_series(series_[0], series_[v], o).bands)
      if (!Decision{b.verdict, b.hidden}.settled()) {
        unclear_++;
        undecided_.push_back({v, b.band.from, b.band.to});
      }
  return unclear_ == 0;
}

bool Sequential::round_done(unsigned rounds) {
  if (rounds < next_look(last_))
    return false;
  return look(rounds);
}

bool Sequential::final_look(unsigned rounds) {
  if (rounds == last_ || rounds < kMinRounds)
    return unclear_ == 0 && rounds == last_;
  return look(rounds);
}

std::string Sequential::progress() const {
  if (looks_ == 0)
    return "first look at round " + std::to_string(next_look(last_));
  return std::to_string(unclear_) + " bands unclear at round " + std::to_string(last_);
}

} // namespace report
