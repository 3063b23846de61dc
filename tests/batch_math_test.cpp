// memset-batch's arithmetic: a batch's ticks a call, net of the readings,
// and the calls that bring the next batch to its span.

#include "batch/batch_math.hpp"
#include "batch/counter_step.hpp"
#include "batch/mix_format.hpp"
#include "batch/replay.hpp"

#include <cmath>
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

// A mix that says where its fills landed: read back in its one spelling,
// and refused where a class's offsets and its lengths disagree.
TEST(Replay, ALandedMixIsReadBackWithItsOffsets) {
  const mix_format::Mix mix = {{100, 4000}, {1000, 10}};
  mix_format::Landing l;
  l.offsets[7][0] = 3000; // 64..127
  l.offsets[7][16] = 1000;
  l.offsets[10][33] = 10; // 512..1023
  l.cold_ppm = 250000;
  const std::string text = mix_format::mix_text(mix, &l);
  mix_format::Mix back;
  mix_format::Landing lback;
  std::string why;
  ASSERT_TRUE(mix_format::parse_mix(text, back, why, &lback)) << why;
  EXPECT_EQ(back, mix);
  EXPECT_EQ(mix_format::mix_text(back, &lback), text);
  // A reader that takes no landing reads the first version only.
  EXPECT_FALSE(mix_format::parse_mix(text, back, why));
  auto refused = [&](const std::string &from, const std::string &to) {
    std::string t = text;
    t.replace(t.find(from), from.size(), to);
    return !mix_format::parse_mix(t, back, why, &lback);
  };
  EXPECT_TRUE(refused("# cold: 250000", "# cold: 1000001"));
  EXPECT_TRUE(refused("# offsets: 10 ", "# offsets: 11 ")) << "a class without calls";
  EXPECT_TRUE(refused("# offsets: 7 3000", "# offsets: 7 3000 1")) << "65 counts";
  EXPECT_TRUE(refused("1000 10\n", "")) << "offsets of a class without lengths";
}

// Each call's offset is drawn in proportion to its class's calls at each
// offset, and its coldness with the mix's share: checked on 65536 draws
// with a fixed seed, within a few standard deviations.
TEST(Replay, OffsetsAndColdCallsAreDrawnInTheCapturesProportions) {
  mix_format::Landing l;
  l.offsets[7][0] = 3000;
  l.offsets[7][16] = 1000;
  l.offsets[10][33] = 10;
  l.cold_ppm = 250000;
  const std::vector<size_t> seq = replay_sequence({{100, 4000}, {1000, 10}}, kReplayCalls, 11);
  const Landed d = replay_landing(seq, l, 11);
  ASSERT_EQ(d.offsets.size(), seq.size());
  size_t at0 = 0, at16 = 0, short_calls = 0, cold = 0;
  for (size_t i = 0; i < seq.size(); i++) {
    if (seq[i] == 100) {
      short_calls++;
      at0 += d.offsets[i] == 0;
      at16 += d.offsets[i] == 16;
    } else {
      EXPECT_EQ(d.offsets[i], 33) << "its class's one offset";
    }
    cold += d.cold[i];
  }
  EXPECT_EQ(at0 + at16, short_calls) << "no offset its class never had";
  const double n = (double)short_calls, share = (double)at0 / n;
  EXPECT_NEAR(share, 0.75, 4 * std::sqrt(0.75 * 0.25 / n));
  EXPECT_NEAR((double)cold / (double)seq.size(), 0.25,
              4 * std::sqrt(0.25 * 0.75 / (double)seq.size()));
  // Where they land: hot ones at their offset in the one hot place; cold
  // ones past it, inside the region, each on lines the one before did not touch.
  const unsigned long long region = 1 << 22;
  const std::vector<size_t> pos = replay_positions(seq, d, region, 2);
  ASSERT_EQ(pos.size(), 2 * seq.size());
  size_t last_from = 0, last_to = 0; // the cold call before's lines
  bool any_cold = false;
  std::set<size_t> cold_lines;
  for (size_t i = 0; i < pos.size(); i++) {
    const size_t j = i % seq.size();
    EXPECT_EQ(pos[i] % kLine, d.offsets[j]);
    EXPECT_LE(pos[i] + seq[j], region);
    if (!d.cold[j]) {
      EXPECT_LT(pos[i], kLine);
      continue;
    }
    EXPECT_GE(pos[i], 2 * kLengths) << "cold calls stay out of the hot place";
    const size_t from = pos[i] / kLine, to = (pos[i] + seq[j] - 1) / kLine;
    if (any_cold) {
      EXPECT_TRUE(to < last_from || from > last_to) << "a cold call on the one before's lines";
    }
    last_from = from, last_to = to, any_cold = true;
    cold_lines.insert(from);
  }
  // Drawn here and there, not walked in order: the cold calls' lines spread
  // over the region rather than packing its start.
  ASSERT_FALSE(cold_lines.empty());
  EXPECT_GT(*cold_lines.rbegin() - *cold_lines.begin(), region / kLine / 2);
}

TEST(ReplayLanding, TheLeastRegionHoldsTheLongestFillsAllCold) {
  // Every call cold, of the longest length, at the last offset: each still
  // finds lines clear of the one before, inside the least region.
  mix_format::Landing l;
  l.offsets[16][63] = 1;
  l.cold_ppm = mix_format::kPpm;
  const std::vector<size_t> seq = replay_sequence({{kLengths, 1}}, 512, 5);
  const Landed d = replay_landing(seq, l, 5);
  const std::vector<size_t> pos = replay_positions(seq, d, mix_format::kLeastLandedRegion, 1, 5);
  ASSERT_EQ(pos.size(), seq.size());
  for (size_t i = 0; i < pos.size(); i++) {
    EXPECT_LE(pos[i] + kLengths, mix_format::kLeastLandedRegion);
    if (i) {
      EXPECT_TRUE(pos[i] + kLengths <= pos[i - 1] / kLine * kLine ||
                  pos[i] / kLine > (pos[i - 1] + kLengths - 1) / kLine);
    }
  }
}

// Differences as memset-batch collects them, of three kinds of counter:
// whole multiples of 26 but for 1.6% that differ by exactly 1 (a reading
// taken as the counter moved), a step of 24.45 read in whole ticks, and a
// step of 2.
TEST(CounterStep, EachKindOfCounterSizesItsBatchesToAThousandOfItsSteps) {
  std::vector<uint64_t> stragglers, fractional, fine;
  uint64_t state = 7;
  for (int i = 0; i < 20000; i++) {
    const uint64_t r = next_random(state);
    stragglers.push_back(r % 1000 < 16 ? 1 : 26 * (1 + r % 6));
    const double t = (double)(r % 1000000), work = (double)(r >> 40) / (1 << 24) * 300;
    auto read = [](double at, double step) { return (uint64_t)(std::floor(at / step) * step); };
    fractional.push_back(read(t + 20 + work, 24.45) - read(t, 24.45));
    fine.push_back(2 * (10 + r % 50));
  }
  EXPECT_DOUBLE_EQ(estimate_step(stragglers), 26.0);
  EXPECT_EQ(whole_step(estimate_step(stragglers)), 26u);
  EXPECT_NEAR(estimate_step(fractional), 24.45, 0.011);
  EXPECT_EQ(whole_step(estimate_step(fractional)), 25u);
  EXPECT_EQ(whole_step(estimate_step(fine)), 2u);
  // A counter that moves every tick, and no readings at all: a step of 1.
  EXPECT_EQ(whole_step(estimate_step({17, 18, 19, 21, 22, 23, 25})), 1u);
  EXPECT_EQ(whole_step(estimate_step({})), 1u);
}

} // namespace
