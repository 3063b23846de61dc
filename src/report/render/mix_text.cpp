// Renders sets of replays as text: each set's ticks per call of the mix,
// and each against the first with its verdict and its meaning per run.

#include "report/render/render.hpp"

#include "report/render/pieces.hpp"

namespace report {

std::string render_mix_text(const MixReport &r) {
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

} // namespace report
