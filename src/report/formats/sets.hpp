#pragma once
// Sets of result files as the user names them: single files, campaign folders,
// interleaved campaigns and their variants, each with its campaign's record.

#include "report/formats/campaign_folder.hpp"
#include "report/formats/engine.hpp"
#include "report/formats/result_file.hpp"

#include <string>
#include <vector>

namespace report {

// What one SET stands for.
struct Set {
  std::string label;                      // unique among the sets of one command
  std::string path;                       // where its files are
  std::vector<std::string> files;         // file names, for naming runs
  std::vector<unsigned> rounds;           // run number of each file (run-NNN); 0 for a lone file
  std::vector<RunValues> runs;            // in 1 / scale() ticks
  Engine engine = Engine::Bench;          // that wrote its runs, all of them
  std::optional<BatchHeader> batch;       // memset-batch's: its first run's header
  std::vector<uint64_t> loops;            // memset-batch's: each run's own loop cost (BatchHeader)
  Record record;                          // the campaign's record; empty for a lone file
  std::vector<std::string> env;           // NAME=VALUE added to its runs
  std::vector<std::string> inherited_env; // NAME=VALUE the runs inherited that steer the C library
  std::string memset, tunables;           // what its runs measured, as its record says
  LibcRecord libc;                        // the C library its runs loaded, as its record says
  std::string campaign;       // the interleaved campaign's folder, canonical; "" for none
  std::string campaign_given; // the same folder as the user named it, for labels
  unsigned planned = 0;       // runs (rounds) the campaign set out to make; 0 if unknown
  // Runs left out because their round is missing in another variant: a
  // campaign stopped in the middle of a round (its tool killed) leaves them.
  std::vector<std::string> incomplete_rounds;

  double scale() const { return engine_scale(engine); } // raw values per tick
  // One figure a run, of a program's mix of lengths, not a curve.
  bool replay() const { return batch && batch->replay; }
  // Where its fills landed, as its runs say it, with the cache level its
  // record names for the footprint; the default for memset-bench's runs.
  Landing landing() const {
    Landing l = batch ? batch->landing : Landing{};
    if (record.landing == l)
      l.level = record.landing.level;
    return l;
  }
  // Where malloc put the buffer of fills that were not placed, as its
  // first run file says it; none where it does not.
  std::optional<int> buffer() const { return batch ? batch->buffer : std::nullopt; }
  // Its kind, as its run files say it (a record may be missing).
  CampaignKind kind() const { return kind_of(program, replay()); }
  // A program campaign's: the user's command timed, {wall_us, cpu_us} a run.
  bool program = false;
};

// The counter steps a batched set's batches spanned, where that is short of
// the 1000 meant: where the engine read a finer step than the campaign did
// (memset-batch before it read steps with stragglers, such as Zen 4's 26
// with differences of 1, as 1). None where they spanned what was meant.
inline std::optional<double> short_batches(const Set &s) {
  const auto &step = s.record.machine.tsc_step;
  if (!s.batch || !step || *step <= 1.5 * (double)s.batch->resolution)
    return std::nullopt;
  return (double)s.batch->batch_ticks / *step;
}

// The counter's frequency for a set's ticks as time: its campaign's
// measured one, or `given` (--tsc-mhz) where its record has none.
inline std::optional<double> counter_mhz(const Set &s, std::optional<double> given) {
  const auto &own = s.record.machine.tsc_mhz;
  return own && *own > 0 ? own : given;
}

// Whether two sets ran the same code under other settings, as their
// records say: the same memset at the same offset, in the same object or in
// C libraries of one build (the same build ID, wherever each lies and
// however it was started), with the same tunables; an A/A.
bool same_code_of(const Set &a, const Set &b);

// Whether two sets' fills landed in different places: placed apart, or at
// the start of buffers that malloc put at different offsets from a line
// (where both sets' files say it).
inline bool landed_apart(const Set &a, const Set &b) {
  return a.landing() != b.landing() ||
         (!a.landing().placed() && a.buffer() && b.buffer() && *a.buffer() != *b.buffer());
}

// A SET argument: a result file, a campaign folder, one variant's folder of
// an interleaved campaign, or an interleaved campaign folder, which stands
// for all its variants in the order the campaign gave them. Paths are
// resolved ("cmp/a/.", symbolic links) before deciding which it is.
std::vector<Set> load_sets(const std::string &path);

// All the SETs of one command, with labels made unique: a variant's name is
// prefixed with its campaign's folder where two sets would share a label.
std::vector<Set> load_all_sets(const std::vector<std::string> &paths);

} // namespace report
