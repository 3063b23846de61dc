// Repeated looks: the plan of looks, the error spent on them, the t of the
// intervals, and a campaign that stops when its bands (or its one figure a
// run) are decided.

#include "report/stats/interval.hpp"
#include "report/stats/one_figure.hpp"
#include "report/stats/sequential.hpp"
#include "report/stats/stopping.hpp"
#include "report/sys/errors.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

using namespace report;

namespace {

TEST(Looks, ComeAtElevenRoundsThenAQuarterMoreAndSpendAtMostTheErrorRate) {
  std::vector<unsigned> at;
  for (unsigned last = 0; at.size() < 8; last = at.back())
    at.push_back(next_look(last));
  EXPECT_EQ(at, (std::vector<unsigned>{11, 14, 18, 23, 29, 37, 47, 59}));
  double spent = 0;
  for (unsigned look = 1; look <= 100000; look++)
    spent += 1 - look_confidence(look);
  EXPECT_LT(spent, kErrorRate);
  EXPECT_GT(spent, 0.99 * kErrorRate);
  EXPECT_DOUBLE_EQ(look_confidence(0), 0.95);
}

TEST(StopRule, RunsPastItsBudgetUntilALookIsPossibleAndNoFurther) {
  StopRule rule{10, 20, false}; // a budget of 10 s, looks from a span of 20 s
  // The budget spent, but too few rounds or too short a span to look at:
  // another round, whatever the budget.
  EXPECT_TRUE(rule.another_round(kMinRounds - 1, 100, 100));
  EXPECT_TRUE(rule.another_round(kMinRounds + 5, 19.9, 100));
  EXPECT_FALSE(rule.may_look(kMinRounds - 1, 100));
  EXPECT_FALSE(rule.may_look(kMinRounds, 19.9));
  // A look possible: on while the budget lasts, then no more.
  EXPECT_TRUE(rule.may_look(kMinRounds, 20));
  EXPECT_TRUE(rule.another_round(kMinRounds, 20, 9.9));
  EXPECT_FALSE(rule.another_round(kMinRounds, 20, 10));
  // A fixed count runs its rounds, whatever else.
  EXPECT_TRUE((StopRule{1, 0, true}).another_round(kMinRounds, 100, 100));
  // A budget that ends before the span could decide nothing: refused, the
  // seconds of earlier sessions counted.
  EXPECT_THROW(rule.check_budget(0), UsageError);
  EXPECT_NO_THROW(rule.check_budget(10));
  EXPECT_NO_THROW((StopRule{10, 20, true}).check_budget(0));
  // The span by kind: one figure a run waits, a curve does not, a single
  // variant compares nothing.
  EXPECT_EQ(min_span_for(std::nullopt, true, 2), kDefaultMinSpan);
  EXPECT_EQ(min_span_for(std::nullopt, false, 2), 0);
  EXPECT_EQ(min_span_for(5.0, false, 2), 5);
  EXPECT_EQ(min_span_for(5.0, true, 1), 0);
}

TEST(Looks, StudentsTAtTextbookValues) {
  EXPECT_NEAR(two_sided_t(0.95, 1e6), 1.960, 0.001);
  EXPECT_NEAR(two_sided_t(0.95, 10), 2.228, 0.001);
  EXPECT_NEAR(two_sided_t(0.95, 1), 12.706, 0.01);
  EXPECT_NEAR(two_sided_t(0.99, 30), 2.750, 0.001);
}

// Runs of two variants that differ by `factor`, the same in every round.
RunValues run_of(double factor) {
  RunValues c(kLengths);
  for (size_t k = 0; k < kLengths; k++)
    c[k] = (uint64_t)((40 + (double)k / 40) * factor);
  return c;
}

TEST(Sequential, StopsAtTheFirstLookThatDecidesAndNotBefore) {
  Sequential seq({{}, {}}, {}, 0, 0);
  for (unsigned round = 1; round <= 10; round++) {
    seq.run_done(0, round, run_of(1));
    seq.run_done(1, round, run_of(2));
    EXPECT_FALSE(seq.round_done(round, round)) << "decided before the first look, at " << round;
  }
  EXPECT_EQ(seq.looks(), 0u);
  seq.run_done(0, 11, run_of(1));
  seq.run_done(1, 11, run_of(2));
  EXPECT_TRUE(seq.round_done(11, 11));
  EXPECT_EQ(seq.looks(), 1u);
  EXPECT_EQ(seq.unclear(), 0u);
}

TEST(Sequential, BandsThatHideInTheReadingsDoNotHoldTheCampaign) {
  // Noisy up to 1 KiB, where both curves sit at the floor of a counter of
  // 40 ticks, and B twice A above: with the step known, only the hidden
  // bands are unclear, and the campaign stops; without it, it goes on.
  std::mt19937 rng(7);
  std::uniform_real_distribution<double> noise(0.9, 1.1);
  auto run = [&](double factor) {
    RunValues c(kLengths);
    for (size_t k = 1; k <= kLengths; k++)
      c[k - 1] = k <= 1024 ? (uint64_t)(400 * noise(rng)) : (uint64_t)((400 + (double)k) * factor);
    return c;
  };
  Record m;
  m.machine.tsc_step = 400;
  Sequential hidden({{}, {}}, {}, 0, 0), blind({{}, {}}, {}, 0, 0);
  hidden.started(m);
  for (unsigned round = 1; round <= 11; round++)
    for (size_t v = 0; v < 2; v++) {
      RunValues r = run(v ? 2 : 1);
      hidden.run_done(v, round, r);
      blind.run_done(v, round, r);
    }
  EXPECT_FALSE(blind.round_done(11, 11));
  EXPECT_GT(blind.unclear(), 0u);
  EXPECT_TRUE(hidden.round_done(11, 11));
  EXPECT_EQ(hidden.unclear(), 0u);
  EXPECT_TRUE(hidden.undecided().empty());
}

TEST(ScalarSequential, StopsOnceEveryVariantsFigureIsDecided) {
  // Variant 1 is 20% dearer, variant 2 the same as the first: decided at
  // the first look; variant 3 swings at random by up to half either way,
  // round by round, so it holds the campaign and is named as undecided.
  // The runs are of one campaign, so paired round by round.
  const std::vector<ScalarSeries> one_campaign(4, ScalarSeries{"camp", {}, {}});
  ScalarSequential seq(one_campaign, 1, 1000, {}, 0, 0);
  auto run = [](double ms) { return RunValues{0, (uint64_t)(ms * 1000)}; };
  std::mt19937 rng(5);
  std::uniform_real_distribution<double> swing(0.5, 1.5);
  for (unsigned round = 1; round <= 11; round++) {
    double jitter = 1 + 0.005 * (double)(round % 3);
    seq.run_done(0, round, run(50 * jitter));
    seq.run_done(1, round, run(60 * jitter));
    seq.run_done(2, round, run(50 * jitter));
    seq.run_done(3, round, run(50 * swing(rng)));
    EXPECT_FALSE(seq.round_done(round, round) && round < 11);
  }
  EXPECT_EQ(seq.looks(), 1u);
  auto open = seq.undecided();
  ASSERT_EQ(open.size(), 1u);
  EXPECT_EQ(open[0].variant, 3u);
  EXPECT_EQ(open[0].to, 0u); // one figure a run: no lengths
  // Without the swinging variant the same rounds decide.
  ScalarSequential calm({one_campaign[0], one_campaign[1]}, 1, 1000, {}, 0, 0);
  for (unsigned round = 1; round <= 11; round++) {
    calm.run_done(0, round, run(50));
    calm.run_done(1, round, run(60));
    calm.round_done(round, round);
  }
  EXPECT_TRUE(calm.undecided().empty());
  EXPECT_TRUE(calm.final_look(11, 11));
}

TEST(ScalarSequential, LooksOnlyOnceItsRoundsSpanTheMinimum) {
  // Rounds of 0.1 s that differ by 20%, decided by the 11th: with a span of
  // 5 s no look comes before round 50, nor a final one, whatever the rounds
  // say; the first look after it decides.
  const std::vector<ScalarSeries> one_campaign(2, ScalarSeries{"camp", {}, {}});
  ScalarSequential seq(one_campaign, 1, 1000, {}, 0, 0);
  seq.set_min_span(5);
  EXPECT_NE(seq.progress().find("and 5 s (0 s so far)"), std::string::npos) << seq.progress();
  auto run = [](double ms) { return RunValues{0, (uint64_t)(ms * 1000)}; };
  unsigned round = 0;
  bool decided = false;
  while (!decided && round < 100) {
    round++;
    seq.run_done(0, round, run(50 + round % 3));
    seq.run_done(1, round, run(60 + round % 3));
    const double elapsed = 0.1 * round;
    if (elapsed < 5) {
      EXPECT_FALSE(seq.final_look(round, elapsed)) << "a final look at " << elapsed << " s";
    }
    decided = seq.round_done(round, elapsed);
  }
  EXPECT_EQ(round, 50u);
  EXPECT_EQ(seq.looks(), 1u);
}

TEST(ScalarSequential, DecidesAtTheThresholdItWasGiven) {
  // B 1.5% dearer, each run 2% either way at random: at the first look an
  // interval about 1.015 that holds 1. Within a 10% threshold that is
  // `same`, decided; within 0.5% it is unclear.
  const std::vector<ScalarSeries> one_campaign(2, ScalarSeries{"camp", {}, {}});
  auto first_look = [&](double threshold) {
    CompareOptions opt;
    opt.threshold = threshold;
    ScalarSequential seq(one_campaign, 1, 1000, opt, 0, 0);
    std::mt19937 rng(7);
    std::uniform_real_distribution<double> noise(-0.02, 0.02);
    bool decided = false;
    for (unsigned round = 1; round <= kMinRounds; round++) {
      seq.run_done(0, round, RunValues{0, (uint64_t)(50000 * (1 + noise(rng)))});
      seq.run_done(1, round, RunValues{0, (uint64_t)(50000 * 1.015 * (1 + noise(rng)))});
      decided = seq.round_done(round, round);
    }
    return decided;
  };
  EXPECT_TRUE(first_look(0.10));
  EXPECT_FALSE(first_look(0.005));
}

} // namespace
