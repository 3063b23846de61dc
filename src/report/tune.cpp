// Tuning advice: which memset glibc should pick on this machine, from one
// interleaved campaign of the settings that steer its choice. Pure: running
// that campaign is the caller's.

#include "tune.hpp"

#include "errors.hpp"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>

namespace report {

namespace {

bool has(const std::vector<std::string> &flags, const char *f) {
  return std::find(flags.begin(), flags.end(), f) != flags.end();
}

bool same_everywhere(const Comparison &c) {
  return std::all_of(c.ranges.begin(), c.ranges.end(),
                     [](const Range &r) { return r.verdict == Verdict::Same; });
}

// With weights the advice is the head with the lowest weighted ratio,
// decided faster for the distribution and decided slower in no band where
// the distribution has calls. It stands
// only if no head still unclear for the distribution could do better.
template <typename IsHead>
void advise_weighted(TuneAdvice &a, const Weights &w, const CompareOptions &opt, IsHead is_head) {
  const size_t n = a.sets.size();
  a.weighted.assign(n, {});
  std::vector<WeightedSet> ws;
  for (const auto &s : a.sets)
    ws.push_back(weigh_set(s, w, opt.statistic));
  a.advised.reset();
  a.advice_undecided = false;
  double best = 1, possible = 1;
  for (size_t v = 1; v < n; v++) {
    a.weighted[v] = weigh_comparison(a.sets[0], ws[0], a.sets[v], ws[v], opt, true);
    // Slower where the program never calls memset does not count against it.
    bool slower = std::any_of(a.vs_default[v].bands.begin(), a.vs_default[v].bands.end(),
                              [&](const BandResult &b) {
                                double calls = 0;
                                for (size_t k = b.band.from; k <= b.band.to; k++)
                                  calls += w.at[k - 1];
                                return b.verdict == Verdict::Slower && calls > 0;
                              });
    if (!is_head(v) || slower)
      continue;
    const WeightedComparison &c = a.weighted[v];
    if (c.verdict == Verdict::Faster && c.est.ratio < best) {
      best = c.est.ratio;
      a.advised = v;
    } else if (c.verdict == Verdict::Unclear) {
      possible = std::min(possible, c.est.interval ? c.est.low : 0.0);
    }
  }
  a.advice_undecided = possible < best;
  if (a.advice_undecided)
    a.advised.reset();
}

} // namespace

std::vector<TuneVariant> tune_variants(const std::vector<std::string> &flags) {
  std::vector<TuneVariant> v;
  auto add = [&](const std::string &name, const std::string &tunables) {
    std::vector<std::string> env;
    if (!tunables.empty())
      env.push_back("GLIBC_TUNABLES=" + tunables);
    for (const auto &o : v)
      if (o.env == env)
        return; // the same setting under another name
    v.push_back({name, env});
  };
  add("default", "");
  add("stosb_always", kStosbAlways);
  add("stosb_never", kStosbNever);
  // Masks go from the widest vectors down: each takes away one more feature
  // that glibc's memset selection looks at, and only features this
  // processor has (masking one it lacks changes nothing).
  std::string mask;
  auto masked = [&](const char *feature) {
    mask += std::string(mask.empty() ? "" : ",") + "-" + feature;
    return "glibc.cpu.hwcaps=" + mask;
  };
  // AVX512F picks the 512-bit memset; AVX512VL the 256-bit EVEX one; AVX2
  // the 256-bit VEX one; below that the SSE2 loop, with ERMS its rep stosb.
  const struct {
    const char *flag, *feature, *name;
  } masks[] = {{"avx512f", "AVX512F", "no_avx512"},
               {"avx512vl", "AVX512VL", "no_evex"},
               {"avx2", "AVX2", "no_avx2"},
               {"erms", "ERMS", "sse2_no_erms"}};
  for (const auto &m : masks)
    if (has(flags, m.flag))
      add(m.name, masked(m.feature));
  if (has(flags, "erms"))
    add("no_erms", "glibc.cpu.hwcaps=-ERMS");
  return v;
}

void check_tunable_libc(const std::string &libc) {
  int major = 0, minor = 0;
  if (std::sscanf(libc.c_str(), "glibc %d.%d", &major, &minor) != 2)
    throw NoTunables("tune: the C library is '" + (libc.empty() ? std::string("unknown") : libc) +
                     "', not glibc; only glibc's choice of memset can be steered with "
                     "GLIBC_TUNABLES");
  if (major < kTunablesMajor || (major == kTunablesMajor && minor < kTunablesMinor))
    throw NoTunables("tune: " + libc + " has no x86_rep_stosb_threshold tunable (glibc " +
                     std::to_string(kTunablesMajor) + "." + std::to_string(kTunablesMinor) +
                     " or later has)");
}

TuneAdvice advise(std::vector<Set> sets, const CompareOptions &given,
                  const std::optional<Weights> &weights) {
  TuneAdvice a;
  a.sets = std::move(sets);
  const size_t n = a.sets.size();
  const auto &bands = band_grid();
  std::vector<BandSeries> series;
  for (const auto &s : a.sets)
    series.push_back(band_series(s));
  CompareOptions opt = given;
  opt.confidence = look_confidence(a.sets[0].record.looks);
  // Comparisons of one variant with another, made once when first needed.
  std::map<std::pair<size_t, size_t>, Comparison> cache;
  auto vs = [&](size_t x, size_t y) -> const Comparison & {
    auto it = cache.find({x, y});
    if (it == cache.end())
      it = cache.emplace(std::make_pair(x, y), compare_series(series[x], series[y], opt)).first;
    return it->second;
  };
  a.vs_default.resize(n);
  for (size_t v = 1; v < n; v++) {
    a.vs_default[v] = vs(0, v);
    a.unclear += unclear_bands(a.vs_default[v]);
  }
  a.rounds = n > 1 ? a.vs_default[1].runs_base : a.sets[0].runs.size();

  // Implementations: a variant joins the first group it is shown `same`
  // with in every band; the first of a group is its least invasive setting.
  std::vector<size_t> group_of(n);
  for (size_t v = 0; v < n; v++) {
    size_t g = 0;
    for (; g < a.groups.size() && !(v == 0 || same_everywhere(vs(a.groups[g][0], v))); g++) {
    }
    if (g == a.groups.size())
      a.groups.push_back({});
    a.groups[g].push_back(v);
    group_of[v] = g;
  }
  auto is_head = [&](size_t v) {
    return a.groups[group_of[v]][0] == v && group_of[v] != group_of[0];
  };

  // Per band: the fastest of the heads decided faster than default, with
  // every other such head shown `same` as it there; `unclear` where none is
  // faster but some is undecided; default where all are decided otherwise.
  std::vector<std::vector<size_t>> keys;
  std::vector<size_t> key(bands.size());
  std::vector<Estimate> est(bands.size(), Estimate{1, 1, 1, true});
  for (size_t b = 0; b < bands.size(); b++) {
    size_t best = 0;
    bool undecided = false;
    for (size_t v = 1; v < n; v++) {
      if (!is_head(v))
        continue;
      const BandResult &br = a.vs_default[v].bands[b];
      undecided = undecided || br.verdict == Verdict::Unclear;
      if (br.verdict == Verdict::Faster && (best == 0 || br.est.ratio < est[b].ratio)) {
        best = v;
        est[b] = br.est;
      }
    }
    std::vector<size_t> winners;
    if (best)
      for (size_t v = 1; v < n; v++)
        if (v == best || (is_head(v) && a.vs_default[v].bands[b].verdict == Verdict::Faster &&
                          vs(best, v).bands[b].verdict == Verdict::Same))
          winners.push_back(v);
    if (!best && undecided)
      winners = {kUnclear};
    auto at = std::find(keys.begin(), keys.end(), winners);
    key[b] = (size_t)(at - keys.begin());
    if (at == keys.end())
      keys.push_back(winners);
  }
  for (const Span &sp : merge_bands(bands, est, key))
    a.fastest.push_back({sp.from, sp.to, keys[sp.key], sp.ratio, sp.low, sp.high});

  // The crossover, from decided bands only: where rep stosb everywhere stops
  // being slower than never, and stays so to the end.
  size_t always = n, never = n;
  for (size_t v = 0; v < n; v++) {
    if (a.sets[v].label == "stosb_always")
      always = v;
    if (a.sets[v].label == "stosb_never")
      never = v;
  }
  if (always < n && never < n) {
    a.have_stosb_pair = true;
    const Comparison &c = vs(never, always);
    size_t from = bands.size();
    while (from > 0 && (c.bands[from - 1].verdict == Verdict::Same ||
                        c.bands[from - 1].verdict == Verdict::Faster))
      from--;
    if (from > 0 && c.bands[from - 1].verdict == Verdict::Unclear)
      a.crossover_unclear = true;
    else if (from < bands.size())
      a.crossover = bands[from].from;
  }

  // The advice: a head decided in every band, nowhere slower than default,
  // with the largest gain over the sweep (log ratio weighted by lengths).
  // It stands only if no head still undecided somewhere could gain more,
  // even at the fast end of its intervals; otherwise nothing is advised yet.
  double best_gain = 0, best_possible = 0;
  for (size_t v = 1; v < n; v++) {
    if (!is_head(v))
      continue;
    double gain = 0, possible = 0;
    bool slower = false, decided = true;
    for (const auto &br : a.vs_default[v].bands) {
      double lengths = (double)(br.band.to - br.band.from + 1);
      slower = slower || br.verdict == Verdict::Slower;
      decided = decided && br.verdict != Verdict::Unclear;
      if (br.verdict == Verdict::Faster)
        gain -= std::log(br.est.ratio) * lengths;
      if (br.verdict != Verdict::Same && br.verdict != Verdict::Slower)
        possible -= std::log(std::min(br.est.ratio, br.est.low)) * lengths;
    }
    if (slower)
      continue;
    if (!decided) {
      best_possible = std::max(best_possible, possible);
      a.undecided_candidates++;
    } else if (gain > best_gain) {
      best_gain = gain;
      a.advised = v;
    }
  }
  a.advice_undecided = best_possible > best_gain;
  if (a.advice_undecided)
    a.advised.reset();
  if (weights)
    advise_weighted(a, *weights, opt, is_head);
  return a;
}

} // namespace report
