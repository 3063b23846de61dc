// The campaign record, both ways: context.txt written and read through the
// one table of its keys (record_keys.cpp).

#include "report/formats/campaign_folder.hpp"

#include "report/formats/record_keys.hpp"
#include "report/formats/record_values.hpp"

#include "report/sys/errors.hpp"
#include "report/sys/files.hpp"
#include "report/sys/text.hpp"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <sys/stat.h>

namespace fs = std::filesystem;

namespace report {

const VariantRecord *Record::variant(const std::string &name) const {
  for (const auto &v : variants)
    if (v.name == name)
      return &v;
  return nullptr;
}

std::vector<std::pair<std::string, std::string>> record_fields(const Record &r, bool all) {
  Fields f;
  for (const Key &k : record_keys())
    if (all || !k.detail)
      k.write(r, f);
  f.insert(f.end(), r.unknown.begin(), r.unknown.end());
  return f;
}

std::string format_record(const Record &r) {
  std::string s;
  for (const auto &[k, v] : record_fields(r))
    s += k + ": " + escaped(v) + "\n";
  return s;
}

namespace {

constexpr const char *kStopNames[] = {"",       "decided", "budget", "runs", "interrupted",
                                      "failed", "running"};

} // namespace

const char *stop_name(Stop s) { return kStopNames[(size_t)s]; }

std::optional<Stop> stop_named(const std::string &word) {
  for (size_t i = 1; i < sizeof kStopNames / sizeof kStopNames[0]; i++)
    if (word == kStopNames[i])
      return (Stop)i;
  return std::nullopt;
}

Record parse_record(const std::string &text, const std::string &name) {
  Record r;
  size_t number = 0;
  // Where a record is damaged, no part of it is taken: a record cut short
  // has lost its last lines (the round orders among them), and one with a
  // line that is no key would be read as some other campaign.
  auto damaged = [&](size_t line, const std::string &what) {
    throw InputError(name + ":" + std::to_string(line) + ": " + what);
  };
  for (size_t start = 0; start < text.size();) {
    size_t end = text.find('\n', start);
    number++;
    if (end == std::string::npos)
      damaged(number, "the last line has no line feed (a record cut short?)");
    std::string line = text.substr(start, end - start);
    start = end + 1;
    auto colon = line.find(": ");
    std::string k = line.substr(0, colon);
    if (colon == std::string::npos || k.empty() ||
        k.find_first_not_of("abcdefghijklmnopqrstuvwxyz0123456789_") != std::string::npos)
      damaged(number, "not a 'key: value' line: '" + printable(line.substr(0, 60)) + "'");
    std::string v = unescaped(line.substr(colon + 2));
    auto key = std::find_if(record_keys().begin(), record_keys().end(),
                            [&](const Key &x) { return k == x.name; });
    if (key != record_keys().end() && key->can_read(v))
      key->read(r, v);
    else
      r.unknown.emplace_back(k, v);
  }
  // Variants whose bench line came before the common one take it now.
  for (auto &v : r.variants)
    if (v.bench.empty())
      v.bench = r.bench;
  // An interleaved campaign keeps the order of each of its rounds.
  if (!r.variants.empty() && r.rounds && r.orders.size() != *r.rounds)
    damaged(number, std::to_string(*r.rounds) + " rounds but " + std::to_string(r.orders.size()) +
                        " round orders (a record cut short, or written over?)");
  return r;
}

Record read_record(const std::string &dir) {
  std::string path = (fs::path(dir) / kRecordFile).string();
  struct stat st;
  if (lstat(path.c_str(), &st) != 0 && errno == ENOENT)
    return {};
  return parse_record(read_regular_file(path, kMaxRecordBytes, "a campaign record"), path);
}

} // namespace report
