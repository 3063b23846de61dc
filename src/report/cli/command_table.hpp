#pragma once
// Each command of memset-report, once: its options in the order --help lists
// them, its synopsis, its description, its line in the tool's help and the
// function that runs it. Dispatch, --help, 'help COMMAND' and the tests all
// read this table. For cli/ alone, and the tool's main.

#include "report/cli/option_table.hpp"

#include <string>
#include <vector>

namespace report {

struct CommandDef {
  const char *name;
  std::vector<CommandOption> options;
  bool takes_sets;
  const char *synopsis;    // the "usage:" lines
  const char *description; // what the command does
  const char *note;        // after the options; "" for none
  bool takes_command;      // after its options (and '--'): a command to run, whole
  const char *brief;       // its lines in the tool's own help
  int (*run)(const Options &);
};

// The commands, each with its options in the order --help lists them.
const std::vector<CommandDef> &commands();
const CommandDef *find_command(const std::string &name);

// Runs the command the options name (its usage, with --help); the exit
// status of a success. Failures are thrown.
int dispatch(const Options &o);

} // namespace report
