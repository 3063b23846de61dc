// Sets of result files as the user names them: single files, campaign folders,
// interleaved campaigns and their variants, each with its campaign's record.

#include "report/formats/sets.hpp"
#include "report/sys/environment.hpp"
#include "report/sys/parallel.hpp"

#include <algorithm>
#include <filesystem>
#include <map>
#include <set>
#include <thread>

namespace fs = std::filesystem;

namespace report {

namespace {

// What the runs inherited from the caller that steers the C library, less
// what their own settings replaced.
std::vector<std::string> inherited(const Record &r, const std::vector<std::string> &own) {
  std::vector<std::string> out;
  auto name = [](const std::string &v) { return env_name(v); };
  for (const auto &v : r.env_inherited)
    if (std::none_of(own.begin(), own.end(),
                     [&](const std::string &o) { return name(o) == name(v); }))
      out.push_back(v);
  return out;
}

// The runs of one set are of one engine: a comparison within the set of
// values of two would mean nothing.
void take_runs(Set &set, std::vector<RunFile> &files, const std::string &where) {
  set.engine = files[0].engine;
  set.batch = files[0].batch;
  set.program = files[0].program;
  for (size_t i = 0; i < files.size(); i++) {
    if (files[i].engine != set.engine)
      throw InputError(where + ": " + set.files[i] + " is " + engine_name(files[i].engine) +
                       "'s, " + set.files[0] + " " + engine_name(set.engine) +
                       "'s: a set holds the runs of one engine");
    if (files[i].program != set.program)
      throw InputError(where + ": " + set.files[i] + " and " + set.files[0] +
                       ": a set holds a program's runs or the benchmark's, not both");
    if ((files[i].batch && files[i].batch->replay) != (set.batch && set.batch->replay))
      throw InputError(where + ": " + set.files[i] + " and " + set.files[0] +
                       ": a set holds replays or curves, not both");
    if (files[i].batch && files[i].batch->landing != set.batch->landing)
      throw InputError(where + ": " + set.files[i] + " and " + set.files[0] +
                       ": their fills landed in different places (" +
                       landing_text(files[i].batch->landing) + "; " +
                       landing_text(set.batch->landing) + "); a set holds runs that landed alike");
    if (files[i].batch)
      set.loops.push_back(files[i].batch->loop);
    set.runs.push_back(std::move(files[i].values));
  }
}

// The run files of one folder, but those whose round is not in `complete`
// (when given); a folder without any is refused.
void load_runs(Set &set, const std::string &dir, const std::set<unsigned> *complete = nullptr) {
  for (const auto &n : run_files_in(dir)) {
    unsigned round = run_number(n);
    if (complete && !complete->count(round)) {
      set.incomplete_rounds.push_back(n);
      continue;
    }
    set.files.push_back(n);
    set.rounds.push_back(round);
  }
  // Parsing is most of a summary's time: the files are read on several cores,
  // and the first bad one, in order, is the one reported.
  size_t count = set.files.size();
  std::vector<RunFile> files(count);
  for_each_parallel(
      count, [&](size_t i) { files[i] = read_run_file((fs::path(dir) / set.files[i]).string()); });
  if (files.empty())
    throw InputError(dir + ": no run-*.txt files in this folder" +
                     (set.incomplete_rounds.empty() ? "" : " from a complete round"));
  take_runs(set, files, dir);
}

// The rounds that every variant of an interleaved campaign has.
std::set<unsigned> complete_rounds(const std::string &campaign_dir, const Record &r) {
  std::map<unsigned, size_t> seen;
  for (const auto &v : r.variants) {
    std::error_code ec;
    if (!fs::is_directory(fs::path(campaign_dir) / v.name, ec))
      throw InputError((fs::path(campaign_dir) / v.name).string() + ": variant " + v.name +
                       "'s folder is missing, so no round of the campaign is complete");
    for (const auto &n : run_files_in((fs::path(campaign_dir) / v.name).string()))
      seen[run_number(n)]++;
  }
  std::set<unsigned> out;
  for (auto [round, count] : seen)
    if (count == r.variants.size())
      out.insert(round);
  return out;
}

Set variant_set(const std::string &canonical_dir, const std::string &given_dir, const Record &r,
                const VariantRecord &v) {
  Set set;
  set.label = v.name;
  set.path = (fs::path(given_dir) / v.name).string();
  std::set<unsigned> complete = complete_rounds(canonical_dir, r);
  load_runs(set, (fs::path(canonical_dir) / v.name).string(), &complete);
  set.record = r;
  set.env = v.env;
  set.inherited_env = inherited(r, set.env);
  set.memset = v.memset;
  set.tunables = v.tunables;
  set.libc = v.libc;
  set.campaign = canonical_dir;
  set.campaign_given = given_dir;
  set.planned = r.planned.value_or(0);
  return set;
}

std::string without_trailing_slashes(std::string p) {
  while (p.size() > 1 && p.back() == '/')
    p.pop_back();
  return p;
}

} // namespace

std::vector<Set> load_sets(const std::string &given_path) {
  if (given_path.empty())
    throw InputError("an empty path is not a SET");
  std::string given = without_trailing_slashes(given_path);
  std::error_code ec;
  fs::path canon = fs::canonical(given, ec);
  if (ec)
    throw InputError(given + ": " + ec.message());
  if (!fs::is_directory(canon, ec)) {
    Set set;
    set.label = set.path = given;
    set.files.push_back(canon.filename().string());
    set.rounds.push_back(0);
    std::vector<RunFile> files = {read_run_file(given)};
    take_runs(set, files, given);
    return {set};
  }

  Record record = read_record(canon.string());
  if (!record.variants.empty()) {
    std::vector<Set> sets;
    for (const auto &v : record.variants)
      sets.push_back(variant_set(canon.string(), given, record, v));
    return sets;
  }
  // One variant's folder, named on its own: still paired with its siblings.
  if (canon.has_parent_path() && canon != canon.root_path()) {
    Record outer = read_record(canon.parent_path().string());
    if (const VariantRecord *v = outer.variant(canon.filename().string())) {
      Set set =
          variant_set(canon.parent_path().string(), (fs::path(given) / "..").string(), outer, *v);
      set.label = set.path = given;
      set.campaign_given = set.label;
      return {set};
    }
  }

  Set set;
  set.label = set.path = given;
  load_runs(set, canon.string());
  set.record = record;
  set.env = record.env;
  set.inherited_env = inherited(record, set.env);
  set.memset = record.memset;
  set.tunables = record.tunables;
  set.libc = record.libc_run;
  set.planned = record.planned.value_or(0);
  return {set};
}

std::vector<Set> load_all_sets(const std::vector<std::string> &paths) {
  std::vector<Set> sets;
  for (const auto &p : paths)
    for (auto &s : load_sets(p))
      sets.push_back(std::move(s));
  auto count = [&](const std::string &label) {
    return std::count_if(sets.begin(), sets.end(), [&](const Set &s) { return s.label == label; });
  };
  // A variant's bare name is the campaign's own label; beside another
  // campaign it takes the folder's name in front.
  std::vector<std::string> labels;
  for (const auto &s : sets)
    labels.push_back(count(s.label) > 1 && !s.campaign_given.empty() && s.label != s.path
                         ? (fs::path(s.campaign_given) / s.label).string()
                         : s.label);
  for (size_t i = 0; i < sets.size(); i++)
    sets[i].label = labels[i];
  // The same path given twice: number the repeats.
  for (size_t i = 0; i < sets.size(); i++) {
    size_t earlier = 0;
    for (size_t j = 0; j < i; j++)
      earlier += labels[j] == labels[i];
    if (earlier)
      sets[i].label = labels[i] + " #" + std::to_string(earlier + 1);
  }
  return sets;
}

namespace {

// A set's memset as its record says it, "SYMBOL (OBJECT+OFFSET)" or
// "OBJECT+OFFSET", taken apart; false for "unknown: ..." and anything else.
bool memset_parts(const std::string &text, std::string &symbol, std::string &object,
                  std::string &offset) {
  std::string where = text;
  symbol.clear();
  if (auto open = text.rfind(" ("); open != std::string::npos && text.back() == ')') {
    symbol = text.substr(0, open);
    where = text.substr(open + 2, text.size() - open - 3);
  }
  auto plus = where.rfind('+');
  if (text.rfind("unknown", 0) == 0 || plus == std::string::npos || plus == 0)
    return false;
  object = where.substr(0, plus);
  offset = where.substr(plus + 1);
  return true;
}

} // namespace

// Whether two sets ran the same code under other settings: the same memset
// at the same offset, in the same object or in C libraries of one build
// (the same build ID, wherever each lies and however it was started), with
// the same tunables; an A/A.
bool same_code_of(const Set &a, const Set &b) {
  std::string sym_a, obj_a, off_a, sym_b, obj_b, off_b;
  if (!memset_parts(a.memset, sym_a, obj_a, off_a) || !memset_parts(b.memset, sym_b, obj_b, off_b))
    return false;
  if (sym_a != sym_b || off_a != off_b || a.tunables != b.tunables)
    return false;
  const bool libcs = obj_a == a.libc.path && obj_b == b.libc.path && !a.libc.build_id.empty();
  const bool same_object = obj_a == obj_b || (libcs && a.libc.build_id == b.libc.build_id);
  const bool other_settings = a.env != b.env || a.libc.loader != b.libc.loader ||
                              a.libc.library_path != b.libc.library_path || obj_a != obj_b;
  return same_object && other_settings;
}

} // namespace report
