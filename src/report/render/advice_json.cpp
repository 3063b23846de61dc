// Renders a census as JSON for programs: the record, the fastest per range,
// and the ranking with each entry's verdict over all lengths and where it
// wins and loses, length by length. It formats what advice/ computed.

#include "report/render/render.hpp"

#include "report/render/pieces.hpp"

#ifdef MEMSET_REPORT_JSON
#include "report/render/json_parts.hpp"
#endif

namespace report {

#ifdef MEMSET_REPORT_JSON

using nlohmann::ordered_json;

namespace {

ordered_json fastest_json(const Standings &a) {
  ordered_json out = ordered_json::array();
  for (const Winner &w : a.fastest) {
    ordered_json j = {{"from", w.from}, {"to", w.to}};
    if (w.variants.empty()) {
      j["fastest"] = "default";
    } else if (w.variants[0] == kUnclear || w.variants[0] == kHidden) {
      j["fastest"] = nullptr;
      j["verdict"] = "unclear";
      if (w.variants[0] == kHidden)
        j["hidden"] = true;
    } else {
      ordered_json names = ordered_json::array();
      for (size_t v : w.variants)
        names.push_back(utf8(a.sets[v].label));
      j["fastest"] = names;
      if (w.bound) {
        j["ratio"] = nullptr;
        j["bound"] = "at_most";
        j["at_most"] = w.ratio;
      } else {
        j["ratio"] = w.ratio;
        j["low"] = w.low;
        j["high"] = w.high;
      }
    }
    out.push_back(j);
  }
  return out;
}

} // namespace

std::string render_census_json(const Census &c, const std::string &weights_file) {
  const Standings &a = c.standings;
  const Set &first = a.sets[0];
  ordered_json doc;
  ordered_json ctx = {
      {"rounds", a.rounds},
      {"engine", engine_name(first.engine)},
      {"measured", engine_measures(first.engine)},
      {"cpu_model", utf8(first.record.machine.cpu_model)},
      {"libc", utf8(first.record.machine.libc)},
      {"statistic", statistic_name(a.options.statistic)},
      {"confidence", a.sets.size() > 1 ? a.vs_default[1].options.confidence : a.options.confidence},
      {"threshold", a.options.threshold}};
  ctx["ranking_weighs"] = c.weighted ? "the lengths of " + utf8(weights_file)
                                     : std::string("every length from 2 to 32768 alike, which "
                                                   "the long fills dominate");
  ordered_json variants = ordered_json::array();
  for (const Set &s : a.sets)
    variants.push_back({{"name", utf8(s.label)},
                        {"env", utf8(s.env)},
                        {"memset", utf8(s.memset)},
                        {"tunables", utf8(s.tunables)},
                        {"libc", libc_json(s.libc)}});
  ctx["variants"] = variants;
  doc["context"] = ctx;
  doc["fastest"] = fastest_json(a);
  ordered_json ranking = ordered_json::array();
  for (size_t i = 0; i < c.ranking.size(); i++) {
    const Ranked &r = c.ranking[i];
    ordered_json j = {
        {"rank", i + 1}, {"variant", utf8(a.sets[r.variant].label)}, {"ticks_per_call", r.cost}};
    if (r.variant > 0) {
      const Sides sides{first.label, a.sets[r.variant].label};
      const WeightedComparison &w = r.w;
      j["overall"] = estimate_json(2, kLengths, w.decision(),
                                   w.hidden || w.bound ? w.hidden_in : Hidden::None, sides, w.est);
      ordered_json where = ordered_json::array();
      for (const Stretch &st : r.stretches) {
        ordered_json one = {
            {"from", st.from}, {"to", st.to}, {"verdict", verdict_name(st.decision.verdict)}};
        if (st.hidden_in != Hidden::None)
          one["hidden_in"] = hiding(st.hidden_in, sides);
        if (st.decision.hidden) {
          one["hidden"] = true;
        } else if (st.decision.bound) {
          bool least = st.decision.verdict == Verdict::Slower;
          one["bound"] = least ? "at_least" : "at_most";
          one[least ? "at_least" : "at_most"] = least ? st.low : st.high;
        } else if (st.decision.verdict != Verdict::Unclear) {
          one["ratio_min"] = st.low;
          one["ratio_max"] = st.high;
        }
        where.push_back(one);
      }
      j["stretches"] = where;
      if (w.per_run)
        j["per_run"] = per_run_json(*w.per_run);
    }
    ranking.push_back(j);
  }
  doc["ranking"] = ranking;
  return nested(doc, 0) + "\n";
}

#else

std::string render_census_json(const Census &, const std::string &) {
  need_json_support();
  return "";
}

#endif

} // namespace report
