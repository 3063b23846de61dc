#pragma once
// How a variant is started: the one owner of the environment and the
// command line that its benchmark (either engine), memset-probe, the C
// library's tunables listing and a program campaign's command all run
// under, so that what is measured, what is probed and what is recorded are
// the same thing. A variant's own C library and loader belong here.

#include "report/campaign/libc_tree.hpp"
#include "report/sys/process.hpp"

#include <optional>

#include <string>
#include <vector>

namespace report {

// glibc's dynamic loader, which lists its tunables (glibc 2.33 and later).
constexpr const char *kLoader = "/lib64/ld-linux-x86-64.so.2";

// A copy of `program` whose interpreter is `tree`'s loader and whose run
// path is its library path (then the program's own folder), made with
// patchelf once per program and tree in a scratch folder this process
// removes when it ends: started directly, as glibc's test programs built
// with their build's paths are. A RunFailed saying why where none can be
// made (a static program, a script), a SystemError without patchelf.
std::string started_copy(const std::string &program, const LibcTree &tree);

class Launch {
public:
  Launch() = default;
  // The campaign's settings (NAME=VALUE, its preload among them) with the
  // variant's own replacing those of the same name; run through `libc`'s
  // loader where it has a C library of its own.
  Launch(const std::vector<std::string> &common, const std::vector<std::string> &own = {},
         std::optional<LibcTree> libc = std::nullopt);

  // What the variant sets, as the record keeps it.
  const std::vector<std::string> &settings() const { return settings_; }
  // Its whole environment: this tool's, with the variant's settings
  // replacing any of the same name.
  std::vector<std::string> environment() const;
  // The same variant without its GLIBC_TUNABLES.
  Launch without_tunables() const;
  // No settings, and no GLIBC_TUNABLES inherited either: glibc's defaults,
  // of `libc` where it is given, of the system's library otherwise.
  static Launch glibc_defaults(std::optional<LibcTree> libc = std::nullopt);
  // Its GLIBC_TUNABLES entry, whole; "" for none.
  std::string tunables_entry() const;
  bool preloads() const;
  // The dynamic loader its programs start under, which lists its tunables.
  std::string loader() const { return libc_ ? libc_->loader : kLoader; }
  // Its own C library; none: the system's.
  const std::optional<LibcTree> &libc() const { return libc_; }

  // The command `argv` as the variant runs it: under its environment,
  // looked up on PATH where `search_path`, and where it has a C library of
  // its own, as a copy that names that library's loader and library path
  // (started_copy), or, for campaigns from before copies, through its
  // loader. Either way only programs, not scripts, and only the first:
  // what they start runs the system's library. A RunFailed where no copy
  // can be made.
  Command command(std::vector<std::string> argv, bool search_path = false) const;

  // Its loader itself, run with `args` (--list-tunables, --version) under
  // its environment.
  Command loader_command(std::vector<std::string> args) const;

  bool operator==(const Launch &o) const { return settings_ == o.settings_ && libc_ == o.libc_; }
  bool operator!=(const Launch &o) const { return !(*this == o); }

private:
  std::vector<std::string> settings_;
  bool inherit_tunables_ = true;
  std::optional<LibcTree> libc_;
};

} // namespace report
