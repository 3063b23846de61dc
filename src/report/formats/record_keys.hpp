#pragma once
// The table of context.txt's keys, which both reading and writing the
// record go through. For formats/ alone.

#include "report/formats/campaign_folder.hpp"

#include <string>
#include <utility>
#include <vector>

namespace report {

// One key of context.txt: how a record writes its lines under that key (none,
// one or several) and how a line of it is read back. The table is the only
// place that spells a key, so reading and writing cannot disagree.
// A campaign setting's key is its row's (campaign_settings).
struct Key {
  const char *name;
  void (*put)(const Record &r, const char *key, Fields &out);
  void (*take)(Record &r, const std::string &value);
  bool detail = false; // variants and round orders: written only for the whole record
  // Whether a value can be read at all; a line whose value cannot is kept
  // as it is, with the lines of unknown keys. None: every value can.
  bool (*readable)(const std::string &value) = nullptr;
  const SettingRow *setting = nullptr; // a setting's: its row does all

  void write(const Record &r, Fields &out) const {
    setting ? setting->write(r, name, out) : put(r, name, out);
  }
  void read(Record &r, const std::string &value) const {
    setting ? setting->read(r, value) : take(r, value);
  }
  bool can_read(const std::string &value) const {
    auto check = setting ? setting->readable : readable;
    return !check || check(value);
  }
};

// Every key, in the order context.txt holds them.
const std::vector<Key> &record_keys();

} // namespace report
