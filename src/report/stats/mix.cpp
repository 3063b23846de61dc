// Sets of replays: their figures and comparisons.

#include "report/stats/mix.hpp"

#include "report/sys/errors.hpp"

#include <filesystem>

namespace fs = std::filesystem;

namespace report {

std::optional<Replay> campaign_replay(const Set &set) {
  if (set.campaign.empty() || !set.record.replay)
    return std::nullopt;
  WeightsFormat format = WeightsFormat::Auto;
  if (!set.record.replay_format.empty() && !weights_format_of(set.record.replay_format, format))
    throw InputError(set.campaign + "/" + kRecordFile + ": replay_format '" +
                     set.record.replay_format + "' is none this tool reads");
  return read_replay((fs::path(set.campaign) / kReplaySource).string(), format);
}

MixReport build_mix_report(std::vector<Set> sets, const CompareOptions &opt,
                           std::optional<double> tsc_mhz) {
  MixReport r;
  r.statistic = opt.statistic;
  for (auto &s : sets) {
    if (!s.replay())
      throw InputError(s.label + ": a curve of lengths, not a replay; compare replays with "
                                 "replays, and curves with curves");
    MixSet m;
    m.series = scalar_series(s, 0, s.scale());
    std::vector<double> v = m.series.values;
    m.level = v.empty() ? 0 : statistic_of(v, opt.statistic);
    m.mhz = s.record.machine.tsc_mhz ? s.record.machine.tsc_mhz : tsc_mhz;
    m.set = std::move(s);
    r.sets.push_back(std::move(m));
  }
  if (r.sets.empty())
    return r;
  r.replay = campaign_replay(r.sets[0].set);
  for (size_t k = 1; k < r.sets.size(); k++) {
    const Set &a = r.sets[0].set, &b = r.sets[k].set;
    if (a.record.replay_calls != b.record.replay_calls ||
        campaign_replay(b).value_or(Replay{}).mix != (r.replay ? r.replay->mix : mix_format::Mix{}))
      throw InputError("cannot compare [" + std::to_string(k + 1) + "] " + b.label + " with [1] " +
                       a.label + ": they replay different mixes of lengths");
    MixComparison mc;
    mc.other = k;
    mc.options = opt;
    if (side_by_side(a.campaign, b.campaign))
      mc.options.confidence = look_confidence(a.record.looks);
    mc.c = compare_scalar(r.sets[0].series, r.sets[k].series, mc.options);
    if (r.replay) {
      Weights w = r.replay->weights;
      w.one = 0; // a replay times 1-byte calls too: no binding in its figure
      mc.per_run = per_run(mc.c.est, w, r.sets[0].mhz);
    }
    r.comparisons.push_back(mc);
  }
  return r;
}

} // namespace report
