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

} // namespace

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
  if (k == kKeys)
    return; // a note
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

Capture CaptureHeaderReader::finish() const {
  for (unsigned k = 0; k < kKeys; k++)
    if (!(seen_ & (1u << k)))
      throw InputError(name_ + ": a capture without its '# " + kKeyNames[k] + ":' line");
  return c_;
}

} // namespace report
