// Where a campaign's variants stand against default: groups of one
// implementation, and the fastest per range of lengths.

#include "report/advice/standings.hpp"

#include "report/stats/sequential.hpp"

#include <algorithm>
#include <map>

namespace report {

namespace {

bool same_everywhere(const Comparison &c) {
  return std::all_of(c.ranges.begin(), c.ranges.end(),
                     [](const Range &r) { return r.verdict == Verdict::Same; });
}

// Comparisons of one variant with another, made once when first needed.
class Comparisons {
public:
  Comparisons(const std::vector<Set> &sets, const CompareOptions &opt) : opt_(opt) {
    for (const auto &s : sets)
      series_.push_back(band_series(s));
  }
  const Comparison &operator()(size_t x, size_t y) {
    auto it = cache_.find({x, y});
    if (it == cache_.end())
      it = cache_.emplace(std::make_pair(x, y), compare_series(series_[x], series_[y], opt_)).first;
    return it->second;
  }
  const BandSeries &series(size_t v) const { return series_[v]; }
  const CompareOptions &options() const { return opt_; }

private:
  std::vector<BandSeries> series_;
  CompareOptions opt_;
  std::map<std::pair<size_t, size_t>, Comparison> cache_;
};

// A variant joins the first group it is shown `same` with in every band;
// the first of a group is its least invasive setting.
void group_variants(Standings &s, Comparisons &vs) {
  s.group_of.resize(s.sets.size());
  for (size_t v = 0; v < s.sets.size(); v++) {
    size_t g = 0;
    while (g < s.groups.size() && !(v == 0 || same_everywhere(vs(s.groups[g][0], v))))
      g++;
    if (g == s.groups.size())
      s.groups.push_back({});
    s.groups[g].push_back(v);
    s.group_of[v] = g;
  }
}

// Per band: the fastest of the heads decided faster than default, with
// every other such head shown `same` as it there; `unclear` where none is
// faster but some is undecided; default where all are decided otherwise.
// Bands with the same winners make one range.
void find_fastest(Standings &s, Comparisons &vs) {
  const auto &bands = band_grid();
  const size_t n = s.sets.size();
  std::vector<std::vector<size_t>> keys;
  std::vector<size_t> key(bands.size());
  std::vector<Estimate> est(bands.size(), Estimate{1, 1, 1, true});
  for (size_t b = 0; b < bands.size(); b++) {
    size_t best = 0;
    bool undecided = false, hidden = false;
    for (size_t v = 1; v < n; v++) {
      if (!s.is_head(v))
        continue;
      const BandResult &br = s.vs_default[v].bands[b];
      undecided = undecided || (br.verdict == Verdict::Unclear && !br.hidden);
      hidden = hidden || br.hidden;
      // A bound (at most this ratio) ranks by its bound.
      double ratio = decided_ratio(br.est, br.decision());
      if (br.verdict == Verdict::Faster && (best == 0 || ratio < est[b].ratio)) {
        best = v;
        est[b] = br.bound ? Estimate{ratio, ratio, ratio, false} : br.est;
      }
    }
    std::vector<size_t> winners;
    if (best)
      for (size_t v = 1; v < n; v++)
        if (v == best || (s.is_head(v) && s.vs_default[v].bands[b].verdict == Verdict::Faster &&
                          vs(best, v).bands[b].verdict == Verdict::Same))
          winners.push_back(v);
    // A winner decided past a hidden floor makes lines of its own.
    if (best && s.vs_default[best].bands[b].bound)
      winners.push_back(kBoundMark);
    if (!best && undecided)
      winners = {kUnclear};
    else if (!best && hidden)
      winners = {kHidden};
    auto at = std::find(keys.begin(), keys.end(), winners);
    key[b] = (size_t)(at - keys.begin());
    if (at == keys.end())
      keys.push_back(winners);
  }
  // Bands with the same winners make one line where the winner's gains
  // agree within the threshold; its ratio and interval are the first
  // winner's own over those lengths.
  auto bound = [&](const std::vector<size_t> &w) { return !w.empty() && w.back() == kBoundMark; };
  std::vector<bool> agree(bands.size());
  for (size_t b = 0; b < bands.size(); b++)
    agree[b] = !keys[key[b]].empty() && keys[key[b]][0] != kUnclear && keys[key[b]][0] != kHidden &&
               !bound(keys[key[b]]);
  for (const Span &sp : like_bands(est, key, agree, vs.options().threshold)) {
    std::vector<size_t> winners = keys[sp.key];
    Estimate e{1, 1, 1, true};
    bool is_bound = bound(winners);
    if (is_bound) {
      // The weakest bound holds for every band of the line.
      winners.pop_back();
      double most = 0;
      for (size_t b = sp.first; b <= sp.last; b++)
        most = std::max(most, est[b].ratio);
      e = {most, most, most, false};
    } else if (!winners.empty() && winners[0] != kUnclear && winners[0] != kHidden) {
      e = span_ratio(vs.series(0), vs.series(winners[0]), sp.first, sp.last, vs.options());
    }
    s.fastest.push_back(
        {bands[sp.first].from, bands[sp.last].to, winners, e.ratio, e.low, e.high, is_bound});
  }
}

// The fastest lines' undecided stretches, as ranges of lengths.
void find_open(Standings &s) {
  for (const Winner &w : s.fastest)
    if (!w.variants.empty() && w.variants[0] == kUnclear)
      s.open.emplace_back(w.from, w.to);
}

} // namespace

Standings rank_variants(std::vector<Set> sets, const CompareOptions &given) {
  Standings s;
  s.sets = std::move(sets);
  s.options = given;
  s.options.confidence = campaign_confidence(s.sets[0].record);
  Comparisons vs(s.sets, s.options);
  const size_t n = s.sets.size();
  s.vs_default.resize(n);
  for (size_t v = 1; v < n; v++) {
    s.vs_default[v] = vs(0, v);
    s.unclear += unsettled_bands(s.vs_default[v]);
  }
  s.rounds = n > 1 ? s.vs_default[1].runs_base : s.sets[0].runs.size();
  group_variants(s, vs);
  find_fastest(s, vs);
  find_open(s);
  return s;
}

} // namespace report
