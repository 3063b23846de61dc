// The page: answer first, then ranges, plots, how the campaigns ended, the
// record and the commands that would measure it again. Styles inline, no
// script, nothing fetched (the page's own policy forbids it).

#include "report/render/page.hpp"

#include "report/render/pieces.hpp"
#include "report/render/svg.hpp"

#include <algorithm>
#include <cmath>
#include <set>

namespace report {

namespace {

// Points a curve's line keeps: what a page's width shows of 32768 lengths.
constexpr size_t kCurvePoints = 320;

// The text's keys whose lines answer the question.
const char *const kAnswerKeys[] = {
    "advice:",  "crossover:", "fastest:",   "rank:",       "where:",  "mix:",
    "time:",    "per run:",   "weighted:",  "prediction:", "differ:", "moved:",
    "stopped:", "warning:",   "holds for:", "across:"};

const char *const kStyle = R"(
body { font: 15px/1.45 system-ui, -apple-system, "Segoe UI", sans-serif; color: #111;
       max-width: 1000px; margin: 1.5em auto; padding: 0 1em; }
h1 { font-size: 1.5em; margin-bottom: 0.2em; } h2 { font-size: 1.2em; margin-top: 1.6em;
     border-bottom: 1px solid #bbb; } h3 { font-size: 1.05em; margin-bottom: 0.3em; }
.made, figcaption, .head { color: #444; font-size: 0.9em; }
code, pre, .answer li { font-family: ui-monospace, "DejaVu Sans Mono", monospace; font-size: 0.86em; }
.answer li { margin: 0.25em 0; white-space: pre-wrap; overflow-wrap: anywhere; }
table { border-collapse: collapse; margin: 0.5em 0; font-size: 0.88em; }
th, td { border: 1px solid #ccc; padding: 0.2em 0.5em; text-align: left; vertical-align: top; }
td.n { text-align: right; font-variant-numeric: tabular-nums; white-space: nowrap; }
tr.faster td.v { font-weight: bold; } tr.slower td.v { font-weight: bold; text-decoration: underline; }
tr.hidden td, tr.unclear td.v { color: #666; font-style: italic; }
table.record, table.sets { width: 100%; table-layout: fixed; }
table.record th { width: 12em; } table.record td, table.sets td { overflow-wrap: anywhere; }
figure.chart { margin: 1em 0; } figure.chart svg { width: 100%; height: auto; }
svg text { font: 12px system-ui, sans-serif; fill: #222; } svg .chart-title { font-size: 14px; font-weight: bold; }
svg .stretch-label, svg .rule-label { font-size: 11px; fill: #555; }
pre { background: #f4f4f4; padding: 0.6em; overflow-x: auto; white-space: pre-wrap; }
.status { padding: 0.4em 0.7em; border-left: 4px solid #888; background: #f6f6f6; }
@media print { body { max-width: none; margin: 0; font-size: 11pt; } figure, table { break-inside: avoid; }
  details > pre { white-space: pre-wrap; } a { color: inherit; } }
@page { size: A4; margin: 15mm; }
)";

std::string esc(const std::string &s) { return html_escaped(s); }
// Lines of text, each escaped, joined by `between`.
std::string esc_lines(const std::string &text, const char *between) {
  std::string o;
  for (const std::string &line : split_lines(text))
    o += (o.empty() ? "" : between) + esc(line);
  return o;
}
std::string exact(double v) { return fmt("%.17g", v); }

std::string set_name(const std::vector<SetReport> &sets, size_t i) {
  return fmt("[%zu] ", i + 1) + sets[i].set.label;
}

// A comparison's head: rounds, pairing, statistic, and what differs besides
// the memset.
std::string comparison_head(const Report &r, const Comparison &c) {
  const Set &a = r.sets[c.base].set, &b = r.sets[c.other].set;
  std::string o = c.paired ? plural(c.runs_base, "round") + ", paired"
                           : fmt("%zu and %zu runs, unpaired", c.runs_base, c.runs_other);
  o += fmt("; ratio of %s, %.4g%% intervals; threshold %.3g%%", statistic_name(c.options.statistic),
           100 * c.options.confidence, 100 * c.options.threshold);
  std::string lines = measured_line(a.engine, {&a, &b}) +
                      landed_differently(a, c.base, b, c.other) +
                      started_differently(a, c.base, b, c.other);
  if (c.same_code)
    lines += same_code_line(a, c.base, b, c.other);
  if (!c.paired)
    lines += unpaired_line(c.options.drift, "run --variant");
  return "<p class=\"head\">" + esc(o) + "<br>" + esc_lines(lines, "<br>") + "</p>\n";
}

// The ranges of a comparison as a table: every cell the figure the text
// and the JSON give, the exact value kept beside the rounded one.
std::string range_table(const Report &r, size_t k, const std::string &prefix) {
  const Comparison &c = r.comparisons[k];
  const Sides sides{r.sets[c.base].set.label, r.sets[c.other].set.label};
  const std::optional<double> mhz = r.sets[c.base].mhz;
  std::string o = "<table class=\"ranges\" data-comparison=\"" + prefix + std::to_string(k) +
                  "\">\n" +
                  "<thead><tr><th>lengths (bytes)</th><th>verdict</th><th>ratio</th>"
                  "<th>interval</th><th>difference per call</th><th>note</th></tr></thead>\n"
                  "<tbody>\n";
  for (const Range &rg : c.ranges) {
    const std::string v = verdict_name(rg.verdict);
    o += "<tr class=\"" + v +
         (rg.hidden  ? " hidden"
          : rg.bound ? " bound"
                     : "") +
         "\"" + fmt(" data-from=\"%zu\" data-to=\"%zu\"", rg.from, rg.to) + ">" +
         fmt("<td class=\"n\">%zu..%zu</td>", rg.from, rg.to) + "<td class=\"v\">" + v + "</td>";
    if (rg.hidden || rg.bound) {
      // No ratio to give: the bound, or why there is none, in the text's words.
      o += "<td class=\"n ratio\"></td><td class=\"n\"></td><td></td><td>" +
           esc(estimate_text(rg.est, rg.decision(), rg.hidden_in, sides, c.hidden_step, mhz, 2)) +
           "</td></tr>\n";
      continue;
    }
    o += "<td class=\"n ratio\" data-value=\"" + exact(rg.est.ratio) + "\">" +
         fmt("%.2f", rg.est.ratio) + "</td>";
    if (rg.est.interval)
      o += "<td class=\"n interval\" data-low=\"" + exact(rg.est.low) + "\" data-high=\"" +
           exact(rg.est.high) + "\">" + bracket(rg.est.low, rg.est.high, 2) + "</td>";
    else
      o += "<td class=\"n interval\">none: too few rounds</td>";
    o += "<td class=\"n\">" + esc(per_call(rg.est, mhz)) + "</td><td>" +
         (rg.bands_differ ? fmt("its bands %.2f..%.2f", rg.band_min, rg.band_max) : "") +
         "</td></tr>\n";
  }
  return o + "</tbody></table>\n";
}

// B over A band by band: the ratio and its interval as a ribbon, the
// threshold's rules, hidden bands shaded.
std::string ratio_chart(const Report &r, size_t k, const std::string &prefix) {
  const Comparison &c = r.comparisons[k];
  Chart ch;
  ch.id = prefix + fmt("ratio-%zu", k);
  ch.title = set_name(r.sets, c.other) + " over " + set_name(r.sets, c.base) + ", band by band";
  ch.x_label = "fill length (bytes)";
  ch.y_label = "ratio of " + std::string(statistic_name(c.options.statistic)) + " (B over A)";
  ch.log_x = true;
  ChartLine line;
  line.name = r.sets[c.other].set.label + " over " + r.sets[c.base].set.label;
  line.markers = true;
  ChartRibbon ribbon;
  for (const BandResult &b : c.bands) {
    const double mid = std::sqrt((double)b.band.from * (double)b.band.to);
    if (b.hidden) {
      ch.stretches.push_back({(double)b.band.from, (double)b.band.to + 1, "hidden"});
      line.x.push_back(mid), line.y.push_back(NAN);
      continue;
    }
    line.x.push_back(mid);
    // A bound's point sits at its bound: past it the readings cannot see.
    line.y.push_back(b.bound ? ratio_bound(b.est, b.decision()).value : b.est.ratio);
    if (b.est.interval && !b.bound) {
      ribbon.x.push_back(mid), ribbon.low.push_back(b.est.low), ribbon.high.push_back(b.est.high);
    }
  }
  // Adjacent hidden bands as one stretch.
  std::vector<ChartStretch> joined_stretches;
  for (const auto &s : ch.stretches)
    if (!joined_stretches.empty() && joined_stretches.back().to >= s.from)
      joined_stretches.back().to = s.to;
    else
      joined_stretches.push_back(s);
  ch.stretches = joined_stretches;
  for (auto &s : ch.stretches)
    s.label = "hidden in the readings";
  ch.lines.push_back(line);
  if (!ribbon.x.empty())
    ch.ribbons.push_back(ribbon);
  // Ratios that span more than a factor of four read on a log axis, where
  // 0.5 and 2 are as far from 1.
  double least = INFINITY, most = 0;
  for (const std::vector<double> *v : {&line.y, &ribbon.low, &ribbon.high})
    for (double r : *v)
      if (std::isfinite(r) && r > 0)
        least = std::min(least, r), most = std::max(most, r);
  ch.log_y = most > 4 * least;
  const double t = c.options.threshold;
  ch.rules = {{1 + t, fmt("1 ± %.3g%%: the threshold", 100 * t)},
              {1, "1: no change"},
              {1 - t, fmt("1 - %.3g%%", 100 * t)}};
  ch.caption = fmt("Each point a band of lengths (a quarter octave from 64 bytes), at its "
                   "geometric middle; the shaded ribbon its %.4g%% interval. ",
                   100 * c.options.confidence) +
               "Dashed rules: no change and the threshold within which a difference counts as "
               "the same. Shaded stretches: lengths whose fills hide in a set's readings (the "
               "counter cannot see them there); a point decided past them sits at its bound.";
  return render_chart(ch);
}

// A set's curve: its statistic a length, thinned; its floor and loop cost
// as rules; its hidden lengths shaded.
std::string curve_chart(const Report &r, size_t s, const std::string &prefix) {
  const SetReport &sr = r.sets[s];
  Chart ch;
  ch.id = prefix + fmt("curve-%zu", s);
  ch.title = set_name(r.sets, s) + ": ticks per call by fill length";
  ch.x_label = "fill length (bytes)";
  ch.y_label = std::string(statistic_name(r.statistic)) + " ticks per call";
  ch.log_x = ch.log_y = true;
  ChartLine line;
  line.name = sr.set.label;
  std::vector<double> values(sr.level_values.begin(), sr.level_values.end());
  thin_curve(values, kCurvePoints, line.x, line.y);
  ch.lines.push_back(line);
  ch.rules.push_back({sr.summary.floor, fmt("floor %.1f", sr.summary.floor)});
  if (const auto &loop = sr.summary.loop)
    ch.rules.push_back({loop->median, fmt("loop cost %.2f", loop->median)});
  if (sr.summary.hidden_to)
    ch.stretches.push_back(
        {3, (double)*sr.summary.hidden_to, "hidden: the readings' floor, not the fill's cost"});
  ch.caption = fmt("%zu lengths drawn as %zu points, each the median of its slice of a "
                   "logarithmic axis. ",
                   values.size(), line.x.size()) +
               "Rules: the floor (lengths 1 to 16: the readings and the call) and, for "
               "memset-batch, the loop's own cost, which every value includes. " +
               (sr.summary.hidden_to ? fmt("Lengths 3..%zu are shaded: there the fill does not "
                                           "show above the floor, and the curve is the floor.",
                                           *sr.summary.hidden_to)
                                     : std::string());
  return render_chart(ch);
}

// A replay's or a program's figure run by run, a line per set: how the
// machine moved while the campaign ran.
std::string runs_chart(const MixReport &m, const std::string &id) {
  Chart ch;
  ch.id = id;
  ch.title = m.program() ? std::string("the command's ") + (m.wall ? "wall-clock" : "CPU") +
                               " time, run by run"
                         : "the replay's ticks per call, run by run";
  ch.x_label = "round";
  ch.y_label = m.program() ? "ms a run" : "ticks per call";
  for (const MixSet &s : m.sets) {
    ChartLine l;
    l.name = s.set.label;
    for (size_t i = 0; i < s.series.values.size(); i++) {
      l.x.push_back(i < s.series.rounds.size() && s.series.rounds[i] ? s.series.rounds[i]
                                                                     : (double)(i + 1));
      l.y.push_back(s.series.values[i]);
    }
    ch.lines.push_back(l);
  }
  ch.caption = "Each point one run; rounds interleave the variants, so a change of the machine "
               "moves every line at once.";
  return render_chart(ch);
}

// The sets' campaigns, once each: where they ran, how they ended.
std::string campaigns_table(const std::vector<const Set *> &sets) {
  std::string o = "<table class=\"campaigns\"><thead><tr><th>campaign</th><th>kind</th>"
                  "<th>engine</th><th>rounds</th><th>time on rounds</th><th>ended</th></tr>"
                  "</thead><tbody>\n";
  for (const auto &[where, s] : one_per_campaign(sets)) {
    const Record &r = s->record;
    std::string ended = esc_lines(stop_line(r), " ");
    if (ended.empty())
      ended = r.stop == Stop::Decided ? "decided"
              : r.stop == Stop::Runs  ? "its fixed count of rounds"
                                      : "no record of how it ended";
    o += "<tr><td>" + esc(where) + "</td><td>" + kind_name(r.kind()) + "</td><td>" +
         (r.kind() == CampaignKind::Program ? "none: the program itself, its CPU time"
                                            : esc(engine_name(r.engine))) +
         "</td><td class=\"n\">" +
         (r.rounds ? std::to_string(*r.rounds) : std::to_string(s->runs.size()) + " runs") +
         "</td><td class=\"n\">" + (r.elapsed ? fmt("%.1f s", *r.elapsed) : "") + "</td><td>" +
         ended + "</td></tr>\n";
  }
  return o + "</tbody></table>\n";
}

// What each campaign's record says, key by key, and each set's settings.
std::string record_section(const std::vector<const Set *> &sets) {
  std::string o;
  for (const auto &[where, s] : one_per_campaign(sets)) {
    o += "<h3>" + esc(where) + "</h3>\n<table class=\"record\"><tbody>\n";
    for (const auto &[key, value] : record_fields(s->record, false))
      o += "<tr><th>" + esc(key) + "</th><td>" + esc(value) + "</td></tr>\n";
    o += "</tbody></table>\n";
  }
  o += "<h3>Sets</h3>\n<table class=\"sets\"><thead><tr><th>set</th><th>environment</th>"
       "<th>memset bound</th><th>tunables in force</th><th>C library</th><th>where fills "
       "landed</th></tr></thead><tbody>\n";
  for (size_t i = 0; i < sets.size(); i++) {
    const Set &s = *sets[i];
    std::string env;
    for (const auto &e : s.env)
      env += (env.empty() ? "" : "<br>") + esc(e);
    std::string libc = libc_line(s.libc);
    if (!libc.empty())
      libc.pop_back(); // its line feed
    o += fmt("<tr><td>[%zu] ", i + 1) + esc(s.label) + "</td><td>" + env + "</td><td>" +
         esc(s.memset.empty() ? "unknown" : s.memset) + "</td><td>" +
         esc(s.tunables.empty() ? "unknown" : s.tunables) + "</td><td>" +
         esc(libc.empty() ? "the system's" : libc.substr(std::string("libc: ").size())) +
         "</td><td>" + esc(s.batch ? landing_text(s.landing()) : "memset-bench's buffer") +
         "</td></tr>\n";
  }
  return o + "</tbody></table>\n";
}

// One sentence per comparison: where B is faster, slower, the same or
// unclear against A.
std::string curve_answers(const Report &r) {
  std::string o;
  for (const Comparison &c : r.comparisons) {
    const Sides sides{r.sets[c.base].set.label, r.sets[c.other].set.label};
    o += "<li>" +
         esc(set_name(r.sets, c.other) + " against " + set_name(r.sets, c.base) + ": " +
             stretches_text(stretches_of(c), sides)) +
         "</li>\n";
  }
  return o;
}

// A curve report's ranges, with their tables and ratio plots, then its
// curves; element ids and headings carry `prefix` and `where` (a machine).
std::string curve_sections(const Report &r, const std::string &prefix, const std::string &where) {
  std::string o;
  if (!r.comparisons.empty()) {
    o += "<section class=\"ranges\"><h2>Ranges of lengths: verdicts and intervals" + esc(where) +
         "</h2>\n";
    for (size_t k = 0; k < r.comparisons.size(); k++) {
      const Comparison &c = r.comparisons[k];
      o += "<h3>" + esc(set_name(r.sets, c.other) + " against " + set_name(r.sets, c.base)) +
           "</h3>\n" + comparison_head(r, c) + range_table(r, k, prefix) +
           ratio_chart(r, k, prefix);
    }
    o += "</section>\n";
  }
  o += "<section class=\"curves\"><h2>Curves" + esc(where) + "</h2>\n";
  for (size_t s = 0; s < r.sets.size(); s++)
    o += curve_chart(r, s, prefix);
  return o + "</section>\n";
}

} // namespace

std::vector<std::string> answer_lines(const std::string &text) {
  std::vector<std::string> out;
  for (const std::string &line : split_lines(text))
    for (const char *key : kAnswerKeys)
      if (line.rfind(key, 0) == 0) {
        // A line every variant of a campaign repeats ("stopped: ...") is said once.
        if (std::find(out.begin(), out.end(), line) == out.end())
          out.push_back(line);
        break;
      }
  return out;
}

std::vector<std::pair<std::string, const Set *>>
one_per_campaign(const std::vector<const Set *> &sets) {
  std::vector<std::pair<std::string, const Set *>> out;
  std::set<std::string> seen;
  for (const Set *s : sets) {
    std::string where = s->campaign.empty() ? s->label : s->campaign;
    if (seen.insert(where).second)
      out.push_back({std::move(where), s});
  }
  return out;
}

std::vector<const Set *> page_sets(const Page &p) {
  std::vector<const Set *> sets;
  if (p.curves)
    for (const auto &s : p.curves->sets)
      sets.push_back(&s.set);
  for (const auto &m : p.machines)
    for (const auto &s : m.report->sets)
      sets.push_back(&s.set);
  for (const MixReport *m : {p.replay, p.program})
    if (m)
      for (const auto &s : m->sets)
        sets.push_back(&s.set);
  return sets;
}

std::string render_page(const Page &p) {
  const std::vector<const Set *> sets = page_sets(p);

  std::string o = "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
                  "<meta http-equiv=\"Content-Security-Policy\" content=\"default-src 'none'; "
                  "style-src 'unsafe-inline'\">\n"
                  "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n"
                  "<title>" +
                  esc(p.title) + "</title>\n<style>" + kStyle + "</style>\n</head>\n<body>\n";
  o += "<header><h1>" + esc(p.title) + "</h1>\n<p class=\"made\">Made by <code>" + esc(p.command) +
       "</code> at " + esc(p.generated) + ".</p></header>\n";

  // A campaign not decided says so before its answer: under way, out of
  // budget, interrupted.
  for (const auto &[where, set] : one_per_campaign(sets))
    if (const std::string line = stop_line(set->record); !line.empty())
      o += "<p class=\"status\">" + esc(where) + ": " + esc_lines(line, " ") + "</p>\n";

  // The advice first, where there is one; then each comparison in a
  // sentence; then the text's other answer lines in their order.
  o += "<section id=\"answer\"><h2>The answer</h2>\n<ul class=\"answer\">\n";
  const std::vector<std::string> lines = answer_lines(p.text);
  auto advice = [](const std::string &l) { return l.rfind("advice:", 0) == 0; };
  for (const auto &line : lines)
    if (advice(line))
      o += "<li>" + esc(line) + "</li>\n";
  if (p.curves)
    o += curve_answers(*p.curves);
  for (const auto &line : lines)
    if (!advice(line))
      o += "<li>" + esc(line) + "</li>\n";
  o += "</ul>\n</section>\n";

  o += "<section id=\"campaigns\"><h2>How the campaigns ended</h2>\n" + campaigns_table(sets) +
       "</section>\n";

  if (p.curves)
    o += curve_sections(*p.curves, "", "");
  for (size_t m = 0; m < p.machines.size(); m++)
    o += "<section class=\"machine\" id=\"machine-" + std::to_string(m) + "\"><h2>Machine " +
         esc(p.machines[m].name) + "</h2>\n<p class=\"head\">" + esc(p.machines[m].about) +
         "</p>\n" +
         curve_sections(*p.machines[m].report, fmt("m%zu-", m), " on " + p.machines[m].name) +
         "</section>\n";
  if (p.replay || p.program) {
    o += "<section id=\"runs\"><h2>Runs</h2>\n";
    if (p.replay)
      o += runs_chart(*p.replay, "runs-replay");
    if (p.program)
      o += runs_chart(*p.program, "runs-program");
    o += "</section>\n";
  }
  o +=
      "<section id=\"record\"><h2>What was measured</h2>\n" + record_section(sets) + "</section>\n";
  if (!p.reproduce.empty()) {
    o += "<section id=\"reproduce\"><h2>To measure it again</h2>\n<p>Each command measures "
         "a campaign again, with its record's settings, into a new folder; the command that "
         "made this page, given that folder, makes its page.</p>\n<pre>";
    for (const auto &c : p.reproduce)
      o += esc(c) + "\n";
    o += "</pre></section>\n";
  }
  o += "<details id=\"text\"><summary>The whole summary as text</summary>\n<pre>" +
       esc_lines(p.text, "\n") + "</pre></details>\n</body>\n</html>\n";
  return o;
}

} // namespace report
