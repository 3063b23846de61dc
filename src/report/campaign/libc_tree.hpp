#pragma once
// A C library other than the system's, as a variant runs it: a glibc build
// tree or install prefix, started through its own dynamic loader with its
// own library path, as glibc's testrun.sh and its benchmarks do. What is
// found here is only where the files are; whether the library they lead to
// is the one a program loads is the probe's to tell (campaign/binding).

#include <string>
#include <vector>

namespace report {

struct LibcTree {
  std::string loader;            // the dynamic loader, absolute
  std::vector<std::string> dirs; // its library path, absolute, in search order
  // How its programs start: Copy, a copy of each whose interpreter is the
  // loader and whose run path is the library path, started as any program
  // is (campaign/launch); Loader, "LOADER --library-path DIRS PROGRAM", as
  // campaigns did before, kept for them so that `run --more` starts their
  // programs as their first rounds did.
  enum class Start { Copy, Loader } start = Start::Copy;

  // "DIR:DIR", as the loader's --library-path takes it.
  std::string library_path() const;
  // The libc.so.6 the library path leads to first; "" for none.
  std::string libc() const;
  // The words that start `program` through it.
  std::vector<std::string> prefix() const;

  bool operator==(const LibcTree &o) const {
    return loader == o.loader && dirs == o.dirs && start == o.start;
  }
  bool operator!=(const LibcTree &o) const { return !(*this == o); }
};

// The loader and library path of `path` (made absolute): a build tree (its
// testrun.sh, or elf/ld.so beside the library), or an install prefix (lib/
// or lib64/ holding ld-linux-x86-64.so.2, and libc.so.6 there or in
// lib/x86_64-linux-gnu/). A UsageError naming `who` and the path where it
// holds neither a loader nor a libc.so.6.
LibcTree find_libc_tree(const std::string &path, const std::string &who);

// A loader and a library path given as they are ("DIR:DIR"), made absolute
// and checked the same way.
LibcTree explicit_libc_tree(const std::string &loader, const std::string &dirs,
                            const std::string &who);

// Whether `path` is an ELF file: what a loader can start.
bool is_elf_file(const std::string &path);

// Reads "LOADER --library-path DIRS" back from the words the record keeps,
// and how its programs were started ("copy", "loader"; "" in a record from
// before copies: through the loader).
LibcTree libc_tree_of(const std::string &loader, const std::string &library_path,
                      const std::string &started);
// The record's word for how a tree's programs start.
const char *start_word(LibcTree::Start s);

// The library path that testrun.sh `script` (its text) starts programs
// with, `builddir` put in for its own folder; empty where it names none.
std::vector<std::string> testrun_library_path(const std::string &script,
                                              const std::string &builddir);

} // namespace report
