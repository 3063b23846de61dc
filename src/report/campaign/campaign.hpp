#pragma once
// Campaigns: repeated runs into a folder, of memset-bench, memset-batch or a
// program's command, plain or with variants interleaved round by round in a
// shuffled order, for a fixed count or until the stopping rule
// (stats/stopping) and an observer say the rounds decide. Plans, runs and
// cleans up; the record it writes is formats/campaign_folder's to spell.

#include "report/campaign/libc_tree.hpp"
#include "report/formats/campaign_folder.hpp"
#include "report/stats/stopping.hpp"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace report {

struct VariantOptions {
  std::string name;
  std::vector<std::string> env; // NAME=VALUE for this variant alone
  std::optional<std::string> bench;
  // Its own C library (--libc, or --loader and --library-path): every
  // program of the variant starts through that library's loader; none: the
  // campaign's.
  std::optional<LibcTree> libc;
};

// Plain campaigns have a fixed count: 11 runs, enough for a median and
// quartiles that a slow run or two do not move.
constexpr unsigned kDefaultRuns = 11;
// No campaign runs more than this many runs (rounds), whatever its budget:
// at about 0.2 s a run it is five hours, and summary holds every run in memory.
constexpr unsigned kMaxRounds = 100000;

// A campaign as the command line asked for it, its values already checked:
// its settings (the record keeps the same), and what it runs and for how long.
struct CampaignOptions : CampaignSettings {
  CampaignOptions() { timeout = kDefaultTimeout; }
  std::string out;                // campaign folder
  std::optional<unsigned> runs;   // runs, or rounds; none: until decided (variants)
  double budget = kDefaultBudget; // seconds, when running until decided
  std::optional<LibcTree> libc;   // every run's C library; none: the system's
  std::string bench;              // benchmark executable
  // A replay is kept in the folder (kReplaySource) with the mix the engine
  // reads (kMixFile). Until decided, no min_span is its kind's
  // (kDefaultMinSpan, or 0 for a curve), a continuation's from its record;
  // its threshold a continuation's from its record (run_until_decided sets it).
  std::vector<VariantOptions> variants; // none: a plain campaign
  std::vector<LibraryRecord> libraries; // C libraries preloaded by a census, for the record
  std::vector<SameAs> same_as;          // variants left out as the same code, for the record
  // Set by continue_campaign: the rounds (and record) already there.
  unsigned done = 0;
  std::optional<Record> earlier;
};

// Variables that change which memset the C library picks or how it is bound:
// recorded whether the runs inherit them or are given them.
const std::vector<std::string> &steering_variables();

// The settings of the interleaved campaign in `dir`, to add rounds with
// the same ones. Refused (InputError) when the machine or the inherited
// environment differs from the record's, or the rounds are not whole.
CampaignOptions continue_campaign(const std::string &dir);

// How a campaign that ran to its end ended, for the line that says so.
// The lengths of a variant's comparison with the first that the last look
// left undecided, adjacent bands joined: from..to, both included.
struct Undecided {
  std::string variant;
  std::vector<std::pair<size_t, size_t>> spans;
};

struct CampaignEnd {
  std::string folder;
  Stop stop = Stop::Runs;           // decided, budget, or runs (a fixed count)
  bool interleaved = false;         // rounds of variants, or runs
  bool compared = false;            // two variants or more: a comparison to decide
  unsigned total = 0;               // complete runs (rounds), earlier sessions' included
  unsigned added = 0;               // of them, this session's
  double seconds = 0;               // this session's
  std::vector<Undecided> undecided; // per variant still undecided, in order
  double budget = 0;                // this session's, where it ran until decided
  std::vector<Undecided> hidden;    // per variant unclear where the fills hide, in order
};

// Runs the campaign. A new folder that already holds one is refused before
// anything is written. Throws a Failure for a run that fails, times out or
// is interrupted, after removing what is incomplete.
CampaignEnd run_campaign(const CampaignOptions &opt, RoundObserver *observer = nullptr);

} // namespace report
