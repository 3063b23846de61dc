#pragma once
// One question on many machines: each machine's sets compared within it,
// as one summary would, and then, for each comparison the machines share
// (the same two variants), the stretches of lengths where the machines'
// verdicts stay alike, with what holds on all. A machine is a dimension,
// not a variant: nothing is ever compared across machines, only their
// verdicts set side by side.

#include "report/advice/standings.hpp"
#include "report/stats/mix.hpp"
#include "report/stats/summary.hpp"

#include <optional>
#include <string>
#include <vector>

namespace report {

// What a summary tells a machine by: the host (a fleet's name for it, or
// its record's), and from the record its processor, counter and C library.
struct MachineId {
  std::string name, cpu, libc;
  std::optional<double> mhz, step;
};

struct Machine {
  MachineId id;
  Report report; // its own sets, compared within it
};

// A machine's verdict over a stretch: its bands' one decision there, the
// span of their ratios (of their bounds, where decided past a hidden
// floor), and for a stretch of one band its estimate with its interval.
struct MachineVerdict {
  size_t machine;
  Decision decision;
  double low = 1, high = 1;
  std::optional<Estimate> band;
};

struct AcrossStretch {
  size_t from, to;
  std::vector<MachineVerdict> machines; // those that compare these variants
};

// The same comparison on every machine that has both variants.
struct AcrossComparison {
  std::string base, other; // variant names
  std::vector<size_t> machines;
  std::vector<AcrossStretch> stretches;
};

struct Across {
  std::vector<Machine> machines;
  std::vector<AcrossComparison> comparisons;
};

// The variant a set stands for, as machines name it alike: the folder of an
// interleaved campaign's variant, or the set's label.
std::string variant_of(const Set &s);

// Each comparison of the first machine's report that other machines make
// too (by variant names), set side by side band by band.
Across compare_across(std::vector<Machine> machines);

// One figure a run (a program's time, a replay's ticks per call) on many
// machines: each variant's verdict against the first on every machine
// that has both, by variant names.
struct MixAcross {
  std::string base, other;
  std::vector<MachineVerdict> machines;
};
std::vector<MixAcross> compare_mix_across(const std::vector<MixReport> &reports);

// One tuning setting on every machine: where a band is decided slower or
// faster than that machine's default, and where it was not measured.
struct SettingAcross {
  std::string variant;
  std::vector<size_t> missing, slower_on, faster_on; // machines
  size_t faster_bands = 0;                           // over all machines
};

struct AdviceAcross {
  std::vector<std::string> machines;
  std::vector<SettingAcross> settings; // every setting but default, the first machine's first
  // The setting measured on every machine, decided slower on none, faster
  // on one or more, and faster over the most bands of them all; none where
  // no setting is.
  std::optional<size_t> advised;
};

// From each machine's tuning advice (default first in each), by setting name.
AdviceAcross advise_across(const std::vector<std::string> &machines,
                           const std::vector<TuneAdvice> &advice);

} // namespace report
