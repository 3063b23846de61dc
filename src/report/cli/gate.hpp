#pragma once
// summary --fail-if-slower: the gate a CI job puts on a comparison.

#include "report/stats/mix.hpp"
#include "report/stats/summary.hpp"

namespace report {

// Throws Failure(kSlower) when a range of some comparison is decided slower
// by more than `max_slower` (a fraction), naming the worst; then, unless
// `allow_unclear`, Failure(kUndecided) for a range that is unclear: a gate
// that cannot decide must not pass.
void check_gate(const Report &r, double max_slower, bool allow_unclear);

// The same gate on one figure a run: a program's time, or a replay's ticks
// per call, of each variant against the first.
void check_gate(const MixReport &r, double max_slower, bool allow_unclear);

} // namespace report
