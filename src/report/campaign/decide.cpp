// A campaign of a fixed size, or rounds until decided.

#include "report/campaign/decide.hpp"

#include "report/formats/program_file.hpp"
#include "report/formats/sets.hpp"
#include "report/stats/one_figure.hpp"
#include "report/stats/sequential.hpp"
#include "report/sys/errors.hpp"

#include <algorithm>

namespace report {

namespace {

// The looks a continued campaign has had; a campaign of a fixed size was
// looked at once, by whoever read it.
unsigned looks_so_far(const CampaignOptions &c) {
  return c.earlier ? std::max(1u, c.earlier->looks) : 0;
}

// The observer that stops an interleaved campaign once it is decided, with
// the runs (and looks) it already has.
Sequential observer_for(const std::vector<Set> &sets, const CampaignOptions &c,
                        const CompareOptions &compare) {
  std::vector<BandSeries> series;
  for (const auto &s : sets)
    series.push_back(band_series(s));
  while (series.size() < c.variants.size())
    series.push_back({});
  for (auto &s : series) // runs of one round were taken side by side
    s.campaign = c.out;
  return Sequential(std::move(series), compare, looks_so_far(c), c.done);
}

// The same for campaigns of one figure a run: a replay's ticks per call,
// or a program's CPU time in ms.
ScalarSequential scalar_observer_for(const std::vector<Set> &sets, const CampaignOptions &c,
                                     const CompareOptions &compare) {
  const bool program = c.kind() == CampaignKind::Program;
  const size_t index = program ? kCpuUs : 0;
  const double scale = program ? kProgramScale : engine_scale(c.engine);
  std::vector<ScalarSeries> series;
  for (const auto &s : sets)
    series.push_back(scalar_series(s, index, scale));
  series.resize(c.variants.size());
  for (auto &s : series)
    s.campaign = c.out;
  return ScalarSequential(std::move(series), index, scale, compare, looks_so_far(c), c.done);
}

// Seconds a look waits for: a continuation's as its record says, a new
// campaign's as the stopping rule has it for its kind.
double min_span_of(const CampaignOptions &c) {
  if (c.earlier)
    return c.earlier->min_span.value_or(0);
  return min_span_for(c.min_span, c.kind() != CampaignKind::Curve, c.variants.size());
}

} // namespace

CampaignEnd run_until_decided(const CampaignOptions &given, const CompareOptions &asked) {
  // The threshold it stops on and keeps: a continuation's own, as recorded
  // (2% for one recorded before campaigns kept it), a new one's as asked.
  CompareOptions compare = asked;
  if (given.earlier)
    compare.threshold = given.earlier->threshold.value_or(CompareOptions{}.threshold);
  CampaignOptions c = given;
  c.threshold = compare.threshold;
  if (c.variants.empty() || (c.runs && !c.earlier))
    return run_campaign(c);
  c.min_span = min_span_of(given);
  StopRule{c.budget, *c.min_span, c.runs.has_value()}.check_budget(
      c.earlier ? c.earlier->elapsed.value_or(0) : 0);
  std::vector<Set> sets = c.earlier ? load_sets(c.out) : std::vector<Set>{};
  if (c.kind() != CampaignKind::Curve) {
    ScalarSequential seq = scalar_observer_for(sets, c, compare);
    seq.set_min_span(*c.min_span);
    return run_campaign(c, &seq);
  }
  Sequential seq = observer_for(sets, c, compare);
  seq.set_min_span(*c.min_span);
  return run_campaign(c, &seq);
}

} // namespace report
