#pragma once
// A run file of a program campaign: what one run of the user's command took,
// as memset-report writes it and reads it back. The one owner of its layout:
//
//   # memset-program 1
//   wall_us: 412345        from its start to its end, in microseconds
//   cpu_us: 405012         user and system time of it and the children it
//                          waited for (wait4), in microseconds
//
// every line ending in a line feed, whole numbers in one spelling.

#include <cstdint>
#include <string>

namespace report {

constexpr const char *kProgramMark = "# memset-program 1";
constexpr size_t kMaxProgramBytes = 256;
// The figures of a run, in this order in RunFile::values, in microseconds;
// the report speaks of them in ms.
enum ProgramFigure { kWallUs = 0, kCpuUs = 1 };
constexpr double kProgramScale = 1000; // raw values per ms

struct ProgramRun {
  uint64_t wall_us = 0, cpu_us = 0;
};

bool is_program_text(const std::string &text);
std::string program_text(const ProgramRun &r);
// Strictly; an InputError naming `name` and the line otherwise.
ProgramRun parse_program(const std::string &text, const std::string &name);

} // namespace report
