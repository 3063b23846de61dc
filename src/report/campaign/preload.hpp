#pragma once
// Whether a preloaded memset is the one the benchmark binds: ld.so only
// warns about a preload it cannot load, and a library that exports no
// memset is loaded and ignored, so either would measure glibc's memset
// under another name.

#include "report/campaign/launch.hpp"

#include <optional>
#include <string>
#include <vector>

namespace report {

// The entries of an LD_PRELOAD value (separated by ':' or spaces).
std::vector<std::string> preload_entries(const std::string &value);

// From the dynamic linker's LD_DEBUG=bindings output: each binding of the
// symbol memset, as the object that asked and the object that answered.
struct Binding {
  std::string from, to;
};
std::vector<Binding> memset_bindings(const std::string &debug_output);

// Runs `bench` once as the variant is started (`launch`, which sets
// LD_PRELOAD) with the dynamic linker's binding log, and throws RunFailed, naming `variant`, unless
// every binding of memset asked for by anything but the preloads themselves went to one of them. A
// preload may look up the next memset (a wrapper does).
void check_preload(const std::string &bench, const Launch &launch, const std::string &variant,
                   double timeout);

} // namespace report
