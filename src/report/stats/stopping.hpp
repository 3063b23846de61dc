#pragma once
// When a campaign that runs until decided stops: the one owner of that rule.
// It looks at its data at planned rounds, never before the rounds and the
// span a look needs, spends its error rate over the looks, and runs past
// its budget until one look is possible; a campaign of a fixed count looks
// at nothing. The campaign loop asks `StopRule` whether to run another
// round; the observers (the bands' and one figure's) look through
// `LookingObserver`.

#include "report/formats/campaign_folder.hpp"
#include "report/stats/observer.hpp"

#include <optional>
#include <string>

namespace report {

// Fewer rounds than this decide nothing: the fastest 15% of the runs
// (kLowShare) must be at least a run or two, 1.65 at 11, for the low
// statistic to see past slow runs.
constexpr unsigned kMinRounds = 11;

// An interleaved campaign runs until decided or for this many seconds: a
// minute gives some 100 to 200 rounds of two variants.
constexpr double kDefaultBudget = 60;

// A campaign of one figure a run (a replay, a program) looks only once its
// rounds span this many seconds: its rounds take milliseconds, and eleven of
// them can fall in one spell of a shared machine, whose state can change the
// ratio itself (on one, glibc's sse2 memset cost a program 3% more, on
// another 33%). Curves' rounds take seconds and their many bands decide
// later; they look from the 11th round.
constexpr double kDefaultMinSpan = 20;

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

// The seconds a new campaign's looks wait for: as given, else its kind's
// (kDefaultMinSpan for one figure a run, none for a curve); none with
// fewer than two variants, which compare nothing.
double min_span_for(std::optional<double> given, bool one_figure, size_t variants);

// One session of a campaign that runs until decided, or of a fixed count.
struct StopRule {
  double budget = kDefaultBudget; // this session's seconds
  double min_span = 0;            // the seconds a look waits for, over all sessions
  bool fixed = false;             // a fixed count of rounds: no look, no budget

  // A look may be made: the rounds and their span are enough.
  bool may_look(unsigned rounds, double spanned) const {
    return rounds >= kMinRounds && spanned >= min_span;
  }
  // Whether to run another round (below the campaign's last): always for a
  // fixed count; otherwise until a look may be made, whatever the budget,
  // and then while this session's budget lasts.
  bool another_round(unsigned rounds, double spanned, double session_seconds) const {
    return fixed || !may_look(rounds, spanned) || session_seconds < budget;
  }
  // Throws a UsageError where the budget ends before the rounds could span
  // what a look needs (`spanned_before`: over earlier sessions): such a
  // campaign could decide nothing.
  void check_budget(double spanned_before) const;
};

// When a campaign that runs until decided looks at its data, whatever it
// compares: at the rounds next_look gives once StopRule::may_look, and once
// more at its end unless its last round was looked at. Each look spends its
// share of the error rate (look_confidence); `decide` is one look at that
// confidence.
class LookingObserver : public RoundObserver {
public:
  // After a complete round: looks if the plan says so. True when decided.
  bool round_done(unsigned rounds, double elapsed) final;
  // A last look at the end (budget spent, or a fixed count added), unless
  // the last round was looked at already. True when decided.
  bool final_look(unsigned rounds, double elapsed) final;
  unsigned looks() const final { return looks_; }

  // No look before the campaign's rounds span this many seconds.
  void set_min_span(double seconds) { rule_.min_span = seconds; }

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
  StopRule rule_;
  double elapsed_ = 0; // the rounds' span so far
};

} // namespace report
