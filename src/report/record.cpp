// The campaign folder's format, both ways: the record in context.txt, and the
// names of its run files. Every key of the record is spelled here and nowhere else.

#include "record.hpp"

#include "errors.hpp"
#include "files.hpp"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <sys/stat.h>

namespace fs = std::filesystem;

namespace report {

namespace {

// The word that stands for "nothing" where a key is always written.
constexpr const char *kNone = "none";

std::string escaped(const std::string &v) {
  std::string out;
  for (unsigned char c : v) {
    if (c == '\\') {
      out += "\\\\";
    } else if (c < 0x20 || c == 0x7f) {
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\x%02x", c);
      out += buf;
    } else {
      out += (char)c;
    }
  }
  return out;
}

int hex_digit(char c) {
  if (c >= '0' && c <= '9')
    return c - '0';
  if (c >= 'a' && c <= 'f')
    return c - 'a' + 10;
  return -1;
}

std::string unescaped(const std::string &v) {
  std::string out;
  for (size_t i = 0; i < v.size(); i++) {
    if (v[i] == '\\' && i + 1 < v.size() && v[i + 1] == '\\') {
      out += '\\';
      i++;
    } else if (v[i] == '\\' && i + 3 < v.size() && v[i + 1] == 'x' && hex_digit(v[i + 2]) >= 0 &&
               hex_digit(v[i + 3]) >= 0) {
      out += (char)(hex_digit(v[i + 2]) * 16 + hex_digit(v[i + 3]));
      i += 3;
    } else {
      out += v[i];
    }
  }
  return out;
}

// Plain decimal only: digits, with an optional fraction.
std::optional<double> number(const std::string &s) {
  size_t dot = s.find('.');
  std::string whole = s.substr(0, dot), frac = dot == s.npos ? "" : s.substr(dot + 1);
  auto digits = [](const std::string &d) {
    return !d.empty() && d.size() <= 18 && d.find_first_not_of("0123456789") == d.npos;
  };
  if (!digits(whole) || (dot != s.npos && !digits(frac)))
    return std::nullopt;
  return std::strtod(s.c_str(), nullptr);
}

// "60 s"
std::optional<double> seconds(const std::string &v) {
  if (v.size() < 3 || v.compare(v.size() - 2, 2, " s") != 0)
    return std::nullopt;
  return number(v.substr(0, v.size() - 2));
}

std::optional<uint64_t> whole_number(const std::string &s, uint64_t max) {
  if (s.empty() || s.size() > 19 || s.find_first_not_of("0123456789") != s.npos)
    return std::nullopt;
  uint64_t v = std::strtoull(s.c_str(), nullptr, 10);
  if (v > max)
    return std::nullopt;
  return v;
}

std::optional<unsigned> small_number(const std::string &s) {
  auto v = whole_number(s, UINT32_MAX);
  return v ? std::optional<unsigned>((unsigned)*v) : std::nullopt;
}

std::string fixed(double v, int decimals) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.*f", decimals, v);
  return buf;
}

// "NAME REST" split at the first space.
std::pair<std::string, std::string> split_first(const std::string &s) {
  auto sp = s.find(' ');
  if (sp == std::string::npos)
    return {s, ""};
  return {s.substr(0, sp), s.substr(sp + 1)};
}

VariantRecord &variant_named(Record &r, const std::string &name) {
  for (auto &v : r.variants)
    if (v.name == name)
      return v;
  r.variants.push_back({name, {}, r.bench});
  return r.variants.back();
}

} // namespace

const VariantRecord *Record::variant(const std::string &name) const {
  for (const auto &v : variants)
    if (v.name == name)
      return &v;
  return nullptr;
}

std::vector<std::pair<std::string, std::string>> record_fields(const Record &r, bool all) {
  std::vector<std::pair<std::string, std::string>> f;
  auto add = [&](const char *key, const std::string &value) { f.emplace_back(key, value); };
  auto add_if = [&](const char *key, const std::string &value) {
    if (!value.empty())
      add(key, value);
  };
  const MachineFacts &m = r.machine;
  add_if("date", m.date);
  add_if("host", m.host);
  add_if("cpu_model", m.cpu_model);
  if (m.num_cpus)
    add("num_cpus", std::to_string(*m.num_cpus));
  add_if("kernel", m.kernel);
  add_if("libc", m.libc);
  if (m.tsc_mhz)
    add("tsc_mhz", fixed(*m.tsc_mhz, 1));
  add_if("tsc_constant_nonstop", m.tsc_constant_nonstop);
  if (m.tsc_step)
    add("tsc_step", fixed(*m.tsc_step, 2));
  if (m.tsc_read_cost)
    add("tsc_read_cost", fixed(*m.tsc_read_cost, 0));
  if (r.runs)
    add("runs", std::to_string(*r.runs));
  add("pinning", r.cpu ? "cpu " + std::to_string(*r.cpu) : kNone);
  char limit[32];
  std::snprintf(limit, sizeof limit, "%g s", r.timeout.value_or(0));
  add("timeout", r.timeout ? limit : kNone);
  if (r.env.empty())
    add("env", kNone);
  for (const auto &e : r.env)
    add("env", e);
  if (r.env_inherited.empty())
    add("env_inherited", kNone);
  for (const auto &e : r.env_inherited)
    add("env_inherited", e);
  add_if("bench", r.bench);
  if (r.seed)
    add("shuffle_seed", std::to_string(*r.seed));
  for (const auto &l : r.libraries)
    add("library", l.name + " " + l.package + " " + l.version);
  if (r.budget) {
    std::snprintf(limit, sizeof limit, "%g s", *r.budget);
    add("budget", limit);
  }
  if (r.rounds)
    add("rounds", std::to_string(*r.rounds));
  if (r.looks)
    add("looks", std::to_string(r.looks));
  add_if("stop", r.stop);
  if (all) {
    for (const auto &v : r.variants) {
      add("variant", v.name);
      for (const auto &e : v.env)
        add("variant_env", v.name + " " + e);
      add("variant_bench", v.name + " " + v.bench);
    }
    for (size_t i = 0; i < r.orders.size(); i++) {
      std::string line = std::to_string(i + 1);
      for (const auto &name : r.orders[i])
        line += " " + name;
      add("order", line);
    }
  }
  for (const auto &kv : r.unknown)
    f.push_back(kv);
  return f;
}

std::string format_record(const Record &r) {
  std::string s;
  for (const auto &[k, v] : record_fields(r))
    s += k + ": " + escaped(v) + "\n";
  return s;
}

Record parse_record(const std::string &text) {
  Record r;
  MachineFacts &m = r.machine;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos)
      end = text.size();
    std::string line = text.substr(start, end - start);
    start = end + 1;
    auto colon = line.find(": ");
    if (colon == std::string::npos)
      continue;
    std::string k = line.substr(0, colon), v = unescaped(line.substr(colon + 2));
    if (k == "date")
      m.date = v;
    else if (k == "host")
      m.host = v;
    else if (k == "cpu_model")
      m.cpu_model = v;
    else if (k == "num_cpus")
      m.num_cpus = small_number(v);
    else if (k == "kernel")
      m.kernel = v;
    else if (k == "libc")
      m.libc = v;
    else if (k == "tsc_mhz")
      m.tsc_mhz = number(v);
    else if (k == "tsc_constant_nonstop")
      m.tsc_constant_nonstop = v;
    else if (k == "tsc_step")
      m.tsc_step = number(v);
    else if (k == "tsc_read_cost")
      m.tsc_read_cost = number(v);
    else if (k == "runs")
      r.runs = small_number(v);
    else if (k == "pinning")
      r.cpu = v.rfind("cpu ", 0) == 0 ? small_number(v.substr(4)) : std::nullopt;
    else if (k == "timeout")
      r.timeout = seconds(v);
    else if (k == "env" && v != kNone)
      r.env.push_back(v);
    else if (k == "env_inherited" && v != kNone)
      r.env_inherited.push_back(v);
    else if (k == "bench")
      r.bench = v;
    else if (k == "shuffle_seed")
      r.seed = whole_number(v, UINT64_MAX);
    else if (k == "library") {
      auto [name, rest] = split_first(v);
      auto [package, version] = split_first(rest);
      r.libraries.push_back({name, package, version});
    } else if (k == "budget")
      r.budget = seconds(v);
    else if (k == "rounds")
      r.rounds = small_number(v);
    else if (k == "looks")
      r.looks = small_number(v).value_or(0);
    else if (k == "stop")
      r.stop = v;
    else if (k == "variant")
      variant_named(r, v);
    else if (k == "variant_env")
      variant_named(r, split_first(v).first).env.push_back(split_first(v).second);
    else if (k == "variant_bench")
      variant_named(r, split_first(v).first).bench = split_first(v).second;
    else if (k == "order") {
      std::vector<std::string> names;
      for (std::string more = split_first(v).second; !more.empty();) {
        auto [name, after] = split_first(more);
        names.push_back(name);
        more = after;
      }
      r.orders.push_back(names);
    } else if (k != "env" && k != "env_inherited")
      r.unknown.emplace_back(k, v);
  }
  // Variants whose bench line came before the common one take it now.
  for (auto &v : r.variants)
    if (v.bench.empty())
      v.bench = r.bench;
  return r;
}

Record read_record(const std::string &dir) {
  std::string path = (fs::path(dir) / kRecordFile).string();
  struct stat st;
  if (lstat(path.c_str(), &st) != 0 && errno == ENOENT)
    return {};
  return parse_record(read_regular_file(path, kMaxRecordBytes, "a campaign record"));
}

std::string run_file_name(unsigned number, unsigned planned) {
  size_t width = std::max<size_t>(3, std::to_string(planned).size());
  std::string digits = std::to_string(number);
  return "run-" + std::string(width - std::min(width, digits.size()), '0') + digits + ".txt";
}

unsigned run_number(const std::string &n) {
  if (n.size() < 9 || n.size() > 16 || n.compare(0, 4, "run-") != 0 ||
      n.compare(n.size() - 4, 4, ".txt") != 0)
    return 0;
  auto v = small_number(n.substr(4, n.size() - 8));
  return v ? *v : 0;
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
  // By number: past the width of the names (run-1000.txt) their order as
  // text is not the order of the runs.
  std::sort(names.begin(), names.end(), [](const std::string &a, const std::string &b) {
    return std::make_pair(run_number(a), a) < std::make_pair(run_number(b), b);
  });
  return names;
}

} // namespace report
