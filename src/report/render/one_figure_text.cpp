// Renders campaigns of one figure a run as text: replays' ticks per call of
// a program's mix and a program's own times, each variant against the
// first with its verdict, and a replay's prediction beside a measurement.

#include "report/render/render.hpp"

#include "report/render/pieces.hpp"

#include <cmath>

namespace report {

namespace {

// The sets, one line each: runs and the statistic, in `unit`.
std::string set_lines(const MixReport &r, const char *unit) {
  std::string o;
  for (size_t k = 0; k < r.sets.size(); k++) {
    const MixSet &m = r.sets[k];
    o += fmt("set: [%zu] ", k + 1) + printable(m.set.label) + ": " +
         plural(m.series.values.size(), "run") +
         fmt(", %.3f %s (%s)\n", m.level, unit, statistic_name(r.statistic));
    if (std::string l = libc_line(m.set.libc); !l.empty())
      o += fmt("libc: [%zu] ", k + 1) + l.substr(std::string("libc: ").size());
    if (std::string l = landing_line(m.set); !l.empty())
      o += fmt("landed: [%zu] ", k + 1) + l.substr(std::string("landed: ").size());
  }
  // How each campaign ended, once for its variants.
  for (size_t k = 0; k < r.sets.size(); k++)
    if (k == 0 || !side_by_side(r.sets[k].set.campaign, r.sets[k - 1].set.campaign))
      o += stop_line(r.sets[k].set.record);
  return o;
}

// "== compare [2] b with [1] a: 23 rounds over 20.1 s, paired; ratio of low,
// 99.9% intervals", and the warning of an unpaired comparison. The seconds
// say how much of the machine's changes the rounds can have met.
std::string compare_head(const MixReport &r, const MixComparison &mc) {
  const ScalarComparison &c = mc.c;
  const std::optional<double> &span = r.sets[0].set.record.elapsed;
  std::string o =
      fmt("\n== compare [%zu] ", mc.other + 1) + printable(r.sets[mc.other].set.label) +
      " with [1] " + printable(r.sets[0].set.label) + ": " +
      (c.paired ? plural(c.runs, "round") + (span ? fmt(" over %.1f s", *span) : "") + ", paired"
                : fmt("%zu and %zu runs, unpaired", r.sets[0].series.values.size(),
                      r.sets[mc.other].series.values.size())) +
      fmt("; ratio of %s, %.4g%% intervals\n", statistic_name(mc.options.statistic),
          100 * mc.options.confidence);
  if (!c.paired)
    o += unpaired_line(mc.options.drift, r.program() ? "program --variant" : "run --variant");
  o += started_differently(r.sets[0].set, 0, r.sets[mc.other].set, mc.other);
  if (mc.same_code)
    o += same_code_line(r.sets[0].set, 0, r.sets[mc.other].set, mc.other);
  return o;
}

// "slower 1.250 [1.200, 1.300]": the verdict and the ratio with its interval.
std::string verdict_figures(const ScalarComparison &c) {
  return verdict_name(c.decision.verdict) + fmt(" %.3f", c.est.ratio) + interval_suffix(c.est);
}

constexpr const char *kNoInterval = " (no interval: too few runs)";

// Where the campaign's parts disagree: "moved: rounds 1..130 1.330 [..];
// rounds 131..260 1.030 [..]; ...".
std::string moved_line(const ScalarComparison &c) {
  if (c.moved.empty())
    return "";
  std::string o = "moved:";
  for (const auto &h : c.moved)
    o += fmt(" rounds %u..%u %.3f", h.first, h.last, h.est.ratio) + interval_suffix(h.est) + ";";
  return o + " the machine changed state during the campaign, and the ratio with it; the "
             "interval above holds every part's ratio, and a campaign at another time may meet "
             "any of these states\n";
}

// "+3.782 ms [0.680, 6.884]": a change in ms, with its interval where it has one.
std::string ms_change(double value, bool interval, double low, double high) {
  return fmt("%+.3f ms", value + 0.0) + (interval ? " " + bracket(low, high, 3) : "");
}

// A program campaign's sets: each variant's time a run, and its verdict.
std::string program_text(const MixReport &r) {
  std::string o = "== program: " + plural(r.sets.size(), "set") + "; " +
                  (r.wall ? "wall-clock" : "CPU") + " time a run of the command itself, in ms\n";
  o += std::string("measured: the command's ") +
       (r.wall ? "wall-clock time, from just before its start to its end, one figure a run\n"
               : "CPU time, user and system, of it and the children it waited for (wait4), one "
                 "figure a run; --wall: its wall-clock time instead\n");
  // One command for all, or each set's: times of different commands compare
  // two programs (two builds of one, say), not two memsets.
  bool one_command = true;
  for (const auto &m : r.sets)
    one_command = one_command && m.set.record.program == r.sets[0].set.record.program;
  for (size_t k = 0; k < r.sets.size(); k++)
    if (r.sets[k].set.record.kind() == CampaignKind::Program && (k == 0 || !one_command))
      o += std::string("command: ") + (one_command ? "" : fmt("[%zu] ", k + 1)) +
           printable(shell_words(r.sets[k].set.record.program)) + "\n";
  o += set_lines(r, "ms");
  for (const auto &mc : r.comparisons) {
    const Estimate &e = mc.c.est;
    o += compare_head(r, mc) + "time: " + verdict_figures(mc.c) + " " +
         ms_change(e.diff, e.interval, e.diff_low, e.diff_high) + " a run" +
         (e.interval ? "" : kNoInterval) + "\n" + moved_line(mc.c);
  }
  return o;
}

} // namespace

std::string render_one_figure_text(const MixReport &r) {
  if (r.program())
    return program_text(r);
  std::string o = "== replay: " + plural(r.sets.size(), "set") +
                  "; ticks per call of one mix of lengths, one figure a run\n";
  o += "measured: memset-batch, the throughput of back-to-back calls between fenced readings, "
       "net of the readings, of a program's own lengths: 65536 calls a pass, each length's "
       "share of them its share of the captured calls, in a shuffled order; each figure the "
       "fastest of five passes\n";
  if (r.replay) {
    const Replay &p = *r.replay;
    const double left_out = p.weights.total - (double)p.calls;
    o += "replay: " + printable(r.sets[0].set.record.replay.value_or("")) +
         fmt(", %llu calls of 1..32768 bytes at %zu lengths", (unsigned long long)p.calls,
             p.mix.size()) +
         (left_out > 0 ? fmt(" (%.0f more calls left out: of 0 bytes, above 32768, or in open "
                             "buckets)",
                             left_out)
                       : "") +
         "\n";
    if (p.weights.capture)
      o += capture_lines(*p.weights.capture, true);
  }
  o += set_lines(r, "ticks per call");
  for (const auto &mc : r.comparisons) {
    o += compare_head(r, mc) + "mix: " + verdict_figures(mc.c) + per_call(mc.c.est, r.sets[0].mhz) +
         (mc.c.est.interval ? "" : kNoInterval) + "\n" + moved_line(mc.c);
    if (mc.per_run) {
      const Landing landed = r.sets[mc.other].set.landing();
      o += per_run_line(*mc.per_run, "", &landed);
    }
  }
  return o;
}

namespace {

// Whether the measurement checks the prediction, and if it cannot, why and
// what would.
std::string check_text(const Prediction &p) {
  if (!p.measured.interval)
    return ": cannot check it (no measured interval: too few runs)";
  // An interval that holds no change as well confirms nothing.
  if (p.holds && *p.holds && p.measured.diff_low <= 0 && p.measured.diff_high >= 0)
    return ": the measured interval holds the prediction and no change alike: the measurement "
           "cannot tell the prediction from nothing";
  if (p.holds && *p.holds)
    return ": the measured interval holds the prediction";
  // A change smaller than predicted, of the same sign or none: the replay
  // times its fills back to back, and a program's other work can overlap
  // them (docs/program.md measures it).
  const double predicted = p.predicted_ms.value;
  if (p.holds && std::fabs(p.measured.diff_high) < std::fabs(predicted) &&
      std::fabs(p.measured.diff_low) < std::fabs(predicted))
    return ": the measured interval does not hold the prediction; the program's change is "
           "smaller: its other work may overlap the fills, which the replay times back to back";
  if (p.holds)
    return ": the measured interval does not hold the prediction";
  std::string why = p.verdict.verdict == Verdict::Unclear ? "the measurement is unclear"
                                                          : "the measured interval is too wide";
  std::string o =
      ": cannot check it (" + why +
      fmt("; its interval is %.3g times as wide as the predicted change", p.width_ratio);
  if (p.more_rounds && *p.more_rounds > kMostRoundsAdvised)
    o += fmt("; more than %zu more rounds would be needed: the predicted change is too small "
             "for the program's time to show it",
             kMostRoundsAdvised);
  else if (p.more_rounds)
    o += fmt("; about %zu more rounds would narrow it enough, at the width of its %zu so far",
             *p.more_rounds, p.rounds);
  return o + ")";
}

} // namespace

std::string render_prediction(const MixReport &replay, const MixReport &program,
                              const std::vector<Prediction> &ps) {
  std::string o = std::string("\n== prediction: the replay's change per run against the "
                              "program's measured change in ") +
                  (program.wall ? "wall-clock" : "CPU") + " time, each against [1]\n";
  if (!same_command(replay, program))
    o += "warning: the replay's capture is not of the command the program campaign ran ('" +
         printable(replay.replay && replay.replay->weights.capture
                       ? replay.replay->weights.capture->command
                       : std::string("no command recorded")) +
         "' against '" +
         printable(program.sets.empty() ? "" : shell_words(program.sets[0].set.record.program)) +
         "'): the prediction is for other calls\n";
  for (const auto &p : ps) {
    const Estimate &m = p.measured;
    o += "prediction: " + printable(replay.sets[p.replay_set].variant) + " predicted " +
         ms_change(p.predicted_ms.value, p.predicted_interval, p.predicted_ms.low,
                   p.predicted_ms.high) +
         " a run, measured " + ms_change(m.diff, m.interval, m.diff_low, m.diff_high) +
         (m.interval ? std::string(" (") + verdict_name(p.verdict.verdict) + ")" : "") +
         check_text(p) + "\n";
  }
  return o;
}

std::string render_two_ways(const std::vector<PerRunTwoWays> &ts) {
  if (ts.empty())
    return "";
  std::string o = "\n== per run, two ways: each length timed on its own and weighted by the "
                  "capture, and the capture's mix replayed shuffled\n";
  for (const auto &t : ts) {
    o += per_run_line(t.per_length, t.variant) + per_run_line(t.replayed, t.variant);
    if (t.disagree)
      o += "differ: " + printable(t.variant) + "'s two figures' intervals share no value\n";
    if (t.other_capture)
      o += "warning: the replay's capture is not the weights' (another command, or another "
           "run of it): the two figures are of other calls\n";
  }
  return o + "why: lengths repeated one at a time train the branch predictors and the "
             "prefetchers, and a shuffled mix of them does not; the replay stands for the "
             "program's calls. Neither counts the program's other work, nor caches and "
             "alignments other than the engine's: 'memset-report program' times the program "
             "itself\n";
}

} // namespace report
