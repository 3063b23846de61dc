#pragma once
// Synthetic campaigns whose answer is known: sets of runs with a chosen cost
// per length, noise, coarse counters and rounds that share a machine state.

#include "report/formats/sets.hpp"
#include "report/stats/mix.hpp"

#include <cmath>
#include <functional>
#include <random>
#include <string>

namespace report::synthetic {

// A memset-like cost in ticks: a floor and slow growth.
inline double base_cost(size_t len) { return 40 + len / 40.0; }

struct Noise {
  double per_length = 0.03; // each value within this fraction
  double shifted_round = 0; // this factor on one round of B (0: none)
  double step = 1;          // values come in multiples of this (a coarse counter)
};

// n runs of a set whose cost at each length is base_cost times factor(len).
// Runs of one round share a machine factor, as runs taken side by side do.
inline Set make_set(const std::string &label, size_t n, std::function<double(size_t)> factor,
                    const Noise &noise, unsigned seed, const std::string &campaign = "camp") {
  std::mt19937 rng(seed), machine(99);
  std::uniform_real_distribution<double> jitter(-noise.per_length, noise.per_length);
  std::uniform_real_distribution<double> round_factor(0.9, 1.2);
  Set s;
  s.label = s.path = label;
  s.campaign = campaign;
  for (size_t r = 0; r < n; r++) {
    double m = round_factor(machine);
    if (noise.shifted_round && r == 3)
      m *= noise.shifted_round;
    RunValues c(kLengths);
    for (size_t len = 1; len <= kLengths; len++) {
      double v = base_cost(len) * factor(len) * m * (1 + jitter(rng));
      c[len - 1] = (uint64_t)(std::floor(v / noise.step) * noise.step);
    }
    c[0] = 900; // first-call binding
    s.runs.push_back(c);
    s.rounds.push_back((unsigned)r + 1);
    s.files.push_back("run-" + std::to_string(r + 1) + ".txt");
  }
  return s;
}

inline double one(size_t) { return 1.0; }

// A curve that stays at its floor, as fills that hide in the readings do,
// up to kFlatTo bytes, and rises from there: as a factor of base_cost.
constexpr size_t kFlatTo = 1024;
inline double flat_then_rising(size_t len) {
  double cost = len <= kFlatTo ? 40 : 40 + (double)(len - kFlatTo) / 4;
  return cost / base_cost(len);
}

// The set as a campaign on a counter of this step would have recorded it.
inline Set with_step(Set s, double step) {
  s.record.machine.tsc_step = step;
  return s;
}

// A replay's report and a program campaign's, each of the variants
// "default" and "sse2", with no comparisons yet.
struct ReplayAndProgram {
  MixReport replay, program;
};
inline ReplayAndProgram replay_and_program() {
  ReplayAndProgram r;
  r.program.kind = CampaignKind::Program;
  for (const char *v : {"default", "sse2"}) {
    r.replay.sets.emplace_back();
    r.replay.sets.back().variant = v;
    r.program.sets.emplace_back();
    r.program.sets.back().variant = v;
  }
  return r;
}

} // namespace report::synthetic
