// Whether a preloaded memset is the one the benchmark binds.

#include "report/campaign/preload.hpp"

#include "report/sys/environment.hpp"
#include "report/sys/errors.hpp"
#include "report/sys/files.hpp"
#include "report/sys/process.hpp"
#include "report/sys/text.hpp"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace fs = std::filesystem;

namespace report {

namespace {

std::string canonical_or_same(const std::string &p) {
  std::error_code ec;
  auto c = fs::canonical(p, ec);
  return ec ? p : c.string();
}

// A folder of its own for the check's files, removed however it ends.
struct TempDir {
  std::string path;
  TempDir() {
    std::string tmpl = temp_dir() + "/memset-report-preload-XXXXXX";
    if (!mkdtemp(tmpl.data()))
      throw SystemError(os_error("create", tmpl, errno));
    path = tmpl;
  }
  ~TempDir() {
    std::error_code ec;
    fs::remove_all(path, ec);
  }
};

} // namespace

std::vector<std::string> preload_entries(const std::string &value) {
  std::vector<std::string> out;
  std::string cur;
  for (char c : value + ":") {
    if (c == ':' || c == ' ' || c == '\t') {
      if (!cur.empty())
        out.push_back(cur);
      cur.clear();
    } else {
      cur += c;
    }
  }
  return out;
}

std::vector<Binding> memset_bindings(const std::string &log) {
  // "  1234:\tbinding file BENCH [0] to LIB [0]: normal symbol `memset' [GLIBC_2.2.5]"
  std::vector<Binding> out;
  std::istringstream in(log);
  const std::string file = "binding file ", to = " to ";
  for (std::string line; std::getline(in, line);) {
    if (line.find("normal symbol `memset'") == std::string::npos)
      continue;
    size_t f = line.find(file), t = line.find(to, f == std::string::npos ? 0 : f);
    if (f == std::string::npos || t == std::string::npos)
      continue;
    size_t from_end = line.rfind(" [", t), to_end = line.find(" [", t + to.size());
    if (from_end == std::string::npos || from_end < f || to_end == std::string::npos)
      continue;
    out.push_back({line.substr(f + file.size(), from_end - f - file.size()),
                   line.substr(t + to.size(), to_end - t - to.size())});
  }
  return out;
}

void check_preload(const std::string &bench, const Launch &launch, const std::string &variant,
                   double timeout) {
  const std::vector<std::string> env = launch.environment();
  std::vector<std::string> preloads;
  for (const auto &e : env)
    if (is_preload_entry(e))
      for (const auto &p : preload_entries(e.substr(std::string(kPreloadPrefix).size())))
        preloads.push_back(canonical_or_same(p));
  if (preloads.empty())
    return;
  TempDir dir;
  Command cmd = launch.command({bench, dir.path + "/result.txt"});
  cmd.env->push_back("LD_DEBUG=bindings");
  cmd.env->push_back("LD_DEBUG_OUTPUT=" + dir.path + "/bindings");
  cmd.timeout = timeout;
  cmd.output_to_stderr = true;
  std::string what = "variant " + printable(variant) + ": checking its LD_PRELOAD";
  Outcome out = run_program(cmd);
  if (out.kind == Outcome::Interrupted)
    throw Interrupted(out.code, what + " interrupted by " + signal_name(out.code));
  if (!out.ok())
    throw RunFailed(what + ": benchmark " + out.describe());
  std::vector<Binding> bound;
  auto preloaded = [&](const std::string &p) {
    return std::find(preloads.begin(), preloads.end(), canonical_or_same(p)) != preloads.end();
  };
  for (const auto &f : fs::directory_iterator(dir.path))
    if (f.path().filename().string().rfind("bindings", 0) == 0) {
      std::ifstream in(f.path());
      std::stringstream s;
      s << in.rdbuf();
      for (auto &b : memset_bindings(s.str()))
        if (!preloaded(b.from))
          bound.push_back(b);
    }
  if (bound.empty())
    throw RunFailed(what +
                    ": the dynamic linker bound no memset, so the preload cannot be "
                    "checked (is '" +
                    bench + "' a dynamically linked program?)");
  for (const auto &b : bound)
    if (!preloaded(b.to))
      throw RunFailed(what + ": memset is bound to '" + b.to +
                      "', not to the preloaded library; check the path, and that the library "
                      "exports memset");
}

} // namespace report
