// The renderers on synthetic campaigns: text in ns, and the plot's range,
// panels and verdict colours.

#include "report/formats/program_file.hpp"
#include "report/render/across_lines.hpp"
#include "report/render/pieces.hpp"
#include "report/render/plot.hpp"
#include "report/render/render.hpp"
#include "synthetic.hpp"
#include "three_machines.hpp"

#include <gtest/gtest.h>

#include <regex>
#include <set>

#ifdef MEMSET_REPORT_JSON
#include <nlohmann/json.hpp>
#endif

using namespace report;

namespace {

using namespace report::synthetic;

TEST(Render, NanosecondsAndGigabytesUseTheCampaignsFrequency) {
  Set a = make_set("a", 3, one, {0, 0, 1}, 1);
  a.record = parse_record("tsc_mhz: 2000.0\n");
  Report r = build_report({a}, {});
  std::string text = render_text(r, Unit::Ns);
  // 2000 MHz: half a nanosecond a tick, two bytes per ns for each byte per tick.
  char want[128];
  std::snprintf(want, sizeof want, "floor: %.2f ns\n", r.sets[0].summary.floor / 2);
  EXPECT_NE(text.find(want), std::string::npos) << want << "\n" << text;
  const SummaryRow &row = r.sets[0].summary.rows.back();
  std::snprintf(want, sizeof want, "%8zu %12.2f %14.2f %11.2f", row.length, row.level / 2,
                row.above_floor / 2, *row.bytes_per_tick * 2);
  EXPECT_NE(text.find(want), std::string::npos) << want << "\n" << text;
}

TEST(Render, ABatchedSetsLoopCostIsEveryRunsAndItsStepTheCampaigns) {
  // Loop costs that moved from run to run, and a floor below their median;
  // an engine that read a step of 1 where the campaign read 26.
  Set s = with_step(make_set("b", 3, one, {0.01, 0, 1}, 1), 26);
  s.engine = Engine::Batch;
  s.batch = BatchHeader{};
  s.batch->resolution = 1;
  s.loops = {15000, 7200, 9100};
  for (auto &run : s.runs)
    for (auto &v : run)
      v = v * 1000 / 8; // a floor near 5 ticks
  Report r = build_report({s}, {});
  ASSERT_TRUE(r.sets[0].summary.loop);
  EXPECT_DOUBLE_EQ(r.sets[0].summary.loop->median, 9.1);
  EXPECT_TRUE(r.sets[0].summary.loop->above_floor);
  std::string text = render_text(r, Unit::Ticks, false);
  EXPECT_NE(text.find("loop: 9.100 ticks a call, the median of 3 runs (7.200 to 15.000)"),
            std::string::npos)
      << text;
  EXPECT_NE(text.find("though the floor below is less"), std::string::npos);
  EXPECT_NE(text.find("the campaign read a step of 26.00 ticks"), std::string::npos);
  // Compared, the measured line says the batches fell short of what the
  // engine promises; and its plot draws every length, its first too.
  s.batch->batch_ticks = 1000;
  Set t = s;
  t.label = "c";
  Report two = build_report({s, t}, {});
  text = render_text(two, Unit::Ticks, false);
  EXPECT_NE(text.find("but b's batches spanned only about 38 of the counter's steps"),
            std::string::npos)
      << text;
  std::string plot = plot_script(two, terminal_for("x.png"), {});
  EXPECT_NE(plot.find("\n1 "), std::string::npos) << "length 1 is drawn";
  EXPECT_EQ(plot.find("left out"), std::string::npos);
}

TEST(Plot, LengthOneIsLeftOutOfTheRangeAndTwoSetsGetTwoPanels) {
  Set a = make_set("a", 3, one, {}, 1), b = make_set("b", 3, one, {}, 2);
  a.runs[0][0] = a.runs[1][0] = a.runs[2][0] = 1000000;
  for (size_t sets : {1, 2}) {
    Report r = build_report(sets == 1 ? std::vector<Set>{a} : std::vector<Set>{a, b}, {});
    std::string s = plot_script(r, terminal_for("x.png"), {});
    std::smatch m;
    ASSERT_TRUE(std::regex_search(s, m, std::regex("\nset yrange \\[0:([0-9.e+]+)\\]")));
    double top = std::stod(m[1]);
    EXPECT_GT(top, base_cost(kLengths));
    EXPECT_LT(top, 2 * base_cost(kLengths) * 1.2 * 1.03);
    size_t plots = 0;
    for (size_t at = s.find("\nplot "); at != std::string::npos; at = s.find("\nplot ", at + 1))
      plots++;
    EXPECT_EQ(plots, sets);
    EXPECT_EQ(s.find("\n1 "), std::string::npos) << "length 1 is in the data";
  }
}

TEST(Plot, OneNoisyLengthDoesNotSetTheRangeAndBandsWearTheirVerdict) {
  auto slower = [](size_t len) { return len >= 4096 ? 1.5 : 1.0; };
  Set a = make_set("a", 11, one, {0, 0, 1}, 1), b = make_set("b", 11, slower, {0, 0, 1}, 2);
  // One run spreads one length over ten times every curve's top.
  a.runs[5][999] = 100 * (uint64_t)base_cost(kLengths);
  a.runs[6][999] = 100 * (uint64_t)base_cost(kLengths);
  a.runs[7][999] = 100 * (uint64_t)base_cost(kLengths);
  Report r = build_report({a, b}, {});
  std::string s = plot_script(r, terminal_for("x.svg"), {});
  std::smatch m;
  ASSERT_TRUE(std::regex_search(s, m, std::regex("\nset yrange \\[0:([0-9.e+]+)\\]")));
  EXPECT_LT(std::stod(m[1]), 2 * 1.5 * base_cost(kLengths));
  // Bands from 4096 are slower (red), those below same (grey).
  EXPECT_TRUE(std::regex_search(s, std::regex("\\n[0-9.e+]+ 1\\.(49|50)[0-9]* [0-9.]+ [0-9.]+ " +
                                              std::to_string(0xd62728) + "\\n")));
  EXPECT_TRUE(std::regex_search(
      s, std::regex("\\n[0-9.e+]+ 1\\.0000 [0-9.]+ [0-9.]+ " + std::to_string(0x7f7f7f) + "\\n")));
}

TEST(Render, IntervalsAreRoundedOutwardsSoNoWidthPrintsAsNone) {
  EXPECT_EQ(bracket(0.60212, 0.60238, 3), "[0.602, 0.603]");
  EXPECT_EQ(bracket(0.978, 1.0049, 2), "[0.97, 1.01]");
  EXPECT_EQ(bracket(0.5, 0.75, 2), "[0.50, 0.75]");
  // An interval that excludes 1 or 0 never prints as touching it.
  EXPECT_EQ(bracket(0.91, 0.9962, 2), "[0.910, 0.997]");
  EXPECT_EQ(bracket(1.0003, 1.04, 2), "[1.0003, 1.0400]");
  EXPECT_EQ(bracket(-0.5, -0.001, 2), "[-0.500, -0.001]");
  EXPECT_EQ(bracket(0.99, 1.0, 2), "[0.99, 1.00]");
  EXPECT_EQ(interval_suffix({0.6, 0.6, 0.6, false}), "");
}

TEST(Render, PerRunTakesTheUnitOfItsLargestFigureAndRoundsOutwards) {
  PerRun p;
  p.calls = 4000;
  p.interval = true;
  p.ticks = {-50000, -60000, -40000};
  p.seconds = Figure{-50e-6, -60.04e-6, -39.96e-6};
  p.wall_share = Figure{-50e-6, -60.04e-6, -39.96e-6};
  EXPECT_EQ(per_run_line(p, "x"),
            "per run: x -50.0 us [-60.1, -39.9] of memset time over 4000 calls; -0.00500% "
            "[-0.00601, -0.00399] of the run's wall time (the capture records no CPU time: no "
            "share of it); from each length timed on its own, back to back, weighted by the "
            "capture's calls\n");
  // What it rests on is said of every per-run line.
  PerRun replayed = p;
  replayed.basis = PerRunBasis::Replay;
  EXPECT_NE(per_run_line(replayed).find("; from the capture's mix, replayed in a shuffled order\n"),
            std::string::npos);
  // A one-sided bound: its side's end alone, no interval.
  PerRun bound = p;
  bound.interval = false;
  bound.at_least = true;
  EXPECT_EQ(per_run_line(bound).substr(0, 30), "per run: at least -60.1 us of ");
  bound.at_least = false;
  EXPECT_EQ(per_run_line(bound).substr(0, 29), "per run: at most -39.9 us of ");
  // A whole millisecond and more shows in ms; no frequency, ticks and no share.
  p.seconds = Figure{-2e-3, -2.5e-3, -1.5e-3};
  EXPECT_NE(per_run_line(p).find("-2.00 ms [-2.50, -1.50]"), std::string::npos);
  p.seconds.reset();
  p.interval = false;
  EXPECT_EQ(per_run_line(p).substr(0, 157),
            "per run: -50000 ticks of memset time over 4000 calls; no counter "
            "frequency (give --tsc-mhz), so no share of the run's time (no "
            "interval: too few runs); from ");
}

TEST(Plot, ManySetsKeepTheirLegendsOutsideAndTheirColoursApartFromVerdicts) {
  std::vector<Set> sets;
  for (unsigned i = 0; i < 12; i++) {
    sets.push_back(make_set("set" + std::to_string(i), 3, one, {}, i + 1));
    sets.back().label = "s" + std::to_string(i);
  }
  // One run of the first set spikes at a few lengths by a thousand times.
  for (size_t k : {700, 900, 5000})
    sets[0].runs[0][k] = 1000 * (uint64_t)base_cost(kLengths);
  // As many sets as colours: laid over each other, no colour twice.
  std::vector<Set> eight(sets.begin(), sets.begin() + 8);
  Report r = build_report(eight, {});
  PlotOptions log;
  log.log_y = true;
  std::string s = plot_script(r, terminal_for("x.png"), log);
  EXPECT_EQ(s.find("set key top left"), std::string::npos);
  EXPECT_NE(s.find("set key at screen"), std::string::npos);
  for (const char *verdict : {"#2ca02c'", "#d62728'", "#7f7f7f'", "#ff7f0e'"})
    EXPECT_EQ(s.find(std::string("lc rgb '") + verdict + " dt "), std::string::npos)
        << "a curve wears a verdict's colour " << verdict;
  std::set<std::string> colours;
  std::regex curve("with lines lw 1[.]5 lc rgb '(#[0-9a-f]+)'");
  for (std::sregex_iterator it(s.begin(), s.end(), curve), end; it != end; ++it)
    colours.insert((*it)[1]);
  EXPECT_EQ(colours.size(), eight.size());
  // The verdict colours are named once, and each comparison once.
  size_t named = 0;
  for (size_t at = s.find("green faster"); at != std::string::npos;
       at = s.find("green faster", at + 1))
    named++;
  EXPECT_EQ(named, 1u);
  EXPECT_NE(s.find("set logscale y 2"), std::string::npos);
  std::smatch m;
  ASSERT_TRUE(std::regex_search(s, m, std::regex("set yrange \\[[0-9.e+]+:([0-9.e+]+)\\]")));
  EXPECT_LT(std::stod(m[1]), 10 * base_cost(kLengths)) << "a spike of one run set the scale";
  // More: a small panel per comparison, each named, no curves laid over
  // each other, and the key once.
  std::string many = plot_script(build_report(sets, {}), terminal_for("x.png"), log);
  size_t panels = 0;
  for (size_t at = many.find("\nplot "); at != std::string::npos; at = many.find("\nplot ", at + 1))
    panels++;
  EXPECT_EQ(panels, sets.size() - 1);
  EXPECT_EQ(many.find("$data"), std::string::npos);
  for (size_t i = 1; i < sets.size(); i++)
    EXPECT_NE(many.find(fmt("set title '[%zu] s%zu / [1]'", i + 1, i)), std::string::npos) << i;
  EXPECT_NE(many.find("12 sets, each against [1] in its own panel"), std::string::npos);
  EXPECT_EQ(many.find("green faster"), many.rfind("green faster"));
}

TEST(Plot, AnEstimateBeyondTheAxisIsMarkedAtItsEdgeWithItsValue) {
  // Five times as slow from 4 KiB up: past the axis's top of 4.
  auto slower = [](size_t len) { return len >= 4096 ? 5.0 : 1.0; };
  Set a = make_set("a", 11, one, {0, 0, 1}, 1), b = make_set("b", 11, slower, {0, 0, 1}, 2);
  a.record.machine.cpu_model = "Some CPU";
  a.record.machine.libc = "glibc 2.36";
  a.record.machine.date = "2026-12-10 02:00:00 +0000";
  std::string s = plot_script(build_report({a, b}, {}), terminal_for("x.png"), {});
  size_t from = s.find("$edges0 << EOD\n"), to = s.find("EOD\n", from + 15);
  ASSERT_NE(from, std::string::npos);
  std::string edges = s.substr(from + 15, to - from - 15);
  std::regex row("([0-9.e+]+) ([0-9.]+) ([0-9.]+)\n");
  size_t marked = 0;
  for (std::sregex_iterator it(edges.begin(), edges.end(), row), end; it != end; ++it) {
    EXPECT_GE(std::stod((*it)[1]), 4096 * 0.9);
    EXPECT_EQ(std::stod((*it)[2]), 4) << "marked at the axis's top";
    EXPECT_NEAR(std::stod((*it)[3]), 5, 0.05) << "with its own value";
    marked++;
  }
  EXPECT_GT(marked, 0u);
  EXPECT_NE(s.find("with labels"), std::string::npos);
  // The caption names the engine, the machine, its C library, rounds and date.
  EXPECT_NE(s.find("memset-bench (one call at a time) on Some CPU, glibc 2.36; 11 rounds; "
                   "2026-12-10"),
            std::string::npos);
}

TEST(Plot, TheHiddenStretchIsShadedAndItsBandsDrawNoInterval) {
  Set a = with_step(make_set("a", 15, flat_then_rising, {0.01, 0, 1}, 1), 26);
  Set b = with_step(make_set("b", 15, flat_then_rising, {0.01, 0, 1}, 2), 26);
  Report r = build_report({a, b}, {});
  ASSERT_GT(r.comparisons[0].hidden_bands, 0u);
  std::string s = plot_script(r, terminal_for("x.png"), {});
  char rect[64];
  std::snprintf(rect, sizeof rect, "set object 1 rect from 3, graph 0 to %zu,",
                *r.sets[0].summary.hidden_to);
  EXPECT_NE(s.find(rect), std::string::npos) << rect;
  // Each hidden band's line: no point at all, for its ratio is no size.
  size_t from = s.find("$bands0 << EOD"), to = s.find("EOD\n", from + 14);
  ASSERT_NE(from, std::string::npos);
  std::string block = s.substr(from, to - from);
  std::regex band("\n([0-9.e+]+) ([0-9.NaN]+) ([0-9.NaN]+) ([0-9.NaN]+) [0-9]+");
  size_t hidden = 0, lines = 0;
  for (std::sregex_iterator it(block.begin(), block.end(), band), end; it != end; ++it, lines++)
    if (std::stod((*it)[1]) < kFlatTo / 2) {
      EXPECT_EQ((*it)[2], "NaN") << (*it)[0];
      hidden++;
    } else if (std::stod((*it)[1]) > kFlatTo) {
      EXPECT_NE((*it)[2], "NaN") << (*it)[0];
    }
  EXPECT_GT(hidden, 0u);
  EXPECT_EQ(lines, band_grid().size());
  // Sets whose step is unknown hide nothing, and nothing is shaded.
  a.record.machine.tsc_step.reset();
  EXPECT_NE(plot_script(build_report({a, b}, {}), terminal_for("x.png"), {}).find("set object 1"),
            std::string::npos);
  b.record.machine.tsc_step.reset();
  EXPECT_EQ(plot_script(build_report({a, b}, {}), terminal_for("x.png"), {}).find("set object 1"),
            std::string::npos);
}

#ifdef MEMSET_REPORT_JSON
TEST(Render, TextAndJsonSayTheSameOfEveryBand) {
  // A pair with a known hidden stretch, a difference above it, and one
  // where B's fills rise out of its readings while A's still hide: the band
  // lines of the text and the bands of the JSON give one verdict and one
  // qualifier each, the hidden ones no ratio or interval in either, the
  // bound ones the same bound.
  auto b_cost = [](size_t len) {
    return flat_then_rising(len) * (len >= 4096 ? 1.3 : len >= 512 && len < 1024 ? 2 : 1);
  };
  Set a = with_step(make_set("a", 15, flat_then_rising, {0.01, 0, 1}, 1), 26);
  Set b = with_step(make_set("b", 15, b_cost, {0.01, 0, 1}, 2), 26);
  a.record.machine.tsc_mhz = b.record.machine.tsc_mhz = 2000.0;
  Report r = build_report({a, b}, {});
  std::string text = render_text(r, Unit::Ticks, true), json;
  render_json(r, {4096}, [&](const std::string &s) { json += s; });
  const auto bands = nlohmann::json::parse(json)["memset_report_comparisons"][0]["bands"];
  std::regex line("band: ([0-9]+)[.][.]([0-9]+) ([a-z]+)( [(]hidden in [^)]*readings)?"
                  "(, at least ([0-9.]+) and [^(]*[(]hidden in a's readings)?( [0-9.]+ \\[)?");
  size_t n = 0, hidden = 0, bound = 0;
  for (std::sregex_iterator it(text.begin(), text.end(), line), end; it != end; ++it, n++) {
    ASSERT_LT(n, bands.size());
    const auto &j = bands[n];
    EXPECT_EQ(std::to_string(j["from"].get<size_t>()), (*it)[1]);
    EXPECT_EQ(j["verdict"].get<std::string>(), (*it)[3]) << (*it)[0];
    EXPECT_EQ(j.value("hidden", false), (*it)[4].matched) << (*it)[0];
    EXPECT_EQ(j.contains("at_least"), (*it)[5].matched) << (*it)[0];
    EXPECT_EQ(j.contains("low"), (*it)[7].matched) << (*it)[0];
    EXPECT_EQ(j["ratio"].is_null(), (*it)[4].matched || (*it)[5].matched) << (*it)[0];
    if ((*it)[5].matched) {
      EXPECT_EQ((*it)[3], "slower");
      EXPECT_LE(std::stod((*it)[6]), j["at_least"].get<double>());
      EXPECT_GT(std::stod((*it)[6]), 1.02);
      EXPECT_EQ(j["hidden_in"], nlohmann::json::array({"a"}));
    }
    hidden += (*it)[4].matched || (*it)[5].matched;
    bound += (*it)[5].matched;
  }
  EXPECT_EQ(n, band_grid().size());
  EXPECT_EQ(hidden, r.comparisons[0].hidden_bands);
  EXPECT_GT(bound, 0u);
  // The ranges alike: verdict, qualifier, and whether their bands differ.
  const auto ranges = nlohmann::json::parse(json)["memset_report_comparisons"][0]["ranges"];
  std::regex range_line("range: ([0-9]+)[.][.]([0-9]+) ([a-z]+)( [(]hidden in [^)]*readings)?"
                        "(, at least)?([^\\n]* bands [0-9.]+[.][.][0-9.]+)?");
  n = 0;
  for (std::sregex_iterator it(text.begin(), text.end(), range_line), end; it != end; ++it, n++) {
    ASSERT_LT(n, ranges.size());
    const auto &j = ranges[n];
    EXPECT_EQ(std::to_string(j["to"].get<size_t>()), (*it)[2]);
    EXPECT_EQ(j["verdict"].get<std::string>(), (*it)[3]) << (*it)[0];
    EXPECT_EQ(j.value("hidden", false), (*it)[4].matched) << (*it)[0];
    EXPECT_EQ(j.contains("at_least"), (*it)[5].matched) << (*it)[0];
    EXPECT_EQ(j.contains("band_min"), (*it)[6].matched) << (*it)[0];
  }
  EXPECT_EQ(n, ranges.size());
  EXPECT_GT(hidden, 0u);
  EXPECT_NE(text.find("measured: memset-bench, one call at a time"), std::string::npos);
}

// Sets started differently (one through a loader, by a campaign from
// before copies) and sets whose buffers lay apart are compared with that
// named, in the text and in the JSON alike; sets started alike are not.
TEST(Render, HowEachSetWasStartedAndWhereItsBufferLayIsNamedWhereTheyDiffer) {
  Set a = make_set("a", 5, one, {}, 1), b = make_set("b", 5, one, {}, 2);
  for (Set *s : {&a, &b}) {
    s->engine = Engine::Batch;
    s->batch = BatchHeader{};
    s->batch->buffer = 16;
  }
  b.libc = {"/x/ld.so", "/x", "/x/libc.so.6", "GNU C Library", "93ac", ""};
  auto said = [](const Set &x, const Set &y, const char *field) {
    Report r = build_report({x, y}, {});
    std::string json;
    render_json(r, {}, [&](const std::string &s) { json += s; });
    const bool in_json = nlohmann::json::parse(json)["memset_report_comparisons"][0][field];
    const std::string text = render_text(r, Unit::Ticks, false);
    return std::make_pair(in_json, text);
  };
  auto [loader, text] = said(a, b, "started_differently");
  EXPECT_TRUE(loader);
  EXPECT_NE(text.find("started differently: [2] b through its loader, [1] a directly"),
            std::string::npos)
      << text;
  b.libc.started = kStartedCopy;
  auto [copy, alike] = said(a, b, "started_differently");
  EXPECT_FALSE(copy);
  EXPECT_EQ(alike.find("started differently"), std::string::npos);
  EXPECT_NE(alike.find("landed: at the start of one 32 KiB buffer, 16 bytes past"),
            std::string::npos);
  b.batch->buffer = 32;
  auto [apart, named] = said(a, b, "landed_differently");
  EXPECT_TRUE(apart);
  EXPECT_NE(named.find("landed differently: [1] a at the start of one 32 KiB buffer, 16 bytes "
                       "past a 64-byte line where malloc put it, hot (the default); [2] b at the "
                       "start of one 32 KiB buffer, 32 bytes past"),
            std::string::npos)
      << named;
}

// A program campaign's variant of `n` rounds: wall and CPU time in us.
Set program_set(const std::string &name, size_t n, double cpu_ms) {
  Set s;
  s.label = s.path = "camp/" + name;
  s.campaign = "camp";
  s.program = true;
  for (size_t r = 0; r < n; r++) {
    double jitter = 1 + 0.01 * (double)((r * 7) % 5);
    s.runs.push_back({(uint64_t)(cpu_ms * jitter * 1100), (uint64_t)(cpu_ms * jitter * 1000)});
    s.rounds.push_back((unsigned)r + 1);
  }
  return s;
}

TEST(Render, AProgramsJsonHasARunAnEntryAndTheTextsVerdict) {
  for (size_t rounds : {20, 3}) {
    MixReport r = build_mix_report({program_set("a", rounds, 50), program_set("b", rounds, 60)},
                                   CompareOptions{});
    const auto doc = nlohmann::json::parse(render_one_figure_json(r));
    size_t runs = 0, aggregates = 0;
    for (const auto &e : doc["benchmarks"]) {
      if (e["run_type"] == "iteration") {
        const RunValues &run = r.sets[1].set.runs[e["repetition_index"].get<size_t>()];
        if (e["name"] == "camp/b/program") {
          EXPECT_DOUBLE_EQ(e["real_time"].get<double>(), (double)run[kWallUs] / 1000);
          EXPECT_DOUBLE_EQ(e["cpu_time"].get<double>(), (double)run[kCpuUs] / 1000);
        }
        runs++;
      } else
        aggregates++;
      EXPECT_EQ(e["time_unit"], "ms");
    }
    EXPECT_EQ(runs, 2 * rounds);
    EXPECT_EQ(aggregates, 2u * 4); // median, mean, stddev, low
    const auto &c = doc["memset_report_comparisons"][0];
    const MixComparison &mc = r.comparisons[0];
    EXPECT_EQ(c["verdict"], verdict_name(mc.c.decision.verdict));
    EXPECT_EQ(c.contains("low"), mc.c.est.interval) << rounds;
    EXPECT_EQ(c.contains("diff_high"), mc.c.est.interval) << rounds;
    EXPECT_EQ(render_one_figure_text(r).find("time: " + c["verdict"].get<std::string>()) !=
                  std::string::npos,
              true);
  }
}

TEST(Render, ARatioThatMovedIsSaidInTextAndJsonWithTheWidenedInterval) {
  // The later half of B's 80 rounds 30% dearer than its first: both
  // renderers name the parts, and the text's interval is the widened one.
  Set b = program_set("b", 80, 52);
  for (size_t r = 40; r < b.runs.size(); r++)
    for (auto &v : b.runs[r])
      v = (uint64_t)((double)v * 1.3);
  MixReport r = build_mix_report({program_set("a", 80, 50), b}, CompareOptions{});
  const ScalarComparison &c = r.comparisons[0].c;
  ASSERT_EQ(c.moved.size(), 2u);
  const std::string text = render_one_figure_text(r);
  EXPECT_NE(text.find("moved: rounds 1..40 1.040"), std::string::npos) << text;
  EXPECT_NE(text.find("; rounds 41..80 1.352"), std::string::npos) << text;
  EXPECT_NE(text.find(interval_suffix(c.est) + " +"), std::string::npos) << text;
  const auto doc = nlohmann::json::parse(render_one_figure_json(r));
  const auto &j = doc["memset_report_comparisons"][0];
  ASSERT_EQ(j["moved"].size(), 2u);
  EXPECT_EQ(j["moved"][1]["first_round"], 41);
  EXPECT_LE(j["low"].get<double>(), j["moved"][0]["ratio"].get<double>());
  EXPECT_GE(j["high"].get<double>(), j["moved"][1]["ratio"].get<double>());
}

#endif

// Many machines' verdicts in words: what holds on all, and who differs,
// named; the same words the text and the JSON across machines write.
TEST(Across, WhatHoldsOnAllMachinesAndWhoDiffersIsSaidInWords) {
  const Across a = compare_across(three_machines());
  ASSERT_EQ(a.comparisons.size(), 1u);
  bool split = false, all = false;
  for (const AcrossStretch &s : a.comparisons[0].stretches) {
    const std::string text = across_text(a, s);
    if (s.to < 1024) {
      EXPECT_NE(text.find("slower on 2 (alpha: "), std::string::npos) << text;
      EXPECT_TRUE(text.find("same on 1") != std::string::npos ||
                  text.find("unclear on 1 (gamma)") != std::string::npos)
          << text;
      split = true;
    }
    if (s.from >= 1024) {
      EXPECT_NE(text.find("slower on 3 of 3 (1."), std::string::npos) << text;
      all = true;
    }
  }
  EXPECT_TRUE(split);
  EXPECT_TRUE(all);
  EXPECT_EQ(ratio_span(1.061, 1.799), "1.06-1.80x");
  EXPECT_EQ(ratio_span(1.3, 1.301), "1.30x");
}

} // namespace
