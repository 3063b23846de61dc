// summary of sets from many machines: a fleet's folder, or campaigns whose
// records name different hosts. Each machine's sets are compared within it;
// then the verdicts are set side by side.

#include "report/advice/machines.hpp"
#include "report/cli/commands.hpp"
#include "report/cli/gate.hpp"
#include "report/formats/fleet_file.hpp"
#include "report/render/across_lines.hpp"
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

// The sets of each machine, in the order given; a campaign from a machine
// and with variants already counted is counted once. A fleet's folder that
// cannot be read is left out with a note.
struct ByMachine {
  std::vector<std::string> names;
  std::vector<std::vector<Set>> sets;
};
ByMachine group_by_machine(const std::vector<Entry> &entries, bool fleet,
                           std::vector<std::string> &notes) {
  ByMachine g;
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
    const size_t m = std::find(g.names.begin(), g.names.end(), name) - g.names.begin();
    if (m == g.names.size()) {
      g.names.push_back(name);
      g.sets.emplace_back();
      variants_seen.emplace_back();
    }
    auto &seen = variants_seen[m];
    if (std::find(seen.begin(), seen.end(), variants) != seen.end()) {
      notes.push_back(e.path + ": the same machine (" + name +
                      ") and variants as a folder before it; counted once");
      continue;
    }
    seen.push_back(variants);
    for (auto &s : sets)
      g.sets[m].push_back(std::move(s));
  }
  if (g.names.empty())
    throw InputError("no machine's folder could be read");
  return g;
}

MachineId machine_id(const std::string &name, const std::vector<Set> &sets) {
  const MachineFacts &f = sets[0].record.machine;
  return {name, f.cpu_model, f.libc, f.tsc_mhz, f.tsc_step};
}

// Every machine gated (`report_of(m)`, a curve or a mix report); those
// slower named first, then those unclear. Any other failure is what it
// is, not a verdict: it goes on as it came.
template <class ReportOf>
void gate_machines(const Options &o, const std::vector<std::string> &names, ReportOf report_of) {
  std::string slower, unclear;
  for (size_t m = 0; m < names.size(); m++)
    try {
      check_gate(report_of(m), *o.fail_if_slower, o.allow_unclear);
    } catch (const Failure &f) {
      if (f.status != kSlower && f.status != kUndecided)
        throw;
      (f.status == kSlower ? slower : unclear) += "; " + names[m] + ": " + f.what();
    }
  if (!slower.empty())
    throw Failure(kSlower, "slower on a machine" + slower);
  if (!unclear.empty())
    throw Failure(kUndecided, "unclear on a machine" + unclear);
}

// Replays or program campaigns: one figure a run, each machine's mix report.
void mix_across(const Options &o, ByMachine g, const std::vector<std::string> &notes) {
  for (const char *c : {"--weights", "--bands", "--unit", "--html"})
    if (o.has(c))
      throw UsageError(std::string(c) + " does not go with replays or programs of many "
                                        "machines: their summary is one figure a run, as text "
                                        "or --json");
  Across named;
  std::vector<MixReport> reports;
  for (size_t m = 0; m < g.names.size(); m++) {
    named.machines.push_back({machine_id(g.names[m], g.sets[m]), {}});
    const CompareOptions compare = compare_for(o, g.sets[m]);
    reports.push_back(build_mix_report(std::move(g.sets[m]), compare, o.tsc_mhz, o.wall));
  }
  const std::vector<MixAcross> across = compare_mix_across(reports);
  write_out(o.format == Format::Json ? render_across_mix_json(named, reports, across, notes)
                                     : render_across_mix(named, reports, across, notes));
  if (o.fail_if_slower)
    gate_machines(o, g.names, [&](size_t m) -> const MixReport & { return reports[m]; });
}

// Curves: each machine's report, then their verdicts stretch by stretch.
void curves_across(const Options &o, ByMachine g, const std::vector<std::string> &notes) {
  std::vector<Machine> machines;
  for (size_t m = 0; m < g.names.size(); m++) {
    MachineId id = machine_id(g.names[m], g.sets[m]);
    machines.push_back({id, load_report(o, std::move(g.sets[m]))});
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
  if (o.fail_if_slower)
    gate_machines(o, g.names, [&](size_t m) -> const Report & { return a.machines[m].report; });
}

} // namespace

std::vector<std::pair<std::string, std::string>> fleet_folders(const std::string &dir) {
  bool fleet = false;
  std::vector<std::string> notes;
  const std::vector<Entry> entries = entries_of({dir}, fleet, notes);
  if (!fleet)
    return {};
  for (const auto &n : notes)
    std::fprintf(stderr, "memset-report: note: %s\n", printable(n).c_str());
  std::vector<std::pair<std::string, std::string>> out;
  for (const Entry &e : entries)
    out.push_back({e.path, e.machine});
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
  ByMachine g = group_by_machine(entries, fleet, notes);
  const CampaignKind kind = g.sets[0][0].kind();
  for (const auto &sets : g.sets)
    for (const auto &set : sets)
      if (set.kind() != kind)
        throw UsageError("sets of many machines must be of one kind (curves, replays or "
                         "program campaigns): summarise each kind apart");
  if (kind == CampaignKind::Curve)
    curves_across(o, std::move(g), notes);
  else
    mix_across(o, std::move(g), notes);
  return kOk;
}

} // namespace report
