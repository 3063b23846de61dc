// Names inside a campaign folder: its variants' folders, and its run files
// with their numbers and listing.

#include "report/formats/campaign_folder.hpp"
#include "report/formats/record_values.hpp"
#include "report/sys/errors.hpp"

#include <algorithm>
#include <cctype>
#include <filesystem>

namespace fs = std::filesystem;

namespace report {

bool is_variant_name(const std::string &s) {
  return !s.empty() && s.size() <= 32 && s != "." && s != ".." &&
         std::all_of(s.begin(), s.end(), [](char c) {
           return std::isalnum((unsigned char)c) || c == '_' || c == '.' || c == '-';
         });
}

std::string run_file_name(unsigned number, unsigned planned) {
  size_t width = std::max<size_t>(3, std::to_string(planned).size());
  std::string digits = std::to_string(number);
  return "run-" + std::string(width - std::min(width, digits.size()), '0') + digits + ".txt";
}

unsigned run_number(const std::string &n) {
  if (n.size() < 9 || n.size() > 16 || n.compare(0, 4, "run-") != 0 ||
      n.compare(n.size() - 4, 4, ".txt") != 0)
    return 0;
  auto v = small_number(n.substr(4, n.size() - 8));
  return v ? *v : 0;
}

std::vector<std::string> run_files_in(const std::string &dir) {
  std::vector<std::string> names;
  std::error_code ec;
  for (fs::directory_iterator it(dir, ec), e; !ec && it != e; it.increment(ec)) {
    std::string n = it->path().filename().string();
    if (run_number(n) > 0)
      names.push_back(n);
  }
  if (ec)
    throw InputError(dir + ": " + ec.message());
  // By number: past the width of the names (run-1000.txt) their order as
  // text is not the order of the runs.
  std::sort(names.begin(), names.end(), [](const std::string &a, const std::string &b) {
    return std::make_pair(run_number(a), a) < std::make_pair(run_number(b), b);
  });
  return names;
}

} // namespace report
