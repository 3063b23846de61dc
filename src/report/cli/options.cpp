// The command line's words as typed, checked options: the options each
// command takes (as its definitions say), their values, and the
// combinations it refuses.

#include "report/cli/options.hpp"

#include "report/cli/command_table.hpp"
#include "report/cli/help.hpp"

#include "report/sys/environment.hpp"
#include "report/sys/errors.hpp"
#include "report/sys/process.hpp"
#include "report/sys/text.hpp"

#include <algorithm>
#include <filesystem>

namespace report {

namespace {

void refuse_together(const Options &o, const char *a, const char *b, const std::string &why) {
  if (o.has(a) && o.has(b))
    throw UsageError(std::string(a) + " and " + b + " do not go together: " + why);
}

// The combinations each command cannot honour.
void check_combinations(const Options &o) {
  if (o.command == "run") {
    if (!o.more.empty()) {
      for (const char *c : {"--out", "--variant", "--env", "--bench", "--threshold", "--libc",
                            "--loader", "--library-path"})
        refuse_together(o, "--more", c, "more rounds take the campaign's own settings");
      for (const SettingRow &r : setting_rows())
        if (r.option)
          refuse_together(o, "--more", r.option,
                          r.of_engine ? "more rounds take the campaign's own engine"
                                      : "more rounds take the campaign's own settings");
    } else if (o.campaign.out.empty()) {
      throw UsageError("run needs --out DIR (or --more DIR)");
    }
    if (o.more.empty() && o.campaign.variants.empty() && o.has("--budget"))
      throw UsageError("--budget goes with --variant: a plain campaign runs a fixed count");
    if (o.more.empty() && o.campaign.variants.empty() && o.has("--min-span"))
      throw UsageError("--min-span goes with --variant: a plain campaign runs a fixed count");
  }
  if (o.command == "fleet") {
    if (!o.more.empty()) {
      for (const char *c : {"--out", "--hosts"})
        refuse_together(o, "--more", c, "more rounds go to the fleet's own hosts and folder");
      if (!o.command_words.empty())
        throw UsageError("fleet --more takes no campaign: each host goes on with its own");
    } else if (o.has("--budget")) {
      throw UsageError("fleet --budget goes with --more; a new fleet's campaign takes its own "
                       "after '--'");
    } else if (o.campaign.out.empty() || o.hosts.empty()) {
      throw UsageError("fleet needs --hosts FILE and --out DIR (or --more DIR)");
    } else if (o.command_words.empty()) {
      throw UsageError("fleet needs a campaign after '--': run, tune, census or program, "
                       "with its options");
    }
  }
  for (const SettingRow &r : setting_rows())
    if (r.option && r.batch_only && o.has(r.option) && o.campaign.engine != Engine::Batch)
      throw UsageError(std::string(r.option) + " goes with --engine batch" +
                       (*r.batch_only ? std::string(": ") + r.batch_only : ""));
  if (o.campaign.landing.align == Landing::kAlignCapture && o.command != "run")
    throw UsageError("--align capture goes with run --replay CAPTURE");
  refuse_together(o, "--replay", "--random-lengths", "a replay draws the capture's lengths");
  // Every command that takes both: run, tune, census and program.
  refuse_together(o, "--runs", "--budget", "a fixed count, or until decided");
  refuse_together(o, "--runs", "--min-span", "a fixed count looks at no round");
  if (o.command == "summary") {
    refuse_together(o, "--csv", "--json", "choose one format");
    refuse_together(o, "--csv", "--unit", "CSV holds exact ticks");
    refuse_together(o, "--json", "--unit", "JSON holds both ns and ticks");
    for (const char *c : {"--threshold", "--drift", "--fail-if-slower", "--bands"})
      refuse_together(o, "--csv", c, "CSV holds no comparisons");
    refuse_together(o, "--json", "--bands", "the JSON holds every band");
    for (const char *c : {"--csv", "--json"})
      refuse_together(o, "--benchout", c, "choose one format");
    for (const char *c : {"--unit", "--bands", "--weights", "--drift", "--threshold",
                          "--fail-if-slower", "--tsc-mhz"})
      refuse_together(o, "--benchout", c,
                      "glibc's layout holds each set's ticks per call and no comparisons");
    if (o.has("--allow-unclear") && !o.has("--fail-if-slower"))
      throw UsageError("--allow-unclear goes with --fail-if-slower");
    if (o.has("--lengths") && o.format != Format::Json && o.format != Format::Benchout)
      throw UsageError("--lengths goes with --json or --benchout");
    if (o.has("--tsc-mhz") && o.unit != Unit::Ns && o.format != Format::Json && !o.has("--weights"))
      throw UsageError(
          "--tsc-mhz is used only for times: give --unit ns, --json or a capture's --weights");
  }
  if (o.command == "program") {
    if (o.campaign.out.empty())
      throw UsageError("program needs --out DIR");
    if (o.command_words.empty())
      throw UsageError("program needs a command after '--'");
  }
  if (o.has("--wall") && o.command != "summary")
    throw UsageError("--wall goes with summary");
  if (o.command == "capture") {
    if (o.capture_out.empty())
      throw UsageError("capture needs --out FILE");
    if (o.command_words.empty())
      throw UsageError("capture needs a command after '--'");
  }
  if (o.command == "plot" && o.plot_out.empty())
    throw UsageError("plot needs -o FILE");
  if (o.command == "census") {
    for (size_t i = 0; i < o.campaign.variants.size(); i++) {
      const VariantOptions &v = o.campaign.variants[i];
      bool own_libc = i + 1 < o.libc_asked.size() && o.libc_asked[i + 1].any();
      if (!own_libc && std::none_of(v.env.begin(), v.env.end(), is_preload_entry))
        throw UsageError("census --variant " + v.name + " needs --preload PATH or --libc PATH");
    }
    if (o.libc_asked[0].any())
      throw UsageError("census --libc goes after --variant NAME: a C library is one entry");
    if (o.campaign.variants.empty() && o.has("--preload"))
      throw UsageError("census --preload goes after --variant NAME");
    refuse_together(o, "--from", "--variant", "--from reads a census already run");
    if (o.froms.size() > 1)
      throw UsageError("census takes one --from DIR");
  }
  if (o.command == "tune" || o.command == "census") {
    if (!o.from.empty()) {
      for (const char *c :
           {"--out", "--runs", "--budget", "--bench", "--libc", "--loader", "--library-path"})
        refuse_together(o, "--from", c, "--from reads a campaign already run");
      for (const SettingRow &r : setting_rows())
        if (r.option)
          refuse_together(o, "--from", r.option, "--from reads a campaign already run");
    } else if (o.campaign.out.empty()) {
      throw UsageError(o.command + " needs --out DIR (or --from DIR)");
    }
  }
  if (o.has("--weights-format") && !o.has("--weights"))
    throw UsageError("--weights-format goes with --weights");
  refuse_together(o, "--csv", "--weights", "CSV holds no comparisons");
  if (o.command == "summary" || o.command == "plot")
    if (o.sets.empty())
      throw UsageError("no SET given");
}

// Each C library asked for, its tree found (or its loader and folders
// checked), and the program its loader is to start checked to be one.
void resolve_libc(Options &o) {
  for (size_t i = 0; i < o.libc_asked.size(); i++) {
    const LibcAsked &a = o.libc_asked[i];
    if (!a.any())
      continue;
    const std::string who = i == 0 ? std::string(o.command == "tune" ? "tune" : "the campaign")
                                   : "variant " + o.campaign.variants[i - 1].name;
    if (!a.libc.empty() && (!a.loader.empty() || !a.library_path.empty()))
      throw UsageError(who + ": --libc " + printable(a.libc) + " and --" +
                       (a.loader.empty() ? "library-path" : "loader") +
                       " do not go together: --libc finds the loader and library path itself");
    if (a.libc.empty() && (a.loader.empty() || a.library_path.empty()))
      throw UsageError(who + ": --loader and --library-path go together");
    LibcTree tree = a.libc.empty() ? explicit_libc_tree(a.loader, a.library_path, who)
                                   : find_libc_tree(a.libc, who);
    // A loader starts programs only; a wrapper script would run under the
    // system's library while the record named this one.
    std::string program = o.command_words.empty() ? "" : o.command_words[0];
    if (program.empty())
      program =
          i == 0 ? o.campaign.bench : o.campaign.variants[i - 1].bench.value_or(o.campaign.bench);
    std::string found = find_program(program).value_or(program);
    if (!is_elf_file(found))
      throw UsageError(who + ": " + printable(program) +
                       " is not a program (an ELF file): " + printable(tree.loader) +
                       " cannot start it, so it would not run that C library");
    (i == 0 ? o.campaign.libc : o.campaign.variants[i - 1].libc) = tree;
  }
}

} // namespace

Options parse_command_line(const std::vector<std::string> &words,
                           const std::string &default_bench) {
  Options o;
  o.words = words;
  o.campaign.bench = default_bench;
  if (words.empty())
    throw UsageError("no command given");
  const std::string &first = words[0];
  if (first == "--help" || first == "-h" || first == "help") {
    o.help = true;
    if (words.size() > 2)
      throw UsageError("help takes at most one COMMAND");
    o.command = words.size() > 1 ? words[1] : "";
    if (usage_text(o.command).empty())
      throw UsageError("help: unknown command '" + o.command + "'");
    return o;
  }
  if (first == "--version") {
    if (words.size() > 1)
      throw UsageError("--version takes nothing more");
    o.version = true;
    return o;
  }
  const CommandDef *cmd = find_command(first);
  if (!cmd)
    throw UsageError("unknown command '" + first + "'");
  o.command = cmd->name;

  bool options_ended = false;
  for (size_t i = 1; i < words.size(); i++) {
    const std::string &w = words[i];
    bool looks_like_option = !options_ended && w.size() > 1 && w[0] == '-';
    if (cmd->takes_command && (w == "--" || !looks_like_option)) {
      o.command_words.assign(words.begin() + (long)i + (w == "--" ? 1 : 0), words.end());
      break;
    }
    if (!looks_like_option) {
      if (!cmd->takes_sets)
        throw UsageError(o.command + ": unknown argument '" + w + "'");
      if (w.empty())
        throw UsageError(o.command + ": an empty SET path");
      o.sets.push_back(w);
      continue;
    }
    if (w == "--") {
      options_ended = true;
      continue;
    }
    if (w == "--help" || w == "-h") {
      o.help = true;
      return o;
    }
    std::string name = w.substr(0, w.find('=')), value;
    auto it = std::find_if(cmd->options.begin(), cmd->options.end(), [&](const CommandOption &s) {
      return name == s.def->name || (s.def->alias && name == s.def->alias);
    });
    if (it == cmd->options.end())
      throw UsageError(o.command + ": unknown option '" + w + "'");
    const OptionDef *def = it->def;
    if (def->arg) {
      if (name.size() < w.size())
        value = w.substr(name.size() + 1);
      else if (i + 1 < words.size())
        value = words[++i];
      else
        throw UsageError(std::string(def->name) + " needs a value");
    } else if (name.size() < w.size()) {
      throw UsageError(std::string(def->name) + " takes no value");
    }
    apply_option(*def, o, value);
    o.given.insert(def->name);
  }
  check_combinations(o);
  // The engine's program beside the benchmark, unless a --bench before the
  // first --variant names the campaign's (a variant's own is its alone).
  if (o.campaign.engine == Engine::Batch && o.campaign.bench == default_bench)
    o.campaign.bench =
        (std::filesystem::path(default_bench).parent_path() / engine_name(Engine::Batch)).string();
  resolve_libc(o);
  return o;
}

} // namespace report
