// Tuning advice: which memset glibc should pick on this machine, from one
// interleaved campaign of the settings that steer its choice. Pure: running
// that campaign is the caller's.

#include "tune.hpp"

#include "errors.hpp"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace report {

namespace {

bool has(const std::vector<std::string> &flags, const char *f) {
  return std::find(flags.begin(), flags.end(), f) != flags.end();
}

bool same_everywhere(const Comparison &c) {
  return std::all_of(c.ranges.begin(), c.ranges.end(),
                     [](const Range &r) { return r.verdict == Verdict::Same; });
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

TuneAdvice advise(std::vector<Set> sets, const CompareOptions &opt) {
  TuneAdvice a;
  a.sets = std::move(sets);
  const size_t n = a.sets.size();
  const auto &bands = band_grid();
  a.vs_default.resize(n);
  for (size_t v = 1; v < n; v++)
    a.vs_default[v] = compare_sets(a.sets[0], a.sets[v], opt);
  a.rounds = n > 1 ? a.vs_default[1].runs_base : a.sets[0].runs.size();

  // Implementations: a variant joins the first group it is `same` with everywhere.
  std::vector<size_t> group_of(n);
  for (size_t v = 0; v < n; v++) {
    size_t g = 0;
    for (; g < a.groups.size(); g++) {
      size_t head = a.groups[g][0];
      Comparison c = head == 0 ? a.vs_default[v] : compare_sets(a.sets[head], a.sets[v], opt);
      if (v == 0 || same_everywhere(c))
        break;
    }
    if (g == a.groups.size())
      a.groups.push_back({});
    a.groups[g].push_back(v);
    group_of[v] = g;
  }

  // Per band the fastest variant among those faster than default; default
  // where none is. Only the first of each group competes.
  std::vector<size_t> best(bands.size(), 0);
  std::vector<Estimate> best_est(bands.size());
  for (size_t b = 0; b < bands.size(); b++)
    for (size_t v = 1; v < n; v++) {
      if (a.groups[group_of[v]][0] != v || group_of[v] == group_of[0])
        continue;
      const BandResult &br = a.vs_default[v].bands[b];
      if (br.verdict == Verdict::Faster && (best[b] == 0 || br.est.ratio < best_est[b].ratio)) {
        best[b] = v;
        best_est[b] = br.est;
      }
    }
  for (size_t b = 0; b < bands.size(); b++)
    if (best[b] == 0)
      best_est[b] = {1, 1, 1, true};
  for (const Span &sp : merge_bands(bands, best_est, best))
    a.fastest.push_back({sp.from, sp.to, sp.key, sp.ratio, sp.low, sp.high});

  // The crossover: from where on rep stosb everywhere is no longer slower.
  size_t always = n, never = n;
  for (size_t v = 0; v < n; v++) {
    if (a.sets[v].label == "stosb_always")
      always = v;
    if (a.sets[v].label == "stosb_never")
      never = v;
  }
  if (always < n && never < n) {
    a.have_stosb_pair = true;
    Comparison c = compare_sets(a.sets[never], a.sets[always], opt);
    size_t from = bands.size();
    while (from > 0 && c.bands[from - 1].verdict != Verdict::Slower)
      from--;
    if (from < bands.size())
      a.crossover = bands[from].from;
  }

  // The advice: one measured setting, nowhere slower than default, with the
  // largest gain over the sweep (log ratio weighted by lengths).
  double best_gain = 0;
  for (size_t v = 1; v < n; v++) {
    if (group_of[v] == group_of[0] || a.groups[group_of[v]][0] != v)
      continue;
    const Comparison &c = a.vs_default[v];
    double gain = 0;
    bool slower = false;
    for (const auto &br : c.bands) {
      slower = slower || br.verdict == Verdict::Slower;
      if (br.verdict == Verdict::Faster)
        gain -= std::log(br.est.ratio) * (double)(br.band.to - br.band.from + 1);
    }
    if (!slower && gain > best_gain) {
      best_gain = gain;
      a.advised = v;
    }
  }
  return a;
}

} // namespace report
