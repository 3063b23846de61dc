// The page on synthetic campaigns: every range's verdict, figure and
// interval in its table, hidden stretches shaded, user text escaped, a
// tune-sized page small.

#include "report/render/page.hpp"
#include "report/render/render.hpp"
#include "report/render/svg.hpp"
#include "report/sys/text.hpp"
#include "synthetic.hpp"

#include <gtest/gtest.h>

#include <map>
#include <regex>

using namespace report;

namespace {

using namespace report::synthetic;

// A pair with a hidden stretch, a bound just above it, a difference above
// that and the same at the top: every kind of range.
Report every_kind(const std::string &b_name) {
  auto b_cost = [](size_t len) {
    return flat_then_rising(len) * (len >= 4096 ? 1.3 : len >= 512 && len < 1024 ? 2 : 1);
  };
  Set a = with_step(make_set("default", 15, flat_then_rising, {0.01, 0, 1}, 1), 26);
  Set b = with_step(make_set(b_name, 15, b_cost, {0.01, 0, 1}, 2), 26);
  a.record.machine.tsc_mhz = b.record.machine.tsc_mhz = 2000.0;
  return build_report({a, b}, {});
}

std::string page_of(const Report &r) {
  Page p;
  p.title = "t";
  p.command = "memset-report summary camp";
  p.curves = &r;
  p.text = render_text(r, Unit::Ticks);
  return render_page(p);
}

TEST(Page, EveryRangeIsARowWithTheReportsVerdictAndFigures) {
  const Report r = every_kind("sse2");
  const std::string page = page_of(r);
  const Comparison &c = r.comparisons[0];
  size_t hidden = 0, bound = 0, decided = 0;
  for (const Range &rg : c.ranges) {
    const std::string row = "<tr class=\"" + std::string(verdict_name(rg.verdict)) +
                            (rg.hidden  ? " hidden"
                             : rg.bound ? " bound"
                                        : "") +
                            "\" data-from=\"" + std::to_string(rg.from) + "\" data-to=\"" +
                            std::to_string(rg.to) + "\">";
    const size_t at = page.find(row);
    ASSERT_NE(at, std::string::npos) << row;
    const std::string cells = page.substr(at, page.find("</tr>", at) - at);
    if (rg.hidden || rg.bound) {
      // No ratio where fills hide: the text's words say why, or the bound.
      EXPECT_EQ(cells.find("data-value"), std::string::npos) << cells;
      EXPECT_NE(cells.find(rg.hidden ? "hidden in" : "at least"), std::string::npos) << cells;
      hidden += rg.hidden, bound += rg.bound;
      continue;
    }
    std::smatch m;
    ASSERT_TRUE(std::regex_search(cells, m, std::regex("data-value=\"([^\"]+)\">([^<]+)<")));
    EXPECT_EQ(std::stod(m[1]), rg.est.ratio) << "the exact value, as the JSON gives it";
    EXPECT_EQ(m[2].str(), fmt("%.2f", rg.est.ratio));
    if (rg.est.interval) {
      ASSERT_TRUE(
          std::regex_search(cells, m, std::regex("data-low=\"([^\"]+)\" data-high=\"([^\"]+)\"")));
      EXPECT_EQ(std::stod(m[1]), rg.est.low);
      EXPECT_EQ(std::stod(m[2]), rg.est.high);
    }
    decided += rg.verdict == Verdict::Slower;
  }
  EXPECT_GT(hidden, 0u);
  EXPECT_GT(bound, 0u);
  EXPECT_GT(decided, 0u);
  // The answer says it in one sentence, and the hidden stretch is shaded
  // on the ratio's chart and on each curve.
  EXPECT_NE(page.find("[2] sse2 against [1] default: unclear over 3.."), std::string::npos);
  EXPECT_NE(page.find("<figure class=\"chart\" id=\"ratio-0\">"), std::string::npos);
  for (const char *id : {"ratio-0", "curve-0", "curve-1"}) {
    const size_t at = page.find(std::string("id=\"") + id + "\"");
    ASSERT_NE(at, std::string::npos) << id;
    EXPECT_LT(page.find("class=\"stretch\"", at), page.find("</figure>", at)) << id;
  }
  // Nothing is fetched or run: no script, no source or link elsewhere.
  EXPECT_EQ(page.find("<script"), std::string::npos);
  EXPECT_FALSE(std::regex_search(page, std::regex("(src|href)=")));
}

TEST(Page, TextFromUsersIsEscapedEverywhere) {
  const std::string hostile = "<script>alert(1)</script>";
  Report r = every_kind(hostile);
  r.sets[1].set.env = {"X=\"><img src=x onerror=alert(2)>"};
  const std::string page = page_of(r);
  EXPECT_EQ(page.find("<script>"), std::string::npos);
  EXPECT_EQ(page.find("<img"), std::string::npos);
  EXPECT_NE(page.find("&lt;script&gt;alert(1)&lt;/script&gt;"), std::string::npos);
  // The text kept whole at the end is escaped too, line by line.
  EXPECT_NE(page.find("== [2] &lt;script&gt;"), std::string::npos);
}

TEST(Page, CurvesAreThinnedAndATuneSizedPageStaysSmall) {
  std::vector<double> values(kLengths);
  for (size_t i = 0; i < values.size(); i++)
    values[i] = (double)i;
  std::vector<double> x, y;
  thin_curve(values, 320, x, y);
  ASSERT_LE(x.size(), 320u);
  ASSERT_GT(x.size(), 200u);
  for (size_t i = 1; i < x.size(); i++)
    EXPECT_GT(x[i], x[i - 1]);
  EXPECT_GE(x.front(), 1);
  EXPECT_LE(x.back(), (double)kLengths);
  std::vector<Set> sets;
  for (unsigned v = 0; v < 8; v++)
    sets.push_back(make_set(
        "variant" + std::to_string(v), 15, [v](size_t) { return 1 + 0.05 * v; }, {}, v + 1));
  EXPECT_LT(page_of(build_report(sets, {})).size(), 2u << 20);
}

TEST(Chart, TickLabelsDoNotOverlapAndAMissingValueBreaksTheLine) {
  // Tick labels' centres, by axis, as the SVG places them.
  auto ticks = [](const std::string &svg, bool x_axis) {
    std::vector<std::pair<double, std::string>> out;
    const std::regex tick(x_axis ? "class=\"tick\" x=\"([0-9.]+)\" y=\"[0-9.]+\" "
                                   "text-anchor=\"middle\">([^<]+)<"
                                 : "class=\"tick\" x=\"[0-9.]+\" y=\"([0-9.]+)\" "
                                   "text-anchor=\"end\">([^<]+)<");
    for (std::sregex_iterator it(svg.begin(), svg.end(), tick), end; it != end; ++it)
      out.push_back({std::stod((*it)[1]), (*it)[2]});
    return out;
  };
  for (bool log : {true, false}) {
    Chart c;
    c.id = "c";
    c.title = "t <b>";
    c.log_x = c.log_y = log;
    ChartLine l;
    l.name = "a & b";
    for (double x = 1; x <= 32768; x *= 1.5) {
      l.x.push_back(x);
      l.y.push_back(x < 100 || x > 200 ? 3 + x / 7 : NAN);
    }
    c.lines = {l};
    const std::string svg = render_chart(c);
    const auto xs = ticks(svg, true), ys = ticks(svg, false);
    ASSERT_GE(xs.size(), 3u) << svg;
    ASSERT_GE(ys.size(), 3u) << svg;
    // Neighbouring labels stand further apart than the wider one is long
    // (about 7.2 units a character at their size), on both axes.
    for (size_t i = 1; i < xs.size(); i++)
      EXPECT_GT(xs[i].first - xs[i - 1].first,
                7.2 * (double)std::max(xs[i].second.size(), xs[i - 1].second.size()))
          << xs[i - 1].second << " and " << xs[i].second;
    for (size_t i = 1; i < ys.size(); i++)
      EXPECT_GT(ys[i - 1].first - ys[i].first, 12) << ys[i - 1].second << " and " << ys[i].second;
    // The missing stretch splits the line in two; the texts are escaped.
    size_t lines = 0;
    for (size_t at = svg.find("<polyline"); at != std::string::npos;
         at = svg.find("<polyline", at + 1))
      lines++;
    EXPECT_EQ(lines, 2u);
    EXPECT_NE(svg.find("t &lt;b&gt;"), std::string::npos);
    EXPECT_NE(svg.find("a &amp; b"), std::string::npos);
  }
}

TEST(Page, ManyMachinesEachHaveTheirSectionsAndNoIdTwice) {
  const Report alpha = every_kind("sse2"), beta = every_kind("sse2");
  Page p;
  p.title = "fleet";
  p.machines = {{"alpha", "alpha: a processor", &alpha}, {"beta", "beta: <another>", &beta}};
  p.text = "across: 3..15 unclear on 2 of 2; alpha unclear, beta unclear\n";
  const std::string page = render_page(p);
  EXPECT_NE(page.find("<li>across: 3..15 unclear on 2 of 2"), std::string::npos);
  EXPECT_NE(page.find("beta: &lt;another&gt;"), std::string::npos);
  std::map<std::string, int> ids;
  const std::regex id(" id=\"([^\"]+)\"");
  for (std::sregex_iterator it(page.begin(), page.end(), id), end; it != end; ++it)
    ids[(*it)[1]]++;
  for (const auto &[name, n] : ids)
    EXPECT_EQ(n, 1) << name;
  EXPECT_EQ(ids.count("m0-ratio-0") + ids.count("m1-ratio-0") + ids.count("m1-curve-1"), 3u);
}

TEST(Prediction, AChangeSmallerThanPredictedSaysWhatTheReplayLeavesOut) {
  auto [replay, program] = replay_and_program();
  MixComparison r;
  r.other = 1;
  r.per_run = PerRun{};
  r.per_run->interval = true;
  r.per_run->seconds = Figure{0.009, 0.0088, 0.0092}; // +9 ms a run
  replay.comparisons = {r};
  MixComparison m;
  m.other = 1;
  m.c.est = {1.0, 0.99, 1.01, true, 0.0, -0.3, 0.2}; // measured [-0.3, 0.2] ms
  m.c.decision = {Verdict::Same};
  m.c.runs = 300;
  program.comparisons = {m};
  const std::string overlap = "its other work may overlap the fills";
  EXPECT_NE(render_prediction(replay, program, predict(replay, program)).find(overlap),
            std::string::npos);
  // Larger than predicted: not that.
  program.comparisons[0].c.est = {1.1, 1.08, 1.12, true, 12, 11, 13};
  program.comparisons[0].c.decision = {Verdict::Slower};
  const std::string larger = render_prediction(replay, program, predict(replay, program));
  EXPECT_NE(larger.find("does not hold the prediction"), std::string::npos);
  EXPECT_EQ(larger.find(overlap), std::string::npos);
  // An interval that holds the prediction and no change confirms nothing;
  // one that holds it alone does.
  replay.comparisons[0].per_run->seconds = Figure{0.001, 0.0009, 0.0011}; // +1 ms a run
  program.comparisons[0].c.est = {1.0, 0.99, 1.02, true, 0.56, -0.59, 1.71};
  program.comparisons[0].c.decision = {Verdict::Same};
  const std::string both = render_prediction(replay, program, predict(replay, program));
  EXPECT_NE(both.find("cannot tell the prediction from nothing"), std::string::npos) << both;
  program.comparisons[0].c.est = {1.0, 1.005, 1.02, true, 0.9, 0.4, 1.4};
  program.comparisons[0].c.decision = {Verdict::Slower};
  const std::string held = render_prediction(replay, program, predict(replay, program));
  EXPECT_NE(held.find("the measured interval holds the prediction"), std::string::npos) << held;
  EXPECT_EQ(held.find("from nothing"), std::string::npos);
}

} // namespace
