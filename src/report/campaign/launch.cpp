// How a variant is started.

#include "report/campaign/launch.hpp"

#include "report/sys/environment.hpp"
#include "report/sys/errors.hpp"
#include "report/sys/files.hpp"
#include "report/sys/text.hpp"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <mutex>
#include <sstream>

extern char **environ;

namespace report {

namespace {

// `base` with `over` replacing the entries of the same name.
std::vector<std::string> merged(const std::vector<std::string> &base,
                                const std::vector<std::string> &over) {
  std::vector<std::string> out;
  for (const auto &b : base)
    if (std::none_of(over.begin(), over.end(),
                     [&](const std::string &o) { return env_name(o) == env_name(b); }))
      out.push_back(b);
  out.insert(out.end(), over.begin(), over.end());
  return out;
}

// The copies this process made, by program and tree, in one scratch folder
// of its own that goes when the process ends.
class Copies {
public:
  ~Copies() {
    std::error_code ec;
    if (!dir_.empty())
      std::filesystem::remove_all(dir_, ec);
  }

  std::string of(const std::string &program, const LibcTree &tree) {
    const std::lock_guard<std::mutex> hold(lock_);
    const std::string key = program + '\n' + tree.loader + '\n' + tree.library_path();
    if (auto at = made_.find(key); at != made_.end())
      return at->second;
    namespace fs = std::filesystem;
    const std::string copy = folder() + "/" + std::to_string(made_.size() + 1) + "-" +
                             fs::path(program).filename().string();
    std::error_code ec;
    fs::copy_file(program, copy, ec);
    if (ec)
      throw RunFailed("cannot copy " + printable(program) + " to start it with " +
                      printable(tree.loader) + ": " + ec.message());
    // After the tree's folders, the program's own run path, its $ORIGIN
    // read as the folder the program lies in: what it found beside itself
    // (memset-batch's empty function) it finds there still.
    const std::string origin = fs::path(program).parent_path().string();
    std::string rpath = tree.library_path();
    const std::string own = patchelf(program, {"--print-rpath", copy}, tree);
    for (size_t start = 0; start < own.size();) {
      size_t end = std::min(own.find_first_of(":\n", start), own.size());
      if (end > start)
        rpath += ":" + with_origin(own.substr(start, end - start), origin);
      start = end + 1;
    }
    patchelf(program,
             {"--set-interpreter", tree.loader, "--force-rpath", "--set-rpath", rpath, copy}, tree);
    return made_[key] = copy;
  }

private:
  // What `patchelf ARGS` prints, for the copy of `program`; a RunFailed
  // saying why where it fails (a static program has no interpreter to
  // name), a SystemError where patchelf cannot be started.
  std::string patchelf(const std::string &program, std::vector<std::string> args,
                       const LibcTree &tree) {
    TempFile said(folder() + "/patchelf-out"), why(folder() + "/patchelf-err");
    SignalScope signals;
    Command cmd;
    cmd.argv = {"patchelf"};
    cmd.argv.insert(cmd.argv.end(), args.begin(), args.end());
    cmd.search_path = true;
    cmd.timeout = 60;
    cmd.stdout_path = said.path();
    cmd.stderr_path = why.path();
    Outcome out = run_program(cmd);
    if (out.kind == Outcome::NotStarted)
      throw SystemError("cannot start patchelf, which makes the copy of " + printable(program) +
                        " that a variant with a C library of its own starts (Debian: apt-get "
                        "install patchelf)");
    if (!out.ok()) {
      std::ifstream in(why.path());
      std::string line;
      std::getline(in, line);
      throw RunFailed(printable(program) +
                      " cannot be started as the campaign starts programs, as a copy whose "
                      "interpreter is " +
                      printable(tree.loader) + ": patchelf " + out.describe() +
                      (line.empty() ? "" : " (" + printable(line) + ")") +
                      (is_elf_file(program) ? "" : "; it is not an ELF program"));
    }
    std::ifstream in(said.path());
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
  }

  // A folder of a run path with $ORIGIN (or ${ORIGIN}) read as `origin`.
  static std::string with_origin(std::string dir, const std::string &origin) {
    for (const char *var : {"${ORIGIN}", "$ORIGIN"})
      for (size_t at; (at = dir.find(var)) != std::string::npos;)
        dir.replace(at, std::string(var).size(), origin);
    return dir;
  }

  std::string folder() {
    if (dir_.empty()) {
      std::string name = temp_dir() + "/memset-report-start-XXXXXX";
      if (!mkdtemp(name.data()))
        throw SystemError(os_error("make a folder in", temp_dir(), errno));
      dir_ = name;
    }
    return dir_;
  }
  std::mutex lock_;
  std::string dir_;
  std::map<std::string, std::string> made_;
};

Copies &copies() {
  static Copies c;
  return c;
}

} // namespace

std::string started_copy(const std::string &program, const LibcTree &tree) {
  return copies().of(program, tree);
}

Launch::Launch(const std::vector<std::string> &common, const std::vector<std::string> &own,
               std::optional<LibcTree> libc)
    : settings_(merged(common, own)), libc_(std::move(libc)) {}

std::vector<std::string> Launch::environment() const {
  std::vector<std::string> own;
  for (char **e = environ; *e; ++e)
    if (inherit_tunables_ || !is_tunables_entry(*e))
      own.push_back(*e);
  return merged(own, settings_);
}

Launch Launch::glibc_defaults(std::optional<LibcTree> libc) {
  Launch l;
  l.inherit_tunables_ = false;
  l.libc_ = std::move(libc);
  return l;
}

Launch Launch::without_tunables() const {
  Launch l = *this;
  l.settings_.erase(std::remove_if(l.settings_.begin(), l.settings_.end(), is_tunables_entry),
                    l.settings_.end());
  return l;
}

std::string Launch::tunables_entry() const {
  std::string entry;
  for (const auto &e : settings_)
    if (is_tunables_entry(e))
      entry = e;
  return entry;
}

bool Launch::preloads() const {
  return std::any_of(settings_.begin(), settings_.end(), is_preload_entry);
}

Command Launch::loader_command(std::vector<std::string> args) const {
  args.insert(args.begin(), loader());
  Command cmd;
  cmd.argv = std::move(args);
  cmd.env = environment();
  return cmd;
}

Command Launch::command(std::vector<std::string> argv, bool search_path) const {
  Command cmd;
  cmd.env = environment();
  if (libc_) {
    // The loader, and a copy, take a path: look the program up here, as
    // execvp would.
    if (search_path && !argv.empty())
      argv[0] = find_program(argv[0]).value_or(argv[0]);
    if (libc_->start == LibcTree::Start::Copy && !argv.empty()) {
      // Started as a program is, so that its code lies where a program's
      // does (the kernel's place, far from the libraries), not beside the
      // loader, which it is when the loader starts it: on AMD's Zen 4 that
      // alone takes 2 ticks off every short fill. argv[0] stays its name.
      cmd.file = started_copy(argv[0], *libc_);
      cmd.argv = std::move(argv);
      return cmd;
    }
    std::vector<std::string> words = libc_->prefix();
    words.insert(words.end(), argv.begin(), argv.end());
    cmd.argv = std::move(words);
    return cmd;
  }
  cmd.argv = std::move(argv);
  cmd.search_path = search_path;
  return cmd;
}

} // namespace report
