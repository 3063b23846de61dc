// Comparisons of two sets as plain data: per band of lengths a ratio of the
// chosen statistic with an interval and one of four verdicts, and the
// ranges that adjacent bands make.

#include "report/stats/compare.hpp"

#include "report/sys/errors.hpp"

#include <algorithm>
#include <cmath>

namespace report {

namespace {

// One run's level in one band: the mean of the band's lower three quarters
// of values. A mean, so that ticks counted in whole numbers average out over
// the band's lengths; without the top quarter, so that an interrupt that
// hit one length does not move the band.
double band_level(const RunValues &run, const Band &b) {
  std::vector<double> v(run.begin() + (b.from - 1), run.begin() + b.to);
  size_t keep = (v.size() * 3 + 3) / 4;
  std::nth_element(v.begin(), v.begin() + (keep - 1), v.end());
  double sum = 0;
  for (size_t i = 0; i < keep; i++)
    sum += v[i];
  return sum / (double)keep;
}

// A fixed seed per band, and per span of bands: the same files always give
// the same intervals.
constexpr uint64_t kSeed = 0x6d656d736574ULL;
constexpr uint64_t kSpanSeed = 0x7370616e73ULL;

} // namespace

const std::vector<Band> &band_grid() {
  static const std::vector<Band> grid = [] {
    std::vector<size_t> edges = {kFirstBandLength, 8, 16, 32};
    for (int k = 24; k < 60; k++) {
      auto e = (size_t)std::floor(std::pow(2.0, k / 4.0));
      if (e != edges.back())
        edges.push_back(e);
    }
    std::vector<Band> g;
    for (size_t i = 0; i < edges.size(); i++)
      g.push_back({edges[i], i + 1 < edges.size() ? edges[i + 1] - 1 : kLengths});
    return g;
  }();
  return grid;
}

void add_run(BandSeries &series, unsigned round, const RunValues &run) {
  std::vector<double> levels;
  for (const Band &b : band_grid())
    levels.push_back(band_level(run, b) / series.scale);
  series.rounds.push_back(round);
  series.levels.push_back(std::move(levels));
}

BandSeries band_series(const Set &set) {
  if (set.kind() == CampaignKind::Program)
    throw InputError(set.label + ": a program's times, not a curve of lengths; 'memset-report "
                                 "summary' compares them");
  if (set.kind() == CampaignKind::Replay)
    throw InputError(set.label + ": a replay holds one figure a run for its mix, not a curve of "
                                 "lengths; 'memset-report summary' compares replays");
  BandSeries s;
  s.campaign = set.campaign;
  s.step = hiding_step(set.engine, set.record.machine.tsc_step);
  s.scale = set.scale();
  for (size_t i = 0; i < set.runs.size(); i++)
    add_run(s, set.rounds[i], set.runs[i]);
  return s;
}

size_t hidden_bands(const BandSeries &s, Statistic statistic) {
  if (!s.step || s.levels.empty())
    return 0;
  const size_t bands = band_grid().size();
  std::vector<double> level(bands), v;
  for (size_t g = 0; g < bands; g++) {
    v.clear();
    for (const auto &run : s.levels)
      v.push_back(run[g]);
    level[g] = statistic_of(v, statistic);
  }
  double limit = std::min(level[0], level[1]) + *s.step / kFillsPerValue;
  size_t g = 0;
  while (g < bands && level[g] <= limit)
    g++;
  return g;
}

std::vector<Span> like_bands(const std::vector<Estimate> &est, const std::vector<size_t> &key,
                             const std::vector<bool> &agree, double threshold) {
  std::vector<Span> out;
  for (size_t i = 0; i < est.size();) {
    double lo = est[i].ratio, hi = est[i].ratio;
    size_t j = i + 1;
    for (; j < est.size() && key[j] == key[i]; j++) {
      double nlo = std::min(lo, est[j].ratio), nhi = std::max(hi, est[j].ratio);
      if (agree[j] && nhi > nlo * (1 + threshold))
        break;
      lo = nlo;
      hi = nhi;
    }
    out.push_back({i, j - 1, key[i]});
    i = j;
  }
  return out;
}

Estimate span_ratio(const BandSeries &a, const BandSeries &b, size_t first, size_t last,
                    const CompareOptions &opt) {
  const auto &grid = band_grid();
  auto levels = [&](const BandSeries &s) {
    std::vector<double> out;
    for (const auto &run : s.levels) {
      double sum = 0, lengths = 0;
      for (size_t g = first; g <= last; g++) {
        double n = (double)(grid[g].to - grid[g].from + 1);
        sum += n * run[g];
        lengths += n;
      }
      out.push_back(sum / lengths);
    }
    return out;
  };
  Pairing p = pair_runs(a.campaign, a.rounds, b.campaign, b.rounds, opt.drift);
  return ratio_of(p, levels(a), levels(b), opt.statistic, opt.confidence,
                  kSpanSeed + first * grid.size() + last);
}

Comparison compare_series(const BandSeries &a, const BandSeries &b, const CompareOptions &opt) {
  Comparison c;
  Pairing p = pair_runs(a.campaign, a.rounds, b.campaign, b.rounds, opt.drift);
  c.paired = p.paired;
  c.options = opt;
  c.options.drift = p.drift;
  c.runs_base = p.runs_a;
  c.runs_other = p.runs_b;
  c.hidden_base = hidden_bands(a, opt.statistic);
  c.hidden_other = hidden_bands(b, opt.statistic);
  c.hidden_bands = std::max(c.hidden_base, c.hidden_other);
  if (c.hidden_bands)
    c.hidden_step = std::max(a.step.value_or(0), b.step.value_or(0));

  const auto &grid = band_grid();
  std::vector<double> la, lb;
  for (size_t g = 0; g < grid.size(); g++) {
    la.clear();
    lb.clear();
    for (const auto &r : a.levels)
      la.push_back(r[g]);
    for (const auto &r : b.levels)
      lb.push_back(r[g]);
    Estimate e = ratio_of(p, la, lb, opt.statistic, opt.confidence, kSeed + g);
    Hidden where = c.hidden_at(g);
    Decision d = decide(e, opt.threshold, where);
    c.bands.push_back({grid[g], e, d.verdict, d.hidden, d.bound, where});
  }

  // A range holds bands of one verdict and qualifier; where its ratio is
  // what it says, of like sizes too.
  std::vector<Estimate> est;
  std::vector<size_t> keys;
  std::vector<bool> agree;
  for (const auto &br : c.bands) {
    est.push_back(br.est);
    keys.push_back((((size_t)br.verdict * 2 + br.hidden) * 2 + br.bound) * 4 +
                   (size_t)br.hidden_in);
    agree.push_back(br.verdict != Verdict::Same && !br.hidden && !br.bound && br.est.interval);
  }
  auto add_range = [&](size_t first, size_t last, const Estimate &e) {
    const BandResult &head = c.bands[first];
    double band_min = INFINITY, band_max = -INFINITY;
    for (size_t g = first; g <= last; g++) {
      band_min = std::min(band_min, c.bands[g].est.ratio);
      band_max = std::max(band_max, c.bands[g].est.ratio);
    }
    c.ranges.push_back({grid[first].from, grid[last].to, head.verdict, head.hidden, head.bound,
                        head.hidden_in, e, band_min, band_max,
                        band_max > band_min * (1 + opt.threshold)});
  };
  // The range's own estimate must keep its bands' verdict; where the joined
  // lengths would decide otherwise, the span is cut where they stop doing
  // so. A band alone is its own estimate.
  auto joint = [&](size_t first, size_t last) {
    return first == last ? c.bands[first].est : span_ratio(a, b, first, last, c.options);
  };
  auto keeps = [&](size_t first, const Estimate &e) {
    return decide(e, opt.threshold, c.bands[first].hidden_in) == c.bands[first].decision();
  };
  for (const Span &sp : like_bands(est, keys, agree, opt.threshold)) {
    Estimate e = joint(sp.first, sp.last);
    if (keeps(sp.first, e)) {
      add_range(sp.first, sp.last, e);
      continue;
    }
    for (size_t first = sp.first; first <= sp.last;) {
      size_t last = first;
      Estimate kept = c.bands[first].est;
      while (last < sp.last) {
        Estimate next = joint(first, last + 1);
        if (!keeps(first, next))
          break;
        kept = next;
        last++;
      }
      add_range(first, last, kept);
      first = last + 1;
    }
  }
  return c;
}

Comparison compare_sets(const Set &a, const Set &b, const CompareOptions &opt) {
  return compare_series(band_series(a), band_series(b), opt);
}

size_t unsettled_bands(const Comparison &c) {
  return (size_t)std::count_if(c.bands.begin(), c.bands.end(),
                               [](const BandResult &b) { return !b.decision().settled(); });
}

double slower_by(const Range &r) { return decided_ratio(r.est, r.decision()); }

const Range *worst_slower(const Comparison &c) {
  const Range *worst = nullptr;
  for (const auto &r : c.ranges)
    if (r.verdict == Verdict::Slower && (!worst || slower_by(r) > slower_by(*worst)))
      worst = &r;
  return worst;
}

} // namespace report
