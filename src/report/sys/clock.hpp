#pragma once
// Wall-clock seconds that only move forward, for budgets and timing; and
// the date as the files the tools write give it.

#include <ctime>
#include <string>

namespace report {

inline double now_seconds() {
  timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return (double)ts.tv_sec + (double)ts.tv_nsec * 1e-9;
}

// Now, in UTC, ISO 8601: "2026-12-10T07:22:30Z".
inline std::string utc_now() {
  std::time_t t = std::time(nullptr);
  std::tm tm{};
  gmtime_r(&t, &tm);
  char buf[32];
  std::strftime(buf, sizeof buf, "%Y-%m-%dT%H:%M:%SZ", &tm);
  return buf;
}

} // namespace report
