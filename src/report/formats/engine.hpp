#pragma once
// The two engines whose run files the report reads: what each is called,
// what its values measure (said beside every verdict that rests on them),
// and a run file of either, told apart by its first line.

#include "report/formats/batch_file.hpp"
#include "report/formats/result_file.hpp"

#include <optional>
#include <string>

namespace report {

enum class Engine { Bench, Batch };
const char *engine_name(Engine e);     // "memset-bench", "memset-batch": the program
const char *engine_option(Engine e);   // "bench", "batch": as --engine takes it
const char *engine_measures(Engine e); // what a value of it is
std::optional<Engine> engine_named(const std::string &name); // either spelling

// The counter step within which a fill can hide in the engine's readings,
// given the campaign's `tsc_step`: memset-bench's single calls between
// unfenced readings hide whatever costs less; memset-batch's batches of
// 1000 steps hide nothing (none).
inline std::optional<double> hiding_step(Engine e, std::optional<double> tsc_step) {
  return e == Engine::Bench ? tsc_step : std::nullopt;
}

// Raw values per tick: memset-batch's are thousandths (kBatchScale).
double engine_scale(Engine e);

// Counter ticks as time, the one conversion every figure takes: `mhz` is
// the counter's frequency, ticks per microsecond, as a campaign measured it
// (tsc_mhz) or --tsc-mhz gave it.
inline double ns_per_tick(double mhz) { return 1000 / mhz; }
inline double seconds_per_tick(double mhz) { return 1 / (mhz * 1e6); }

struct RunFile {
  Engine engine = Engine::Bench;
  RunValues values; // per length, in 1 / engine_scale ticks
  std::optional<BatchHeader> batch;
  // A program campaign's run: the user's command timed, not an engine's
  // curve; values are {wall_us, cpu_us} (program_file.hpp).
  bool program = false;
};

// Reads `path`, of either engine or of a program campaign, strictly and within the bounds of its
// format.
RunFile read_run_file(const std::string &path);

} // namespace report
