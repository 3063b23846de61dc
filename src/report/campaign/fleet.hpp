#pragma once
// The same campaign on many machines: GNU parallel logs into every host
// over ssh (its sshlogin format, its --ssh), runs this tool's campaign
// there in a scratch folder of its own, and brings the folder back whole
// into DIR/HOST (rsync, its --return), then cleans up. One job a host,
// pinned to it (hostgroups), all hosts at once, each campaign alone on its
// host. The campaign's words travel in the environment (--env), never
// through parallel's replacement strings or an unquoted shell.

#include "report/formats/fleet_file.hpp"

#include <string>
#include <vector>

namespace report {

// Exit statuses of the remote wrapper, apart from the campaign's own:
// memset-report is not on the host's PATH, or says another version.
constexpr int kRemoteMissing = 96, kRemoteOtherVersion = 97;
// ssh's own, when it cannot reach or log into the host.
constexpr int kSshFailed = 255;

struct FleetRequest {
  std::string out;                   // DIR: a folder a host each
  std::vector<FleetHost> hosts;      // from the hosts file, or the record with --more
  std::vector<std::string> campaign; // "run", its options (no --out); with --more: none
  bool more = false;                 // go on with each host's campaign in DIR/HOST
  std::vector<std::string>
      more_words;      // with --more: what each host's run --more takes too (--budget S)
  std::string ssh;     // parallel's --ssh; "" for ssh
  std::string version; // this tool's: every host's must say the same
};

// How a host's job ended, from parallel's job log: its exit value and
// signal; none where the host has no line (its job never ended).
struct JobEnd {
  int exit = 0, signal = 0;
};
// The job log's lines by host folder (the job's argument). Strict about
// its header; lines it cannot read are left out.
std::vector<std::pair<std::string, JobEnd>> read_joblog(const std::string &text);

// The state of a host whose job ended so (or never ended), given whether
// its folder came back whole and whether the fleet was interrupted.
HostState host_state(const JobEnd *end, bool folder_whole, bool fleet_interrupted);

// Runs the fleet: checks that GNU parallel is there, starts it, shows each
// host's progress prefixed with its name, and records each host's end in
// DIR/fleet.txt (written whole). Interrupted, the hosts that had not come
// back are recorded as such. The record says how every host ended.
FleetRecord run_fleet(const FleetRequest &r, bool &interrupted);

} // namespace report
