// The result file of memset-bench: its exact format, read strictly and within bounds.

#include "report/formats/result_file.hpp"

#include "report/sys/files.hpp"

#include <cstdio>

namespace report {

namespace {

[[noreturn]] void bad(const std::string &name, size_t line, const std::string &what) {
  throw InputError(name + ":" + std::to_string(line) + ": " + what);
}

std::string shown(char c) {
  if (c == '\n')
    return "a line feed";
  if (c == '\r')
    return "a carriage return";
  if (c >= 0x20 && c < 0x7f)
    return std::string("'") + c + "'";
  char buf[16];
  std::snprintf(buf, sizeof buf, "byte 0x%02x", (unsigned char)c);
  return buf;
}

} // namespace

RunValues parse_result(const std::string &text, const std::string &name) {
  if (text.empty())
    throw InputError(name + ": empty file");
  RunValues values;
  values.reserve(kLengths);
  const char *p = text.data(), *end = p + text.size();
  size_t line = 1;
  for (;;) {
    if (p == end || *p < '0' || *p > '9')
      bad(name, line, p == end ? "missing value" : "expected a decimal value, found " + shown(*p));
    if (*p == '0' && p + 1 < end && p[1] >= '0' && p[1] <= '9')
      bad(name, line, "value with a leading zero");
    uint64_t v = 0;
    for (; p < end && *p >= '0' && *p <= '9'; ++p) {
      unsigned d = *p - '0';
      if (v > (UINT64_MAX - d) / 10)
        bad(name, line, "value does not fit in 64 bits");
      v = v * 10 + d;
    }
    if (values.size() == kLengths)
      bad(name, line, "more than " + std::to_string(kLengths) + " values");
    values.push_back(v);
    if (p == end)
      break;
    if (*p != '\n')
      bad(name, line, "found " + shown(*p) + " after the value");
    ++p;
    ++line;
    // A file cut short after a line feed is short, not one with a stray line feed.
    if (p == end && values.size() == kLengths)
      bad(name, line - 1, "line feed after the last value");
    if (p == end)
      break;
  }
  if (values.size() != kLengths)
    throw InputError(name + ": " + std::to_string(values.size()) + " values, expected " +
                     std::to_string(kLengths));
  return values;
}

} // namespace report
