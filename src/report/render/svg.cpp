// Charts as inline SVG: a plot area, axes with ticks that fit, lines,
// ribbons, shaded stretches, rules, a legend under the plot.

#include "report/render/svg.hpp"

#include "report/sys/text.hpp"

#include <algorithm>
#include <cmath>

namespace report {

namespace {

// The drawing's own units; the page scales it to its width.
constexpr double kWidth = 760, kLeft = 78, kRight = 24, kTop = 34, kPlotHeight = 270;
constexpr double kBelowPlot = 48, kLegendRow = 18, kLegendColumn = 245;
constexpr size_t kLegendColumns = 3;
// A tick label's width per character, at the labels' size, and the room
// kept between two labels.
constexpr double kCharWidth = 7.2, kLabelGap = 14;
// Rules closer than this share one label: the first one's.
constexpr double kRuleLabelGap = 13;

// Lines stay apart in grey by their dashes; the colours (Okabe and Ito's)
// stay apart for colour-blind readers too.
const char *const kColours[] = {"#000000", "#d55e00", "#0072b2", "#009e73",
                                "#cc79a7", "#e69f00", "#56b4e9", "#7f7f7f"};
const char *const kDashes[] = {"", "7 3", "2 2", "9 3 2 3", "1 3", "12 4", "5 2 1 2", "14 2"};
constexpr size_t kStyles = sizeof kColours / sizeof kColours[0];

struct Axis {
  double low = 0, high = 1; // the data's span, widened to whole ticks
  bool log = false;
  double from = 0, to = 1; // in the drawing
  double at(double v) const {
    double t = log ? (std::log(v) - std::log(low)) / (std::log(high) - std::log(low))
                   : (v - low) / (high - low);
    return from + t * (to - from);
  }
};

// "512", "4K", "32K", "1.5", "0.95": a tick's label, short.
std::string tick_label(double v, bool binary) {
  if (binary && v >= 1024 && std::fmod(v, 1024) == 0)
    return fmt("%.0fK", v / 1024);
  if (std::fabs(v) >= 1 && v == std::round(v))
    return fmt("%.0f", v);
  return fmt("%.3g", v);
}

// The ticks of an axis, as many as fit `room` drawing units with labels of
// about `chars` characters: on a log axis powers of two (every second,
// fourth, ... where they crowd), on a linear one 1, 2 or 5 times a power of ten.
std::vector<double> ticks(Axis &a, double room) {
  std::vector<double> out;
  const double fits = std::max(2.0, room / (5 * kCharWidth + kLabelGap));
  if (a.log) {
    const double lo = std::floor(std::log2(a.low)), hi = std::ceil(std::log2(a.high));
    a.low = std::exp2(lo), a.high = std::exp2(hi);
    double every = 1;
    while ((hi - lo) / every + 1 > fits)
      every *= 2;
    for (double k = lo; k <= hi; k += every)
      out.push_back(std::exp2(k));
    return out;
  }
  const double span = a.high - a.low > 0 ? a.high - a.low : std::max(std::fabs(a.high), 1.0);
  double step = std::pow(10.0, std::floor(std::log10(span / fits)));
  for (double m : {1.0, 2.0, 5.0, 10.0})
    if (span / (step * m) <= fits) {
      step *= m;
      break;
    }
  a.low = std::floor(a.low / step) * step;
  a.high = std::ceil(a.high / step) * step;
  if (a.high <= a.low)
    a.high = a.low + step;
  for (double v = a.low; v <= a.high + step / 2; v += step)
    out.push_back(std::fabs(v) < step / 1e6 ? 0 : v);
  return out;
}

// The span of the finite values, and positive ones alone on a log axis.
void take(Axis &a, bool &any, double v) {
  if (!std::isfinite(v) || (a.log && v <= 0))
    return;
  a.low = any ? std::min(a.low, v) : v;
  a.high = any ? std::max(a.high, v) : v;
  any = true;
}

std::string num(double v) { return fmt("%.1f", v); }

// The points of a line as polylines, broken where a value is missing.
std::string polylines(const ChartLine &l, const Axis &x, const Axis &y, const std::string &style) {
  std::string o, points;
  auto flush = [&] {
    if (!points.empty())
      o += "<polyline fill=\"none\" " + style + " points=\"" + points + "\"/>\n";
    points.clear();
  };
  for (size_t i = 0; i < l.x.size() && i < l.y.size(); i++) {
    const bool ok = std::isfinite(l.y[i]) && !(y.log && l.y[i] <= 0) && std::isfinite(l.x[i]) &&
                    !(x.log && l.x[i] <= 0);
    if (!ok) {
      flush();
      continue;
    }
    points += (points.empty() ? "" : " ") + num(x.at(l.x[i])) + "," + num(y.at(l.y[i]));
  }
  flush();
  return o;
}

} // namespace

std::string render_chart(const Chart &c) {
  Axis x, y;
  x.log = c.log_x, y.log = c.log_y;
  bool any_x = false, any_y = false;
  for (const auto &l : c.lines) {
    for (double v : l.x)
      take(x, any_x, v);
    for (double v : l.y)
      take(y, any_y, v);
  }
  for (const auto &r : c.ribbons)
    for (size_t i = 0; i < r.x.size(); i++)
      take(y, any_y, r.low[i]), take(y, any_y, r.high[i]);
  for (const auto &r : c.rules)
    take(y, any_y, r.y);
  for (const auto &s : c.stretches)
    take(x, any_x, s.from), take(x, any_x, s.to);
  if (!any_x)
    x.low = 1, x.high = 2;
  if (!any_y)
    y.low = 1, y.high = 2;
  const size_t rows = (c.lines.size() + kLegendColumns - 1) / kLegendColumns;
  const double height = kTop + kPlotHeight + kBelowPlot + (double)rows * kLegendRow + 6;
  x.from = kLeft, x.to = kWidth - kRight;
  y.from = kTop + kPlotHeight, y.to = kTop;
  const std::vector<double> xt = ticks(x, x.to - x.from), yt = ticks(y, kPlotHeight * 2.2);

  std::string o = "<figure class=\"chart\" id=\"" + html_escaped(c.id) + "\">\n";
  o += "<svg xmlns=\"http://www.w3.org/2000/svg\" viewBox=\"0 0 " + num(kWidth) + " " +
       num(height) + "\" role=\"img\" aria-labelledby=\"" + html_escaped(c.id) + "-title\">\n";
  o += "<title id=\"" + html_escaped(c.id) + "-title\">" + html_escaped(c.title) + "</title>\n";
  o += "<text class=\"chart-title\" x=\"" + num(kWidth / 2) +
       "\" y=\"20\" text-anchor=\"middle\">" + html_escaped(c.title) + "</text>\n";
  o += "<rect class=\"plot-area\" x=\"" + num(x.from) + "\" y=\"" + num(y.to) + "\" width=\"" +
       num(x.to - x.from) + "\" height=\"" + num(kPlotHeight) +
       "\" fill=\"none\" stroke=\"#444\"/>\n";
  // Stretches first, under everything, clipped to the plot.
  for (const auto &s : c.stretches) {
    const double a = std::max(x.from, x.at(std::max(s.from, x.low)));
    const double b = std::min(x.to, x.at(std::min(s.to, x.high)));
    if (b <= a)
      continue;
    o += "<g class=\"stretch\"><title>" + html_escaped(s.label) + "</title><rect x=\"" + num(a) +
         "\" y=\"" + num(y.to) + "\" width=\"" + num(b - a) + "\" height=\"" + num(kPlotHeight) +
         "\" fill=\"#000\" fill-opacity=\"0.09\"/>";
    if (b - a > (double)s.label.size() * kCharWidth * 0.8)
      o += "<text class=\"stretch-label\" x=\"" + num((a + b) / 2) + "\" y=\"" + num(y.to + 14) +
           "\" text-anchor=\"middle\">" + html_escaped(s.label) + "</text>";
    o += "</g>\n";
  }
  for (double t : xt) {
    const double at = x.at(t);
    o += "<line x1=\"" + num(at) + "\" x2=\"" + num(at) + "\" y1=\"" + num(y.from) + "\" y2=\"" +
         num(y.to) + "\" stroke=\"#ddd\"/><text class=\"tick\" x=\"" + num(at) + "\" y=\"" +
         num(y.from + 16) + "\" text-anchor=\"middle\">" + tick_label(t, x.log) + "</text>\n";
  }
  for (double t : yt) {
    const double at = y.at(t);
    o += "<line x1=\"" + num(x.from) + "\" x2=\"" + num(x.to) + "\" y1=\"" + num(at) + "\" y2=\"" +
         num(at) + "\" stroke=\"#ddd\"/><text class=\"tick\" x=\"" + num(x.from - 6) + "\" y=\"" +
         num(at + 4) + "\" text-anchor=\"end\">" + tick_label(t, y.log) + "</text>\n";
  }
  o += "<text class=\"axis-label\" x=\"" + num((x.from + x.to) / 2) + "\" y=\"" + num(y.from + 36) +
       "\" text-anchor=\"middle\">" + html_escaped(c.x_label) + "</text>\n";
  o += "<text class=\"axis-label\" transform=\"translate(16," + num((y.from + y.to) / 2) +
       ") rotate(-90)\" text-anchor=\"middle\">" + html_escaped(c.y_label) + "</text>\n";
  auto style = [](size_t i, double width) {
    std::string s =
        std::string("stroke=\"") + kColours[i % kStyles] + "\" stroke-width=\"" + num(width) + "\"";
    if (*kDashes[i % kStyles])
      s += std::string(" stroke-dasharray=\"") + kDashes[i % kStyles] + "\"";
    return s;
  };
  std::vector<double> labelled; // where rule labels went: one too near another is left out
  for (const auto &r : c.rules) {
    if (r.y < y.low || r.y > y.high)
      continue;
    const double at = y.at(r.y);
    o += "<g class=\"rule\"><title>" + html_escaped(r.label) + "</title><line x1=\"" + num(x.from) +
         "\" x2=\"" + num(x.to) + "\" y1=\"" + num(at) + "\" y2=\"" + num(at) +
         "\" stroke=\"#555\" stroke-dasharray=\"3 3\"/>";
    if (std::none_of(labelled.begin(), labelled.end(),
                     [&](double other) { return std::fabs(other - at) < kRuleLabelGap; })) {
      labelled.push_back(at);
      o += "<text class=\"rule-label\" x=\"" + num(x.to - 4) + "\" y=\"" + num(at - 4) +
           "\" text-anchor=\"end\">" + html_escaped(r.label) + "</text>";
    }
    o += "</g>\n";
  }
  for (const auto &r : c.ribbons) {
    std::string points;
    for (size_t i = 0; i < r.x.size(); i++)
      points += num(x.at(r.x[i])) + "," + num(y.at(std::max(r.low[i], y.low))) + " ";
    for (size_t i = r.x.size(); i-- > 0;)
      points += num(x.at(r.x[i])) + "," + num(y.at(std::min(r.high[i], y.high))) + " ";
    o += std::string("<polygon class=\"ribbon\" fill=\"") + kColours[r.line % kStyles] +
         "\" fill-opacity=\"0.18\" stroke=\"none\" points=\"" + points + "\"/>\n";
  }
  for (size_t i = 0; i < c.lines.size(); i++) {
    const ChartLine &l = c.lines[i];
    o += "<g class=\"line\" data-name=\"" + html_escaped(l.name) + "\">\n" +
         polylines(l, x, y, style(i, 1.7));
    if (l.markers)
      for (size_t k = 0; k < l.x.size() && k < l.y.size(); k++)
        if (std::isfinite(l.y[k]) && !(y.log && l.y[k] <= 0))
          o += "<circle cx=\"" + num(x.at(l.x[k])) + "\" cy=\"" + num(y.at(l.y[k])) +
               "\" r=\"2.6\" fill=\"" + kColours[i % kStyles] + "\"/>";
    o += "</g>\n";
  }
  for (size_t i = 0; i < c.lines.size(); i++) {
    const double lx = kLeft + (double)(i % kLegendColumns) * kLegendColumn;
    const double ly = y.from + kBelowPlot + (double)(i / kLegendColumns) * kLegendRow;
    std::string name = c.lines[i].name;
    if (name.size() > 30)
      name = name.substr(0, 29) + "…";
    o += "<g class=\"legend\"><line x1=\"" + num(lx) + "\" x2=\"" + num(lx + 34) + "\" y1=\"" +
         num(ly - 4) + "\" y2=\"" + num(ly - 4) + "\" " + style(i, 2.2) + "/><text x=\"" +
         num(lx + 40) + "\" y=\"" + num(ly) + "\">" + html_escaped(name) + "</text></g>\n";
  }
  o += "</svg>\n";
  if (!c.caption.empty())
    o += "<figcaption>" + html_escaped(c.caption) + "</figcaption>\n";
  return o + "</figure>\n";
}

void thin_curve(const std::vector<double> &values, size_t most, std::vector<double> &x,
                std::vector<double> &y) {
  x.clear(), y.clear();
  const size_t n = values.size();
  if (n == 0 || most == 0)
    return;
  const double span = std::log((double)n + 1);
  size_t from = 1; // lengths from..to of this slice, 1-based
  for (size_t s = 1; s <= most && from <= n; s++) {
    size_t to = (size_t)std::floor(std::exp(span * (double)s / (double)most));
    to = std::min(std::max(to, from), n);
    std::vector<double> slice(values.begin() + (long)(from - 1), values.begin() + (long)to);
    std::nth_element(slice.begin(), slice.begin() + (long)(slice.size() / 2), slice.end());
    x.push_back(std::round(std::sqrt((double)from * (double)to)));
    y.push_back(slice[slice.size() / 2]);
    from = to + 1;
  }
}

} // namespace report
