#pragma once
// The help of memset-report, made from the command table.

#include <string>

namespace report {

// A command's usage text, or the tool's for ""; "" for no such command.
std::string usage_text(const std::string &command);

} // namespace report
