// summary --fail-if-slower: the gate a CI job puts on a comparison.

#include "report/cli/gate.hpp"

#include "report/sys/errors.hpp"
#include "report/sys/text.hpp"

namespace report {

namespace {

// One thing a gate judges: a range of a curve comparison, or a variant's
// one figure, with what its verdict says.
struct Gated {
  std::string who;   // "[2] b", against "[1] a"
  std::string where; // "over 3..255", "in its CPU time"
  Decision decision;
  double ratio; // the ratio it is known to reach: its estimate, or its bound
  bool hidden;  // the fills hide there: more rounds would not decide it
};

// The one rule: the worst `slower` by more than `max_slower` fails it
// (kSlower); then, unless `allow_unclear`, anything unclear, or slower by a
// bound within what it allows (by how much more cannot be read), keeps it
// from passing (kUndecided).
void apply(const std::vector<Gated> &items, const std::string &base, double max_slower,
           bool allow_unclear) {
  const Gated *worst = nullptr;
  for (const auto &g : items)
    if (g.decision.verdict == Verdict::Slower && g.ratio > 1 + max_slower &&
        (!worst || g.ratio > worst->ratio))
      worst = &g;
  if (worst)
    throw Failure(kSlower, worst->who + " is slower than " + base + " " + worst->where + " by " +
                               (worst->decision.bound ? "at least " : "") +
                               fmt("%.1f%% > %.1f%%", 100 * (worst->ratio - 1), 100 * max_slower) +
                               " (--fail-if-slower)");
  if (allow_unclear)
    return;
  for (const auto &g : items) {
    if (g.decision.verdict == Verdict::Unclear)
      throw Failure(kUndecided,
                    g.who + " against " + base + " is unclear " + g.where +
                        ": the gate cannot pass (--fail-if-slower; " +
                        (g.hidden ? "the fills hide in the readings there, so more rounds "
                                    "would not decide it; --allow-unclear)"
                                  : "more rounds would decide, or --allow-unclear)"));
    if (g.decision.verdict == Verdict::Slower && g.decision.bound)
      throw Failure(kUndecided,
                    g.who + " is slower than " + base + " " + g.where +
                        fmt(" by at least %.1f%%, but the fills hide in the readings there, "
                            "so by how much more cannot be read: the gate cannot pass "
                            "(--fail-if-slower; --engine batch reads it, or --allow-unclear)",
                            100 * (g.ratio - 1)));
  }
}

std::string named(size_t k, const std::string &label) {
  return "[" + std::to_string(k + 1) + "] " + label;
}

} // namespace

void check_gate(const Report &r, double max_slower, bool allow_unclear) {
  std::vector<Gated> items;
  for (const auto &c : r.comparisons)
    for (const auto &rg : c.ranges)
      items.push_back({named(c.other, r.sets[c.other].set.label),
                       "over " + std::to_string(rg.from) + ".." + std::to_string(rg.to),
                       rg.decision(), slower_by(rg), rg.hidden});
  apply(items, named(0, r.sets[0].set.label), max_slower, allow_unclear);
}

void check_gate(const MixReport &r, double max_slower, bool allow_unclear) {
  const std::string figure = r.program() ? (r.wall ? "in its wall-clock time" : "in its CPU time")
                                         : "in its ticks per call of the mix";
  std::vector<Gated> items;
  for (const auto &mc : r.comparisons)
    items.push_back({named(mc.other, r.sets[mc.other].set.label), figure, mc.c.decision,
                     decided_ratio(mc.c.est, mc.c.decision), false});
  apply(items, named(0, r.sets[0].set.label), max_slower, allow_unclear);
}

} // namespace report
