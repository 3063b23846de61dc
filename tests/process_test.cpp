// Starting programs: how each way of ending reaches the outcome, the time
// limit, the gentle stop, what the child is given, and its CPU time.

#include "report/sys/process.hpp"

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <sstream>
#include <unistd.h>

using namespace report;

namespace {

Outcome sh(const std::string &script, double timeout = 0, double stop_after = 0) {
  SignalScope scope;
  Command c;
  c.argv = {"/bin/sh", "-c", script};
  c.timeout = timeout;
  c.stop_after = stop_after;
  return run_program(c);
}

double seconds_of(const std::function<void()> &f) {
  auto start = std::chrono::steady_clock::now();
  f();
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

TEST(Process, EachWayOfEndingIsTold) {
  // Outside a SignalScope nothing is started: its interrupts would kill us.
  EXPECT_THROW(
      [] {
        Command c;
        c.argv = {"/bin/true"};
        run_program(c);
      }(),
      std::exception);
  Outcome ok = sh("exit 0"), three = sh("exit 3"), killed = sh("kill -SEGV $$");
  EXPECT_TRUE(ok.ok());
  EXPECT_EQ(three.kind, Outcome::Exited);
  EXPECT_EQ(three.code, 3);
  EXPECT_EQ(three.describe(), "exit status 3");
  EXPECT_FALSE(three.ok());
  EXPECT_EQ(killed.kind, Outcome::Signaled);
  EXPECT_EQ(killed.code, SIGSEGV);
  SignalScope scope;
  Command missing;
  missing.argv = {"/nonexistent/program"};
  Outcome none = run_program(missing);
  EXPECT_EQ(none.kind, Outcome::NotStarted);
  EXPECT_EQ(none.code, ENOENT);
  EXPECT_NE(none.describe().find("cannot start: "), std::string::npos) << none.describe();
}

TEST(Process, ATimeLimitKillsAndAGentleStopEndsTheChildAsExpected) {
  Outcome late;
  double took = seconds_of([&] { late = sh("sleep 30", 0.2); });
  EXPECT_EQ(late.kind, Outcome::TimedOut);
  EXPECT_LT(took, 10);
  // Asked to end after 0.2 s: SIGINT ends the shell's sleep, as expected.
  Outcome stopped;
  took = seconds_of([&] { stopped = sh("sleep 30", 0, 0.2); });
  EXPECT_TRUE(stopped.stopped);
  EXPECT_NE(stopped.kind, Outcome::TimedOut);
  EXPECT_LT(took, 20);
}

TEST(Process, TheChildGetsItsEnvironmentItsOutputFileAndNoTerminal) {
  char dir[] = "/tmp/process_test.XXXXXX";
  ASSERT_NE(mkdtemp(dir), nullptr);
  std::string out = std::string(dir) + "/out";
  std::ofstream(out).close();
  SignalScope scope;
  Command c;
  c.argv = {"/bin/sh", "-c", "echo \"$ONLY_THIS:$HOME\"; cat"};
  c.env = std::vector<std::string>{"ONLY_THIS=1"};
  c.stdout_path = out;
  ASSERT_TRUE(run_program(c).ok());
  std::stringstream got;
  got << std::ifstream(out).rdbuf();
  EXPECT_EQ(got.str(), "1:\n"); // no inherited HOME; standard input empty
  std::remove(out.c_str());
  rmdir(dir);
}

TEST(Process, TheChildsCpuTimeIsItsOwnAndItsChildrens) {
  // A busy child of a child: its time reaches the outcome through wait4.
  Outcome o = sh("/bin/sh -c 'i=0; while [ $i -lt 300000 ]; do i=$((i+1)); done'");
  ASSERT_TRUE(o.ok());
  EXPECT_GT(o.cpu_seconds, 0.01);
  EXPECT_LT(sh("exit 0").cpu_seconds, o.cpu_seconds);
}

TEST(Process, TheChildsWallTimeAndItsErrorsGoWhereAsked) {
  char dir[] = "/tmp/process_test.XXXXXX";
  ASSERT_NE(mkdtemp(dir), nullptr);
  std::string err = std::string(dir) + "/err";
  std::ofstream(err).close();
  SignalScope scope;
  Command c;
  c.argv = {"/bin/sh", "-c", "sleep 0.2; echo oops >&2"};
  c.stdout_path = "/dev/null";
  c.stderr_path = err;
  Outcome o = run_program(c);
  ASSERT_TRUE(o.ok());
  // Asleep, it used little CPU, but its wall-clock time is the sleep's.
  EXPECT_GE(o.wall_seconds, 0.2);
  EXPECT_LT(o.wall_seconds, 5);
  EXPECT_LT(o.cpu_seconds, o.wall_seconds);
  std::stringstream got;
  got << std::ifstream(err).rdbuf();
  EXPECT_EQ(got.str(), "oops\n");
  std::remove(err.c_str());
  rmdir(dir);
}

} // namespace
