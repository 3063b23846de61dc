#pragma once
// Tuning advice: which memset glibc should pick on this machine, measured in
// one interleaved campaign of the settings that steer its choice.

#include "campaign.hpp"
#include "compare.hpp"
#include "sets.hpp"

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
std::vector<VariantOptions> tune_variants(const std::vector<std::string> &cpu_flags);

// Refuses (NoTunables) a C library, as a context names it ("glibc 2.36"),
// that offers no memset tunables.
void check_tunable_libc(const std::string &libc);

struct TuneOptions {
  CampaignOptions campaign;
  CompareOptions compare;
  std::string from; // analyse this finished tuning campaign instead of running one
};

struct Winner {
  size_t from, to;
  size_t variant;          // index into the sets; 0 (default) where nothing is faster
  double ratio, low, high; // to default
};

struct TuneAdvice {
  std::vector<Set> sets;                   // default first
  std::vector<std::vector<size_t>> groups; // variants that are `same` everywhere
  std::vector<Comparison> vs_default;      // [v] compares v with default; [0] empty
  std::vector<Winner> fastest;
  std::optional<size_t> crossover; // none: rep stosb everywhere stays slower
  bool have_stosb_pair = false;
  std::optional<size_t> advised; // variant to set; none: default
  size_t rounds = 0;
};

// The advice from a finished tuning campaign's sets (default first).
TuneAdvice advise(std::vector<Set> sets, const CompareOptions &opt);

// The variant's setting as a user pastes it: "GLIBC_TUNABLES=...".
std::string setting_of(const Set &variant);

// Runs (or, with `from`, reads) the campaign and returns the advice.
TuneAdvice run_tune(const TuneOptions &opt);

} // namespace report
