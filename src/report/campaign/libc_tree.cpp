// Where a glibc build tree or install prefix keeps its loader and library.

#include "report/campaign/libc_tree.hpp"

#include "report/formats/campaign_folder.hpp"
#include "report/sys/errors.hpp"
#include "report/sys/files.hpp"
#include "report/sys/text.hpp"

#include <cstdio>
#include <cstring>
#include <filesystem>

namespace fs = std::filesystem;

namespace report {

namespace {

constexpr const char *kLoaderName = "ld-linux-x86-64.so.2";
constexpr const char *kLibcName = "libc.so.6";
// glibc's testrun.sh is a page of shell; a megabyte is no testrun.sh.
constexpr size_t kMaxScriptBytes = 1 << 20;
// The folders of a build tree that hold its shared libraries, as glibc's
// Makeconfig lists them (rpath-dirs) after the tree's own top.
const char *const kBuildDirs[] = {"math", "elf",    "dlfcn",   "nss",    "nis",
                                  "rt",   "resolv", "mathvec", "support"};

bool is_file(const fs::path &p) {
  std::error_code ec;
  return fs::is_regular_file(p, ec); // follows links: a build's libc.so.6 is one
}

std::string absolute(const std::string &p) {
  std::error_code ec;
  fs::path a = fs::absolute(p, ec);
  return (ec ? fs::path(p) : a).lexically_normal().string();
}

std::vector<std::string> split_dirs(const std::string &dirs) {
  std::vector<std::string> out;
  for (size_t start = 0; start <= dirs.size();) {
    size_t end = std::min(dirs.find(':', start), dirs.size());
    if (end > start)
      out.push_back(dirs.substr(start, end - start));
    start = end + 1;
  }
  return out;
}

// A word of testrun.sh with its own folder put in and its quotes taken off.
std::string unquoted(std::string word, const std::string &builddir) {
  for (const char *var : {"\"${builddir}\"", "${builddir}"})
    for (size_t at; (at = word.find(var)) != std::string::npos;)
      word.replace(at, std::string(var).size(), builddir);
  std::string out;
  for (char c : word)
    if (c != '"' && c != '\'')
      out += c;
  return out;
}

LibcTree checked(LibcTree t, const std::string &asked, const std::string &who) {
  if (!is_file(t.loader))
    throw UsageError(who + ": " + asked + ": no dynamic loader at " + printable(t.loader));
  if (t.libc().empty())
    throw UsageError(who + ": " + asked + ": no " + kLibcName + " in its library path (" +
                     printable(t.library_path()) + ")");
  return t;
}

} // namespace

std::string LibcTree::library_path() const {
  std::string s;
  for (const auto &d : dirs)
    s += (s.empty() ? "" : ":") + d;
  return s;
}

std::string LibcTree::libc() const {
  for (const auto &d : dirs)
    if (is_file(fs::path(d) / kLibcName))
      return (fs::path(d) / kLibcName).string();
  return "";
}

std::vector<std::string> LibcTree::prefix() const {
  return {loader, "--library-path", library_path()};
}

std::vector<std::string> testrun_library_path(const std::string &script,
                                              const std::string &builddir) {
  const std::string option = "--library-path";
  auto at = script.find(option + " ");
  if (at == std::string::npos)
    return {};
  size_t from = at + option.size() + 1, to = script.find_first_of(" \t\n", from);
  std::vector<std::string> dirs;
  for (const auto &d : split_dirs(unquoted(script.substr(from, to - from), builddir)))
    dirs.push_back(absolute(d));
  return dirs;
}

LibcTree find_libc_tree(const std::string &path, const std::string &who) {
  const fs::path top = absolute(path);
  const std::string asked = "--libc " + printable(path);
  std::error_code ec;
  if (!fs::is_directory(top, ec))
    throw UsageError(who + ": " + asked + ": " +
                     (fs::exists(top, ec) ? "not a folder" : "no such folder") +
                     " (a glibc build tree or install prefix)");
  // A build tree: its testrun.sh says how it starts programs; without one,
  // its loader is elf/ld.so and its libraries are where glibc's Makeconfig
  // puts them.
  fs::path testrun = top / "testrun.sh", built_loader = top / "elf" / kLoaderName;
  if (!is_file(built_loader))
    built_loader = top / "elf" / "ld.so";
  if (is_file(testrun) || is_file(built_loader)) {
    LibcTree t{built_loader.string(), {}};
    if (is_file(testrun))
      t.dirs = testrun_library_path(
          read_regular_file(testrun.string(), kMaxScriptBytes, "a build tree's testrun.sh"),
          top.string());
    if (t.dirs.empty()) {
      t.dirs.push_back(top.string());
      for (const char *d : kBuildDirs)
        if (fs::is_directory(top / d, ec))
          t.dirs.push_back((top / d).string());
    }
    return checked(t, asked, who);
  }
  // An install prefix: its loader in lib/ or lib64/, its libraries in lib/
  // (or Debian's multiarch folder below it).
  for (const char *lib : {"lib", "lib64"})
    if (is_file(top / lib / kLoaderName)) {
      LibcTree t{(top / lib / kLoaderName).string(), {}};
      for (const fs::path &d : {top / "lib", top / "lib64", top / "lib" / "x86_64-linux-gnu"})
        if (is_file(d / kLibcName))
          t.dirs.push_back(d.string());
      if (t.dirs.empty())
        throw UsageError(who + ": " + asked + ": no " + kLibcName + " in " +
                         (top / "lib").string() + " or " + printable((top / "lib64").string()));
      return checked(t, asked, who);
    }
  throw UsageError(who + ": " + asked +
                   ": holds no dynamic loader (neither a build tree's testrun.sh or elf/ld.so "
                   "nor an install prefix's lib/" +
                   kLoaderName + ")");
}

LibcTree explicit_libc_tree(const std::string &loader, const std::string &dirs,
                            const std::string &who) {
  LibcTree t{absolute(loader), {}};
  for (const auto &d : split_dirs(dirs))
    t.dirs.push_back(absolute(d));
  if (t.dirs.empty())
    throw UsageError(who + ": --library-path needs at least one folder");
  return checked(t, "--loader " + printable(loader), who);
}

bool is_elf_file(const std::string &path) {
  std::FILE *f = std::fopen(path.c_str(), "rb");
  if (!f)
    return false;
  char magic[4] = {};
  bool elf = std::fread(magic, 1, 4, f) == 4 && std::memcmp(magic,
                                                            "\x7f"
                                                            "ELF",
                                                            4) == 0;
  std::fclose(f);
  return elf;
}

const char *start_word(LibcTree::Start s) {
  return s == LibcTree::Start::Copy ? kStartedCopy : kStartedLoader;
}

LibcTree libc_tree_of(const std::string &loader, const std::string &library_path,
                      const std::string &started) {
  LibcTree t{loader, split_dirs(library_path)};
  t.start = started == start_word(LibcTree::Start::Copy) ? LibcTree::Start::Copy
                                                         : LibcTree::Start::Loader;
  return t;
}

} // namespace report
