#pragma once
// The commands of memset-report, each from checked options to what it
// writes; and what they share. Each returns the exit status of a success;
// failures are thrown (sys/errors.hpp).

#include "report/campaign/campaign.hpp"
#include "report/cli/options.hpp"
#include "report/formats/sets.hpp"
#include "report/render/page.hpp"
#include "report/stats/mix.hpp"
#include "report/stats/summary.hpp"
#include "report/sys/environment.hpp"

#include <optional>
#include <string>
#include <vector>

namespace report {

int run_command(const Options &o);
int program_command(const Options &o);
int summary_command(const Options &o);
int plot_command(const Options &o);
int tune_command(const Options &o);
int census_command(const Options &o);
int capture_command(const Options &o);
int fleet_command(const Options &o);

// summary of sets from many machines (a fleet's folder, or campaigns of
// different hosts): its status; none where the sets are of one machine.
std::optional<int> machines_summary(const Options &o);
// A fleet's folder as its hosts' folders that came back, each with the
// host's name; none for a folder that is no fleet's.
std::vector<std::pair<std::string, std::string>> fleet_folders(const std::string &dir);

// This tool's version, as --version says it and a fleet's hosts must.
extern const char *const kVersion;

// A command given after '--' (program, capture) is looked up as execvp
// would; one that is not there is a bad command line (UsageError), found
// before anything runs.
void refuse_missing_command(const std::vector<std::string> &words, const char *command);

// Standard output is checked like every file: a full disk or a closed pipe
// is a failure, never a silent success.
void write_out(const std::string &text);

// The --weights file, read; none without --weights.
std::optional<Weights> weights_of(const Options &o);

// The options a report of `sets` compares with: as given, but for the
// threshold where none is given, which is the first set's campaign's, as
// its record keeps it (what it stopped on).
CompareOptions compare_for(const Options &o, const std::vector<Set> &sets);

// The sets with their summaries and comparisons.
Report load_report(const Options &o);
Report load_report(const Options &o, std::vector<Set> sets); // the SETs, loaded already

// The one line that ends run, tune and census: how the campaign stopped,
// after how many runs (rounds) and seconds, the bands still unclear, and the
// command that goes on. Written to standard error by say_how_it_ended.
std::string stop_line(const CampaignEnd &e);
void say_how_it_ended(const CampaignEnd &e);

// --html FILE: what a command's page shows, besides the options. The page
// takes the answer's lines from `text`, the command's own output.
struct PageParts {
  std::string title;
  const Report *curves = nullptr;
  std::vector<Page::Machine> machines; // many machines' curve reports
  const MixReport *replay = nullptr, *program = nullptr;
  std::string text;
};
// Refuses an existing --html FILE without --force, before anything is run
// or read; then writes the page whole (nothing without --html).
void refuse_page_target(const Options &o);
void write_page(const Options &o, const PageParts &parts);
// The page of one curve report and the text it answers with (summary,
// tune, census).
void write_curves_page(const Options &o, const std::string &title, const Report &curves,
                       const std::string &text);
// The command lines that would measure the sets' campaigns again, one per
// campaign with a record, into NEW-FOLDER.
std::vector<std::string> measure_again(const std::vector<const Set *> &sets);

// The sets of an interleaved campaign whose first variant is glibc's own
// choice, as tune and census run them; `what` names it in the refusal.
std::vector<Set> load_baseline_campaign(const std::string &dir, const char *what);

} // namespace report
