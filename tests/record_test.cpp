// The campaign record in both directions, and the counter's step as the
// record keeps it.

#include "report/machine.hpp"
#include "report/record.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <random>

using namespace report;

namespace {

Record full_record(bool interleaved) {
  Record r;
  r.machine = {"2026-12-08 12:00:00 +0000",
               "host",
               "Some CPU",
               "6.1.0",
               "glibc 2.36",
               2u,
               2445.4,
               "yes",
               24.45,
               49};
  r.runs = 11;
  r.cpu = 1;
  r.timeout = 2.5;
  r.env = {"A=1", "B=x y"};
  r.env_inherited = {"GLIBC_TUNABLES=glibc.cpu.x86_rep_stosb_threshold=8192"};
  r.bench = "/opt/memset-bench";
  if (interleaved) {
    r.seed = 7;
    r.variants = {{"a", {"A=1", "C=2"}, "/opt/memset-bench"}, {"b", {}, "/opt/other"}};
    r.orders = {{"a", "b"}, {"b", "a"}};
    r.libraries = {{"musl", "musl-dev", "1.2.3-1"}, {"llvmlibc", "libllvmlibc-19-dev", "1:19.1.7"}};
    r.budget = 60;
    r.rounds = 2;
    r.looks = 1;
    r.stop = "decided";
  }
  return r;
}

void expect_same(const Record &a, const Record &b) {
  EXPECT_EQ(format_record(a), format_record(b));
  EXPECT_EQ(a.machine.tsc_step, b.machine.tsc_step);
  EXPECT_EQ(a.machine.num_cpus, b.machine.num_cpus);
  EXPECT_EQ(a.runs, b.runs);
  EXPECT_EQ(a.cpu, b.cpu);
  EXPECT_EQ(a.timeout, b.timeout);
  EXPECT_EQ(a.env, b.env);
  EXPECT_EQ(a.env_inherited, b.env_inherited);
  EXPECT_EQ(a.seed, b.seed);
  ASSERT_EQ(a.variants.size(), b.variants.size());
  for (size_t i = 0; i < a.variants.size(); i++) {
    EXPECT_EQ(a.variants[i].name, b.variants[i].name);
    EXPECT_EQ(a.variants[i].env, b.variants[i].env);
    EXPECT_EQ(a.variants[i].bench, b.variants[i].bench);
  }
  EXPECT_EQ(a.orders, b.orders);
  ASSERT_EQ(a.libraries.size(), b.libraries.size());
  for (size_t i = 0; i < a.libraries.size(); i++)
    EXPECT_EQ(a.libraries[i].package + " " + a.libraries[i].version,
              b.libraries[i].package + " " + b.libraries[i].version);
  EXPECT_EQ(a.budget, b.budget);
  EXPECT_EQ(a.rounds, b.rounds);
  EXPECT_EQ(a.looks, b.looks);
  EXPECT_EQ(a.stop, b.stop);
  EXPECT_EQ(a.unknown, b.unknown);
}

TEST(Record, PlainAndInterleavedRecordsSurviveAWriteAndARead) {
  for (bool interleaved : {false, true}) {
    Record r = full_record(interleaved);
    expect_same(parse_record(format_record(r)), r);
  }
  // Nothing set: the "none" words read back as nothing.
  Record none;
  none.runs = 3;
  Record back = parse_record(format_record(none));
  EXPECT_FALSE(back.cpu);
  EXPECT_FALSE(back.timeout);
  EXPECT_TRUE(back.env.empty());
  EXPECT_TRUE(back.env_inherited.empty());
}

TEST(Record, UnknownKeysAreKeptAndBadNumbersReadAsAbsent) {
  Record r = parse_record("future_key: some value\nruns: 1x\ntsc_mhz: 0x10\ntsc_step: -3\n"
                          "timeout: 5 minutes\nnot a line\nlater: 2\n");
  EXPECT_FALSE(r.runs);
  EXPECT_FALSE(r.machine.tsc_mhz);
  EXPECT_FALSE(r.machine.tsc_step);
  EXPECT_FALSE(r.timeout);
  ASSERT_EQ(r.unknown.size(), 2u);
  EXPECT_EQ(r.unknown[0], std::make_pair(std::string("future_key"), std::string("some value")));
  EXPECT_NE(format_record(r).find("future_key: some value\nlater: 2\n"), std::string::npos);
}

TEST(Record, NoValueCanForgeALine) {
  Record r = full_record(false);
  r.bench = "/tmp/x\nenv: FORGED=1";
  r.env_inherited = {"LD_PRELOAD=a\\x0ab\rc"};
  std::string text = format_record(r);
  EXPECT_EQ(text.find("\nenv: FORGED"), std::string::npos) << text;
  Record back = parse_record(text);
  EXPECT_EQ(back.bench, r.bench);
  EXPECT_EQ(back.env_inherited, r.env_inherited);
  EXPECT_EQ(back.env, r.env);
}

TEST(Record, RunFileNamesSortAndReadBack) {
  EXPECT_EQ(run_file_name(7, 11), "run-007.txt");
  EXPECT_EQ(run_file_name(7, 12000), "run-00007.txt");
  EXPECT_EQ(run_number("run-00007.txt"), 7u);
  for (const char *other : {"run-.txt", "run-1a.txt", "run-001.txt~", "context.txt"})
    EXPECT_EQ(run_number(other), 0u) << other;
  // Rounds past the names' width still list in their order.
  std::string dir = testing::TempDir() + "/runs-in-order";
  std::filesystem::create_directories(dir);
  for (unsigned n : {999u, 1000u, 101u, 2u})
    std::ofstream(dir + "/" + run_file_name(n, 0)) << "x";
  EXPECT_EQ(run_files_in(dir), (std::vector<std::string>{"run-002.txt", "run-101.txt",
                                                         "run-999.txt", "run-1000.txt"}));
  std::filesystem::remove_all(dir);
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

} // namespace
