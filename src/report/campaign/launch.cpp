// How a variant is started.

#include "report/campaign/launch.hpp"

#include "report/sys/environment.hpp"

#include <algorithm>

extern char **environ;

namespace report {

namespace {

constexpr const char *kTunablesVar = "GLIBC_TUNABLES";

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

} // namespace

Launch::Launch(const std::vector<std::string> &common, const std::vector<std::string> &own,
               std::optional<LibcTree> libc)
    : settings_(merged(common, own)), libc_(std::move(libc)) {}

std::vector<std::string> Launch::environment() const {
  std::vector<std::string> own;
  for (char **e = environ; *e; ++e)
    if (inherit_tunables_ || env_name(*e) != kTunablesVar)
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
  l.settings_.erase(
      std::remove_if(l.settings_.begin(), l.settings_.end(),
                     [](const std::string &e) { return env_name(e) == kTunablesVar; }),
      l.settings_.end());
  return l;
}

std::string Launch::tunables_entry() const {
  std::string entry;
  for (const auto &e : settings_)
    if (env_name(e) == kTunablesVar)
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
    // The loader takes a path: look the program up here, as execvp would.
    if (search_path && !argv.empty())
      argv[0] = find_program(argv[0]).value_or(argv[0]);
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
