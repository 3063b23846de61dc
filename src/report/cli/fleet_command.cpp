// fleet: the same campaign on every host, each folder back into one.

#include "report/campaign/fleet.hpp"
#include "report/cli/commands.hpp"
#include "report/sys/errors.hpp"
#include "report/sys/files.hpp"
#include "report/sys/text.hpp"

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <filesystem>

namespace fs = std::filesystem;

namespace report {

const char *const kVersion = MEMSET_VERSION;

namespace {

// Options the fleet sets on every host itself, or that would make the
// hosts' campaigns other than one campaign.
constexpr const char *kFleetsOwn[] = {"--out", "--more", "--from", "--html"};
const char *const kCampaigns[] = {"run", "tune", "census", "program"};

void check_campaign(const std::vector<std::string> &words) {
  if (std::find(std::begin(kCampaigns), std::end(kCampaigns), words[0]) == std::end(kCampaigns))
    throw UsageError("fleet: '" + printable(words[0]) +
                     "' is no campaign; give run, tune, census or program after '--'");
  for (size_t i = 1; i < words.size(); i++) {
    if (words[i] == "--")
      break; // a program's own command follows
    for (const char *own : kFleetsOwn)
      if (words[i] == own || words[i].rfind(std::string(own) + "=", 0) == 0)
        throw UsageError(std::string("fleet: ") + own +
                         " is the fleet's own: each host's folder is DIR/HOST");
  }
}

} // namespace

int fleet_command(const Options &o) {
  FleetRequest r;
  r.ssh = o.ssh;
  r.version = kVersion;
  if (!o.more.empty()) {
    r.out = o.more;
    r.more = true;
    const std::string record = (fs::path(o.more) / kFleetFile).string();
    FleetRecord before =
        parse_fleet(read_regular_file(record, 1 << 20, "a fleet's record"), record);
    r.campaign = before.campaign;
    if (o.has("--budget"))
      r.more_words = {"--budget", fmt("%g", o.campaign.budget)};
    // Hosts whose folder came back go on; the others have nothing to go on with.
    for (const auto &h : before.hosts)
      if (fs::is_directory(fs::path(o.more) / h.folder))
        r.hosts.push_back(h);
      else
        std::fprintf(stderr, "memset-report: fleet: %s: no folder to go on with; left out\n",
                     h.folder.c_str());
    if (r.hosts.empty())
      throw InputError(o.more + ": no host's folder to go on with");
  } else {
    check_campaign(o.command_words);
    r.out = o.campaign.out;
    r.campaign = o.command_words;
    std::error_code ec;
    if (fs::exists(r.out, ec) && !fs::is_empty(r.out, ec))
      throw InputError("'" + r.out + "' already exists and is not empty; choose a new folder");
    r.hosts = read_hosts(read_regular_file(o.hosts, 1 << 20, "a hosts file"), o.hosts);
  }
  bool interrupted = false;
  const FleetRecord rec = run_fleet(r, interrupted);
  size_t back = 0;
  for (const auto &h : rec.hosts) {
    back += h.state == HostState::Ok;
    std::fprintf(stderr, "memset-report: fleet: %s: %s%s%s\n", h.folder.c_str(),
                 host_state_name(h.state), h.why.empty() || h.state == HostState::Ok ? "" : ": ",
                 h.state == HostState::Ok ? "" : h.why.c_str());
  }
  std::fprintf(stderr, "memset-report: fleet: %zu of %zu hosts' campaigns came back into %s\n",
               back, rec.hosts.size(), r.out.c_str());
  if (interrupted)
    throw Interrupted(SIGINT, "fleet interrupted; the hosts' folders that came back are kept");
  if (back < rec.hosts.size())
    throw HostsFailed(
        std::to_string(rec.hosts.size() - back) + " of " + std::to_string(rec.hosts.size()) +
        " hosts' campaigns did not come back (see above); the others are in " + r.out);
  return kOk;
}

} // namespace report
