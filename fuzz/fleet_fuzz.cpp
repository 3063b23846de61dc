// Fuzzes a fleet's two readers, the hosts file and fleet.txt: whatever they
// hold, each reads or refuses with an InputError, never more hosts than
// kMaxHosts and never a host folder that is not a plain name; a fleet
// record written and read back writes the same text again.

#include "report/formats/fleet_file.hpp"
#include "report/sys/errors.hpp"

#include <cstdint>
#include <cstdlib>
#include <string>

namespace {

void check_folder(const std::string &f) {
  if (f.empty() || f == "." || f == ".." || f.find('/') != std::string::npos)
    std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  const std::string text(reinterpret_cast<const char *>(data), size);
  try {
    for (const auto &h : report::read_hosts(text, "hosts"))
      check_folder(h.folder);
  } catch (const report::InputError &) {
  }
  try {
    const report::FleetRecord r = report::parse_fleet(text, "fleet.txt");
    if (r.hosts.size() > report::kMaxHosts)
      std::abort();
    const std::string once = report::format_fleet(r);
    if (report::format_fleet(report::parse_fleet(once, "again")) != once)
      std::abort();
  } catch (const report::InputError &) {
  }
  return 0;
}
