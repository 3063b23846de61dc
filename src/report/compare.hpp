#pragma once
// Comparisons of two sets as plain data: per band of lengths a ratio with a
// 95% interval and a verdict, and the ranges that adjacent bands make.

#include "analysis.hpp"
#include "sets.hpp"

#include <string>
#include <vector>

namespace report {

enum class Verdict { Same, Faster, Slower };
const char *verdict_name(Verdict v);

// Lengths from..to, both included.
struct Band {
  size_t from, to;
};

// The fixed grid of bands: quarter octaves. Lower edges are the distinct
// values of floor(2^(k/4)) for k = 4 to 59, that is 2, 3, 4, 5, 6, 8, 9, 11,
// 13, 16, 19, 22, 26, 32, 38, ... 27554; each band ends where the next
// begins, the last at 32768. A quarter octave keeps the width in proportion
// to the length, so that a band holds lengths that memset treats alike, while
// a step of the curve still moves only one or two bands. Length 1 is in no
// band: it carries the first-call binding of memset.
const std::vector<Band> &band_grid();

// An estimate of the ratio B / A with its interval. `enough` is false when
// the data are too few for a 95% interval at all; the interval is then the
// whole range of the data.
struct Estimate {
  double ratio = 1, low = 1, high = 1;
  bool enough = false;
};

// Paired: the median of per-round ratios, with the distribution-free
// interval of a median (the sign test's order statistics). Rounds are
// independent; nothing is assumed of the ratios' distribution. Needs 6 or
// more ratios for 95%.
Estimate paired_estimate(std::vector<double> ratios);

// Unpaired: the Hodges-Lehmann estimate of the shift between log a and log b
// with its Mann-Whitney interval (exact), turned back into a ratio b / a.
Estimate unpaired_estimate(const std::vector<double> &a, const std::vector<double> &b);

struct CompareOptions {
  // A difference smaller than this is `same` even when the interval excludes
  // 1: on a shared machine interleaved A/A campaigns still differ by up to
  // about 1.4% over long ranges, so 2% separates drift from a finding.
  double threshold = 0.02;
  // Unpaired intervals are widened by this factor each way, because
  // separate campaigns drift as a whole and nothing inside either shows it.
  // Measured between campaigns with identical settings on this project's
  // machines (bench/drift.sh): up to 34% a minute apart, and x1.66 fifteen
  // minutes apart on an AMD EPYC (Zen 3) whose single runs ranged over x1.9.
  // 70% covers the largest of these: an A/A pair that far apart is not
  // called slower.
  double drift = 0.70;
};

struct BandResult {
  Band band;
  Estimate est;
  Verdict verdict;
};

// Adjacent bands with one verdict. Its ratio is the median over its lengths
// of its bands' ratios; its interval spans its bands' intervals.
struct Range {
  size_t from, to;
  Verdict verdict;
  double ratio, low, high;
  bool interval = true; // false: too few runs for any interval; low..high mean nothing
};

// Adjacent bands with the same key, merged as ranges are: lengths from..to,
// the median over its lengths of the bands' ratios, an interval spanning theirs.
struct Span {
  size_t from, to, key;
  double ratio, low, high;
};
std::vector<Span> merge_bands(const std::vector<Band> &bands, const std::vector<Estimate> &est,
                              const std::vector<size_t> &key);

struct Comparison {
  size_t base = 0, other = 0; // indices of A and B among the sets
  bool paired = false;
  size_t runs_base = 0, runs_other = 0; // rounds in common when paired
  bool enough = false;                  // false: too few runs for any 95% interval
  double threshold = 0, drift = 0;
  std::vector<BandResult> bands;
  std::vector<Range> ranges;
  Levels per_length; // B's curve over A's, length by length (a picture, not a test)
};

// Whether two sets were taken side by side, in one interleaved campaign.
bool can_pair(const Set &a, const Set &b);

Comparison compare_sets(const Set &a, const Set &b, const CompareOptions &opt);

// The `slower` range with the largest ratio; none when no range is slower.
const Range *worst_slower(const Comparison &c);

} // namespace report
