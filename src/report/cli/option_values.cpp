// The values of command-line options, checked: environment entries, benchmark paths, variant names
// and length lists.

#include "report/cli/option_values.hpp"

#include "report/formats/campaign_folder.hpp"
#include "report/formats/result_file.hpp"
#include "report/sys/environment.hpp"
#include "report/sys/errors.hpp"
#include "report/sys/text.hpp"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace report {

namespace {

// Letters to add, drop or change to turn one name into the other.
size_t edit_distance(const std::string &a, const std::string &b) {
  std::vector<size_t> row(b.size() + 1);
  for (size_t j = 0; j <= b.size(); j++)
    row[j] = j;
  for (size_t i = 1; i <= a.size(); i++) {
    size_t diagonal = row[0];
    row[0] = i;
    for (size_t j = 1; j <= b.size(); j++) {
      size_t above = row[j];
      row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] != b[j - 1])});
      diagonal = above;
    }
  }
  return row[b.size()];
}

// A variable a letter or two from one that steers memset is a slip: the
// loader ignores it, and the campaign would measure the same memset twice.
void refuse_near_miss(const std::string &name) {
  for (const char *real : {kTunablesVar, "LD_PRELOAD", "LD_LIBRARY_PATH"}) {
    std::string upper = name;
    for (char &c : upper)
      c = (char)std::toupper((unsigned char)c);
    if (name != real && edit_distance(upper, real) <= 2)
      throw UsageError("--env " + name + ": no variable of that name steers memset; did you mean " +
                       real + "?");
  }
}

} // namespace

void check_env_entry(const std::string &e, const std::vector<std::string> &list) {
  std::string name = env_name(e);
  bool valid = e.find('=') != e.npos && !name.empty() && !std::isdigit((unsigned char)name[0]) &&
               std::all_of(name.begin(), name.end(),
                           [](char c) { return std::isalnum((unsigned char)c) || c == '_'; });
  if (!valid)
    throw UsageError("--env takes NAME=VALUE with NAME of letters, digits and '_', got '" + e +
                     "'");
  // A line feed would forge lines of the campaign's record.
  if (std::any_of(e.begin(), e.end(), [](char c) { return std::iscntrl((unsigned char)c); }))
    throw UsageError("--env " + name + ": control characters are not allowed in a value");
  refuse_near_miss(name);
  // The loader would apply the last, getenv() return the first: refuse both.
  for (const auto &other : list)
    if (env_name(other) == name)
      throw UsageError("--env " + name + " is given twice for the same runs");
}

void check_bench(const std::string &bench) {
  if (bench.empty())
    throw UsageError("--bench needs a path");
  if (std::any_of(bench.begin(), bench.end(),
                  [](char c) { return std::iscntrl((unsigned char)c); }))
    throw UsageError("--bench: control characters are not allowed in the path");
  struct stat st;
  if (stat(bench.c_str(), &st) != 0)
    throw UsageError(os_error("run benchmark", bench, errno));
  if (!S_ISREG(st.st_mode))
    throw UsageError("cannot run benchmark '" + bench + "': not a regular file");
  if (access(bench.c_str(), X_OK) != 0)
    throw UsageError(os_error("run benchmark", bench, errno));
}

std::string preload_path(const std::string &path) {
  struct stat st;
  if (path.empty() || stat(path.c_str(), &st) != 0)
    throw UsageError("--preload: " + os_error("read", path, path.empty() ? ENOENT : errno));
  if (!S_ISREG(st.st_mode))
    throw UsageError("--preload '" + path + "': not a regular file");
  std::error_code ec;
  std::string abs = std::filesystem::canonical(path, ec).string();
  if (ec || abs.find_first_of(" :\t") != std::string::npos ||
      std::any_of(abs.begin(), abs.end(), [](char c) { return std::iscntrl((unsigned char)c); }))
    throw UsageError("--preload '" + path +
                     "': LD_PRELOAD cannot carry a path with spaces, ':' or control characters");
  return abs;
}

void check_variant_name(const std::string &s, const std::vector<VariantOptions> &earlier) {
  if (!is_variant_name(s))
    throw UsageError("--variant takes a short name of letters, digits, '_', '.' and '-', got '" +
                     s + "'");
  // The folder's own files: the record (and its temporary copies) and runs.
  if (s.rfind(kRecordFile, 0) == 0 || run_number(s) > 0)
    throw UsageError("--variant " + s + ": the name of a campaign folder's own file");
  for (const auto &v : earlier)
    if (v.name == s)
      throw UsageError("--variant " + s + " is given twice");
}

std::vector<size_t> lengths_value(const std::string &s) {
  std::vector<size_t> out;
  if (s == "all") {
    for (size_t k = 1; k <= kLengths; k++)
      out.push_back(k);
    return out;
  }
  for (size_t start = 0; start <= s.size();) {
    size_t end = std::min(s.find(',', start), s.size());
    size_t len = count_value("--lengths", s.substr(start, end - start), kLengths);
    if (len == 0)
      throw UsageError("--lengths: lengths run from 1 to 32768");
    // A length given twice is one length: its entries go out once.
    if (std::find(out.begin(), out.end(), len) == out.end())
      out.push_back(len);
    start = end + 1;
  }
  return out;
}

} // namespace report
