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
  int run() {
    std::string cmd = "LD_PRELOAD='" SHIM_PATH "' MEMSET_TRACE='" + dir +
                      "/trace' '" BENCH_PATH "' '" + dir + "/out.txt' >'" + dir + "/stdout' 2>'" +
                      dir + "/stderr'";
    return std::system(cmd.c_str());
  }
};

TEST_F(Trace, RunMakesItsLibraryCallsInTheSpecifiedOrder) {
  ASSERT_EQ(run(), 0);
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
  std::string snap = slurp(dir + "/trace.buffers");
  ASSERT_EQ(snap.size(), 2 * kSize);
  const std::vector<unsigned char> want_dest(snap.begin(), snap.begin() + kSize),
      want_src(snap.begin() + kSize, snap.end());
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

} // namespace
