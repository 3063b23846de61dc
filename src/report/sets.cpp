// Sets of result files as the user names them: single files, campaign folders,
// interleaved campaigns and their variants, with the campaign's record.

#include "sets.hpp"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace fs = std::filesystem;

namespace report {

std::string Context::get(const std::string &key) const {
  for (const auto &e : entries)
    if (e.first == key)
      return e.second;
  return "";
}

std::vector<std::string> Context::all(const std::string &key) const {
  std::vector<std::string> out;
  for (const auto &e : entries)
    if (e.first == key)
      out.push_back(e.second);
  return out;
}

Context parse_context(const std::string &text) {
  Context ctx;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) {
    auto colon = line.find(": ");
    if (colon != std::string::npos)
      ctx.entries.emplace_back(line.substr(0, colon), line.substr(colon + 2));
  }
  return ctx;
}

Context read_context(const std::string &path) {
  std::error_code ec;
  if (!fs::exists(path, ec))
    return {};
  std::ifstream in(path, std::ios::binary);
  if (!in)
    throw InputError(path + ": " + std::strerror(errno));
  std::ostringstream s;
  s << in.rdbuf();
  return parse_context(s.str());
}

namespace {

// "NAME REST" split at the first space.
std::pair<std::string, std::string> split_first(const std::string &s) {
  auto sp = s.find(' ');
  if (sp == std::string::npos)
    return {s, ""};
  return {s.substr(0, sp), s.substr(sp + 1)};
}

std::vector<std::string> listed(const Context &ctx, const std::string &key) {
  std::vector<std::string> out;
  for (const auto &v : ctx.all(key))
    if (v != "none")
      out.push_back(v);
  return out;
}

// What the runs inherited from the caller that steers the C library, less
// what their own settings replaced.
std::vector<std::string> inherited(const Context &ctx, const std::vector<std::string> &own) {
  std::vector<std::string> out;
  auto name = [](const std::string &v) { return v.substr(0, v.find('=')); };
  for (const auto &v : listed(ctx, "env_inherited"))
    if (std::none_of(own.begin(), own.end(),
                     [&](const std::string &o) { return name(o) == name(v); }))
      out.push_back(v);
  return out;
}

unsigned planned_runs(const Context &ctx) {
  std::string r = ctx.get("runs");
  if (r.empty() || r.size() > 9 || r.find_first_not_of("0123456789") != std::string::npos)
    return 0;
  return (unsigned)std::stoul(r);
}

// The run files of one folder; a folder without any is refused.
void load_runs(Set &set, const std::string &dir) {
  for (const auto &n : run_files_in(dir)) {
    set.files.push_back(n);
    set.rounds.push_back(run_number(n));
    set.runs.push_back(read_result_file((fs::path(dir) / n).string()));
  }
  if (set.runs.empty())
    throw InputError(dir + ": no run-*.txt files in this folder");
}

std::string without_trailing_slashes(std::string p) {
  while (p.size() > 1 && p.back() == '/')
    p.pop_back();
  return p;
}

Set variant_set(const std::string &campaign_dir, const Context &ctx, const Variant &v) {
  Set set;
  set.label = v.name;
  set.path = (fs::path(campaign_dir) / v.name).string();
  load_runs(set, set.path);
  set.context = ctx;
  set.env = v.env;
  set.inherited_env = inherited(ctx, set.env);
  std::error_code ec;
  auto canon = fs::canonical(campaign_dir, ec);
  set.campaign = ec ? campaign_dir : canon.string();
  set.planned = planned_runs(ctx);
  return set;
}

} // namespace

std::vector<Variant> variants_of(const Context &ctx) {
  std::vector<Variant> out;
  for (const auto &name : ctx.all("variant"))
    out.push_back({name, {}, ctx.get("bench")});
  for (auto &v : out) {
    for (const auto &e : ctx.all("variant_env"))
      if (auto [name, rest] = split_first(e); name == v.name)
        v.env.push_back(rest);
    for (const auto &b : ctx.all("variant_bench"))
      if (auto [name, rest] = split_first(b); name == v.name)
        v.bench = rest;
  }
  return out;
}

std::vector<std::string> run_files_in(const std::string &dir) {
  std::vector<std::string> names;
  std::error_code ec;
  for (fs::directory_iterator it(dir, ec), e; !ec && it != e; it.increment(ec)) {
    std::string n = it->path().filename().string();
    if (run_number(n) > 0)
      names.push_back(n);
  }
  if (ec)
    throw InputError(dir + ": " + ec.message());
  std::sort(names.begin(), names.end());
  return names;
}

unsigned run_number(const std::string &n) {
  if (n.size() < 9 || n.size() > 16 || n.compare(0, 4, "run-") != 0 ||
      n.compare(n.size() - 4, 4, ".txt") != 0)
    return 0;
  std::string digits = n.substr(4, n.size() - 8);
  if (digits.find_first_not_of("0123456789") != std::string::npos)
    return 0;
  return (unsigned)std::stoul(digits);
}

std::vector<Set> load_sets(const std::string &given) {
  if (given.empty())
    throw InputError("an empty path is not a SET");
  std::string path = without_trailing_slashes(given);
  std::error_code ec;
  if (!fs::exists(path, ec))
    throw InputError(path + ": " + std::strerror(ENOENT));
  if (!fs::is_directory(path, ec)) {
    Set set;
    set.label = set.path = path;
    set.files.push_back(fs::path(path).filename().string());
    set.rounds.push_back(0);
    set.runs.push_back(read_result_file(path));
    return {set};
  }

  Context ctx = read_context((fs::path(path) / "context.txt").string());
  if (auto variants = variants_of(ctx); !variants.empty()) {
    std::vector<Set> sets;
    for (const auto &v : variants)
      sets.push_back(variant_set(path, ctx, v));
    return sets;
  }
  // One variant's folder, named on its own: still paired with its siblings.
  fs::path parent = fs::absolute(path, ec).parent_path();
  Context outer = read_context((parent / "context.txt").string());
  std::string name = fs::absolute(path, ec).filename().string();
  for (const auto &v : variants_of(outer))
    if (v.name == name) {
      Set set = variant_set(parent.string(), outer, v);
      set.label = set.path = path;
      return {set};
    }

  Set set;
  set.label = set.path = path;
  load_runs(set, path);
  set.context = ctx;
  set.env = listed(ctx, "env");
  set.inherited_env = inherited(ctx, set.env);
  set.planned = planned_runs(ctx);
  return {set};
}

} // namespace report
