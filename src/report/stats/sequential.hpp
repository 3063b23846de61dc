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

// When a campaign that runs until decided looks at its data, whatever it
// compares: at the rounds next_look gives, and once more at its end unless
// its last round was looked at. Each look spends its share of the error
// rate (look_confidence); `decide` is one look at that confidence.
class LookingObserver : public RoundObserver {
public:
  // After a complete round: looks if the plan says so. True when decided.
  bool round_done(unsigned rounds, double elapsed) final;
  // A last look at the end (budget spent, or a fixed count added), unless
  // the last round was looked at already. True when decided.
  bool final_look(unsigned rounds, double elapsed) final;
  unsigned looks() const final { return looks_; }

  // No look before the campaign's rounds span this many seconds. A shared
  // machine changes state for seconds at a time, and a state can change the
  // ratio itself (on one, glibc's sse2 memset cost a program 3% more, on
  // another 33%): rounds that all fell in one spell decide for that spell
  // alone, and a repeat campaign disagrees.
  void set_min_span(double seconds) { min_span_ = seconds; }

protected:
  // `looks` made already, the last at round `last_look`; `decided`: whether
  // what there is counts as decided before any look (nothing to compare).
  LookingObserver(unsigned looks, unsigned last_look, bool decided)
      : looks_(looks), last_(last_look), decided_(decided) {}
  // One look at the data so far; true when every comparison is decided.
  virtual bool decide(double confidence) = 0;
  unsigned last_look() const { return last_; }
  bool looked() const { return looked_; } // in this session
  // When the first look will be, for the progress line.
  std::string first_look() const;

private:
  bool look(unsigned rounds);

  unsigned looks_, last_;
  bool decided_, looked_ = false;
  double min_span_ = 0, elapsed_ = 0; // the span, and the rounds' so far
};

class Sequential : public LookingObserver {
public:
  // `series` holds the runs so far, one per variant (first: the baseline);
  // `looks` the looks already made of them.
  Sequential(std::vector<BandSeries> series, const CompareOptions &opt, unsigned looks,
             unsigned last_look);

  void started(const Record &r) override;
  void run_done(size_t variant, unsigned round, const RunTicks &run) override;
  std::string progress() const override;
  std::vector<UndecidedBand> undecided() const override { return undecided_; }

  // Bands more rounds could decide at the last look, over all comparisons.
  size_t unclear() const { return unclear_; }

private:
  bool decide(double confidence) override;

  std::vector<BandSeries> series_;
  CompareOptions opt_;
  size_t unclear_ = 0;
  std::vector<UndecidedBand> undecided_;
};

} // namespace report
