#pragma once
// The kinds of failure memset-report tells apart, and the exit status of each.

#include <cstring>
#include <stdexcept>
#include <string>

namespace report {

// One exit status per kind of outcome; the README's table lists the same.
enum Status : int {
  kOk = 0,
  kBadInput = 1,      // a result file, set or folder that cannot be used as it is
  kUsage = 2,         // a bad command line
  kSlower = 3,        // summary --fail-if-slower found a range slower than allowed
  kRunFailed = 4,     // a benchmark run failed or wrote no complete result
  kRunTimedOut = 5,   // a benchmark run took longer than --timeout
  kSystem = 6,        // the system or a helper program failed (files, gnuplot, starting)
  kNoTunables = 7,    // tune: the C library offers no memset tunables to steer
  kUndecided = 8,     // summary --fail-if-slower: a range is unclear, so the gate cannot pass
  kCommandFailed = 9, // capture: the command failed; its capture is written, marked failed
  kNoCalls = 10,      // capture: no call of memset was seen; nothing is written
  kHostsFailed = 11,  // fleet: a host's campaign did not come back whole
  kInterrupted = 128, // plus the signal number: 129 SIGHUP, 130 SIGINT, 131 SIGQUIT, 143 SIGTERM
};

// Every failure carries its status; main prints what() on one line and exits.
struct Failure : std::runtime_error {
  int status;
  Failure(int st, const std::string &what) : std::runtime_error(what), status(st) {}
};

struct UsageError : Failure {
  explicit UsageError(const std::string &w) : Failure(kUsage, w) {}
};
struct InputError : Failure {
  explicit InputError(const std::string &w) : Failure(kBadInput, w) {}
};
struct SystemError : Failure {
  explicit SystemError(const std::string &w) : Failure(kSystem, w) {}
};
struct RunFailed : Failure {
  explicit RunFailed(const std::string &w) : Failure(kRunFailed, w) {}
};
struct RunTimedOut : Failure {
  explicit RunTimedOut(const std::string &w) : Failure(kRunTimedOut, w) {}
};
struct Interrupted : Failure {
  Interrupted(int sig, const std::string &w) : Failure(kInterrupted + sig, w) {}
};
struct NoTunables : Failure {
  explicit NoTunables(const std::string &w) : Failure(kNoTunables, w) {}
};

struct CommandFailed : Failure {
  explicit CommandFailed(const std::string &w) : Failure(kCommandFailed, w) {}
};
struct NoCalls : Failure {
  explicit NoCalls(const std::string &w) : Failure(kNoCalls, w) {}
};
struct HostsFailed : Failure {
  explicit HostsFailed(const std::string &w) : Failure(kHostsFailed, w) {}
};
// "cannot VERB 'PATH': strerror(err)", the one shape of an operating-system
// failure, used wherever errno is told; "cannot VERB: strerror(err)" where
// no path of the user's is involved.
inline std::string os_error(const std::string &verb, const std::string &path, int err) {
  return "cannot " + verb + " '" + path + "': " + std::strerror(err);
}
inline std::string os_error(const std::string &verb, int err) {
  return "cannot " + verb + ": " + std::strerror(err);
}

} // namespace report
