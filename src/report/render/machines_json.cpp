// Many machines as JSON: the same content as the text: each machine, its
// comparisons' ranges, and each shared comparison's stretches with what
// holds on all and each machine's verdict.

#include "report/render/render.hpp"

#ifdef MEMSET_REPORT_JSON
#include "report/render/across_lines.hpp"
#include "report/render/json_parts.hpp"
#endif

namespace report {

#ifdef MEMSET_REPORT_JSON

std::string render_across_json(const Across &a, const std::vector<std::string> &notes) {
  using nlohmann::ordered_json;
  ordered_json j = {{"machines", ordered_json::array()},
                    {"notes", utf8(notes)},
                    {"across", ordered_json::array()}};
  for (const auto &m : a.machines) {
    ordered_json mj = {
        {"name", utf8(m.id.name)}, {"cpu", utf8(m.id.cpu)}, {"libc", utf8(m.id.libc)}};
    mj["tsc_mhz"] = m.id.mhz ? ordered_json(*m.id.mhz) : ordered_json(nullptr);
    mj["tsc_step"] = m.id.step ? ordered_json(*m.id.step) : ordered_json(nullptr);
    ordered_json cs = ordered_json::array();
    for (const Comparison &c : m.report.comparisons) {
      const Sides sides{m.report.sets[c.base].set.label, m.report.sets[c.other].set.label};
      ordered_json ranges = ordered_json::array();
      for (const Range &rg : c.ranges)
        ranges.push_back(estimate_json(rg.from, rg.to, rg.decision(), rg.hidden_in, sides, rg.est));
      cs.push_back({{"base", utf8(variant_of(m.report.sets[c.base].set))},
                    {"other", utf8(variant_of(m.report.sets[c.other].set))},
                    {"ranges", ranges}});
    }
    mj["comparisons"] = cs;
    j["machines"].push_back(mj);
  }
  for (const auto &c : a.comparisons) {
    ordered_json cj = {{"base", utf8(c.base)}, {"other", utf8(c.other)}};
    ordered_json names = ordered_json::array();
    for (size_t m : c.machines)
      names.push_back(utf8(a.machines[m].id.name));
    cj["machines"] = names;
    ordered_json stretches = ordered_json::array();
    for (const auto &s : c.stretches) {
      ordered_json each = ordered_json::array();
      for (const auto &m : s.machines) {
        ordered_json mj = {{"machine", utf8(a.machines[m.machine].id.name)},
                           {"verdict", verdict_name(m.decision.verdict)}};
        if (m.decision.hidden)
          mj["hidden"] = true;
        else {
          if (m.decision.bound)
            mj["bound"] = m.decision.verdict == Verdict::Slower ? "at_least" : "at_most";
          mj["ratio_low"] = m.low;
          mj["ratio_high"] = m.high;
          if (m.band && m.band->interval && !m.decision.bound) {
            mj["low"] = m.band->low;
            mj["high"] = m.band->high;
          }
        }
        each.push_back(mj);
      }
      stretches.push_back({{"from", s.from},
                           {"to", s.to},
                           {"across", utf8(across_text(a, s))},
                           {"machines", each}});
    }
    cj["stretches"] = stretches;
    j["across"].push_back(cj);
  }
  return j.dump(2) + "\n";
}

std::string render_across_mix_json(const Across &names, const std::vector<MixReport> &reports,
                                   const std::vector<MixAcross> &across,
                                   const std::vector<std::string> &notes) {
  using nlohmann::ordered_json;
  ordered_json j = {{"machines", ordered_json::array()},
                    {"notes", utf8(notes)},
                    {"across", ordered_json::array()}};
  for (size_t m = 0; m < names.machines.size(); m++) {
    const MachineId &id = names.machines[m].id;
    ordered_json mj = {{"name", utf8(id.name)}, {"cpu", utf8(id.cpu)}, {"libc", utf8(id.libc)}};
    ordered_json cs = ordered_json::array();
    for (const MixComparison &c : reports[m].comparisons) {
      const Estimate &e = c.c.est;
      ordered_json cj = {{"base", utf8(reports[m].sets[0].variant)},
                         {"other", utf8(reports[m].sets[c.other].variant)},
                         {"verdict", verdict_name(c.c.decision.verdict)},
                         {"ratio", e.ratio},
                         {"diff", e.diff}};
      if (e.interval) {
        cj["low"] = e.low;
        cj["high"] = e.high;
      }
      cs.push_back(cj);
    }
    mj["comparisons"] = cs;
    j["machines"].push_back(mj);
  }
  for (const MixAcross &c : across) {
    ordered_json each = ordered_json::array();
    for (const auto &m : c.machines) {
      ordered_json mj = {{"machine", utf8(names.machines[m.machine].id.name)},
                         {"verdict", verdict_name(m.decision.verdict)},
                         {"ratio", m.low}};
      if (m.band && m.band->interval) {
        mj["low"] = m.band->low;
        mj["high"] = m.band->high;
      }
      each.push_back(mj);
    }
    j["across"].push_back({{"base", utf8(c.base)},
                           {"other", utf8(c.other)},
                           {"figure", !reports.empty() && reports[0].program() ? "time" : "mix"},
                           {"across", utf8(verdicts_text(names, c.machines))},
                           {"machines", each}});
  }
  return j.dump(2) + "\n";
}

#else

std::string render_across_json(const Across &, const std::vector<std::string> &) {
  need_json_support();
  return "";
}

std::string render_across_mix_json(const Across &, const std::vector<MixReport> &,
                                   const std::vector<MixAcross> &,
                                   const std::vector<std::string> &) {
  need_json_support();
  return "";
}

#endif

} // namespace report
