// Plots of a Report, drawn by gnuplot: each set's curve of its statistic with
// its spread and steps, and under them each set's ratio to the first, band by
// band with intervals coloured by verdict.

#include "report/render/plot.hpp"

#include "report/sys/environment.hpp"
#include "report/sys/errors.hpp"
#include "report/sys/files.hpp"
#include "report/sys/process.hpp"
#include "report/sys/text.hpp"

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

// gnuplot draws 32768 lengths of a few sets in a second or two; two minutes
// leave room for a loaded machine and many sets, and still end a hung one.
constexpr double kGnuplotTimeout = 120;

bool ends_with(std::string s, const std::string &tail) {
  for (auto &c : s)
    c = (char)std::tolower((unsigned char)c);
  return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
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

void draw_plot(const Report &r, const std::string &out, bool force, const PlotOptions &opt) {
  std::string terminal = terminal_for(out);
  struct stat st;
  if (!force && stat(out.c_str(), &st) == 0)
    throw InputError("'" + out + "' already exists; use --force to replace it");

  TempFile script(temp_dir() + "/memset-report-plot.gp");
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
