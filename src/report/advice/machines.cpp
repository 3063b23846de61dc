// Verdicts of many machines side by side.

#include "report/advice/machines.hpp"

#include "report/sys/text.hpp"

#include <algorithm>
#include <filesystem>

namespace report {

namespace {

// A band's decision and the ratio it stands for on one machine.
struct BandView {
  Decision decision;
  double ratio;
  Estimate est;
};

BandView view(const BandResult &b) {
  const Decision d = b.decision();
  return {d, d.hidden ? 1.0 : decided_ratio(b.est, d), b.est};
}

// The comparison of `other` against `base` in a report, by variant names.
const Comparison *find(const Report &r, const std::string &base, const std::string &other) {
  for (const Comparison &c : r.comparisons)
    if (variant_of(r.sets[c.base].set) == base && variant_of(r.sets[c.other].set) == other)
      return &c;
  return nullptr;
}

} // namespace

std::string variant_of(const Set &s) {
  if (!s.campaign.empty())
    return std::filesystem::path(s.path).filename().string();
  return s.label;
}

Across compare_across(std::vector<Machine> machines) {
  Across a;
  a.machines = std::move(machines);
  if (a.machines.empty())
    return a;
  const Report &first = a.machines[0].report;
  for (const Comparison &c0 : first.comparisons) {
    AcrossComparison ac;
    ac.base = variant_of(first.sets[c0.base].set);
    ac.other = variant_of(first.sets[c0.other].set);
    std::vector<const Comparison *> cs;
    for (size_t m = 0; m < a.machines.size(); m++)
      if (const Comparison *c = find(a.machines[m].report, ac.base, ac.other)) {
        ac.machines.push_back(m);
        cs.push_back(c);
      }
    // Adjacent bands whose decisions agree on every machine make a stretch.
    const size_t bands = c0.bands.size();
    for (size_t g = 0; g < bands; g++) {
      std::vector<BandView> here;
      for (const Comparison *c : cs)
        here.push_back(view(c->bands[g]));
      const Band &b = c0.bands[g].band;
      bool joins = !ac.stretches.empty();
      if (joins)
        for (size_t k = 0; k < here.size(); k++)
          joins = joins && ac.stretches.back().machines[k].decision == here[k].decision;
      if (!joins) {
        AcrossStretch s{b.from, b.to, {}};
        for (size_t k = 0; k < here.size(); k++)
          s.machines.push_back(
              {ac.machines[k], here[k].decision, here[k].ratio, here[k].ratio, here[k].est});
        ac.stretches.push_back(s);
        continue;
      }
      AcrossStretch &s = ac.stretches.back();
      s.to = b.to;
      for (size_t k = 0; k < here.size(); k++) {
        MachineVerdict &v = s.machines[k];
        v.low = std::min(v.low, here[k].ratio);
        v.high = std::max(v.high, here[k].ratio);
        v.band.reset(); // more than one band: their span, not one interval
      }
    }
    a.comparisons.push_back(std::move(ac));
  }
  return a;
}

std::vector<MixAcross> compare_mix_across(const std::vector<MixReport> &reports) {
  std::vector<MixAcross> out;
  if (reports.empty())
    return out;
  const MixReport &first = reports[0];
  for (const MixComparison &c0 : first.comparisons) {
    MixAcross m;
    m.base = first.sets[0].variant;
    m.other = first.sets[c0.other].variant;
    for (size_t k = 0; k < reports.size(); k++)
      for (const MixComparison &c : reports[k].comparisons)
        if (reports[k].sets[0].variant == m.base && reports[k].sets[c.other].variant == m.other)
          m.machines.push_back({k, c.c.decision, c.c.est.ratio, c.c.est.ratio, c.c.est});
    out.push_back(m);
  }
  return out;
}

AdviceAcross advise_across(const std::vector<std::string> &machines,
                           const std::vector<TuneAdvice> &advice) {
  AdviceAcross a;
  a.machines = machines;
  // Every setting any machine measured, in the order the machines give them.
  for (const TuneAdvice &t : advice)
    for (size_t v = 1; v < t.sets.size(); v++) {
      const std::string name = variant_of(t.sets[v]);
      if (std::none_of(a.settings.begin(), a.settings.end(),
                       [&](const SettingAcross &s) { return s.variant == name; }))
        a.settings.push_back({name, {}, {}, {}, 0});
    }
  for (SettingAcross &s : a.settings)
    for (size_t m = 0; m < advice.size(); m++) {
      const TuneAdvice &t = advice[m];
      size_t v = 1;
      while (v < t.sets.size() && variant_of(t.sets[v]) != s.variant)
        v++;
      if (v == t.sets.size() || v >= t.vs_default.size()) {
        s.missing.push_back(m);
        continue;
      }
      size_t faster = 0;
      bool slower = false;
      for (const BandResult &b : t.vs_default[v].bands) {
        faster += b.verdict == Verdict::Faster;
        slower = slower || b.verdict == Verdict::Slower;
      }
      if (slower)
        s.slower_on.push_back(m);
      if (faster)
        s.faster_on.push_back(m);
      s.faster_bands += faster;
    }
  for (size_t k = 0; k < a.settings.size(); k++) {
    const SettingAcross &s = a.settings[k];
    if (s.missing.empty() && s.slower_on.empty() && !s.faster_on.empty() &&
        (!a.advised || s.faster_bands > a.settings[*a.advised].faster_bands))
      a.advised = k;
  }
  return a;
}

} // namespace report
