#pragma once
// Starting a program, waiting for it with a time limit, and stopping it when
// this tool is interrupted: the one place where memset-report runs programs.

#include <csignal>
#include <optional>
#include <string>
#include <vector>

namespace report {

// While one exists, SIGINT, SIGTERM, SIGHUP (a closed terminal or ssh
// session) and SIGQUIT do not kill this tool: they are held
// for run_program, which stops its child and reports them, and for
// take_interrupt. SIGCHLD is reset to its default, so that an ignored SIGCHLD
// inherited from the caller cannot hide how a child ended.
class SignalScope {
public:
  SignalScope();
  ~SignalScope();
  SignalScope(const SignalScope &) = delete;
  SignalScope &operator=(const SignalScope &) = delete;
};

// The signals that stop a campaign as Ctrl-C does.
constexpr int kStopSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};

// One of kStopSignals if one arrived and was not yet reported; 0 otherwise.
int take_interrupt();

// "SIGINT", "SIGTERM", ...; "signal N" for others.
std::string signal_name(int sig);

struct Command {
  std::vector<std::string> argv; // argv[0] is the program
  std::string file;              // the file started where it is not argv[0] (a copy of it)
  std::optional<std::vector<std::string>> env; // NAME=VALUE; none: this tool's own
  bool search_path = false;                    // look argv[0] up on PATH
  int cpu = -1;                                // pin to this processor; -1: no pinning
  double timeout = 0;                          // seconds; 0: no limit
  std::string stdout_path;                     // standard output into this file
  std::string stderr_path;                     // standard error into this file
  bool output_to_stderr = false;               // else standard output onto our standard error
  // Standard input is /dev/null, so that a child never reads the terminal,
  // unless the child is the user's own command that may read it.
  bool keep_stdin = false;
  // Seconds after which a child that runs until stopped (a server) is
  // asked to end, SIGINT first, then SIGTERM: an expected end, not a
  // timeout. 0: never.
  double stop_after = 0;
};

struct Outcome {
  enum Kind { Exited, Signaled, TimedOut, Interrupted, NotStarted } kind;
  int code = 0;            // exit status, signal number, or errno of the failed start
  bool stopped = false;    // asked to end after Command::stop_after
  double cpu_seconds = 0;  // user and system time of the child and the children it waited for
  double wall_seconds = 0; // from just before its start to its end
  bool ok() const { return kind == Exited && code == 0; }
  // "exit status 3", "signal Segmentation fault", "no exit within 60 s", ...
  std::string describe() const;
};

// Where execvp finds `name`: a path as it is, a name in the first folder of
// PATH that holds it as a regular executable file; none where none does.
std::optional<std::string> find_program(const std::string &name);

// Runs the command to its end, within a SignalScope. On timeout or
// interruption the child is killed and waited for before this returns; if
// this tool dies, even by SIGKILL, the child is killed with it.
Outcome run_program(const Command &cmd);

} // namespace report
