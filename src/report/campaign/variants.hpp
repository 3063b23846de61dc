#pragma once
// The variants that tune and census run: glibc's own choice and the settings
// that steer it on this processor, and the memset of other C libraries
// built beside this tool.

#include "report/campaign/campaign.hpp"

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

// Why a C library, as a record names it ("glibc 2.36"), offers no memset
// tunables; none for a glibc that does.
std::optional<std::string> why_not_tunable(const std::string &libc);
// The same as a refusal (NoTunables).
void check_tunable_libc(const std::string &libc);

// The C libraries whose memset the build can make a preload library of,
// and the Debian package that brings each.
struct KnownLibrary {
  const char *name, *package;
};
const std::vector<KnownLibrary> &known_libraries();
// "libmemset-musl.so", as the build names it.
std::string preload_library_file(const std::string &name);

// A tuning campaign: `given` (folder, budget, pinning...) with the variants
// tune_variants gives for this processor. Refuses a C library without the
// tunables and GLIBC_TUNABLES inherited from this environment.
CampaignOptions tune_plan(const CampaignOptions &given);

// A census campaign: glibc's own choice and, on a glibc with tunables, its
// other implementations; each known C library whose preload library is in
// `tool_dir`; then the user's own variants of `given`. `left_out` says which
// known libraries are missing, and why.
struct CensusPlan {
  CampaignOptions campaign;
  std::vector<std::string> left_out;
};
CensusPlan census_plan(const CampaignOptions &given, const std::string &tool_dir);

} // namespace report
