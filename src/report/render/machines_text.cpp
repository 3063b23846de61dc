// Many machines as text: each machine's summary under its name, then each
// comparison's verdicts side by side, stretch by stretch.

#include "report/render/render.hpp"

#include "report/render/across_lines.hpp"
#include "report/render/pieces.hpp"

namespace report {

namespace {

// "alpha slower 1.06-1.80": a machine's verdict over a stretch.
std::string machine_verdict(const Across &a, const MachineVerdict &m) {
  std::string o = a.machines[m.machine].id.name + " " + verdict_name(m.decision.verdict);
  if (m.decision.hidden)
    return o + " (hidden)";
  if (m.decision.verdict == Verdict::Faster || m.decision.verdict == Verdict::Slower ||
      m.decision.verdict == Verdict::Same)
    o += (m.decision.bound ? " " + bound_word(m.decision.at_least()) : " ") +
         ratio_span(m.low, m.high, "");
  return o;
}

// The head every many-machine text starts with.
std::string machines_head(const Across &a, const std::vector<std::string> &notes) {
  std::string o = fmt("== %zu machines, each compared within itself; a machine is never "
                      "compared with another\n",
                      a.machines.size());
  for (const auto &m : a.machines)
    o += "machine: " + printable(machine_text(m.id)) + "\n";
  for (const auto &n : notes)
    o += "note: " + printable(n) + "\n";
  return o;
}

} // namespace

std::string render_across_mix(const Across &names, const std::vector<MixReport> &reports,
                              const std::vector<MixAcross> &across,
                              const std::vector<std::string> &notes) {
  std::string o = machines_head(names, notes);
  for (size_t m = 0; m < reports.size(); m++)
    o += "\n=== machine " + printable(names.machines[m].id.name) + "\n" +
         render_one_figure_text(reports[m]);
  const char *key = !reports.empty() && reports[0].program() ? "time" : "mix";
  for (const MixAcross &c : across) {
    std::vector<std::string> each;
    for (const auto &m : c.machines)
      each.push_back(
          names.machines[m.machine].id.name + " " + verdict_name(m.decision.verdict) +
          fmt(" %.3f", m.low) +
          (m.band && m.band->interval ? " " + bracket(m.band->low, m.band->high, 3) : ""));
    o += "\n== across machines: " + printable(c.other) + " against " + printable(c.base) +
         fmt(" on %zu of %zu machines\n", c.machines.size(), names.machines.size()) +
         "across: " + key + ": " + printable(verdicts_text(names, c.machines)) + "; " +
         printable(joined(each)) + "\n";
  }
  return o;
}

std::string render_across(const Across &a, Unit unit, bool bands,
                          const std::vector<std::string> &notes) {
  std::string o = machines_head(a, notes);
  for (const auto &m : a.machines)
    o += "\n=== machine " + printable(m.id.name) + "\n" + render_text(m.report, unit, bands);
  for (const auto &c : a.comparisons) {
    o += "\n== across machines: " + printable(c.other) + " against " + printable(c.base) +
         fmt(" on %zu of %zu machines", c.machines.size(), a.machines.size()) + "\n";
    if (c.machines.size() < a.machines.size()) {
      std::vector<std::string> without;
      for (size_t m = 0; m < a.machines.size(); m++)
        if (std::find(c.machines.begin(), c.machines.end(), m) == c.machines.end())
          without.push_back(a.machines[m].id.name);
      o += "without: " + printable(joined(without)) + " (no such pair of variants there)\n";
    }
    for (const auto &s : c.stretches) {
      std::vector<std::string> each;
      for (const auto &m : s.machines)
        each.push_back(machine_verdict(a, m));
      o += "across: " + printable(across_text(a, s)) + "; " + printable(joined(each)) + "\n";
    }
  }
  return o;
}

} // namespace report
