// A capture's header read line by line: what it keeps, and every way a line
// of its own is refused, naming the file and line as every reader does.

#include "batch/mix_format.hpp"
#include "preload/capture_layout.hpp"
#include "report/formats/capture.hpp"
#include "report/sys/errors.hpp"

#include <gtest/gtest.h>

using namespace report;

namespace {

Capture one() {
  Capture c;
  c.command = "python3 -c 'pass'";
  c.end = CaptureEnd::Stopped;
  c.how = "stopped after 10 s by SIGINT";
  c.wall_seconds = 10.000001;
  c.cpu_seconds = 0.5;
  c.calls = 12;
  c.processes = 2;
  c.libc = "glibc 2.36";
  c.date = "2026-12-09T08:00:00Z";
  return c;
}

// Each line of `text` fed to a reader; the line it refused, or 0.
std::string refusal(const std::string &text) {
  CaptureHeaderReader r("cap.txt");
  size_t at = 0;
  try {
    for (size_t start = 0; start < text.size();) {
      size_t end = text.find('\n', start);
      r.line(text.substr(start, end - start), ++at);
      start = end + 1;
    }
    r.finish();
  } catch (const InputError &e) {
    return e.what();
  }
  return "";
}

TEST(CaptureHeader, ReadsBackWhatItWroteAndPassesNotes) {
  CaptureHeaderReader r("cap.txt");
  std::string text = capture_header(one()) + "# note: by hand\n#no key here\n";
  size_t at = 0;
  for (size_t start = 0; start < text.size();) {
    size_t end = text.find('\n', start);
    r.line(text.substr(start, end - start), ++at);
    start = end + 1;
  }
  Capture c = r.finish();
  EXPECT_EQ(capture_header(c), capture_header(one()));
  EXPECT_EQ(c.end, CaptureEnd::Stopped);
  EXPECT_EQ(c.how, one().how);
  EXPECT_EQ(c.processes, 2u);
}

TEST(CaptureHeader, RefusesEachBadLineByFileAndLine) {
  std::string h = capture_header(one());
  auto replaced = [&](const std::string &key, const std::string &line) {
    size_t at = h.find("# " + key + ":"), end = h.find('\n', at);
    return h.substr(0, at) + line + h.substr(end);
  };
  struct Case {
    std::string text, want;
  } cases[] = {
      {h + "# calls: 12\n", "cap.txt:10: a second 'calls' line"},
      {replaced("calls", "# calls: -1"), "cap.txt:6: a capture's 'calls' cannot be '-1'"},
      {replaced("calls", "# calls: 9007199254740993"), "cap.txt:6: a capture's 'calls' cannot"},
      {replaced("wall_time", "# wall_time: 0 s"), "cap.txt:4: a capture's 'wall_time' cannot"},
      {replaced("cpu_time", "# cpu_time: 1e3 s"), "cap.txt:5: a capture's 'cpu_time' cannot"},
      {replaced("outcome", "# outcome: fine"), "cap.txt:3: a capture's 'outcome' cannot"},
      {replaced("date", "# when: today"), "cap.txt: a capture without its '# date:' line"},
  };
  for (const auto &c : cases)
    EXPECT_EQ(refusal(c.text).rfind(c.want, 0), 0u) << c.text << "-> " << refusal(c.text);
  EXPECT_EQ(refusal(h), "");
}

// The capture library, the mix and the capture file each spell the classes
// of lengths (none may include another's folder): they must agree, or a
// replay would draw one class's offsets for another's lengths.
TEST(CaptureLandings, EveryOwnerOfTheClassesOfLengthsAgrees) {
  for (uint64_t n = 0; n <= 70000; n++) {
    const unsigned k = mix_format::length_class(n);
    ASSERT_EQ(k, capture_layout::length_class(n)) << n;
    const std::string text = length_class_text(k);
    const uint64_t lo = std::stoull(text.substr(0, text.find("..")));
    const std::string hi = text.substr(text.find("..") + 2);
    EXPECT_GE(n, lo) << text;
    if (!hi.empty()) {
      EXPECT_LE(n, std::stoull(hi)) << text;
    }
  }
}

} // namespace
