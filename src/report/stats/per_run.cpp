// What a change means in a captured command's own run time.

#include "report/stats/per_run.hpp"

namespace report {

namespace {

Figure scaled(const Figure &f, double by) { return {f.value * by, f.low * by, f.high * by}; }

} // namespace

std::optional<PerRun> per_run(const Estimate &weighted, const Weights &w,
                              std::optional<double> mhz) {
  if (!w.capture)
    return std::nullopt;
  PerRun p;
  // The calls the weighted difference is of: those the weighting counts.
  p.calls = w.measured();
  p.interval = weighted.interval;
  p.ticks = scaled({weighted.diff, weighted.diff_low, weighted.diff_high}, p.calls);
  if (!mhz || !(*mhz > 0))
    return p;
  p.seconds = scaled(p.ticks, 1 / (*mhz * 1e6));
  p.wall_share = scaled(*p.seconds, 1 / w.capture->wall_seconds);
  if (w.capture->cpu_seconds > 0)
    p.cpu_share = scaled(*p.seconds, 1 / w.capture->cpu_seconds);
  return p;
}

} // namespace report
