// fleet.txt and the hosts file: written and read here alone.

#include "report/formats/fleet_file.hpp"

#include "report/formats/record_values.hpp"
#include "report/sys/errors.hpp"
#include "report/sys/process.hpp"
#include "report/sys/text.hpp"

#include <set>

namespace report {

namespace {

constexpr const char *kMark = "# memset-report fleet 1";
constexpr const char *kStateNames[] = {"ok",     "unreachable", "missing", "version",
                                       "failed", "interrupted", "not-back"};
constexpr size_t kStates = sizeof kStateNames / sizeof kStateNames[0];
// A line of fleet.txt or of a hosts file longer than this is no such line.
constexpr size_t kMaxLine = 4096;

// The lines of `text`; a refusal past kMaxLine.
std::vector<std::string> lines_of(const std::string &text, const std::string &name) {
  std::vector<std::string> out = split_lines(text);
  for (size_t i = 0; i < out.size(); i++)
    if (out[i].size() > kMaxLine)
      throw InputError(name + ":" + std::to_string(i + 1) + ": a line of more than " +
                       std::to_string(kMaxLine) + " bytes");
  return out;
}

bool folder_char(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' ||
         c == '_' || c == '-';
}

bool is_folder_name(const std::string &s) {
  if (s.empty() || s == "." || s == "..")
    return false;
  for (char c : s)
    if (!folder_char(c))
      return false;
  return true;
}

} // namespace

const char *host_state_name(HostState s) { return kStateNames[(int)s]; }

std::optional<HostState> host_state_named(const std::string &word) {
  for (size_t k = 0; k < kStates; k++)
    if (word == kStateNames[k])
      return (HostState)k;
  return std::nullopt;
}

std::optional<std::string> host_folder(const std::string &sshlogin) {
  std::string s = sshlogin;
  // "4/host": a count of CPUs first.
  size_t slash = s.find('/');
  if (slash != std::string::npos && slash > 0 && s.find_first_not_of("0123456789") == slash)
    s = s.substr(slash + 1);
  // "ssh -p 2222 user@host": the host is the last word.
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t'))
    s.pop_back();
  size_t space = s.find_last_of(" \t");
  if (space != std::string::npos)
    s = s.substr(space + 1);
  if (s == ":")
    return std::string("local");
  size_t at = s.rfind('@');
  if (at != std::string::npos)
    s = s.substr(at + 1);
  for (char &c : s)
    if (!folder_char(c))
      c = '_';
  if (s.empty() || s == "." || s == "..")
    return std::nullopt;
  return s;
}

std::vector<FleetHost> read_hosts(const std::string &text, const std::string &name) {
  std::vector<FleetHost> hosts;
  std::set<std::string> folders;
  const std::vector<std::string> lines = lines_of(text, name);
  for (size_t i = 0; i < lines.size(); i++) {
    std::string line = lines[i];
    while (!line.empty() && (line.back() == ' ' || line.back() == '\t' || line.back() == '\r'))
      line.pop_back();
    size_t first = line.find_first_not_of(" \t");
    if (first == std::string::npos || line[first] == '#')
      continue;
    line = line.substr(first);
    auto refuse = [&](const std::string &what) {
      throw InputError(name + ":" + std::to_string(i + 1) + ": " + printable(what));
    };
    if (line[0] == '@')
      refuse("a hostgroup ('" + line + "'): the fleet gives every host its own; name hosts alone");
    std::optional<std::string> folder = host_folder(line);
    if (!folder)
      refuse("no host in '" + line + "'");
    // A login of several words is "SSHCOMMAND [OPTIONS] [USER@]HOST": its
    // first word is what GNU parallel runs to reach the host.
    if (const size_t space = line.find_first_of(" \t"); space != std::string::npos) {
      const std::string command = line.substr(0, space);
      if (!find_program(command))
        refuse("'" + line + "': '" + command +
               "' is no command found on PATH; a login of several words is 'SSHCOMMAND "
               "[OPTIONS] [USER@]HOST', one host a line");
    }
    if (hosts.size() == kMaxHosts)
      refuse("more than " + std::to_string(kMaxHosts) + " hosts");
    std::string unique = *folder;
    for (int k = 2; folders.count(unique); k++)
      unique = *folder + "-" + std::to_string(k);
    folders.insert(unique);
    hosts.push_back({unique, line, HostState::Ok, ""});
  }
  if (hosts.empty())
    throw InputError(name + ": no hosts (one sshlogin a line: host, user@host, 4/host, ':' for "
                            "this machine)");
  return hosts;
}

std::string format_fleet(const FleetRecord &r) {
  std::string o = std::string(kMark) + "\n";
  o += "campaign: " + escaped(shell_words(r.campaign)) + "\n";
  o += "version: " + escaped(r.version) + "\n";
  o += "date: " + escaped(r.date) + "\n";
  for (const auto &h : r.hosts) {
    o += "host: " + h.folder + " " + host_state_name(h.state) + " " + escaped(h.login) + "\n";
    if (!h.why.empty())
      o += "why: " + h.folder + " " + escaped(h.why) + "\n";
  }
  return o;
}

FleetRecord parse_fleet(const std::string &text, const std::string &name) {
  FleetRecord r;
  const std::vector<std::string> lines = lines_of(text, name);
  if (lines.empty() || lines[0] != kMark)
    throw InputError(name + ": not a fleet's record (its first line is not '" + kMark + "')");
  std::set<std::string> folders;
  for (size_t i = 1; i < lines.size(); i++) {
    const std::string &line = lines[i];
    auto refuse = [&](const std::string &what) {
      throw InputError(name + ":" + std::to_string(i + 1) + ": " + printable(what));
    };
    if (line.empty())
      continue;
    size_t colon = line.find(": ");
    if (colon == std::string::npos)
      refuse("not 'key: value': '" + line + "'");
    const std::string key = line.substr(0, colon), v = line.substr(colon + 2);
    if (key == "campaign") {
      r.campaign.clear();
      // The words as the shell reads them back: the fleet wrote them quoted.
      std::string words = unescaped(v), w;
      bool quoted = false, any = false;
      for (size_t k = 0; k < words.size(); k++) {
        char c = words[k];
        if (c == '\'') {
          quoted = !quoted, any = true;
        } else if (c == ' ' && !quoted) {
          if (any)
            r.campaign.push_back(w);
          w.clear(), any = false;
        } else if (c == '\\' && !quoted && k + 1 < words.size()) {
          w += words[++k], any = true;
        } else {
          w += c, any = true;
        }
      }
      if (any)
        r.campaign.push_back(w);
    } else if (key == "version") {
      r.version = unescaped(v);
    } else if (key == "date") {
      r.date = unescaped(v);
    } else if (key == "host" || key == "why") {
      auto [folder, rest] = split_first(v);
      if (!is_folder_name(folder))
        refuse("a host's folder cannot be '" + folder + "'");
      if (key == "why") {
        if (r.hosts.empty() || r.hosts.back().folder != folder)
          refuse("a 'why' line not after its host's line");
        r.hosts.back().why = unescaped(rest);
        continue;
      }
      auto [state, login] = split_first(rest);
      std::optional<HostState> s = host_state_named(state);
      if (!s)
        refuse("a host's state cannot be '" + state + "'");
      if (!folders.insert(folder).second)
        refuse("host '" + folder + "' a second time");
      if (r.hosts.size() == kMaxHosts)
        refuse("more than " + std::to_string(kMaxHosts) + " hosts");
      r.hosts.push_back({folder, unescaped(login), *s, ""});
    }
    // Other keys are a later version's notes.
  }
  if (r.hosts.empty())
    throw InputError(name + ": a fleet's record without hosts");
  return r;
}

} // namespace report
