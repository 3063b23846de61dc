#pragma once
// The settings a campaign is made with, and one row for each: the option
// that asks for it and the check of its value, its record key, what the
// engine's command line gets of it, and the words that ask for it again.
// The options, the record (both ways), run --more, the command that
// measures again and the engine's arguments are loops over these rows: a
// new setting is a field here, a row in campaign_settings.cpp, and its
// place in the commands that take it (cli/command_table.cpp).

#include "report/formats/engine.hpp"
#include "report/formats/landing.hpp"

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace report {

// What a campaign times: a curve of every length (either engine), a
// replay's one figure a run (the mix of a program's lengths), or a program's
// own time. The one value the code reads to tell them apart.
enum class CampaignKind { Curve, Replay, Program };
const char *kind_name(CampaignKind k); // "curve", "replay", "program"
// The one rule: a command makes a program campaign, a replay a replay one.
inline CampaignKind kind_of(bool program, bool replay) {
  return program ? CampaignKind::Program : replay ? CampaignKind::Replay : CampaignKind::Curve;
}

// A run of memset-bench takes well under a second; one that takes a
// minute hangs.
constexpr double kDefaultTimeout = 60;

// The settings, as the command line asks for them and the record keeps
// them: both are one of these.
struct CampaignSettings {
  std::optional<unsigned> cpu;   // the processor every run is pinned to
  std::optional<double> timeout; // seconds a run may take; none: no limit
  std::vector<std::string> env;  // NAME=VALUE added to every run
  // The engine its runs are made with, and whether memset-batch draws its
  // lengths at random within the bands.
  Engine engine = Engine::Bench;
  bool random_lengths = false;
  Landing landing; // where memset-batch's fills land; the default: as always
  // A replay of a program's lengths: the capture or weights file named, as
  // given; its copy and the mix the engine reads are in the folder.
  std::optional<std::string> replay;
  // A program campaign's command, timed in each run in place of the
  // engine (looked up on PATH); its output kept beside each run's file,
  // or discarded.
  std::vector<std::string> program;
  bool keep_output = false;
  // The seed of the round orders; none: a fresh one (and a plain
  // campaign's record, which has no orders).
  std::optional<uint64_t> seed;
  // Until decided: seconds its rounds must span before a look may stop it,
  // and the smallest difference its comparisons call faster or slower, as
  // a fraction (none in a record: written before campaigns kept it, 2%).
  std::optional<double> min_span, threshold;

  // The limit as a run's command takes it: seconds, 0 for none.
  double time_limit() const { return timeout.value_or(0); }
  CampaignKind kind() const { return kind_of(!program.empty(), replay.has_value()); }
};

// What a setting's check may need of the machine: the region a cache
// level stands for, and the bytes it can give now (none: cannot tell).
struct MachineLimits {
  uint64_t (*level_bytes)(const std::string &level);
  std::optional<uint64_t> (*available)();
};

// What one run's engine is told beside the settings: the round's seed
// (what it draws at random takes it, so that the variants of a round meet
// the same), the mix a replay reads, and the bands random lengths are drawn in.
struct EngineCall {
  uint64_t seed = 0;
  std::string mix, bands;
};

using Words = std::vector<std::string>;
using Fields = std::vector<std::pair<std::string, std::string>>;

struct SettingRow {
  // Its option ("--footprint"), its value's placeholder (nullptr: a flag),
  // its help ('\n' breaks lines) and the check that sets it from a value,
  // with a UsageError that names the option. No option: the command line
  // asks for it otherwise (--env in its scope, --threshold for the
  // comparisons too, a program's command after '--').
  const char *option, *arg, *help;
  void (*ask)(CampaignSettings &, const std::string &value, const MachineLimits &);
  // What the option goes with: why only memset-batch takes it (nullptr:
  // every engine; "": said without a reason), and whether it is of the
  // engine, which more rounds take from the campaign as its other settings.
  const char *batch_only;
  bool of_engine;
  // Its record key, the lines it writes under it, reading one back, and
  // whether a value can be read at all (nullptr: every one can); a line
  // that cannot is kept as it is.
  const char *key;
  void (*write)(const CampaignSettings &, const char *key, Fields &);
  void (*read)(CampaignSettings &, const std::string &value);
  bool (*readable)(const std::string &value);
  // The words that ask for it again; none where the default does. A
  // program's command goes to `command`, after '--'.
  void (*again)(const CampaignSettings &, Words &options, Words &command);
  // What the engine's command line gets of it (nullptr: nothing).
  void (*engine_args)(const CampaignSettings &, const EngineCall &, Words &);
};

// Every setting, in the order the command line spells them again.
const std::vector<SettingRow> &setting_rows();

// The row of an option, or of a record key; nullptr for none.
const SettingRow *setting_of_option(const std::string &option);
const SettingRow *setting_of_key(const std::string &key);

// The engine's arguments for one run, row by row.
Words engine_arguments(const CampaignSettings &s, const EngineCall &call);

// The words that ask for these settings again, options first, and the
// program's command (with its '--') in `command`.
void settings_again(const CampaignSettings &s, Words &options, Words &command);

} // namespace report
