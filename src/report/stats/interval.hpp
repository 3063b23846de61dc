#pragma once
// Intervals for the ratio of one statistic of two sets of runs, by
// resampling whole rounds, and the confidence each look of a sequential
// campaign may claim.

#include "report/stats/statistics.hpp"

#include <cstdint>
#include <vector>

namespace report {

// An estimate of the ratio B / A with its interval; `interval` is false
// where the data give none (too few runs), and then low..high mean nothing.
struct Estimate {
  double ratio = 1, low = 1, high = 1;
  bool interval = false;
  // B's statistic less A's: the difference per call, in ticks, with its
  // interval from the same resamples (what adds up in a program is this,
  // not the ratio, which also counts the two counter readings in each).
  double diff = 0, diff_low = 0, diff_high = 0;
  double base = 0; // A's statistic, in ticks
};

// Fewer runs than this give no interval: the fastest 15% of five runs is
// less than one run (kLowShare), and a resampled five runs is mostly the
// same few values.
constexpr size_t kMinRunsForInterval = 6;

// Resamples per interval. The interval is the estimate plus or minus t
// standard errors on the log scale, with as many degrees of freedom as the
// statistic has runs under it, less one: a bootstrap of a mean of a few
// low runs understates its spread (on synthetic A/A campaigns with z, one
// in nine decided a difference). A standard error settles within a few
// percent by a thousand resamples (tails would need ten times more).
constexpr size_t kResamples = 1000;

// Student's t of a two-sided interval of this confidence for `df` degrees
// of freedom (0.95 and 10 give 2.228; many give the normal's 1.960).
double two_sided_t(double confidence, double df);

// What one campaign shares across all its rounds and its repeat does not:
// the machine's state drifts over minutes, and a ratio moves with it. It
// is added to the resampled spread (as a standard deviation of the log
// ratio). Measured by bench/repeat.sh, sets of three campaigns of glibc's
// sse2 memset against its default, each campaign judged by the others:
//  - on an AMD EPYC (glibc 2.36), quiet: band estimates of one campaign
//    spread about another's by 0.12% (median; 0.72% at most); 0.15% here
//    left 0 to 1.2% of repeats outside;
//  - on an Intel Xeon (glibc 2.36) beside a load that comes and goes (a
//    parallel build and test run, then a pause of up to 20 s: bench/load.sh
//    varying), repeats moved by up to 2.1%, and 0.15% left 7.1% of one
//    set's repeats outside its 99.99% intervals. 0.3% leaves at most 2.9% in
//    each of 6 such sets, and at most 2.5% beside a steady CPU or memory
//    hog (6 sets); 0.4% would leave 1.7%, but then an A/A pair is shown
//    `same` over only 15 to 20% of its lengths in 45 s, against 83 to 99%.
// At the campaigns' 99.99% the floor alone is a half-width of about 1.2%,
// under the default threshold, so a band can still be shown `same`.
constexpr double kBetweenCampaigns = 0.0030;

// Runs are resampled in blocks of consecutive runs (rounds, when paired),
// about the square root of their count long: drift within a campaign, which
// makes neighbouring rounds alike, then shows in the intervals as it would
// in a repeat.
size_t block_length(size_t runs);

// Paired: a[i] and b[i] come from one round, in the order of the rounds.
// Rounds are resampled whole, so that whatever a round's runs share cancels
// in the ratio, and in blocks (block_length). `seed` makes the resampling the
// same on every call with the same data.
Estimate paired_ratio(const std::vector<double> &a, const std::vector<double> &b, Statistic s,
                      double confidence, uint64_t seed);

// Unpaired: the runs of A and of B resampled each on its own, in blocks.
Estimate unpaired_ratio(const std::vector<double> &a, const std::vector<double> &b, Statistic s,
                        double confidence, uint64_t seed);

// The error rate of the whole campaign, spent over its looks: look j (from
// 1) may claim 1 - 0.05 * 6 / (pi^2 j^2), so that the looks together keep
// false verdicts within 5% however many there are. Look 0 is a campaign of a
// fixed size, looked at once: 95%.
constexpr double kErrorRate = 0.05;
double look_confidence(unsigned look);

} // namespace report
