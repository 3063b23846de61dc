// Fuzzes one weights format (WEIGHTS_FORMAT, set by the build): any input
// is refused with an InputError or read as finite, non-negative calls whose
// parts add up to the total; and a capture's lines, read, written and read
// again, say the same.

#include "report/formats/weights.hpp"
#include "report/sys/errors.hpp"

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>

namespace {

// A capture's lines as written must read back as they were: no refusal.
void read_again(const report::Capture &c) {
  std::string again = report::capture_text(c, {{8, c.calls}});
  try {
    report::Weights w = report::parse_weights(again, "again.txt", report::WeightsFormat::Auto);
    if (!w.capture || report::capture_header(*w.capture) != report::capture_header(c))
      std::abort();
  } catch (const report::InputError &) {
    std::abort();
  }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  std::string text(reinterpret_cast<const char *>(data), size);
  try {
    report::Weights w =
        report::parse_weights(text, "fuzz.txt", report::WeightsFormat::WEIGHTS_FORMAT);
    double sum = w.zero + w.one + w.above + w.open;
    for (double c : w.at) {
      if (!(c >= 0) || !std::isfinite(c))
        std::abort();
      sum += c;
    }
    if (!std::isfinite(w.total) || std::fabs(sum - w.total) > 1e-6 * std::max(1.0, w.total))
      std::abort();
    if (w.capture)
      read_again(*w.capture);
  } catch (const report::InputError &) {
  }
  return 0;
}
