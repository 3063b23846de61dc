#pragma once
// When an interleaved campaign has run enough rounds: it looks at its data
// at planned rounds and stops once every band of every comparison with the
// first variant is decided, or hidden in the readings, where no number of
// rounds would decide it. The error is spent over the looks
// (look_confidence), so stopping at the first look that decides does not
// inflate false verdicts.

#include "report/stats/compare.hpp"
#include "report/stats/observer.hpp"

#include <string>
#include <vector>

namespace report {

// Looks come at 11 rounds and then each a quarter more rounds than the last
// (11, 14, 18, 23, 29, ...): few looks, so little error spent on each, and
// never more than a quarter of the rounds run past the point of decision.
constexpr double kLookGrowth = 1.25;

// The round of the next look for a campaign whose last look was at round
// `last` (0: none yet).
unsigned next_look(unsigned last);

// The confidence a summary of a campaign's data may claim: that of its last
// look, 95% for a fixed count (look 0); for a session under way, whose
// record holds the looks so far, that of its next look, since reading the
// data now is one look more than its error rate was spent on.
double campaign_confidence(const Record &r);

class Sequential : public RoundObserver {
public:
  // `series` holds the runs so far, one per variant (first: the baseline);
  // `looks` the looks already made of them.
  Sequential(std::vector<BandSeries> series, const CompareOptions &opt, unsigned looks,
             unsigned last_look);

  void started(const Record &r) override;
  void run_done(size_t variant, unsigned round, const RunTicks &run) override;
  // After a complete round: looks if the plan says so. True when decided.
  bool round_done(unsigned rounds) override;
  // A last look at the end (budget spent, or a fixed count added), unless
  // the last round was looked at already. True when decided.
  bool final_look(unsigned rounds) override;
  std::string progress() const override;
  std::vector<UndecidedBand> undecided() const override { return undecided_; }

  unsigned looks() const override { return looks_; }
  // Bands more rounds could decide at the last look, over all comparisons.
  size_t unclear() const { return unclear_; }

private:
  bool look(unsigned rounds);

  std::vector<BandSeries> series_;
  CompareOptions opt_;
  unsigned looks_, last_;
  size_t unclear_ = 0;
  std::vector<UndecidedBand> undecided_;
};

} // namespace report
