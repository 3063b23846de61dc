#pragma once
// Tuning advice: which memset glibc should pick on this machine, from one
// interleaved campaign of the settings that steer its choice. Pure: running
// that campaign is the caller's.

#include "advice.hpp"
#include "compare.hpp"
#include "sets.hpp"
#include "weights.hpp"

#include <optional>

#include <string>
#include <vector>

namespace report {

// rep stosb at every length glibc allows it, and never within the sweep.
constexpr const char *kStosbAlways = "glibc.cpu.x86_rep_stosb_threshold=1";
constexpr const char *kStosbNever = "glibc.cpu.x86_rep_stosb_threshold=1000000";

// The oldest glibc with the rep stosb threshold tunable.
constexpr int kTunablesMajor = 2, kTunablesMinor = 33;

// The variants of a tuning campaign for a processor with these features
// (names as in /proc/cpuinfo): default, stosb_always, stosb_never, and one
// per instruction-set mask that can change glibc's choice here.
struct TuneVariant {
  std::string name;
  std::vector<std::string> env; // NAME=VALUE
};
std::vector<TuneVariant> tune_variants(const std::vector<std::string> &cpu_flags);

// Refuses (NoTunables) a C library, as a record names it ("glibc 2.36"),
// that offers no memset tunables.
void check_tunable_libc(const std::string &libc);

// The advice from a finished tuning campaign's sets (default first). With
// weights, the advice is the setting with the lowest expected cost for that
// distribution, decided faster, and decided slower in no band the
// distribution calls.
TuneAdvice advise(std::vector<Set> sets, const CompareOptions &opt,
                  const std::optional<Weights> &weights = std::nullopt);

} // namespace report
