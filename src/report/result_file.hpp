#pragma once
// Result files of memset-bench, and sets of them.

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

namespace report {

// Number of values in a result file: one per fill length, 1 to 32768 bytes.
constexpr size_t kLengths = 32768;

using Curve = std::vector<uint64_t>; // value k-1 belongs to a fill of k bytes

// Bad input: the message names the file (and the line, where there is one).
struct InputError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// Parses one result file strictly: exactly kLengths unsigned decimals without
// sign or leading zeros, one line feed between values, none after the last.
Curve parse_result(const std::string &text, const std::string &name);
Curve read_result_file(const std::string &path);

// A campaign folder (all its run-*.txt files, in name order) or one file.
struct Set {
  std::string label;              // the path as the user gave it
  std::vector<std::string> files; // file names, for naming runs
  std::vector<Curve> runs;
  std::vector<std::string> env; // "NAME=VALUE" from the campaign's context.txt
};

Set load_set(const std::string &path);

// Names of the run-NNN.txt files in a folder, sorted.
std::vector<std::string> run_files_in(const std::string &dir);

} // namespace report
