#pragma once
// Renderers of computed results: text for people, CSV and JSON for programs.
// They format what stats/ and advice/ computed, and compute nothing.

#include "report/advice/census.hpp"
#include "report/advice/machines.hpp"
#include "report/advice/standings.hpp"
#include "report/stats/mix.hpp"
#include "report/stats/summary.hpp"

#include <functional>
#include <string>
#include <vector>

namespace report {

enum class Unit { Ticks, Ns };

// The summary as text: one section per set, then one per comparison, one
// "key: value" line per fact so that it greps well. With Unit::Ns every set
// needs a counter frequency (SetReport::mhz). With `bands`, every band's
// estimate follows its comparison's ranges.
std::string render_text(const Report &r, Unit unit, bool bands = false);

// Many machines: each one's summary under its name, then each comparison
// they share as "across:" lines, stretch by stretch: what holds on all,
// then each machine's verdict; `notes` (hosts that did not answer, folders
// counted once) after the machines.
std::string render_across(const Across &a, Unit unit, bool bands,
                          const std::vector<std::string> &notes);

// Replays or program campaigns of many machines: each one's summary under
// its name (`names` holds the machines, their reports empty), then each
// variant's verdicts side by side on an "across: time:" (or "mix:") line.
std::string render_across_mix(const Across &names, const std::vector<MixReport> &reports,
                              const std::vector<MixAcross> &across,
                              const std::vector<std::string> &notes);

// The same as JSON: "machines" (each with its comparisons' verdict, ratio,
// interval and difference), "notes", and "across", a variant's verdicts
// side by side with what holds on all.
std::string render_across_mix_json(const Across &names, const std::vector<MixReport> &reports,
                                   const std::vector<MixAcross> &across,
                                   const std::vector<std::string> &notes);

// The same as JSON: "machines" (each with its comparisons' ranges),
// "notes", and "across", each shared comparison's stretches with what holds
// on all ("across") and each machine's verdict and ratios.
std::string render_across_json(const Across &a, const std::vector<std::string> &notes);

// "length" and one column per set of the report's statistic, for all 32768
// lengths, exactly.
std::string render_csv(const Report &r);

// Sets of replays or of a program's times (stats/mix.hpp) as text.
std::string render_one_figure_text(const MixReport &r);
// The same in Google Benchmark's JSON layout, an entry a run (a program's
// wall-clock and CPU time in ms, a replay's ns per call) and its aggregates,
// with the comparisons beside; with a program report and the predictions,
// both reports and the prediction beside the measurement. A replay set needs
// its counter frequency (a UsageError otherwise).
std::string render_one_figure_json(const MixReport &first, const MixReport *program = nullptr,
                                   const std::vector<Prediction> *ps = nullptr);
// A replay's predictions beside a program campaign's measurements (predict()).
std::string render_prediction(const MixReport &replay, const MixReport &program,
                              const std::vector<Prediction> &ps);

// "== per run, two ways": a weighted curve comparison's change per run
// beside a replay's, per variant, why they may differ and which stands for
// the program; "" where no variant has both.
std::string render_two_ways(const std::vector<PerRunTwoWays> &t);

// The lengths a glibc string-benchmark file carries of those wanted: none
// where a set's fills hide in its readings (up to `hidden_to`, in the set
// `hidden_in`), since a timing there would be the counter's floor.
struct BenchoutLengths {
  std::vector<size_t> kept;
  size_t hidden_to = 0;
  std::string hidden_in;
};
BenchoutLengths benchout_lengths(const Report &r, const std::vector<size_t> &wanted);

// The layout of glibc's string benchmarks (bench-memset.out, checked by its
// benchout_strings.schema.json, read by its compare_strings.py): the sets
// as "ifuncs" in their order, one result a length with its "timings", each
// the set's statistic in ticks per call; "timing_type" says which statistic
// and engine. Every set is of one engine.
std::string render_benchout(const Report &r, const std::vector<size_t> &lengths);

// Lengths a JSON export carries by default: powers of two and their midpoints.
std::vector<size_t> default_json_lengths();

// Whether this build can write JSON (it needs nlohmann-json); render_json
// throws a SystemError saying what to install where it cannot.
bool json_supported();
void need_json_support();

// Google Benchmark's JSON layout, so that its compare.py and the dashboards
// that read it take the runs as they are. Every set needs a counter
// frequency. Written piece by piece through `write`, so that memory stays
// bounded however much goes out.
void render_json(const Report &r, const std::vector<size_t> &lengths,
                 const std::function<void(const std::string &)> &write);

// The advice of a tuning campaign as text: variants, groups, the fastest
// variant per range, the crossover and one line of advice.
std::string render_advice(const TuneAdvice &a);

// Several tuning campaigns' advice side by side, one line each with where
// their fills landed, then whether it holds everywhere or differs by place.
std::string render_advice_by_landing(const std::vector<TuneAdvice> &all,
                                     const std::vector<std::string> &folders);

// Tuning campaigns of many machines: each machine's advice in a word, each
// setting's machines where it is slower and faster, and the one setting, if
// any, decided slower on none.
std::string render_advice_across(const AdviceAcross &a, const std::vector<TuneAdvice> &advice);

// A census as text: the libraries and their versions, the variants, the
// fastest per range and the ranking.
std::string render_census(const Census &c, const std::string &weights_file);
// The same as JSON: the record, the fastest per range, and the ranking with
// each entry's overall verdict and its stretches.
std::string render_census_json(const Census &c, const std::string &weights_file);

} // namespace report
