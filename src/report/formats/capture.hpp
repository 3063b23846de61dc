#pragma once
// A capture: the lengths one run of a command passed to memset, in the plain
// weights format, after '#' lines that say what was run and what it cost:
//
//   # memset-report capture
//   # command: python3 -c 'import json'
//   # outcome: ok: exit status 0
//   # wall_time: 0.213456 s
//   # cpu_time: 0.198000 s
//   # calls: 759576
//   # processes: 3
//   # libc: glibc 2.36
//   # date: 2026-12-08T23:40:00Z
//   # landing: 1
//   # pages: 65536                (distinct 4 KiB pages the fills covered, estimated)
//   # offsets: 8..15 204000 0 0 ... (64 counts: the calls at each offset from a line)
//   # recent: 8..15 190000        (of them, fills whose first line one of the
//                                   thread's last kRecentFills fills touched)
//   8 204000
//   ...
//
// The landing lines (from this tool's second capture version on) say where
// the fills landed, by length class: a class is the lengths of one bit
// width (8..15), 0..0 and 1..1 apart, the last 32768.. (and longer). A
// reader that does not know them takes them for notes, as every '#' line
// of another key; a capture without them is one from before. The pages
// line came later within the same version: a capture with landing lines
// and without it is one from before it.
//
// The weights reader keeps these lines; this file owns how they are written
// and read.

#include "batch/length_class.hpp"

#include <cstdint>
#include <map>
#include <optional>
#include <string>

namespace report {

// The first line of every capture; a file without it is plain weights.
constexpr const char *kCaptureMark = "# memset-report capture";

enum class CaptureEnd { Ok, Failed, Stopped, Interrupted };
const char *capture_end_name(CaptureEnd e); // "ok", "failed", "stopped", "interrupted"

// Length classes, and offsets within a 64-byte line (batch/length_class.hpp).
constexpr unsigned kLengthClasses = length_classes::kClasses, kLineBytes = length_classes::kLine;
// A fill is "recent" where one of the thread's last this many fills touched its first line.
constexpr unsigned kRecentFills = 4;
constexpr uint64_t kPageBytes = 4096;
// "8..15", "32768..": the lengths of class `k`.
std::string length_class_text(unsigned k);

// Where a capture's fills landed (the '# offsets:' and '# recent:' lines).
struct CaptureLandings {
  uint64_t offsets[kLengthClasses][kLineBytes] = {};
  uint64_t recent[kLengthClasses] = {};
  // The distinct 4 KiB pages the fills covered, estimated: how much memory
  // they spread over. None: a capture from before it was kept.
  std::optional<uint64_t> pages;
  uint64_t calls(unsigned k) const; // of class k
  uint64_t calls() const;           // of every class
  // Of every class, the calls at an offset that is a multiple of `step`
  // (64: a line's start), and those whose first line a recent fill touched.
  uint64_t at_multiple_of(unsigned step) const;
  uint64_t recent_calls() const;
};

struct Capture {
  std::string command; // as a shell would take it
  CaptureEnd end = CaptureEnd::Ok;
  std::string how; // "exit status 0", "killed by signal ...", "stopped after 10 s by SIGINT"
  double wall_seconds = 0;
  double cpu_seconds = 0; // user and system, of the whole tree the command waited for
  uint64_t calls = 0;
  uint64_t processes = 0;                  // that called memset at all
  std::string libc;                        // "glibc 2.36"
  std::string date;                        // UTC, ISO 8601
  std::optional<CaptureLandings> landings; // none: a capture from before they were kept
};

// The '#' lines, each ending in a line feed, the mark first.
std::string capture_header(const Capture &c);

// The file: the header, then "LENGTH COUNT" for every length called, in
// increasing order. The calls must add up to c.calls.
std::string capture_text(const Capture &c, const std::map<uint64_t, uint64_t> &lengths);

// Reads the header's lines one by one, as the weights reader meets them,
// of the file `name`. Like every reader here it throws InputError, naming
// the file and the line.
class CaptureHeaderReader {
public:
  explicit CaptureHeaderReader(std::string name) : name_(std::move(name)) {}
  // A '#' line of a capture, line `at` of the file; one of ours that is
  // wrong is refused. Lines of other text are notes and pass.
  void line(const std::string &s, size_t at);
  // The whole header; a refusal names what is missing.
  Capture finish() const;

private:
  void landing_line(const std::string &key, const std::string &value, size_t at);
  std::string name_;
  Capture c_;
  unsigned seen_ = 0; // a bit per key
  // The landing lines: their version's line seen, and each class's lines.
  bool landing_seen_ = false, landing_newer_ = false;
  uint64_t offsets_seen_ = 0, recent_seen_ = 0; // a bit per class
  bool pages_seen_ = false;
};

} // namespace report
