// Fuzzes the reader of a program campaign's run file: any input is refused
// with an InputError or read, and then it is the one spelling the tool
// writes: written back, it is the input, byte for byte.

#include "report/formats/program_file.hpp"
#include "report/sys/errors.hpp"

#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  std::string text(reinterpret_cast<const char *>(data), size);
  try {
    report::ProgramRun run = report::parse_program(text, "fuzz.txt");
    if (report::program_text(run) != text)
      std::abort();
  } catch (const report::InputError &) {
  }
  return 0;
}
