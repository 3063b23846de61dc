#include "result_file.hpp"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace fs = std::filesystem;

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

std::string read_all(const std::string &path) {
  std::error_code ec;
  if (fs::is_directory(path, ec))
    throw InputError(path + ": is a folder, not a result file");
  std::ifstream in(path, std::ios::binary);
  if (!in)
    throw InputError(path + ": " + std::strerror(errno));
  std::ostringstream s;
  s << in.rdbuf();
  if (in.bad())
    throw InputError(path + ": read error");
  return s.str();
}

} // namespace

Curve parse_result(const std::string &text, const std::string &name) {
  if (text.empty())
    throw InputError(name + ": empty file");
  Curve values;
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
      bad(name, line, "unexpected " + shown(*p) + " after the value");
    ++p;
    ++line;
    if (p == end)
      bad(name, line - 1, "line feed after the last value");
  }
  if (values.size() != kLengths)
    throw InputError(name + ": " + std::to_string(values.size()) + " values, expected " +
                     std::to_string(kLengths));
  return values;
}

Curve read_result_file(const std::string &path) { return parse_result(read_all(path), path); }

std::vector<std::string> run_files_in(const std::string &dir) {
  std::vector<std::string> names;
  std::error_code ec;
  for (fs::directory_iterator it(dir, ec), e; !ec && it != e; it.increment(ec)) {
    std::string n = it->path().filename().string();
    if (n.size() > 8 && n.compare(0, 4, "run-") == 0 && n.compare(n.size() - 4, 4, ".txt") == 0)
      names.push_back(n);
  }
  if (ec)
    throw InputError(dir + ": " + ec.message());
  std::sort(names.begin(), names.end());
  return names;
}

Set load_set(const std::string &path) {
  if (path.empty())
    throw InputError("empty path");
  Set set;
  set.label = path;
  while (set.label.size() > 1 && set.label.back() == '/')
    set.label.pop_back();
  std::error_code ec;
  if (!fs::exists(path, ec))
    throw InputError(path + ": " + std::strerror(ENOENT));
  if (fs::is_directory(path, ec)) {
    for (const auto &n : run_files_in(path)) {
      set.files.push_back(n);
      set.runs.push_back(read_result_file((fs::path(path) / n).string()));
    }
    if (set.runs.empty())
      throw InputError(path + ": no run-*.txt files in this folder");
    std::ifstream ctx(fs::path(path) / "context.txt");
    for (std::string line; std::getline(ctx, line);)
      if (line.rfind("env: ", 0) == 0 && line != "env: none")
        set.env.push_back(line.substr(5));
  } else {
    set.files.push_back(fs::path(path).filename().string());
    set.runs.push_back(read_result_file(path));
  }
  return set;
}

} // namespace report
