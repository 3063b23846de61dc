#pragma once
// The values of command-line options, checked: environment entries, benchmark paths, variant names
// and length lists. Each refusal is a UsageError that names the option.

#include "report/campaign/campaign.hpp"
#include "report/sys/values.hpp"

#include <string>
#include <vector>

namespace report {

// NAME=VALUE, no control characters, NAME not already in `list`.
void check_env_entry(const std::string &entry, const std::vector<std::string> &list);

// An executable regular file, its path free of control characters.
void check_bench(const std::string &bench);

// A library to preload: an existing regular file, its path made absolute
// and free of control characters, spaces and ':' (LD_PRELOAD's separators).
std::string preload_path(const std::string &path);

// A short name that is no file of the campaign folder and not in `earlier`.
void check_variant_name(const std::string &name, const std::vector<VariantOptions> &earlier);

// "1,2,4096" or "all".
std::vector<size_t> lengths_value(const std::string &s);

} // namespace report
