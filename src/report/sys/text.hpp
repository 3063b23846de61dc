#pragma once
// Small text helpers shared by the renderers and messages.

#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

namespace report {

// printf into a string; for short pieces (up to 511 characters).
inline std::string fmt(const char *f, ...) __attribute__((format(printf, 1, 2)));
inline std::string fmt(const char *f, ...) {
  char buf[512];
  va_list ap;
  va_start(ap, f);
  std::vsnprintf(buf, sizeof buf, f, ap);
  va_end(ap);
  return buf;
}

// Numbers as every reader of this tool takes them, from options, the
// record and the formats alike: plain decimal text, with no sign, space,
// exponent or base; none where the text is not one, or passes the bounds.
//  - whole: digits only, at most `max` (2^64 - 1 has 20 digits);
//  - decimal: digits, or digits, a point and digits, at most 18 a side.
inline std::optional<uint64_t> parse_whole(const std::string &s, uint64_t max = UINT64_MAX) {
  if (s.empty() || s.size() > 20 || s.find_first_not_of("0123456789") != s.npos ||
      (s.size() == 20 && s > "18446744073709551615"))
    return std::nullopt;
  uint64_t v = std::strtoull(s.c_str(), nullptr, 10);
  return v <= max ? std::optional<uint64_t>(v) : std::nullopt;
}
inline std::optional<double> parse_decimal(const std::string &s) {
  size_t dot = s.find('.');
  auto digits = [](const std::string &d) {
    return !d.empty() && d.size() <= 18 && d.find_first_not_of("0123456789") == d.npos;
  };
  if (!digits(s.substr(0, dot)) || (dot != s.npos && !digits(s.substr(dot + 1))))
    return std::nullopt;
  return std::strtod(s.c_str(), nullptr);
}

// "1 run", "3 runs".
// The lines of `text`, each without its line feed; a last line without one
// counts, an empty text has none.
inline std::vector<std::string> split_lines(const std::string &text) {
  std::vector<std::string> out;
  size_t at = 0;
  while (at < text.size()) {
    size_t end = text.find('\n', at);
    if (end == std::string::npos)
      end = text.size();
    out.push_back(text.substr(at, end - at));
    at = end + 1;
  }
  return out;
}

// "512 bytes", "4 KiB", "256 MiB", "1.5 GiB": a size in binary units, to
// three figures at most.
inline std::string size_text(uint64_t bytes) {
  const char *units[] = {"bytes", "KiB", "MiB", "GiB", "TiB"};
  double v = (double)bytes;
  unsigned u = 0;
  while (v >= 1024 && u < 4)
    v /= 1024, u++;
  return fmt(u == 0 || v >= 100 ? "%.0f %s" : "%.3g %s", v, units[u]);
}

inline std::string plural(size_t n, const char *word) {
  return std::to_string(n) + " " + word + (n == 1 ? "" : "s");
}

// "a, b, c".
inline std::string joined(const std::vector<std::string> &v) {
  std::string s;
  for (const auto &x : v)
    s += (s.empty() ? "" : ", ") + x;
  return s;
}

// A name as text output shows it: control characters written as \xNN, so
// that no label can forge a line of the report.
inline std::string printable(const std::string &s) {
  std::string out;
  for (unsigned char c : s) {
    if (c < 0x20 || c == 0x7f)
      out += fmt("\\x%02x", c);
    else
      out += (char)c;
  }
  return out;
}

// Text as a page shows it and runs none of: markup's five characters as
// entities, and control characters as printable() writes them.
inline std::string html_escaped(const std::string &s) {
  std::string out;
  for (char c : printable(s))
    switch (c) {
    case '&':
      out += "&amp;";
      break;
    case '<':
      out += "&lt;";
      break;
    case '>':
      out += "&gt;";
      break;
    case '"':
      out += "&quot;";
      break;
    case '\'':
      out += "&#39;";
      break;
    default:
      out += c;
    }
  return out;
}

// 'it'\''s': a word as a POSIX shell reads it back, always quoted.
inline std::string shell_quoted(const std::string &w) {
  std::string q = "'";
  for (char ch : w)
    q += ch == '\'' ? std::string("'\\''") : std::string(1, ch);
  return q + "'";
}

// Words joined as a command line the shell reads back as they are: quoted
// only where a character needs it.
inline std::string shell_words(const std::vector<std::string> &words) {
  std::string o;
  for (const auto &w : words) {
    bool plain =
        !w.empty() && w.find_first_not_of("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTU"
                                          "VWXYZ0123456789_-+=./,:@%") == std::string::npos;
    o += (o.empty() ? "" : " ") + (plain ? w : shell_quoted(w));
  }
  return o;
}

} // namespace report
