// Probing the machine for a campaign's record: date, host, processor,
// kernel, C library, and the time-stamp counter's frequency and resolution.

#include "report/campaign/machine.hpp"

#include "report/stats/statistics.hpp"
#include "report/sys/clock.hpp"
#include "report/sys/environment.hpp"
#include "report/sys/errors.hpp"
#include "report/sys/files.hpp"
#include "report/sys/process.hpp"
#include "report/sys/text.hpp"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <gnu/libc-version.h>
#include <map>
#include <sstream>
#include <sys/utsname.h>
#include <thread>
#include <unistd.h>

namespace report {

namespace {

inline uint64_t read_tsc() {
  uint32_t lo, hi;
  __asm__ __volatile__("rdtsc" : "=a"(lo), "=d"(hi));
  return (uint64_t)hi << 32 | lo;
}

// One "model name", "flags", ... field of /proc/cpuinfo; "" when absent.
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

} // namespace

std::vector<std::string> cpu_flags() {
  std::vector<std::string> flags;
  std::istringstream in(cpuinfo_field("flags"));
  for (std::string f; in >> f;)
    flags.push_back(f);
  return flags;
}

std::string libc_version() { return std::string("glibc ") + gnu_get_libc_version(); }

std::string package_version(const std::string &package) {
  TempFile out(temp_dir() + "/memset-report-dpkg");
  SignalScope signals;
  Command cmd;
  cmd.argv = {"dpkg-query", "-W", "-f=${Version}", package};
  cmd.search_path = true;
  cmd.timeout = 30;
  cmd.stdout_path = out.path();
  if (!run_program(cmd).ok())
    return "";
  std::ifstream in(out.path());
  std::string version;
  std::getline(in, version);
  return version;
}

double measure_tsc_hz() {
  double t0 = now_seconds();
  uint64_t c0 = read_tsc();
  timespec nap = {0, 200 * 1000 * 1000};
  while (nanosleep(&nap, &nap) != 0 && errno == EINTR) {
  }
  uint64_t c1 = read_tsc();
  double t1 = now_seconds();
  return (double)(c1 - c0) / (t1 - t0);
}

Resolution measure_resolution() {
  std::vector<uint64_t> back_to_back, with_work;
  back_to_back.reserve(kResolutionSamples);
  with_work.reserve(kResolutionSamples);
  volatile unsigned sink = 0;
  for (size_t i = 0; i < kResolutionSamples; i++) {
    uint64_t a = read_tsc();
    uint64_t b = read_tsc();
    back_to_back.push_back(b - a);
    // Work that changes from pair to pair: 0 to 96 steps of a dependent loop.
    unsigned n = (unsigned)(i % 97);
    uint64_t c = read_tsc();
    for (unsigned j = 0; j < n; j++)
      sink = sink + j;
    uint64_t e = read_tsc();
    with_work.push_back(e - c);
  }
  Resolution r;
  std::vector<double> b2b(back_to_back.begin(), back_to_back.end());
  r.read_cost = median(b2b);
  std::vector<uint64_t> all = back_to_back;
  all.insert(all.end(), with_work.begin(), with_work.end());
  r.step = estimate_step(all);
  return r;
}

MachineFacts probe_machine() {
  MachineFacts m;
  char date[64];
  time_t t = time(nullptr);
  strftime(date, sizeof date, "%Y-%m-%d %H:%M:%S %z", localtime(&t));
  m.date = date;
  char host[256] = "unknown";
  gethostname(host, sizeof host - 1);
  m.host = host;
  m.cpu_model = cpuinfo_field("model name");
  if (unsigned n = std::thread::hardware_concurrency())
    m.num_cpus = n;
  utsname u;
  m.kernel = uname(&u) == 0 ? u.release : "unknown";
  m.libc = libc_version();
  m.tsc_mhz = std::round(measure_tsc_hz() / 1e5) / 10;
  auto flags = cpu_flags();
  auto has = [&](const char *f) { return std::find(flags.begin(), flags.end(), f) != flags.end(); };
  bool constant = has("constant_tsc"), nonstop = has("nonstop_tsc");
  m.tsc_constant_nonstop = constant && nonstop
                               ? "yes"
                               : std::string("no (") + (constant ? "" : "no constant_tsc ") +
                                     (nonstop ? "" : "no nonstop_tsc") + ")";
  Resolution res = measure_resolution();
  m.tsc_step = res.step;
  m.tsc_read_cost = std::round(res.read_cost);
  return m;
}

std::map<int, uint64_t> cache_sizes() {
  std::map<int, uint64_t> sizes;
  const std::string root = "/sys/devices/system/cpu/cpu0/cache/index";
  auto field = [](const std::string &path) {
    std::ifstream in(path);
    std::string v;
    std::getline(in, v);
    return v;
  };
  for (int i = 0; i < 16; i++) {
    std::string dir = root + std::to_string(i) + "/";
    std::string type = field(dir + "type"), level = field(dir + "level"),
                size = field(dir + "size");
    if (type.empty())
      break;
    if (type == "Instruction" || size.empty())
      continue;
    auto l = parse_whole(level);
    // "48K", "2048K", "32M": the kernel writes K, M or G.
    char unit = size.back();
    auto n =
        parse_whole(std::isdigit((unsigned char)unit) ? size : size.substr(0, size.size() - 1));
    uint64_t scale = unit == 'K' ? 1024 : unit == 'M' ? 1024 * 1024 : unit == 'G' ? 1ull << 30 : 1;
    if (l && n)
      sizes[(int)*l] = *n * scale;
  }
  return sizes;
}

uint64_t level_footprint(const std::string &level, const std::map<int, uint64_t> &caches) {
  constexpr uint64_t kLargestFill = 32768, kMemoryAtLeast = 64ull << 20;
  if (level == "memory")
    return std::max(kMemoryAtLeast, caches.empty() ? 0 : 2 * caches.rbegin()->second);
  int want = level == "L1"                       ? 1
             : level == "L2"                     ? 2
             : level == "LLC" && !caches.empty() ? caches.rbegin()->first
                                                 : 0;
  auto it = caches.find(want);
  if (it == caches.end())
    throw UsageError("--footprint " + level + ": this machine reports no " +
                     (level == "LLC" ? std::string("cache") : level + " cache") +
                     " (/sys/devices/system/cpu/cpu0/cache); give the bytes instead");
  return std::max(kLargestFill, it->second / 2);
}

std::optional<uint64_t> memory_available() {
  std::ifstream in("/proc/meminfo");
  std::string key, unit;
  uint64_t kb = 0;
  while (in >> key >> kb >> unit)
    if (key == "MemAvailable:")
      return kb * 1024;
  return std::nullopt;
}

} // namespace report
