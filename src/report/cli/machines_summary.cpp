// summary of sets from many machines: a fleet's folder, or campaigns whose
// records name different hosts. Each machine's sets are compared within it;
// then the verdicts are set side by side.

#include "report/advice/machines.hpp"
#include "report/cli/commands.hpp"
#include "report/cli/gate.hpp"
#include "report/formats/fleet_file.hpp"
#include "report/render/render.hpp"
#include "report/sys/errors.hpp"
#include "report/sys/files.hpp"
#include "report/sys/text.hpp"

#include <cstdio>
#include <filesystem>

namespace fs = std::filesystem;

namespace report {

namespace {

// A SET and the machine it is of: a fleet's name for the host, or "" for
// the one its record names.
struct Entry {
  std::string path, machine;
};

// The host a SET's record names: its folder's, or (a variant's folder, a
// run file) the one above it; "" for a set without a record.
std::string recorded_host(const std::string &path) {
  std::error_code ec;
  const fs::path p(path);
  for (const fs::path &dir : {p, p.parent_path()})
    if (!dir.empty() && fs::is_directory(dir, ec) && fs::exists(dir / kRecordFile, ec))
      return read_record(dir.string()).machine.host;
  return "";
}

// The SETs, a fleet's folder standing for its hosts' folders; what cannot
// be read of a fleet is said in `notes`.
std::vector<Entry> entries_of(const std::vector<std::string> &paths, bool &fleet,
                              std::vector<std::string> &notes) {
  std::vector<Entry> out;
  std::error_code ec;
  for (const auto &p : paths) {
    const fs::path record = fs::path(p) / kFleetFile;
    if (!fs::is_regular_file(record, ec)) {
      out.push_back({p, ""});
      continue;
    }
    fleet = true;
    FleetRecord f = parse_fleet(read_regular_file(record.string(), 1 << 20, "a fleet's record"),
                                record.string());
    // A host's own "more rounds" line names its folder here; rounds are added on the host.
    notes.push_back("more rounds on every host: memset-report fleet --more " + shell_words({p}));
    for (const auto &h : f.hosts) {
      const fs::path folder = fs::path(p) / h.folder;
      if (!fs::is_directory(folder, ec)) {
        notes.push_back(h.folder + " did not answer: " + host_state_name(h.state) +
                        (h.why.empty() ? "" : " (" + h.why + ")"));
        continue;
      }
      if (h.state != HostState::Ok)
        notes.push_back(h.folder + "'s campaign ended " + host_state_name(h.state) + " (" + h.why +
                        "); read as far as it is whole");
      out.push_back({folder.string(), h.folder});
    }
  }
  return out;
}

} // namespace

std::vector<std::pair<std::string, std::string>> fleet_folders(const std::string &dir) {
  bool fleet = false;
  std::vector<std::string> notes;
  std::vector<std::pair<std::string, std::string>> out;
  for (const Entry &e : entries_of({dir}, fleet, notes))
    if (fleet)
      out.push_back({e.path, e.machine});
  for (const auto &n : notes)
    std::fprintf(stderr, "memset-report: note: %s\n", printable(n).c_str());
  return out;
}

std::optional<int> machines_summary(const Options &o) {
  bool fleet = false;
  std::vector<std::string> notes;
  std::vector<Entry> entries = entries_of(o.sets, fleet, notes);
  if (!fleet) {
    // A lone result file has no record, and names no machine of its own.
    std::vector<std::string> hosts;
    for (auto &e : entries) {
      e.machine = recorded_host(e.path);
      if (!e.machine.empty() && std::find(hosts.begin(), hosts.end(), e.machine) == hosts.end())
        hosts.push_back(e.machine);
    }
    if (hosts.size() < 2)
      return std::nullopt; // one machine: the summary as ever
  }
  refuse_page_target(o);
  for (const char *c : {"--csv", "--benchout"})
    if (o.has(c))
      throw UsageError(std::string(c) + " does not go with sets from many machines yet: "
                                        "summarise each machine's folder on its own");
  if (o.format == Format::Json)
    need_json_support();
  // Each machine's sets, in the order given; a campaign from a machine
  // and with variants already counted is counted once.
  std::vector<std::string> names;
  std::vector<std::vector<Set>> by_machine;
  std::vector<std::vector<std::string>> variants_seen;
  for (const auto &e : entries) {
    std::vector<Set> sets;
    try {
      sets = load_all_sets({e.path});
    } catch (const InputError &err) {
      if (!fleet)
        throw;
      notes.push_back(e.machine + "'s folder cannot be read: " + err.what() + "; left out");
      continue;
    }
    const std::string name = e.machine.empty() ? "unknown" : e.machine;
    std::string variants;
    for (const auto &s : sets)
      variants += variant_of(s) + " ";
    size_t m = std::find(names.begin(), names.end(), name) - names.begin();
    if (m == names.size()) {
      names.push_back(name);
      by_machine.emplace_back();
      variants_seen.emplace_back();
    }
    if (std::find(variants_seen[m].begin(), variants_seen[m].end(), variants) !=
        variants_seen[m].end()) {
      notes.push_back(e.path + ": the same machine (" + name +
                      ") and variants as a folder before it; counted once");
      continue;
    }
    variants_seen[m].push_back(variants);
    for (auto &s : sets)
      by_machine[m].push_back(std::move(s));
  }
  if (names.empty())
    throw InputError("no machine's folder could be read");
  // Replays and programs: one figure a run, each machine's mix report.
  const CampaignKind kind = by_machine[0][0].kind();
  for (const auto &sets : by_machine)
    for (const auto &set : sets)
      if (set.kind() != kind)
        throw UsageError("sets of many machines must be of one kind (curves, replays or "
                         "program campaigns): summarise each kind apart");
  if (kind != CampaignKind::Curve) {
    for (const char *c : {"--weights", "--bands", "--unit", "--html"})
      if (o.has(c))
        throw UsageError(std::string(c) + " does not go with replays or programs of many "
                                          "machines: their summary is one figure a run, as text "
                                          "or --json");
    Across named;
    std::vector<MixReport> reports;
    for (size_t m = 0; m < names.size(); m++) {
      const MachineFacts &f = by_machine[m][0].record.machine;
      named.machines.push_back({{names[m], f.cpu_model, f.libc, f.tsc_mhz, f.tsc_step}, {}});
      const CompareOptions compare = compare_for(o, by_machine[m]);
      reports.push_back(build_mix_report(std::move(by_machine[m]), compare, o.tsc_mhz, o.wall));
    }
    const std::vector<MixAcross> across = compare_mix_across(reports);
    write_out(o.format == Format::Json ? render_across_mix_json(named, reports, across, notes)
                                       : render_across_mix(named, reports, across, notes));
    if (o.fail_if_slower)
      for (size_t m = 0; m < reports.size(); m++)
        try {
          check_gate(reports[m], *o.fail_if_slower, o.allow_unclear);
        } catch (const Failure &f) {
          throw Failure(f.status, names[m] + ": " + f.what());
        }
    return kOk;
  }
  std::vector<Machine> machines;
  for (size_t m = 0; m < names.size(); m++) {
    const MachineFacts &f = by_machine[m][0].record.machine;
    MachineId id{names[m], f.cpu_model, f.libc, f.tsc_mhz, f.tsc_step};
    machines.push_back({id, load_report(o, std::move(by_machine[m]))});
  }
  const Across a = compare_across(std::move(machines));
  const std::string text = render_across(a, o.unit, o.bands, notes);
  write_out(o.format == Format::Json ? render_across_json(a, notes) : text);
  PageParts page;
  page.title =
      "Which memset is faster, at which lengths, on " + plural(a.machines.size(), "machine");
  for (const auto &m : a.machines)
    page.machines.push_back({m.id.name, machine_text(m.id), &m.report});
  page.text = text;
  write_page(o, page);
  if (o.fail_if_slower) {
    // Every machine is gated; the slower ones are named before any unclear one.
    std::string slower, unclear;
    for (const auto &m : a.machines)
      try {
        check_gate(m.report, *o.fail_if_slower, o.allow_unclear);
      } catch (const Failure &f) {
        (f.status == kSlower ? slower : unclear) += "; " + m.id.name + ": " + f.what();
      }
    if (!slower.empty())
      throw Failure(kSlower, "slower on a machine" + slower);
    if (!unclear.empty())
      throw Failure(kUndecided, "unclear on a machine" + unclear);
  }
  return kOk;
}

} // namespace report
