// Renders a curve campaign's Report in the layout of glibc's string
// benchmarks (bench-memset.out), for glibc's compare_strings.py and the
// tools that read that layout.

#include "report/render/render.hpp"

#include "report/sys/errors.hpp"
#include "report/sys/text.hpp"

#include <algorithm>
#include <cmath>

#ifdef MEMSET_REPORT_JSON
#include "report/render/json_parts.hpp"
#endif

namespace report {

BenchoutLengths benchout_lengths(const Report &r, const std::vector<size_t> &wanted) {
  BenchoutLengths out;
  // Lengths where a set's fills hide in its readings read the counter's
  // floor, not the fill: no timing is written for them.
  for (const auto &sr : r.sets)
    if (sr.summary.hidden_to && *sr.summary.hidden_to > out.hidden_to) {
      out.hidden_to = *sr.summary.hidden_to;
      out.hidden_in = sr.set.label;
    }
  for (size_t len : wanted)
    if (len > out.hidden_to)
      out.kept.push_back(len);
  return out;
}

#ifdef MEMSET_REPORT_JSON

std::string render_benchout(const Report &r, const std::vector<size_t> &lengths) {
  using nlohmann::ordered_json;
  const Engine engine = r.sets[0].set.engine;
  ordered_json ifuncs = ordered_json::array(), results = ordered_json::array();
  for (const auto &sr : r.sets)
    ifuncs.push_back(utf8(sr.set.label));
  for (size_t len : lengths) {
    ordered_json timings = ordered_json::array();
    // Two decimals: the levels are means of runs' ticks, and a hundredth of
    // a tick is already below what any counter here resolves.
    for (const auto &sr : r.sets)
      timings.push_back(std::round(sr.level_values.at(len - 1) * 100) / 100);
    // The fills start where the benchmark's buffer does: its offset from a
    // line is not chosen, so "alignment" is 0, as in glibc's own default.
    results.push_back({{"length", len}, {"alignment", 0}, {"timings", timings}});
  }
  ordered_json doc;
  doc["timing_type"] = std::string("ticks per call, ") + statistic_name(r.statistic) + " (" +
                       statistic_meaning(r.statistic) + ") of " + engine_name(engine) + ": " +
                       engine_measures(engine);
  doc["functions"]["memset"] = {
      {"bench-variant", "memset-report: fills from the start of one buffer, hot in the cache, "
                        "every length of one run in one process"},
      {"ifuncs", ifuncs},
      {"results", results}};
  return doc.dump(1) + "\n";
}

#else

std::string render_benchout(const Report &, const std::vector<size_t> &) {
  need_json_support();
  return "";
}

#endif

} // namespace report
