#pragma once
// Wall-clock seconds that only move forward, for budgets and timing.

#include <ctime>

namespace report {

inline double now_seconds() {
  timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return (double)ts.tv_sec + (double)ts.tv_nsec * 1e-9;
}

} // namespace report
