// Tuning advice and the census on synthetic campaigns whose answer is known.

#include "report/advice/census.hpp"
#include "report/advice/machines.hpp"
#include "report/advice/tune.hpp"
#include "report/formats/weights.hpp"
#include "report/render/render.hpp"
#include "report/sys/text.hpp"
#include "synthetic.hpp"
#include "three_machines.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <regex>

using namespace report;

namespace {

using namespace report::synthetic;

// A tuning campaign: default has glibc's step to rep stosb at 2049; never
// using rep stosb is 20% faster above it; always using it is slower from 402
// on, up to `always_slower_to`.
std::vector<Set> tune_sets(size_t always_slower_to, Noise noise = {0, 0, 1}, size_t rounds = 11) {
  auto dflt = [](size_t len) { return len > 2048 ? 1.25 : 1.0; };
  auto never = [](size_t) { return 1.0; };
  auto always = [=](size_t len) { return len >= 402 && len <= always_slower_to ? 1.5 : 1.0; };
  std::vector<Set> s = {make_set("default", rounds, dflt, noise, 1),
                        make_set("stosb_always", rounds, always, noise, 2),
                        make_set("stosb_never", rounds, never, noise, 3),
                        make_set("no_avx512", rounds, dflt, noise, 4),
                        make_set("no_erms", rounds, never, noise, 5)};
  s[0].record = parse_record("libc: glibc 2.36\n");
  s[1].env = {"GLIBC_TUNABLES=glibc.cpu.x86_rep_stosb_threshold=1"};
  s[2].env = {"GLIBC_TUNABLES=glibc.cpu.x86_rep_stosb_threshold=1000000"};
  s[3].env = {"GLIBC_TUNABLES=glibc.cpu.hwcaps=-AVX512F"};
  s[4].env = {"GLIBC_TUNABLES=glibc.cpu.hwcaps=-ERMS"};
  return s;
}

TEST(Tune, CrossoverGroupsAndAdvice) {
  TuneAdvice a = advise(tune_sets(8191), {});
  ASSERT_EQ(a.unclear, 0u) << render_advice(a);
  ASSERT_TRUE(a.crossover);
  EXPECT_EQ(*a.crossover, 8192u);
  // The masks changed nothing beyond what a threshold does: one implementation
  // each, named by its least invasive setting.
  ASSERT_EQ(a.groups.size(), 3u);
  EXPECT_EQ(a.groups[0], (std::vector<size_t>{0, 3}));
  EXPECT_EQ(a.groups[2], (std::vector<size_t>{2, 4}));
  ASSERT_TRUE(a.advised);
  EXPECT_EQ(*a.advised, 2u);
  std::string text = render_advice(a);
  EXPECT_NE(text.find("advice: GLIBC_TUNABLES=glibc.cpu.x86_rep_stosb_threshold=1000000"),
            std::string::npos)
      << text;
  EXPECT_NE(text.find("same implementation: default, no_avx512"), std::string::npos);
  // Its gains, as every interval is printed: rounded outwards.
  std::smatch m;
  ASSERT_TRUE(std::regex_search(text, m,
                                std::regex("([0-9]+)[.][.]([0-9]+) faster by [0-9]+% "
                                           "\\[([0-9]+)%, ([0-9]+)%\\]")))
      << text;
  for (const Range &rg : a.vs_default[2].ranges)
    if (rg.from == std::stoul(m[1])) {
      EXPECT_LE(std::stod(m[3]), 100 * (1 - rg.est.high));
      EXPECT_GE(std::stod(m[4]), 100 * (1 - rg.est.low));
    }
  // The fastest is one group in one range, never alternating within it.
  EXPECT_NE(text.find("fastest: 2048..8191 stosb_never 0.80"), std::string::npos) << text;
  EXPECT_NE(text.find("fastest: 8192..32768 stosb_always, stosb_never 0.80"), std::string::npos)
      << text;

  EXPECT_FALSE(advise(tune_sets(kLengths), {}).crossover);
  // Where nothing is faster than default, the advice is default.
  auto same = tune_sets(kLengths);
  same[2] = make_set(
      "stosb_never", 11, [](size_t len) { return len > 2048 ? 1.25 : 1.0; }, {0, 0, 1}, 3);
  same[4] = same[2];
  same[4].label = "no_erms";
  EXPECT_FALSE(advise(same, {}).advised);
  EXPECT_NE(render_advice(advise(same, {})).find("advice: default\n"), std::string::npos);
  // Advice read while its campaign still runs says so.
  EXPECT_EQ(render_advice(advise(same, {})).find("under way:"), std::string::npos);
  same[0].record.stop = Stop::Running;
  EXPECT_NE(render_advice(advise(same, {})).find("\nunder way: no end recorded"),
            std::string::npos);
}

TEST(Tune, VariantsMeasuredOnceAreNamedWithTheirTwin) {
  auto sets = tune_sets(8191);
  sets[0].memset = "__memset_avx2_unaligned_erms (/lib/libc.so.6+0x100)";
  sets[0].tunables = "defaults";
  sets[0].record.same_as = {{"no_evex", "default", "GLIBC_TUNABLES=glibc.cpu.hwcaps=-AVX512VL"}};
  std::string text = render_advice(advise(sets, {}));
  EXPECT_NE(text.find("variant: default = (no setting) (memset: __memset_avx2_unaligned_erms "
                      "(/lib/libc.so.6+0x100); tunables: defaults)\n"),
            std::string::npos)
      << text;
  EXPECT_NE(text.find("same code: no_evex = default here (both __memset_avx2_unaligned_erms "
                      "(/lib/libc.so.6+0x100), same tunables; "
                      "GLIBC_TUNABLES=glibc.cpu.hwcaps=-AVX512VL), measured once\n"),
            std::string::npos)
      << text;
}

TEST(Tune, WeightsAdviseWhatIsBestWhereTheProgramCalls) {
  // Never using rep stosb: faster from 2048, but 10% slower from 16384 on.
  auto sets = tune_sets(8191);
  sets[2] = make_set(
      "stosb_never", 11, [](size_t len) { return len >= 16384 ? 1.375 : 1.0; }, {0, 0, 1}, 3);
  sets[2].env = {"GLIBC_TUNABLES=glibc.cpu.x86_rep_stosb_threshold=1000000"};
  sets[4] = sets[2];
  sets[4].label = "no_erms";
  EXPECT_FALSE(advise(sets, {}).advised);
  // A program that never fills more than 4 KiB gains, and loses nothing.
  Weights small = parse_weights("8 10\n4000 1\n", "w", {});
  TuneAdvice a = advise(sets, {}, small);
  ASSERT_TRUE(a.advised) << render_advice(a);
  EXPECT_EQ(*a.advised, 2u);
  EXPECT_EQ(a.weighted[2].verdict, Verdict::Faster);
  // One that also fills 32 KiB does not.
  EXPECT_FALSE(advise(sets, {}, parse_weights("8 10\n4000 1\n32000 1\n", "w", {})).advised);
}

TEST(Census, RanksByCostPerCallWithEachVerdict) {
  auto sets = tune_sets(8191);
  sets.push_back(make_set(
      "slowlib", 11, [](size_t) { return 2.0; }, {0, 0, 1}, 6));
  Census c = take_census(sets, {}, std::nullopt);
  ASSERT_EQ(c.ranking.size(), sets.size());
  for (size_t i = 1; i < c.ranking.size(); i++)
    EXPECT_LE(c.ranking[i - 1].cost, c.ranking[i].cost);
  EXPECT_EQ(sets[c.ranking.back().variant].label, "slowlib");
  EXPECT_EQ(c.ranking.back().w.verdict, Verdict::Slower);
  // Every length alike: twice the base cost over default's, which is 25%
  // dearer above 2048 bytes.
  double slow = 0, dflt = 0;
  for (size_t len = 2; len <= kLengths; len++) {
    slow += 2 * base_cost(len);
    dflt += base_cost(len) * (len > 2048 ? 1.25 : 1.0);
  }
  EXPECT_NEAR(c.ranking.back().w.est.ratio, slow / dflt, 0.01);
  // Weighted by small lengths only, where nothing differs, the ranking says same.
  Census small = take_census(sets, {}, parse_weights("8 1\n16 1\n", "w", {}));
  for (const auto &r : small.ranking) {
    if (r.variant > 0 && sets[r.variant].label != "slowlib") {
      EXPECT_EQ(r.w.verdict, Verdict::Same) << sets[r.variant].label;
    }
  }
}

TEST(Census, EachEntrySaysWhereItWinsAndLoses) {
  // Like default over all lengths alike (its long fills dominate), but 1.5
  // times as slow below 2 KiB and a little faster above: the all-lengths
  // figure alone would hide where it loses.
  auto sets = tune_sets(8191);
  auto mine = [](size_t len) { return len < 2048 ? 1.5 : len > 2048 ? 1.25 * 0.985 : 1.0; };
  sets.push_back(make_set("mine", 11, mine, {0, 0, 1}, 7));
  Census c = take_census(sets, {}, std::nullopt);
  auto entry = std::find_if(c.ranking.begin(), c.ranking.end(),
                            [&](const Ranked &r) { return sets[r.variant].label == "mine"; });
  ASSERT_NE(entry, c.ranking.end());
  const auto &st = entry->stretches;
  ASSERT_GE(st.size(), 2u);
  EXPECT_EQ(st.front().from, kFirstBandLength);
  EXPECT_EQ(st.back().to, kLengths);
  for (size_t i = 1; i < st.size(); i++) {
    EXPECT_EQ(st[i].from, st[i - 1].to + 1);
    EXPECT_FALSE(st[i].decision == st[i - 1].decision) << "stretches " << i - 1 << " and " << i;
  }
  EXPECT_EQ(st.front().decision.verdict, Verdict::Slower);
  EXPECT_NEAR(st.front().low, 1.5, 0.02);
  EXPECT_GE(st.front().to, 1024u);
  EXPECT_LT(st.front().to, 2048u);
  EXPECT_TRUE(std::any_of(st.begin(), st.end(),
                          [](const Stretch &x) { return x.decision.verdict == Verdict::Faster; }));
  // The text says it beside the all-lengths figure, and what that weighs.
  std::string text = render_census(c, "");
  EXPECT_NE(text.find("where: mine slower over 3.."), std::string::npos) << text;
  EXPECT_NE(text.find("the long fills dominate"), std::string::npos);
  EXPECT_NE(text.find("mine " + fmt("%.2f", entry->cost) + " ticks per call, all lengths alike: "),
            std::string::npos);
}

TEST(Census, AWinnerWhoseFillsHideIsFasterByABound) {
  // On a counter of 26 ticks: default's fills rise out of its readings at
  // 512..1023, the other's stay at the floor. The other is faster there,
  // but by how much its readings cannot say: its line is a bound.
  auto dflt = [](size_t len) { return flat_then_rising(len) * (len >= 512 && len < 1024 ? 2 : 1); };
  std::vector<Set> sets = {with_step(make_set("default", 31, dflt, {0.01, 0, 1}, 1), 26),
                           with_step(make_set("flat", 31, flat_then_rising, {0.01, 0, 1}, 2), 26)};
  sets[0].record = parse_record("libc: glibc 2.36\ntsc_step: 26\n");
  sets[1].record = sets[0].record;
  Census c = take_census(sets, {}, std::nullopt);
  const Winner *at = nullptr;
  for (const Winner &w : c.standings.fastest)
    if (w.from <= 600 && w.to >= 600)
      at = &w;
  ASSERT_NE(at, nullptr);
  ASSERT_EQ(at->variants, std::vector<size_t>{1});
  EXPECT_TRUE(at->bound);
  EXPECT_LT(at->ratio, 0.98);
  EXPECT_GT(at->ratio, 0.45); // the bound, weaker than the true half
  std::string text = render_census(c, "");
  EXPECT_NE(text.find(fmt("fastest: %zu..%zu flat, at most ", at->from, at->to)), std::string::npos)
      << text;
}

TEST(Tune, TooFewRoundsToDecideAdviseNothing) {
  TuneAdvice a = advise(tune_sets(8191, {0.05, 0, 1}, 5), {});
  EXPECT_GT(a.unclear, 0u);
  EXPECT_FALSE(a.advised);
  std::string text = render_advice(a);
  EXPECT_NE(text.find("advice: none yet"), std::string::npos) << text;
  EXPECT_EQ(text.find("advice: GLIBC"), std::string::npos) << text;
  EXPECT_NE(text.find("unclear"), std::string::npos) << text;
}

TEST(Tune, AdvisesForWhatWasDecidedAndNamesTheRest) {
  // no_avx512 is wild below 16 KiB, run by run: these rounds do not decide
  // it there, and there it could gain more than anything decided.
  auto sets = tune_sets(8191);
  std::mt19937 rng(7);
  std::uniform_real_distribution<double> wild(0.5, 1.5);
  for (auto &run : sets[3].runs) {
    double f = wild(rng);
    for (size_t len = 2; len < 16384; len++)
      run[len - 1] = (uint64_t)((double)run[len - 1] * f);
  }
  TuneAdvice a = advise(sets, {});
  ASSERT_TRUE(a.advice_partial) << render_advice(a);
  ASSERT_TRUE(a.advised);
  EXPECT_EQ(sets[*a.advised].label, "stosb_never");
  ASSERT_FALSE(a.advice_open.empty());
  EXPECT_LE(a.advice_open.front().first, 8u);
  EXPECT_LT(a.advice_open.back().second, 16384u);
  std::string text = render_advice(a);
  EXPECT_NE(text.find("advice: GLIBC_TUNABLES=glibc.cpu.x86_rep_stosb_threshold=1000000"),
            std::string::npos)
      << text;
  EXPECT_NE(text.find("not yet decided which is fastest over"), std::string::npos) << text;
  // The census says where its fastest lines are open.
  Census c = take_census(sets, {}, std::nullopt);
  EXPECT_FALSE(c.standings.open.empty());
  EXPECT_NE(render_census(c, "").find("undecided: "), std::string::npos);
  // Decided everywhere, nothing is left open.
  EXPECT_TRUE(advise(tune_sets(8191), {}).advice_open.empty());
  EXPECT_TRUE(take_census(tune_sets(8191), {}, std::nullopt).standings.open.empty());
}

} // namespace

namespace {

TEST(Across, MachinesAreComparedWithinThemselvesAndTheirVerdictsSetSideBySide) {
  using namespace report::synthetic;
  // alpha and beta: b 1.3 times a everywhere; gamma: only from 1024 bytes.
  const Across a = compare_across(three_machines());
  ASSERT_EQ(a.comparisons.size(), 1u);
  const AcrossComparison &c = a.comparisons[0];
  EXPECT_EQ(c.base, "a");
  EXPECT_EQ(c.other, "b");
  ASSERT_EQ(c.machines.size(), 3u);
  // Stretches cover the grid once, in order, each machine's verdict the
  // one its own comparison gives there.
  size_t next = kFirstBandLength;
  bool split = false, all = false;
  for (const AcrossStretch &s : c.stretches) {
    EXPECT_EQ(s.from, next);
    next = s.to + 1;
    ASSERT_EQ(s.machines.size(), 3u);
    if (s.to < 1024) {
      // gamma alone does not see it: the same, or not yet decided.
      EXPECT_EQ(s.machines[0].decision.verdict, Verdict::Slower) << s.from;
      EXPECT_EQ(s.machines[1].decision.verdict, Verdict::Slower) << s.from;
      EXPECT_NE(s.machines[2].decision.verdict, Verdict::Slower) << s.from;
      split = true;
    }
    if (s.from >= 1024) {
      for (const MachineVerdict &m : s.machines) {
        EXPECT_EQ(m.decision.verdict, Verdict::Slower) << s.from;
        EXPECT_GT(m.low, 1.0) << s.from;
      }
      all = true;
    }
  }
  EXPECT_EQ(next, kLengths + 1);
  EXPECT_TRUE(split);
  EXPECT_TRUE(all);
  // A machine without the pair of variants is left out of the comparison.
  Machine lone;
  lone.id.name = "delta";
  lone.report = build_report({make_set("a", 12, one, {}, 9, "delta")}, {});
  std::vector<Machine> four = a.machines;
  four.push_back(lone);
  EXPECT_EQ(compare_across(four).comparisons[0].machines.size(), 3u);
}

} // namespace

namespace {

TEST(Across, TheAdviceAcrossMachinesIsASettingSlowerOnNone) {
  using namespace report::synthetic;
  // On both machines "fast" is faster from 1 KiB and the same below; "mixed"
  // is faster on one machine and slower on the other; "odd" is measured on
  // one machine only.
  auto tune = [](const std::string &m, double mixed, bool odd, unsigned seed) {
    std::vector<Set> sets = {
        make_set("default", 12, one, {}, seed, m),
        make_set(
            "fast", 12, [](size_t l) { return l >= 1024 ? 0.7 : 1.0; }, {}, seed + 1, m),
        make_set(
            "mixed", 12, [mixed](size_t) { return mixed; }, {}, seed + 2, m)};
    if (odd)
      sets.push_back(make_set(
          "odd", 12, [](size_t) { return 0.5; }, {}, seed + 3, m));
    return advise(std::move(sets), {});
  };
  const std::vector<TuneAdvice> per = {tune("alpha", 0.7, true, 1), tune("beta", 1.3, false, 11)};
  const AdviceAcross a = advise_across({"alpha", "beta"}, per);
  ASSERT_EQ(a.settings.size(), 3u);
  EXPECT_EQ(a.settings[1].variant, "mixed");
  EXPECT_EQ(a.settings[1].slower_on, std::vector<size_t>{1});
  EXPECT_EQ(a.settings[2].missing, std::vector<size_t>{1}) << "odd is not measured on beta";
  ASSERT_TRUE(a.advised.has_value());
  EXPECT_EQ(a.settings[*a.advised].variant, "fast");
  const std::string text = render_advice_across(a, per);
  EXPECT_NE(text.find("setting: mixed: slower on beta; faster on alpha"), std::string::npos)
      << text;
  EXPECT_NE(text.find("advice across machines: (no setting) (fast;"), std::string::npos) << text;
}

} // namespace
