// The words of many machines' verdicts set side by side.

#include "report/render/across_lines.hpp"

#include "report/render/pieces.hpp"
#include "report/sys/text.hpp"

namespace report {

std::string ratio_span(double low, double high, const char *unit) {
  const std::string a = fmt("%.2f", low), b = fmt("%.2f", high);
  return (a == b ? a : a + "-" + b) + unit;
}

std::string machine_text(const MachineId &m) {
  std::string o = m.name + ": " + (m.cpu.empty() ? "processor unknown" : m.cpu);
  if (m.mhz)
    o += fmt("; counter %.1f MHz", *m.mhz);
  if (m.step)
    o += fmt(", step %.3g ticks", *m.step);
  return o + "; " + (m.libc.empty() ? "C library unknown" : m.libc);
}

std::string across_text(const Across &a, const AcrossStretch &s) {
  return fmt("%zu..%zu ", s.from, s.to) + verdicts_text(a, s.machines);
}

std::string verdicts_text(const Across &a, const std::vector<MachineVerdict> &machines) {
  const size_t n = machines.size();
  const Verdict order[] = {Verdict::Faster, Verdict::Slower, Verdict::Same, Verdict::Unclear};
  std::vector<std::string> parts;
  for (Verdict v : order) {
    std::vector<const MachineVerdict *> these;
    for (const auto &m : machines)
      if (m.decision.verdict == v)
        these.push_back(&m);
    if (these.empty())
      continue;
    std::string p = std::string(verdict_name(v)) + " on " + std::to_string(these.size());
    if (these.size() == n)
      p += " of " + std::to_string(n);
    const bool sized = v == Verdict::Faster || v == Verdict::Slower;
    if (sized && these.size() == n) {
      double low = these[0]->low, high = these[0]->high;
      bool bound = false;
      for (const auto *m : these)
        low = std::min(low, m->low), high = std::max(high, m->high), bound |= m->decision.bound;
      // A bound on any machine bounds what holds on all: the weakest one.
      p += bound ? (v == Verdict::Slower ? fmt(" (at least %.2fx)", low)
                                         : fmt(" (at most %.2fx)", high))
                 : " (" + ratio_span(low, high) + ")";
    } else if (sized || v == Verdict::Unclear) {
      // Where machines disagree, each that sees a difference or cannot tell is named.
      std::vector<std::string> named;
      for (const auto *m : these) {
        std::string t = a.machines[m->machine].id.name;
        if (m->decision.hidden)
          t += ": hidden in the readings";
        else if (sized && m->band && m->band->interval && !m->decision.bound)
          t += fmt(": %.2f [%.2f, %.2f]", m->band->ratio, m->band->low, m->band->high);
        else if (sized)
          t += ": " + (m->decision.bound ? bound_word(m->decision.at_least()) : std::string()) +
               ratio_span(m->low, m->high);
        named.push_back(t);
      }
      if (these.size() < n)
        p += " (" + joined(named) + ")";
    }
    parts.push_back(p);
  }
  return joined(parts);
}

} // namespace report
