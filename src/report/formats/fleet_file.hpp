#pragma once
// A fleet folder's record, fleet.txt: the campaign every host ran, the
// tool's version, and per host its login, its folder and how its campaign
// ended. Written by `fleet`, read by `summary` to find the hosts' folders
// and to name those that did not answer. The one owner of the file's keys.
//
//   # memset-report fleet 1
//   campaign: run --engine batch --variant default --variant sse2 ...
//   version: 1.0.0+0123456789ab
//   date: 2026-12-10T08:00:00Z
//   host: alpha ok user@alpha.example
//   host: zen3-a unreachable 4/zen3-a
//   why: zen3-a ssh: connect to host zen3-a port 22: Connection refused

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace report {

constexpr const char *kFleetFile = "fleet.txt";
// A hosts file, or fleet.txt, of more lines than this is no fleet.
constexpr size_t kMaxHosts = 4096;

// How a host's campaign ended, as the fleet saw it.
enum class HostState {
  Ok,          // its campaign ended and its folder came back whole
  Unreachable, // ssh could not reach it
  Missing,     // memset-report is not on its PATH
  Version,     // memset-report there is another version
  Failed,      // its campaign failed (a run, its command line, the system)
  Interrupted, // its campaign, or the fleet, was interrupted
  NotBack,     // its campaign ended but its folder did not come back whole
};
const char *host_state_name(HostState s); // "ok", "unreachable", ...
std::optional<HostState> host_state_named(const std::string &word);

struct FleetHost {
  std::string folder; // DIR/FOLDER: letters, digits, '.', '_', '-'
  std::string login;  // the hosts file's line, as GNU parallel's sshlogin
  HostState state = HostState::Ok;
  std::string why; // one line: what the host said, or what was seen
};

struct FleetRecord {
  std::vector<std::string> campaign; // the campaign's words: "run", "--engine", ...
  std::string version, date;
  std::vector<FleetHost> hosts;
};

std::string format_fleet(const FleetRecord &r);
// Strict: the mark first, known keys, every host once with a folder name
// and a state it knows; an InputError naming `name` and the line otherwise.
FleetRecord parse_fleet(const std::string &text, const std::string &name);

// The folder a host's campaign comes back to: the sshlogin's host name
// (without its ssh command, options, user and CPU count), with every other
// character than letters, digits, '.', '_' and '-' as '_'; ':' (this
// machine) is "local". None where nothing is left.
std::optional<std::string> host_folder(const std::string &sshlogin);

// The hosts of a hosts file in GNU parallel's sshlogin format: a login a
// line, '#' comments and blank lines skipped; two logins with one folder
// get "-2", "-3" after the second's. Refused (InputError naming the file
// and line): a hostgroup ('@'), a line without a host, more than
// kMaxHosts hosts, none at all.
std::vector<FleetHost> read_hosts(const std::string &text, const std::string &name);

} // namespace report
