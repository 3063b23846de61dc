// What the commands share: where this tool is, writing standard output, and
// loading what they read.

#include "report/cli/commands.hpp"

#include "report/render/pieces.hpp"
#include "report/sys/errors.hpp"
#include "report/sys/process.hpp"
#include "report/sys/text.hpp"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace report {

void refuse_missing_command(const std::vector<std::string> &words, const char *command) {
  if (!find_program(words[0]))
    throw UsageError(std::string(command) + ": no such command, or not executable: '" +
                     printable(words[0]) + "'");
}

void write_out(const std::string &text) {
  if (std::fwrite(text.data(), 1, text.size(), stdout) != text.size() || std::fflush(stdout) != 0)
    throw SystemError(os_error("write to standard output", errno));
}

std::optional<Weights> weights_of(const Options &o) {
  if (o.weights.empty())
    return std::nullopt;
  return read_weights(o.weights, o.weights_format);
}

// --tsc-mhz is for sets without a campaign record; given where every set
// has one, it would be ignored.
Report load_report(const Options &o) { return load_report(o, load_all_sets(o.sets)); }

CompareOptions compare_for(const Options &o, const std::vector<Set> &sets) {
  CompareOptions c = o.compare;
  if (!o.has("--threshold") && !sets.empty() && sets[0].record.threshold)
    c.threshold = *sets[0].record.threshold;
  return c;
}

Report load_report(const Options &o, std::vector<Set> sets) {
  const CompareOptions compare = compare_for(o, sets);
  Report r = build_report(std::move(sets), compare, o.tsc_mhz, weights_of(o));
  r.weights_file = o.weights;
  if (o.tsc_mhz && std::all_of(r.sets.begin(), r.sets.end(), [](const SetReport &s) {
        return s.set.record.machine.tsc_mhz.has_value();
      }))
    throw UsageError("--tsc-mhz: every SET has its campaign's measured counter frequency");
  return r;
}

std::string stop_line(const CampaignEnd &e) {
  std::string done = plural(e.added, e.interleaved ? "round" : "run") +
                     (e.total > e.added ? " (" + std::to_string(e.total) + " in all)" : "") +
                     fmt(" in %.1f s", e.seconds);
  // "b 2..7, 11585..13776" for each variant's spans.
  auto spans_text = [](const std::vector<Undecided> &per_variant) {
    std::vector<std::string> words;
    for (const auto &u : per_variant)
      for (size_t i = 0; i < u.spans.size(); i++)
        words.push_back(u.spans[i].second == 0 // one figure a run, no lengths
                            ? u.variant
                            : (i ? "" : u.variant + " ") + std::to_string(u.spans[i].first) + ".." +
                                  std::to_string(u.spans[i].second));
    return printable(joined(words));
  };
  // Where the fills hide, the campaign could not read, not decide.
  const std::string hidden =
      e.hidden.empty() ? ""
                       : "; unclear where the fills hide in the readings, which more rounds "
                         "do not change (--engine batch reads them): " +
                             spans_text(e.hidden);
  if (e.stop == Stop::Decided && !e.compared)
    return "memset-report: " + done +
           "; one variant, so nothing was compared and nothing decided: these are the least "
           "rounds a campaign runs (--runs N runs more)\n";
  if (e.stop == Stop::Decided)
    return "memset-report: decided" + std::string(e.hidden.empty() ? "" : " elsewhere") +
           " after " + done + hidden + "\n";
  // As its summary will say it.
  std::string line = e.stop == Stop::Budget
                         ? "memset-report: " + how_it_ended(e.stop, e.budget) + ": " + done
                         : "memset-report: " + done;
  if (e.undecided.empty())
    return line + hidden + "\n";
  line += "; still unclear: " + spans_text(e.undecided) + hidden;
  return line + "; more rounds: memset-report run --more " + printable(shell_quoted(e.folder)) +
         "\n";
}

void say_how_it_ended(const CampaignEnd &e) { std::fputs(stop_line(e).c_str(), stderr); }

std::vector<Set> load_baseline_campaign(const std::string &dir, const char *what) {
  std::vector<Set> sets = load_sets(dir);
  if (sets.empty() || sets[0].label != "default" || sets[0].campaign.empty())
    throw InputError(dir + ": not " + what +
                     " (an interleaved campaign whose first variant is 'default')");
  return sets;
}

} // namespace report
