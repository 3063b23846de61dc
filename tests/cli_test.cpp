// The command line's rules: what each command refuses, the values it
// takes, and the help it shows, on the parser itself.

#include "report/cli/command_table.hpp"
#include "report/cli/commands.hpp"
#include "report/cli/gate.hpp"
#include "report/cli/help.hpp"
#include "report/cli/options.hpp"
#include "report/formats/campaign_settings.hpp"
#include "report/sys/errors.hpp"
#include "report/sys/text.hpp"

#include <gtest/gtest.h>

#include <algorithm>

using namespace report;

namespace {

// The usage error that parsing `line` raises, or "" when it parses.
std::string refusal(const std::vector<std::string> &words) {
  try {
    parse_command_line(words, "/bin/true");
  } catch (const UsageError &e) {
    return e.what();
  }
  return "";
}

TEST(Options, EachCommandRefusesWhatItWouldIgnore) {
  struct Case {
    std::vector<std::string> words;
    std::string want;
  } cases[] = {
      {{"plot", "-o", "x.png", "--tsc-mhz", "5", "s"}, "unknown option '--tsc-mhz'"},
      {{"summary", "--csv", "--json", "s"}, "do not go together"},
      {{"summary", "--csv", "--unit", "ns", "s"}, "do not go together"},
      {{"summary", "--unit", "ticks", "--tsc-mhz", "5", "s"}, "only for times: give --unit ns"},
      {{"summary", "--allow-unclear", "s"}, "goes with --fail-if-slower"},
      {{"summary", "--weights-format", "map", "s"}, "goes with --weights"},
      {{"tune", "--from", "d", "--runs", "3"}, "do not go together"},
      {{"tune", "--from", "d", "--out", "e"}, "do not go together"},
      {{"run", "--out", "d", "--runs", "3", "--budget", "5", "--variant", "a"},
       "do not go together"},
      {{"census", "--out", "d", "--runs", "5", "--budget", "10"}, "do not go together"},
      {{"run", "--out", "d", "--threshold", "0", "--variant", "a"}, "above 0 and below 50"},
      {{"run", "--out", "d", "--threshold", "50", "--variant", "a"}, "above 0 and below 50"},
      {{"summary", "--threshold", "-1", "s"}, "above 0 and below 50"},
      {{"run", "--more", "d", "--threshold", "1"}, "do not go together"},
      {{"run", "--out", "d", "--budget", "5"}, "goes with --variant"},
      {{"run", "--more", "d", "--variant", "a"}, "do not go together"},
      {{"census", "--out", "d", "--variant", "a"}, "needs --preload"},
      {{"summary"}, "no SET given"},
      {{"run"}, "run needs --out"},
      {{"run", "--out"}, "--out needs a value"},
      {{"summary", "--csv=yes", "s"}, "takes no value"},
  };
  for (const auto &c : cases)
    EXPECT_NE(refusal(c.words).find(c.want), std::string::npos)
        << c.words[0] << " " << c.words[1] << ": got '" << refusal(c.words) << "'";
}

TEST(Options, NumbersArePlainDecimalWithinTheirLimits) {
  for (const char *bad : {"0x10", " 5", "5 ", "+5", "-1", "1e3", "5.", ".5", "", "86401"})
    EXPECT_NE(refusal({"run", "--out", "d", "--timeout", bad}).find("--timeout takes"),
              std::string::npos)
        << "'" << bad << "'";
  Options o = parse_command_line({"run", "--out", "d", "--timeout=2.5", "--runs", "7"}, "b");
  EXPECT_EQ(o.campaign.timeout, 2.5);
  EXPECT_EQ(o.campaign.runs, 7u);
  EXPECT_NE(refusal({"run", "--out", "d", "--runs", "0"}).find("at least 1"), std::string::npos);
}

TEST(Options, EnvironmentsAreOrderAwareAndGuarded) {
  Options o = parse_command_line(
      {"run", "--out", "d", "--env", "A=1", "--variant", "x", "--env", "A=2", "--variant", "y"},
      "b");
  EXPECT_EQ(o.campaign.env, std::vector<std::string>{"A=1"});
  ASSERT_EQ(o.campaign.variants.size(), 2u);
  EXPECT_EQ(o.campaign.variants[0].env, std::vector<std::string>{"A=2"});
  EXPECT_TRUE(o.campaign.variants[1].env.empty());
  EXPECT_NE(refusal({"run", "--out", "d", "--variant", "x", "--env", "A=1", "--env", "A=2"})
                .find("given twice"),
            std::string::npos);
  EXPECT_NE(refusal({"run", "--out", "d", "--env", "A=1\nenv: forged"}).find("control"),
            std::string::npos);
  EXPECT_NE(refusal({"run", "--out", "d", "--variant", "context.txt"}).find("own file"),
            std::string::npos);
  EXPECT_NE(refusal({"run", "--out", "d", "--variant", "run-001.txt"}).find("own file"),
            std::string::npos);
}

TEST(Options, ALengthGivenTwiceIsOneLength) {
  Options o = parse_command_line({"summary", "--json", "--lengths", "5,5,7,5", "s"}, "b");
  EXPECT_EQ(*o.lengths, (std::vector<size_t>{5, 7}));
}

TEST(Options, DoubleDashEndsTheOptions) {
  Options o = parse_command_line({"summary", "--", "--csv", "-x"}, "b");
  EXPECT_EQ(o.sets, (std::vector<std::string>{"--csv", "-x"}));
  EXPECT_EQ(o.format, Format::Text);
  EXPECT_NE(refusal({"run", "--out", "d", "--", "x"}).find("unknown argument"), std::string::npos);
}

TEST(Help, NamesEveryOptionACommandTakesInItsSynopsisAndItsList) {
  for (const CommandDef &c : commands()) {
    const std::string command = c.name;
    std::string help = usage_text(command);
    ASSERT_FALSE(help.empty()) << command;
    std::string synopsis = help.substr(0, help.find("\n\n"));
    std::vector<std::string> options; // by long names and aliases, from the table
    for (const auto &o : c.options) {
      options.push_back(o.def->name);
      if (o.def->alias)
        options.push_back(o.def->alias);
    }
    ASSERT_FALSE(options.empty()) << command;
    for (const auto &option : options) {
      // In the synopsis by some name of its own, and listed at a line's start.
      bool short_alias = option.size() == 2;
      if (!short_alias) {
        EXPECT_TRUE(synopsis.find(option + " ") != std::string::npos ||
                    synopsis.find(option + "]") != std::string::npos ||
                    (option == "--output" && synopsis.find("-o ") != std::string::npos))
            << command << " synopsis lacks " << option;
      }
      EXPECT_TRUE(help.find("\n  " + option + " ") != std::string::npos ||
                  help.find("\n  " + option + ", ") != std::string::npos ||
                  help.find(", " + option + " ") != std::string::npos)
          << command << " --help does not list " << option;
    }
    // Every option --help lists is one the command takes.
    for (size_t at = help.find("\n  -"); at != std::string::npos; at = help.find("\n  -", at + 1)) {
      std::string listed = help.substr(at + 3, help.find_first_of(" ,\n", at + 3) - at - 3);
      EXPECT_NE(std::find(options.begin(), options.end(), listed), options.end())
          << command << " --help lists " << listed << ", which it refuses";
    }
  }
  EXPECT_EQ(usage_text("nonsense"), "");
}

TEST(StopLine, SaysHowTheCampaignEndedAndWhatWouldGoOn) {
  CampaignEnd decided{"c", Stop::Decided, true, true, 288, 288, 41.25, {}, 0, {}};
  EXPECT_EQ(stop_line(decided), "memset-report: decided after 288 rounds in 41.2 s\n");
  CampaignEnd budget{"my camp", Stop::Budget,
                     true,      true,
                     300,       120,
                     60.04,     {{"b", {{2, 7}, {11585, 13776}}}, {"c", {{2, 7}}}},
                     60,        {}};
  // Worded as its summary's "stopped:" line words it.
  EXPECT_EQ(stop_line(budget),
            "memset-report: its budget of 60 s was spent before it was decided: 120 rounds (300 "
            "in all) in 60.0 s; still unclear: "
            "b 2..7, 11585..13776, c 2..7; more rounds: memset-report run --more 'my camp'\n");
  CampaignEnd plain{"p", Stop::Runs, false, false, 11, 11, 3.0, {}, 0, {}};
  EXPECT_EQ(stop_line(plain), "memset-report: 11 runs in 3.0 s\n");
}

TEST(Gate, AProgramsTimeIsGatedAsARangeIs) {
  MixReport r;
  r.kind = CampaignKind::Program;
  r.sets.resize(2);
  r.sets[0].set.label = "a";
  r.sets[1].set.label = "b";
  MixComparison c;
  c.other = 1;
  c.c.decision.verdict = Verdict::Slower;
  c.c.est.ratio = 1.08;
  r.comparisons = {c};
  auto status = [&](double allowed, bool allow_unclear) {
    try {
      check_gate(r, allowed, allow_unclear);
    } catch (const Failure &f) {
      return f.status;
    }
    return (int)kOk;
  };
  EXPECT_EQ(status(0.05, false), kSlower);
  EXPECT_EQ(status(0.10, false), kOk); // slower, but within what is allowed
  r.comparisons[0].c.decision.verdict = Verdict::Unclear;
  EXPECT_EQ(status(0.10, false), kUndecided);
  EXPECT_EQ(status(0.10, true), kOk);
  r.comparisons[0].c.decision.verdict = Verdict::Faster;
  r.comparisons[0].c.est.ratio = 0.5;
  EXPECT_EQ(status(0, false), kOk);
}

TEST(Gate, AnUnclearRangeFailsItAndSaysWhetherRoundsWouldDecide) {
  Report r;
  r.sets.resize(2);
  r.sets[0].set.label = "a";
  r.sets[1].set.label = "b";
  Comparison c;
  c.other = 1;
  c.ranges = {{3, 1023, Verdict::Unclear, true, false, Hidden::Both, {}, 1, 1},
              {1024, 32768, Verdict::Same, false, false, Hidden::None, {}, 1, 1}};
  r.comparisons = {c};
  auto message = [&](bool allow) {
    try {
      check_gate(r, 0.05, allow);
    } catch (const Failure &f) {
      EXPECT_EQ(f.status, kUndecided);
      return std::string(f.what());
    }
    return std::string();
  };
  EXPECT_NE(message(false).find("over 3..1023: the gate cannot pass (--fail-if-slower; the fills "
                                "hide in the readings there, so more rounds would not decide it"),
            std::string::npos)
      << message(false);
  EXPECT_EQ(message(true), "");
  r.comparisons[0].ranges[0].hidden = false;
  EXPECT_NE(message(false).find("more rounds would decide"), std::string::npos);
}

TEST(Options, TheEngineChoosesItsProgramAndItsOwnOptions) {
  Options o = parse_command_line({"run", "--out", "d", "--engine", "batch", "--random-lengths"},
                                 "/opt/x/memset-bench");
  EXPECT_EQ(o.campaign.engine, Engine::Batch);
  EXPECT_TRUE(o.campaign.random_lengths);
  EXPECT_EQ(o.campaign.bench, "/opt/x/memset-batch");
  // A variant's own --bench leaves the others the engine's program.
  EXPECT_EQ(parse_command_line({"run", "--out", "d", "--engine", "batch", "--variant", "a",
                                "--variant", "b", "--bench", "/bin/true"},
                               "/opt/x/memset-bench")
                .campaign.bench,
            "/opt/x/memset-batch");
  EXPECT_EQ(parse_command_line({"run", "--out", "d"}, "/opt/x/memset-bench").campaign.bench,
            "/opt/x/memset-bench");
  EXPECT_NE(refusal({"run", "--out", "d", "--random-lengths"}).find("goes with --engine batch"),
            std::string::npos);
  EXPECT_NE(refusal({"run", "--out", "d", "--engine", "fast"}).find("takes bench or batch"),
            std::string::npos);
  EXPECT_NE(refusal({"run", "--more", "d", "--engine", "batch"}).find("own engine"),
            std::string::npos);
  EXPECT_NE(refusal({"tune", "--from", "d", "--engine", "batch"}).find("already run"),
            std::string::npos);
}

TEST(Options, AReplayAndAProgramTakeTheirOwnOptionsAndTheCommandWhole) {
  Options o = parse_command_line({"run", "--out", "d", "--engine", "batch", "--replay", "c.txt"},
                                 "/opt/x/memset-bench");
  EXPECT_EQ(o.campaign.replay, std::optional<std::string>("c.txt"));
  // The command after '--' is the program's, its options included.
  Options p = parse_command_line({"program", "--out", "d", "--keep-output", "--variant", "a",
                                  "--env", "X=1", "--", "python3", "-c", "--out"},
                                 "/opt/x/memset-bench");
  EXPECT_EQ(p.command_words, (std::vector<std::string>{"python3", "-c", "--out"}));
  EXPECT_TRUE(p.campaign.keep_output);
  ASSERT_EQ(p.campaign.variants.size(), 1u);
  EXPECT_EQ(p.campaign.variants[0].env, (std::vector<std::string>{"X=1"}));
  EXPECT_TRUE(parse_command_line({"summary", "--wall", "p"}, "b").wall);
  struct Case {
    std::vector<std::string> words;
    std::string want;
  } cases[] = {
      {{"run", "--out", "d", "--replay", "c.txt"}, "--replay goes with --engine batch"},
      {{"run", "--out", "d", "--engine", "batch", "--random-lengths", "--replay", "c"},
       "do not go together"},
      {{"run", "--more", "d", "--replay", "c"}, "do not go together"},
      {{"program", "--out", "d"}, "needs a command after '--'"},
      {{"program", "--", "true"}, "program needs --out DIR"},
      {{"program", "--out", "d", "--runs", "3", "--budget", "4", "--", "true"},
       "do not go together"},
      {{"program", "--out", "d", "--engine", "batch", "--", "true"}, "unknown option"},
      {{"run", "--out", "d", "--keep-output"}, "unknown option"},
      {{"run", "--out", "d", "--wall"}, "unknown option"},
  };
  for (const auto &c : cases)
    EXPECT_NE(refusal(c.words).find(c.want), std::string::npos)
        << c.words[0] << " " << c.words[1] << ": got '" << refusal(c.words) << "'";
}

TEST(StopLine, AOneFigureCampaignNamesItsUndecidedVariantsAlone) {
  CampaignEnd e{"c", Stop::Budget, true, true, 40, 40, 60.2, {{"sse2", {{0, 0}}}}, 60, {}};
  EXPECT_EQ(stop_line(e), "memset-report: its budget of 60 s was spent before it was decided: 40 "
                          "rounds in 60.2 s; still unclear: sse2; more rounds: memset-report run "
                          "--more 'c'\n");
}

TEST(StopLine, ACampaignSaysWhereItDecidedWhereTheFillsHidAndWhenNothingWasCompared) {
  CampaignEnd hid{"c", Stop::Decided, true, true, 74, 74, 30.5, {}, 0, {{"b", {{3, 860}}}}};
  EXPECT_EQ(stop_line(hid),
            "memset-report: decided elsewhere after 74 rounds in 30.5 s; unclear where the fills "
            "hide in the readings, which more rounds do not change (--engine batch reads them): "
            "b 3..860\n");
  CampaignEnd alone{"p", Stop::Decided, true, false, 11, 11, 0.1, {}, 10, {}};
  EXPECT_NE(stop_line(alone).find("one variant, so nothing was compared and nothing decided"),
            std::string::npos)
      << stop_line(alone);
  EXPECT_EQ(stop_line(alone).find("decided after"), std::string::npos);
}

} // namespace

namespace {

// Words of a command line as a POSIX shell splits them (single quotes and
// backslashes, as shell_words writes them).
std::vector<std::string> shell_split(const std::string &line) {
  std::vector<std::string> out;
  std::string w;
  bool quoted = false, any = false;
  for (size_t i = 0; i < line.size(); i++) {
    const char c = line[i];
    if (c == '\\' && !quoted && i + 1 < line.size())
      w += line[++i], any = true;
    else if (c == '\'')
      quoted = !quoted, any = true;
    else if (c == ' ' && !quoted) {
      if (any)
        out.push_back(w);
      w.clear(), any = false;
    } else
      w += c, any = true;
  }
  if (any)
    out.push_back(w);
  return out;
}

TEST(Page, TheCommandThatMeasuresAgainIsSpelledFromTheRecordInTheToolsOwnOptions) {
  Set s;
  s.label = "camp/b";
  s.campaign = "/x/camp";
  s.record.machine.date = "2026-12-10";
  s.record.budgets = {120};
  s.record.threshold = 0.05;
  s.record.timeout = kDefaultTimeout; // the default: not spelled again
  s.record.engine = Engine::Batch;
  s.record.landing.align = 16;
  s.record.landing.footprint = 32768;
  s.record.landing.level = "L1";
  s.record.variants = {{"a", {}, "", "", "", {}},
                       {"b", {"GLIBC_TUNABLES=glibc.cpu.hwcaps=-AVX2", "X=it's"}, "", "", "", {}}};
  Set again = s; // the same campaign: measured once
  Set lone;      // a result file without a record: nothing to measure again
  lone.label = "lone.txt";
  const auto lines = measure_again({&s, &again, &lone});
  ASSERT_EQ(lines.size(), 1u);
  const auto words = shell_split(lines[0]);
  const std::vector<std::string> want = {
      "memset-report", "run",   "--out",       "NEW-FOLDER",
      "--budget",      "120",   "--threshold", "5",
      "--engine",      "batch", "--align",     "16",
      "--footprint",   "L1",    "--variant",   "a",
      "--variant",     "b",     "--env",       "GLIBC_TUNABLES=glibc.cpu.hwcaps=-AVX2",
      "--env",         "X=it's"};
  EXPECT_EQ(words, want) << lines[0];
  // Every option it spells is one the command takes.
  std::vector<std::string> argv(words.begin() + 1, words.end());
  EXPECT_NO_THROW(parse_command_line(argv, "/bin/true")) << lines[0];
  // A program campaign: its command after '--', as it was.
  s.record.program = {"sh", "-c", "echo $1"};
  s.record.engine = Engine::Bench;
  s.record.landing = {};
  const auto program = shell_split(measure_again({&s})[0]);
  EXPECT_EQ(program[1], "program");
  EXPECT_EQ(std::vector<std::string>(program.end() - 4, program.end()),
            (std::vector<std::string>{"--", "sh", "-c", "echo $1"}));
}

} // namespace

namespace {

// A campaign's settings as the rows write them into a record: what must
// survive each trip.
report::Fields settings_lines(const CampaignSettings &s) {
  Record r;
  static_cast<CampaignSettings &>(r) = s;
  return record_fields(r, false);
}

TEST(Settings, EveryRowRoundTripsThroughTheRecordTheCommandLineAndTheEngine) {
  // Between them, these ask for every setting that has an option.
  const std::vector<std::vector<std::string>> lines = {
      {"run",        "--out",    "x",           "--env",
       "FOO=1",      "--cpu",    "0",           "--timeout",
       "30",         "--seed",   "7",           "--threshold",
       "3",          "--engine", "batch",       "--random-lengths",
       "--align",    "random",   "--footprint", "65536",
       "--min-span", "5",        "--variant",   "a",
       "--variant",  "b"},
      {"run", "--out", "x", "--timeout", "0", "--engine", "batch", "--replay", "some.capture",
       "--align", "16"},
      {"program", "--out", "x", "--keep-output", "--", "sh", "-c", "true"}};
  std::set<std::string> asked;
  for (const auto &words : lines) {
    Options o = parse_command_line(words, "/bin/true");
    asked.insert(o.given.begin(), o.given.end());
    // The command after '--' and the comparisons' threshold, as the
    // command's own function gives them to the campaign.
    auto settings = [](const Options &p) {
      CampaignSettings c = p.campaign;
      if (p.command == "program")
        c.program = p.command_words;
      c.threshold = p.compare.threshold;
      return c;
    };
    CampaignSettings s = settings(o);

    // Through the record and back.
    Record r;
    static_cast<CampaignSettings &>(r) = s;
    EXPECT_EQ(settings_lines(parse_record(format_record(r))), settings_lines(s)) << words[0];

    // Through the words that ask for them again, and the command line.
    Words options, command;
    settings_again(s, options, command);
    std::vector<std::string> again = {words[0], "--out", "y"};
    again.insert(again.end(), options.begin(), options.end());
    if (s.min_span) // a look's span goes with variants
      again.insert(again.end(), {"--variant", "a", "--variant", "b"});
    again.insert(again.end(), command.begin(), command.end());
    Options back = parse_command_line(again, "/bin/true");
    CampaignSettings t = settings(back);
    s.seed = t.seed = std::nullopt; // measured again, a campaign draws a fresh one
    EXPECT_EQ(settings_lines(t), settings_lines(s)) << shell_words(again);

    // What the engine is told: each setting it takes, under the option's own name.
    const Words args = engine_arguments(o.campaign, {3, "mix.txt", "1-2"});
    for (const SettingRow &row : setting_rows()) {
      if (row.engine_args && row.option && o.has(row.option)) {
        EXPECT_NE(std::find(args.begin(), args.end(), row.option), args.end())
            << row.option << " in " << shell_words(args);
      }
    }
  }
  for (const SettingRow &row : setting_rows()) {
    if (row.option) {
      EXPECT_TRUE(asked.count(row.option)) << row.option << " is asked by no line above";
    }
    EXPECT_EQ(setting_of_key(row.key), &row) << row.key << " is two rows' key";
  }
}

} // namespace
