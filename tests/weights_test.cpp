// Length distributions in each format, and a capture's own lines.

#include "report/formats/capture.hpp"
#include "report/formats/result_file.hpp"
#include "report/formats/weights.hpp"

#include <gtest/gtest.h>

using namespace report;

namespace {

double at(const Weights &w, size_t len) { return w.at[len - 1]; }

std::string weights_error(const std::string &text, WeightsFormat f = WeightsFormat::Auto) {
  try {
    parse_weights(text, "w.txt", f);
  } catch (const InputError &e) {
    return e.what();
  }
  return "";
}

TEST(Weights, EachFormatIsReadAndDetected) {
  Weights plain = parse_weights("# LENGTH COUNT\n8 100\n64 50  # trailing\n\n", "w", {});
  EXPECT_EQ(plain.format, WeightsFormat::Plain);
  EXPECT_EQ(at(plain, 8), 100);
  EXPECT_EQ(at(plain, 64), 50);
  EXPECT_EQ(plain.total, 150);

  Weights map = parse_weights("Attaching 1 probe...\n\n@bytes[8]: 1234\n@bytes[40]: 7\n", "w", {});
  EXPECT_EQ(map.format, WeightsFormat::Map);
  EXPECT_EQ(at(map, 8), 1234);
  EXPECT_EQ(at(map, 40), 7);

  // As bpftrace prints hist(): a header with a trailing space, K suffixes.
  Weights hist = parse_weights("@h: \n[1]          2 |@@     |\n[2, 4)       4 |@@@@   |\n"
                               "[1K, 2K)     1024 |@@@@@@@|\n",
                               "w", {});
  EXPECT_EQ(hist.format, WeightsFormat::Hist);
  EXPECT_EQ(hist.one, 2);
  EXPECT_EQ(at(hist, 2), 2);
  EXPECT_EQ(at(hist, 3), 2);
  EXPECT_EQ(at(hist, 1024), 1);
  EXPECT_EQ(at(hist, 2047), 1);
  EXPECT_EQ(at(hist, 2048), 0);

  // lhist() with its open last bucket.
  Weights lhist = parse_weights("@l:\n[5, 10)   5 |@|\n[20, ...)   3 |@|\n", "w", {});
  EXPECT_EQ(at(lhist, 5), 1);
  EXPECT_EQ(at(lhist, 9), 1);
  EXPECT_EQ(lhist.open, 3);

#ifdef MEMSET_REPORT_JSON
  Weights json = parse_weights(
      "{\"type\": \"attached_probes\", \"data\": {\"probes\": 1}}\n"
      "{\"type\": \"hist\", \"data\": {\"@h\": [{\"min\": 0, \"max\": 0, \"count\": 3}, "
      "{\"min\": 2, \"max\": 3, \"count\": 4}, {\"min\": 40000, \"count\": 1}]}}\n",
      "w", {});
  EXPECT_EQ(json.format, WeightsFormat::Json);
  EXPECT_EQ(json.zero, 3);
  EXPECT_EQ(at(json, 2), 2);
  EXPECT_EQ(at(json, 3), 2);
  EXPECT_EQ(json.above, 1); // an open bucket wholly beyond the sweep
  Weights jmap = parse_weights("{\"type\": \"map\", \"data\": {\"@m\": {\"40\": 1, \"8\": 2}}}",
                               "w", WeightsFormat::Json);
  EXPECT_EQ(at(jmap, 8), 2);
  EXPECT_EQ(at(jmap, 40), 1);
#endif
}

TEST(Weights, BucketsSpreadEvenlyAndOutOfRangeLengthsAreReportedNotMoved) {
  // [0, 4) holds lengths 0, 1, 2, 3, but its calls go to 2 and 3 alone:
  // none is moved onto 0 or 1, which only a bucket of those alone holds.
  Weights w = parse_weights("@h:\n[0, 4)  8 |@|\n[32K, 64K)  10 |@|\n[0, 2)  6 |@|\n", "w", {});
  EXPECT_EQ(w.zero, 3);
  EXPECT_EQ(w.one, 3);
  EXPECT_EQ(at(w, 2), 4);
  EXPECT_EQ(at(w, 3), 4);
  // 32768 is the last length measured; the rest of the bucket lies beyond.
  EXPECT_NEAR(at(w, 32768), 10.0 / 32768, 1e-12);
  EXPECT_NEAR(w.above, 10.0 * 32767 / 32768, 1e-9);
  EXPECT_NEAR(w.measured(), 8 + 10.0 / 32768, 1e-9);
  // Suffixes are powers of 1024; the lower open bucket is not measured.
  Weights big = parse_weights("@h:\n(..., 0)  7 |@|\n[1M, 2M)  5 |@|\n[8, 9)  1 |@|\n", "w", {});
  EXPECT_EQ(big.open, 7);
  EXPECT_EQ(big.above, 5);
  EXPECT_EQ(big.measured(), 1);
  EXPECT_TRUE(big.mostly_unmeasured());
  Weights plain = parse_weights("0 1\n1 2\n40000 3\n100 4\n", "w", {});
  EXPECT_EQ(plain.zero, 1);
  EXPECT_EQ(plain.one, 2);
  EXPECT_EQ(plain.above, 3);
  EXPECT_EQ(plain.measured(), 4);
}

Capture a_capture() {
  Capture c;
  c.command = "sh -c 'printf \"%s\\n\" x'";
  c.end = CaptureEnd::Failed;
  c.how = "exit status 3";
  c.wall_seconds = 0.25;
  c.cpu_seconds = 0.125;
  c.calls = 3;
  c.processes = 2;
  c.libc = "glibc 2.36";
  c.date = "2026-12-08T23:40:00Z";
  return c;
}

TEST(Weights, ACapturesLinesSurviveAWriteAndARead) {
  Capture c = a_capture();
  Weights w = parse_weights(capture_text(c, {{8, 2}, {40000, 1}}), "w", {});
  ASSERT_TRUE(w.capture);
  EXPECT_EQ(capture_header(*w.capture), capture_header(c));
  EXPECT_EQ(at(w, 8), 2);
  EXPECT_EQ(w.above, 1);
  // A command with a line feed cannot forge a line; it reads back whole.
  c.command = "printf 'a\n# calls: 9'";
  c.end = CaptureEnd::Ok;
  c.how = "";
  w = parse_weights(capture_text(c, {{8, 3}}), "w", {});
  EXPECT_EQ(w.capture->command, c.command);
  EXPECT_EQ(capture_header(*w.capture), capture_header(c));
  // Times in whole microseconds, both ways: a wall time that would be
  // written as 0 is refused when read, not when read again (found by fuzzing).
  std::string tiny = capture_header(c);
  tiny.replace(tiny.find("0.250000 s"), 10, "0.0000004 s");
  EXPECT_THROW(parse_weights(tiny + "8 3\n", "w", {}), InputError);
  // Plain weights with comments are no capture, and a note in one is kept out.
  EXPECT_FALSE(parse_weights("# calls: 9\n8 1\n", "w", {}).capture);
  EXPECT_TRUE(parse_weights(capture_header(c) + "# note: by hand\n8 3\n", "w", {}).capture);
}

TEST(Weights, MalformedInputIsRefusedWithFileAndLine) {
  struct Case {
    std::string text, want;
  } cases[] = {
      {"8 100\n64\n", "w.txt:2: expected a count"},
      {"8 100\nx 5\n", "w.txt:2: expected 'LENGTH COUNT'"},
      {"8 -5\n", "w.txt:1: expected a count"},
      {"8 100 7\n", "w.txt:1: unexpected text after the count"},
      {"@a[8]: 1\n@b[9]: 1\n", "w.txt:2: a second map"},
      {"@a[8, 1]: 1\n", "w.txt:1: the key must be one length"},
      {"@h:\n[16, 32 4 |@|\n", "w.txt:2: expected '[LOW, HIGH)'"},
      {"@h:\n[32, 16)  4 |@|\n", "w.txt:2: a bucket whose end comes before its start"},
      {"# nothing\n", "w.txt: no calls in this file"},
      // Nothing the sweep measures: no verdict can rest on it.
      {"40000 100\n0 3\n", "w.txt: none of its calls is at a length the benchmark measures"},
      {"@[8: 5\n", "w.txt:1: expected '@map[LENGTH]: COUNT'"},
      {"8 123456789012345678901\n", "w.txt:1: a count too large"},
      {std::string("8 1\nx\0y 2\n", 11), "w.txt:2: expected 'LENGTH COUNT', found 'x\\x00y 2'"},
      // A capture's own lines are its; they must be whole and agree with its data.
      {capture_header(a_capture()) + "8 2\n",
       "w.txt: the capture says 3 calls, but its lines hold 2"},
      {capture_header(a_capture()) + "# calls: 3\n8 3\n", "w.txt:10: a second 'calls' line"},
      {"# memset-report capture\n# calls: 3\n8 3\n", "w.txt: a capture without its '# command:'"},
      {"# memset-report capture\n# wall_time: 0 s\n", "w.txt:2: a capture's 'wall_time' cannot"},
      {"# memset-report capture\n# outcome: fine\n", "w.txt:2: a capture's 'outcome' cannot"},
      {"# memset-report capture\n@m[8]: 3\n", "w.txt: a capture without"},
  };
  for (const auto &c : cases)
    EXPECT_EQ(weights_error(c.text).rfind(c.want, 0), 0u)
        << c.text << " -> " << weights_error(c.text);
}

} // namespace
