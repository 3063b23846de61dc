// How values are written in context.txt: escaped text, plain decimal
// numbers, seconds, and names split from what follows them.

#include "report/formats/record_values.hpp"

#include "report/sys/text.hpp"

#include <cstdio>
#include <cstdlib>

namespace report {

namespace {

int hex_digit(char c) {
  if (c >= '0' && c <= '9')
    return c - '0';
  if (c >= 'a' && c <= 'f')
    return c - 'a' + 10;
  return -1;
}

} // namespace

std::string escaped(const std::string &v) {
  std::string out;
  for (unsigned char c : v) {
    if (c == '\\') {
      out += "\\\\";
    } else if (c < 0x20 || c == 0x7f) {
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\x%02x", c);
      out += buf;
    } else {
      out += (char)c;
    }
  }
  return out;
}

std::string unescaped(const std::string &v) {
  std::string out;
  for (size_t i = 0; i < v.size(); i++) {
    if (v[i] == '\\' && i + 1 < v.size() && v[i + 1] == '\\') {
      out += '\\';
      i++;
    } else if (v[i] == '\\' && i + 3 < v.size() && v[i + 1] == 'x' && hex_digit(v[i + 2]) >= 0 &&
               hex_digit(v[i + 3]) >= 0) {
      out += (char)(hex_digit(v[i + 2]) * 16 + hex_digit(v[i + 3]));
      i += 3;
    } else {
      out += v[i];
    }
  }
  return out;
}

std::optional<double> seconds(const std::string &v) {
  if (v.size() < 3 || v.compare(v.size() - 2, 2, " s") != 0)
    return std::nullopt;
  return parse_decimal(v.substr(0, v.size() - 2));
}

std::optional<unsigned> small_number(const std::string &s) {
  auto v = parse_whole(s, UINT32_MAX);
  return v ? std::optional<unsigned>((unsigned)*v) : std::nullopt;
}

std::string fixed(double v, int decimals) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.*f", decimals, v);
  return buf;
}

std::pair<std::string, std::string> split_first(const std::string &s) {
  auto sp = s.find(' ');
  if (sp == std::string::npos)
    return {s, ""};
  return {s.substr(0, sp), s.substr(sp + 1)};
}

std::string plain_decimal(double v) {
  // Plain decimal, as parse_decimal() reads it back: %g would write a large value
  // with an exponent ("6.08165e+13 s"), which reads as none.
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.6f", v);
  std::string s = buf;
  s.erase(s.find_last_not_of('0') + 1);
  if (s.back() == '.')
    s.pop_back();
  return s;
}

std::string in_seconds(double v) { return plain_decimal(v) + " s"; }

} // namespace report
