#pragma once
// Whether a preloaded memset is the one the benchmark binds: ld.so only
// warns about a preload it cannot load, and a library that exports no
// memset is loaded and ignored, so either would measure glibc's memset
// under another name.

#include <optional>
#include <string>
#include <vector>

namespace report {

// The entries of an LD_PRELOAD value (separated by ':' or spaces).
std::vector<std::string> preload_entries(const std::string &value);

// From the dynamic linker's LD_DEBUG=bindings output: the objects the
// symbol memset was bound to, as the lines name them.
std::vector<std::string> memset_bindings(const std::string &debug_output);

// Runs `bench` once with `env` (which sets LD_PRELOAD) and the dynamic
// linker's binding log, and throws RunFailed, naming `variant`, unless every
// binding of memset went to one of the preloaded libraries.
void check_preload(const std::string &bench, const std::vector<std::string> &env,
                   const std::string &variant, double timeout);

} // namespace report
