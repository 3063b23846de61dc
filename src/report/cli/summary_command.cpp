// summary and plot: the sets' report, written as text, CSV, JSON or a picture.

#include "report/cli/commands.hpp"
#include "report/cli/gate.hpp"
#include "report/render/plot.hpp"
#include "report/render/render.hpp"
#include "report/sys/errors.hpp"
#include "report/sys/text.hpp"

#include <algorithm>
#include <cstdio>

namespace report {

namespace {

void need_frequency(const Report &r, const char *why) {
  for (const auto &s : r.sets)
    if (!s.mhz)
      throw UsageError(
          std::string(why) + ": '" + s.set.label +
          "' has no measured counter frequency (no campaign record); give --tsc-mhz F");
}

// An entry of the JSON (a run at a length, or an aggregate) takes about
// this many bytes; past kLargeJsonBytes a line on standard error says how
// much is coming, so that a pipe or a disk is not filled without a word.
constexpr double kJsonEntryBytes = 420;
constexpr double kLargeJsonBytes = 10e6;

void say_if_large(const Report &r, size_t lengths) {
  double entries = 0;
  for (const auto &s : r.sets)
    entries += (double)lengths * (double)(s.set.runs.size() + 4);
  double bytes = entries * kJsonEntryBytes;
  if (bytes > kLargeJsonBytes)
    std::fprintf(stderr, "memset-report: writing about %.0f MB of JSON (%.0f entries)\n",
                 bytes / 1e6, entries);
}

// Replays and programs hold one figure a run: their summary is the mix's,
// as text or JSON.
int mix_summary(const Options &o, std::vector<Set> sets) {
  for (const char *c : {"--csv", "--lengths", "--unit", "--bands", "--weights"})
    if (o.has(c))
      throw UsageError(std::string(c) +
                       " does not go with replays or a program's times: their summary is one "
                       "figure a run, as text or --json");
  std::vector<Set> replays, programs;
  for (auto &s : sets)
    (s.kind() == CampaignKind::Program ? programs : replays).push_back(std::move(s));
  if (replays.empty() || programs.empty()) {
    std::vector<Set> &these = replays.empty() ? programs : replays;
    const CompareOptions compare = compare_for(o, these);
    MixReport r = build_mix_report(std::move(these), compare, o.tsc_mhz, o.wall);
    const std::string text = render_one_figure_text(r);
    write_out(o.format == Format::Json ? render_one_figure_json(r) : text);
    PageParts page;
    page.title = r.program() ? "A program timed under each variant"
                             : "A program's mix of lengths, replayed under each variant";
    (r.program() ? page.program : page.replay) = &r;
    page.text = text;
    write_page(o, page);
    if (o.fail_if_slower)
      check_gate(r, *o.fail_if_slower, o.allow_unclear);
    return kOk;
  }
  // A replay and a program campaign: the prediction beside the measurement.
  const CompareOptions for_replay = compare_for(o, replays), for_program = compare_for(o, programs);
  MixReport replay = build_mix_report(std::move(replays), for_replay, o.tsc_mhz);
  MixReport program = build_mix_report(std::move(programs), for_program, o.tsc_mhz, o.wall);
  std::vector<Prediction> ps = predict(replay, program);
  const std::string text = render_one_figure_text(replay) + "\n" + render_one_figure_text(program) +
                           render_prediction(replay, program, ps);
  write_out(o.format == Format::Json ? render_one_figure_json(replay, &program, &ps) : text);
  PageParts page;
  page.title = "A replay's prediction beside the program's measured change";
  page.replay = &replay;
  page.program = &program;
  page.text = text;
  write_page(o, page);
  // What the program measured is what a gate on it stands for.
  if (o.fail_if_slower)
    check_gate(program, *o.fail_if_slower, o.allow_unclear);
  return kOk;
}

// Curves weighted by a capture beside a replay of it (and perhaps the
// program itself): each summary, then the change per run both ways.
int two_ways_summary(const Options &o, std::vector<Set> sets) {
  for (const char *c : {"--csv", "--json", "--lengths", "--fail-if-slower"})
    if (o.has(c))
      throw UsageError(std::string(c) +
                       " does not go with curves beside a replay: summarise each on its own");
  if (!o.has("--weights"))
    throw UsageError("curves beside a replay need --weights CAPTURE, the replay's capture: their "
                     "change per run is set beside the replay's");
  std::vector<Set> curves, replays, programs;
  for (auto &s : sets)
    switch (s.kind()) {
    case CampaignKind::Program:
      programs.push_back(std::move(s));
      break;
    case CampaignKind::Replay:
      replays.push_back(std::move(s));
      break;
    default:
      curves.push_back(std::move(s));
    }
  if (replays.empty())
    throw UsageError("curves go beside a replay campaign, not a program campaign alone: give the "
                     "replay too");
  Report r = load_report(o, std::move(curves));
  const CompareOptions for_replay = compare_for(o, replays);
  MixReport replay = build_mix_report(std::move(replays), for_replay, o.tsc_mhz);
  std::string text = render_text(r, o.unit, o.bands) + "\n" + render_one_figure_text(replay);
  std::optional<MixReport> program;
  if (!programs.empty()) {
    const CompareOptions for_program = compare_for(o, programs);
    program = build_mix_report(std::move(programs), for_program, o.tsc_mhz, o.wall);
    text += "\n" + render_one_figure_text(*program) +
            render_prediction(replay, *program, predict(replay, *program));
  }
  std::vector<PerRunTwoWays> both = per_run_two_ways(r, replay);
  if (both.empty())
    text += "\nnote: no variant of the curves is in the replay under its name, against the same "
            "first variant: no change per run to set beside another\n";
  text += render_two_ways(both);
  write_out(text);
  PageParts page;
  page.title = "A program's change per run, from its lengths one at a time and from its mix "
               "replayed";
  page.curves = &r;
  page.replay = &replay;
  page.program = program ? &*program : nullptr;
  page.text = text;
  write_page(o, page);
  return kOk;
}

// glibc's string-benchmark layout: each set's level a length, in ticks,
// where no set's fills hide.
int benchout_summary(const Options &o, std::vector<Set> sets) {
  for (const auto &s : sets) {
    if (s.kind() != CampaignKind::Curve)
      throw UsageError("--benchout: '" + printable(s.label) + "' is a " + kind_name(s.kind()) +
                       " campaign, one figure a run; glibc's string-benchmark layout holds a "
                       "timing per length, which only a curve has");
    if (s.engine != sets[0].engine)
      throw UsageError("--benchout: '" + printable(s.label) + "' was measured by " +
                       engine_name(s.engine) + " and '" + printable(sets[0].label) + "' by " +
                       engine_name(sets[0].engine) +
                       ": one file's timings are of one engine, as its timing_type says");
  }
  Report r = load_report(o, std::move(sets));
  BenchoutLengths l = benchout_lengths(r, o.lengths ? *o.lengths : default_json_lengths());
  if (l.hidden_to)
    std::fprintf(stderr,
                 "memset-report: note: lengths up to %zu are left out: fills hide in %s's "
                 "readings there, which give the counter's floor, not the fill%s\n",
                 l.hidden_to, printable(l.hidden_in).c_str(),
                 r.sets[0].set.engine == Engine::Bench ? " (--engine batch reads them)" : "");
  if (l.kept.empty())
    throw InputError("--benchout: no length asked for is above the hidden ones (up to " +
                     std::to_string(l.hidden_to) + "); nothing written");
  write_out(render_benchout(r, l.kept));
  return kOk;
}

} // namespace

int summary_command(const Options &o) {
  if (o.format == Format::Json || o.format == Format::Benchout)
    need_json_support(); // before reading anything
  refuse_page_target(o);
  if (!o.html.empty() && (o.format == Format::Csv || o.format == Format::Benchout))
    throw UsageError("--html goes with the text or --json, not --csv or --benchout");
  if (const std::optional<int> many = machines_summary(o))
    return *many;
  std::vector<Set> sets = load_all_sets(o.sets);
  if (o.format == Format::Benchout)
    return benchout_summary(o, std::move(sets));
  auto one_figure = [](const Set &s) { return s.kind() != CampaignKind::Curve; };
  if (std::any_of(sets.begin(), sets.end(), one_figure)) {
    if (std::all_of(sets.begin(), sets.end(), one_figure))
      return mix_summary(o, std::move(sets));
    return two_ways_summary(o, std::move(sets));
  }
  if (o.wall)
    throw UsageError("--wall goes with a program campaign's sets");
  Report r = load_report(o, std::move(sets));
  if (o.unit == Unit::Ns && o.format == Format::Text)
    need_frequency(r, "--unit ns");
  const std::string text =
      o.format == Format::Text || !o.html.empty() ? render_text(r, o.unit, o.bands) : std::string();
  if (o.format == Format::Json) {
    need_frequency(r, "--json gives times in ns");
    const std::vector<size_t> lengths = o.lengths ? *o.lengths : default_json_lengths();
    say_if_large(r, lengths.size());
    render_json(r, lengths, write_out);
  } else if (o.format == Format::Csv) {
    write_out(render_csv(r));
  } else {
    write_out(text);
  }
  write_curves_page(o,
                    r.sets.size() > 1 ? "Which memset is faster, at which lengths"
                                      : "What memset costs, length by length",
                    r, text);
  if (o.fail_if_slower)
    check_gate(r, *o.fail_if_slower, o.allow_unclear);
  return kOk;
}

int plot_command(const Options &o) {
  terminal_for(o.plot_out); // refuse a bad ending before reading anything
  PlotOptions popt;
  popt.log_y = o.log_y;
  draw_plot(load_report(o), o.plot_out, o.force, popt);
  return kOk;
}

} // namespace report
