// Sets of replays: their figures and comparisons.

#include "report/stats/mix.hpp"

#include "report/formats/program_file.hpp"
#include "report/stats/sequential.hpp"
#include "report/sys/errors.hpp"
#include "report/sys/text.hpp"

#include <cmath>
#include <filesystem>

namespace fs = std::filesystem;

namespace report {

std::vector<PerRunTwoWays> per_run_two_ways(const Report &curves, const MixReport &replay) {
  std::vector<PerRunTwoWays> out;
  auto name = [](const Set &s) { return fs::path(s.path).filename().string(); };
  if (curves.sets.empty() || replay.sets.empty() ||
      name(curves.sets[0].set) != replay.sets[0].variant)
    return out;
  for (size_t c = 0; c < curves.comparisons.size() && c < curves.weighted.size(); c++) {
    const auto &w = curves.weighted[c];
    const std::string variant = name(curves.sets[curves.comparisons[c].other].set);
    for (const MixComparison &mc : replay.comparisons) {
      if (replay.sets[mc.other].variant != variant || !w.per_run || !mc.per_run)
        continue;
      PerRunTwoWays t{variant, *w.per_run, *mc.per_run, false, false};
      const Figure &a = t.per_length.ticks, &b = t.replayed.ticks;
      t.disagree =
          t.per_length.interval && t.replayed.interval && (a.high < b.low || b.high < a.low);
      const auto &wc = curves.weights ? curves.weights->capture : std::nullopt;
      const auto &rc = replay.replay ? replay.replay->weights.capture : std::nullopt;
      t.other_capture = !wc || !rc || wc->command != rc->command || wc->calls != rc->calls;
      out.push_back(t);
    }
  }
  return out;
}

std::optional<Replay> campaign_replay(const Set &set) {
  if (!set.record.replay)
    return std::nullopt;
  // An interleaved campaign's folder holds its variants' folders; a plain
  // campaign's holds the runs themselves.
  const std::string folder = set.campaign.empty() ? set.path : set.campaign;
  WeightsFormat format = WeightsFormat::Auto;
  if (!set.record.replay_format.empty() && !weights_format_of(set.record.replay_format, format))
    throw InputError(folder + "/" + kRecordFile + ": replay_format '" + set.record.replay_format +
                     "' is none this tool reads");
  return read_replay((fs::path(folder) / kReplaySource).string(), format);
}

MixReport build_mix_report(std::vector<Set> sets, const CompareOptions &opt,
                           std::optional<double> tsc_mhz, bool wall) {
  MixReport r;
  r.statistic = opt.statistic;
  r.kind = !sets.empty() && sets[0].kind() == CampaignKind::Program ? CampaignKind::Program
                                                                    : CampaignKind::Replay;
  r.wall = wall;
  for (auto &s : sets) {
    if (s.kind() != r.kind)
      throw InputError(s.label + ": a " + kind_name(s.kind()) + ", not a " + kind_name(r.kind) +
                       "; compare like with like");
    MixSet m;
    m.variant = fs::path(s.path).filename().string();
    m.series = r.program() ? scalar_series(s, wall ? kWallUs : kCpuUs, kProgramScale)
                           : scalar_series(s, 0, s.scale());
    if (r.program()) {
      m.real = aggregates_of(scalar_series(s, kWallUs, kProgramScale).values, opt.statistic);
      m.cpu = aggregates_of(scalar_series(s, kCpuUs, kProgramScale).values, opt.statistic);
    } else
      m.real = m.cpu = aggregates_of(m.series.values, opt.statistic);
    m.level = (wall ? m.real : m.cpu).level;
    m.mhz = counter_mhz(s, tsc_mhz);
    m.set = std::move(s);
    r.sets.push_back(std::move(m));
  }
  if (r.sets.empty())
    return r;
  if (!r.program())
    r.replay = campaign_replay(r.sets[0].set);
  // A replay times 1-byte calls too (no binding in its figure): they count.
  std::optional<Weights> calls;
  if (r.replay) {
    calls = r.replay->weights;
    calls->one = 0;
  }
  const Set &a = r.sets[0].set;
  for (size_t k = 1; k < r.sets.size(); k++) {
    const Set &b = r.sets[k].set;
    const bool together = side_by_side(a.campaign, b.campaign);
    // The variants of one campaign replay its one mix; another's may not.
    if (!r.program() && !together &&
        (a.record.replay_calls != b.record.replay_calls ||
         campaign_replay(b).value_or(Replay{}).mix !=
             (r.replay ? r.replay->mix : mix_format::Mix{})))
      throw InputError("cannot compare [" + std::to_string(k + 1) + "] " + b.label + " with [1] " +
                       a.label + ": they replay different mixes of lengths");
    MixComparison mc;
    mc.other = k;
    mc.options = opt;
    if (together)
      mc.options.confidence = campaign_confidence(a.record);
    mc.c = compare_scalar(r.sets[0].series, r.sets[k].series, mc.options);
    mc.same_code = same_code_of(a, b);
    if (calls)
      mc.per_run =
          per_run(mc.c.est, *calls, r.sets[0].mhz, 0, 0, mc.c.decision, PerRunBasis::Replay);
    r.comparisons.push_back(mc);
  }
  return r;
}

bool same_command(const MixReport &replay, const MixReport &program) {
  return replay.replay && replay.replay->weights.capture && !program.sets.empty() &&
         replay.replay->weights.capture->command == shell_words(program.sets[0].set.record.program);
}

namespace {

// Whether the measurement can check the prediction, and if not, how many
// more rounds would let it.
void check(Prediction &p, double threshold) {
  const Estimate &m = p.measured;
  if (!m.interval)
    return;
  const double size = std::fabs(p.predicted_ms.value), width = m.diff_high - m.diff_low;
  p.width_ratio = size > 0 ? width / size : INFINITY;
  const bool decided = p.verdict.verdict != Verdict::Unclear;
  if (decided && p.width_ratio <= kMaxCheckWidth) {
    p.holds = m.diff_low <= p.predicted_ms.value && p.predicted_ms.value <= m.diff_high;
    return;
  }
  if (!(size > 0) || p.rounds == 0)
    return;
  // How many times narrower the interval must be: to check the prediction,
  // and where unclear, to decide too (an interval of the ratio narrower than
  // the threshold always decides).
  double narrower = std::max(1.0, p.width_ratio / kMaxCheckWidth);
  if (!decided)
    narrower = std::max(narrower, (m.high - m.low) / threshold);
  // Less a hair, so that a factor of exactly 3 that floating point makes
  // 3.0000000001 does not ask for one round more.
  double total = std::ceil((double)p.rounds * narrower * narrower - 1e-6);
  p.more_rounds = (size_t)std::max(1.0, std::min(total - (double)p.rounds, 1e9));
}

} // namespace

std::vector<Prediction> predict(const MixReport &replay, const MixReport &program) {
  if (replay.program() || !program.program())
    throw InputError("a prediction needs a replay campaign first, then a program campaign");
  if (replay.sets.size() != program.sets.size())
    throw InputError("the replay has " + std::to_string(replay.sets.size()) +
                     " variants and the program campaign " + std::to_string(program.sets.size()) +
                     ": give the same variants");
  for (size_t k = 0; k < replay.sets.size(); k++)
    if (replay.sets[k].variant != program.sets[k].variant)
      throw InputError("variant " + std::to_string(k + 1) + " is '" + replay.sets[k].variant +
                       "' in the replay and '" + program.sets[k].variant +
                       "' in the program campaign: give the same variants in the same order");
  std::vector<Prediction> out;
  for (size_t k = 0; k < replay.comparisons.size(); k++) {
    const MixComparison &r = replay.comparisons[k];
    if (!r.per_run || !r.per_run->seconds)
      throw InputError(replay.sets[0].set.label +
                       ": no change per run to predict: the replay is of a capture with its "
                       "run time, and the campaign needs its counter frequency");
    Prediction p;
    p.replay_set = r.other;
    p.program_set = program.comparisons[k].other;
    p.predicted_ms = {1000 * r.per_run->seconds->value, 1000 * r.per_run->seconds->low,
                      1000 * r.per_run->seconds->high};
    p.predicted_interval = r.per_run->interval;
    const ScalarComparison &measured = program.comparisons[k].c;
    p.measured = measured.est;
    p.verdict = measured.decision;
    p.rounds = measured.runs;
    check(p, program.comparisons[k].options.threshold);
    out.push_back(p);
  }
  return out;
}

} // namespace report
