// The readers and writers of outside input: result files read strictly, and
// the campaign record both ways with its run-file names, a program's run
// file, and a replay's mix.

#include "report/formats/campaign_folder.hpp"
#include "report/formats/fleet_file.hpp"
#include "report/formats/program_file.hpp"
#include "report/formats/replay.hpp"
#include "report/formats/result_file.hpp"
#include "report/formats/sets.hpp"
#include "report/sys/errors.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

using namespace report;

namespace {

std::string file_of(size_t count, uint64_t value = 42) {
  std::string s;
  for (size_t i = 0; i < count; i++)
    s += (i ? "\n" : "") + std::to_string(value);
  return s;
}

// The message of the error that parsing `text` raises, or "" if it parses.
std::string error_of(const std::string &text) {
  try {
    parse_result(text, "r.txt");
  } catch (const InputError &e) {
    return e.what();
  }
  return "";
}

TEST(ResultFile, AcceptsExactlyTheBenchmarksFormat) {
  std::string text = "0\n18446744073709551615\n" + file_of(kLengths - 2, 7);
  RunValues c = parse_result(text, "r.txt");
  ASSERT_EQ(c.size(), kLengths);
  EXPECT_EQ(c[0], 0u);
  EXPECT_EQ(c[1], UINT64_MAX);
  EXPECT_EQ(c.back(), 7u);
}

TEST(ResultFile, RefusesAnythingElseNamingFileAndLine) {
  std::string good = file_of(kLengths);
  struct Case {
    std::string text, where, what;
  } cases[] = {
      {"", "r.txt: ", "empty"},
      {good + "\n", "r.txt:32768: ", "line feed after the last value"},
      {file_of(kLengths - 1), "r.txt: ", "32767 values, expected 32768"},
      {file_of(333) + "\n", "r.txt: ", "333 values, expected 32768"},
      {good + "\n1", "r.txt:32769: ", "more than 32768 values"},
      {"42\r\n" + file_of(kLengths - 1), "r.txt:1: ", "carriage return"},
      {"42\n\n" + file_of(kLengths - 2), "r.txt:2: ", "found a line feed"},
      {"42\n-1\n" + file_of(kLengths - 2), "r.txt:2: ", "found '-'"},
      {"42\n 1\n" + file_of(kLengths - 2), "r.txt:2: ", "found ' '"},
      {"42\n007\n" + file_of(kLengths - 2), "r.txt:2: ", "leading zero"},
      {"42\n12x\n" + file_of(kLengths - 2), "r.txt:2: ", "'x' after the value"},
      {"42\n18446744073709551616\n" + file_of(kLengths - 2), "r.txt:2: ", "64 bits"},
  };
  for (const auto &c : cases) {
    std::string e = error_of(c.text);
    EXPECT_EQ(e.rfind(c.where, 0), 0u) << "got: " << e;
    EXPECT_NE(e.find(c.what), std::string::npos) << "got: " << e;
  }
}

Record full_record(bool interleaved) {
  Record r;
  r.machine = {"2026-12-08 12:00:00 +0000",
               "host",
               "Some CPU",
               "6.1.0",
               "glibc 2.36",
               2u,
               2445.4,
               "yes",
               24.45,
               49};
  r.planned = 11;
  r.cpu = 1;
  r.timeout = 2.5;
  r.env = {"A=1", "B=x y"};
  r.env_inherited = {"GLIBC_TUNABLES=glibc.cpu.x86_rep_stosb_threshold=8192"};
  r.bench = "/opt/memset-bench";
  if (interleaved) {
    r.seed = 7;
    r.variants = {{"a",
                   {"A=1", "C=2"},
                   "/opt/memset-bench",
                   "__memset_x (/opt/my glibc/lib/libc.so.6+0x10)",
                   "defaults",
                   {"/opt/my glibc/lib/ld-linux-x86-64.so.2", "/opt/my glibc/lib:/opt/x",
                    "/opt/my glibc/lib/libc.so.6",
                    "GNU C Library (GNU libc) stable release version 2.36.", "93ac61ec", "copy"}},
                  {"b", {}, "/opt/other", "unknown: no probe", "glibc.cpu.hwcaps=-AVX2", {}}};
    r.same_as = {{"no_avx512", "a", "GLIBC_TUNABLES=glibc.cpu.hwcaps=-AVX512F"}};
    r.orders = {{"a", "b"}, {"b", "a"}};
    r.libraries = {{"musl", "musl-dev", "1.2.3-1"}, {"llvmlibc", "libllvmlibc-19-dev", "1:19.1.7"}};
    r.budgets = {60};
    r.min_span = 20;
    r.elapsed = 21.25;
    r.engine = Engine::Batch;
    r.random_lengths = true;
    r.landing = {Landing::kAlignRandom, 1ull << 26, "memory"};
    r.rounds = 2;
    r.looks = 1;
    r.stop = Stop::Decided;
  } else {
    r.memset = "/lib/libc.so.6+0x10";
    r.tunables = "glibc.cpu.x86_rep_stosb_threshold=0x2000";
  }
  return r;
}

void expect_same(const Record &a, const Record &b) {
  EXPECT_EQ(format_record(a), format_record(b));
  EXPECT_EQ(a.machine.tsc_step, b.machine.tsc_step);
  EXPECT_EQ(a.machine.num_cpus, b.machine.num_cpus);
  EXPECT_EQ(a.planned, b.planned);
  EXPECT_EQ(a.cpu, b.cpu);
  EXPECT_EQ(a.timeout, b.timeout);
  EXPECT_EQ(a.env, b.env);
  EXPECT_EQ(a.env_inherited, b.env_inherited);
  EXPECT_EQ(a.seed, b.seed);
  ASSERT_EQ(a.variants.size(), b.variants.size());
  for (size_t i = 0; i < a.variants.size(); i++) {
    EXPECT_EQ(a.variants[i].name, b.variants[i].name);
    EXPECT_EQ(a.variants[i].env, b.variants[i].env);
    EXPECT_EQ(a.variants[i].bench, b.variants[i].bench);
    EXPECT_EQ(a.variants[i].memset, b.variants[i].memset);
    EXPECT_EQ(a.variants[i].tunables, b.variants[i].tunables);
    const LibcRecord &x = a.variants[i].libc, &y = b.variants[i].libc;
    EXPECT_EQ(x.loader + "|" + x.library_path + "|" + x.path + "|" + x.version + "|" + x.build_id,
              y.loader + "|" + y.library_path + "|" + y.path + "|" + y.version + "|" + y.build_id);
  }
  EXPECT_EQ(a.memset, b.memset);
  EXPECT_EQ(a.tunables, b.tunables);
  ASSERT_EQ(a.same_as.size(), b.same_as.size());
  for (size_t i = 0; i < a.same_as.size(); i++)
    EXPECT_EQ(a.same_as[i].name + "|" + a.same_as[i].as + "|" + a.same_as[i].setting,
              b.same_as[i].name + "|" + b.same_as[i].as + "|" + b.same_as[i].setting);
  EXPECT_EQ(a.orders, b.orders);
  ASSERT_EQ(a.libraries.size(), b.libraries.size());
  for (size_t i = 0; i < a.libraries.size(); i++)
    EXPECT_EQ(a.libraries[i].package + " " + a.libraries[i].version,
              b.libraries[i].package + " " + b.libraries[i].version);
  EXPECT_EQ(a.budgets, b.budgets);
  EXPECT_EQ(a.min_span, b.min_span);
  EXPECT_EQ(a.elapsed, b.elapsed);
  EXPECT_EQ(a.engine, b.engine);
  EXPECT_EQ(a.random_lengths, b.random_lengths);
  EXPECT_EQ(a.landing, b.landing);
  EXPECT_EQ(a.landing.level, b.landing.level);
  EXPECT_EQ(a.rounds, b.rounds);
  EXPECT_EQ(a.looks, b.looks);
  EXPECT_EQ(a.stop, b.stop);
  EXPECT_EQ(a.unknown, b.unknown);
}

TEST(Record, PlainAndInterleavedRecordsSurviveAWriteAndARead) {
  for (bool interleaved : {false, true}) {
    Record r = full_record(interleaved);
    expect_same(parse_record(format_record(r)), r);
    // Every 64-bit seed reads back, the largest too, and so does any time
    // in seconds, however large.
    r.seed = UINT64_MAX;
    r.timeout = 60816540940424;
    r.budgets = {60, 0.25}; // a continuation's budget beside the first
    expect_same(parse_record(format_record(r)), r);
  }
  // Nothing set: the "none" words read back as nothing.
  Record none;
  none.planned = 3;
  Record back = parse_record(format_record(none));
  EXPECT_FALSE(back.cpu);
  EXPECT_FALSE(back.timeout);
  EXPECT_TRUE(back.env.empty());
  EXPECT_TRUE(back.env_inherited.empty());
}

TEST(Record, UnknownKeysAreKeptAndBadNumbersReadAsAbsent) {
  Record r = parse_record("future_key: some value\nruns: 1x\ntsc_mhz: 0x10\ntsc_step: -3\n"
                          "timeout: 5 minutes\nlater: 2\n");
  EXPECT_FALSE(r.planned);
  EXPECT_FALSE(r.machine.tsc_mhz);
  EXPECT_FALSE(r.machine.tsc_step);
  EXPECT_FALSE(r.timeout);
  ASSERT_EQ(r.unknown.size(), 2u);
  EXPECT_EQ(r.unknown[0], std::make_pair(std::string("future_key"), std::string("some value")));
  EXPECT_NE(format_record(r).find("future_key: some value\nlater: 2\n"), std::string::npos);
}

TEST(Record, ADamagedRecordIsRefusedNamingItsLine) {
  const std::string whole = format_record(full_record(true));
  ASSERT_NO_THROW(parse_record(whole));
  auto refusal = [](const std::string &text) {
    try {
      parse_record(text, "d/context.txt");
    } catch (const InputError &e) {
      return std::string(e.what());
    }
    return std::string("taken");
  };
  // Cut mid-line, as a full disk or a copy cut off leaves it.
  const std::string cut = whole.substr(0, whole.size() / 2);
  const std::string last = std::to_string(std::count(cut.begin(), cut.end(), '\n') + 1);
  EXPECT_EQ(refusal(cut),
            "d/context.txt:" + last + ": the last line has no line feed (a record cut short?)");
  // Cut at a line's end: its round orders went with the rest.
  const std::string lines = whole.substr(0, whole.rfind("order: "));
  EXPECT_NE(refusal(lines).find("rounds but "), std::string::npos) << refusal(lines);
  // A line of garbage, appended or anywhere.
  EXPECT_NE(refusal(whole + "%$#@ garbage\n").find(": not a 'key: value' line: '%$#@ garbage'"),
            std::string::npos);
  EXPECT_NE(refusal("tsc_mhz: 2000.0\nno colon here\n").find("d/context.txt:2: not a"),
            std::string::npos);
}

TEST(Record, ALineThatNamesNoVariantIsKeptNotMisread) {
  // A name with a space would be read back as another variant with the
  // rest as its bench: such lines stay as they are, and the record writes
  // the same text every time it is read.
  Record r = parse_record("variant: a\nvariant: ab a.so\nvariant_bench: x/y /b\n"
                          "variant_env: .. X=1\n");
  ASSERT_EQ(r.variants.size(), 1u);
  EXPECT_EQ(r.variants[0].name, "a");
  EXPECT_EQ(r.unknown.size(), 3u);
  std::string once = format_record(r);
  EXPECT_EQ(format_record(parse_record(once)), once);
}

TEST(Record, NoValueCanForgeALine) {
  Record r = full_record(false);
  r.bench = "/tmp/x\nenv: FORGED=1";
  r.env_inherited = {"LD_PRELOAD=a\\x0ab\rc"};
  std::string text = format_record(r);
  EXPECT_EQ(text.find("\nenv: FORGED"), std::string::npos) << text;
  Record back = parse_record(text);
  EXPECT_EQ(back.bench, r.bench);
  EXPECT_EQ(back.env_inherited, r.env_inherited);
  EXPECT_EQ(back.env, r.env);
}

TEST(Record, RunFileNamesSortAndReadBack) {
  EXPECT_EQ(run_file_name(7, 11), "run-007.txt");
  EXPECT_EQ(run_file_name(7, 12000), "run-00007.txt");
  EXPECT_EQ(run_number("run-00007.txt"), 7u);
  for (const char *other : {"run-.txt", "run-1a.txt", "run-001.txt~", "context.txt"})
    EXPECT_EQ(run_number(other), 0u) << other;
  // Rounds past the names' width still list in their order.
  std::string dir = testing::TempDir() + "/runs-in-order";
  std::filesystem::create_directories(dir);
  for (unsigned n : {999u, 1000u, 101u, 2u})
    std::ofstream(dir + "/" + run_file_name(n, 0)) << "x";
  EXPECT_EQ(run_files_in(dir), (std::vector<std::string>{"run-002.txt", "run-101.txt",
                                                         "run-999.txt", "run-1000.txt"}));
  std::filesystem::remove_all(dir);
}

TEST(Record, AReplayAndAProgramCampaignSurviveAWriteAndARead) {
  Record replay = full_record(true);
  replay.engine = Engine::Batch;
  replay.random_lengths = false;
  replay.replay = "/captures/python3 run.txt";
  replay.replay_format = "plain";
  replay.replay_calls = 38420;
  Record back = parse_record(format_record(replay));
  EXPECT_EQ(back.replay, replay.replay);
  EXPECT_EQ(back.replay_format, "plain");
  EXPECT_EQ(back.replay_calls, 38420u);
  EXPECT_FALSE(back.random_lengths);
  EXPECT_EQ(format_record(back), format_record(replay));
  // A command's words, spaces, quotes and a line feed in them, one by one.
  Record program = full_record(true);
  program.program = {"/usr/bin/python3", "-c", "print('a b')\nprint(1)", "", "none"};
  program.keep_output = true;
  back = parse_record(format_record(program));
  EXPECT_EQ(back.program, program.program);
  EXPECT_TRUE(back.keep_output);
  EXPECT_EQ(format_record(back), format_record(program));
  // Neither: no such lines at all.
  std::string plain = format_record(full_record(false));
  EXPECT_EQ(plain.find("replay"), std::string::npos);
  EXPECT_EQ(plain.find("program"), std::string::npos);
}

// What the summary calls the same code: one build's memset at one offset,
// wherever its library lies and however it was started, under settings
// that differ in some way.
TEST(Sets, TheSameCodeIsOneBuildAtOneOffsetUnderOtherSettings) {
  Set base, copy;
  base.memset = "__memset_avx512_unaligned_erms (/lib/libc.so.6+0x16e040)";
  base.tunables = copy.tunables = "defaults";
  base.libc = {"", "", "/lib/libc.so.6", "GNU C Library", "93ac", ""};
  copy.memset = "__memset_avx512_unaligned_erms (/tmp/x/libc.so.6+0x16e040)";
  copy.libc = {"/tmp/x/ld.so", "/tmp/x", "/tmp/x/libc.so.6", "GNU C Library", "93ac", "copy"};
  EXPECT_TRUE(same_code_of(base, copy)) << "a copy of the system's library";
  Set rebuilt = copy;
  rebuilt.libc.build_id = "5d01";
  EXPECT_FALSE(same_code_of(base, rebuilt)) << "another build at the same offset";
  Set elsewhere = copy;
  elsewhere.memset = "__memset_avx512_unaligned_erms (/tmp/x/libc.so.6+0x16e080)";
  EXPECT_FALSE(same_code_of(base, elsewhere));
  EXPECT_FALSE(same_code_of(base, base)) << "the same settings: nothing differs";
  Set tuned = base;
  tuned.env = {"GLIBC_TUNABLES=glibc.cpu.hwcaps=-AVX2"};
  EXPECT_TRUE(same_code_of(base, tuned)) << "a setting that changed nothing";
  tuned.tunables = "glibc.cpu.x86_rep_stosb_threshold=8192";
  EXPECT_FALSE(same_code_of(base, tuned));
  Set unknown = copy;
  unknown.memset = "unknown: the probe did not start";
  EXPECT_FALSE(same_code_of(base, unknown));
}

TEST(ProgramFile, ReadsBackWhatItWritesAndRefusesAnythingElse) {
  ProgramRun run{412345, 405012};
  const std::string good = program_text(run);
  EXPECT_TRUE(is_program_text(good));
  ProgramRun back = parse_program(good, "p.txt");
  EXPECT_EQ(back.wall_us, 412345u);
  EXPECT_EQ(back.cpu_us, 405012u);
  auto refusal = [](const std::string &text) {
    try {
      parse_program(text, "p.txt");
    } catch (const InputError &e) {
      return std::string(e.what());
    }
    return std::string();
  };
  struct Case {
    std::string text, want;
  } cases[] = {
      {"", "p.txt: empty file"},
      {"# memset-program 2\nwall_us: 1\ncpu_us: 1\n", "p.txt:1: not a program run"},
      {"# memset-program 1\nwall_us: 01\ncpu_us: 1\n", "p.txt:2: expected 'wall_us: "},
      {"# memset-program 1\nwall_us: -1\ncpu_us: 1\n", "p.txt:2:"},
      {"# memset-program 1\ncpu_us: 1\nwall_us: 1\n", "p.txt:2: expected 'wall_us: "},
      {"# memset-program 1\nwall_us: 1\ncpu_us: 1", "p.txt:3: the last line has no line feed"},
      {"# memset-program 1\nwall_us: 1\n", "p.txt: cut short after line 2"},
      {good + "x\n", "p.txt:4: more than"},
      {good + std::string(300, '1'), "more than 256 bytes"},
  };
  for (const auto &c : cases)
    EXPECT_NE(refusal(c.text).find(c.want), std::string::npos)
        << c.want << " -> " << refusal(c.text);
}

TEST(Replay, TheMixHoldsTheCallsOfEveryLengthItCanTime) {
  Weights w = parse_weights("0 5\n1 3\n64 1000\n300 7\n40000 2\n", "w.txt", WeightsFormat::Plain);
  mix_format::Mix mix = mix_of(w, "w.txt");
  // Calls of 1 byte are replayed (no binding in a replay's figure); of 0
  // bytes and above 32768 they are not.
  EXPECT_EQ(mix, (mix_format::Mix{{1, 3}, {64, 1000}, {300, 7}}));
  // A histogram's buckets, spread in fractions over their lengths, keep
  // their proportions in whole calls.
  Weights f = parse_weights("@h: \n[2, 4)       3 |@@@    |\n[4, 8)       1 |@      |\n", "f.txt",
                            WeightsFormat::Hist);
  mix = mix_of(f, "f.txt");
  ASSERT_EQ(mix.size(), 6u);
  EXPECT_EQ(mix[0].first, 2u);
  EXPECT_NEAR((double)mix[0].second / (double)mix[5].second, 6.0, 1e-6); // 1.5 against 0.25
  EXPECT_EQ(mix_format::mix_text(mix).rfind("# memset-mix 1\n2 ", 0), 0u);
  // Nothing to replay: said, naming the file.
  Weights only_long = parse_weights("2 1\n", "l.txt", WeightsFormat::Plain);
  only_long.at[1] = 0;
  try {
    mix_of(only_long, "l.txt");
    ADD_FAILURE() << "an empty mix was taken";
  } catch (const InputError &e) {
    EXPECT_NE(std::string(e.what()).find("l.txt: no calls of 1 to 32768 bytes"), std::string::npos);
  }
}

} // namespace

namespace {

TEST(Fleet, HostsFileLoginsBecomePlainFolderNames) {
  const auto hosts = read_hosts("# the fleet\nalpha\nuser@beta.example\n4/gamma\n"
                                "ssh -p 2222 root@delta\n:\n\n  alpha  \nx/../y\n",
                                "hosts");
  std::vector<std::string> folders;
  for (const auto &h : hosts)
    folders.push_back(h.folder);
  EXPECT_EQ(folders, (std::vector<std::string>{"alpha", "beta.example", "gamma", "delta", "local",
                                               "alpha-2", "x_.._y"}));
  EXPECT_EQ(hosts[3].login, "ssh -p 2222 root@delta") << "the login goes to parallel as written";
  EXPECT_THROW(read_hosts("alpha\n@group/beta\n", "hosts"), InputError);
  EXPECT_THROW(read_hosts("# nothing\n\n", "hosts"), InputError);
  EXPECT_THROW(read_hosts("user@\n", "hosts"), InputError);
  // Words before the host are the ssh command GNU parallel runs: "my host" names none.
  EXPECT_THROW(read_hosts("space host\n", "hosts"), InputError);
}

TEST(Fleet, TheRecordReadsBackAsWrittenAndRefusesWhatItCannotBe) {
  FleetRecord r;
  r.campaign = {"program", "--variant", "a b", "--env", "X=it's", "--", "sh", "-c", "echo \\ $1"};
  r.version = "1.0.0+abc";
  r.date = "2026-12-10T08:00:00Z";
  r.hosts = {{"alpha", "user@alpha", HostState::Ok, ""},
             {"zen3-a", "4/zen3-a", HostState::Unreachable, "ssh: connect: refused\tthere"}};
  const FleetRecord back = parse_fleet(format_fleet(r), "fleet.txt");
  EXPECT_EQ(back.campaign, r.campaign);
  ASSERT_EQ(back.hosts.size(), 2u);
  EXPECT_EQ(back.hosts[1].state, HostState::Unreachable);
  EXPECT_EQ(back.hosts[1].why, r.hosts[1].why);
  EXPECT_EQ(back.hosts[0].login, "user@alpha");
  const std::string ok = format_fleet(r);
  for (const std::string &bad :
       {std::string("campaign: run\n"), ok + "host: ../x ok x\n", ok + "host: alpha ok again\n",
        ok + "host: new bored x\n", ok + "why: nobody says\n"})
    EXPECT_THROW(parse_fleet(bad, "fleet.txt"), InputError) << bad;
}

} // namespace
