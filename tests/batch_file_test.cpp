// memset-batch's file: what the reader takes, exactly, and every way it
// refuses, by file and line.

#include "report/formats/batch_file.hpp"
#include "report/formats/sets.hpp"
#include "report/sys/errors.hpp"

#include <gtest/gtest.h>

using namespace report;

namespace {

BatchRun a_run() {
  BatchRun r;
  r.header = {true, 7, 26, 41000, 2125, 26000, false, {}, std::nullopt};
  for (size_t k = 1; k <= kLengths; k++)
    r.values.push_back(7000 + k * 30 + k % 1000);
  return r;
}

std::string refusal(const std::string &text) {
  try {
    parse_batch(text, "b.txt");
  } catch (const InputError &e) {
    return e.what();
  }
  return "";
}

TEST(BatchFile, ReadsBackExactlyWhatTheEngineWrites) {
  BatchRun r = a_run();
  std::string text = batch_text(r);
  EXPECT_TRUE(is_batch_text(text));
  BatchRun back = parse_batch(text, "b.txt");
  EXPECT_EQ(back.header, r.header);
  EXPECT_EQ(back.values, r.values);
  EXPECT_EQ(batch_text(back), text);
  EXPECT_EQ(text.substr(text.find("# read_cost"), 24), "# read_cost: 41.000\n# lo");
  EXPECT_FALSE(is_batch_text("1\n2\n"));
}

// A run whose fills were not placed says where malloc put its buffer (the
// third version's key); a file without it, of the first, reads as before.
TEST(BatchFile, WhereTheBufferLayIsReadBackAndNamedWhereSetsDiffer) {
  BatchRun r = a_run();
  r.header.buffer = 16;
  std::string text = batch_text(r);
  EXPECT_EQ(text.substr(0, 17), "# memset-batch 3\n");
  EXPECT_NE(text.find("# batch: 26000\n# buffer: 16\n"), std::string::npos);
  BatchRun back = parse_batch(text, "b.txt");
  EXPECT_EQ(back.header.buffer, std::optional<int>(16));
  EXPECT_EQ(batch_text(back), text);
  std::string far = text;
  far.replace(far.find("# buffer: 16"), 12, "# buffer: 64");
  EXPECT_EQ(refusal(far), "b.txt:8: 'buffer' cannot be '64'");
  std::string lost = text;
  lost.erase(lost.find("# buffer: 16\n"), 13);
  EXPECT_NE(refusal(lost).find("b.txt:8: expected '# buffer: VALUE'"), std::string::npos)
      << refusal(lost);
  EXPECT_EQ(landing_text({}, 16),
            "at the start of one 32 KiB buffer, 16 bytes past a 64-byte line where malloc put it, "
            "hot (the default)");
  Set a, b, old;
  a.batch = back.header;
  b.batch = back.header;
  b.batch->buffer = 32;
  old.batch = a_run().header;
  EXPECT_TRUE(landed_apart(a, b)) << "16 and 32 past a line are two places";
  EXPECT_FALSE(landed_apart(a, old)) << "a file that does not say tells nothing";
  EXPECT_FALSE(landed_apart(a, a));
}

// A run told where its fills land: the second version's two keys, read
// back; a first-version reader's file is the same bytes as ever.
TEST(BatchFile, WhereTheFillsLandedIsReadBack) {
  BatchRun r = a_run();
  EXPECT_EQ(batch_text(r).substr(0, 17), "# memset-batch 1\n");
  r.header.landing = {Landing::kAlignRandom, 67108864, ""};
  std::string text = batch_text(r);
  EXPECT_EQ(text.substr(0, 17), "# memset-batch 2\n");
  EXPECT_NE(text.find("# batch: 26000\n# align: random\n# footprint: 67108864\n"),
            std::string::npos);
  BatchRun back = parse_batch(text, "b.txt");
  EXPECT_EQ(back.header, r.header);
  EXPECT_EQ(batch_text(back), text);
  auto with = [&](const std::string &from, const std::string &to) {
    std::string t = text;
    t.replace(t.find(from), from.size(), to);
    return t;
  };
  for (const auto &[bad, line] : std::vector<std::pair<std::string, std::string>>{
           {"# align: 64", "b.txt:8: 'align'"},
           {"# align: 016", "b.txt:8: 'align'"},
           {"# align: buffer", "b.txt:8: 'align'"},
           {"# footprint: 100", "b.txt:9: 'footprint'"},
           {"# footprint: 1099511627777", "b.txt:9: 'footprint'"}}) {
    std::string t = with(bad == "# align: 64" || bad == "# align: 016" || bad == "# align: buffer"
                             ? "# align: random"
                             : "# footprint: 67108864",
                         bad);
    EXPECT_NE(refusal(t).find(line), std::string::npos) << bad << ": " << refusal(t);
  }
  // Offsets drawn at random are seeded, with fixed lengths too.
  r.header.random = false;
  EXPECT_NO_THROW(parse_batch(batch_text(r), "b.txt"));
  r.header.landing.align = 16;
  EXPECT_NE(refusal(batch_text(r)).find("a seed given with fixed lengths"), std::string::npos);
}

TEST(BatchFile, RefusesAnythingElseNamingFileAndLine) {
  std::string good = batch_text(a_run());
  auto with = [&](const std::string &from, const std::string &to) {
    std::string t = good;
    t.replace(t.find(from), from.size(), to);
    return t;
  };
  struct Case {
    std::string text, want;
  } cases[] = {
      {"", "b.txt: empty file"},
      {with("# memset-batch 1", "# memset-batch 4"),
       "b.txt:1: not a memset-batch file of a version"},
      {with("# memset-batch 1", "# memset-batch 3"), "b.txt:8: expected '# buffer: VALUE'"},
      {with("# memset-batch 1", "# memset-batch 2"), "b.txt:8: expected '# align: VALUE'"},
      {with("# seed: 7", "# seed: 07"), "b.txt:3: 'seed' cannot be '07'"},
      {with("# lengths: random", "# lengths: shuffled"), "b.txt:2: 'lengths' cannot be"},
      {with("# resolution: 26", "# resolution: 0"), "b.txt:4: 'resolution' cannot be '0'"},
      {with("# read_cost: 41.000", "# read_cost: 41.0"), "b.txt:5: 'read_cost' cannot be"},
      {with("# loop", "# lope"), "b.txt:6: expected '# loop: VALUE'"},
      {with("\n7.031\n", "\n7.031 \n"), "b.txt:8: expected ticks per call with 3 decimals"},
      {with("\n7.031\n", "\n-7.031\n"), "b.txt:8: expected ticks per call"},
      {with("\n7.031\n", "\n07.031\n"), "b.txt:8: expected ticks per call"},
      {good.substr(0, good.size() - 1), "the last line has no line feed"},
      {good.substr(0, good.rfind('\n', good.size() - 2) + 1), "b.txt: 32767 values, not 32768"},
      {good + "1.000\n", "b.txt:32776: more than 32768 values"},
      {good.substr(0, 60), "the last line has no line feed"},
      {with("# lengths: random", "# lengths: fixed"), "b.txt: a seed given with fixed lengths"},
      {good + std::string(kMaxBatchBytes, '1'), "more than"},
  };
  for (const auto &c : cases)
    EXPECT_NE(refusal(c.text).find(c.want), std::string::npos)
        << c.want << " -> " << refusal(c.text);
}

TEST(BatchFile, AReplayHoldsOneFigure) {
  BatchRun r = a_run();
  r.header.random = false;
  r.header.replay = true;
  r.values = {13067};
  std::string text = batch_text(r);
  EXPECT_NE(text.find("# lengths: replay\n"), std::string::npos);
  BatchRun back = parse_batch(text, "b.txt");
  EXPECT_TRUE(back.header.replay);
  EXPECT_EQ(back.values, r.values);
  EXPECT_NE(refusal(text + "1.000\n").find("b.txt:9: more than 1 value"), std::string::npos)
      << refusal(text + "1.000\n");
  EXPECT_NE(refusal(text.substr(0, text.size() - 7)).find("0 values, not 1"), std::string::npos);
  // A file of a whole curve is no replay, and a replay no curve.
  std::string curve = batch_text(a_run());
  std::string relabeled = curve;
  relabeled.replace(relabeled.find("random"), 6, "replay");
  EXPECT_NE(refusal(relabeled).find("more than 1 value"), std::string::npos);
}

// Where the fills land, in its one spelling each way, and in words that
// name the level only where the record gave one.
TEST(Landing, EachAlignmentReadsBackAsWrittenAndNothingElseReads) {
  for (int a = 0; a < 64; a++)
    EXPECT_EQ(align_of(align_word(a)), std::optional<int>(a));
  for (int a : {Landing::kAlignRandom, Landing::kAlignCapture})
    EXPECT_EQ(align_of(align_word(a)), std::optional<int>(a));
  for (const char *bad : {"64", "-1", "016", "", " 3", "buffer", "Random"})
    EXPECT_FALSE(align_of(bad)) << bad;
  EXPECT_FALSE(Landing{}.placed());
  EXPECT_EQ(Landing({16, 32768, "L1"}), Landing({16, 32768, ""})) << "a level names the bytes";
  EXPECT_NE(landing_text({16, 32768, "L1"})
                .find("16 bytes past a 64-byte line, walking 32768 bytes (L1)"),
            std::string::npos);
  EXPECT_NE(landing_text({0, 0, ""}).find("in one place"), std::string::npos);
}

} // namespace
