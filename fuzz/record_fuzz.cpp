// Fuzzes the campaign record: whatever context.txt holds, reading either
// refuses it as damaged or takes it, and a record taken, written and read
// back writes the same text again.

#include "report/formats/campaign_folder.hpp"
#include "report/sys/errors.hpp"

#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  std::string text(reinterpret_cast<const char *>(data), size);
  std::string once;
  try {
    once = report::format_record(report::parse_record(text));
  } catch (const report::InputError &) {
    return 0;
  }
  std::string twice = report::format_record(report::parse_record(once));
  if (once != twice)
    std::abort();
  return 0;
}
