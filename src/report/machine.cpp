// What the machine is, for a campaign's record: processor, kernel, C library,
// and the time-stamp counter's frequency and resolution.

#include "machine.hpp"

#include "analysis.hpp"

#include <algorithm>
#include <cerrno>
#include <ctime>
#include <fstream>
#include <map>

namespace report {

namespace {

inline uint64_t read_tsc() {
  uint32_t lo, hi;
  __asm__ __volatile__("rdtsc" : "=a"(lo), "=d"(hi));
  return (uint64_t)hi << 32 | lo;
}

double now_seconds() {
  timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return ts.tv_sec + ts.tv_nsec * 1e-9;
}

} // namespace

std::string cpuinfo_field(const std::string &key) {
  std::ifstream in("/proc/cpuinfo");
  for (std::string line; std::getline(in, line);)
    if (line.rfind(key, 0) == 0) {
      auto colon = line.find(':');
      auto start = colon == std::string::npos ? colon : line.find_first_not_of(" \t", colon + 1);
      return start == std::string::npos ? "" : line.substr(start);
    }
  return "";
}

bool has_cpu_flag(const std::string &flag) {
  return (" " + cpuinfo_field("flags") + " ").find(" " + flag + " ") != std::string::npos;
}

double measure_tsc_hz() {
  double t0 = now_seconds();
  uint64_t c0 = read_tsc();
  timespec nap = {0, 200 * 1000 * 1000};
  while (nanosleep(&nap, &nap) != 0 && errno == EINTR) {
  }
  uint64_t c1 = read_tsc();
  double t1 = now_seconds();
  return (double)(c1 - c0) / (t1 - t0);
}

uint64_t estimate_step(const std::vector<uint64_t> &diffs) {
  // Few distinct values recur many times: count each once.
  std::map<uint64_t, size_t> counts;
  size_t total = 0;
  for (uint64_t x : diffs)
    if (x != 0) {
      counts[x]++;
      total++;
    }
  for (uint64_t q = kMaxStep; q >= kMinStep && total > 0; q--) {
    size_t exact = 0, near = 0;
    for (auto [x, n] : counts) {
      uint64_t r = x % q;
      exact += r == 0 ? n : 0;
      near += r <= 1 || r == q - 1 ? n : 0;
    }
    if (exact >= kExactShare * total && near >= kNearShare * total)
      return q;
  }
  return 1;
}

Resolution measure_resolution() {
  std::vector<uint64_t> back_to_back, with_work;
  back_to_back.reserve(kResolutionSamples);
  with_work.reserve(kResolutionSamples);
  volatile unsigned sink = 0;
  for (size_t i = 0; i < kResolutionSamples; i++) {
    uint64_t a = read_tsc();
    uint64_t b = read_tsc();
    back_to_back.push_back(b - a);
    // Work that changes from pair to pair: 0 to 96 steps of a dependent loop.
    unsigned n = (unsigned)(i % 97);
    uint64_t c = read_tsc();
    for (unsigned j = 0; j < n; j++)
      sink = sink + j;
    uint64_t e = read_tsc();
    with_work.push_back(e - c);
  }
  Resolution r;
  std::vector<double> b2b(back_to_back.begin(), back_to_back.end());
  r.read_cost = median(b2b);
  std::vector<uint64_t> all = back_to_back;
  all.insert(all.end(), with_work.begin(), with_work.end());
  r.step = estimate_step(all);
  return r;
}

} // namespace report
