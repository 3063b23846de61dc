// A program's distribution of memset lengths, as captured with bpftrace or
// written by hand: plain "LENGTH COUNT" lines, bpftrace's text output of a
// count map or of hist() and lhist(), and bpftrace's JSON output.

#include "report/formats/weights.hpp"

#include "report/formats/result_file.hpp"
#include "report/sys/errors.hpp"
#include "report/sys/files.hpp"
#include "report/sys/text.hpp"

#include <algorithm>
#include <cctype>
#include <cmath>

#ifdef MEMSET_REPORT_JSON
#include <nlohmann/json.hpp>
#endif

namespace report {

namespace {

constexpr double kNoBound = -1; // a bucket end that bpftrace leaves open

struct Reader {
  const std::string &name;
  Weights w;
  size_t line = 0;

  // Quoted text is shown as printable() shows it: a NUL or a line feed of
  // the file cannot cut or forge the message.
  [[noreturn]] void bad(const std::string &what) const {
    throw InputError(name + ":" + std::to_string(line) + ": " + printable(what));
  }

  // Calls of lengths lo..hi (both included), spread evenly over them.
  void add(double lo, double hi, double count) {
    w.total += count;
    if (lo == kNoBound || hi == kNoBound) {
      if (lo != kNoBound && lo > (double)kLengths)
        w.above += count; // [40K, ...): all of it beyond the sweep
      else
        w.open += count;
      return;
    }
    if (hi < lo)
      bad("a bucket whose end comes before its start");
    if (lo < 2 && hi >= 2)
      lo = 2;
    double n = hi - lo + 1, each = count / n;
    auto part = [&](double from, double to) { // lengths of lo..hi within from..to
      double a = std::max(lo, from), b = std::min(hi, to);
      return b >= a ? b - a + 1 : 0;
    };
    w.zero += each * part(0, 0);
    w.one += each * part(1, 1);
    w.above += each * part((double)kLengths + 1, INFINITY);
    for (double k = std::max(lo, 2.0); k <= std::min(hi, (double)kLengths); k++)
      w.at[(size_t)k - 1] += each;
  }
};

// A whole number, with bpftrace's K, M, G, T (powers of 1024) where allowed.
bool number_at(const std::string &s, size_t &i, double &v, bool suffixes) {
  size_t start = i;
  v = 0;
  while (i < s.size() && std::isdigit((unsigned char)s[i]) && i - start < 19)
    v = v * 10 + (s[i++] - '0');
  if (i == start || (i < s.size() && std::isdigit((unsigned char)s[i])))
    return false;
  if (suffixes && i < s.size()) {
    const std::string units = "KMGT";
    if (auto u = units.find(s[i]); u != std::string::npos) {
      v *= std::pow(1024.0, (double)u + 1);
      i++;
    }
  }
  return true;
}

void skip_spaces(const std::string &s, size_t &i) {
  while (i < s.size() && (s[i] == ' ' || s[i] == '\t'))
    i++;
}

bool blank(const std::string &s) { return s.find_first_not_of(" \t\r") == std::string::npos; }

// "LENGTH COUNT", with '#' comments.
void plain_line(Reader &r, std::string s) {
  s = s.substr(0, s.find('#'));
  if (blank(s))
    return;
  size_t i = 0;
  double len, count;
  skip_spaces(s, i);
  if (!number_at(s, i, len, false))
    r.bad("expected 'LENGTH COUNT', found '" + s + "'");
  skip_spaces(s, i);
  if (!number_at(s, i, count, false))
    r.bad(i < s.size() && std::isdigit((unsigned char)s[i]) ? "a count too large: at most 19 digits"
                                                            : "expected a count after the length");
  skip_spaces(s, i);
  if (i != s.size())
    r.bad("unexpected text after the count: '" + s.substr(i) + "'");
  r.add(len, len, count);
}

// "@name[40]: 1234"
void map_line(Reader &r, const std::string &s, std::string &map_name) {
  size_t open = s.find('['), close = s.find("]: ");
  if (s.empty() || s[0] != '@' || open == std::string::npos || close == std::string::npos ||
      close < open)
    r.bad("expected '@map[LENGTH]: COUNT', found '" + s + "'");
  std::string m = s.substr(0, open);
  if (map_name.empty())
    map_name = m;
  else if (m != map_name)
    r.bad("a second map, " + m + " after " + map_name + ": keep one per file");
  size_t i = open + 1;
  double len, count;
  if (!number_at(s, i, len, false) || i != close)
    r.bad("the key must be one length, found '" + s.substr(open, close - open + 1) + "'");
  i = close + 3;
  if (!number_at(s, i, count, false) || i != s.size())
    r.bad("expected a count after ': '");
  r.add(len, len, count);
}

// "[16, 32)   4 |@@@@   |", "[1]   3 |@@|", "[20, ...)  1 |@|", "(..., 0)  1 |@|"
void hist_line(Reader &r, const std::string &s, std::string &map_name) {
  if (s[0] == '@') {
    if (s.back() != ':' || s.find(' ') != std::string::npos)
      r.bad("expected a histogram's '@name:' line, found '" + s + "'");
    if (!map_name.empty())
      r.bad("a second histogram, " + s + ": keep one per file");
    map_name = s;
    return;
  }
  size_t i = 1;
  double lo = kNoBound, hi = kNoBound;
  if (s.compare(0, 6, "(..., ") == 0) {
    i = 6;
    if (!number_at(s, i, hi, true) || s[i] != ')')
      r.bad("expected '(..., N)'");
    hi -= 1;
  } else if (s[0] == '[' && number_at(s, i, lo, true)) {
    if (s[i] == ']') {
      hi = lo;
    } else if (s.compare(i, 6, ", ...)") == 0) {
      i += 5;
    } else if (s.compare(i, 2, ", ") == 0) {
      i += 2;
      if (!number_at(s, i, hi, true) || s[i] != ')')
        r.bad("expected '[LOW, HIGH)'");
      hi -= 1;
    } else {
      r.bad("expected ']' or ', HIGH)' in '" + s + "'");
    }
  } else {
    r.bad("expected a bucket such as '[16, 32)', found '" + s + "'");
  }
  i++;
  skip_spaces(s, i);
  double count;
  if (!number_at(s, i, count, false))
    r.bad("expected the bucket's count");
  skip_spaces(s, i);
  if (i < s.size() && (s[i] != '|' || s.back() != '|'))
    r.bad("expected the bar '|...|' after the count");
  r.add(lo, hi, count);
}

#ifdef MEMSET_REPORT_JSON
// {"type": "map", "data": {"@m": {"40": 1}}} or {"type": "hist", "data":
// {"@h": [{"min": 16, "max": 31, "count": 4}, ...]}}: bpftrace -f json, one
// object per line; "min" and "max" are both included, an open end is absent.
void json_line(Reader &r, const std::string &s, std::string &map_name) {
  auto j = nlohmann::json::parse(s, nullptr, false);
  if (j.is_discarded() || !j.is_object() || !j.contains("type") || !j["type"].is_string())
    r.bad("not a bpftrace JSON object");
  std::string type = j["type"];
  if (type != "map" && type != "hist")
    return; // attached_probes, printf, time, ...: not a distribution
  const auto &data = j.value("data", nlohmann::json::object());
  if (!data.is_object() || data.size() != 1)
    r.bad("a " + type + " must hold exactly one map");
  if (!map_name.empty())
    r.bad("a second map, " + data.begin().key() + ": keep one per file");
  map_name = data.begin().key();
  auto whole = [&](const nlohmann::json &v, const char *what) {
    if (!v.is_number_unsigned() && !(v.is_number_integer() && v.get<long long>() >= 0))
      r.bad(std::string(what) + " must be a whole number of at least 0");
    return (double)v.get<unsigned long long>();
  };
  if (type == "map") {
    if (!data.begin()->is_object())
      r.bad("a map's data must map lengths to counts");
    for (const auto &[key, count] : data.begin()->items()) {
      size_t i = 0;
      double len;
      if (!number_at(key, i, len, false) || i != key.size())
        r.bad("the key must be one length, found '" + key + "'");
      r.add(len, len, whole(count, "a count"));
    }
    return;
  }
  if (!data.begin()->is_array())
    r.bad("a hist's data must be a list of buckets");
  for (const auto &b : *data.begin()) {
    if (!b.is_object() || !b.contains("count"))
      r.bad("a bucket needs a count");
    double lo = b.contains("min") ? whole(b["min"], "min") : kNoBound;
    double hi = b.contains("max") ? whole(b["max"], "max") : kNoBound;
    r.add(lo, hi, whole(b["count"], "a count"));
  }
}
#endif

WeightsFormat detect(const std::string &s) {
  if (s[0] == '{')
    return WeightsFormat::Json;
  // "@m[8]: 5" is a map; a line that opens a key is meant as one.
  if (s[0] == '@' && s.find('[') != std::string::npos)
    return WeightsFormat::Map;
  if (s[0] == '@' || s[0] == '[' || s[0] == '(')
    return WeightsFormat::Hist;
  return WeightsFormat::Plain;
}

} // namespace

Weights parse_weights(const std::string &text, const std::string &name, WeightsFormat format) {
  Reader r{name, {}, 0};
  r.w.at.assign(kLengths, 0);
  std::string map_name;
  std::optional<CaptureHeaderReader> header;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = std::min(text.find('\n', start), text.size());
    std::string s = text.substr(start, end - start);
    start = end + 1;
    r.line++;
    while (!s.empty() && (s.back() == '\r' || s.back() == ' ' || s.back() == '\t'))
      s.pop_back();
    if (r.line == 1 && s == kCaptureMark)
      header.emplace(name);
    if (header && s[0] == '#')
      header->line(s, r.line);
    // bpftrace's own chatter around the data.
    if (blank(s) || s.rfind("Attaching ", 0) == 0 || (s[0] == '#' && format != WeightsFormat::Json))
      continue;
    if (format == WeightsFormat::Auto)
      format = detect(s);
    switch (format) {
    case WeightsFormat::Plain:
      plain_line(r, s);
      break;
    case WeightsFormat::Map:
      map_line(r, s, map_name);
      break;
    case WeightsFormat::Hist:
      hist_line(r, s, map_name);
      break;
    default:
#ifdef MEMSET_REPORT_JSON
      json_line(r, s, map_name);
#else
      throw SystemError("this memset-report was built without JSON support, so it cannot read "
                        "bpftrace's JSON; install nlohmann-json3-dev (Debian) and build again");
#endif
    }
  }
  r.w.format = format;
  if (header) {
    r.w.capture = header->finish();
    if (format != WeightsFormat::Plain)
      throw InputError(name + ": a capture holds 'LENGTH COUNT' lines");
    if ((double)r.w.capture->calls != r.w.total)
      throw InputError(name + fmt(": the capture says %llu calls, but its lines hold %.0f",
                                  (unsigned long long)r.w.capture->calls, r.w.total));
  }
  if (!(r.w.total > 0))
    throw InputError(name + ": no calls in this file");
  // A distribution none of whose calls the sweep measures weighs nothing:
  // its verdicts would be of no call at all.
  if (!(r.w.measured() > 0))
    throw InputError(name + ": none of its calls is at a length the benchmark measures (2 to " +
                     std::to_string(kLengths) + " bytes)");
  return r.w;
}

Weights read_weights(const std::string &path, WeightsFormat format) {
  return parse_weights(read_regular_file(path, kMaxWeightsBytes, "a length distribution"), path,
                       format);
}

// The names of the weights formats, as --weights-format takes them and the
// outputs show them.
bool weights_format_of(const std::string &name, WeightsFormat &format) {
  for (auto f : {WeightsFormat::Auto, WeightsFormat::Plain, WeightsFormat::Map, WeightsFormat::Hist,
                 WeightsFormat::Json})
    if (name == weights_format_name(f)) {
      format = f;
      return true;
    }
  return false;
}

const char *weights_format_name(WeightsFormat f) {
  switch (f) {
  case WeightsFormat::Plain:
    return "plain";
  case WeightsFormat::Map:
    return "map";
  case WeightsFormat::Hist:
    return "hist";
  case WeightsFormat::Json:
    return "json";
  default:
    return "auto";
  }
}

} // namespace report
