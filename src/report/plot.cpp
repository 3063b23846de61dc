// Plots of a Report, drawn by gnuplot: each set's curve of its statistic with
// its spread and steps, and under them each set's ratio to the first, band by
// band with intervals coloured by verdict.

#include "plot.hpp"

#include "errors.hpp"
#include "files.hpp"
#include "process.hpp"
#include "text.hpp"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

namespace report {

namespace {

// Eight colours that stay apart in print; beyond eight sets the dash pattern
// changes instead, so every set stays distinguishable.
const char *kColours[] = {"#1f77b4", "#d62728", "#2ca02c", "#ff7f0e",
                          "#9467bd", "#8c564b", "#e377c2", "#17becf"};
constexpr size_t kNumColours = sizeof kColours / sizeof kColours[0];

// gnuplot has a minute for 32768 lengths of a few sets; it needs a second or two.
constexpr double kGnuplotTimeout = 120;

// gnuplot single-quoted string: no escapes but a doubled quote. Control
// characters would end the command, so they are shown as '?'.
std::string quoted(const std::string &s) {
  std::string q = "'";
  for (char c : s)
    q += c == '\'' ? std::string("''") : std::string(1, std::iscntrl((unsigned char)c) ? '?' : c);
  return q + "'";
}

bool ends_with(std::string s, const std::string &tail) {
  for (auto &c : s)
    c = (char)std::tolower((unsigned char)c);
  return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

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

bool complete_plot(const std::string &path, bool png) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  std::string b = s.str();
  if (png)
    return b.size() > 20 && b.compare(0, 8, "\x89PNG\r\n\x1a\n") == 0 &&
           b.compare(b.size() - 8, 4, "IEND") == 0;
  auto end = b.rfind("</svg>");
  return end != std::string::npos && b.find_first_not_of(" \t\r\n", end + 6) == std::string::npos;
}

} // namespace

std::string terminal_for(const std::string &out) {
  if (ends_with(out, ".png"))
    return "pngcairo size 1200,%d noenhanced font ',11'";
  if (ends_with(out, ".svg"))
    return "svg size 1200,%d noenhanced font 'sans,11' background rgb 'white'";
  throw UsageError("'" + out + "': the plot file must end in .png or .svg");
}

std::string plot_script(const Report &r, const std::string &terminal, const PlotOptions &opt) {
  const size_t n = r.sets.size();
  const bool ratio_panel = n >= 2;
  std::string s = "set terminal " + fmt(terminal.c_str(), ratio_panel ? 950 : 700) + "\n";

  // The data: length, then per set median, first and third quartile, and for
  // every set after the first its ratio to the first. Length 1 is left out.
  s += "$data << EOD\n";
  // The y range follows the curves, not their spread: one noisy length
  // whose runs spread over ten times the curve would flatten all the rest.
  double lo = INFINITY, hi = 0;
  for (size_t k = 1; k < kLengths; k++) {
    s += std::to_string(k + 1);
    for (const auto &sr : r.sets) {
      double q1 = sr.quartiles.q1[k], q3 = sr.quartiles.q3[k];
      s += " " + ticks(sr.curve[k]) + " " + ticks(q1) + " " + ticks(q3);
      lo = std::min(lo, sr.curve[k]);
      hi = std::max(hi, sr.curve[k]);
    }
    for (const auto &c : r.comparisons)
      s += std::isfinite(c.per_length[k]) ? fmt(" %.4f", c.per_length[k]) : " NaN";
    s += "\n";
  }
  s += "EOD\n";
  if (!(hi > 0))
    hi = 1;

  s += "set multiplot\n"
       "set lmargin at screen 0.08\nset rmargin at screen 0.97\n"
       "set logscale x 2\nset xrange [2:32768]\nset grid\nset key top left\n";
  if (ratio_panel)
    s += "set origin 0,0.36\nset size 1,0.64\nset bmargin 1\nset format x ''\n";
  else
    s += "set xlabel 'fill length (bytes)'\n";
  s += "set title " +
       quoted(std::string("memset: ") + statistic_name(r.statistic) +
              " ticks per call across runs, shaded: interquartile range") +
       "\n"
       "set ylabel 'time-stamp-counter ticks per call'\n";
  // The y range comes from lengths 2 and up: length 1 carries the first-call
  // binding of memset and would squash every other length.
  if (opt.log_y)
    s += fmt("set logscale y\nset yrange [%g:%g]\n", std::max(1.0, lo * 0.8), hi * 1.3);
  else
    s += fmt("set yrange [0:%g]\n", hi * 1.2);
  std::string first;
  for (size_t i = 0; i < n; i++)
    first += (i ? ", " : "") + r.sets[i].set.label + " " + r.sets[i].exact[0].str();
  s += "set label 1 " +
       quoted("length 1 left out (its first call also binds memset): " + first + " ticks") +
       " at graph 0.99, graph 0.04 right font ',9'\n";
  size_t arrow = 1;
  for (size_t i = 0; i < n; i++)
    for (size_t len : r.sets[i].summary.steps)
      s +=
          fmt("set arrow %zu from %zu, graph 0 to %zu, graph 1 nohead lw 0.8 ", arrow++, len, len) +
          line_style(i) + "\n";
  s += "plot ";
  for (size_t i = 0; i < n; i++)
    s += fmt("%s$data using 1:%zu:%zu with filledcurves fs transparent solid 0.18 noborder "
             "lc rgb '%s' notitle",
             i ? ", \\\n     " : "", 3 + 3 * i, 4 + 3 * i, kColours[i % kNumColours]);
  for (size_t i = 0; i < n; i++)
    s += fmt(", \\\n     $data using 1:%zu with lines lw 1.5 ", 2 + 3 * i) + line_style(i) +
         " title " + quoted(fmt("[%zu] ", i + 1) + r.sets[i].set.label);
  s += "\n";

  if (ratio_panel) {
    s += "unset label 1\nunset arrow\nunset title\nset format x '%g'\n"
         "set origin 0,0\nset size 1,0.36\nset tmargin 0\nset bmargin 5\n"
         "unset logscale y\nset xlabel 'fill length (bytes)'\n"
         "set ylabel 'ratio to [1]'\nset key below horizontal maxrows 2\n";
    // Each band: its estimate and interval, coloured by its verdict.
    double rlo = 0.9, rhi = 1.1, thr = 0;
    for (size_t i = 0; i < r.comparisons.size(); i++) {
      const Comparison &c = r.comparisons[i];
      thr = c.options.threshold;
      s += fmt("$bands%zu << EOD\n", i);
      for (const auto &b : c.bands) {
        double mid = std::sqrt((double)b.band.from * (double)b.band.to);
        double low = b.est.interval ? b.est.low : b.est.ratio;
        double high = b.est.interval ? b.est.high : b.est.ratio;
        rlo = std::min(rlo, low);
        rhi = std::max(rhi, high);
        s += fmt("%g %.4f %.4f %.4f %d\n", mid, b.est.ratio, low, high, verdict_colour(b.verdict));
      }
      s += "EOD\n";
    }
    rlo = std::max(0.25, rlo * 0.97);
    rhi = std::min(4.0, rhi * 1.03);
    s += fmt("set yrange [%g:%g]\n", rlo, rhi);
    // What the comparisons mean for the program whose lengths weigh them.
    for (size_t i = 0; i < r.weighted.size(); i++) {
      const WeightedComparison &w = r.weighted[i];
      std::string text = fmt("weighted by %s: [%zu]/[1] %s %.3f", r.weights_file.c_str(),
                             r.comparisons[i].other + 1, verdict_name(w.verdict), w.est.ratio) +
                         (w.est.interval ? fmt(" [%.3f, %.3f]", w.est.low, w.est.high) : "");
      s += fmt("set label %zu ", 10 + i) + quoted(text) +
           fmt(" at graph 0.01, graph %g left font ',9'\n", 0.93 - 0.07 * (double)i);
    }
    s += fmt("plot 1 with lines lc rgb 'black' lw 1 notitle, \\\n"
             "     %g with lines lc rgb 'gray50' dt 2 notitle, \\\n"
             "     %g with lines lc rgb 'gray50' dt 2 title 'threshold %.0f%%'",
             1 - thr, 1 + thr, 100 * thr);
    for (size_t i = 1; i < n; i++)
      // Per length the ratio is noisy: drawn faintly, under the bands.
      s += fmt(", \\\n     $data using 1:%zu with lines lw 0.6 lc rgb '#c0%s' dt %zu ",
               2 + 3 * n + (i - 1), kColours[i % kNumColours] + 1, 1 + i / kNumColours) +
           " title " + quoted(fmt("[%zu]/[1] per length", i + 1));
    for (size_t i = 0; i < r.comparisons.size(); i++)
      s += fmt(", \\\n     $bands%zu using 1:2:3:4:5 with yerrorbars lc rgb variable pt %zu "
               "ps 0.6 title ",
               i, 7 + 2 * i) +
           quoted(fmt("[%zu]/[1] bands, %.4g%%: green faster, red slower, "
                      "grey same, orange unclear",
                      r.comparisons[i].other + 1, 100 * r.comparisons[i].options.confidence));
    s += "\n";
  }
  s += "unset multiplot\n";
  return s;
}

void draw_plot(const Report &r, const std::string &out, bool force, const PlotOptions &opt) {
  std::string terminal = terminal_for(out);
  struct stat st;
  if (!force && stat(out.c_str(), &st) == 0)
    throw InputError("'" + out + "' already exists; use --force to replace it");

  const char *tmpdir = std::getenv("TMPDIR");
  TempFile script(std::string(tmpdir && *tmpdir ? tmpdir : "/tmp") + "/memset-report-plot.gp");
  script.write(plot_script(r, terminal, opt), script.path());
  // Drawn beside the target, so that placing it is a rename.
  TempFile drawn(out);

  SignalScope signals;
  Command cmd;
  cmd.argv = {"gnuplot", script.path()};
  cmd.search_path = true;
  cmd.timeout = kGnuplotTimeout;
  cmd.stdout_path = drawn.path();
  Outcome o = run_program(cmd);
  if (o.kind == Outcome::NotStarted && o.code == ENOENT)
    throw SystemError("gnuplot not found; install it (Debian: apt-get install gnuplot-nox)");
  if (o.kind == Outcome::Interrupted)
    throw Interrupted(o.code, std::string("plot interrupted; '") + out + "' not written");
  if (!o.ok())
    throw SystemError("gnuplot failed (" + o.describe() + "); '" + out + "' not written");
  // gnuplot exits 0 even when it could not write its output: check the file.
  if (!complete_plot(drawn.path(), ends_with(out, ".png")))
    throw SystemError("gnuplot wrote no complete plot (is the disk full?); '" + out +
                      "' not written");
  drawn.place(out, force);
}

} // namespace report
