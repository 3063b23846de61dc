// memset-batch's arithmetic: a batch's ticks a call, net of the readings,
// and the calls that bring the next batch to its span.

#include "batch/batch_math.hpp"

#include <gtest/gtest.h>

using namespace batch_format;

namespace {

TEST(BatchMath, TicksACallAreNetOfTheReadings) {
  EXPECT_DOUBLE_EQ(per_call(26060, 60, 1000), 26.0);
  EXPECT_DOUBLE_EQ(per_call(16000 + 41, 41, 6400), 2.5);
  // Readings that varied by more than the calls cost give 0, never less.
  EXPECT_DOUBLE_EQ(per_call(50, 60, 16), 0.0);
}

TEST(BatchMath, TheNextBatchSpansTheTargetWithinTheBoundsOfItsCalls) {
  // 64 calls took 1600 ticks: 25 a call; 26000 ticks and a tenth more take 1145.
  unsigned calls = calls_for(26000, 1600, 64);
  EXPECT_EQ(calls, 1145u);
  EXPECT_GE(calls * 25.0, 26000.0);
  // A batch far too long shrinks to the target, never below kMinCalls.
  EXPECT_EQ(calls_for(26000, 26000 * 100, kMaxCalls), (unsigned)std::ceil(kMaxCalls * 1.1 / 100));
  EXPECT_EQ(calls_for(1000, 1000000, 20), kMinCalls);
  // A call that costs nothing measurable asks for the most calls, no more.
  EXPECT_EQ(calls_for(26000, 0, 16), kMaxCalls);
}

} // namespace
