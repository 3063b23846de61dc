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
//
// A mix that says where the fills landed (from a capture that recorded
// it) is the second version: its mark, then the share of calls in a
// million whose destination no recent fill touched, then the lengths as
// above, then for each class of lengths with calls (its number, a bit
// width: length_class below) the calls at each offset from a 64-byte line:
//
//   # memset-mix 2
//   # cold: 630000
//   8 1200
//   100 37
//   # offsets: 4 1200 0 0 ... (64 counts)
//   # offsets: 7 30 0 ... 7 ...

#include "batch/length_class.hpp"

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace mix_format {

constexpr const char *kMark = "# memset-mix 1";
constexpr const char *kMarkLanded = "# memset-mix 2";
// Classes of lengths, and offsets within a 64-byte line: a capture's
// (length_class.hpp).
using length_classes::kClasses;
using length_classes::kLine;
using length_classes::length_class;
constexpr uint64_t kPpm = 1000000;
// Where a mix's fills landed: per class, the calls at each offset (a class
// without calls has none), and the share of calls in a million that land
// on lines no recent fill touched.
struct Landing {
  uint64_t offsets[kClasses][kLine] = {};
  uint64_t cold_ppm = 0;
  bool has(unsigned k) const {
    for (uint64_t n : offsets[k])
      if (n)
        return true;
    return false;
  }
};
constexpr size_t kLengths = 32768;
// The least region a mix with cold calls lands in: a hot place of twice the
// longest fill, room past the last start for the longest fill, and more
// lines to start a cold fill on than two longest fills cover, so that a
// line clear of the cold call before always remains to be drawn.
constexpr size_t kLeastLandedRegion = 8 * kLengths;
// Calls of one length; a capture of a day's run stays far below it.
constexpr uint64_t kMaxCalls = 1000000000000000ULL;
constexpr size_t kMaxBytes = 64 + kLengths * 24;

// (length, calls), lengths increasing, calls at least 1.
using Mix = std::vector<std::pair<size_t, uint64_t>>;

inline std::string mix_text(const Mix &m, const Landing *landing = nullptr) {
  std::string o = std::string(landing ? kMarkLanded : kMark) + "\n";
  if (landing)
    o += "# cold: " + std::to_string(landing->cold_ppm) + "\n";
  for (const auto &[len, calls] : m)
    o += std::to_string(len) + " " + std::to_string(calls) + "\n";
  for (unsigned k = 0; landing && k < kClasses; k++) {
    if (!landing->has(k))
      continue;
    o += "# offsets: " + std::to_string(k);
    for (uint64_t n : landing->offsets[k])
      o += " " + std::to_string(n);
    o += "\n";
  }
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
// A mix of the second version needs `landing`, which takes where its fills
// landed; every class with calls has its offsets, and no other does.
inline bool parse_mix(const std::string &text, Mix &out, std::string &why,
                      Landing *landing = nullptr) {
  out.clear();
  bool landed = false, lengths_done = false;
  unsigned last_class = 0;
  bool any_class = false;
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
    const std::string where = "line " + std::to_string(line) + ": ";
    if (line == 1) {
      landed = s == kMarkLanded && landing;
      if (s != kMark && !landed) {
        why = std::string("line 1: not a mix of a version this reads (expected '") + kMark + "'" +
              (landing ? std::string(" or '") + kMarkLanded + "'" : "") + ")";
        return false;
      }
      if (landed)
        *landing = Landing{};
      continue;
    }
    if (landed && line == 2) {
      const std::string key = "# cold: ";
      if (s.compare(0, key.size(), key) != 0 ||
          !detail::whole(s.substr(key.size()), landing->cold_ppm) || landing->cold_ppm > kPpm) {
        why = where + "expected '# cold: PPM', calls in a million from 0 to 1000000";
        return false;
      }
      continue;
    }
    if (landed && s.compare(0, 11, "# offsets: ") == 0) {
      lengths_done = true;
      std::vector<uint64_t> n;
      for (size_t at = 11; at <= s.size();) {
        size_t next = std::min(s.find(' ', at), s.size());
        uint64_t v = 0;
        if (!detail::whole(s.substr(at, next - at), v)) {
          why = where + "expected '# offsets: CLASS' and 64 counts";
          return false;
        }
        n.push_back(v);
        at = next + 1;
      }
      if (n.size() != 1 + kLine || n[0] >= kClasses || (any_class && n[0] <= last_class)) {
        why = where + "expected '# offsets: CLASS' and 64 counts, classes increasing";
        return false;
      }
      last_class = (unsigned)n[0];
      any_class = true;
      std::copy(n.begin() + 1, n.end(), landing->offsets[last_class]);
      if (!landing->has(last_class)) {
        why = where + "a class without calls";
        return false;
      }
      continue;
    }
    if (lengths_done) {
      why = where + "a length after the offsets";
      return false;
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
  if (landed) { // every class with calls, and only those, says where they landed
    bool with[kClasses] = {};
    for (const auto &m : out)
      with[length_class(m.first)] = true;
    for (unsigned k = 0; k < kClasses; k++)
      if (with[k] != landing->has(k)) {
        why = "the offsets of class " + std::to_string(k) +
              (with[k] ? " are missing" : " are given, but it has no calls");
        return false;
      }
  }
  return true;
}

} // namespace mix_format
