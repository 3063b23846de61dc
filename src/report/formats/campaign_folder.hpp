#pragma once
// The campaign folder's format, both ways: the record in context.txt, and the
// names of its run files. Every key of the record is spelled here and nowhere else.

#include "report/formats/campaign_settings.hpp"
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace report {

// The record's file name inside a campaign folder.
constexpr const char *kRecordFile = "context.txt";
// A replay's files: the capture (or weights file) as it was named, copied
// byte for byte, and the mix of lengths memset-batch --replay reads.
constexpr const char *kReplaySource = "replay-source.txt";
constexpr const char *kMixFile = "replay-mix.txt";

// A record holds a few dozen short lines and one per round; a megabyte is
// far beyond any real one, and bounds what a wrong file can cost to read.
constexpr size_t kMaxRecordBytes = 1 << 20;

// What a campaign knew of the machine it ran on.
struct MachineFacts {
  std::string date, host, cpu_model, kernel, libc;
  std::optional<unsigned> num_cpus;
  std::optional<double> tsc_mhz;       // counter ticks per microsecond, measured
  std::string tsc_constant_nonstop;    // "yes", or "no (...)" naming the missing flags
  std::optional<double> tsc_step;      // the counter's granularity, in ticks
  std::optional<double> tsc_read_cost; // one back-to-back reading, in ticks
};

// One variant of an interleaved campaign.
// A variant's name is a folder of the campaign and one word of the record:
// at most 32 letters, digits, '_', '.' and '-', and not "." or "..".
bool is_variant_name(const std::string &name);

// A variant's C library: the loader and library path its programs were
// started with (empty: the system's, as a program starts), and the
// libc.so.6 its probe found loaded: path, version string and build ID.
struct LibcRecord {
  std::string loader, library_path;
  std::string path, version, build_id;
  // How its programs were started: kStartedCopy, a copy of each naming the
  // loader and library path, started as any program is; kStartedLoader
  // (and "" in records from before the word), through the loader.
  std::string started;
};

constexpr const char *kStartedCopy = "copy", *kStartedLoader = "loader";
// How a variant's programs were started, as a word: "direct" for those of
// the system's library, then the record's word, "loader" where a record
// from before the word has a loader.
inline std::string started_of(const LibcRecord &l) {
  return l.loader.empty() ? "direct" : l.started.empty() ? kStartedLoader : l.started;
}

struct VariantRecord {
  std::string name;
  std::vector<std::string> env; // NAME=VALUE added to its runs
  std::string bench;            // its benchmark, absolute
  // What it measured, as checked before the first round: the memset its
  // environment binds ("SYMBOL (OBJECT+OFFSET)" or "unknown: why") and the
  // tunables in force that differ from glibc's defaults ("defaults" for none).
  std::string memset, tunables;
  LibcRecord libc;
};

// A variant of tune or census left out because it runs the same code as
// another: `as`, which was measured; `setting`, its own environment.
struct SameAs {
  std::string name, as, setting;
};

// A C library whose memset a census preloads, as its package names it.
struct LibraryRecord {
  std::string name, package, version; // "musl", "musl-dev", "1.2.3-1"
};

// Why a campaign stopped. The record keeps it as a word ("stop: budget"):
// decided, budget (spent before it was), runs (a fixed count), interrupted,
// failed; running for a session that runs until decided and has not ended
// (or was cut off before it could say how); None for a record without one.
enum class Stop { None, Decided, Budget, Runs, Interrupted, Failed, Running };
const char *stop_name(Stop s); // "" for None
std::optional<Stop> stop_named(const std::string &word);

// The record of a campaign: its settings, what it knew of the machine and
// what each variant measured, and how it went.
struct Record : CampaignSettings {
  MachineFacts machine;
  std::optional<unsigned> planned;        // runs, or rounds, planned ("runs")
  std::vector<std::string> env_inherited; // NAME=VALUE inherited that steer the C library
  std::string bench;                      // the benchmark, absolute
  std::vector<VariantRecord> variants;    // none: a plain campaign
  std::vector<LibraryRecord> libraries;   // a census's preloaded C libraries
  // A replay's file as read: its format, and the calls replayed.
  std::string replay_format;
  uint64_t replay_calls = 0;
  std::string memset, tunables;                 // a plain campaign's, as a variant's
  LibcRecord libc_run;                          // a plain campaign's, as a variant's
  std::vector<SameAs> same_as;                  // variants measured once for two
  std::vector<std::vector<std::string>> orders; // per round, the variants in run order
  // A campaign that ran until its comparisons were decided:
  // Seconds each session until decided was given: the first, then each
  // continuation's (run --more), one record line each.
  std::vector<double> budgets;
  std::optional<unsigned> rounds; // complete rounds
  unsigned looks = 0;             // analyses that could have stopped it; 0: a fixed size
  std::optional<double> elapsed;  // seconds its sessions spent on rounds, all told
  Stop stop = Stop::None;
  // Lines this version does not know, kept as they were, in order.
  std::vector<std::pair<std::string, std::string>> unknown;

  const VariantRecord *variant(const std::string &name) const;
};

// The record as key and value pairs, in the order context.txt holds them;
// without the variants and round orders unless `all`.
std::vector<std::pair<std::string, std::string>> record_fields(const Record &r, bool all = true);

// The record as context.txt holds it: "key: value" lines. Control characters
// and backslashes in values are written as \xNN and \\, so that no value can
// forge a line.
std::string format_record(const Record &r);

// Reads what format_record writes. A number that does not parse reads as
// absent; an unknown key is kept; a line without ": " is ignored.
Record parse_record(const std::string &text, const std::string &name = kRecordFile);

// The record of the campaign folder `dir`: empty when there is none; an
// InputError when it is there but cannot be read, is not a regular file or
// is larger than kMaxRecordBytes.
Record read_record(const std::string &dir);

// "run-001.txt": at least three digits, more where `planned` needs them, so
// that the names sort as the runs were made.
std::string run_file_name(unsigned number, unsigned planned);
// The number in a run file's name; 0 for any other name.
unsigned run_number(const std::string &file_name);
// The run files of a folder, in the order of their numbers; an InputError
// when the folder cannot be listed.
std::vector<std::string> run_files_in(const std::string &dir);

} // namespace report
