#pragma once
// What the machine is, for a campaign's record: processor, kernel, C library,
// and the time-stamp counter's frequency and resolution.

#include <cstdint>
#include <string>
#include <vector>

namespace report {

// One "model name", "flags", ... field of /proc/cpuinfo; "" when absent.
std::string cpuinfo_field(const std::string &key);
bool has_cpu_flag(const std::string &flag);

// Counter ticks per second against the monotonic clock, over about 0.2 s.
double measure_tsc_hz();

// How finely the counter can tell two moments apart.
struct Resolution {
  uint64_t step = 1;    // the counter's granularity, in ticks
  double read_cost = 0; // median of back-to-back readings, in ticks
};

// The step is the largest q of kMinStep or more such that at least
// kExactShare of the non-zero differences are exact multiples of q and at
// least kNearShare lie within one tick of a multiple; 1 where none is. A
// reading that lands one tick late gives the "within one tick", and an
// interrupt a far multiple, on a counter that moves in steps; on a counter
// that moves every tick the differences spread over neighbouring values and
// no q passes. Zero differences say nothing of q and are left out.
constexpr uint64_t kMinStep = 4;
constexpr uint64_t kMaxStep = 1024;
constexpr double kExactShare = 0.5;
constexpr double kNearShare = 0.95;
uint64_t estimate_step(const std::vector<uint64_t> &diffs);

// Back-to-back pairs give the read cost, but cannot tell a step from a fixed
// read cost: pairs with a varying amount of work between the readings are
// taken too, and the step is judged on all of them.
constexpr size_t kResolutionSamples = 20000;
Resolution measure_resolution();

} // namespace report
