// What a weighting makes of a campaign whose answer is known by hand.

#include "report/formats/weights.hpp"
#include "report/stats/weighted.hpp"

#include <gtest/gtest.h>

#include <tuple>

using namespace report;

namespace {

// A set of one interleaved campaign whose round r is `run(r)`.
template <typename Run> Set campaign_set(const char *name, unsigned rounds, Run run) {
  Set s;
  s.label = name;
  s.campaign = "camp";
  for (unsigned r = 1; r <= rounds; r++) {
    s.runs.push_back(run(r));
    s.rounds.push_back(r);
  }
  return s;
}

// A comparison of nothing but its options: no band hides.
Comparison with(const CompareOptions &opt) {
  Comparison c;
  c.options = opt;
  return c;
}

TEST(Weighted, ARatioKnownByHand) {
  // A costs 10 ticks up to 512 bytes and 100 from there; B costs 10 and 50.
  // With three calls of 8 bytes for each of 1000, A's cost per call is
  // (3*10 + 100) / 4 = 32.5 and B's (3*10 + 50) / 4 = 20: a ratio of 8/13.
  Weights w = parse_weights("8 3\n1000 1\n1 99\n", "w", {});
  auto set = [](uint64_t at1000, const char *name) {
    return campaign_set(name, 11, [&](unsigned) {
      RunValues c(kLengths, 10);
      c[0] = 5000; // the first call's binding: length 1 is left out
      for (size_t k = 512; k <= kLengths; k++)
        c[k - 1] = at1000;
      return c;
    });
  };
  Set a = set(100, "a"), b = set(50, "b");
  WeightedSet wa = weigh_set(a, w, Statistic::Low), wb = weigh_set(b, w, Statistic::Low);
  EXPECT_DOUBLE_EQ(wa.cost, 32.5);
  EXPECT_DOUBLE_EQ(wb.cost, 20);
  WeightedComparison c = weigh_comparison(a, wa, b, wb, {}, w, std::nullopt);
  EXPECT_DOUBLE_EQ(c.est.ratio, 20 / 32.5);
  EXPECT_EQ(c.verdict, Verdict::Faster);
  EXPECT_EQ(weigh_comparison(a, wa, a, wa, {}, w, std::nullopt).verdict, Verdict::Same);
  EXPECT_FALSE(c.per_run); // plain weights say nothing of a run
}

TEST(Weighted, PerRunOfACaptureKnownByHand) {
  // The same two sets; a run of the command made 3000 calls of 8 bytes and
  // 1000 of 1000 (and one of 0, which no figure counts), in 1 s of wall time
  // and 0.5 s of CPU time. B saves 12.5 ticks per call, 50000 ticks a run:
  // at 1000 MHz 50 us, 0.005% of the wall time and 0.01% of the CPU time.
  Capture cap;
  cap.command = "prog";
  cap.wall_seconds = 1;
  cap.cpu_seconds = 0.5;
  cap.calls = 4001;
  cap.processes = 1;
  Weights w = parse_weights(capture_text(cap, {{0, 1}, {8, 3000}, {1000, 1000}}), "cap", {});
  ASSERT_TRUE(w.capture);
  auto set = [](uint64_t at1000, const char *name) {
    return campaign_set(name, 11, [&](unsigned r) {
      RunValues c(kLengths, 10);
      for (size_t k = 512; k <= kLengths; k++)
        c[k - 1] = at1000 + r % 2; // a little noise, for an interval
      return c;
    });
  };
  Set a = set(100, "a"), b = set(50, "b");
  WeightedSet wa = weigh_set(a, w, Statistic::Median), wb = weigh_set(b, w, Statistic::Median);
  CompareOptions opt;
  opt.statistic = Statistic::Median;
  WeightedComparison c = weigh_comparison(a, wa, b, wb, with(opt), w, 1000.0);
  ASSERT_TRUE(c.per_run && c.per_run->seconds && c.per_run->cpu_share);
  const PerRun &p = *c.per_run;
  EXPECT_DOUBLE_EQ(p.calls, 4000);
  EXPECT_NEAR(p.ticks.value, -50000, 1e-6);
  EXPECT_NEAR(p.seconds->value, -50e-6, 1e-15);
  EXPECT_NEAR(p.wall_share->value, -50e-6, 1e-15);
  EXPECT_NEAR(p.cpu_share->value, -100e-6, 1e-15);
  // The interval is the per-call difference's, scaled alike.
  ASSERT_TRUE(p.interval);
  EXPECT_LT(p.ticks.low, p.ticks.value);
  EXPECT_GT(p.ticks.high, p.ticks.value);
  EXPECT_NEAR(p.cpu_share->low, p.ticks.low * 1e-9 / 0.5, 1e-15);
  // Without the counter's frequency, ticks alone.
  EXPECT_FALSE(weigh_comparison(a, wa, b, wb, with(opt), w, std::nullopt).per_run->seconds);
}

TEST(Weighted, OneSlowLengthCannotDecideAProgramsVerdict) {
  // B pays 30% more at exactly 8 and 16 bytes, the first of their size
  // classes, and nothing elsewhere; a program that calls only those lengths
  // is weighed by their bands, in which one slow length of eight is set
  // aside, so B is not called slower for it.
  Weights w = parse_weights("8 50\n16 50\n2 10\n", "w", {});
  auto set = [](double spike, const char *name) {
    return campaign_set(name, 31, [&](unsigned r) {
      RunValues c(kLengths, 100 + r % 3);
      c[7] = c[15] = (uint64_t)(100 * spike);
      c[1] = 300; // length 2: the first fills, costed as the 3..7 band
      return c;
    });
  };
  Set a = set(1, "a"), b = set(1.3, "b");
  WeightedSet wa = weigh_set(a, w, Statistic::Low), wb = weigh_set(b, w, Statistic::Low);
  EXPECT_LT(wa.cost, 102);
  EXPECT_EQ(weigh_comparison(a, wa, b, wb, {}, w, std::nullopt).verdict, Verdict::Same);
  EXPECT_EQ(band_calls(w)[0], 10); // the calls of 2 bytes, with 3..7
}

TEST(Weighted, CallsWhereTheFillsHideLeaveTheVerdictUnclearWhenTheyCostMuch) {
  // Flat at 20 ticks to 1 KiB on a counter of 26 ticks (hidden), 40 and 60
  // above; B is 30% faster above. A program all at 64 bytes gets no verdict
  // and what a step a call could hide; one with a few calls there keeps
  // its verdict and says how many.
  auto set = [](double above, const char *name) {
    return campaign_set(name, 15, [&](unsigned r) {
      RunValues c(kLengths, 20 + r % 2);
      for (size_t k = 1024; k <= kLengths; k++)
        c[k - 1] = (uint64_t)(above * (k < 4096 ? 40 : 60)) + r % 2;
      return c;
    });
  };
  Set a = set(1, "a"), b = set(0.7, "b");
  a.record.machine.tsc_step = b.record.machine.tsc_step = 26;
  Comparison cmp = compare_sets(a, b, {});
  ASSERT_GT(cmp.hidden_bands, 0u);
  Capture cap;
  cap.command = "prog";
  cap.wall_seconds = cap.cpu_seconds = 1;
  cap.calls = 1000;
  cap.processes = 1;
  for (auto [at64, at8192, unclear] : {std::tuple{1000, 0, true}, {10, 990, false}}) {
    Weights w =
        parse_weights(capture_text(cap, {{64, (uint64_t)at64}, {8192, (uint64_t)at8192}}), "w", {});
    WeightedSet wa = weigh_set(a, w, Statistic::Low), wb = weigh_set(b, w, Statistic::Low);
    WeightedComparison c = weigh_comparison(a, wa, b, wb, cmp, w, 1000.0);
    EXPECT_DOUBLE_EQ(c.hidden_calls, at64);
    EXPECT_DOUBLE_EQ(c.hidden_call_share, at64 / 1000.0);
    EXPECT_EQ(c.hidden, unclear);
    EXPECT_EQ(c.verdict, unclear ? Verdict::Unclear : Verdict::Faster);
    ASSERT_TRUE(c.per_run);
    EXPECT_EQ(c.per_run->hidden, unclear);
    EXPECT_EQ(c.per_run->interval, !unclear);
    // A step of 26 ticks a hidden call, at 1000 MHz, in a run of 1 s.
    EXPECT_NEAR(*c.per_run->unseen.wall_share, at64 * 26e-9, 1e-15);
  }
}

} // namespace
