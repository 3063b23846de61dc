// Tuning advice: which memset glibc should pick on this machine, from one
// interleaved campaign of the settings that steer its choice. Pure: running
// that campaign is the caller's.

#include "report/advice/tune.hpp"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>
#include <optional>

namespace report {

namespace {

// With weights the advice is the head with the lowest weighted ratio,
// decided faster for the distribution and decided slower in no band where
// the distribution has calls. It stands only if no head still unclear for
// the distribution could do better.
void advise_weighted(TuneAdvice &a, const Weights &w) {
  const CompareOptions &opt = a.options;
  const size_t n = a.sets.size();
  a.weighted.assign(n, {});
  std::vector<WeightedSet> ws;
  for (const auto &s : a.sets)
    ws.push_back(weigh_set(s, w, opt.statistic));
  a.advised.reset();
  a.advice_undecided = false;
  double best = 1, possible = 1;
  for (size_t v = 1; v < n; v++) {
    a.weighted[v] = weigh_comparison(a.sets[0], ws[0], a.sets[v], ws[v], a.vs_default[v], w,
                                     a.sets[0].record.machine.tsc_mhz);
    // Slower where the program never calls memset does not count against it.
    bool slower = std::any_of(a.vs_default[v].bands.begin(), a.vs_default[v].bands.end(),
                              [&](const BandResult &b) {
                                double calls = 0;
                                for (size_t k = b.band.from; k <= b.band.to; k++)
                                  calls += w.at[k - 1];
                                return b.verdict == Verdict::Slower && calls > 0;
                              });
    if (!a.is_head(v) || slower)
      continue;
    const WeightedComparison &c = a.weighted[v];
    // A bound says at most this ratio: the gain is at least what it says.
    const double ratio = decided_ratio(c.est, c.decision());
    if (c.verdict == Verdict::Faster && ratio < best) {
      best = ratio;
      a.advised = v;
    } else if (c.hidden) {
      // What hides could be any gain: nothing is advised, and rounds won't tell.
      a.advice_hidden = true;
    } else if (c.verdict == Verdict::Unclear) {
      possible = std::min(possible, c.est.interval ? c.est.low : 0.0);
    }
  }
  // The heads still unclear that could beat the best decided one.
  for (size_t v = 1; v < n; v++) {
    const WeightedComparison &c = a.weighted[v];
    if (a.is_head(v) && c.verdict == Verdict::Unclear && !c.hidden &&
        (c.est.interval ? c.est.low : 0.0) < best)
      a.weighted_open.push_back(v);
  }
  a.advice_undecided = !a.advice_hidden && possible < best;
  if (a.advice_undecided || a.advice_hidden)
    a.advised.reset();
  // Ranked by the weighted ratio; unclear ones, which no ratio ranks, last.
  for (size_t v = 1; v < n; v++)
    a.weighted_order.push_back(v);
  std::stable_sort(a.weighted_order.begin(), a.weighted_order.end(), [&](size_t x, size_t y) {
    const WeightedComparison &p = a.weighted[x], &q = a.weighted[y];
    bool pu = p.verdict == Verdict::Unclear, qu = q.verdict == Verdict::Unclear;
    return pu != qu ? qu : p.est.ratio < q.est.ratio;
  });
}

// The crossover, from decided bands only: where rep stosb everywhere stops
// being slower than never, and stays so to the end.
void find_crossover(TuneAdvice &a) {
  const size_t n = a.sets.size();
  size_t always = n, never = n;
  for (size_t v = 0; v < n; v++) {
    if (a.sets[v].label == "stosb_always")
      always = v;
    if (a.sets[v].label == "stosb_never")
      never = v;
  }
  if (always == n || never == n)
    return;
  a.have_stosb_pair = true;
  const auto &bands = band_grid();
  Comparison c = compare_sets(a.sets[never], a.sets[always], a.options);
  size_t from = bands.size();
  while (from > 0 && (c.bands[from - 1].verdict == Verdict::Same ||
                      c.bands[from - 1].verdict == Verdict::Faster))
    from--;
  if (from > 0 && c.bands[from - 1].verdict == Verdict::Unclear)
    a.crossover_unclear = true;
  else if (from < bands.size())
    a.crossover = bands[from].from;
}

// What a head's comparison with default comes to over the sweep: its
// decided gain (log ratio weighted by lengths), what it could gain at the
// fast end of its undecided intervals, whether it is slower anywhere, and
// whether every band is settled (bands whose fills hide are, and gain
// nothing that was seen).
struct HeadGain {
  double gain = 0, possible = 0;
  bool slower = false, decided = true;
};

HeadGain head_gain(const Comparison &c) {
  HeadGain h;
  for (const auto &br : c.bands) {
    double lengths = (double)(br.band.to - br.band.from + 1);
    h.slower = h.slower || br.verdict == Verdict::Slower;
    h.decided = h.decided && br.decision().settled();
    // A bound's gain is at least its bound's.
    if (br.verdict == Verdict::Faster)
      h.gain -= std::log(decided_ratio(br.est, br.decision())) * lengths;
    if (br.verdict != Verdict::Same && br.verdict != Verdict::Slower && !br.hidden)
      h.possible -= std::log(std::min(br.est.ratio, br.est.low)) * lengths;
  }
  return h;
}

// The answer for what was decided: the head decided slower nowhere with the
// largest decided gain, or default where none gains. It leaves open each
// band where it is itself undecided, or where an undecided head could still
// beat it there; where that is every band there is no answer yet.
void advise_decided_bands(TuneAdvice &a) {
  const auto &bands = band_grid();
  std::optional<size_t> best;
  double best_gain = 0;
  for (size_t v = 1; v < a.sets.size(); v++) {
    if (!a.is_head(v))
      continue;
    const HeadGain h = head_gain(a.vs_default[v]);
    if (!h.slower && h.gain > best_gain) {
      best_gain = h.gain;
      best = v;
    }
  }
  std::vector<std::pair<size_t, size_t>> open;
  for (size_t b = 0; b < bands.size(); b++) {
    bool is_open = false;
    double advised_ratio = 1;
    if (best) {
      const BandResult &br = a.vs_default[*best].bands[b];
      is_open = !br.decision().settled();
      if (br.verdict == Verdict::Faster)
        advised_ratio = decided_ratio(br.est, br.decision());
    }
    for (size_t v = 1; v < a.sets.size() && !is_open; v++) {
      const BandResult &br = a.vs_default[v].bands[b];
      is_open = a.is_head(v) && !br.decision().settled() &&
                std::min(br.est.ratio, br.est.interval ? br.est.low : 0.0) < advised_ratio;
    }
    if (!is_open)
      continue;
    if (!open.empty() && open.back().second + 1 == bands[b].from)
      open.back().second = bands[b].to;
    else
      open.emplace_back(bands[b].from, bands[b].to);
  }
  if (open.size() == 1 && open[0].first == bands.front().from && open[0].second == bands.back().to)
    return;
  a.advice_undecided = false;
  a.advice_partial = true;
  a.advised = best;
  a.advice_open = std::move(open);
}

// The advice: a head decided in every band, nowhere slower than default,
// with the largest gain over the sweep (log ratio weighted by lengths).
// It stands only if no head still undecided somewhere could gain more,
// even at the fast end of its intervals; otherwise nothing is advised yet.
void advise_unweighted(TuneAdvice &a) {
  double best_gain = 0, best_possible = 0;
  for (size_t v = 1; v < a.sets.size(); v++) {
    if (!a.is_head(v))
      continue;
    const HeadGain h = head_gain(a.vs_default[v]);
    if (h.slower)
      continue;
    if (!h.decided) {
      best_possible = std::max(best_possible, h.possible);
      a.undecided_candidates++;
    } else if (h.gain > best_gain) {
      best_gain = h.gain;
      a.advised = v;
    }
  }
  a.advice_undecided = best_possible > best_gain;
  if (a.advice_undecided) {
    a.advised.reset();
    advise_decided_bands(a);
  }
}

} // namespace

TuneAdvice advise(std::vector<Set> sets, const CompareOptions &opt,
                  const std::optional<Weights> &weights) {
  TuneAdvice a;
  static_cast<Standings &>(a) = rank_variants(std::move(sets), opt);
  find_crossover(a);
  advise_unweighted(a);
  if (weights) {
    advise_weighted(a, *weights);
    a.mostly_unmeasured = weights->mostly_unmeasured();
    a.capture = weights->capture;
  }
  return a;
}

} // namespace report
