// The campaign folder's format, both ways: the record in context.txt, and the
// names of its run files. Every key of the record is spelled here and nowhere else.

#include "report/formats/campaign_folder.hpp"

#include "report/formats/record_values.hpp"

#include "report/sys/errors.hpp"
#include "report/sys/files.hpp"

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

VariantRecord &variant_named(Record &r, const std::string &name) {
  for (auto &v : r.variants)
    if (v.name == name)
      return v;
  r.variants.push_back({name, {}, r.bench});
  return r.variants.back();
}

using Fields = std::vector<std::pair<std::string, std::string>>;

// One key of context.txt: how a record writes its lines under that key (none,
// one or several) and how a line of it is read back. The table below is the
// only place that spells a key, so reading and writing cannot disagree.
struct Key {
  const char *name;
  void (*write)(const Record &r, const char *key, Fields &out);
  void (*read)(Record &r, const std::string &value);
  bool detail = false; // variants and round orders: written only for the whole record
  // Whether a value can be read at all; a line whose value cannot is kept
  // as it is, with the lines of unknown keys. None: every value can.
  bool (*readable)(const std::string &value) = nullptr;
};

// A line that names a variant first: "NAME" or "NAME REST".
bool names_a_variant(const std::string &v) { return is_variant_name(split_first(v).first); }

void text_line(Fields &out, const char *key, const std::string &v) {
  if (!v.empty())
    out.emplace_back(key, v);
}

// A list written as one line per entry, or as "none" when empty.
void list_lines(Fields &out, const char *key, const std::vector<std::string> &list) {
  if (list.empty())
    out.emplace_back(key, kNone);
  for (const auto &e : list)
    out.emplace_back(key, e);
}

void add_to_list(std::vector<std::string> &list, const std::string &v) {
  if (v != kNone)
    list.push_back(v);
}

// Keys of the common shapes: text written when not empty, a number written
// when known, of the machine's facts or of the record itself.
template <std::string MachineFacts::*M> Key machine_text(const char *name) {
  return {name, [](const Record &r, const char *n, Fields &o) { text_line(o, n, r.machine.*M); },
          [](Record &r, const std::string &v) { r.machine.*M = v; }};
}
template <std::optional<double> MachineFacts::*M, int Decimals>
Key machine_number(const char *name) {
  return {name,
          [](const Record &r, const char *n, Fields &o) {
            if (r.machine.*M)
              o.emplace_back(n, fixed(*(r.machine.*M), Decimals));
          },
          [](Record &r, const std::string &v) { r.machine.*M = number(v); }};
}
template <std::string Record::*M> Key record_text(const char *name) {
  return {name, [](const Record &r, const char *n, Fields &o) { text_line(o, n, r.*M); },
          [](Record &r, const std::string &v) { r.*M = v; }};
}
template <std::optional<unsigned> Record::*M> Key record_count(const char *name) {
  return {name,
          [](const Record &r, const char *n, Fields &o) {
            if (r.*M)
              o.emplace_back(n, std::to_string(*(r.*M)));
          },
          [](Record &r, const std::string &v) { r.*M = small_number(v); }};
}
template <std::vector<std::string> Record::*M> Key record_list(const char *name) {
  return {name, [](const Record &r, const char *n, Fields &o) { list_lines(o, n, r.*M); },
          [](Record &r, const std::string &v) { add_to_list(r.*M, v); }};
}

// What the campaign knew of the machine.
std::vector<Key> machine_keys() {
  using M = MachineFacts;
  return {
      machine_text<&M::date>("date"),
      machine_text<&M::host>("host"),
      machine_text<&M::cpu_model>("cpu_model"),
      {"num_cpus",
       [](const Record &r, const char *n, Fields &o) {
         if (r.machine.num_cpus)
           o.emplace_back(n, std::to_string(*r.machine.num_cpus));
       },
       [](Record &r, const std::string &v) { r.machine.num_cpus = small_number(v); }},
      machine_text<&M::kernel>("kernel"),
      machine_text<&M::libc>("libc"),
      machine_number<&M::tsc_mhz, 1>("tsc_mhz"),
      machine_text<&M::tsc_constant_nonstop>("tsc_constant_nonstop"),
      machine_number<&M::tsc_step, 2>("tsc_step"),
      machine_number<&M::tsc_read_cost, 0>("tsc_read_cost"),
  };
}

// How the campaign ran, and how it ended.
std::vector<Key> run_keys() {
  return {
      record_count<&Record::planned>("runs"),
      {"pinning",
       [](const Record &r, const char *n, Fields &o) {
         o.emplace_back(n, r.cpu ? "cpu " + std::to_string(*r.cpu) : kNone);
       },
       [](Record &r, const std::string &v) {
         r.cpu = v.rfind("cpu ", 0) == 0 ? small_number(v.substr(4)) : std::nullopt;
       }},
      {"timeout",
       [](const Record &r, const char *n, Fields &o) {
         o.emplace_back(n, r.timeout ? in_seconds(*r.timeout) : kNone);
       },
       [](Record &r, const std::string &v) { r.timeout = seconds(v); }},
      record_list<&Record::env>("env"),
      record_list<&Record::env_inherited>("env_inherited"),
      record_text<&Record::bench>("bench"),
      {"shuffle_seed",
       [](const Record &r, const char *n, Fields &o) {
         if (r.seed)
           o.emplace_back(n, std::to_string(*r.seed));
       },
       [](Record &r, const std::string &v) { r.seed = whole_number(v, UINT64_MAX); }},
      {"library",
       [](const Record &r, const char *n, Fields &o) {
         for (const auto &l : r.libraries)
           o.emplace_back(n, l.name + " " + l.package + " " + l.version);
       },
       [](Record &r, const std::string &v) {
         auto [name, rest] = split_first(v);
         auto [package, version] = split_first(rest);
         r.libraries.push_back({name, package, version});
       }},
      {"budget",
       [](const Record &r, const char *n, Fields &o) {
         if (r.budget)
           o.emplace_back(n, in_seconds(*r.budget));
       },
       [](Record &r, const std::string &v) { r.budget = seconds(v); }},
      record_count<&Record::rounds>("rounds"),
      {"looks",
       [](const Record &r, const char *n, Fields &o) {
         if (r.looks)
           o.emplace_back(n, std::to_string(r.looks));
       },
       [](Record &r, const std::string &v) { r.looks = small_number(v).value_or(0); }},
      record_text<&Record::stop>("stop"),
  };
}

// Its variants and round orders, written only for the whole record.
std::vector<Key> variant_keys() {
  return {
      {"variant",
       [](const Record &r, const char *n, Fields &o) {
         for (const auto &v : r.variants)
           o.emplace_back(n, v.name);
       },
       [](Record &r, const std::string &v) { variant_named(r, v); }, true, is_variant_name},
      {"variant_env",
       [](const Record &r, const char *n, Fields &o) {
         for (const auto &v : r.variants)
           for (const auto &e : v.env)
             o.emplace_back(n, v.name + " " + e);
       },
       [](Record &r, const std::string &v) {
         auto [name, entry] = split_first(v);
         variant_named(r, name).env.push_back(entry);
       },
       true, names_a_variant},
      {"variant_bench",
       [](const Record &r, const char *n, Fields &o) {
         for (const auto &v : r.variants)
           o.emplace_back(n, v.name + " " + v.bench);
       },
       [](Record &r, const std::string &v) {
         auto [name, bench] = split_first(v);
         variant_named(r, name).bench = bench;
       },
       true, names_a_variant},
      {"order",
       [](const Record &r, const char *n, Fields &o) {
         for (size_t i = 0; i < r.orders.size(); i++) {
           std::string line = std::to_string(i + 1);
           for (const auto &name : r.orders[i])
             line += " " + name;
           o.emplace_back(n, line);
         }
       },
       [](Record &r, const std::string &v) {
         std::vector<std::string> names;
         for (std::string more = split_first(v).second; !more.empty();) {
           auto [name, after] = split_first(more);
           if (!name.empty()) // a doubled space names nothing
             names.push_back(name);
           more = after;
         }
         r.orders.push_back(names);
       },
       true},
  };
}

// Every key, in the order context.txt holds them.
const std::vector<Key> &keys() {
  static const std::vector<Key> k = [] {
    std::vector<Key> all = machine_keys();
    for (auto part : {run_keys(), variant_keys()})
      all.insert(all.end(), part.begin(), part.end());
    return all;
  }();
  return k;
}

} // namespace

const VariantRecord *Record::variant(const std::string &name) const {
  for (const auto &v : variants)
    if (v.name == name)
      return &v;
  return nullptr;
}

std::vector<std::pair<std::string, std::string>> record_fields(const Record &r, bool all) {
  Fields f;
  for (const Key &k : keys())
    if (all || !k.detail)
      k.write(r, k.name, f);
  f.insert(f.end(), r.unknown.begin(), r.unknown.end());
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
  for (size_t start = 0; start < text.size();) {
    size_t end = std::min(text.find('\n', start), text.size());
    std::string line = text.substr(start, end - start);
    start = end + 1;
    auto colon = line.find(": ");
    if (colon == std::string::npos)
      continue;
    std::string k = line.substr(0, colon), v = unescaped(line.substr(colon + 2));
    auto key =
        std::find_if(keys().begin(), keys().end(), [&](const Key &x) { return k == x.name; });
    if (key != keys().end() && (!key->readable || key->readable(v)))
      key->read(r, v);
    else
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

} // namespace report
