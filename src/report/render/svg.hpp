#pragma once
// Charts as inline SVG, for a page that needs nothing fetched and prints on
// paper: lines, interval ribbons, shaded stretches and rules on linear or
// logarithmic axes, with a title, labelled axes, a legend and tick labels
// spaced so that they do not overlap. Lines differ by dash pattern as well
// as colour, so that they stay apart in grey.

#include <string>
#include <vector>

namespace report {

struct ChartLine {
  std::string name;
  std::vector<double> x, y; // one point each; a y that is not finite breaks the line
  bool markers = false;     // a dot at each point: few points, each a finding
};

// A shaded interval around a line: low..high at each x.
struct ChartRibbon {
  std::vector<double> x, low, high;
  size_t line = 0; // the line whose style it takes
};

// A stretch of x shaded across the whole plot, with a word on it.
struct ChartStretch {
  double from, to;
  std::string label;
};

// A horizontal rule at y, dashed, with its label at the right.
struct ChartRule {
  double y;
  std::string label;
};

struct Chart {
  std::string id; // the element's id, unique on the page
  std::string title, x_label, y_label;
  bool log_x = false, log_y = false;
  std::vector<ChartLine> lines;
  std::vector<ChartRibbon> ribbons;
  std::vector<ChartStretch> stretches;
  std::vector<ChartRule> rules;
  std::string caption; // under the plot: what a point is, what is left out
};

// One <figure> holding the chart's <svg> and its caption. Every text in it
// is escaped.
std::string render_chart(const Chart &c);

// At most about `most` points of a curve of one value a length (lengths
// 1..values.size()): the median of the lengths in each of `most` slices of
// a logarithmic axis, at the slice's middle length. What the eye can see
// of 32768 lengths, and a thousandth of its bytes.
void thin_curve(const std::vector<double> &values, size_t most, std::vector<double> &x,
                std::vector<double> &y);

} // namespace report
