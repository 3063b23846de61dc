#pragma once
// The help of memset-report, made from the command table.

#include <string>
#include <vector>

namespace report {

// A command's usage text, or the tool's for ""; "" for no such command.
std::string usage_text(const std::string &command);

// The options a command takes, by their long names and aliases.
std::vector<std::string> command_options(const std::string &command);

} // namespace report
