// A capture's '#' lines: what was run, how it ended, what it cost.

#include "report/formats/capture.hpp"

#include "report/formats/record_values.hpp"
#include "report/sys/errors.hpp"
#include "report/sys/text.hpp"

#include <algorithm>
#include <cmath>

namespace report {

namespace {

constexpr const char *kEndNames[] = {"ok", "failed", "stopped", "interrupted"};

enum Key : unsigned { kCommand, kOutcome, kWall, kCpu, kCalls, kProcesses, kLibc, kDate, kKeys };
constexpr const char *kKeyNames[kKeys] = {"command", "outcome",   "wall_time", "cpu_time",
                                          "calls",   "processes", "libc",      "date"};

// A day is far beyond any capture; a wrong file cannot claim more.
constexpr double kMaxSeconds = 1e9;

std::string time_text(double s) { return fixed(s, 6) + " s"; }

// The landing lines' keys, and the one version of them this tool writes.
constexpr const char *kLandingKey = "landing", *kOffsetsKey = "offsets", *kRecentKey = "recent",
                     *kPagesKey = "pages";
// More pages than any machine here maps: a wrong file cannot claim more.
constexpr uint64_t kMostPages = (uint64_t)1 << 40;
constexpr const char *kLandingVersion = "1";

// The class that "8..15" names.
std::optional<unsigned> class_named(const std::string &text) {
  for (unsigned k = 0; k < kLengthClasses; k++)
    if (text == length_class_text(k))
      return k;
  return std::nullopt;
}

// "a b c": the whole numbers of `text`, each of one spelling; none for
// anything else.
std::optional<std::vector<uint64_t>> numbers(const std::string &text) {
  std::vector<uint64_t> out;
  for (std::string rest = text; !rest.empty();) {
    auto [word, after] = split_first(rest);
    auto n = parse_whole(word, (uint64_t)1 << 53);
    if (!n || std::to_string(*n) != word)
      return std::nullopt;
    out.push_back(*n);
    rest = after;
  }
  return out;
}

} // namespace

std::string length_class_text(unsigned k) {
  if (k == 0)
    return "0..0";
  uint64_t lo = (uint64_t)1 << (k - 1);
  return k == kLengthClasses - 1 ? std::to_string(lo) + ".."
                                 : std::to_string(lo) + ".." + std::to_string(2 * lo - 1);
}

uint64_t CaptureLandings::calls(unsigned k) const {
  uint64_t n = 0;
  for (uint64_t c : offsets[k])
    n += c;
  return n;
}

uint64_t CaptureLandings::calls() const {
  uint64_t n = 0;
  for (unsigned k = 0; k < kLengthClasses; k++)
    n += calls(k);
  return n;
}

uint64_t CaptureLandings::at_multiple_of(unsigned step) const {
  uint64_t n = 0;
  for (const auto &cls : offsets)
    for (unsigned o = 0; o < kLineBytes; o += step)
      n += cls[o];
  return n;
}

uint64_t CaptureLandings::recent_calls() const {
  uint64_t n = 0;
  for (uint64_t r : recent)
    n += r;
  return n;
}

const char *capture_end_name(CaptureEnd e) { return kEndNames[(int)e]; }

std::string capture_header(const Capture &c) {
  std::string values[kKeys] = {
      escaped(c.command),        std::string(capture_end_name(c.end)) + ": " + escaped(c.how),
      time_text(c.wall_seconds), time_text(c.cpu_seconds),
      std::to_string(c.calls),   std::to_string(c.processes),
      escaped(c.libc),           escaped(c.date)};
  std::string o = std::string(kCaptureMark) + "\n";
  for (unsigned k = 0; k < kKeys; k++)
    o += std::string("# ") + kKeyNames[k] + ": " + values[k] + "\n";
  if (const auto &l = c.landings) {
    o += std::string("# ") + kLandingKey + ": " + kLandingVersion + "\n";
    if (l->pages)
      o += std::string("# ") + kPagesKey + ": " + std::to_string(*l->pages) + "\n";
    for (unsigned k = 0; k < kLengthClasses; k++) {
      if (!l->calls(k))
        continue;
      o += std::string("# ") + kOffsetsKey + ": " + length_class_text(k);
      for (uint64_t n : l->offsets[k])
        o += " " + std::to_string(n);
      o += std::string("\n# ") + kRecentKey + ": " + length_class_text(k) + " " +
           std::to_string(l->recent[k]) + "\n";
    }
  }
  return o;
}

std::string capture_text(const Capture &c, const std::map<uint64_t, uint64_t> &lengths) {
  std::string o = capture_header(c);
  for (const auto &[length, calls] : lengths)
    if (calls > 0)
      o += std::to_string(length) + " " + std::to_string(calls) + "\n";
  return o;
}

void CaptureHeaderReader::line(const std::string &s, size_t at) {
  auto refuse = [&](const std::string &what) {
    throw InputError(name_ + ":" + std::to_string(at) + ": " + printable(what));
  };
  // "# key: value"; an empty value loses its space to the reader's trimming.
  size_t colon = s.find(':');
  if (s.rfind("# ", 0) != 0 || colon == std::string::npos)
    return;
  std::string name = s.substr(2, colon - 2), v = s.substr(std::min(colon + 2, s.size()));
  unsigned k = 0;
  while (k < kKeys && name != kKeyNames[k])
    k++;
  if (k == kKeys) {
    landing_line(name, v, at);
    return;
  }
  if (seen_ & (1u << k))
    refuse("a second '" + name + "' line");
  seen_ |= 1u << k;
  // In whole microseconds, as time_text writes them: what is read is what a
  // second writing writes.
  auto time = [&](double &out) {
    std::optional<double> t = seconds(v);
    if (!t || *t > kMaxSeconds)
      return false;
    out = std::round(*t * 1e6) / 1e6;
    return true;
  };
  bool ok = true;
  switch (k) {
  case kCommand:
    c_.command = unescaped(v);
    break;
  case kOutcome: {
    auto [end, how] = split_first(v);
    ok = false;
    for (int e = 0; e < 4 && !ok; e++)
      if (end == std::string(kEndNames[e]) + ":") {
        c_.end = (CaptureEnd)e;
        c_.how = unescaped(how);
        ok = true;
      }
    break;
  }
  case kWall:
    ok = time(c_.wall_seconds) && c_.wall_seconds > 0;
    break;
  case kCpu:
    ok = time(c_.cpu_seconds);
    break;
  case kCalls:
  case kProcesses: {
    std::optional<uint64_t> n = parse_whole(v, (uint64_t)1 << 53);
    ok = n.has_value();
    (k == kCalls ? c_.calls : c_.processes) = n.value_or(0);
    break;
  }
  case kLibc:
    c_.libc = unescaped(v);
    break;
  default:
    c_.date = unescaped(v);
  }
  if (!ok)
    refuse("a capture's '" + name + "' cannot be '" + v + "'");
}

void CaptureHeaderReader::landing_line(const std::string &key, const std::string &v, size_t at) {
  auto refuse = [&](const std::string &what) {
    throw InputError(name_ + ":" + std::to_string(at) + ": " + printable(what));
  };
  if (key == kLandingKey) {
    if (landing_seen_)
      refuse("a second 'landing' line");
    landing_seen_ = true;
    // A later version's lines are notes to this reader: the lengths are
    // read as ever, where they landed is not.
    landing_newer_ = v != kLandingVersion;
    if (!landing_newer_)
      c_.landings.emplace();
    return;
  }
  if ((key != kOffsetsKey && key != kRecentKey && key != kPagesKey) || landing_newer_)
    return; // a note
  if (!landing_seen_)
    refuse("a '" + key + "' line before the 'landing' line");
  if (key == kPagesKey) {
    if (pages_seen_)
      refuse("a second 'pages' line");
    pages_seen_ = true;
    auto n = parse_whole(v, kMostPages);
    if (!n || std::to_string(*n) != v)
      refuse("a capture's 'pages' cannot be '" + v + "' (a count of 4 KiB pages)");
    c_.landings->pages = *n;
    return;
  }
  auto [cls, rest] = split_first(v);
  auto k = class_named(cls);
  auto n = numbers(rest);
  const size_t want = key == kOffsetsKey ? kLineBytes : 1;
  if (!k || !n || n->size() != want)
    refuse("a capture's '" + key + "' cannot be '" + v + "' (a class of lengths, then " +
           std::to_string(want) + (want == 1 ? " count)" : " counts)"));
  uint64_t &seen = key == kOffsetsKey ? offsets_seen_ : recent_seen_;
  if (seen & (1ull << *k))
    refuse("a second '" + key + "' line for " + cls);
  seen |= 1ull << *k;
  if (key == kOffsetsKey)
    std::copy(n->begin(), n->end(), c_.landings->offsets[*k]);
  else
    c_.landings->recent[*k] = (*n)[0];
}

Capture CaptureHeaderReader::finish() const {
  for (unsigned k = 0; k < kKeys; k++)
    if (!(seen_ & (1u << k)))
      throw InputError(name_ + ": a capture without its '# " + kKeyNames[k] + ":' line");
  if (offsets_seen_ != recent_seen_)
    throw InputError(name_ + ": a capture's 'offsets' and 'recent' lines are not of the same "
                             "classes of lengths");
  if (c_.landings)
    for (unsigned k = 0; k < kLengthClasses; k++)
      if (c_.landings->recent[k] > c_.landings->calls(k))
        throw InputError(name_ + ": a capture's 'recent' of " + length_class_text(k) +
                         " counts more calls than its 'offsets'");
  return c_;
}

} // namespace report
