// Renders a Report as CSV: "length" and one column per set, of its statistic.

#include "report/render/render.hpp"

namespace report {

namespace {

std::string field(const std::string &s) {
  if (s.find_first_of(",\"\n\r") == std::string::npos)
    return s;
  std::string q = "\"";
  for (char c : s)
    q += c == '"' ? std::string("\"\"") : std::string(1, c);
  return q + "\"";
}

} // namespace

std::string render_csv(const Report &r) {
  std::string out = "length";
  for (const auto &sr : r.sets)
    out += "," + field(sr.set.label);
  out += "\n";
  for (size_t k = 0; k < kLengths; k++) {
    out += std::to_string(k + 1);
    for (const auto &sr : r.sets)
      out += "," + sr.levels[k].str();
    out += "\n";
  }
  return out;
}

} // namespace report
