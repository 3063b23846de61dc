#pragma once
// Before the first round: what every variant of a campaign measures, and a
// refusal for each setting that glibc did not take or that changed nothing.

#include "report/campaign/binding.hpp"
#include "report/campaign/plan.hpp"

#include <functional>
#include <string>
#include <vector>

namespace report {

// What a job measures, as the record keeps it.
struct JobFacts {
  std::string memset;   // MemsetCode::text(), or "unknown: why"
  std::string tunables; // tunables_text(), or "unknown: why"
  LoadedLibc libc;      // the C library loaded; empty where the probe could not tell
};

// Measures each job's environment and refuses (RunFailed) a GLIBC_TUNABLES
// setting of the campaign that names a tunable glibc's loader does not know,
// gives a value it did not take, or leaves the job running the same code
// (same_code) as the variant without settings (or, where every variant has
// some, as the environment without them). Campaigns whose variants all have
// the same settings (A/A) are not held to the last rule. Where the C library
// cannot tell (not glibc, no tunables listing), nothing is refused and the
// facts say why. A job run through a C library of its own is refused
// unless its probe ran, loaded that library (not the system's), from the
// same release as its loader, its program finds every library it needs,
// and its loader lists tunables where it sets some.
std::vector<JobFacts> check_settings(const std::vector<Job> &jobs, const CampaignOptions &opt);

// Refuses (RunFailed) continuing a campaign whose variants' C libraries
// are no longer the builds its record names (their build IDs differ).
void check_same_libraries(const std::vector<Job> &jobs, const Record &record, double timeout);

// The C library `tree` leads to, as a record names the system's ("glibc
// 2.36"), from the banner its probe reads; what the probe said otherwise.
std::string release_of(const LibcTree &tree, double timeout);

// What a variant, started as it is, measures.
using MeasureFn = std::function<Measured(const Launch &)>;

// The variants of `c` that run the same code as an earlier one are taken out
// and returned, each with the one it equals: tune and census measure each
// implementation once. A variant with a benchmark of its own is kept.
std::vector<SameAs> measure_once(CampaignOptions &c, const MeasureFn &measure);
// The same, measured with memset-probe and the C library's loader.
std::vector<SameAs> measure_once(CampaignOptions &c);

} // namespace report
