#pragma once
// Plots of a Report, drawn by gnuplot: each set's curve of its statistic with
// its spread and steps, and under them each set's ratio to the first, band by
// band with intervals coloured by verdict.

#include "report/stats/summary.hpp"

#include <string>

namespace report {

struct PlotOptions {
  bool log_y = false; // both axes logarithmic
};

// The gnuplot terminal for an output file, by its ending (.png, .svg);
// throws UsageError for any other ending.
std::string terminal_for(const std::string &out);

// The whole gnuplot script, its data inline; it draws to standard output.
std::string plot_script(const Report &r, const std::string &terminal, const PlotOptions &opt);

// Draws into `out`. An existing file is replaced only with `force`, and only
// by a plot that gnuplot finished completely.
void draw_plot(const Report &r, const std::string &out, bool force, const PlotOptions &opt);

} // namespace report
