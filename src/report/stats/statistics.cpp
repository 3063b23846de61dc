// Robust statistics of memset-bench curves: medians, spread, floor, steps, shifted runs.

#include "report/stats/statistics.hpp"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace report {

double median(std::vector<double> v) {
  if (v.empty())
    return NAN;
  size_t mid = v.size() / 2;
  std::nth_element(v.begin(), v.begin() + mid, v.end());
  double hi = v[mid];
  if (v.size() % 2)
    return hi;
  double lo = *std::max_element(v.begin(), v.begin() + mid);
  return (lo + hi) / 2;
}

double quantile_sorted(const std::vector<double> &s, double q) {
  double pos = q * (s.size() - 1);
  size_t i = (size_t)pos;
  double frac = pos - i;
  return i + 1 < s.size() ? s[i] + frac * (s[i + 1] - s[i]) : s[i];
}

namespace {

// Median of curve[from, to), clipped to the curve.
double window_median(const Curve &curve, size_t from, size_t to) {
  to = std::min(to, curve.size());
  return median(Curve(curve.begin() + from, curve.begin() + to));
}

} // namespace

static std::string decimal(unsigned __int128 whole) {
  std::string digits;
  do {
    digits.insert(digits.begin(), (char)('0' + (int)(whole % 10)));
    whole /= 10;
  } while (whole);
  return digits;
}

std::string ExactLevel::str() const {
  if (estimate) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.2f", *estimate);
    return buf;
  }
  unsigned __int128 sum = (unsigned __int128)lo + hi;
  return decimal(sum / 2) + (sum % 2 ? ".5" : "");
}

std::string ExactQuarters::str() const {
  static const char *fractions[] = {"", ".25", ".5", ".75"};
  return decimal(quarters / 4) + fractions[(int)(quarters % 4)];
}

const char *statistic_name(Statistic s) { return s == Statistic::Low ? "low" : "median"; }

std::string statistic_meaning(Statistic s) {
  return s == Statistic::Low
             ? "the mean of the fastest " + std::to_string((int)(kLowShare * 100)) + "% of runs"
             : std::string("the median of the runs");
}

namespace {

// The mean of the lowest share of sorted values: the lowest share * n, the
// last of them in part, so that the estimate moves smoothly with n.
double lower_mean_sorted(const std::vector<double> &v, double share) {
  double take = std::max(1.0, share * (double)v.size());
  size_t whole = (size_t)take;
  double part = take - (double)whole;
  double sum = 0;
  for (size_t i = 0; i < whole && i < v.size(); i++)
    sum += v[i];
  if (part > 0 && whole < v.size())
    sum += part * v[whole];
  return sum / take;
}

} // namespace

double lower_mean(std::vector<double> &v, double share) {
  if (v.empty())
    return NAN;
  double take = std::max(1.0, share * (double)v.size());
  size_t need = std::min(v.size(), (size_t)std::ceil(take));
  std::nth_element(v.begin(), v.begin() + (need - 1), v.end());
  std::sort(v.begin(), v.begin() + need);
  return lower_mean_sorted(v, share);
}

double statistic_of(std::vector<double> &v, Statistic s) {
  if (s == Statistic::Median)
    return median(v);
  return lower_mean(v, kLowShare);
}

Aggregates aggregates_of(std::vector<double> v, Statistic s) {
  Aggregates a;
  if (v.empty())
    return a;
  for (double x : v)
    a.mean += x / (double)v.size();
  for (double x : v)
    a.stddev += v.size() > 1 ? (x - a.mean) * (x - a.mean) / (double)(v.size() - 1) : 0;
  a.stddev = std::sqrt(a.stddev);
  a.median = median(v);
  a.level = statistic_of(v, s);
  return a;
}

Curve levels_of(const std::vector<ExactLevel> &exact) {
  Curve out(exact.size());
  for (size_t k = 0; k < exact.size(); k++)
    out[k] = exact[k].value();
  return out;
}

Curve spread_curve(const Quartiles &q, const Curve &median) {
  Curve out(median.size(), 0.0);
  for (size_t k = 0; k < out.size() && k < q.q1.size(); k++)
    out[k] = median[k] > 0 ? (q.q3[k] - q.q1[k]) / median[k] : 0.0;
  return out;
}

double floor_of(const Curve &curve) { return window_median(curve, 0, kFloorLengths); }

std::optional<ExactQuarters> exact_floor(const std::vector<ExactLevel> &curve) {
  // Twice each median, as whole numbers: lo + hi.
  std::vector<unsigned __int128> twice;
  for (size_t k = 0; k < std::min(kFloorLengths, curve.size()); k++) {
    if (curve[k].estimate)
      return std::nullopt;
    twice.push_back((unsigned __int128)curve[k].lo + curve[k].hi);
  }
  if (twice.empty())
    return ExactQuarters{};
  std::sort(twice.begin(), twice.end());
  size_t mid = twice.size() / 2;
  ExactQuarters q;
  q.quarters = twice.size() % 2 ? 2 * twice[mid] : twice[mid - 1] + twice[mid];
  return q;
}

LengthStats length_stats(const std::vector<RunValues> &runs, Statistic s) {
  LengthStats out;
  size_t n = runs.size(), lengths = runs.empty() ? 0 : runs[0].size();
  out.level.resize(lengths);
  out.median.resize(lengths);
  for (Curve *l : {&out.quartiles.q1, &out.quartiles.q3, &out.moments.mean, &out.moments.stddev})
    l->assign(lengths, 0);
  std::vector<uint64_t> column(n);
  std::vector<double> sorted(n);
  for (size_t k = 0; k < lengths; k++) {
    for (size_t r = 0; r < n; r++)
      column[r] = runs[r][k];
    std::sort(column.begin(), column.end());
    double sum = 0;
    for (size_t r = 0; r < n; r++) {
      sorted[r] = (double)column[r];
      sum += sorted[r];
    }
    out.median[k].hi = column[n / 2];
    out.median[k].lo = n % 2 ? column[n / 2] : column[n / 2 - 1];
    out.quartiles.q1[k] = quantile_sorted(sorted, 0.25);
    out.quartiles.q3[k] = quantile_sorted(sorted, 0.75);
    double mean = sum / (double)n, var = 0;
    for (double x : sorted)
      var += (x - mean) * (x - mean);
    out.moments.mean[k] = mean;
    out.moments.stddev[k] = n > 1 ? std::sqrt(var / (double)(n - 1)) : 0;
    if (s == Statistic::Median)
      out.level[k] = out.median[k];
    else if (kLowShare * (double)n <= 1)
      out.level[k] = {column[0], column[0], std::nullopt}; // the fastest run alone: exact
    else
      out.level[k].estimate = lower_mean_sorted(sorted, kLowShare);
  }
  return out;
}

std::vector<size_t> find_steps(const Curve &curve, const StepRule &rule) {
  const size_t n = curve.size(), w = rule.window;
  std::vector<size_t> steps;
  if (n < 2 * w + 1)
    return steps;
  // level[i]: median of curve[i, i + w); low[i]: the lowest level from i on.
  Curve level(n - w + 1), low(n - w + 1);
  for (size_t i = 0; i < level.size(); i++)
    level[i] = window_median(curve, i, i + w);
  low.back() = level.back();
  for (size_t i = low.size() - 1; i-- > 0;)
    low[i] = std::min(level[i], low[i + 1]);

  // Index 0 is the first-call binding, so the earliest "before" window
  // starts at index 1.
  auto rise_at = [&](size_t i) { return level[i] - level[i - w]; };
  auto is_step = [&](size_t i) {
    double before = level[i - w], rise = rise_at(i);
    return rise >= rule.min_ticks && rise >= rule.min_rise * before && low[i] >= before + rise / 2;
  };
  // A step is seen from every index whose windows straddle it. Within such a
  // run of indices, take the one where the curve itself jumps most: the
  // value there and the median of it and the next two, against the value
  // before and the median of the three before. A single spike cannot win.
  auto jump_at = [&](size_t i) {
    double after = std::min(curve[i], window_median(curve, i, i + 3));
    double before = std::max(curve[i - 1], window_median(curve, i - 3, i));
    return after - before;
  };
  std::vector<std::pair<size_t, double>> found; // index, jump
  for (size_t i = w + 1; i < level.size();) {
    if (!is_step(i)) {
      i++;
      continue;
    }
    size_t best = i;
    double best_jump = -INFINITY;
    for (; i < level.size() && is_step(i); i++)
      if (double jump = jump_at(i); jump > best_jump) {
        best_jump = jump;
        best = i;
      }
    // Noise can split one step into runs a few lengths apart: keep one.
    if (!found.empty() && best - found.back().first < w) {
      if (best_jump > found.back().second)
        found.back() = {best, best_jump};
    } else {
      found.push_back({best, best_jump});
    }
  }
  for (const auto &f : found)
    steps.push_back(f.first + 1); // index k holds length k + 1
  return steps;
}

double shift_factor(const RunValues &run, const Curve &median) {
  std::vector<double> ratios;
  ratios.reserve(run.size());
  for (size_t k = 1; k < run.size() && k < median.size(); k++)
    if (median[k] > 0)
      ratios.push_back((double)run[k] / median[k]);
  return report::median(std::move(ratios));
}

std::optional<std::vector<ShiftedRun>> shifted_runs(const std::vector<RunValues> &runs,
                                                    const Curve &median) {
  if (runs.size() < kMinRunsForShift)
    return std::nullopt;
  std::vector<ShiftedRun> out;
  for (size_t r = 0; r < runs.size(); r++) {
    double f = shift_factor(runs[r], median);
    if (std::fabs(f - 1) > kShiftTolerance)
      out.push_back({r, f});
  }
  return out;
}

} // namespace report
