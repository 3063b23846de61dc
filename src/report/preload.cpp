// Whether a preloaded memset is the one the benchmark binds.

#include "preload.hpp"

#include "errors.hpp"
#include "files.hpp"
#include "process.hpp"
#include "text.hpp"

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
    const char *tmp = std::getenv("TMPDIR");
    std::string tmpl = std::string(tmp && *tmp ? tmp : "/tmp") + "/memset-report-preload-XXXXXX";
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

std::vector<std::string> memset_bindings(const std::string &log) {
  // "  1234:\tbinding file BENCH [0] to LIB [0]: normal symbol `memset' [GLIBC_2.2.5]"
  std::vector<std::string> out;
  std::istringstream in(log);
  for (std::string line; std::getline(in, line);) {
    if (line.find("normal symbol `memset'") == std::string::npos)
      continue;
    size_t to = line.find(" to "), end = line.find(" [", to == std::string::npos ? 0 : to + 4);
    if (to != std::string::npos && end != std::string::npos)
      out.push_back(line.substr(to + 4, end - to - 4));
  }
  return out;
}

void check_preload(const std::string &bench, const std::vector<std::string> &env,
                   const std::string &variant, double timeout) {
  std::vector<std::string> preloads;
  for (const auto &e : env)
    if (e.rfind("LD_PRELOAD=", 0) == 0)
      for (const auto &p : preload_entries(e.substr(11)))
        preloads.push_back(canonical_or_same(p));
  if (preloads.empty())
    return;
  TempDir dir;
  Command cmd;
  cmd.argv = {bench, dir.path + "/result.txt"};
  cmd.env = env;
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
  std::vector<std::string> bound;
  for (const auto &f : fs::directory_iterator(dir.path))
    if (f.path().filename().string().rfind("bindings", 0) == 0) {
      std::ifstream in(f.path());
      std::stringstream s;
      s << in.rdbuf();
      for (auto &b : memset_bindings(s.str()))
        bound.push_back(b);
    }
  if (bound.empty())
    throw RunFailed(what +
                    ": the dynamic linker bound no memset, so the preload cannot be "
                    "checked (is '" +
                    bench + "' a dynamically linked program?)");
  for (const auto &b : bound)
    if (std::find(preloads.begin(), preloads.end(), canonical_or_same(b)) == preloads.end())
      throw RunFailed(what + ": memset is bound to '" + b +
                      "', not to the preloaded library; check the path, and that the library "
                      "exports memset");
}

} // namespace report
