// The ground floor: jobs spread over threads.

#include "report/sys/parallel.hpp"

#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>
#include <string>

using namespace report;

namespace {

TEST(Parallel, EveryJobRunsOnceAndTheFirstFailureInOrderIsReported) {
  std::vector<std::atomic<int>> done(1000);
  for_each_parallel(done.size(), [&](size_t i) { done[i]++; });
  for (const auto &d : done)
    EXPECT_EQ(d.load(), 1);
  // Jobs 7 and 900 fail, on whatever threads: 7 is the one reported, and
  // every other job still ran.
  std::atomic<int> ran{0};
  try {
    for_each_parallel(1000, [&](size_t i) {
      ran++;
      if (i == 7 || i == 900)
        throw std::runtime_error("job " + std::to_string(i));
    });
    FAIL() << "no failure reported";
  } catch (const std::runtime_error &e) {
    EXPECT_STREQ(e.what(), "job 7");
  }
  EXPECT_EQ(ran.load(), 1000);
}

} // namespace
