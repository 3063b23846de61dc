#pragma once
// A census of C libraries' memset on this machine, as plain data: glibc's
// own choice and its distinct implementations beside the memset of every
// other C library at hand, the fastest per range of lengths, and a ranking
// by the expected cost per call.

#include "advice.hpp"
#include "weighted.hpp"

#include <optional>
#include <string>
#include <vector>

namespace report {

// The C libraries whose memset the build can make a preload library of,
// and the Debian package that brings each.
struct KnownLibrary {
  const char *name, *package;
};
const std::vector<KnownLibrary> &known_libraries();
// "libmemset-musl.so", as the build names it.
std::string preload_library_file(const std::string &name);

struct Ranked {
  size_t variant;
  double cost;          // expected ticks per call, of the statistic
  WeightedComparison w; // to glibc's choice; the first variant's own is empty
};

struct Census {
  TuneAdvice advice;           // groups and the fastest per range
  std::vector<Ranked> ranking; // cheapest first
  bool weighted = false;       // ranked by a program's lengths, not all lengths alike
};

// From a finished census campaign's sets (glibc's choice first). Without
// weights every length from 2 to 32768 counts alike.
Census take_census(std::vector<Set> sets, const CompareOptions &opt,
                   const std::optional<Weights> &weights);

} // namespace report
