// Starting a program, waiting for it with a time limit, and stopping it when
// this tool is interrupted: the one place where memset-report runs programs.

#include "report/sys/process.hpp"

#include "report/sys/clock.hpp"
#include "report/sys/errors.hpp"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <sched.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <utility>

extern char **environ;

namespace report {

namespace {

sigset_t g_saved_mask;         // the mask before the scope, restored in children
struct sigaction g_saved_chld; // SIGCHLD's action before the scope
int g_scopes = 0;
int g_interrupt = 0; // a signal taken by a wait but not yet reported

sigset_t held_signals() {
  sigset_t s;
  sigemptyset(&s);
  for (int sig : kStopSignals)
    sigaddset(&s, sig);
  sigaddset(&s, SIGCHLD);
  return s;
}

// Waits for `pid` to end; true with its status, or false when `seconds`
// passed first (seconds < 0: no limit). A stop signal that arrives
// meanwhile is kept in g_interrupt and ends the wait.
bool wait_for(pid_t pid, int &status, double seconds, rusage *usage = nullptr) {
  sigset_t held = held_signals();
  double deadline = seconds < 0 ? 0 : now_seconds() + seconds;
  for (;;) {
    pid_t got = wait4(pid, &status, WNOHANG, usage);
    if (got == pid)
      return true;
    if (got < 0 && errno != EINTR)
      throw SystemError(os_error("wait for a child process", errno));
    if (g_interrupt)
      return false;
    timespec limit = {1, 0};
    if (seconds >= 0) {
      double left = deadline - now_seconds();
      if (left <= 0)
        return false;
      left = std::min(left, 1.0);
      limit.tv_sec = (time_t)left;
      limit.tv_nsec = (long)((left - (double)limit.tv_sec) * 1e9);
    }
    int sig = sigtimedwait(&held, nullptr, &limit);
    if (sig > 0 && sig != SIGCHLD)
      g_interrupt = sig;
  }
}

// Ends a child that must not go on: politely, then for certain; `usage`
// gets what it used, as for a child that ended by itself.
void stop(pid_t pid, rusage *usage = nullptr) {
  int status;
  // The child leads its own process group: whatever it started goes too.
  kill(-pid, SIGTERM);
  int pending = g_interrupt;
  g_interrupt = 0;
  if (!wait_for(pid, status, 2.0, usage)) {
    kill(-pid, SIGKILL);
    while (wait4(pid, &status, 0, usage) < 0 && errno == EINTR) {
    }
  }
  g_interrupt = pending ? pending : g_interrupt;
}

// Asks a child that would run on (a server) to end as a terminal would:
// SIGINT to its group, then SIGTERM, 5 s apart, then SIGKILL. False if this
// tool was interrupted meanwhile.
bool stop_gently(pid_t pid, int &status, rusage *usage) {
  for (int sig : {SIGINT, SIGTERM, SIGKILL}) {
    kill(-pid, sig);
    if (wait_for(pid, status, sig == SIGKILL ? -1 : 5.0, usage))
      return true;
    if (g_interrupt)
      return false;
  }
  return false;
}

} // namespace

SignalScope::SignalScope() {
  if (g_scopes++ > 0)
    return;
  sigset_t held = held_signals();
  sigprocmask(SIG_BLOCK, &held, &g_saved_mask);
  struct sigaction dfl = {};
  dfl.sa_handler = SIG_DFL;
  sigemptyset(&dfl.sa_mask);
  sigaction(SIGCHLD, &dfl, &g_saved_chld);
  g_interrupt = 0;
}

SignalScope::~SignalScope() {
  if (--g_scopes > 0)
    return;
  // Whatever is still held belongs to work that has ended; drop it.
  sigset_t held = held_signals();
  timespec zero = {0, 0};
  while (sigtimedwait(&held, nullptr, &zero) > 0) {
  }
  sigaction(SIGCHLD, &g_saved_chld, nullptr);
  sigprocmask(SIG_SETMASK, &g_saved_mask, nullptr);
}

int take_interrupt() {
  if (!g_interrupt) {
    sigset_t pending;
    sigpending(&pending);
    for (int sig : kStopSignals)
      if (sigismember(&pending, sig)) {
        sigset_t one;
        sigemptyset(&one);
        sigaddset(&one, sig);
        timespec zero = {0, 0};
        if (sigtimedwait(&one, nullptr, &zero) == sig)
          g_interrupt = sig;
      }
  }
  int sig = g_interrupt;
  g_interrupt = 0;
  return sig;
}

std::string signal_name(int sig) {
  for (auto [n, name] : {std::pair{SIGINT, "SIGINT"}, std::pair{SIGTERM, "SIGTERM"},
                         std::pair{SIGHUP, "SIGHUP"}, std::pair{SIGQUIT, "SIGQUIT"}})
    if (sig == n)
      return name;
  return "signal " + std::to_string(sig);
}

std::string Outcome::describe() const {
  switch (kind) {
  case Exited:
    return "exit status " + std::to_string(code);
  case Signaled:
    return std::string("killed by signal ") + strsignal(code);
  case TimedOut:
    return "no exit within the time limit";
  case Interrupted:
    return "stopped: " + signal_name(code);
  default:
    return os_error("start", code);
  }
}

namespace {

// In the child, between fork and exec: its own process group, default
// signal handling, standard input from /dev/null, the output and processor
// asked for. Returns 0, or the errno of the step that failed.
int prepare_child(const Command &cmd) {
  setpgid(0, 0);
  struct sigaction dfl = {};
  dfl.sa_handler = SIG_DFL;
  sigemptyset(&dfl.sa_mask);
  for (int sig : kStopSignals)
    sigaction(sig, &dfl, nullptr);
  sigaction(SIGCHLD, &dfl, nullptr);
  sigprocmask(SIG_SETMASK, &g_saved_mask, nullptr);
  int null_fd = open("/dev/null", O_RDONLY);
  if (!cmd.keep_stdin && (null_fd < 0 || dup2(null_fd, STDIN_FILENO) < 0))
    return errno;
  if (cmd.output_to_stderr && dup2(STDERR_FILENO, STDOUT_FILENO) < 0)
    return errno;
  if (cmd.cpu >= 0) {
    cpu_set_t one;
    CPU_ZERO(&one);
    CPU_SET(cmd.cpu, &one);
    if (sched_setaffinity(0, sizeof one, &one) != 0)
      return errno;
  }
  for (auto [path, target] :
       {std::pair{&cmd.stdout_path, STDOUT_FILENO}, std::pair{&cmd.stderr_path, STDERR_FILENO}})
    if (!path->empty()) {
      int fd = open(path->c_str(), O_WRONLY | O_TRUNC);
      if (fd < 0 || dup2(fd, target) < 0)
        return errno;
    }
  return 0;
}

// The child's side of run_program; never returns. A failed start is
// reported through `report_fd` as its errno.
[[noreturn]] void start_child(const Command &cmd, pid_t parent, int report_fd, char **argv,
                              char **child_env) {
  // Dies with this tool, even when it is killed outright; a parent that
  // is already gone before the request took hold is caught by the check.
  prctl(PR_SET_PDEATHSIG, SIGKILL);
  if (getppid() != parent)
    _exit(127);
  int err = prepare_child(cmd);
  if (!err) {
    if (cmd.search_path) {
      environ = child_env;
      execvp(argv[0], argv);
    } else {
      execve(cmd.file.empty() ? argv[0] : cmd.file.c_str(), argv, child_env);
    }
    err = errno;
  }
  ssize_t w = write(report_fd, &err, sizeof err);
  (void)w;
  _exit(127);
}

// The parent's side: the start's report, then the wait.
Outcome await_child(const Command &cmd, pid_t pid, int report_fd) {
  int err = 0;
  ssize_t n;
  while ((n = read(report_fd, &err, sizeof err)) < 0 && errno == EINTR) {
  }
  close(report_fd);
  int status = 0;
  if (n == (ssize_t)sizeof err) {
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return {Outcome::NotStarted, err};
  }
  rusage usage = {};
  double limit = cmd.stop_after > 0 ? cmd.stop_after : cmd.timeout > 0 ? cmd.timeout : -1;
  bool ended = wait_for(pid, status, limit, &usage), stopped = false;
  if (!ended && cmd.stop_after > 0 && !g_interrupt)
    ended = stopped = stop_gently(pid, status, &usage);
  auto cpu_of = [&](Outcome out) {
    const timeval &u = usage.ru_utime, &k = usage.ru_stime;
    out.cpu_seconds = (double)(u.tv_sec + k.tv_sec) + (double)(u.tv_usec + k.tv_usec) * 1e-6;
    return out;
  };
  if (!ended) {
    // What it used until it was stopped: an interrupted capture keeps it.
    stop(pid, &usage);
    if (int sig = take_interrupt())
      return cpu_of({Outcome::Interrupted, sig});
    return cpu_of({Outcome::TimedOut, 0});
  }
  Outcome out{WIFEXITED(status) ? Outcome::Exited : Outcome::Signaled,
              WIFEXITED(status) ? WEXITSTATUS(status) : WTERMSIG(status)};
  out.stopped = stopped;
  return cpu_of(out);
}

} // namespace

Outcome run_program(const Command &cmd) {
  if (g_scopes == 0)
    throw SystemError("internal: run_program outside a SignalScope");
  std::vector<std::string> args = cmd.argv,
                           env_strings = cmd.env.value_or(std::vector<std::string>{});
  std::vector<char *> argv, envp;
  for (auto &a : args)
    argv.push_back(a.data());
  argv.push_back(nullptr);
  for (auto &e : env_strings)
    envp.push_back(e.data());
  envp.push_back(nullptr);
  char **child_env = cmd.env ? envp.data() : environ;

  // The child reports a failed start through this pipe; a successful exec
  // closes it empty.
  int report_fd[2];
  if (pipe2(report_fd, O_CLOEXEC) != 0)
    throw SystemError(os_error("start", args[0], errno));
  const pid_t parent = getpid();
  const double started = now_seconds();
  pid_t pid = fork();
  if (pid < 0) {
    int err = errno;
    close(report_fd[0]);
    close(report_fd[1]);
    throw SystemError(os_error("start", args[0], err));
  }
  if (pid == 0) {
    close(report_fd[0]);
    start_child(cmd, parent, report_fd[1], argv.data(), child_env);
  }
  setpgid(pid, pid); // as the child does, so that no stop can come before it
  close(report_fd[1]);
  Outcome out = await_child(cmd, pid, report_fd[0]);
  out.wall_seconds = now_seconds() - started;
  return out;
}

std::optional<std::string> find_program(const std::string &name) {
  auto ok = [](const std::string &p) {
    struct stat st;
    return stat(p.c_str(), &st) == 0 && S_ISREG(st.st_mode) && access(p.c_str(), X_OK) == 0;
  };
  if (name.find('/') != std::string::npos)
    return ok(name) ? std::optional<std::string>(name) : std::nullopt;
  const char *path = std::getenv("PATH");
  std::string dirs = path ? path : "/usr/local/bin:/usr/bin:/bin";
  for (size_t start = 0;;) {
    size_t end = std::min(dirs.find(':', start), dirs.size());
    std::string dir = dirs.substr(start, end - start);
    std::string candidate = (dir.empty() ? "." : dir) + "/" + name;
    if (ok(candidate))
      return candidate;
    if (end == dirs.size())
      return std::nullopt;
    start = end + 1;
  }
}

} // namespace report
