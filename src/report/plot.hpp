#pragma once
// Plots of median curves, drawn by gnuplot.

#include "analysis.hpp"

#include <string>
#include <vector>

namespace report {

// The gnuplot terminal for an output file, by its ending (.png, .svg);
// throws InputError for any other ending.
std::string terminal_for(const std::string &out);

// The gnuplot script that draws one line per curve from `data` (columns:
// length, then one median per set) into `out`.
std::string plot_script(const std::string &terminal, const std::string &out,
                        const std::string &data, const std::vector<std::string> &labels);

// Draws the curves into `out`; an existing file is replaced only with `force`.
void plot_curves(const std::vector<std::string> &labels, const std::vector<Levels> &curves,
                 const std::string &out, bool force);

} // namespace report
