// Renders sets of replays as text: each set's ticks per call of the mix,
// and each against the first with its verdict and its meaning per run.

#include "report/render/render.hpp"

#include "report/render/pieces.hpp"

namespace report {

namespace {

// A variant's name, from its folder.
std::string fs_name(const Set &s) {
  size_t slash = s.path.find_last_of('/');
  return slash == std::string::npos ? s.path : s.path.substr(slash + 1);
}

// A program campaign's sets: each variant's time a run, and its verdict.
std::string program_text(const MixReport &r) {
  const char *which = r.wall ? "wall-clock" : "CPU";
  std::string o = "== program: " + plural(r.sets.size(), "set") + "; " + which +
                  " time a run of the command itself, in ms\n";
  o += std::string("measured: the command's ") +
       (r.wall ? "wall-clock time, from just before its start to its end"
               : "CPU time, user and system, of it and the children it waited for (wait4)") +
       ", one figure a run (--wall: " + (r.wall ? "given" : "its wall-clock time instead") + ")\n";
  if (!r.sets.empty() && !r.sets[0].set.record.program.empty())
    o += "command: " + printable(shell_words(r.sets[0].set.record.program)) + "\n";
  for (size_t k = 0; k < r.sets.size(); k++) {
    const MixSet &m = r.sets[k];
    o += fmt("set: [%zu] ", k + 1) + printable(m.set.label) + ": " +
         plural(m.series.values.size(), "run") +
         fmt(", %.3f ms (%s)\n", m.level, statistic_name(r.statistic));
  }
  for (const auto &mc : r.comparisons) {
    const ScalarComparison &c = mc.c;
    o += fmt("\n== compare [%zu] ", mc.other + 1) + printable(r.sets[mc.other].set.label) +
         " with [1] " + printable(r.sets[0].set.label) + ": " +
         (c.paired ? plural(c.runs, "round") + ", paired" : plural(c.runs, "run") + ", unpaired") +
         fmt("; ratio of %s, %.4g%% intervals\n", statistic_name(mc.options.statistic),
             100 * mc.options.confidence);
    o += std::string("time: ") + verdict_name(c.decision.verdict) + fmt(" %.3f", c.est.ratio) +
         interval_suffix(c.est) + fmt(" %+.3f ms", c.est.diff + 0.0) +
         (c.est.interval ? " " + bracket(c.est.diff_low, c.est.diff_high, 3) : "") + " a run" +
         (c.est.interval ? "" : " (no interval: too few runs)") + "\n";
  }
  return o;
}

} // namespace

std::string render_mix_text(const MixReport &r) {
  if (r.program)
    return program_text(r);
  std::string o = "== replay: " + plural(r.sets.size(), "set") +
                  "; ticks per call of one mix of "
                  "lengths, one figure a run\n";
  o += "measured: memset-batch, the throughput of back-to-back calls between fenced readings, "
       "net of the readings, of a program's own lengths: 65536 calls a pass, each length's "
       "share of them its share of the captured calls, in a shuffled order; each figure the "
       "fastest of five passes\n";
  if (r.replay) {
    const Replay &p = *r.replay;
    o += "replay: " + printable(r.sets[0].set.record.replay.value_or("")) +
         fmt(", %llu calls of 1..32768 bytes at %zu lengths", (unsigned long long)p.calls,
             p.mix.size()) +
         (p.weights.total > (double)p.calls
              ? fmt(" (%.0f more calls left out: of 0 bytes, above 32768, or in open buckets)",
                    p.weights.total - (double)p.calls)
              : "") +
         "\n";
    if (p.weights.capture)
      o += capture_lines(*p.weights.capture, true);
  }
  for (size_t k = 0; k < r.sets.size(); k++) {
    const MixSet &m = r.sets[k];
    o += fmt("set: [%zu] ", k + 1) + printable(m.set.label) + ": " +
         plural(m.series.values.size(), "run") +
         fmt(", %.3f ticks per call (%s)\n", m.level, statistic_name(r.statistic));
  }
  for (const auto &mc : r.comparisons) {
    const ScalarComparison &c = mc.c;
    o += fmt("\n== compare [%zu] ", mc.other + 1) + printable(r.sets[mc.other].set.label) +
         " with [1] " + printable(r.sets[0].set.label) + ": " +
         (c.paired ? plural(c.runs, "round") + ", paired" : plural(c.runs, "run") + ", unpaired") +
         fmt("; ratio of %s, %.4g%% intervals\n", statistic_name(mc.options.statistic),
             100 * mc.options.confidence);
    if (!c.paired)
      o += fmt("unpaired: separate campaigns can drift as a whole; the interval is widened by "
               "%.0f%% for that (--drift); interleave them with 'run --variant' instead\n",
               100 * mc.options.drift);
    o += std::string("mix: ") + verdict_name(c.decision.verdict) + fmt(" %.3f", c.est.ratio) +
         interval_suffix(c.est) + per_call(c.est, r.sets[0].mhz) +
         (c.est.interval ? "" : " (no interval: too few runs)") + "\n";
    if (mc.per_run)
      o += per_run_line(*mc.per_run);
  }
  return o;
}

std::string render_prediction(const MixReport &replay, const MixReport &program,
                              const std::vector<Prediction> &ps) {
  std::string o = std::string("\n== prediction: the replay's change per run against the "
                              "program's measured change in ") +
                  (program.wall ? "wall-clock" : "CPU") + " time, each against [1]\n";
  for (const auto &p : ps) {
    o += "prediction: " + printable(fs_name(replay.sets[p.replay_set].set)) +
         fmt(" predicted %+.3f ms", p.predicted_ms.value + 0.0) +
         (p.predicted_interval ? " " + bracket(p.predicted_ms.low, p.predicted_ms.high, 3) : "") +
         fmt(" a run, measured %+.3f ms", p.measured.diff + 0.0) +
         (p.measured.interval ? " " + bracket(p.measured.diff_low, p.measured.diff_high, 3) : "") +
         (!p.measured.interval ? ": unclear (no measured interval: too few runs)"
          : p.holds            ? ": the measured interval holds the prediction"
                               : ": the measured interval does not hold the prediction") +
         "\n";
  }
  return o;
}

} // namespace report
