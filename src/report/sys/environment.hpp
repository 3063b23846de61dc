#pragma once
// Environment entries as the tools pass them to children ("NAME=VALUE"), the
// preload entry among them, and where temporary files go.

#include <cstdlib>
#include <string>

namespace report {

// "NAME" of "NAME=VALUE" (the whole entry where it has no '=').
inline std::string env_name(const std::string &entry) { return entry.substr(0, entry.find('=')); }

// The variable that steers glibc's choice of memset (its tunables).
constexpr const char *kTunablesVar = "GLIBC_TUNABLES";
inline bool is_tunables_entry(const std::string &entry) { return env_name(entry) == kTunablesVar; }

// The entry that preloads a library into the benchmark.
constexpr const char *kPreloadPrefix = "LD_PRELOAD=";
inline std::string preload_entry(const std::string &path) { return kPreloadPrefix + path; }
inline bool is_preload_entry(const std::string &entry) {
  return entry.rfind(kPreloadPrefix, 0) == 0;
}

// The path of `name` in the folder of this tool's own executable, where the
// tools and libraries of the project are installed side by side; `name`
// alone where that cannot be told.
std::string beside_this_tool(const std::string &name);

// The folder for temporary files: TMPDIR where it is set, /tmp otherwise.
inline std::string temp_dir() {
  const char *tmp = std::getenv("TMPDIR");
  return tmp && *tmp ? tmp : "/tmp";
}

} // namespace report
