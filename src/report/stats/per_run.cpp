// What a change means in a captured command's own run time.

#include "report/stats/per_run.hpp"

#include "report/formats/engine.hpp"

namespace report {

namespace {

Figure scaled(const Figure &f, double by) { return {f.value * by, f.low * by, f.high * by}; }

} // namespace

std::optional<PerRun> per_run(const Estimate &weighted, const Weights &w, std::optional<double> mhz,
                              double hidden_calls, double step, const Decision &d,
                              PerRunBasis basis) {
  if (!w.capture)
    return std::nullopt;
  PerRun p;
  p.basis = basis;
  // The calls the weighted difference is of: those the weighting counts.
  p.calls = w.measured();
  p.interval = weighted.interval && !d.hidden && !d.bound;
  p.hidden = d.hidden;
  if (d.bound)
    p.at_least = d.at_least();
  p.ticks = scaled({weighted.diff, weighted.diff_low, weighted.diff_high}, p.calls);
  p.unseen.calls = hidden_calls;
  p.unseen.ticks = hidden_calls * step;
  if (!mhz || !(*mhz > 0))
    return p;
  const double per_tick = seconds_per_tick(*mhz);
  const Capture &run = *w.capture;
  p.seconds = scaled(p.ticks, per_tick);
  p.wall_share = scaled(*p.seconds, 1 / run.wall_seconds);
  p.unseen.seconds = p.unseen.ticks * per_tick;
  p.unseen.wall_share = *p.unseen.seconds / run.wall_seconds;
  if (run.cpu_seconds > 0) {
    p.cpu_share = scaled(*p.seconds, 1 / run.cpu_seconds);
    p.unseen.cpu_share = *p.unseen.seconds / run.cpu_seconds;
  }
  return p;
}

} // namespace report
