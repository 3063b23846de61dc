#pragma once
// The mix a replay times: a program's memset calls by fill length, as
// memset-report writes it for memset-batch --replay and the engine reads
// it. The one owner of its layout: the mark, then one line per length with
// calls, lengths increasing within 1..32768, each line "LENGTH CALLS" in
// whole numbers without leading zeros, every line ending in a line feed.
//
//   # memset-mix 1
//   8 1200
//   100 37

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace mix_format {

constexpr const char *kMark = "# memset-mix 1";
constexpr size_t kLengths = 32768;
// Calls of one length; a capture of a day's run stays far below it.
constexpr uint64_t kMaxCalls = 1000000000000000ULL;
constexpr size_t kMaxBytes = 64 + kLengths * 24;

// (length, calls), lengths increasing, calls at least 1.
using Mix = std::vector<std::pair<size_t, uint64_t>>;

inline std::string mix_text(const Mix &m) {
  std::string o = std::string(kMark) + "\n";
  for (const auto &[len, calls] : m)
    o += std::to_string(len) + " " + std::to_string(calls) + "\n";
  return o;
}

namespace detail {
// A whole number of at most 16 digits in its one spelling.
inline bool whole(const std::string &s, uint64_t &out) {
  if (s.empty() || s.size() > 16 || (s.size() > 1 && s[0] == '0'))
    return false;
  out = 0;
  for (char c : s) {
    if (c < '0' || c > '9')
      return false;
    out = out * 10 + (uint64_t)(c - '0');
  }
  return true;
}
} // namespace detail

// Reads `text` strictly into `out`; false with `why` (naming the line) for
// anything else. A mix without a call is refused: there is nothing to time.
inline bool parse_mix(const std::string &text, Mix &out, std::string &why) {
  out.clear();
  if (text.size() > kMaxBytes) {
    why = "more than " + std::to_string(kMaxBytes) + " bytes";
    return false;
  }
  size_t line = 0;
  for (size_t start = 0; start < text.size();) {
    size_t end = text.find('\n', start);
    line++;
    if (end == std::string::npos) {
      why = "line " + std::to_string(line) + ": no line feed (a file cut short?)";
      return false;
    }
    std::string s = text.substr(start, end - start);
    start = end + 1;
    if (line == 1) {
      if (s != kMark) {
        why = std::string("line 1: not a mix of this version (expected '") + kMark + "')";
        return false;
      }
      continue;
    }
    size_t space = s.find(' ');
    uint64_t len = 0, calls = 0;
    if (space == std::string::npos || !detail::whole(s.substr(0, space), len) ||
        !detail::whole(s.substr(space + 1), calls) || len < 1 || len > kLengths || calls < 1 ||
        calls > kMaxCalls || (!out.empty() && len <= out.back().first)) {
      why = "line " + std::to_string(line) +
            ": expected 'LENGTH CALLS', lengths increasing within 1..32768 and calls from 1";
      return false;
    }
    out.emplace_back((size_t)len, calls);
  }
  if (line == 0) {
    why = "empty file";
    return false;
  }
  if (out.empty()) {
    why = "no calls to replay";
    return false;
  }
  return true;
}

} // namespace mix_format
