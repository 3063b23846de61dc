#include "plot.hpp"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;

namespace report {

namespace {

// gnuplot single-quoted string: no escapes but a doubled quote.
std::string quoted(const std::string &s) {
  std::string q = "'";
  for (char c : s)
    q += c == '\'' ? std::string("''") : std::string(1, c);
  return q + "'";
}

bool ends_with(std::string s, const std::string &tail) {
  for (auto &c : s)
    c = (char)std::tolower((unsigned char)c);
  return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

bool on_path(const std::string &prog) {
  const char *path = std::getenv("PATH");
  std::string dirs = path ? path : "/usr/bin:/bin";
  for (size_t start = 0; start <= dirs.size();) {
    size_t end = dirs.find(':', start);
    if (end == std::string::npos)
      end = dirs.size();
    std::string dir = dirs.substr(start, end - start);
    if (access(((dir.empty() ? "." : dir) + "/" + prog).c_str(), X_OK) == 0)
      return true;
    start = end + 1;
  }
  return false;
}

// A temporary file that removes itself.
struct TempFile {
  std::string path;
  explicit TempFile(std::string tmpl) {
    int fd = mkstemps(tmpl.data(), (int)(tmpl.size() - tmpl.rfind('X') - 1));
    if (fd < 0)
      throw InputError("cannot create a temporary file like '" + tmpl +
                       "': " + std::strerror(errno));
    close(fd);
    path = tmpl;
  }
  ~TempFile() {
    if (!path.empty())
      unlink(path.c_str());
  }
  void write(const std::string &text) const {
    FILE *f = std::fopen(path.c_str(), "w");
    bool ok = f && std::fwrite(text.data(), 1, text.size(), f) == text.size();
    if (!f || (std::fclose(f) != 0) || !ok)
      throw InputError("cannot write '" + path + "'");
  }
};

} // namespace

std::string terminal_for(const std::string &out) {
  if (ends_with(out, ".png"))
    return "pngcairo size 1200,700 noenhanced font ',11'";
  if (ends_with(out, ".svg"))
    return "svg size 1200,700 noenhanced font 'sans,11' background rgb 'white'";
  throw InputError("'" + out + "': the plot file must end in .png or .svg");
}

std::string plot_script(const std::string &terminal, const std::string &out,
                        const std::string &data, const std::vector<std::string> &labels) {
  std::string s = "set terminal " + terminal + "\n" + "set output " + quoted(out) + "\n" +
                  "set title 'memset: median ticks per call across runs'\n"
                  "set xlabel 'fill length (bytes)'\n"
                  "set ylabel 'time-stamp-counter ticks per call'\n"
                  "set logscale x 2\n"
                  "set xrange [1:32768]\n"
                  "set yrange [0:*]\n"
                  "set grid\n"
                  "set key top left\n"
                  "plot ";
  for (size_t i = 0; i < labels.size(); i++)
    s += (i ? ", \\\n     " : "") + quoted(data) + " using 1:" + std::to_string(i + 2) +
         " with lines lw 1.5 title " + quoted(labels[i]);
  return s + "\n";
}

void plot_curves(const std::vector<std::string> &labels, const std::vector<Levels> &curves,
                 const std::string &out, bool force) {
  std::string terminal = terminal_for(out);
  if (!on_path("gnuplot"))
    throw InputError("gnuplot not found; install it (Debian: apt-get install gnuplot-nox)");
  struct stat st;
  if (!force && stat(out.c_str(), &st) == 0)
    throw InputError("'" + out + "' already exists; use --force to replace it");

  std::string table;
  char buf[64];
  for (size_t k = 0; k < curves[0].size(); k++) {
    std::snprintf(buf, sizeof buf, "%zu", k + 1);
    table += buf;
    for (const auto &c : curves) {
      std::snprintf(buf, sizeof buf, " %.1f", c[k]);
      table += buf;
    }
    table += '\n';
  }
  TempFile data("/tmp/memset-report-XXXXXX.dat");
  data.write(table);
  // Drawn beside the target and renamed over it only when gnuplot succeeds.
  TempFile drawn(out + ".tmp-XXXXXX");
  TempFile script("/tmp/memset-report-XXXXXX.gp");
  script.write(plot_script(terminal, drawn.path, data.path, labels));

  char prog[] = "gnuplot";
  std::string script_path = script.path;
  char *argv[] = {prog, script_path.data(), nullptr};
  pid_t pid;
  int err = posix_spawnp(&pid, prog, nullptr, nullptr, argv, environ);
  if (err != 0)
    throw InputError(std::string("cannot run gnuplot: ") + std::strerror(err));
  int status = 0;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
    throw InputError("gnuplot failed; '" + out + "' not written");
  chmod(drawn.path.c_str(), 0644);
  if (rename(drawn.path.c_str(), out.c_str()) != 0)
    throw InputError("cannot write '" + out + "': " + std::strerror(errno));
  drawn.path.clear();
}

} // namespace report
