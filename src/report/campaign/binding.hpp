#pragma once
// What a variant really measures: the memset that a program started in its
// environment binds (object, offset and, where the C library's debug
// symbols are installed, the implementation's name) and the C library's
// tunables in force, as its own loader lists them. A setting that glibc
// ignores is then told apart from one that changed the code.

#include "report/campaign/launch.hpp"

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace report {

// Where Debian's libc6-dbg puts the C library's symbols, by build ID.
constexpr const char *kDebugRoot = "/usr/lib/debug/.build-id";

// A tunable's value as `ld.so --list-tunables` prints it: "0x800", "3",
// "-AVX512F", or "" for a text tunable that is not set.
using Tunables = std::map<std::string, std::string>;

// Reads a listing: "NAME: VALUE (min: A, max: B)" or "NAME: TEXT" lines;
// lines of another shape are ignored. Bounded by what the caller read.
Tunables parse_tunables(const std::string &listing);

// The NAME=VALUE pairs of the GLIBC_TUNABLES entry of `env` (its last one),
// in order; empty without one.
std::vector<std::pair<std::string, std::string>>
requested_tunables(const std::vector<std::string> &env);

// Whether the loader took `value` for a tunable it lists as `listed`:
// numbers compare as numbers ("8192" and "0x2000"), text as text.
bool value_taken(const std::string &value, const std::string &listed);

// From memset-probe's output: "object:", "offset:", "build_id:" lines.
struct MemsetCode {
  std::string object; // the file that holds it, absolute
  std::string offset; // "0x16e040"
  std::string build_id;
  std::string symbol; // "__memset_avx512_unaligned_erms"; "" where unknown
  // The same code: the same offset in the same build of the same object. A
  // build ID names a library's bytes wherever the file lies, so a copy of
  // the system's library is the system's code and a rebuild with a change is
  // not; the path stands in only where an object has no build ID.
  bool same_code(const MemsetCode &o) const;
  // "__memset_avx512_unaligned_erms (/lib/x86_64-linux-gnu/libc.so.6+0x16e040)"
  std::string text() const;
};
std::optional<MemsetCode> parse_probe(const std::string &output);

// The C library a program loaded, from memset-probe's "libc:",
// "libc_version:" and "libc_build_id:" lines.
struct LoadedLibc {
  std::string path, version, build_id;
};
std::optional<LoadedLibc> parse_probe_libc(const std::string &output);

// The symbol at `offset` ("0x16e040") in `nm --defined-only` output; "" for none.
std::string symbol_at(const std::string &nm_output, const std::string &offset);

// What one environment measures, or what could not be learned and why.
struct Measured {
  std::optional<MemsetCode> memset;
  std::string memset_unknown;       // why memset is not known
  std::optional<LoadedLibc> libc;   // the C library loaded, where the probe ran
  std::string loader_version;       // a loader of the variant's own: its --version line
  std::optional<Tunables> tunables; // all of them, as listed
  std::string tunables_unknown;     // why they are not known (not glibc, too old...)
};

// Runs memset-probe (`probe`) and the loader's listing as the variant is
// started (`launch`), each within `timeout` seconds; looks up the
// implementation's name in the object's own symbols (a library built from
// source keeps them) or in its debug symbols where they are installed.
Measured measure_environment(const std::string &probe, const Launch &launch, double timeout);

// Why `program` cannot start as `launch` starts it through a C library of
// its own: the libraries its loader does not find (as its --list mode shows
// them), or how that listing failed; "" where it can.
std::string cannot_start(const Launch &launch, const std::string &program, double timeout);

// Whether a loader's --version line and a C library's banner come from one
// build: the same text from the parenthesis on ("(Debian GLIBC 2.36-9)
// stable release version 2.36."). Two builds of one release from one
// source give the same text; what else tells them apart is their build IDs.
bool same_release(const std::string &loader_version, const std::string &libc_banner);

// The tunables in force that differ from `defaults` (the listing without
// GLIBC_TUNABLES), as "NAME=VALUE"; "defaults" when none do.
std::string tunables_text(const Tunables &in_force, const Tunables &defaults);

// Whether two environments run the same code: the same implementation of
// memset and the same tunables, the instruction-set mask (glibc.cpu.hwcaps)
// aside, since it acts only through the implementation it selects.
bool same_code(const Measured &a, const Measured &b);

} // namespace report
