// Fuzzes the reader of a replay's mix, which memset-batch --replay reads:
// any input is refused with a reason or read as lengths increasing within
// 1..32768 with calls (and, of the second version, where they landed), and
// then it is the one spelling the report writes.

#include "batch/mix_format.hpp"

#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  std::string text(reinterpret_cast<const char *>(data), size);
  mix_format::Mix mix;
  mix_format::Landing landing;
  std::string why;
  const bool landed = text.rfind(mix_format::kMarkLanded, 0) == 0;
  if (!mix_format::parse_mix(text, mix, why, &landing)) {
    if (why.empty())
      std::abort();
    return 0;
  }
  size_t last = 0;
  for (const auto &[len, calls] : mix)
    if (len <= last || len > mix_format::kLengths || calls < 1)
      std::abort();
    else
      last = len;
  if (landed && landing.cold_ppm > mix_format::kPpm)
    std::abort();
  if (mix.empty() || mix_format::mix_text(mix, landed ? &landing : nullptr) != text)
    std::abort();
  return 0;
}
