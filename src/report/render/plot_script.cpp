// The gnuplot script of a plot: the data inline, the panel of curves and,
// with two sets or more, the panel of ratios to the first.

#include "report/render/pieces.hpp"
#include "report/render/plot.hpp"

#include <algorithm>
#include <cctype>
#include <cmath>

namespace report {

namespace {

// Eight colours that stay apart in print, none of them a verdict's (green,
// red, grey, orange); beyond eight sets no curves are laid over each other
// (kMostOverlaid), so no colour stands for two sets.
constexpr size_t kNumColoursDeclared = 8;
const char *kColours[kNumColoursDeclared] = {"#1f77b4", "#9467bd", "#8c564b", "#e377c2",
                                             "#17becf", "#bcbd22", "#393b79", "#000000"};

// With more sets than colours, curves laid over each other cannot be told
// apart: each comparison gets a small panel of its own instead, and the
// curves are left to a plot of fewer sets.
constexpr size_t kMostOverlaid = kNumColoursDeclared;

// Legends stand right of the panels, in this share of the width, so that
// no legend covers a curve, a band or an axis, however many sets.
constexpr double kPanelRight = 0.76;
constexpr size_t kNumColours = sizeof kColours / sizeof kColours[0];
static_assert(kNumColours == kMostOverlaid, "one colour per set overlaid");

// gnuplot single-quoted string: no escapes but a doubled quote. Control
// characters would end the command, so they are shown as '?'.
std::string quoted(const std::string &s) {
  std::string q = "'";
  for (char c : s)
    q += c == '\'' ? std::string("''") : std::string(1, std::iscntrl((unsigned char)c) ? '?' : c);
  return q + "'";
}

// A legend's room is a fifth of the width: a longer label keeps its end.
constexpr size_t kMaxLegendLabel = 30;
std::string legend_label(const std::string &label) {
  return label.size() <= kMaxLegendLabel
             ? label
             : "..." + label.substr(label.size() - (kMaxLegendLabel - 3));
}

// Point shapes that stay apart, one per comparison; they repeat past 14.
// Five filled shapes, then lines and open ones: a filled pentagon (15)
// reads as the filled circle (7) at this size.
const int kPointTypes[] = {7, 5, 9, 11, 13, 1, 2, 3, 6, 4, 8, 10, 12, 14};
constexpr size_t kNumPointTypes = sizeof kPointTypes / sizeof kPointTypes[0];

std::string line_style(size_t s) { return fmt("lc rgb '%s' dt 1", kColours[s % kNumColours]); }

std::string ticks(double v) { return fmt(v == std::floor(v) ? "%.0f" : "%.1f", v); }

// A verdict's colour, as gnuplot's "rgb variable" takes it.
int verdict_colour(Verdict v) {
  switch (v) {
  case Verdict::Faster:
    return 0x2ca02c;
  case Verdict::Slower:
    return 0xd62728;
  case Verdict::Same:
    return 0x7f7f7f;
  default:
    return 0xff7f0e;
  }
}

// The range of the curves' levels over lengths 2 and up. It follows the
// curves, not their spread: one noisy length whose runs spread over ten times
// the curve would flatten all the rest; and length 1 carries the first-call
// binding of memset and would squash every other length.
struct YRange {
  double lo = INFINITY, hi = 0;
};

// A curve's level at k as its range sees it: the median of the kRangeWindow
// lengths around it, so that an interrupt that hit a length or two of a
// single run cannot set the scale.
constexpr size_t kRangeWindow = 9;
double smoothed(const Curve &curve, size_t k) {
  size_t from = k >= kRangeWindow / 2 + 1 ? k - kRangeWindow / 2 : 1;
  size_t to = std::min(curve.size(), from + kRangeWindow);
  std::vector<double> w(curve.begin() + (long)from, curve.begin() + (long)to);
  std::nth_element(w.begin(), w.begin() + (long)(w.size() / 2), w.end());
  return w[w.size() / 2];
}

// The verdict colours, named once for all comparisons, and the edge mark
// where some estimate is beyond the axis.
std::string verdict_key(const Report &r, bool edges) {
  return ", \\\n     NaN with lines lw 4 lc rgb '#2ca02c' title " +
         quoted(fmt("bands, %.4g%%: green faster,", 100 * r.comparisons[0].options.confidence)) +
         ", \\\n     NaN with lines lw 0 lc rgb 'white' title 'red slower, grey same,'"
         ", \\\n     NaN with lines lw 0 lc rgb 'white' title 'orange unclear'" +
         std::string(edges ? ", \\\n     NaN with points pt 9 ps 1.2 lc rgb 'black' title "
                             "'beyond the axis:', \\\n     NaN with lines lw 0 lc rgb 'white' "
                             "title 'at its edge, with its value'"
                           : "");
}

// What a plot is of, in its caption: the engine, the machine, its C library,
// the rounds and the date, as the first set's record has them.
std::string caption(const Report &r) {
  const Set &first = r.sets[0].set;
  const MachineFacts &m = first.record.machine;
  std::string what = engine_name(first.engine);
  what += first.engine == Engine::Bench ? " (one call at a time)" : " (batches of calls)";
  what += m.cpu_model.empty() ? ", machine not recorded" : " on " + m.cpu_model;
  if (!m.libc.empty())
    what += ", " + m.libc;
  // Sets run through a C library of their own say so: the system's is not theirs.
  std::string own;
  size_t owners = 0;
  for (const auto &sr : r.sets)
    if (!sr.set.libc.loader.empty())
      own += (owners++ ? ", " : "") + sr.set.label;
  if (owners)
    what += " (" + own + ": a C library of " + (owners > 1 ? "their" : "its") + " own)";
  // Where the fills landed, and a warning where the sets' did not agree.
  if (first.engine == Engine::Batch) {
    bool alike = std::all_of(r.sets.begin(), r.sets.end(), [&](const SetReport &s) {
      return s.set.landing() == first.landing();
    });
    what += alike ? "; fills " + landing_text(first.landing()) : "; fills landed differently";
  }
  what += "; " + plural(first.runs.size(), first.campaign.empty() ? "run" : "round");
  if (!m.date.empty())
    what += "; " + m.date.substr(0, 10);
  return what;
}

// The lengths hidden in a set's readings, shaded behind a panel.
std::optional<size_t> hidden_to(const Report &r) {
  std::optional<size_t> hidden;
  for (const auto &sr : r.sets)
    if (sr.summary.hidden_to)
      hidden = std::max(hidden.value_or(0), *sr.summary.hidden_to);
  return hidden;
}

// The first length drawn, counted from 0: memset-bench's length 1 is left
// out, since its first call also binds memset; memset-batch binds it
// before any batch, and draws every length.
size_t first_drawn(const Report &r) {
  return r.sets.empty() || r.sets[0].set.engine == Engine::Bench ? 1 : 0;
}

// "set logscale x 2\nset xrange [2:32768]\n", from the first length drawn.
std::string x_axis(const Report &r) {
  return fmt("set logscale x 2\nset xrange [%zu:32768]\n", first_drawn(r) + 1);
}

// The data: length, then per set its level, first and third quartile, and
// for every set after the first its ratio to the first, from the first
// length drawn.
std::string data_block(const Report &r, YRange &y) {
  std::string s = "$data << EOD\n";
  for (size_t k = first_drawn(r); k < kLengths; k++) {
    s += std::to_string(k + 1);
    for (const auto &sr : r.sets) {
      double q1 = sr.quartiles.q1[k], q3 = sr.quartiles.q3[k];
      s += " " + ticks(sr.level_values[k]) + " " + ticks(q1) + " " + ticks(q3);
      double level = smoothed(sr.level_values, k);
      y.lo = std::min(y.lo, level);
      y.hi = std::max(y.hi, level);
    }
    for (const auto &c : r.comparisons)
      s += std::isfinite(c.per_length[k]) ? fmt(" %.4f", c.per_length[k]) : " NaN";
    s += "\n";
  }
  if (!(y.hi > 0))
    y.hi = 1;
  return s + "EOD\n";
}

// The upper panel (or the only one): each set's curve with its spread shaded
// and its steps marked.
std::string curves_panel(const Report &r, const PlotOptions &opt, const YRange &y,
                         bool ratio_panel) {
  const size_t n = r.sets.size();
  std::string s = "set multiplot\nset label 3 " + quoted(caption(r)) +
                  " at screen 0.01, screen 0.015 left font ',9'\n" +
                  fmt("set lmargin at screen 0.08\nset rmargin at screen %g\n", kPanelRight) +
                  x_axis(r) + "set grid\n" +
                  fmt("set key at screen %g, graph 1 left top vertical Left reverse font ',9'\n",
                      kPanelRight + 0.02);
  if (ratio_panel)
    s += "set origin 0,0.36\nset size 1,0.64\nset bmargin 1\nset format x ''\n";
  else
    s += "set xlabel 'fill length (bytes)'\n";
  s += "set title " +
       quoted(std::string("memset: ") + statistic_name(r.statistic) +
              " ticks per call across runs, shaded: interquartile range") +
       "\n"
       "set ylabel 'time-stamp-counter ticks per call'\n";
  if (opt.log_y)
    // Powers of two label the axis: a curve rarely spans two decades.
    s += fmt("set logscale y 2\nset format y '%%g'\nset yrange [%g:%g]\n",
             std::max(1.0, y.lo * 0.8), y.hi * 1.3);
  else
    s += fmt("set yrange [0:%g]\n", y.hi * 1.2);
  if (first_drawn(r) == 1) {
    double first_lo = INFINITY, first_hi = 0;
    for (size_t i = 0; i < n; i++) {
      first_lo = std::min(first_lo, r.sets[i].levels[0].value());
      first_hi = std::max(first_hi, r.sets[i].levels[0].value());
    }
    std::string first =
        first_lo == first_hi ? ticks(first_lo) : ticks(first_lo) + " to " + ticks(first_hi);
    s += "set label 1 " +
         quoted("length 1 left out: its first call also binds memset (" + first + " ticks)") +
         " at graph 0.02, graph 0.95 left font ',9'\n";
  }
  // The lengths whose fills hide in any set's readings, shaded in both
  // panels: a ratio there is no size, and one that shows is a bound.
  std::optional<size_t> hidden = hidden_to(r);
  if (hidden)
    s += fmt("set object 1 rect from %zu, graph 0 to %zu, graph 1 behind fc rgb '#eeeeee' "
             "fs solid 1.0 noborder\n",
             kFirstBandLength, *hidden) +
         "set label 2 " +
         quoted(fmt("3..%zu: hidden in a set's readings (its floor, not its cost)", *hidden)) +
         " at graph 0.02, graph 0.89 left font ',9'\n";
  // Steps: dashed, in the set's colour, named in the legend.
  size_t arrow = 1;
  for (size_t i = 0; i < n; i++)
    for (size_t len : r.sets[i].summary.steps)
      s += fmt("set arrow %zu from %zu, graph 0 to %zu, graph 1 nohead lw 0.8 dt 3 lc rgb '%s'\n",
               arrow++, len, len, kColours[i % kNumColours]);
  s += "plot ";
  for (size_t i = 0; i < n; i++)
    s += fmt("%s$data using 1:%zu:%zu with filledcurves fs transparent solid 0.18 noborder "
             "lc rgb '%s' notitle",
             i ? ", \\\n     " : "", 3 + 3 * i, 4 + 3 * i, kColours[i % kNumColours]);
  for (size_t i = 0; i < n; i++)
    s += fmt(", \\\n     $data using 1:%zu with lines lw 1.5 ", 2 + 3 * i) + line_style(i) +
         " title " + quoted(fmt("[%zu] ", i + 1) + legend_label(r.sets[i].set.label));
  if (arrow > 1)
    s += ", \\\n     NaN with lines dt 3 lc rgb 'gray40' title 'steps (dashed, the set''s colour)'";
  return s + "\n";
}

// The ratio axis spans the bands' estimates and intervals, within these
// limits: a ratio of 4 or of a quarter is far past any threshold already,
// and a wider axis would flatten every other band. An estimate beyond them
// is marked at the edge with its value, never dropped.
constexpr double kLowestRatio = 0.25, kHighestRatio = 4;

struct RatioAxis {
  double lo = 0.9, hi = 1.1;
};

// What a band's point is: its estimate with its interval; a bound alone
// (decided past a hidden side's floor); or nothing (hidden, unclear).
struct BandPoint {
  bool drawn = false;
  double est = 1, low = 1, high = 1;
};

BandPoint point_of(const BandResult &b) {
  BandPoint p;
  if (b.hidden)
    return p;
  p.drawn = true;
  p.est = p.low = p.high = b.est.ratio;
  if (b.bound)
    p.est = p.low = p.high = ratio_bound(b.est, b.decision()).value;
  else if (b.est.interval) {
    p.low = b.est.low;
    p.high = b.est.high;
  }
  return p;
}

RatioAxis ratio_axis(const Report &r) {
  RatioAxis a;
  for (const auto &c : r.comparisons)
    for (const auto &b : c.bands)
      if (BandPoint p = point_of(b); p.drawn) {
        a.lo = std::min(a.lo, p.low);
        a.hi = std::max(a.hi, p.high);
      }
  a.lo = std::max(kLowestRatio, a.lo * 0.97);
  a.hi = std::min(kHighestRatio, a.hi * 1.03);
  return a;
}

// Comparison i's bands: "x estimate low high colour"; those hidden, NaN.
// Estimates beyond the axis go to $edges_i too: "x edge value", the edge
// where they are marked and the value they have, and a label for each run of
// them to $edgelabels_i; `edges` says whether any are.
struct BandBlocks {
  std::string text;
  bool edges = false;
};

BandBlocks band_blocks(const Report &r, size_t i, const RatioAxis &axis) {
  std::string bands = fmt("$bands%zu << EOD\n", i), edges = fmt("$edges%zu << EOD\n", i),
              labels = fmt("$edgelabels%zu << EOD\n", i);
  // Adjacent bands beyond the same edge share one label, of their values'
  // span, so that labels never overlap.
  struct Run {
    double x = 0, edge = 0, lo = INFINITY, hi = -INFINITY;
  };
  std::vector<Run> runs;
  bool open = false;
  for (const auto &b : r.comparisons[i].bands) {
    double mid = std::sqrt((double)b.band.from * (double)b.band.to);
    BandPoint p = point_of(b);
    bool beyond = p.drawn && (p.est > axis.hi || p.est < axis.lo);
    if (beyond) {
      double edge = p.est > axis.hi ? axis.hi : axis.lo;
      if (!open || runs.back().edge != edge)
        runs.push_back({mid, edge});
      runs.back().lo = std::min(runs.back().lo, p.est);
      runs.back().hi = std::max(runs.back().hi, p.est);
      edges += fmt("%g %g %.4f\n", mid, edge, p.est);
    }
    open = beyond;
    if (!p.drawn) {
      bands += fmt("%g NaN NaN NaN %d\n", mid, verdict_colour(b.verdict));
      continue;
    }
    bands += fmt("%g %.4f %.4f %.4f %d\n", mid, p.est, p.low, p.high, verdict_colour(b.verdict));
  }
  for (const Run &run : runs)
    labels +=
        fmt("%g %g \"%s\"\n", run.x, run.edge,
            (run.hi > run.lo * 1.005 ? fmt("%.2f..%.2f", run.lo, run.hi) : fmt("%.2f", run.lo))
                .c_str());
  return {bands + "EOD\n" + (runs.empty() ? "" : edges + "EOD\n" + labels + "EOD\n"),
          !runs.empty()};
}

// The plot clauses that mark comparison i's estimates beyond the axis: a
// triangle at the edge, and the value beside it.
std::string edge_marks(size_t i, bool any) {
  if (!any)
    return "";
  return fmt(", \\\n     $edges%zu using 1:2 with points pt 9 ps 1.2 lc rgb 'black' notitle"
             ", \\\n     $edgelabels%zu using 1:2:3 with labels left offset 0,-0.9 font ',8' "
             "notitle",
             i, i);
}

// The lower panel: each set's ratio to the first, faintly per length and
// band by band with intervals, the threshold, and the weighted ratios.
std::string ratio_panel(const Report &r) {
  const size_t n = r.sets.size();
  std::string s =
      "unset label 1\nunset label 2\nunset label 3\nunset arrow\nunset title\nset format x '%g'\n"
      "set origin 0,0\nset size 1,0.36\nset tmargin 0\nset bmargin 5\n"
      "unset logscale y\nset xlabel 'fill length (bytes)'\n"
      "set ylabel 'ratio to [1]'\n" +
      fmt("set key at screen %g, graph 1 left top vertical Left reverse font ',8'\n",
          kPanelRight + 0.02);
  RatioAxis axis = ratio_axis(r);
  std::vector<bool> edges;
  for (size_t i = 0; i < r.comparisons.size(); i++) {
    BandBlocks b = band_blocks(r, i, axis);
    s += b.text;
    edges.push_back(b.edges);
  }
  double thr = r.comparisons.empty() ? 0 : r.comparisons.back().options.threshold;
  s += fmt("set yrange [%g:%g]\n", axis.lo, axis.hi);
  // What the comparisons mean for the program whose lengths weigh them.
  for (size_t i = 0; i < r.weighted.size(); i++) {
    const WeightedComparison &w = r.weighted[i];
    const Comparison &c = r.comparisons[i];
    std::string text = fmt("weighted by %s: [%zu]/[1] %s", r.weights_file.c_str(), c.other + 1,
                           verdict_name(w.verdict)) +
                       weighted_text(w, Sides{r.sets[0].set.label, r.sets[c.other].set.label},
                                     c.hidden_step, r.sets[0].mhz);
    s += fmt("set label %zu ", 10 + i) + quoted(text) +
         fmt(" at graph 0.01, graph %g left font ',9'\n", 0.93 - 0.07 * (double)i);
  }
  s += fmt("plot 1 with lines lc rgb 'black' lw 1 notitle, \\\n"
           "     %g with lines lc rgb 'gray50' dt 2 notitle, \\\n"
           "     %g with lines lc rgb 'gray50' dt 2 title 'threshold %.0f%%'",
           1 - thr, 1 + thr, 100 * thr);
  for (size_t i = 1; i < n; i++)
    // Per length the ratio is noisy: drawn faintly, under the bands.
    s += fmt(", \\\n     $data using 1:%zu with lines lw 0.6 lc rgb '#c0%s' notitle",
             2 + 3 * n + (i - 1), kColours[i % kNumColours] + 1);
  // Each comparison has its point shape, named once in black; the verdict
  // colours are named once for all.
  for (size_t i = 0; i < r.comparisons.size(); i++)
    s += fmt(", \\\n     $bands%zu using 1:2:3:4:5 with yerrorbars lc rgb variable pt %d "
             "ps 0.6 notitle",
             i, kPointTypes[i % kNumPointTypes]) +
         edge_marks(i, edges[i]) +
         fmt(", \\\n     NaN with points pt %d ps 0.8 lc rgb 'black' title ",
             kPointTypes[i % kNumPointTypes]) +
         quoted(fmt("[%zu]/[1] ", r.comparisons[i].other + 1) +
                legend_label(r.sets[r.comparisons[i].other].set.label));
  if (!r.comparisons.empty())
    s += verdict_key(r, std::find(edges.begin(), edges.end(), true) != edges.end());
  return s + "\n";
}

// Many sets: each comparison's ratio in a small panel of its own, on one
// axis for all, so that none hides another and the verdicts still compare.
std::string small_multiples(const Report &r, size_t cols, size_t rows) {
  RatioAxis axis = ratio_axis(r);
  std::string s;
  std::vector<bool> edges;
  for (size_t i = 0; i < r.comparisons.size(); i++) {
    BandBlocks b = band_blocks(r, i, axis);
    s += b.text;
    edges.push_back(b.edges);
  }
  const double thr = r.comparisons.empty() ? 0 : r.comparisons[0].options.threshold;
  s += fmt("set multiplot layout %zu,%zu rowsfirst title ", rows, cols) +
       quoted(caption(r) + fmt(": %zu sets, each against [1] in its own panel; plot fewer sets "
                               "for their curves",
                               r.sets.size())) +
       fmt(" font ',10' margins 0.07,%g,0.08,0.9 spacing 0.06,0.1\n", kPanelRight) + x_axis(r) +
       "set xtics 16\nset grid\nset format x '%g'\n" +
       fmt("set yrange [%g:%g]\n", axis.lo, axis.hi) +
       fmt("set key at screen %g, screen 0.9 left top vertical Left reverse font ',9'\n",
           kPanelRight + 0.03);
  std::optional<size_t> hidden = hidden_to(r);
  for (size_t i = 0; i < r.comparisons.size(); i++) {
    const Comparison &c = r.comparisons[i];
    // Each panel shades its own comparison's hidden lengths.
    if (c.hidden_bands)
      s += fmt("set object 1 rect from %zu, graph 0 to %zu, graph 1 behind fc rgb '#eeeeee' "
               "fs solid 1.0 noborder\n",
               kFirstBandLength, band_grid()[c.hidden_bands - 1].to);
    else
      s += "unset object 1\n";
    s += "set title " +
         quoted(fmt("[%zu] ", c.other + 1) + legend_label(r.sets[c.other].set.label) + " / [1]") +
         " font ',9'\n";
    s += fmt("plot 1 with lines lc rgb 'black' lw 1 notitle, %g with lines lc rgb 'gray50' dt 2 "
             "notitle, %g with lines lc rgb 'gray50' dt 2 notitle",
             1 - thr, 1 + thr) +
         fmt(", \\\n     $bands%zu using 1:2:3:4:5 with yerrorbars lc rgb variable pt 7 ps 0.5 "
             "notitle",
             i) +
         edge_marks(i, edges[i]);
    // The key, once, right of the first panel.
    if (i == 0)
      s += fmt(", \\\n     %g with lines lc rgb 'gray50' dt 2 title 'threshold %.0f%%'", 1 + thr,
               100 * thr) +
           verdict_key(r, std::find(edges.begin(), edges.end(), true) != edges.end()) +
           (hidden ? ", \\\n     NaN with boxes fs solid 1.0 fc rgb '#eeeeee' title " +
                         quoted("hidden in a set's readings: a point there is a bound")
                   : std::string());
    s += "\n";
  }
  return s;
}

} // namespace

std::string plot_script(const Report &r, const std::string &terminal, const PlotOptions &opt) {
  const bool two_panels = r.sets.size() >= 2;
  std::string s;
  YRange y;
  if (r.sets.size() > kMostOverlaid) {
    const size_t cols = 3, rows = (r.comparisons.size() + cols - 1) / cols;
    s += "set terminal " + fmt(terminal.c_str(), (int)(120 + 230 * rows)) + "\n";
    return s + small_multiples(r, cols, rows) + "unset multiplot\n";
  }
  s += "set terminal " + fmt(terminal.c_str(), two_panels ? 950 : 700) + "\n";
  s += data_block(r, y);
  s += curves_panel(r, opt, y, two_panels);
  if (two_panels)
    s += ratio_panel(r);
  return s + "unset multiplot\n";
}

} // namespace report
