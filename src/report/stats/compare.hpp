#pragma once
// Comparisons of two sets as plain data: per band of lengths a ratio of the
// chosen statistic with an interval and one of four verdicts, and the
// ranges that adjacent bands make.

#include "report/formats/sets.hpp"
#include "report/stats/interval.hpp"
#include "report/stats/pairing.hpp"
#include "report/stats/statistics.hpp"
#include "report/stats/verdict.hpp"

#include <optional>
#include <string>
#include <vector>

namespace report {

// Lengths from..to, both included.
struct Band {
  size_t from, to;
};

// The fixed grid of bands: 3..7, 8..15, 16..31, 32..63, then quarter
// octaves, whose lower edges are the values of floor(2^(k/4)) for k = 24 to
// 59: 64, 76, 90, 107, 128, 152, ... 27554, the last band ending at 32768.
// A quarter octave keeps the width in proportion to the length, so that a
// band holds lengths that memset treats alike, while a step of the curve
// still moves only one or two bands. Below 64 bytes a quarter octave holds
// too few lengths to average out a coarse counter's steps (a fill there
// costs about one step), and memset's own size classes are powers of two:
// the bands there are whole octaves and one of 5 lengths. Lengths 1 and 2
// are in no band: length 1 carries the first-call binding of memset, and
// length 2 the first fills after it. On an AMD EPYC (glibc 2.36), length 2
// read 28 ticks where 3..8 read 23, in over 90% of runs of glibc's, musl's,
// dietlibc's, klibc's and LLVM libc's memset alike, with a spread (IQR over
// median) of 18% against 5%: a mark of the sweep's order, not of 2-byte
// fills, and one that kept whole campaigns undecided.
constexpr size_t kFirstBandLength = 3;
const std::vector<Band> &band_grid();

// One set as comparisons see it: per run its round and its level in each
// band (the mean of the band's lower three quarters of values). A run stays
// the unit: the lengths of one run are never taken as samples of their own.
struct BandSeries {
  std::string campaign; // canonical folder of an interleaved campaign; "" for none
  // The counter's step in ticks, where the record has it and the engine's
  // values can hide in the readings (memset-bench's; memset-batch's batches
  // span 1000 steps, so nothing hides in them).
  std::optional<double> step;
  double scale = 1;                        // raw values per tick (Set::scale)
  std::vector<unsigned> rounds;            // per run
  std::vector<std::vector<double>> levels; // per run, per band
};
BandSeries band_series(const Set &set);
void add_run(BandSeries &series, unsigned round, const RunValues &run);

// The bands, from the first, whose fills hide in a set's readings: each
// one's level (the statistic across runs) stays within what a value can
// resolve of the floor, the lower of the first two bands' levels. A value
// is the mean of the benchmark's 8 fills, so it resolves an eighth of the
// counter's step. There a fill costs no more than reading the counter
// does, whatever it really costs: the unfenced readings overlap it. On an
// AMD EPYC (Zen 4, a step of 26 ticks) that is every fill up to about
// 1 KiB, where back-to-back calls between fenced readings show differences
// of 10 to 80%. None where the counter's step is unknown.
constexpr double kFillsPerValue = 8;
size_t hidden_bands(const BandSeries &s, Statistic statistic);

struct CompareOptions {
  // A difference smaller than this is no finding however sure, and an
  // interval within it is shown equivalence: interleaved A/A campaigns on a
  // shared machine still differ by up to about 1.4% over long ranges.
  double threshold = 0.02;
  // Unpaired intervals are widened by this factor each way, because
  // separate campaigns drift as a whole and nothing inside either shows it.
  // Measured between campaigns with identical settings on this project's
  // machines (bench/drift.sh): up to 34% a minute apart, and x1.66 fifteen
  // minutes apart on an AMD EPYC (Zen 3) whose single runs ranged over x1.9.
  // 70% covers the largest of these: an A/A pair that far apart is not
  // called slower.
  double drift = 0.70;
  Statistic statistic = Statistic::Low;
  // Of each interval; a sequential campaign's record lowers the error per
  // look (look_confidence).
  double confidence = 0.95;
};

struct BandResult {
  Band band;
  Estimate est;
  Verdict verdict;
  bool hidden = false; // unclear because fills hide here (Decision)
  bool bound = false;  // decided past a hidden side's floor: est bounds one way (Decision)
  Hidden hidden_in = Hidden::None; // whose readings hide this band's fills
  Decision decision() const { return {verdict, hidden, bound}; }
};

// Adjacent bands with one verdict and qualifier and, where the estimates
// are what the verdict rests on (faster, slower, an unclear that is not
// hidden), estimates that agree within the threshold (like_bands). Its ratio
// and interval are its own, from its lengths (span_ratio), not an envelope
// of its bands'; and they keep its bands' verdict: bands whose joint
// estimate would decide otherwise are not joined (a range that says
// `slower` with an interval that holds 1 contradicts itself).
struct Range {
  size_t from, to;
  Verdict verdict;
  bool hidden = false;
  bool bound = false;
  Hidden hidden_in = Hidden::None;
  Decision decision() const { return {verdict, hidden, bound}; }
  Estimate est;                      // the range's own, with its difference per call
  double band_min = 1, band_max = 1; // the bands' own estimates
  // They differ by more than the threshold (a same or unclear range joins
  // bands of any size): the range's ratio alone would hide it.
  bool bands_differ = false;
};

// Runs of adjacent bands, first..last (indices into the grid), that one
// range or one "fastest" line stands for: bands with the same key, and where
// `agree` says so for a band, estimates that agree with every other band of
// the run within the threshold (the largest over the smallest at most 1 +
// threshold). So a 2.27 and a 1.02 never share a line.
struct Span {
  size_t first, last, key;
};
std::vector<Span> like_bands(const std::vector<Estimate> &est, const std::vector<size_t> &key,
                             const std::vector<bool> &agree, double threshold);

// B's statistic over A's for the lengths of bands first..last together, with
// its interval: per run the levels of those bands weighted by their lengths,
// taken as the bands' own are (pair_runs, ratio_of).
Estimate span_ratio(const BandSeries &a, const BandSeries &b, size_t first, size_t last,
                    const CompareOptions &opt);

struct Comparison {
  size_t base = 0, other = 0; // indices of A and B among the sets
  bool paired = false;
  size_t runs_base = 0, runs_other = 0; // rounds in common when paired
  CompareOptions options;
  std::vector<BandResult> bands;
  std::vector<Range> ranges;
  // The bands, from the first, hidden in either set's readings (each set's
  // own hidden_bands: hidden_base and hidden_other), and the larger of
  // their counter steps: what can hide a call there, at least.
  size_t hidden_bands = 0, hidden_base = 0, hidden_other = 0;
  double hidden_step = 0;
  // Whose readings hide band g's fills.
  Hidden hidden_at(size_t g) const {
    return (g < hidden_base ? Hidden::Base : Hidden::None) |
           (g < hidden_other ? Hidden::Other : Hidden::None);
  }
  Curve per_length; // B's curve over A's, length by length (a picture, not a test)
  // B binds the same memset with the same tunables as A under other
  // settings, as their records say: the comparison is an A/A.
  bool same_code = false;
};

Comparison compare_series(const BandSeries &a, const BandSeries &b, const CompareOptions &opt);
Comparison compare_sets(const Set &a, const Set &b, const CompareOptions &opt);

// Bands whose verdict is `unclear` that more rounds could decide.
size_t unsettled_bands(const Comparison &c);

// The ratio a `slower` range is known to reach: its estimate, or where it
// is a bound, the bound.
double slower_by(const Range &r);

// The `slower` range with the largest such ratio; none when no range is slower.
const Range *worst_slower(const Comparison &c);

} // namespace report
