// Whether this build writes JSON, the lengths a JSON carries by default,
// and the refusal where it cannot write one.

#include "report/render/render.hpp"

#include "report/sys/errors.hpp"

namespace report {

std::vector<size_t> default_json_lengths() {
  std::vector<size_t> out;
  for (size_t p = 1; p <= kLengths; p *= 2) {
    out.push_back(p);
    if (p >= 2 && p * 3 / 2 <= kLengths && p < kLengths)
      out.push_back(p * 3 / 2);
  }
  return out;
}

#ifdef MEMSET_REPORT_JSON

bool json_supported() { return true; }

#else

bool json_supported() { return false; }

void render_json(const Report &, const std::vector<size_t> &,
                 const std::function<void(const std::string &)> &) {
  need_json_support();
}

#endif

void need_json_support() {
  if (!json_supported())
    throw SystemError("this memset-report was built without JSON support; install "
                      "nlohmann-json3-dev (Debian) and build again");
}

} // namespace report
