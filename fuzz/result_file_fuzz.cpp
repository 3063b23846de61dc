// Fuzzes the result-file reader: any input is either refused with an
// InputError or read as exactly one value per length.

#include "report/formats/result_file.hpp"

#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  std::string text(reinterpret_cast<const char *>(data), size);
  try {
    report::RunValues run = report::parse_result(text, "fuzz.txt");
    if (run.size() != report::kLengths)
      std::abort();
  } catch (const report::InputError &) {
  }
  return 0;
}
