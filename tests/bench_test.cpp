// The benchmark's own source is compiled in here, with its entry renamed, so
// that the seeding can be checked directly; the trace test runs the real
// executable with a recording library preloaded.
#define main memset_bench_main
#include "../src/memset_bench.cpp"
#undef main

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

constexpr size_t kSize = 32768;

std::string slurp(const std::string &path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

TEST(Seeding, MatchesTheKnownStreamsForSeedsZeroAndOne) {
  struct Case {
    uint64_t seed;
    unsigned char src[4], dest[4];
  } cases[] = {{0, {255, 104, 2, 211}, {14, 36, 192, 112}},
               {1, {255, 129, 234, 197}, {13, 107, 31, 105}}};
  for (const auto &c : cases) {
    std::vector<unsigned char> dest(kSize), src(kSize);
    seed_buffers(c.seed, dest.data(), src.data(), kSize);
    for (int i = 0; i < 4; i++) {
      EXPECT_EQ(src[i], c.src[i]) << "seed " << c.seed << " src[" << i << "]";
      EXPECT_EQ(dest[i], c.dest[i]) << "seed " << c.seed << " dest[" << i << "]";
    }
  }
}

TEST(Seeding, WritesEveryByteOfBothBuffersAndNothingBeyond) {
  // Two different prefills must give identical buffers (every byte written)
  // and leave the guard bytes after each buffer as they were.
  constexpr size_t guard = 64;
  std::vector<unsigned char> out[2][2];
  for (int fill = 0; fill < 2; fill++) {
    std::vector<unsigned char> dest(kSize + guard, fill ? 0xA5 : 0x00);
    std::vector<unsigned char> src(kSize + guard, fill ? 0xA5 : 0x00);
    seed_buffers(0x123456789abcdefULL, dest.data(), src.data(), kSize);
    for (size_t i = kSize; i < kSize + guard; i++) {
      ASSERT_EQ(dest[i], fill ? 0xA5 : 0x00) << "dest written past its end at " << i;
      ASSERT_EQ(src[i], fill ? 0xA5 : 0x00) << "src written past its end at " << i;
    }
    dest.resize(kSize);
    src.resize(kSize);
    out[fill][0] = dest;
    out[fill][1] = src;
  }
  EXPECT_EQ(out[0][0], out[1][0]);
  EXPECT_EQ(out[0][1], out[1][1]);
  EXPECT_NE(out[0][0], out[0][1]) << "src and dest must take different outputs of the stream";
}

// One step of the generator as the seeding defines it, to find the seed that
// a traced run used.
unsigned char step(uint64_t &r) {
  r = r * 41943011u - 2147483647u;
  return (unsigned char)(r >> 32);
}

class Trace : public ::testing::Test {
protected:
  std::string dir;
  void SetUp() override {
    char tmpl[] = "/tmp/memset-trace-XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    dir = tmpl;
  }
  void TearDown() override { std::system(("rm -rf '" + dir + "'").c_str()); }
  int run(const std::string &env) {
    std::string cmd = "LD_PRELOAD='" SHIM_PATH "' MEMSET_TRACE='" + dir + "/trace' " + env +
                      " '" BENCH_PATH "' '" + dir + "/out.txt' >'" + dir + "/stdout' 2>'" + dir +
                      "/stderr'";
    return std::system(cmd.c_str());
  }
};

TEST_F(Trace, RunMakesItsLibraryCallsInTheSpecifiedOrder) {
  ASSERT_EQ(run(""), 0);
  std::istringstream trace(slurp(dir + "/trace"));
  std::string line;
  auto next = [&] {
    line.clear();
    std::getline(trace, line);
    return line;
  };

  ASSERT_EQ(next(), "fopen w " + dir + "/out.txt");
  std::string a, b, word;
  std::istringstream(next()) >> word >> line >> a;
  ASSERT_EQ(word + " " + line, "malloc 32768") << "dest first";
  std::istringstream(next()) >> word >> line >> b;
  ASSERT_EQ(word + " " + line, "malloc 32768") << "then src";

  std::string expected_file;
  for (size_t size = 1; size <= kSize; size++) {
    for (int v = 0; v < 8; v++)
      ASSERT_EQ(next(), "memset " + a + " " + std::to_string(v) + " " + std::to_string(size));
    ASSERT_EQ(next().rfind("fprintf %lu ", 0), 0u) << "after length " << size << ": " << line;
    expected_file += line.substr(12);
    if (size != kSize) {
      ASSERT_EQ(next(), "fputc 10") << "after length " << size;
      expected_file += '\n';
    }
  }
  ASSERT_EQ(next(), "free " + a);
  ASSERT_EQ(next(), "free " + b);
  ASSERT_EQ(next(), "fclose");
  EXPECT_EQ(slurp(dir + "/out.txt"), expected_file);

  // At the first fill both buffers hold the stream of a seed read between
  // process start and the opening of the result file.
  uint64_t t0 = 0, t1 = 0;
  std::istringstream(next()) >> word >> t0 >> t1;
  ASSERT_EQ(word, "tsc");
  ASSERT_LT(t0, t1);
  std::string snap_dest, snap_src;
  std::istringstream(next()) >> word >> line >> snap_dest;
  ASSERT_EQ(line, a);
  std::istringstream(next()) >> word >> line >> snap_src;
  ASSERT_EQ(line, b);
  ASSERT_EQ(snap_dest.size(), 2 * kSize);

  auto bytes = [](const std::string &hex) {
    std::vector<unsigned char> v(hex.size() / 2);
    for (size_t i = 0; i < v.size(); i++)
      v[i] = (unsigned char)std::stoul(hex.substr(2 * i, 2), nullptr, 16);
    return v;
  };
  const auto want_dest = bytes(snap_dest), want_src = bytes(snap_src);
  bool found = false;
  for (uint64_t seed = t0; seed <= t1 && !found; seed++) {
    uint64_t r = seed;
    if (step(r) != want_src[0] || step(r) != want_dest[0] || step(r) != want_src[1])
      continue;
    std::vector<unsigned char> dest(kSize), src(kSize);
    seed_buffers(seed, dest.data(), src.data(), kSize);
    found = dest == want_dest && src == want_src;
  }
  EXPECT_TRUE(found) << "buffers at the first fill match no seed in [" << t0 << ", " << t1 << "]";
  EXPECT_EQ(slurp(dir + "/stdout") + slurp(dir + "/stderr"), "");
}

TEST_F(Trace, FailedHeapRequestEndsWithStatusTwoAndAMessage) {
  int st = run("MEMSET_TRACE_FAIL_MALLOC=1");
  ASSERT_TRUE(WIFEXITED(st));
  EXPECT_EQ(WEXITSTATUS(st), 2);
  EXPECT_EQ(slurp(dir + "/stderr"),
            "memset-bench: cannot allocate work buffers: Cannot allocate memory\n");
  EXPECT_EQ(slurp(dir + "/trace").find("memset "), std::string::npos) << "swept without buffers";
}

} // namespace
