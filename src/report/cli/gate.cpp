// summary --fail-if-slower: the gate a CI job puts on a comparison.

#include "report/cli/gate.hpp"

#include "report/sys/errors.hpp"
#include "report/sys/text.hpp"

namespace report {

namespace {

// "[2] b against [1] a"-style names of a comparison's sides.
std::string side(const Report &r, size_t set) {
  return "[" + std::to_string(set + 1) + "] " + r.sets[set].set.label;
}

std::string lengths(const Range &rg) {
  return std::to_string(rg.from) + ".." + std::to_string(rg.to);
}

} // namespace

void check_gate(const Report &r, double max_slower, bool allow_unclear) {
  for (const auto &c : r.comparisons)
    if (const Range *rg = worst_slower(c); rg && slower_by(*rg) > 1 + max_slower)
      throw Failure(kSlower,
                    side(r, c.other) + " is slower than " + side(r, 0) + " over " + lengths(*rg) +
                        " by " + (rg->bound ? "at least " : "") +
                        fmt("%.1f%% > %.1f%%", 100 * (slower_by(*rg) - 1), 100 * max_slower) +
                        " (--fail-if-slower)");
  if (allow_unclear)
    return;
  for (const auto &c : r.comparisons)
    for (const auto &rg : c.ranges) {
      if (rg.verdict == Verdict::Unclear)
        throw Failure(kUndecided,
                      side(r, c.other) + " against " + side(r, 0) + " is unclear over " +
                          lengths(rg) + ": the gate cannot pass (--fail-if-slower; " +
                          (rg.hidden ? "the fills hide in the readings there, so more rounds "
                                       "would not decide it; --allow-unclear)"
                                     : "more rounds would decide, or --allow-unclear)"));
      // Slower by at least what the gate allows: by how much more cannot be read.
      if (rg.verdict == Verdict::Slower && rg.bound)
        throw Failure(kUndecided,
                      side(r, c.other) + " is slower than " + side(r, 0) + " over " + lengths(rg) +
                          fmt(" by at least %.1f%%, but the fills hide in the readings there, "
                              "so by how much more cannot be read: the gate cannot pass "
                              "(--fail-if-slower; --engine batch reads it, or --allow-unclear)",
                              100 * (slower_by(rg) - 1)));
    }
}

void check_gate(const MixReport &r, double max_slower, bool allow_unclear) {
  auto name = [&](size_t k) { return "[" + std::to_string(k + 1) + "] " + r.sets[k].set.label; };
  const char *figure = r.program ? (r.wall ? "its wall-clock time" : "its CPU time")
                                 : "its ticks per call of the mix";
  for (const auto &mc : r.comparisons)
    if (mc.c.decision.verdict == Verdict::Slower && mc.c.est.ratio > 1 + max_slower)
      throw Failure(kSlower,
                    name(mc.other) + " is slower than " + name(0) + " in " + figure + " by " +
                        fmt("%.1f%% > %.1f%%", 100 * (mc.c.est.ratio - 1), 100 * max_slower) +
                        " (--fail-if-slower)");
  if (allow_unclear)
    return;
  for (const auto &mc : r.comparisons)
    if (mc.c.decision.verdict == Verdict::Unclear)
      throw Failure(kUndecided, name(mc.other) + " against " + name(0) + " is unclear in " +
                                    figure +
                                    ": the gate cannot pass (--fail-if-slower; more rounds "
                                    "would decide, or --allow-unclear)");
}

} // namespace report
