// The fleet: GNU parallel runs the campaign on every host and brings each
// folder back; this file builds its command, reads its job log and records
// how each host ended.

#include "report/campaign/fleet.hpp"

#include "report/formats/campaign_folder.hpp"
#include "report/sys/clock.hpp"
#include "report/sys/errors.hpp"
#include "report/sys/files.hpp"
#include "report/sys/process.hpp"
#include "report/sys/text.hpp"

#include <filesystem>
#include <fstream>
#include <sstream>
#include <unistd.h>

namespace fs = std::filesystem;

namespace report {

namespace {

// What runs on each host, as `sh -c SCRIPT FOLDER`: the version check, then
// the campaign (or its continuation) into FOLDER. The campaign's words come
// quoted in MEMSET_FLEET_CAMPAIGN, written by shell_words, read back by the
// shell's own `set --`.
constexpr const char *kRemoteScript =
    "v=$(memset-report --version 2>/dev/null) || "
    "{ echo \"memset-report is not on this host's PATH\" >&2; exit 96; }; "
    "[ \"$v\" = \"memset-report $MEMSET_FLEET_VERSION\" ] || "
    "{ echo \"this host's $v is not memset-report $MEMSET_FLEET_VERSION\" >&2; exit 97; }; "
    "eval \"set -- $MEMSET_FLEET_CAMPAIGN\"; "
    "if [ \"$1\" = --more ]; then shift; exec memset-report run --more \"$0\" \"$@\"; fi; "
    "c=$1; shift; exec memset-report \"$c\" --out \"$0\" \"$@\"";
static_assert(kRemoteMissing == 96 && kRemoteOtherVersion == 97, "the script's statuses");

// The fleet's own files inside DIR, beside the hosts' folders.
constexpr const char *kWorkFolder = ".fleet";

std::string read_small(const fs::path &p) {
  std::ifstream in(p);
  std::stringstream s;
  s << in.rdbuf();
  return s.str().substr(0, 1 << 20);
}

// Each host's last line of output in the fleet's log, where parallel
// tagged it "FOLDER<TAB>text": its campaign's or the version check's last
// word, not rsync's about a folder that never was.
std::string last_line(const std::string &log, const std::string &folder) {
  std::istringstream in(log);
  std::string last;
  const std::string tag = folder + "\t";
  for (std::string line; std::getline(in, line);) {
    if (line.rfind(tag, 0) != 0)
      continue;
    line = line.substr(tag.size());
    line = line.substr(0, line.find('\r')); // ssh ends some lines with a return
    if (line.find_first_not_of(" \t\r") != std::string::npos && line.rfind("rsync", 0) != 0)
      last = line;
  }
  return printable(last.substr(0, 300));
}

bool whole_folder(const fs::path &p) {
  std::error_code ec;
  const fs::path record = p / kRecordFile;
  return fs::is_regular_file(record, ec) && fs::file_size(record, ec) > 0;
}

} // namespace

std::vector<std::pair<std::string, JobEnd>> read_joblog(const std::string &text) {
  std::vector<std::pair<std::string, JobEnd>> out;
  std::istringstream in(text);
  std::string line;
  if (!std::getline(in, line) || line.rfind("Seq\tHost\t", 0) != 0)
    return out;
  while (std::getline(in, line)) {
    std::vector<std::string> f;
    std::istringstream cells(line);
    for (std::string c; std::getline(cells, c, '\t');)
      f.push_back(c);
    // Seq Host Starttime JobRuntime Send Receive Exitval Signal Command...
    if (f.size() < 9)
      continue;
    auto exit = parse_whole(f[6], 255), sig = parse_whole(f[7], 64);
    // The command's last word is the job's argument: the host's folder.
    const std::string &command = f.back();
    const size_t space = command.find_last_of(' ');
    std::string folder = space == std::string::npos ? command : command.substr(space + 1);
    if (folder.size() > 1 && folder.front() == '\'' && folder.back() == '\'')
      folder = folder.substr(1, folder.size() - 2);
    if (exit && sig)
      out.push_back({folder, {(int)*exit, (int)*sig}});
  }
  return out;
}

HostState host_state(const JobEnd *end, bool folder_whole, bool fleet_interrupted) {
  if (!end)
    return fleet_interrupted ? HostState::Interrupted : HostState::Failed;
  if (end->signal)
    return HostState::Interrupted;
  switch (end->exit) {
  case 0:
    return folder_whole ? HostState::Ok : HostState::NotBack;
  case kSshFailed:
    return HostState::Unreachable;
  case kRemoteMissing:
    return HostState::Missing;
  case kRemoteOtherVersion:
    return HostState::Version;
  default:
    return end->exit > kInterrupted && end->exit < kInterrupted + 32 ? HostState::Interrupted
                                                                     : HostState::Failed;
  }
}

FleetRecord run_fleet(const FleetRequest &r, bool &interrupted) {
  const std::optional<std::string> parallel = find_program("parallel");
  if (!parallel)
    throw SystemError("GNU parallel is not on PATH (Debian's package 'parallel'); the fleet "
                      "runs its campaigns through it");
  if (!find_program("rsync"))
    throw SystemError("rsync is not on PATH (Debian's package 'rsync'); GNU parallel brings "
                      "the hosts' folders back with it");
  const fs::path out(r.out), work = fs::path(r.out) / kWorkFolder;
  std::error_code ec;
  fs::create_directories(work, ec);
  if (ec)
    throw SystemError(os_error("make the folder", work.string(), ec.value()));
  // Every host its own hostgroup, so that its job runs there and nowhere else.
  std::string logins;
  for (size_t k = 0; k < r.hosts.size(); k++)
    logins += fmt("@h%zu/", k) + r.hosts[k].login + "\n";
  TempFile login_file((work / "logins").string());
  login_file.write(logins, (work / "logins").string());
  login_file.place((work / "logins").string(), true);
  fs::remove(work / "joblog", ec);

  // parallel's output goes to our standard error as it comes, each line
  // tagged with its host, and into a log the hosts' last words are read from.
  const std::string log = (work / "log").string();
  Command cmd;
  cmd.argv = {"/bin/sh",
              "-c",
              "log=$1; shift; \"$@\" 2>&1 | tee \"$log\" >&2",
              "sh",
              log,
              *parallel,
              "--hostgroups",
              "--sshloginfile",
              (work / "logins").string(),
              "-j1"};
  if (!r.ssh.empty())
    cmd.argv.insert(cmd.argv.end(), {"--ssh", r.ssh});
  cmd.argv.insert(cmd.argv.end(),
                  {"--env", "MEMSET_FLEET_CAMPAIGN", "--env", "MEMSET_FLEET_VERSION", "--workdir",
                   "...", "--return", r.out + "/./{}", "--cleanup", "--tag", "--line-buffer",
                   "--joblog", (work / "joblog").string()});
  if (r.more)
    cmd.argv.insert(cmd.argv.end(), {"--transferfile", r.out + "/./{}"});
  cmd.argv.insert(cmd.argv.end(), {"-q", "sh", "-c", kRemoteScript, "{}", ":::"});
  for (size_t k = 0; k < r.hosts.size(); k++)
    cmd.argv.push_back(r.hosts[k].folder + fmt("@h%zu", k));
  std::vector<std::string> env;
  for (char **e = environ; *e; e++)
    if (std::string(*e).rfind("MEMSET_FLEET_", 0) != 0)
      env.push_back(*e);
  std::vector<std::string> more = {"--more"};
  more.insert(more.end(), r.more_words.begin(), r.more_words.end());
  env.push_back("MEMSET_FLEET_CAMPAIGN=" + shell_words(r.more ? more : r.campaign));
  env.push_back("MEMSET_FLEET_VERSION=" + r.version);
  cmd.env = env;
  cmd.output_to_stderr = true;

  // With --more, each host's record as it was: a host whose new rounds
  // never came back keeps its campaign, and how it ended, as they were.
  std::vector<std::string> records_before;
  for (const auto &h : r.hosts)
    records_before.push_back(r.more ? read_small(out / h.folder / kRecordFile) : "");

  Outcome o;
  {
    SignalScope scope;
    o = run_program(cmd);
  }
  interrupted = o.kind == Outcome::Interrupted;
  if (o.kind == Outcome::NotStarted)
    throw SystemError(os_error("start", *parallel, o.code));

  FleetRecord rec;
  rec.campaign = r.campaign;
  rec.version = r.version;
  rec.date = utc_now();
  const auto ends = read_joblog(read_small(work / "joblog"));
  const std::string said = read_small(log);
  for (size_t k = 0; k < r.hosts.size(); k++) {
    FleetHost h = r.hosts[k];
    const FleetHost before = h;
    const JobEnd *end = nullptr;
    for (const auto &[folder, e] : ends)
      if (folder == h.folder)
        end = &e;
    h.state = host_state(end, whole_folder(out / h.folder), interrupted);
    h.why = last_line(said, h.folder);
    if (h.state == HostState::NotBack)
      h.why = "its campaign ended, but its folder did not come back whole";
    else if (!end)
      h.why = interrupted ? "the fleet was interrupted before its campaign ended"
                          : "its job never ran (" + o.describe() + ")";
    if (r.more && h.state == HostState::Interrupted && whole_folder(out / h.folder) &&
        read_small(out / h.folder / kRecordFile) == records_before[k]) {
      h.state = before.state;
      h.why = "fleet --more was interrupted before this host's new rounds came back; its "
              "folder holds its campaign as it was";
    }
    rec.hosts.push_back(h);
  }
  const std::string record = (out / kFleetFile).string();
  TempFile file(record);
  file.write(format_fleet(rec), record);
  file.place(record, true);
  return rec;
}

} // namespace report
