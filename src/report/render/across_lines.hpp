#pragma once
// The words of many machines' verdicts set side by side: what holds on all
// of them over a stretch, who differs, and each machine named with its
// processor, counter and C library. The text and the JSON across machines
// write them alike; advice/machines computes what they say.

#include "report/advice/machines.hpp"

#include <string>
#include <vector>

namespace report {

// "alpha: Intel(R) Xeon(R) Processor; counter 2600.0 MHz, step 2 ticks; glibc 2.36".
std::string machine_text(const MachineId &m);

// "slower on 2 of 2 (1.06-1.80x)", "faster on 4, slower on 1 (zen3-a: 1.12
// [1.08, 1.17]), unclear on 1": what holds on all machines over a stretch.
std::string across_text(const Across &a, const AcrossStretch &s);

// What holds on all machines and who differs, for verdicts of machines
// set side by side, without the lengths: "slower on 2 of 2 (1.02-1.03x)".
std::string verdicts_text(const Across &a, const std::vector<MachineVerdict> &machines);

// "1.06-1.80x", or "1.30x" where both print alike; `unit` after them.
std::string ratio_span(double low, double high, const char *unit = "x");

} // namespace report
