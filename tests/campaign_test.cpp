// The campaign's pure parts: the counter's step, the preload check's reading
// of the loader's bindings, and the variants tune runs.

#include "report/campaign/machine.hpp"
#include "report/campaign/preload.hpp"
#include "report/campaign/variants.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

using namespace report;

namespace {

TEST(Resolution, StepOfACoarseCounterAndOfAFineOne) {
  std::mt19937 rng(5);
  std::vector<uint64_t> coarse, fine, fixed_cost;
  for (int i = 0; i < 4000; i++) {
    // Back to back: 27 nearly always, a late reading as 26 + 28 or 1, a rare
    // interrupt as a far multiple; with work, multiples of 27.
    int u = (int)(rng() % 100);
    coarse.push_back(u < 3 ? 26 : u < 4 ? 1 : u < 5 ? 27 * 40 : 27);
    coarse.push_back(27 * (1 + rng() % 4));
    // A counter that moves every tick: readings cost about 20, work spreads them.
    fine.push_back(18 + rng() % 5);
    fine.push_back(20 + rng() % 300 + (u == 0 ? 5000 : 0));
    // It also costs exactly 20 to read every time; only the work shows the step.
    fixed_cost.push_back(20);
    fixed_cost.push_back(20 + rng() % 300);
  }
  EXPECT_DOUBLE_EQ(estimate_step(coarse), 27.0);
  EXPECT_DOUBLE_EQ(estimate_step(fine), 1.0);
  EXPECT_DOUBLE_EQ(estimate_step(fixed_cost), 1.0);
}

// Readings of a counter that moves every `step` ticks (not always a whole
// number) and is read as whole ticks, around work of varying length.
std::vector<uint64_t> readings(double step, unsigned seed) {
  std::mt19937 rng(seed);
  std::uniform_real_distribution<double> phase(0, 1e6);
  std::vector<uint64_t> diffs;
  auto read = [&](double t) { return (uint64_t)(std::floor(std::floor(t / step) * step)); };
  for (int i = 0; i < 4000; i++) {
    double t = phase(rng), work = (double)(rng() % 300);
    diffs.push_back(read(t + 20 + work) - read(t));
  }
  return diffs;
}

TEST(Resolution, StepsThatAreNotWholeNumbersAreFoundToTheHundredth) {
  EXPECT_NEAR(estimate_step(readings(24.45, 1)), 24.45, 0.011);
  EXPECT_NEAR(estimate_step(readings(27, 2)), 27, 0.011);
  EXPECT_EQ(estimate_step(readings(2, 4)), 2.0);
  EXPECT_EQ(estimate_step(readings(1, 3)), 1.0);
}

TEST(Preload, BindingsAreReadAsWhoAskedAndWhoAnswered) {
  auto b = memset_bindings(
      "     15645:\tbinding file build/memset-bench [0] to /x/libmemset-musl.so [0]: normal symbol "
      "`memset' [GLIBC_2.2.5]\n"
      "     15645:\tbinding file /x/libwrap.so [0] to /lib/libc.so.6 [0]: normal symbol `memset'\n"
      "     15645:\tbinding file bash [0] to /lib/libc.so.6 [0]: normal symbol `memcpy'\n");
  ASSERT_EQ(b.size(), 2u);
  EXPECT_EQ(b[0].from, "build/memset-bench");
  EXPECT_EQ(b[0].to, "/x/libmemset-musl.so");
  EXPECT_EQ(b[1].from, "/x/libwrap.so");
  EXPECT_EQ(b[1].to, "/lib/libc.so.6");
  EXPECT_EQ(preload_entries(" /a.so:/b.so  /c.so"),
            (std::vector<std::string>{"/a.so", "/b.so", "/c.so"}));
}

TEST(Tune, OnlyGlibcWithTheTunableCanBeTuned) {
  EXPECT_NO_THROW(check_tunable_libc("glibc 2.36"));
  for (const char *libc : {"musl 1.2.4", "", "glibc 2.31"})
    EXPECT_THROW(check_tunable_libc(libc), NoTunables) << libc;
  // Masks are offered for the features this processor has, and no others.
  auto v = tune_variants({"avx2", "erms"});
  std::vector<std::string> names;
  for (const auto &x : v)
    names.push_back(x.name);
  EXPECT_EQ(names, (std::vector<std::string>{"default", "stosb_always", "stosb_never", "no_avx2",
                                             "sse2_no_erms", "no_erms"}));
}

} // namespace
