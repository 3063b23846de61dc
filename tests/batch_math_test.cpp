// memset-batch's arithmetic: a batch's ticks a call, net of the readings,
// and the calls that bring the next batch to its span.

#include "batch/batch_math.hpp"
#include "batch/mix_format.hpp"
#include "batch/replay.hpp"

#include <map>
#include <set>

#include <gtest/gtest.h>

using namespace batch;
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

TEST(Replay, EachLengthTakesItsShareOfTheCallsInAShuffledOrder) {
  // 7/10 of the calls at 8 bytes, 2/10 at 100, 1/10 at 4000, one call in a
  // million at 32768.
  const mix_format::Mix mix = {{8, 700000}, {100, 200000}, {4000, 99999}, {32768, 1}};
  const auto seq = replay_sequence(mix, kReplayCalls, 42);
  ASSERT_EQ(seq.size(), kReplayCalls);
  std::map<size_t, size_t> count;
  for (size_t len : seq)
    count[len]++;
  double total = 1000000;
  for (const auto &[len, calls] : mix)
    EXPECT_NEAR((double)count[len], kReplayCalls * (double)calls / total, 1.0) << len;
  // Shuffled: as many equal neighbours as independent draws give (the sum
  // of the squared shares, 0.54), not the runs a sorted sequence has.
  size_t equal = 0;
  for (size_t i = 1; i < seq.size(); i++)
    equal += seq[i] == seq[i - 1];
  const double expected = 0.54 * (double)(seq.size() - 1);
  EXPECT_NEAR((double)equal, expected, 5 * std::sqrt(expected));
  // One seed, one order; another seed, another.
  EXPECT_EQ(seq, replay_sequence(mix, kReplayCalls, 42));
  EXPECT_NE(seq, replay_sequence(mix, kReplayCalls, 43));
}

TEST(Replay, TheMixIsReadInItsOneSpellingOnly) {
  mix_format::Mix mix;
  std::string why;
  const std::string good = "# memset-mix 1\n8 3\n300 1\n";
  ASSERT_TRUE(mix_format::parse_mix(good, mix, why)) << why;
  EXPECT_EQ(mix_format::mix_text(mix), good);
  for (const char *bad :
       {"", "# memset-mix 1\n", "# memset-mix 2\n8 1\n", "# memset-mix 1\n8 1",
        "# memset-mix 1\n8 0\n", "# memset-mix 1\n0 4\n", "# memset-mix 1\n32769 4\n",
        "# memset-mix 1\n9 1\n8 1\n", "# memset-mix 1\n08 1\n", "# memset-mix 1\n8  1\n",
        "# memset-mix 1\n8 -1\n"}) {
    EXPECT_FALSE(mix_format::parse_mix(bad, mix, why)) << bad;
    EXPECT_FALSE(why.empty()) << bad;
  }
}

// The walk, stepped as the engine steps it: every fill inside the region,
// at any offset of a line; no line of one fill touched by the next; and
// the region covered but for less than one step before it starts over.
TEST(BatchMath, AWalkCoversItsRegionWithoutTouchingALineTwiceInARow) {
  for (unsigned long long region : {32768ull, 65536ull, 1000000ull, 64ull << 20})
    for (size_t len : {1ul, 63ul, 64ul, 65ul, 1000ul, 4096ul, 16384ul, 32768ul}) {
      const Walk w = walk_for(region, len);
      if (w.stride == 0) { // fewer than two steps: one place, which holds the fill
        EXPECT_LT(region / ((len + 2 * kLine - 2) / kLine * kLine), 2u) << region << " " << len;
        continue;
      }
      EXPECT_LE(w.limit, region);
      EXPECT_GT(w.limit + w.stride, region) << "more than a step of the region left out";
      // The lines a fill at `at` touches, at the offset that reaches furthest.
      auto lines = [&](size_t at, size_t offset) {
        return std::make_pair(at / kLine, (at + offset + len - 1) / kLine);
      };
      const size_t offsets[] = {0, 17, kLine - 1};
      size_t pos = 0, steps = 0;
      std::set<size_t> starts;
      for (size_t i = 0; i < 3 * (w.limit / w.stride); i++) {
        size_t next = pos + w.stride >= w.limit ? 0 : pos + w.stride;
        for (size_t offset : offsets) {
          EXPECT_LE(pos + offset + len, region) << region << " " << len;
          for (size_t next_offset : offsets) {
            auto [a0, a1] = lines(pos, offset);
            auto [b0, b1] = lines(next, next_offset);
            EXPECT_TRUE(a1 < b0 || b1 < a0) << region << " " << len << " at " << pos;
          }
        }
        starts.insert(pos);
        pos = next;
        steps += next == 0;
      }
      EXPECT_EQ(starts.size(), w.limit / w.stride) << "every step of the walk is taken";
      EXPECT_GE(steps, 2u);
    }
}

} // namespace
