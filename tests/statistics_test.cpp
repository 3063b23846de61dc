// The robust summary of runs: medians, quartiles, steps, shifted runs and
// levels held exactly.

#include "report/stats/statistics.hpp"
#include "report/stats/summary.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

using namespace report;

namespace {

// Per-length median across runs, as the summary takes it.
Curve median_curve(const std::vector<RunValues> &runs) {
  return levels_of(length_stats(runs, Statistic::Median).median);
}

TEST(Median, OddEvenAndPerLength) {
  EXPECT_EQ(median({3, 1, 2}), 2);
  EXPECT_EQ(median({4, 1, 3, 2}), 2.5);
  std::vector<RunValues> runs = {{1, 10, 7}, {2, 30, 7}, {900, 20, 7}};
  EXPECT_EQ(median_curve(runs), (Curve{2, 20, 7}));
  // The floor ignores the first-call binding carried by length 1.
  Curve curve(64, 30);
  curve[0] = 300;
  curve[5] = 31;
  EXPECT_EQ(floor_of(curve), 30);
}

// A curve like memset's: a floor, slow growth, and steps where given.
Curve synthetic(std::vector<std::pair<size_t, double>> steps, double noise = 0, unsigned seed = 1) {
  std::mt19937 rng(seed);
  std::uniform_real_distribution<double> jitter(-noise, noise);
  Curve c(kLengths);
  for (size_t len = 1; len <= kLengths; len++) {
    double v = 30 + len / 40.0 + jitter(rng);
    for (auto [at, rise] : steps)
      if (len >= at)
        v += rise;
    c[len - 1] = v;
  }
  c[0] = 250; // first-call binding
  return c;
}

TEST(Steps, FindsJumpsThatStayUp) {
  EXPECT_EQ(find_steps(synthetic({})), std::vector<size_t>{});
  EXPECT_EQ(find_steps(synthetic({{2049, 80}})), std::vector<size_t>{2049});
  EXPECT_EQ(find_steps(synthetic({{1921, 25}, {8193, 60}})), (std::vector<size_t>{1921, 8193}));
  // With noise the step is still found, within a few bytes.
  auto noisy = find_steps(synthetic({{2049, 80}}, 4, 7));
  ASSERT_EQ(noisy.size(), 1u);
  EXPECT_NEAR((double)noisy[0], 2049, 3);
}

TEST(Steps, IgnoresSpikesAndPlateausThatComeBackDown) {
  Curve c = synthetic({});
  for (size_t k : {100, 3000, 3001, 20000})
    c[k] += 500;
  for (size_t k = 5000; k < 5600; k++) // up for 600 lengths, then back
    c[k] += 150;
  EXPECT_EQ(find_steps(c), std::vector<size_t>{});
  // A jump too small against the level before is not a step.
  EXPECT_EQ(find_steps(synthetic({{16000, 20}})), std::vector<size_t>{});
}

TEST(ShiftFactor, NamesAWholeRunShift) {
  Curve med = synthetic({{2049, 80}});
  RunValues same(kLengths), slow(kLengths);
  for (size_t k = 0; k < kLengths; k++) {
    same[k] = (uint64_t)std::lround(med[k]);
    slow[k] = (uint64_t)std::lround(med[k] * 1.3);
  }
  slow[0] = 5; // length 1 does not count
  EXPECT_NEAR(shift_factor(same, med), 1.0, 0.01);
  EXPECT_NEAR(shift_factor(slow, med), 1.3, 0.01);
}

TEST(Spread, IsTheInterquartileRangeOverTheMedian) {
  // Five runs at one length: 10, 20, 30, 40, 100. Quartiles 20 and 40, median 30.
  std::vector<RunValues> runs = {{10}, {20}, {30}, {40}, {100}};
  Curve med = median_curve(runs);
  ASSERT_EQ(med, Curve{30});
  EXPECT_DOUBLE_EQ(spread_curve(length_stats(runs, Statistic::Median).quartiles, med)[0],
                   20.0 / 30);
}

TEST(ShiftedRuns, TenPercentAwayIsShiftedAndTooFewRunsCannotTell) {
  RunValues base(kLengths);
  for (size_t k = 0; k < kLengths; k++)
    base[k] = 1000 + k;
  auto scaled = [&](double f) {
    RunValues c(kLengths);
    for (size_t k = 0; k < kLengths; k++)
      c[k] = (uint64_t)std::lround((double)base[k] * f);
    return c;
  };
  std::vector<RunValues> runs = {base, base, scaled(1.05), base, scaled(1.15)};
  auto shifted = shifted_runs(runs, median_curve(runs));
  ASSERT_TRUE(shifted);
  ASSERT_EQ(shifted->size(), 1u);
  EXPECT_EQ((*shifted)[0].run, 4u);
  EXPECT_NEAR((*shifted)[0].factor, 1.15, 0.001);
  EXPECT_FALSE(shifted_runs({base}, median_curve({base})));
  EXPECT_FALSE(shifted_runs({base, scaled(1.5)}, median_curve({base, scaled(1.5)})));
}

TEST(ExactLevel, PrintsValuesNearTwoToTheSixtyFourExactly) {
  std::vector<RunValues> runs = {{UINT64_MAX, 7}, {UINT64_MAX - 2, 8}};
  auto m = length_stats(runs, Statistic::Median).median;
  EXPECT_EQ(m[0].str(), "18446744073709551614"); // (2^64 - 1 + 2^64 - 3) / 2
  EXPECT_EQ(m[1].str(), "7.5");
  runs.push_back({UINT64_MAX, 9});
  EXPECT_EQ(length_stats(runs, Statistic::Median).median[0].str(), "18446744073709551615");
  // The floor too: a mean of two medians, in quarters.
  std::vector<RunValues> top(3, RunValues(kLengths, UINT64_MAX));
  EXPECT_EQ(exact_floor(length_stats(top, Statistic::Median).median)->str(),
            "18446744073709551615");
  std::vector<ExactLevel> quarter(16, {10, 11, std::nullopt});
  for (size_t k = 8; k < 16; k++)
    quarter[k] = {11, 11, std::nullopt}; // medians 10.5 and 11: the floor is their mean
  EXPECT_EQ(exact_floor(quarter)->str(), "10.75");
}

TEST(Rate, TheSlopeOfAKnownCurveAndNoneWhereTheFillHides) {
  // 30 ticks of readings, then 8 bytes a tick: the slope is 8 wherever the
  // curve rises by two steps or more, whatever the floor.
  Curve curve(kLengths);
  for (size_t len = 1; len <= kLengths; len++)
    curve[len - 1] = 30 + (double)len / 8;
  EXPECT_FALSE(slope_rate(curve, 4, 2));  // reaches lengths 1 and 2
  EXPECT_FALSE(slope_rate(curve, 16, 2)); // rises by 1 tick: the counter's grain
  ASSERT_TRUE(slope_rate(curve, 64, 2));
  EXPECT_NEAR(*slope_rate(curve, 64, 2), 8, 1e-9);
  EXPECT_NEAR(*slope_rate(curve, 32768, 2), 8, 1e-9);
  // Flat up to 2 KiB (the fill hidden by the readings), then a steep rise
  // into 4 KiB: its slope there passes the longest fills', so no rate.
  Set set;
  set.label = "s";
  RunValues run(kLengths);
  for (size_t len = 1; len <= kLengths; len++)
    run[len - 1] = len <= 2048 ? 21 : 21 + (uint64_t)((len - 2048) / 2);
  for (unsigned r = 1; r <= 3; r++) {
    set.runs.push_back(run);
    set.rounds.push_back(0);
    set.files.push_back("r");
  }
  Report rep = build_report({set}, {});
  for (const auto &row : rep.sets[0].summary.rows) {
    if (row.length <= 2048) {
      EXPECT_FALSE(row.bytes_per_tick) << row.length;
    }
    if (row.length >= 8192) {
      ASSERT_TRUE(row.bytes_per_tick) << row.length;
      EXPECT_NEAR(*row.bytes_per_tick, 2, 0.01) << row.length;
    }
  }
}

} // namespace
