#pragma once
// Comparisons of one figure a run, with the parts that disagree: a replay's
// ticks per call of a program's mix of lengths, or a program's own time,
// compared as a band is, a run the unit, paired round by round within one
// campaign, with the four verdicts; where parts of its rounds disagree (the
// machine changed state), the interval widened to hold them all (moved).
// And the observer that says when such a campaign is decided.

#include "report/formats/sets.hpp"
#include "report/stats/compare.hpp"
#include "report/stats/observer.hpp"
#include "report/stats/sequential.hpp"

#include <string>
#include <vector>

namespace report {

struct ScalarSeries {
  std::string campaign; // canonical folder of an interleaved campaign; "" for none
  std::vector<unsigned> rounds;
  std::vector<double> values; // per run, in the figure's unit
};

// A set's figure `index` of each run, divided by `scale`; one run added.
ScalarSeries scalar_series(const Set &set, size_t index, double scale);
void add_scalar_run(ScalarSeries &s, unsigned round, const RunValues &run, size_t index,
                    double scale);

// The ratio of a run of paired rounds: rounds first..last of a campaign.
struct RoundsEstimate {
  unsigned first = 0, last = 0;
  Estimate est;
};

struct ScalarComparison {
  Estimate est; // B over A, and B less A in the figure's unit
  Decision decision;
  size_t runs = 0; // rounds in common (paired), or B's runs
  bool paired = false;
  // The parts of a campaign's paired rounds (consecutive, in round order),
  // where the intervals of two of them share no value: the machine changed
  // state during the campaign, and the ratio with it. `est`'s interval is
  // then widened to hold every part's ratio, and the verdict is that
  // interval's: a repeat campaign may meet any of those states. Empty
  // otherwise.
  std::vector<RoundsEstimate> moved;
};

// A campaign's paired rounds are cut into parts of at least this many, and
// at most kMaxParts of them, to see whether the ratio moved: the low
// statistic of a part then rests on six runs, enough for an interval that
// can tell a state from another (eleven rounds' rests on one or two).
// Four parts see a spell that took a quarter of the campaign.
constexpr size_t kRoundsPerPart = 40;
constexpr size_t kMaxParts = 4;

ScalarComparison compare_scalar(const ScalarSeries &a, const ScalarSeries &b,
                                const CompareOptions &opt);

class ScalarSequential : public LookingObserver {
public:
  // `series`: the runs so far, one per variant (first: the baseline);
  // `index` and `scale`: which figure of a run, in which unit.
  ScalarSequential(std::vector<ScalarSeries> series, size_t index, double scale,
                   const CompareOptions &opt, unsigned looks, unsigned last_look);

  void run_done(size_t variant, unsigned round, const RunValues &run) override;
  std::string progress() const override;
  // Per undecided variant, one entry with no lengths (from = to = 0).
  std::vector<UndecidedBand> undecided() const override { return undecided_; }

private:
  bool decide(double confidence) override;

  std::vector<ScalarSeries> series_;
  size_t index_;
  double scale_;
  CompareOptions opt_;
  std::vector<UndecidedBand> undecided_;
};

} // namespace report
