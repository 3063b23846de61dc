#pragma once
// The table of context.txt's keys, which both reading and writing the
// record go through. For formats/ alone.

#include "report/formats/campaign_folder.hpp"

#include <string>
#include <utility>
#include <vector>

namespace report {

using Fields = std::vector<std::pair<std::string, std::string>>;

// One key of context.txt: how a record writes its lines under that key (none,
// one or several) and how a line of it is read back. The table is the only
// place that spells a key, so reading and writing cannot disagree.
struct Key {
  const char *name;
  void (*write)(const Record &r, const char *key, Fields &out);
  void (*read)(Record &r, const std::string &value);
  bool detail = false; // variants and round orders: written only for the whole record
  // Whether a value can be read at all; a line whose value cannot is kept
  // as it is, with the lines of unknown keys. None: every value can.
  bool (*readable)(const std::string &value) = nullptr;
};

// Every key, in the order context.txt holds them.
const std::vector<Key> &record_keys();

} // namespace report
