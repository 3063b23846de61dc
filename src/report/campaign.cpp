#include "campaign.hpp"

#include "result_file.hpp"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <gnu/libc-version.h>
#include <sched.h>
#include <sys/utsname.h>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;

namespace fs = std::filesystem;

namespace report {

namespace {

bool valid_env_name(const std::string &s) {
  if (s.empty() || std::isdigit((unsigned char)s[0]))
    return false;
  for (char c : s)
    if (!std::isalnum((unsigned char)c) && c != '_')
      return false;
  return true;
}

std::string run_name(unsigned i, unsigned runs) {
  int width = std::max<int>(3, std::to_string(runs).size());
  char buf[32];
  std::snprintf(buf, sizeof buf, "run-%0*u.txt", width, i);
  return buf;
}

uint64_t read_tsc() {
  uint32_t lo, hi;
  __asm__ __volatile__("rdtsc" : "=a"(lo), "=d"(hi));
  return (uint64_t)hi << 32 | lo;
}

double now_seconds() {
  timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return ts.tv_sec + ts.tv_nsec * 1e-9;
}

// Counter ticks per second against the monotonic clock, over about 0.2 s.
double tsc_hz() {
  double t0 = now_seconds();
  uint64_t c0 = read_tsc();
  timespec nap = {0, 200 * 1000 * 1000};
  while (nanosleep(&nap, &nap) != 0 && errno == EINTR) {
  }
  uint64_t c1 = read_tsc();
  double t1 = now_seconds();
  return (double)(c1 - c0) / (t1 - t0);
}

std::string cpuinfo_field(const std::string &key) {
  std::ifstream in("/proc/cpuinfo");
  for (std::string line; std::getline(in, line);)
    if (line.rfind(key, 0) == 0) {
      auto colon = line.find(':');
      auto start = colon == std::string::npos ? colon : line.find_first_not_of(" \t", colon + 1);
      return start == std::string::npos ? "" : line.substr(start);
    }
  return "";
}

bool has_flag(const std::string &flags, const std::string &flag) {
  return (" " + flags + " ").find(" " + flag + " ") != std::string::npos;
}

// Creates a file that must not exist yet.
void create_new(const std::string &path, const std::string &content) {
  int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0644);
  if (fd < 0)
    throw InputError("cannot create '" + path + "': " + std::strerror(errno));
  size_t off = 0;
  while (off < content.size()) {
    ssize_t n = write(fd, content.data() + off, content.size() - off);
    if (n < 0 && errno == EINTR)
      continue;
    if (n <= 0) {
      int err = errno;
      close(fd);
      throw InputError("cannot write '" + path + "': " + std::strerror(err));
    }
    off += n;
  }
  if (close(fd) != 0)
    throw InputError("cannot write '" + path + "': " + std::strerror(errno));
}

// Everything that can be refused is refused here, before anything is written.
void check_campaign(const CampaignOptions &opt) {
  for (const auto &e : opt.env) {
    auto eq = e.find('=');
    if (eq == std::string::npos || !valid_env_name(e.substr(0, eq)))
      throw InputError("--env takes NAME=VALUE, got '" + e + "'");
  }
  if (opt.cpu >= 0) {
    cpu_set_t allowed;
    CPU_ZERO(&allowed);
    if (opt.cpu >= CPU_SETSIZE || sched_getaffinity(0, sizeof allowed, &allowed) != 0 ||
        !CPU_ISSET(opt.cpu, &allowed))
      throw InputError("--cpu " + std::to_string(opt.cpu) +
                       ": no such processor available to this process");
  }
  if (opt.bench.empty() || access(opt.bench.c_str(), X_OK) != 0)
    throw InputError("cannot run benchmark '" + opt.bench + "': " + std::strerror(errno));
  std::error_code ec;
  if (fs::exists(opt.out, ec)) {
    if (!fs::is_directory(opt.out, ec))
      throw InputError("'" + opt.out + "' exists and is not a folder");
    if (!run_files_in(opt.out).empty() || fs::exists(fs::path(opt.out) / "context.txt", ec))
      throw InputError("'" + opt.out + "' already holds a campaign; choose a new folder");
  }
}

} // namespace

std::string describe_context(const CampaignOptions &opt) {
  std::string s;
  auto add = [&](const std::string &k, const std::string &v) { s += k + ": " + v + "\n"; };
  char date[64];
  time_t t = time(nullptr);
  strftime(date, sizeof date, "%Y-%m-%d %H:%M:%S %z", localtime(&t));
  add("date", date);
  add("cpu_model", cpuinfo_field("model name"));
  utsname u;
  add("kernel", uname(&u) == 0 ? u.release : "unknown");
  add("libc", std::string("glibc ") + gnu_get_libc_version());
  char mhz[32];
  std::snprintf(mhz, sizeof mhz, "%.1f", tsc_hz() / 1e6);
  add("tsc_mhz", mhz);
  std::string flags = cpuinfo_field("flags");
  bool constant = has_flag(flags, "constant_tsc"), nonstop = has_flag(flags, "nonstop_tsc");
  add("tsc_constant_nonstop", constant && nonstop
                                  ? "yes"
                                  : std::string("no (") + (constant ? "" : "no constant_tsc ") +
                                        (nonstop ? "" : "no nonstop_tsc") + ")");
  add("runs", std::to_string(opt.runs));
  add("pinning", opt.cpu >= 0 ? "cpu " + std::to_string(opt.cpu) : "none");
  if (opt.env.empty())
    add("env", "none");
  for (const auto &e : opt.env)
    add("env", e);
  std::error_code ec;
  auto abs = fs::canonical(opt.bench, ec);
  add("bench", ec ? opt.bench : abs.string());
  return s;
}

int run_campaign(const CampaignOptions &opt) {
  check_campaign(opt);
  std::error_code ec;
  fs::create_directories(opt.out, ec);
  if (ec)
    throw InputError("cannot create '" + opt.out + "': " + ec.message());
  create_new((fs::path(opt.out) / "context.txt").string(), describe_context(opt));

  // The benchmark's environment: ours, with the added variables replacing
  // any of the same name.
  std::vector<std::string> env_strings;
  for (char **e = environ; *e; ++e) {
    std::string var = *e, name = var.substr(0, var.find('='));
    bool replaced = false;
    for (const auto &add : opt.env)
      replaced = replaced || add.substr(0, add.find('=')) == name;
    if (!replaced)
      env_strings.push_back(var);
  }
  env_strings.insert(env_strings.end(), opt.env.begin(), opt.env.end());
  std::vector<char *> envp;
  for (auto &e : env_strings)
    envp.push_back(e.data());
  envp.push_back(nullptr);

  bool progress = isatty(STDERR_FILENO);
  for (unsigned i = 1; i <= opt.runs; i++) {
    std::string path = (fs::path(opt.out) / run_name(i, opt.runs)).string();
    // Reserve the name first, so that no existing file is ever replaced.
    create_new(path, "");
    if (progress)
      std::fprintf(stderr, "\rrun %u/%u", i, opt.runs);
    std::string bench = opt.bench;
    char *argv[] = {bench.data(), path.data(), nullptr};
    pid_t pid = fork();
    if (pid < 0)
      throw InputError(std::string("cannot start the benchmark: ") + std::strerror(errno));
    if (pid == 0) {
      if (opt.cpu >= 0) {
        cpu_set_t one;
        CPU_ZERO(&one);
        CPU_SET(opt.cpu, &one);
        if (sched_setaffinity(0, sizeof one, &one) != 0)
          _exit(126);
      }
      execve(argv[0], argv, envp.data());
      _exit(127);
    }
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (WIFEXITED(status) && WEXITSTATUS(status) == 0)
      continue;
    if (progress)
      std::fputc('\n', stderr);
    // An incomplete result would only be refused later; it was ours to make.
    fs::remove(path, ec);
    int code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    std::string how = WIFEXITED(status) ? "exit status " + std::to_string(code)
                                        : std::string("signal ") + strsignal(WTERMSIG(status));
    std::fprintf(stderr, "memset-report: run %u of %u failed (%s); campaign stopped\n", i, opt.runs,
                 how.c_str());
    return code;
  }
  if (progress)
    std::fputc('\n', stderr);
  return 0;
}

} // namespace report
