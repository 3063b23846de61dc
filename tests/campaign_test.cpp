// The campaign's pure parts: the counter's step, the preload check's reading
// of the loader's bindings, and the variants tune runs.

#include "report/campaign/binding.hpp"
#include "report/campaign/fleet.hpp"
#include "report/campaign/machine.hpp"
#include "report/campaign/preload.hpp"
#include "report/campaign/settings.hpp"
#include "report/campaign/variants.hpp"

#include <fstream>

#include <gtest/gtest.h>

#include <cmath>
#include <random>

using namespace report;

namespace {

TEST(Resolution, StepOfACoarseCounterAndOfAFineOne) {
  std::mt19937 rng(5);
  std::vector<uint64_t> coarse, fine, fixed_cost;
  for (int i = 0; i < 4000; i++) {
    // Back to back: 27 nearly always, a late reading as 26 + 28 or 1, a rare
    // interrupt as a far multiple; with work, multiples of 27.
    int u = (int)(rng() % 100);
    coarse.push_back(u < 3 ? 26 : u < 4 ? 1 : u < 5 ? 27 * 40 : 27);
    coarse.push_back(27 * (1 + rng() % 4));
    // A counter that moves every tick: readings cost about 20, work spreads them.
    fine.push_back(18 + rng() % 5);
    fine.push_back(20 + rng() % 300 + (u == 0 ? 5000 : 0));
    // It also costs exactly 20 to read every time; only the work shows the step.
    fixed_cost.push_back(20);
    fixed_cost.push_back(20 + rng() % 300);
  }
  EXPECT_DOUBLE_EQ(estimate_step(coarse), 27.0);
  EXPECT_DOUBLE_EQ(estimate_step(fine), 1.0);
  EXPECT_DOUBLE_EQ(estimate_step(fixed_cost), 1.0);
}

// Readings of a counter that moves every `step` ticks (not always a whole
// number) and is read as whole ticks, around work of varying length.
std::vector<uint64_t> readings(double step, unsigned seed) {
  std::mt19937 rng(seed);
  std::uniform_real_distribution<double> phase(0, 1e6);
  std::vector<uint64_t> diffs;
  auto read = [&](double t) { return (uint64_t)(std::floor(std::floor(t / step) * step)); };
  for (int i = 0; i < 4000; i++) {
    double t = phase(rng), work = (double)(rng() % 300);
    diffs.push_back(read(t + 20 + work) - read(t));
  }
  return diffs;
}

TEST(Resolution, StepsThatAreNotWholeNumbersAreFoundToTheHundredth) {
  EXPECT_NEAR(estimate_step(readings(24.45, 1)), 24.45, 0.011);
  EXPECT_NEAR(estimate_step(readings(27, 2)), 27, 0.011);
  EXPECT_EQ(estimate_step(readings(2, 4)), 2.0);
  EXPECT_EQ(estimate_step(readings(1, 3)), 1.0);
}

TEST(Preload, BindingsAreReadAsWhoAskedAndWhoAnswered) {
  auto b = memset_bindings(
      "     15645:\tbinding file build/memset-bench [0] to /x/libmemset-musl.so [0]: normal symbol "
      "`memset' [GLIBC_2.2.5]\n"
      "     15645:\tbinding file /x/libwrap.so [0] to /lib/libc.so.6 [0]: normal symbol `memset'\n"
      "     15645:\tbinding file bash [0] to /lib/libc.so.6 [0]: normal symbol `memcpy'\n");
  ASSERT_EQ(b.size(), 2u);
  EXPECT_EQ(b[0].from, "build/memset-bench");
  EXPECT_EQ(b[0].to, "/x/libmemset-musl.so");
  EXPECT_EQ(b[1].from, "/x/libwrap.so");
  EXPECT_EQ(b[1].to, "/lib/libc.so.6");
  EXPECT_EQ(preload_entries(" /a.so:/b.so  /c.so"),
            (std::vector<std::string>{"/a.so", "/b.so", "/c.so"}));
}

TEST(Tune, OnlyGlibcWithTheTunableCanBeTuned) {
  EXPECT_NO_THROW(check_tunable_libc("glibc 2.36"));
  for (const char *libc : {"musl 1.2.4", "", "glibc 2.31"})
    EXPECT_THROW(check_tunable_libc(libc), NoTunables) << libc;
  // Masks are offered for the features this processor has, and no others.
  auto v = tune_variants({"avx2", "erms"});
  std::vector<std::string> names;
  for (const auto &x : v)
    names.push_back(x.name);
  EXPECT_EQ(names, (std::vector<std::string>{"default", "stosb_always", "stosb_never", "no_avx2",
                                             "sse2_no_erms", "no_erms"}));
}

// As glibc 2.36's loader lists them, shortened: numbers with bounds, text
// tunables set and unset.
const char *kListing =
    "glibc.malloc.perturb: 0 (min: 0, max: 255)\n"
    "glibc.cpu.x86_rep_stosb_threshold: 0x2000 (min: 0x1, max: 0xffffffffffffffff)\n"
    "glibc.cpu.x86_ibt:\n"
    "glibc.cpu.hwcaps: -AVX512F,-AVX512VL\n"
    "not a tunable line\n";

TEST(Binding, TheLoadersListingAndWhatWasAskedOfIt) {
  Tunables t = parse_tunables(kListing);
  ASSERT_EQ(t.size(), 4u);
  EXPECT_EQ(t["glibc.malloc.perturb"], "0");
  EXPECT_EQ(t["glibc.cpu.x86_rep_stosb_threshold"], "0x2000");
  EXPECT_EQ(t["glibc.cpu.x86_ibt"], "");
  EXPECT_EQ(t["glibc.cpu.hwcaps"], "-AVX512F,-AVX512VL");
  auto asked = requested_tunables(
      {"A=1", "GLIBC_TUNABLES=glibc.cpu.x86_rep_stosb_threshold=8192::glibc.cpu.hwcaps=-AVX2"});
  ASSERT_EQ(asked.size(), 2u);
  EXPECT_EQ(asked[0],
            std::make_pair(std::string("glibc.cpu.x86_rep_stosb_threshold"), std::string("8192")));
  EXPECT_EQ(asked[1].second, "-AVX2");
  // Taken: the same number however written, or the same text.
  EXPECT_TRUE(value_taken("8192", "0x2000"));
  EXPECT_FALSE(value_taken("0", "0x800"));
  EXPECT_FALSE(value_taken("-8192", "0x2000"));
  EXPECT_TRUE(value_taken("-AVX512F", "-AVX512F"));
  EXPECT_FALSE(value_taken("-AVX512F", ""));
  Tunables defaults = parse_tunables("glibc.cpu.x86_rep_stosb_threshold: 0x800\nglibc.cpu.hwcaps:\n"
                                     "glibc.malloc.perturb: 0\nglibc.cpu.x86_ibt:\n");
  EXPECT_EQ(tunables_text(t, defaults),
            "glibc.cpu.hwcaps=-AVX512F,-AVX512VL,glibc.cpu.x86_rep_stosb_threshold=0x2000");
  EXPECT_EQ(tunables_text(defaults, defaults), "defaults");
}

TEST(Binding, TheProbesAnswerAndTheSymbolAtItsOffset) {
  auto code = parse_probe("object: /lib/libc.so.6\noffset: 0x16e040\nbuild_id: 93ac\n");
  ASSERT_TRUE(code);
  EXPECT_EQ(code->object, "/lib/libc.so.6");
  EXPECT_EQ(code->build_id, "93ac");
  EXPECT_FALSE(parse_probe("object: /lib/libc.so.6\noffset: 16e040\n"));
  EXPECT_FALSE(parse_probe(""));
  std::string nm = "000000000016e000 t __memset_avx512_unaligned\n"
                   "000000000016e040 t __memset_avx512_unaligned_erms\n"
                   "000000000016e040 d not_code\n";
  EXPECT_EQ(symbol_at(nm, "0x16e040"), "__memset_avx512_unaligned_erms");
  EXPECT_EQ(symbol_at(nm, "0x16e041"), "");
  code->symbol = symbol_at(nm, code->offset);
  EXPECT_EQ(code->text(), "__memset_avx512_unaligned_erms (/lib/libc.so.6+0x16e040)");
}

// A machine where masking AVX-512 changes nothing: its memset is the AVX2
// one either way, and the mask itself is no tunable that steers the code.
Measured fake_machine(const Launch &launch) {
  const std::vector<std::string> env = launch.environment();
  Measured m;
  m.memset = MemsetCode{"/lib/libc.so.6", "0x100", "", "__memset_avx2_unaligned_erms"};
  m.tunables = parse_tunables("glibc.cpu.x86_rep_stosb_threshold: 0x800\nglibc.cpu.hwcaps:\n");
  for (const auto &e : env) {
    if (e.find("hwcaps=-AVX512F") != std::string::npos)
      (*m.tunables)["glibc.cpu.hwcaps"] = "-AVX512F";
    if (e.find("hwcaps=-AVX512F,-AVX512VL,-AVX2") != std::string::npos)
      m.memset->offset = "0x200"; // SSE2
    if (auto at = e.find("threshold="); at != std::string::npos)
      (*m.tunables)["glibc.cpu.x86_rep_stosb_threshold"] = e.substr(at + 10);
  }
  return m;
}

TEST(Binding, VariantsThatRunTheSameCodeAreMeasuredOnce) {
  CampaignOptions c;
  c.out = "t";
  for (const auto &v : tune_variants({"avx512f", "avx512vl", "avx2"}))
    c.variants.push_back({v.name, v.env, std::nullopt, std::nullopt});
  std::vector<SameAs> same = measure_once(c, fake_machine);
  std::vector<std::string> kept;
  for (const auto &v : c.variants)
    kept.push_back(v.name);
  // no_avx512 and no_evex bind what default binds; no_avx2 goes to SSE2.
  EXPECT_EQ(kept, (std::vector<std::string>{"default", "stosb_always", "stosb_never", "no_avx2"}));
  ASSERT_EQ(same.size(), 2u);
  EXPECT_EQ(same[0].name, "no_avx512");
  EXPECT_EQ(same[0].as, "default");
  EXPECT_EQ(same[0].setting, "GLIBC_TUNABLES=glibc.cpu.hwcaps=-AVX512F");
  EXPECT_EQ(same[1].name, "no_evex");
  // Where nothing can be learned, nothing is merged.
  CampaignOptions d = c;
  d.variants.push_back({"twin", {}, std::nullopt, std::nullopt});
  EXPECT_TRUE(measure_once(d, [](const Launch &) { return Measured{}; }).empty());
  EXPECT_EQ(d.variants.size(), c.variants.size() + 1);
}

TEST(Launch, OneVariantIsStartedOneWayForEveryCommandOfIt) {
  // The variant's own settings replace the campaign's of the same name, and
  // this tool's environment is under both; glibc's defaults are measured
  // without any GLIBC_TUNABLES, inherited ones included.
  setenv("GLIBC_TUNABLES", "glibc.cpu.x86_rep_stosb_threshold=4096", 1);
  setenv("MEMSET_TEST_INHERITED", "yes", 1);
  Launch l({"A=common", "LD_PRELOAD=/x.so"}, {"A=own", "GLIBC_TUNABLES=glibc.cpu.hwcaps=-AVX2"});
  EXPECT_EQ(l.settings(), (std::vector<std::string>{"LD_PRELOAD=/x.so", "A=own",
                                                    "GLIBC_TUNABLES=glibc.cpu.hwcaps=-AVX2"}));
  EXPECT_TRUE(l.preloads());
  EXPECT_EQ(l.tunables_entry(), "GLIBC_TUNABLES=glibc.cpu.hwcaps=-AVX2");
  auto has = [](const std::vector<std::string> &env, const std::string &e) {
    return std::find(env.begin(), env.end(), e) != env.end();
  };
  Command probe = l.command({"memset-probe"});
  ASSERT_TRUE(probe.env);
  EXPECT_EQ(probe.argv, (std::vector<std::string>{"memset-probe"}));
  EXPECT_TRUE(has(*probe.env, "MEMSET_TEST_INHERITED=yes"));
  EXPECT_TRUE(has(*probe.env, "GLIBC_TUNABLES=glibc.cpu.hwcaps=-AVX2"));
  EXPECT_FALSE(has(*probe.env, "GLIBC_TUNABLES=glibc.cpu.x86_rep_stosb_threshold=4096"));
  EXPECT_EQ(l.command({"prog"}, true).env, probe.env) << "a program runs as the probe does";
  EXPECT_EQ(l.without_tunables().tunables_entry(), "");
  EXPECT_TRUE(has(l.without_tunables().environment(),
                  "GLIBC_TUNABLES=glibc.cpu.x86_rep_stosb_threshold=4096"));
  for (const auto &e : Launch::glibc_defaults().environment())
    EXPECT_NE(e.rfind("GLIBC_TUNABLES=", 0), 0u) << e;
  unsetenv("GLIBC_TUNABLES");
  unsetenv("MEMSET_TEST_INHERITED");
}

TEST(Launch, AVariantsOwnLibraryStartsEachOfItsProgramsAsAProgramIsStarted) {
  // A campaign from before copies goes on through the loader, as it began.
  LibcTree old{"/b/elf/ld.so", {"/b", "/b/math"}};
  old.start = LibcTree::Start::Loader;
  Launch l({"A=1"}, {}, old);
  EXPECT_EQ(l.loader(), "/b/elf/ld.so");
  Command probe = l.command({"/bin/memset-probe"});
  EXPECT_EQ(probe.argv, (std::vector<std::string>{"/b/elf/ld.so", "--library-path", "/b:/b/math",
                                                  "/bin/memset-probe"}));
  // The loader takes a path: a command named bare is looked up first.
  Command prog = l.command({"sh", "-c", "true"}, true);
  EXPECT_FALSE(prog.search_path);
  ASSERT_GE(prog.argv.size(), 4u);
  EXPECT_EQ(prog.argv[3].front(), '/') << prog.argv[3];
  // Its tunables are its own loader's, listed by that loader itself.
  EXPECT_EQ(l.loader_command({"--list-tunables"}).argv,
            (std::vector<std::string>{"/b/elf/ld.so", "--list-tunables"}));
  EXPECT_EQ(Launch::glibc_defaults(old).loader(), "/b/elf/ld.so");
  EXPECT_EQ(l.without_tunables().libc(), std::optional<LibcTree>(old));
  EXPECT_NE(l, Launch({"A=1"})) << "another library is another variant";

  // A new one starts a copy that names the library, directly: the command
  // is the program's own words, and the copy runs.
  LibcTree system{"/lib64/ld-linux-x86-64.so.2", {"/lib/x86_64-linux-gnu"}};
  Launch own({}, {}, system);
  Command sh = own.command({"sh", "-c", "exit 3"}, true);
  ASSERT_FALSE(sh.file.empty());
  EXPECT_NE(sh.file, sh.argv[0]);
  EXPECT_EQ(sh.argv[0], find_program("sh").value());
  EXPECT_EQ(own.command({sh.argv[0]}).file, sh.file) << "one copy a program";
  SignalScope signals;
  Outcome out = run_program(sh);
  EXPECT_EQ(out.kind, Outcome::Exited);
  EXPECT_EQ(out.code, 3);
  // A program that names no loader cannot be started so.
  const std::string script = testing::TempDir() + "memset-report-script.sh";
  std::ofstream(script) << "#!/bin/sh\nexit 0\n";
  EXPECT_THROW(started_copy(script, system), RunFailed);
}

TEST(Binding, TheSameCodeAcrossLibrariesIsTheSameBuildAtTheSameOffset) {
  MemsetCode system{"/lib/libc.so.6", "0x100", "93ac", ""},
      copy{"/tmp/lib/libc.so.6", "0x100", "93ac", ""};
  MemsetCode rebuilt{"/tmp/lib/libc.so.6", "0x100", "5d01", ""};
  EXPECT_TRUE(system.same_code(copy)) << "a copy is the same bytes";
  EXPECT_FALSE(copy.same_code(rebuilt)) << "a rebuild at the same path is not";
  EXPECT_FALSE(system.same_code(MemsetCode{"/lib/libc.so.6", "0x140", "93ac", ""}));
  // Without a build ID the path stands in.
  EXPECT_TRUE(MemsetCode({"/x.so", "0x10", "", ""}).same_code({"/x.so", "0x10", "", ""}));
  EXPECT_FALSE(MemsetCode({"/x.so", "0x10", "", ""}).same_code({"/y.so", "0x10", "", ""}));
  auto libc = parse_probe_libc("object: /b/libc.so\noffset: 0x10\nlibc: /b/libc.so.6\n"
                               "libc_version: GNU C Library (GNU libc) stable release version "
                               "2.36.\nlibc_build_id: 5d01\n");
  ASSERT_TRUE(libc);
  EXPECT_EQ(libc->path, "/b/libc.so.6");
  EXPECT_EQ(libc->build_id, "5d01");
  EXPECT_FALSE(parse_probe_libc("object: /b/libc.so\noffset: 0x10\n"));
  EXPECT_TRUE(same_release("ld.so (GNU libc) stable release version 2.36.", libc->version));
  EXPECT_FALSE(same_release("ld.so (Debian GLIBC 2.36-9+deb12u14) stable release version 2.36.",
                            libc->version));
}

TEST(LibcTree, TheLibraryPathABuildTreesScriptGives) {
  // As glibc's Makefile writes testrun.sh.
  std::string script = "#!/bin/bash\nbuilddir=`dirname \"$0\"`\n"
                       "    exec   env GCONV_PATH=\"${builddir}\"/iconvdata LC_ALL=C  "
                       "\"${builddir}\"/elf/ld-linux-x86-64.so.2 --library-path "
                       "\"${builddir}\":\"${builddir}\"/math:\"${builddir}\"/elf ${1+\"$@\"}\n";
  EXPECT_EQ(testrun_library_path(script, "/src/build"),
            (std::vector<std::string>{"/src/build", "/src/build/math", "/src/build/elf"}));
  EXPECT_TRUE(testrun_library_path("#!/bin/sh\nexec \"$@\"\n", "/b").empty());
  EXPECT_EQ(libc_tree_of("/b/elf/ld.so", "/b:/b/math", "").dirs,
            (std::vector<std::string>{"/b", "/b/math"}));
}

TEST(Machine, ACacheLevelStandsForARegionOfTheMachinesOwnSizes) {
  const std::map<int, uint64_t> caches = {{1, 48 << 10}, {2, 2 << 20}, {3, 480ull << 20}};
  EXPECT_EQ(level_footprint("L1", caches), 32768u) << "never less than the largest fill";
  EXPECT_EQ(level_footprint("L2", caches), 1u << 20);
  EXPECT_EQ(level_footprint("LLC", caches), 240ull << 20);
  EXPECT_EQ(level_footprint("memory", caches), 960ull << 20);
  EXPECT_EQ(level_footprint("memory", {{1, 32 << 10}}), 64ull << 20) << "at least 64 MiB";
  EXPECT_EQ(level_footprint("LLC", {{1, 32 << 10}, {2, 1 << 20}}), 512u << 10);
  EXPECT_THROW(level_footprint("L2", {{1, 32 << 10}}), UsageError);
  EXPECT_THROW(level_footprint("LLC", {}), UsageError);
}

} // namespace

namespace {

TEST(Fleet, EachHostsEndIsReadFromParallelsJobLog) {
  // As GNU parallel 20221122 writes it: its header, tab-separated fields,
  // the command last with the host's folder as its last word.
  const std::string log =
      "Seq\tHost\tStarttime\tJobRuntime\tSend\tReceive\tExitval\tSignal\tCommand\n"
      "1\talpha\t1796887544.455\t2.243\t0\t259\t0\t0\tsh -c 'v=$(x); exec y' alpha\n"
      "3\tclosed\t1796887544.460\t0.012\t0\t0\t255\t0\tsh -c 'v=$(x); exec y' 'closed'\n"
      "2\tbeta\t1796887544.453\t2.484\t0\t0\t96\t0\tsh -c 'v=$(x)' beta\n"
      "4\tdelta\tnot a line\n";
  const auto ends = read_joblog(log);
  ASSERT_EQ(ends.size(), 3u);
  EXPECT_EQ(ends[0].first, "alpha");
  EXPECT_EQ(ends[1].first, "closed") << "its quotes taken off";
  EXPECT_EQ(ends[1].second.exit, kSshFailed);
  EXPECT_TRUE(read_joblog("not a job log\n1\talpha\n").empty());
  // Each end as a state: what the host, ssh or the fleet saw.
  auto state = [](int exit, int sig, bool whole, bool interrupted = false) {
    const JobEnd e{exit, sig};
    return host_state(&e, whole, interrupted);
  };
  EXPECT_EQ(state(0, 0, true), HostState::Ok);
  EXPECT_EQ(state(0, 0, false), HostState::NotBack);
  EXPECT_EQ(state(kSshFailed, 0, false), HostState::Unreachable);
  EXPECT_EQ(state(kRemoteMissing, 0, false), HostState::Missing);
  EXPECT_EQ(state(kRemoteOtherVersion, 0, false), HostState::Version);
  EXPECT_EQ(state(130, 0, true), HostState::Interrupted) << "the campaign's own SIGINT status";
  EXPECT_EQ(state(0, 15, false), HostState::Interrupted) << "killed";
  EXPECT_EQ(state(4, 0, true), HostState::Failed);
  EXPECT_EQ(host_state(nullptr, false, true), HostState::Interrupted);
  EXPECT_EQ(host_state(nullptr, false, false), HostState::Failed);
}

} // namespace
