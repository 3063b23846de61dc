// What a weighting makes of a campaign whose answer is known by hand.

#include "report/formats/weights.hpp"
#include "report/stats/weighted.hpp"

#include <gtest/gtest.h>

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

TEST(Weighted, ARatioKnownByHand) {
  // A costs 10 ticks up to 512 bytes and 100 from there; B costs 10 and 50.
  // With three calls of 8 bytes for each of 1000, A's cost per call is
  // (3*10 + 100) / 4 = 32.5 and B's (3*10 + 50) / 4 = 20: a ratio of 8/13.
  Weights w = parse_weights("8 3\n1000 1\n1 99\n", "w", {});
  auto set = [](uint64_t at1000, const char *name) {
    return campaign_set(name, 11, [&](unsigned) {
      RunTicks c(kLengths, 10);
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
  WeightedComparison c = weigh_comparison(a, wa, b, wb, {});
  EXPECT_DOUBLE_EQ(c.est.ratio, 20 / 32.5);
  EXPECT_EQ(c.verdict, Verdict::Faster);
  EXPECT_EQ(weigh_comparison(a, wa, a, wa, {}).verdict, Verdict::Same);
}

TEST(Weighted, OneSlowLengthCannotDecideAProgramsVerdict) {
  // B pays 30% more at exactly 8 and 16 bytes, the first of their size
  // classes, and nothing elsewhere; a program that calls only those lengths
  // is weighed by their bands, in which one slow length of eight is set
  // aside, so B is not called slower for it.
  Weights w = parse_weights("8 50\n16 50\n2 10\n", "w", {});
  auto set = [](double spike, const char *name) {
    return campaign_set(name, 31, [&](unsigned r) {
      RunTicks c(kLengths, 100 + r % 3);
      c[7] = c[15] = (uint64_t)(100 * spike);
      c[1] = 300; // length 2: the first fills, costed as the 3..7 band
      return c;
    });
  };
  Set a = set(1, "a"), b = set(1.3, "b");
  WeightedSet wa = weigh_set(a, w, Statistic::Low), wb = weigh_set(b, w, Statistic::Low);
  EXPECT_LT(wa.cost, 102);
  EXPECT_EQ(weigh_comparison(a, wa, b, wb, {}).verdict, Verdict::Same);
  EXPECT_EQ(band_calls(w)[0], 10); // the calls of 2 bytes, with 3..7
}

} // namespace
