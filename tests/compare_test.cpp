// Comparisons on synthetic campaigns whose answer is known: verdicts, the
// low statistic, paired and unpaired intervals, the threshold.

#include "report/stats/compare.hpp"
#include "report/stats/interval.hpp"
#include "report/stats/summary.hpp"
#include "synthetic.hpp"

#include <gtest/gtest.h>

#include <map>
#include <random>

using namespace report;

namespace {

using namespace report::synthetic;

std::string ranges_of(const Comparison &c) {
  std::string s;
  for (const auto &r : c.ranges)
    s +=
        std::to_string(r.from) + ".." + std::to_string(r.to) + " " + verdict_name(r.verdict) + "; ";
  return s;
}

// The share of lengths 2..32768 in ranges of each verdict.
std::map<Verdict, double> shares(const Comparison &c) {
  std::map<Verdict, double> out;
  for (const auto &r : c.ranges)
    out[r.verdict] += (double)(r.to - r.from + 1) / (double)(kLengths - 1);
  return out;
}

TEST(Compare, IdenticalSettingsAreNeverFasterOrSlowerAndMostlyShownSame) {
  struct Case {
    const char *what;
    Noise noise;
  } cases[] = {{"noise", {0.03, 0, 1}},
               {"one shifted round", {0.03, 1.4, 1}},
               {"coarse counter", {0.02, 0, 24.45 / 8}}};
  for (const auto &c : cases) {
    Set a = make_set("a", 41, one, c.noise, 1), b = make_set("b", 41, one, c.noise, 2);
    if (c.noise.shifted_round) // the shift falls on b's run only
      a = make_set("a", 41, one, {c.noise.per_length, 0, c.noise.step}, 1);
    Comparison cmp = compare_sets(a, b, {});
    EXPECT_TRUE(cmp.paired);
    auto sh = shares(cmp);
    EXPECT_EQ(sh[Verdict::Faster] + sh[Verdict::Slower], 0) << c.what << ": " << ranges_of(cmp);
    EXPECT_GT(sh[Verdict::Same], 0.9) << c.what << ": " << ranges_of(cmp);
  }
}

TEST(Compare, AKnownShiftIsFoundWhereItIsAndNowhereElse) {
  for (double f : {0.9, 1.1}) {
    auto shifted = [f](size_t len) { return len >= 2048 && len < 8192 ? f : 1.0; };
    Set a = make_set("a", 41, one, {}, 1), b = make_set("b", 41, shifted, {}, 2);
    Comparison c = compare_sets(a, b, {});
    for (const auto &br : c.bands) {
      bool inside = br.band.from >= 2048 && br.band.to < 8192;
      if (inside) {
        EXPECT_EQ(br.verdict, f < 1 ? Verdict::Faster : Verdict::Slower) << br.band.from;
        EXPECT_NEAR(br.est.ratio, f, 0.02);
        // Whole ticks move the truth a little: the interval holds f within that.
        EXPECT_LT(br.est.low, f + 0.002);
        EXPECT_GT(br.est.high, f - 0.002);
      } else {
        EXPECT_TRUE(br.verdict == Verdict::Same || br.verdict == Verdict::Unclear) << br.band.from;
      }
    }
    EXPECT_EQ(worst_slower(c) != nullptr, f > 1);
  }
}

// Runs of a shared machine: most in a fast state (within 3%), the rest slowed
// as a whole by 20 to 90%, at random and apart for each set.
Set clustered(const std::string &label, size_t n, double factor, double fast_share, unsigned seed) {
  std::mt19937 rng(seed);
  std::uniform_real_distribution<double> u(0, 1), slow(1.2, 1.9), jitter(-0.02, 0.02);
  Set s;
  s.label = s.path = label;
  s.campaign = "camp";
  for (size_t r = 0; r < n; r++) {
    double m = u(rng) < fast_share ? 1 + 0.03 * u(rng) : slow(rng);
    RunValues c(kLengths);
    for (size_t len = 1; len <= kLengths; len++)
      c[len - 1] = (uint64_t)(base_cost(len) * 10 * factor * m * (1 + jitter(rng)));
    s.runs.push_back(c);
    s.rounds.push_back((unsigned)r + 1);
    s.files.push_back("run-" + std::to_string(r + 1) + ".txt");
  }
  return s;
}

TEST(Statistic, TheLowQuantileSeesThroughSlowRunsOnBothSides) {
  for (unsigned seed = 1; seed <= 5; seed++) {
    Set a = clustered("a", 61, 1, 0.5, 2 * seed), b = clustered("b", 61, 0.8, 0.5, 2 * seed + 1);
    Comparison c = compare_sets(a, b, {});
    for (const auto &br : c.bands) {
      EXPECT_NEAR(br.est.ratio, 0.8, 0.03) << "band " << br.band.from << ", seed " << seed;
      EXPECT_EQ(br.verdict, Verdict::Faster) << "band " << br.band.from << ", seed " << seed;
    }
    // The median sees the slow runs too, and is further from the truth.
    CompareOptions median;
    median.statistic = Statistic::Median;
    double low_error = 0, median_error = 0;
    Comparison m = compare_sets(a, b, median);
    for (size_t i = 0; i < c.bands.size(); i++) {
      low_error += std::fabs(c.bands[i].est.ratio - 0.8);
      median_error += std::fabs(m.bands[i].est.ratio - 0.8);
    }
    EXPECT_LT(low_error, median_error) << "seed " << seed;
    // A/A of such data decides no difference.
    Comparison aa = compare_sets(a, clustered("a2", 61, 1, 0.5, 100 + seed), {});
    auto sh = shares(aa);
    EXPECT_EQ(sh[Verdict::Faster] + sh[Verdict::Slower], 0) << ranges_of(aa);
  }
}

TEST(Statistic, AFewRunsInTheLowTailDecideNothingAlone) {
  // Runs slowed by anything up to x4 and no fast cluster: at 11 rounds the
  // low tail is one or two runs, and resampling them alone would call one
  // in nine of such A/A pairs different.
  for (unsigned seed = 1; seed <= 10; seed++) {
    Comparison aa = compare_sets(clustered("a", 11, 1, 0, 2 * seed),
                                 clustered("b", 11, 1, 0, 2 * seed + 1), {});
    auto sh = shares(aa);
    EXPECT_EQ(sh[Verdict::Faster] + sh[Verdict::Slower], 0)
        << "seed " << seed << ": " << ranges_of(aa);
  }
}

TEST(Compare, UnpairedIntervalsAreWiderThanPairedOnesOfTheSameRuns) {
  Set a = make_set("a", 11, one, {}, 1), b = make_set("b", 11, one, {}, 2);
  Set ua = a, ub = b;
  ua.campaign = "one";
  ub.campaign = "other";
  for (double drift : {0.0, 0.3}) {
    CompareOptions opt;
    opt.drift = drift;
    Comparison p = compare_sets(a, b, opt), u = compare_sets(ua, ub, opt);
    EXPECT_FALSE(u.paired);
    for (size_t i = 0; i < p.bands.size(); i++) {
      double wp = p.bands[i].est.high / p.bands[i].est.low;
      double wu = u.bands[i].est.high / u.bands[i].est.low;
      EXPECT_GT(wu, wp) << "band from " << p.bands[i].band.from << ", drift " << drift;
    }
  }
  // Deterministic: the same files give the same intervals, to the last bit.
  Comparison c1 = compare_sets(a, b, {}), c2 = compare_sets(a, b, {});
  for (size_t i = 0; i < c1.bands.size(); i++) {
    EXPECT_EQ(c1.bands[i].est.low, c2.bands[i].est.low);
    EXPECT_EQ(c1.bands[i].est.high, c2.bands[i].est.high);
  }
}

TEST(Compare, SmallerThanTheThresholdIsSameHoweverSure) {
  // Exactly 1% faster in every round: the interval excludes 1, yet at the
  // default 2% it is no finding; at 0.5% it is.
  Noise exact{0, 0, 1};
  auto a_cost = [](size_t) { return 100.0; };
  auto b_cost = [](size_t) { return 99.0; };
  Set a = make_set("a", 11, a_cost, exact, 1), b = make_set("b", 11, b_cost, exact, 1);
  Comparison c = compare_sets(a, b, {});
  ASSERT_EQ(c.ranges.size(), 1u);
  EXPECT_EQ(c.ranges[0].verdict, Verdict::Same);
  EXPECT_LT(c.ranges[0].est.high, 1);
  CompareOptions fine;
  fine.threshold = 0.005;
  EXPECT_EQ(compare_sets(a, b, fine).ranges[0].verdict, Verdict::Faster);
}

TEST(Verdict, FourWordsFromTheIntervalAndTheThreshold) {
  auto v = [](double ratio, double low, double high) {
    return decide({ratio, low, high, true}, 0.02).verdict;
  };
  EXPECT_EQ(v(0.90, 0.85, 0.95), Verdict::Faster);
  EXPECT_EQ(v(1.10, 1.05, 1.15), Verdict::Slower);
  EXPECT_EQ(v(1.00, 0.99, 1.01), Verdict::Same);
  // Excludes 1 but stays within the threshold: shown equivalent, not slower.
  EXPECT_EQ(v(1.01, 1.005, 1.015), Verdict::Same);
  // Beyond the threshold but the interval holds 1; or within it but too wide.
  EXPECT_EQ(v(1.05, 0.98, 1.12), Verdict::Unclear);
  EXPECT_EQ(v(1.00, 0.95, 1.05), Verdict::Unclear);
  // Excludes 1 and reaches past the threshold: a difference, though the
  // estimate is within it; no band near the threshold stays undecided.
  EXPECT_EQ(v(1.015, 1.005, 1.03), Verdict::Slower);
  EXPECT_EQ(v(0.985, 0.97, 0.995), Verdict::Faster);
  // Exactly at the threshold: an interval that ends on it is within it.
  EXPECT_EQ(v(1.00, 0.98, 1.02), Verdict::Same);
  EXPECT_EQ(v(1.02, 1.01, 1.03), Verdict::Slower);
  EXPECT_EQ(v(1.02, 0.99, 1.05), Verdict::Unclear);
  EXPECT_EQ(decide({0.5, 0.5, 0.5, false}, 0.02).verdict, Verdict::Unclear);
  // Where the fills hide in a set's readings: never same, and only the one
  // direction that can show past the hidden side's floor stands, clear of
  // the threshold, as a one-sided bound.
  auto hidden = [](double low, double high, Hidden where) {
    return decide({(low + high) / 2, low, high, true}, 0.02, where);
  };
  const Decision unclear{Verdict::Unclear, true}, slower{Verdict::Slower, false, true},
      faster{Verdict::Faster, false, true};
  for (Hidden where : {Hidden::Base, Hidden::Other, Hidden::Both}) {
    EXPECT_EQ(hidden(0.99, 1.01, where), unclear);
    EXPECT_EQ(hidden(0.985, 0.995, where), unclear);
    EXPECT_EQ(hidden(1.01, 1.03, where), unclear);
  }
  // A hides: B reads above A's floor, so B costs more; B below it says nothing.
  EXPECT_EQ(hidden(1.05, 1.15, Hidden::Base), slower);
  EXPECT_EQ(hidden(0.90, 0.95, Hidden::Base), unclear);
  // B hides: the mirror.
  EXPECT_EQ(hidden(0.90, 0.95, Hidden::Other), faster);
  EXPECT_EQ(hidden(1.05, 1.15, Hidden::Other), unclear);
  // Both hide by their own floors: the one that reads higher is above the
  // counter's floor, and the other's fill is no more than that floor.
  EXPECT_EQ(hidden(1.05, 1.15, Hidden::Both), slower);
  EXPECT_EQ(hidden(0.90, 0.95, Hidden::Both), faster);
  // The bound is the interval's end on the side of no change.
  Estimate e{1.2, 1.1, 1.3, true, 5, 4, 6};
  EXPECT_EQ(ratio_bound(e, slower).value, 1.1);
  EXPECT_TRUE(ratio_bound(e, slower).at_least);
  EXPECT_EQ(diff_bound(e, slower).value, 4);
  EXPECT_EQ(ratio_bound(e, faster).value, 1.3);
  EXPECT_FALSE(ratio_bound(e, faster).at_least);
  EXPECT_TRUE(hidden(0.99, 1.01, Hidden::Both).settled());
  EXPECT_TRUE(hidden(1.05, 1.15, Hidden::Base).settled());
  EXPECT_FALSE(decide({1, 0.95, 1.05, true}, 0.02).settled());
}

TEST(Compare, TooFewRoundsGiveNoVerdict) {
  auto half = [](size_t) { return 0.5; };
  Comparison c = compare_sets(make_set("a", 5, one, {}, 1), make_set("b", 5, half, {}, 2), {});
  ASSERT_EQ(c.ranges.size(), 1u);
  EXPECT_EQ(c.ranges[0].verdict, Verdict::Unclear);
  EXPECT_FALSE(c.ranges[0].est.interval);
  Comparison six = compare_sets(make_set("a", 6, one, {}, 1), make_set("b", 6, half, {}, 2), {});
  EXPECT_EQ(six.ranges[0].verdict, Verdict::Faster);
}

// One band's level per round of a campaign of `n` rounds: runs of a round
// share the machine's state; B costs `ratio` of A, and `shift` more in the
// block of rounds from `from` to `to` (the machine drifting for a while).
std::pair<std::vector<double>, std::vector<double>>
drifting(size_t n, double ratio, double shift, size_t from, size_t to, unsigned seed) {
  std::mt19937 rng(seed);
  std::uniform_real_distribution<double> state(1.0, 1.3), jitter(-0.002, 0.002);
  std::vector<double> a, b;
  for (size_t r = 0; r < n; r++) {
    double m = state(rng);
    a.push_back(1000 * m * (1 + jitter(rng)));
    b.push_back(1000 * m * ratio * (r >= from && r < to ? 1 + shift : 1) * (1 + jitter(rng)));
  }
  return {a, b};
}

TEST(Interval, CoversARepeatWhoseDriftFellElsewhere) {
  // The first campaign's machine made B 0.6% faster for a fifth of its
  // rounds; the repeat's made it 0.6% slower for a fifth of its. Each
  // interval must hold the other's estimate, at the confidence of a look.
  double level = look_confidence(10);
  for (unsigned seed = 1; seed <= 5; seed++) {
    auto [a1, b1] = drifting(300, 0.9, -0.006, 0, 60, seed);
    auto [a2, b2] = drifting(300, 0.9, +0.006, 120, 180, seed + 100);
    Estimate first = paired_ratio(a1, b1, Statistic::Low, level, seed);
    Estimate repeat = paired_ratio(a2, b2, Statistic::Low, level, seed);
    ASSERT_TRUE(first.interval && repeat.interval);
    EXPECT_TRUE(first.low <= repeat.ratio && repeat.ratio <= first.high)
        << "seed " << seed << ": " << repeat.ratio << " outside [" << first.low << ", "
        << first.high << "]";
    EXPECT_TRUE(repeat.low <= first.ratio && first.ratio <= repeat.high)
        << "seed " << seed << ": " << first.ratio << " outside [" << repeat.low << ", "
        << repeat.high << "]";
    // Never of zero width, however alike the rounds.
    Estimate same = paired_ratio(a1, a1, Statistic::Low, level, seed);
    EXPECT_LT(same.low, 1);
    EXPECT_GT(same.high, 1);
  }
}

TEST(Ranges, ARangesOwnEstimateKeepsItsVerdict) {
  // B near the threshold, noisy, so that bands of one verdict sit beside
  // each other with intervals close to 1: whatever joins them, the range's
  // own estimate must decide as its bands did, and a band alone is its own.
  for (unsigned seed = 1; seed <= 6; seed++) {
    auto cost = [seed](size_t len) { return 1.02 + 0.004 * (double)((len / 97 + seed) % 5); };
    Set a = make_set("a", 12, one, {0.08, 0, 1}, seed),
        b = make_set("b", 12, cost, {0.08, 0, 1}, seed + 50);
    Comparison c = compare_sets(a, b, {});
    for (const Range &rg : c.ranges) {
      EXPECT_EQ(decide(rg.est, c.options.threshold, rg.hidden_in), rg.decision())
          << "seed " << seed << ": " << rg.from << ".." << rg.to;
      for (const BandResult &br : c.bands)
        if (br.band.from == rg.from && br.band.to == rg.to) {
          EXPECT_EQ(br.est.low, rg.est.low);
          EXPECT_EQ(br.est.high, rg.est.high);
        }
    }
  }
}

TEST(Ranges, BandsOfUnlikeSizeNeverShareARange) {
  // On constructed bands: one verdict, but 2.27 beside 1.02 splits; 1.02
  // beside 1.03 does not; `same` bands merge by their verdict alone.
  std::vector<Estimate> est = {{2.27, 2.2, 2.3, true},     {2.26, 2.2, 2.3, true},
                               {1.02, 1.01, 1.03, true},   {1.03, 1.02, 1.04, true},
                               {0.99, 0.985, 0.995, true}, {1.01, 1.005, 1.015, true}};
  std::vector<size_t> key = {1, 1, 1, 1, 2, 2};
  std::vector<bool> agree = {true, true, true, true, false, false};
  auto spans = like_bands(est, key, agree, 0.02);
  ASSERT_EQ(spans.size(), 3u);
  EXPECT_EQ(spans[0].last, 1u);
  EXPECT_EQ(spans[1].first, 2u);
  EXPECT_EQ(spans[2].first, 4u);
  EXPECT_EQ(spans[2].last, 5u);
  // On a campaign: twice as slow below 1 KiB, 5% slower above. The ranges
  // are two, and each range's interval is its own, holding its ratio.
  auto cost = [](size_t len) { return len < 1024 ? 2.0 : 1.05; };
  Set a = make_set("a", 31, one, {}, 1), b = make_set("b", 31, cost, {}, 2);
  Comparison c = compare_sets(a, b, {});
  ASSERT_GE(c.ranges.size(), 2u) << ranges_of(c);
  for (const auto &r : c.ranges) {
    EXPECT_LE(r.band_max, r.band_min * 1.02 + 1e-9) << ranges_of(c);
    EXPECT_TRUE(r.est.low <= r.est.ratio && r.est.ratio <= r.est.high);
    EXPECT_LT(r.est.high / r.est.low, 1.2)
        << "an envelope, not an interval: " << r.est.low << ".." << r.est.high;
  }
}

TEST(Interval, TheDifferencePerCallKnownByHand) {
  // B costs 8 ticks more than A at every length, in every round.
  auto flat = [](const char *name, uint64_t ticks) {
    Set s;
    s.label = name;
    s.campaign = "camp";
    for (unsigned r = 1; r <= 31; r++) {
      s.runs.push_back(RunValues(kLengths, ticks));
      s.rounds.push_back(r);
    }
    return s;
  };
  Comparison c = compare_sets(flat("a", 100), flat("b", 108), {});
  for (const auto &b : c.bands) {
    EXPECT_DOUBLE_EQ(b.est.diff, 8);
    EXPECT_LT(b.est.diff_low, 8);
    EXPECT_GT(b.est.diff_high, 8);
    // Only the floor for a repeat campaign widens it: kBetweenCampaigns of
    // 100 ticks, each way, times a 95% interval's t of about 2.
    EXPECT_LT(b.est.diff_high - b.est.diff_low, 2 * 2.1 * kBetweenCampaigns * 100);
  }
  ASSERT_EQ(c.ranges.size(), 1u);
  EXPECT_DOUBLE_EQ(c.ranges[0].est.diff, 8);
  // Unpaired, the drift allowance widens the difference as it does the ratio.
  Set ua = flat("a", 100), ub = flat("b", 108);
  ua.campaign = ub.campaign = "";
  Comparison u = compare_sets(ua, ub, {});
  EXPECT_LT(u.bands[0].est.diff_low, 8 - 0.4 * 108);
  EXPECT_GT(u.bands[0].est.diff_high, 8 + 0.7 * 108);
}

TEST(Hidden, FillsAtTheFloorAreUnclearThereAndADifferenceThatShowsStays) {
  // Both curves flat to 1 KiB on a counter of 26 ticks (a value resolves
  // 3.25): the bands up to 1023 hide, and identical sets are not `same`
  // there. B is 1.5x from 2048 bytes up, and 2x at 512..1023, where its
  // fill rises out of the readings: a difference that shows.
  auto b_cost = [](size_t len) {
    return flat_then_rising(len) * (len >= 2048 ? 1.5 : len >= 512 && len < 1024 ? 2 : 1);
  };
  Set a = with_step(make_set("a", 31, flat_then_rising, {0.01, 0, 1}, 1), 26);
  Set b = with_step(make_set("b", 31, b_cost, {0.01, 0, 1}, 2), 26);
  BandSeries sa = band_series(a);
  ASSERT_GT(hidden_bands(sa, Statistic::Low), 0u);
  EXPECT_EQ(band_grid()[hidden_bands(sa, Statistic::Low) - 1].to, kFlatTo - 1);
  Comparison same =
      compare_sets(a, with_step(make_set("a2", 31, flat_then_rising, {0.01, 0, 1}, 3), 26), {});
  Comparison c = compare_sets(a, b, {});
  for (const Comparison *k : {&same, &c})
    for (const BandResult &br : k->bands) {
      bool in_b_rise = br.band.from >= 512 && br.band.to < 1024;
      if (br.band.to < kFlatTo && !(k == &c && in_b_rise)) {
        EXPECT_EQ(br.verdict, Verdict::Unclear) << br.band.from;
        EXPECT_TRUE(br.hidden) << br.band.from;
      } else {
        EXPECT_FALSE(br.hidden) << br.band.from;
      }
      if (k == &c && (in_b_rise || br.band.from >= 2048)) {
        EXPECT_EQ(br.verdict, Verdict::Slower) << br.band.from;
      }
      // Where B's fills rise out of its readings and A's still hide, the
      // band is hidden in A's alone, and its verdict a bound.
      EXPECT_EQ(br.bound, k == &c && in_b_rise) << br.band.from;
      if (br.band.to < kFlatTo) {
        EXPECT_EQ(br.hidden_in, k == &c && in_b_rise ? Hidden::Base : Hidden::Both) << br.band.from;
      }
    }
  // The mirror: B hides where A shows, and only `faster` can show there.
  Comparison mirror = compare_sets(b, a, {});
  for (const BandResult &br : mirror.bands)
    if (br.band.from >= 512 && br.band.to < 1024) {
      EXPECT_EQ(br.decision(), (Decision{Verdict::Faster, false, true})) << br.band.from;
      EXPECT_EQ(br.hidden_in, Hidden::Other);
    }
  EXPECT_EQ(same.hidden_step, 26);
  const size_t unclear =
      (size_t)std::count_if(same.bands.begin(), same.bands.end(),
                            [](const BandResult &b) { return b.verdict == Verdict::Unclear; });
  EXPECT_EQ(unsettled_bands(same), unclear - hidden_bands(sa, Statistic::Low));
  // Ranges never join hidden bands with others.
  for (const Range &rg : c.ranges)
    for (const BandResult &br : c.bands)
      if (br.band.from >= rg.from && br.band.to <= rg.to) {
        EXPECT_EQ(br.hidden, rg.hidden) << rg.from << ".." << rg.to;
      }
  // A band hides where either set's fills do, each by its own rule.
  EXPECT_EQ(c.hidden_base, hidden_bands(sa, Statistic::Low));
  EXPECT_EQ(c.hidden_other, hidden_bands(band_series(b), Statistic::Low));
  EXPECT_EQ(c.hidden_bands, std::max(c.hidden_base, c.hidden_other));
  // Where a record has no counter step, nothing is said to hide in it.
  a.record.machine.tsc_step.reset();
  EXPECT_EQ(compare_sets(a, b, {}).hidden_base, 0u);
  EXPECT_EQ(compare_sets(a, b, {}).hidden_bands, c.hidden_other);
  b.record.machine.tsc_step.reset();
  EXPECT_EQ(compare_sets(a, b, {}).hidden_bands, 0u);
}

TEST(Engines, BatchValuesAreSummarisedInTicksAndNeverComparedWithTheBenchmarks) {
  // The same curve as memset-batch writes it, in thousandths of a tick.
  Set bench = make_set("bench", 11, one, {0.01, 0, 1}, 1);
  Set batch = bench;
  batch.label = "batch";
  batch.engine = Engine::Batch;
  for (auto &run : batch.runs)
    for (auto &v : run)
      v *= 1000;
  Report r = build_report({batch}, {});
  Report b = build_report({bench}, {});
  for (size_t len : {3u, 100u, 4096u, 32768u})
    EXPECT_NEAR(r.sets[0].level_values[len - 1], b.sets[0].level_values[len - 1], 1e-9) << len;
  EXPECT_NEAR(r.sets[0].summary.floor, b.sets[0].summary.floor, 1e-9);
  ASSERT_TRUE(r.sets[0].summary.shifted);
  EXPECT_EQ(r.sets[0].summary.shifted->size(), b.sets[0].summary.shifted->size());
  // Its bands too: an A/A of a batch set with itself less 10% is 0.9 throughout.
  Set faster = batch;
  faster.label = "faster";
  for (auto &run : faster.runs)
    for (auto &v : run)
      v = v * 9 / 10;
  Comparison c = build_report({batch, faster}, {}).comparisons[0];
  EXPECT_NEAR(c.bands[20].est.ratio, 0.9, 0.002);
  EXPECT_NEAR(c.bands[20].est.diff, -0.1 * c.bands[20].est.base, 0.01);
  EXPECT_LT(c.bands[20].est.base, 2 * base_cost(band_grid()[20].to)); // ticks, not thousandths
  EXPECT_EQ(c.hidden_bands, 0u); // batches span 1000 steps: nothing hides in them
  try {
    build_report({bench, batch}, {});
    FAIL() << "sets of two engines compared";
  } catch (const InputError &e) {
    EXPECT_NE(std::string(e.what()).find("(memset-batch) with [1] bench (memset-bench)"),
              std::string::npos)
        << e.what();
  }
}

} // namespace
