#pragma once
// Sets of replays as plain data: each set's ticks per call of the program's
// mix of lengths, each set against the first with the four verdicts, and
// what the difference comes to in the captured run's own time.

#include "report/formats/replay.hpp"
#include "report/formats/sets.hpp"
#include "report/stats/one_figure.hpp"
#include "report/stats/per_run.hpp"
#include "report/stats/summary.hpp"

#include <optional>
#include <string>
#include <vector>

namespace report {

struct MixSet {
  Set set;
  std::string variant; // its folder's name, whatever label the set was given
  ScalarSeries series; // ticks per call, one a run
  double level = 0;    // the statistic over its runs
  // Of its runs, in the figure's unit: a program's wall-clock and CPU time
  // in ms; a replay's ticks per call, both alike.
  Aggregates real, cpu;
  std::optional<double> mhz;
};

struct MixComparison {
  size_t other = 0; // index into MixReport::sets, against the first
  CompareOptions options;
  ScalarComparison c;
  std::optional<PerRun> per_run; // where the first set's replay is a capture
  bool same_code = false;        // an A/A, as the records say (same_code_of)
};

struct MixReport {
  Statistic statistic = Statistic::Low;
  // Replays' ticks per call, or program campaigns' times in ms (wall-clock
  // with `wall`, or CPU).
  CampaignKind kind = CampaignKind::Replay;
  bool wall = false;
  bool program() const { return kind == CampaignKind::Program; }
  std::vector<MixSet> sets;
  std::vector<MixComparison> comparisons;
  std::optional<Replay> replay; // the first set's, from its campaign folder
};

// All sets must be replays, of one mix (an InputError otherwise: a figure
// of one program's mix says nothing against another's), or all a program
// campaign's runs, compared on their wall-clock time with `wall`, on their
// CPU time otherwise.
MixReport build_mix_report(std::vector<Set> sets, const CompareOptions &opt,
                           std::optional<double> tsc_mhz = std::nullopt, bool wall = false);

// A measured interval wider than this many times the predicted change
// holds the prediction and no change alike: it checks nothing. At four, an
// interval centred on the prediction reaches past zero by the prediction
// itself on either side.
constexpr double kMaxCheckWidth = 4;

// More rounds than this is no advice a campaign can follow: the predicted
// change is too small for the program's time to show it.
constexpr size_t kMostRoundsAdvised = 10000;

// A replay's prediction of a variant's change per run beside a program
// campaign's measurement of it, both against their first variant.
struct Prediction {
  size_t replay_set = 0, program_set = 0; // indices into each report's sets
  Figure predicted_ms;                    // the replay's per run, in ms
  bool predicted_interval = false;
  Estimate measured; // the program's: diff in ms, with its interval
  Decision verdict;  // the program's own verdict
  // Whether the measured interval holds the predicted change; none where the
  // measurement cannot check it: no interval, not decided, or wider than
  // kMaxCheckWidth times the prediction.
  std::optional<bool> holds;
  double width_ratio = 0; // the measured interval's width over the prediction's size
  size_t rounds = 0;      // the program campaign's, so far
  // Where it cannot check: the rounds more that would narrow its interval
  // enough to check it (and to decide, where it is unclear), at the width
  // of the rounds so far (an interval narrows as one over the root of the
  // rounds); none where no count would (no interval yet, or no change
  // predicted).
  std::optional<size_t> more_rounds;
};

// Pairs the variants of a replay report and a program report by name, in
// order; an InputError where their variants differ.
std::vector<Prediction> predict(const MixReport &replay, const MixReport &program);

// Whether the replay's capture is of the command the program campaign ran,
// word for word as a shell takes it: a prediction for another command's
// calls (other arguments, say) need not hold.
bool same_command(const MixReport &replay, const MixReport &program);

// One program's change per run, two ways: from each length timed on its own
// and weighted by the capture (a curve campaign's weighted comparison), and
// from the capture's mix replayed shuffled (a replay's), for the same
// variant against the same first one.
struct PerRunTwoWays {
  std::string variant;
  PerRun per_length, replayed;
  // Their intervals share no value: the two ways disagree here.
  bool disagree = false;
  // The replay's capture is not the weights' (another command's calls).
  bool other_capture = false;
};

// Pairs the comparisons of a weighted curve report and a replay report by
// their variants' names; those without a per-run figure on both sides are
// left out.
std::vector<PerRunTwoWays> per_run_two_ways(const Report &curves, const MixReport &replay);

// The replay a campaign folder keeps; none where the folder holds none.
std::optional<Replay> campaign_replay(const Set &set);

} // namespace report
