// Strict reading of result files and the robust summary of curves.

#include "report/analysis.hpp"
#include "report/result_file.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

using namespace report;

namespace {

std::string file_of(size_t count, uint64_t value = 42) {
  std::string s;
  for (size_t i = 0; i < count; i++)
    s += (i ? "\n" : "") + std::to_string(value);
  return s;
}

// The message of the error that parsing `text` raises, or "" if it parses.
std::string error_of(const std::string &text) {
  try {
    parse_result(text, "r.txt");
  } catch (const InputError &e) {
    return e.what();
  }
  return "";
}

TEST(ResultFile, AcceptsExactlyTheBenchmarksFormat) {
  std::string text = "0\n18446744073709551615\n" + file_of(kLengths - 2, 7);
  Curve c = parse_result(text, "r.txt");
  ASSERT_EQ(c.size(), kLengths);
  EXPECT_EQ(c[0], 0u);
  EXPECT_EQ(c[1], UINT64_MAX);
  EXPECT_EQ(c.back(), 7u);
}

TEST(ResultFile, RefusesAnythingElseNamingFileAndLine) {
  std::string good = file_of(kLengths);
  struct Case {
    std::string text, where, what;
  } cases[] = {
      {"", "r.txt: ", "empty"},
      {good + "\n", "r.txt:32768: ", "line feed after the last value"},
      {file_of(kLengths - 1), "r.txt: ", "32767 values, expected 32768"},
      {file_of(333) + "\n", "r.txt: ", "333 values, expected 32768"},
      {good + "\n1", "r.txt:32769: ", "more than 32768 values"},
      {"42\r\n" + file_of(kLengths - 1), "r.txt:1: ", "carriage return"},
      {"42\n\n" + file_of(kLengths - 2), "r.txt:2: ", "found a line feed"},
      {"42\n-1\n" + file_of(kLengths - 2), "r.txt:2: ", "found '-'"},
      {"42\n 1\n" + file_of(kLengths - 2), "r.txt:2: ", "found ' '"},
      {"42\n007\n" + file_of(kLengths - 2), "r.txt:2: ", "leading zero"},
      {"42\n12x\n" + file_of(kLengths - 2), "r.txt:2: ", "'x' after the value"},
      {"42\n18446744073709551616\n" + file_of(kLengths - 2), "r.txt:2: ", "64 bits"},
  };
  for (const auto &c : cases) {
    std::string e = error_of(c.text);
    EXPECT_EQ(e.rfind(c.where, 0), 0u) << "got: " << e;
    EXPECT_NE(e.find(c.what), std::string::npos) << "got: " << e;
  }
}

TEST(Median, OddEvenAndPerLength) {
  EXPECT_EQ(median({3, 1, 2}), 2);
  EXPECT_EQ(median({4, 1, 3, 2}), 2.5);
  std::vector<Curve> runs = {{1, 10, 7}, {2, 30, 7}, {900, 20, 7}};
  EXPECT_EQ(median_curve(runs), (Levels{2, 20, 7}));
  // The floor ignores the first-call binding carried by length 1.
  Levels curve(64, 30);
  curve[0] = 300;
  curve[5] = 31;
  EXPECT_EQ(floor_of(curve), 30);
}

// A curve like memset's: a floor, slow growth, and steps where given.
Levels synthetic(std::vector<std::pair<size_t, double>> steps, double noise = 0,
                 unsigned seed = 1) {
  std::mt19937 rng(seed);
  std::uniform_real_distribution<double> jitter(-noise, noise);
  Levels c(kLengths);
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
  Levels c = synthetic({});
  for (size_t k : {100, 3000, 3001, 20000})
    c[k] += 500;
  for (size_t k = 5000; k < 5600; k++) // up for 600 lengths, then back
    c[k] += 150;
  EXPECT_EQ(find_steps(c), std::vector<size_t>{});
  // A jump too small against the level before is not a step.
  EXPECT_EQ(find_steps(synthetic({{16000, 20}})), std::vector<size_t>{});
}

TEST(ShiftFactor, NamesAWholeRunShift) {
  Levels med = synthetic({{2049, 80}});
  Curve same(kLengths), slow(kLengths);
  for (size_t k = 0; k < kLengths; k++) {
    same[k] = (uint64_t)std::lround(med[k]);
    slow[k] = (uint64_t)std::lround(med[k] * 1.3);
  }
  slow[0] = 5; // length 1 does not count
  EXPECT_NEAR(shift_factor(same, med), 1.0, 0.01);
  EXPECT_NEAR(shift_factor(slow, med), 1.3, 0.01);
}

} // namespace

namespace {

TEST(Spread, IsTheInterquartileRangeOverTheMedian) {
  // Five runs at one length: 10, 20, 30, 40, 100. Quartiles 20 and 40, median 30.
  std::vector<Curve> runs = {{10}, {20}, {30}, {40}, {100}};
  Levels med = median_curve(runs);
  ASSERT_EQ(med, Levels{30});
  EXPECT_DOUBLE_EQ(spread_curve(length_stats(runs, Statistic::Median).quartiles, med)[0],
                   20.0 / 30);
}

TEST(ShiftedRuns, TenPercentAwayIsShiftedAndTooFewRunsCannotTell) {
  Curve base(kLengths);
  for (size_t k = 0; k < kLengths; k++)
    base[k] = 1000 + k;
  auto scaled = [&](double f) {
    Curve c(kLengths);
    for (size_t k = 0; k < kLengths; k++)
      c[k] = (uint64_t)std::lround((double)base[k] * f);
    return c;
  };
  std::vector<Curve> runs = {base, base, scaled(1.05), base, scaled(1.15)};
  auto shifted = shifted_runs(runs, median_curve(runs));
  ASSERT_TRUE(shifted);
  ASSERT_EQ(shifted->size(), 1u);
  EXPECT_EQ((*shifted)[0].run, 4u);
  EXPECT_NEAR((*shifted)[0].factor, 1.15, 0.001);
  EXPECT_FALSE(shifted_runs({base}, median_curve({base})));
  EXPECT_FALSE(shifted_runs({base, scaled(1.5)}, median_curve({base, scaled(1.5)})));
}

TEST(ExactLevel, PrintsValuesNearTwoToTheSixtyFourExactly) {
  std::vector<Curve> runs = {{UINT64_MAX, 7}, {UINT64_MAX - 2, 8}};
  auto m = length_stats(runs, Statistic::Median).median;
  EXPECT_EQ(m[0].str(), "18446744073709551614"); // (2^64 - 1 + 2^64 - 3) / 2
  EXPECT_EQ(m[1].str(), "7.5");
  runs.push_back({UINT64_MAX, 9});
  EXPECT_EQ(length_stats(runs, Statistic::Median).median[0].str(), "18446744073709551615");
  // The floor too: a mean of two medians, in quarters.
  std::vector<Curve> top(3, Curve(kLengths, UINT64_MAX));
  EXPECT_EQ(exact_floor(length_stats(top, Statistic::Median).median)->str(),
            "18446744073709551615");
  std::vector<ExactLevel> quarter(16, {10, 11, std::nullopt});
  for (size_t k = 8; k < 16; k++)
    quarter[k] = {11, 11, std::nullopt}; // medians 10.5 and 11: the floor is their mean
  EXPECT_EQ(exact_floor(quarter)->str(), "10.75");
}

} // namespace
