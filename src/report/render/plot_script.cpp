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
// red, grey, orange); beyond eight sets the dash pattern changes instead, so
// every set stays distinguishable.
const char *kColours[] = {"#1f77b4", "#9467bd", "#8c564b", "#e377c2",
                          "#17becf", "#bcbd22", "#393b79", "#000000"};

// Legends stand right of the panels, in this share of the width, so that
// no legend covers a curve, a band or an axis, however many sets.
constexpr double kPanelRight = 0.76;
constexpr size_t kNumColours = sizeof kColours / sizeof kColours[0];

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

std::string line_style(size_t s) {
  return fmt("lc rgb '%s' dt %zu", kColours[s % kNumColours], 1 + s / kNumColours);
}

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

// The data: length, then per set its level, first and third quartile, and
// for every set after the first its ratio to the first. Length 1 is left out.
std::string data_block(const Report &r, YRange &y) {
  std::string s = "$data << EOD\n";
  for (size_t k = 1; k < kLengths; k++) {
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
  std::string s = "set multiplot\n" +
                  fmt("set lmargin at screen 0.08\nset rmargin at screen %g\n", kPanelRight) +
                  "set logscale x 2\nset xrange [2:32768]\nset grid\n" +
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
  // The lengths whose fills hide in any set's readings, shaded in both
  // panels: a ratio there is no size, and one that shows is a bound.
  std::optional<size_t> hidden;
  for (const auto &sr : r.sets)
    if (sr.summary.hidden_to)
      hidden = std::max(hidden.value_or(0), *sr.summary.hidden_to);
  if (hidden && !r.sets.empty())
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

// Each band of each comparison: its estimate and interval, coloured by its
// verdict; `rlo`..`rhi` grow to hold them.
std::string band_blocks(const Report &r, double &rlo, double &rhi) {
  std::string s;
  for (size_t i = 0; i < r.comparisons.size(); i++) {
    s += fmt("$bands%zu << EOD\n", i);
    for (const auto &b : r.comparisons[i].bands) {
      double mid = std::sqrt((double)b.band.from * (double)b.band.to);
      // A band hidden in the readings has no size to draw; one decided past
      // the hidden side's floor, only its bound.
      if (b.hidden) {
        s += fmt("%g NaN NaN NaN %d\n", mid, verdict_colour(b.verdict));
        continue;
      }
      double est = b.est.ratio, low = b.est.ratio, high = b.est.ratio;
      if (b.bound)
        est = low = high = ratio_bound(b.est, b.decision()).value;
      else if (b.est.interval) {
        low = b.est.low;
        high = b.est.high;
      }
      rlo = std::min(rlo, low);
      rhi = std::max(rhi, high);
      s += fmt("%g %.4f %.4f %.4f %d\n", mid, est, low, high, verdict_colour(b.verdict));
    }
    s += "EOD\n";
  }
  return s;
}

// The lower panel: each set's ratio to the first, faintly per length and
// band by band with intervals, the threshold, and the weighted ratios.
std::string ratio_panel(const Report &r) {
  const size_t n = r.sets.size();
  std::string s = "unset label 1\nunset label 2\nunset arrow\nunset title\nset format x '%g'\n"
                  "set origin 0,0\nset size 1,0.36\nset tmargin 0\nset bmargin 5\n"
                  "unset logscale y\nset xlabel 'fill length (bytes)'\n"
                  "set ylabel 'ratio to [1]'\n" +
                  fmt("set key at screen %g, graph 1 left top vertical Left reverse font ',8'\n",
                      kPanelRight + 0.02);
  double rlo = 0.9, rhi = 1.1;
  s += band_blocks(r, rlo, rhi);
  double thr = r.comparisons.empty() ? 0 : r.comparisons.back().options.threshold;
  s += fmt("set yrange [%g:%g]\n", std::max(0.25, rlo * 0.97), std::min(4.0, rhi * 1.03));
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
    s += fmt(", \\\n     $data using 1:%zu with lines lw 0.6 lc rgb '#c0%s' dt %zu notitle",
             2 + 3 * n + (i - 1), kColours[i % kNumColours] + 1, 1 + i / kNumColours);
  // Each comparison has its point shape, named once in black; the verdict
  // colours are named once for all.
  for (size_t i = 0; i < r.comparisons.size(); i++)
    s += fmt(", \\\n     $bands%zu using 1:2:3:4:5 with yerrorbars lc rgb variable pt %d "
             "ps 0.6 notitle",
             i, kPointTypes[i % kNumPointTypes]) +
         fmt(", \\\n     NaN with points pt %d ps 0.8 lc rgb 'black' title ",
             kPointTypes[i % kNumPointTypes]) +
         quoted(fmt("[%zu]/[1] ", r.comparisons[i].other + 1) +
                legend_label(r.sets[r.comparisons[i].other].set.label));
  if (!r.comparisons.empty())
    s += ", \\\n     NaN with lines lw 4 lc rgb '#2ca02c' title " +
         quoted(fmt("bands, %.4g%%: green faster,", 100 * r.comparisons[0].options.confidence)) +
         ", \\\n     NaN with lines lw 0 lc rgb 'white' title 'red slower, grey same,'"
         ", \\\n     NaN with lines lw 0 lc rgb 'white' title 'orange unclear'";
  return s + "\n";
}

} // namespace

std::string plot_script(const Report &r, const std::string &terminal, const PlotOptions &opt) {
  const bool two_panels = r.sets.size() >= 2;
  std::string s = "set terminal " + fmt(terminal.c_str(), two_panels ? 950 : 700) + "\n";
  YRange y;
  s += data_block(r, y);
  s += curves_panel(r, opt, y, two_panels);
  if (two_panels)
    s += ratio_panel(r);
  return s + "unset multiplot\n";
}

} // namespace report
