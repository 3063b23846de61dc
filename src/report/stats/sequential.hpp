#pragma once
// When a curve campaign is decided: once every band of every comparison with
// the first variant is, or hidden in the readings, where no number of rounds
// would decide it. When it looks is stopping.hpp's.

#include "report/stats/compare.hpp"
#include "report/stats/stopping.hpp"

#include <string>
#include <vector>

namespace report {

class Sequential : public LookingObserver {
public:
  // `series` holds the runs so far, one per variant (first: the baseline);
  // `looks` the looks already made of them.
  Sequential(std::vector<BandSeries> series, const CompareOptions &opt, unsigned looks,
             unsigned last_look);

  void started(const Record &r) override;
  void run_done(size_t variant, unsigned round, const RunValues &run) override;
  std::string progress() const override;
  std::vector<UndecidedBand> undecided() const override { return undecided_; }
  std::vector<UndecidedBand> hidden() const override { return hidden_; }

  // Bands more rounds could decide at the last look, over all comparisons.
  size_t unclear() const { return unclear_; }

private:
  bool decide(double confidence) override;

  std::vector<BandSeries> series_;
  CompareOptions opt_;
  size_t unclear_ = 0;
  std::vector<UndecidedBand> undecided_, hidden_;
};

} // namespace report
