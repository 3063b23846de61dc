#pragma once
// Probing the machine for a campaign's record: date, host, processor,
// kernel, C library, and the time-stamp counter's frequency and resolution.

#include "batch/counter_step.hpp"
#include "report/formats/campaign_folder.hpp"

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace report {

// Everything a campaign records of the machine, probed now. Takes about a
// quarter of a second: the counter's frequency is measured over 0.2 s.
MachineFacts probe_machine();

// The processor's feature flags, as /proc/cpuinfo names them.
std::vector<std::string> cpu_flags();

// "glibc 2.36": the C library this tool runs on.
std::string libc_version();

// The version of an installed Debian package ("1.2.3-1"); "" when dpkg
// does not know it.
std::string package_version(const std::string &package);

// The data and unified caches this machine reports for its first
// processor (/sys/devices/system/cpu/cpu0/cache), bytes by level; empty
// where it reports none.
std::map<int, uint64_t> cache_sizes();

// The region a batched run's fills walk to stand for `level`, from
// `caches` (cache_sizes()): "L1", "L2" and "LLC" (the last level) half the
// level's size, so that the region stays there beside what else the
// program holds, and never less than the largest fill; "memory" twice the
// last level and at least 64 MiB, so that it is in none. A UsageError
// names a level the machine does not report.
uint64_t level_footprint(const std::string &level, const std::map<int, uint64_t> &caches);

// Bytes the machine can give now (MemAvailable); none where it cannot tell.
std::optional<uint64_t> memory_available();

// Counter ticks per second against the monotonic clock, over about 0.2 s.
double measure_tsc_hz();

// How finely the counter can tell two moments apart.
struct Resolution {
  double step = 1;      // the counter's granularity, in ticks; need not be whole
  double read_cost = 0; // median of back-to-back readings, in ticks
};

// The step: batch/counter_step.hpp holds the one rule, memset-batch's too.
using batch::estimate_step;

// Back-to-back pairs give the read cost, but cannot tell a step from a fixed
// read cost: pairs with a varying amount of work between the readings are
// taken too, and the step is judged on all of them.
constexpr size_t kResolutionSamples = 20000;
Resolution measure_resolution();

} // namespace report
