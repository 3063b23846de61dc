// Length distributions in each format, read strictly, and what a weighting
// makes of a campaign whose answer is known by hand.

#include "report/weighted.hpp"
#include "report/weights.hpp"

#include <gtest/gtest.h>

using namespace report;

namespace {

double at(const Weights &w, size_t len) { return w.at[len - 1]; }

std::string error_of(const std::string &text, WeightsFormat f = WeightsFormat::Auto) {
  try {
    parse_weights(text, "w.txt", f);
  } catch (const InputError &e) {
    return e.what();
  }
  return "";
}

TEST(Weights, EachFormatIsReadAndDetected) {
  Weights plain = parse_weights("# LENGTH COUNT\n8 100\n64 50  # trailing\n\n", "w", {});
  EXPECT_EQ(plain.format, WeightsFormat::Plain);
  EXPECT_EQ(at(plain, 8), 100);
  EXPECT_EQ(at(plain, 64), 50);
  EXPECT_EQ(plain.total, 150);

  Weights map = parse_weights("Attaching 1 probe...\n\n@bytes[8]: 1234\n@bytes[40]: 7\n", "w", {});
  EXPECT_EQ(map.format, WeightsFormat::Map);
  EXPECT_EQ(at(map, 8), 1234);
  EXPECT_EQ(at(map, 40), 7);

  // As bpftrace prints hist(): a header with a trailing space, K suffixes.
  Weights hist = parse_weights("@h: \n[1]          2 |@@     |\n[2, 4)       4 |@@@@   |\n"
                               "[1K, 2K)     1024 |@@@@@@@|\n",
                               "w", {});
  EXPECT_EQ(hist.format, WeightsFormat::Hist);
  EXPECT_EQ(hist.one, 2);
  EXPECT_EQ(at(hist, 2), 2);
  EXPECT_EQ(at(hist, 3), 2);
  EXPECT_EQ(at(hist, 1024), 1);
  EXPECT_EQ(at(hist, 2047), 1);
  EXPECT_EQ(at(hist, 2048), 0);

  // lhist() with its open last bucket.
  Weights lhist = parse_weights("@l:\n[5, 10)   5 |@|\n[20, ...)   3 |@|\n", "w", {});
  EXPECT_EQ(at(lhist, 5), 1);
  EXPECT_EQ(at(lhist, 9), 1);
  EXPECT_EQ(lhist.open, 3);

#ifdef MEMSET_REPORT_JSON
  Weights json = parse_weights(
      "{\"type\": \"attached_probes\", \"data\": {\"probes\": 1}}\n"
      "{\"type\": \"hist\", \"data\": {\"@h\": [{\"min\": 0, \"max\": 0, \"count\": 3}, "
      "{\"min\": 2, \"max\": 3, \"count\": 4}, {\"min\": 40000, \"count\": 1}]}}\n",
      "w", {});
  EXPECT_EQ(json.format, WeightsFormat::Json);
  EXPECT_EQ(json.zero, 3);
  EXPECT_EQ(at(json, 2), 2);
  EXPECT_EQ(at(json, 3), 2);
  EXPECT_EQ(json.above, 1); // an open bucket wholly beyond the sweep
  Weights jmap = parse_weights("{\"type\": \"map\", \"data\": {\"@m\": {\"40\": 1, \"8\": 2}}}",
                               "w", WeightsFormat::Json);
  EXPECT_EQ(at(jmap, 8), 2);
  EXPECT_EQ(at(jmap, 40), 1);
#endif
}

TEST(Weights, BucketsSpreadEvenlyAndOutOfRangeLengthsAreReportedNotMoved) {
  // [0, 4) holds lengths 0, 1, 2, 3: a quarter each.
  Weights w = parse_weights("@h:\n[0, 4)  8 |@|\n[32K, 64K)  10 |@|\n", "w", {});
  EXPECT_EQ(w.zero, 2);
  EXPECT_EQ(w.one, 2);
  EXPECT_EQ(at(w, 2), 2);
  EXPECT_EQ(at(w, 3), 2);
  // 32768 is the last length measured; the rest of the bucket lies beyond.
  EXPECT_NEAR(at(w, 32768), 10.0 / 32768, 1e-12);
  EXPECT_NEAR(w.above, 10.0 * 32767 / 32768, 1e-9);
  EXPECT_NEAR(w.measured(), 4 + 10.0 / 32768, 1e-9);
  // Suffixes are powers of 1024; the lower open bucket is not measured.
  Weights big = parse_weights("@h:\n(..., 0)  7 |@|\n[1M, 2M)  5 |@|\n", "w", {});
  EXPECT_EQ(big.open, 7);
  EXPECT_EQ(big.above, 5);
  EXPECT_EQ(big.measured(), 0);
  Weights plain = parse_weights("0 1\n1 2\n40000 3\n100 4\n", "w", {});
  EXPECT_EQ(plain.zero, 1);
  EXPECT_EQ(plain.one, 2);
  EXPECT_EQ(plain.above, 3);
  EXPECT_EQ(plain.measured(), 4);
}

TEST(Weights, MalformedInputIsRefusedWithFileAndLine) {
  struct Case {
    std::string text, want;
  } cases[] = {
      {"8 100\n64\n", "w.txt:2: expected a count"},
      {"8 100\nx 5\n", "w.txt:2: expected 'LENGTH COUNT'"},
      {"8 -5\n", "w.txt:1: expected a count"},
      {"8 100 7\n", "w.txt:1: unexpected text after the count"},
      {"@a[8]: 1\n@b[9]: 1\n", "w.txt:2: a second map"},
      {"@a[8, 1]: 1\n", "w.txt:1: the key must be one length"},
      {"@h:\n[16, 32 4 |@|\n", "w.txt:2: expected '[LOW, HIGH)'"},
      {"@h:\n[32, 16)  4 |@|\n", "w.txt:2: a bucket whose end comes before its start"},
      {"# nothing\n", "w.txt: no calls in this file"},
  };
  for (const auto &c : cases)
    EXPECT_EQ(error_of(c.text).rfind(c.want, 0), 0u) << c.text << " -> " << error_of(c.text);
}

TEST(Weighted, ARatioKnownByHand) {
  // A costs 10 ticks at 8 bytes and 100 at 1000; B costs 10 and 50. With
  // three calls of 8 bytes for each of 1000, A's cost per call is
  // (3*10 + 100) / 4 = 32.5 and B's (3*10 + 50) / 4 = 20: a ratio of 8/13.
  Weights w = parse_weights("8 3\n1000 1\n1 99\n", "w", {});
  auto set = [](uint64_t at1000, const char *name) {
    Set s;
    s.label = name;
    s.campaign = "camp";
    for (unsigned r = 1; r <= 11; r++) {
      Curve c(kLengths, 10);
      c[0] = 5000; // the first call's binding: length 1 is left out
      c[999] = at1000;
      s.runs.push_back(c);
      s.rounds.push_back(r);
    }
    return s;
  };
  Set a = set(100, "a"), b = set(50, "b");
  WeightedSet wa = weigh_set(a, w, Statistic::Low), wb = weigh_set(b, w, Statistic::Low);
  EXPECT_DOUBLE_EQ(wa.cost, 32.5);
  EXPECT_DOUBLE_EQ(wb.cost, 20);
  WeightedComparison c = weigh_comparison(a, wa, b, wb, {}, true);
  EXPECT_DOUBLE_EQ(c.est.ratio, 20 / 32.5);
  EXPECT_EQ(c.verdict, Verdict::Faster);
  EXPECT_EQ(weigh_comparison(a, wa, a, wa, {}, true).verdict, Verdict::Same);
}

} // namespace
