// The table of context.txt's keys: how the record writes each key's lines
// and reads them back. Every key of the record is spelled here and nowhere else.

#include "report/formats/record_keys.hpp"

#include "report/formats/record_values.hpp"
#include "report/sys/text.hpp"

#include <algorithm>

namespace report {

namespace {

// The word that stands for "nothing" where a key is always written.
constexpr const char *kNone = "none";

VariantRecord &variant_named(Record &r, const std::string &name) {
  for (auto &v : r.variants)
    if (v.name == name)
      return v;
  VariantRecord v;
  v.name = name;
  v.bench = r.bench;
  r.variants.push_back(v);
  return r.variants.back();
}

// A line that names a variant first: "NAME" or "NAME REST".
bool names_a_variant(const std::string &v) { return is_variant_name(split_first(v).first); }

bool is_start_word(const std::string &v) { return v == kStartedCopy || v == kStartedLoader; }

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
          [](Record &r, const std::string &v) { r.machine.*M = parse_decimal(v); }};
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
template <std::optional<double> Record::*M> Key record_seconds(const char *name) {
  return {name,
          [](const Record &r, const char *n, Fields &o) {
            if (r.*M)
              o.emplace_back(n, in_seconds(*(r.*M)));
          },
          [](Record &r, const std::string &v) { r.*M = seconds(v); }};
}
template <std::vector<std::string> Record::*M> Key record_list(const char *name) {
  return {name, [](const Record &r, const char *n, Fields &o) { list_lines(o, n, r.*M); },
          [](Record &r, const std::string &v) { add_to_list(r.*M, v); }};
}

// "NAME TEXT" lines of a variant's text field, written where it is not empty.
template <std::string VariantRecord::*M> Key variant_text(const char *name) {
  return {name,
          [](const Record &r, const char *n, Fields &o) {
            for (const auto &v : r.variants)
              if (!(v.*M).empty())
                o.emplace_back(n, v.name + " " + v.*M);
          },
          [](Record &r, const std::string &v) {
            auto [name, text] = split_first(v);
            variant_named(r, name).*M = text;
          },
          true, names_a_variant};
}

// A plain campaign's C library, a line per fact where it is known.
template <std::string LibcRecord::*M> Key plain_libc(const char *name) {
  return {name, [](const Record &r, const char *n, Fields &o) { text_line(o, n, r.libc_run.*M); },
          [](Record &r, const std::string &v) { r.libc_run.*M = v; }};
}

// "NAME TEXT" lines of a variant's C library, as variant_text.
template <std::string LibcRecord::*M> Key variant_libc(const char *name) {
  return {name,
          [](const Record &r, const char *n, Fields &o) {
            for (const auto &v : r.variants)
              if (!(v.libc.*M).empty())
                o.emplace_back(n, v.name + " " + v.libc.*M);
          },
          [](Record &r, const std::string &v) {
            auto [name, text] = split_first(v);
            variant_named(r, name).libc.*M = text;
          },
          true, names_a_variant};
}

// A campaign setting's key, as its row spells and reads it.
Key setting(const char *key) {
  const SettingRow *row = setting_of_key(key);
  return {row->key, nullptr, nullptr, false, nullptr, row};
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
      setting("pinning"),
      setting("timeout"),
      setting("env"),
      record_list<&Record::env_inherited>("env_inherited"),
      record_text<&Record::bench>("bench"),
      setting("engine"),
      setting("engine_lengths"),
      setting("align"),
      setting("footprint"),
      setting("footprint_level"),
      setting("program"),
      setting("program_output"),
      setting("replay"),
      {"replay_format",
       [](const Record &r, const char *n, Fields &o) { text_line(o, n, r.replay_format); },
       [](Record &r, const std::string &v) { r.replay_format = v; }},
      {"replay_calls",
       [](const Record &r, const char *n, Fields &o) {
         if (r.replay)
           o.emplace_back(n, std::to_string(r.replay_calls));
       },
       [](Record &r, const std::string &v) { r.replay_calls = parse_whole(v).value_or(0); }},
      plain_libc<&LibcRecord::loader>("loader"),
      plain_libc<&LibcRecord::library_path>("library_path"),
      {"started",
       [](const Record &r, const char *n, Fields &o) { text_line(o, n, r.libc_run.started); },
       [](Record &r, const std::string &v) { r.libc_run.started = v; }, false, is_start_word},
      plain_libc<&LibcRecord::path>("libc_loaded"),
      plain_libc<&LibcRecord::version>("libc_version"),
      plain_libc<&LibcRecord::build_id>("libc_build_id"),
      record_text<&Record::memset>("memset"),
      record_text<&Record::tunables>("tunables"),
      setting("shuffle_seed"),
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
         for (double b : r.budgets)
           o.emplace_back(n, in_seconds(b));
       },
       [](Record &r, const std::string &v) {
         if (auto s = seconds(v))
           r.budgets.push_back(*s);
       }},
      setting("min_span"),
      setting("threshold"),
      {"same_as",
       [](const Record &r, const char *n, Fields &o) {
         for (const auto &s : r.same_as)
           o.emplace_back(n, s.name + " " + s.as + " " + s.setting);
       },
       [](Record &r, const std::string &v) {
         auto [name, rest] = split_first(v);
         auto [as, setting] = split_first(rest);
         r.same_as.push_back({name, as, setting});
       },
       false, names_a_variant},
      record_count<&Record::rounds>("rounds"),
      {"looks",
       [](const Record &r, const char *n, Fields &o) {
         if (r.looks)
           o.emplace_back(n, std::to_string(r.looks));
       },
       [](Record &r, const std::string &v) { r.looks = small_number(v).value_or(0); }},
      record_seconds<&Record::elapsed>("elapsed"),
      {"stop",
       [](const Record &r, const char *n, Fields &o) { text_line(o, n, stop_name(r.stop)); },
       [](Record &r, const std::string &v) { r.stop = *stop_named(v); }, false,
       [](const std::string &v) { return stop_named(v).has_value(); }},
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
           if (!v.bench.empty()) // a program campaign's run no engine
             o.emplace_back(n, v.name + " " + v.bench);
       },
       [](Record &r, const std::string &v) {
         auto [name, bench] = split_first(v);
         variant_named(r, name).bench = bench;
       },
       true, names_a_variant},
      variant_text<&VariantRecord::memset>("variant_memset"),
      variant_text<&VariantRecord::tunables>("variant_tunables"),
      variant_libc<&LibcRecord::loader>("variant_loader"),
      variant_libc<&LibcRecord::library_path>("variant_library_path"),
      {"variant_started",
       [](const Record &r, const char *n, Fields &o) {
         for (const auto &v : r.variants)
           if (!v.libc.started.empty())
             o.emplace_back(n, v.name + " " + v.libc.started);
       },
       [](Record &r, const std::string &v) {
         auto [name, word] = split_first(v);
         variant_named(r, name).libc.started = word;
       },
       true,
       [](const std::string &v) {
         auto [name, word] = split_first(v);
         return is_variant_name(name) && is_start_word(word);
       }},
      variant_libc<&LibcRecord::path>("variant_libc"),
      variant_libc<&LibcRecord::version>("variant_libc_version"),
      variant_libc<&LibcRecord::build_id>("variant_libc_build_id"),
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

} // namespace

const std::vector<Key> &record_keys() {
  static const std::vector<Key> k = [] {
    std::vector<Key> all = machine_keys();
    for (auto part : {run_keys(), variant_keys()})
      all.insert(all.end(), part.begin(), part.end());
    // A setting placed nowhere above goes last, so that none is left out.
    for (const SettingRow &row : setting_rows())
      if (std::none_of(all.begin(), all.end(), [&](const Key &k) { return k.setting == &row; }))
        all.push_back({row.key, nullptr, nullptr, false, nullptr, &row});
    return all;
  }();
  return k;
}

} // namespace report
