// Fuzzes the memset-batch file reader: any input is either refused with an
// InputError or read as exactly one value per length (one, of a replay), and then it is the
// one spelling the engine writes: written back, it is the input, byte for byte.

#include "report/formats/batch_file.hpp"

#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  std::string text(reinterpret_cast<const char *>(data), size);
  try {
    report::BatchRun run = report::parse_batch(text, "fuzz.txt");
    if (run.values.size() != (run.header.replay ? 1 : report::kLengths) ||
        report::batch_text(run) != text)
      std::abort();
  } catch (const report::InputError &) {
  }
  return 0;
}
