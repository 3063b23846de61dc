#pragma once
// Sets of result files as the user names them: single files, campaign folders,
// interleaved campaigns and their variants, with the campaign's record.

#include "result_file.hpp"

#include <string>
#include <utility>
#include <vector>

namespace report {

// A campaign's context.txt: "key: value" lines, in order, keys repeatable.
struct Context {
  std::vector<std::pair<std::string, std::string>> entries;

  bool empty() const { return entries.empty(); }
  // The first value of `key`, or "" when there is none.
  std::string get(const std::string &key) const;
  std::vector<std::string> all(const std::string &key) const;
};

Context parse_context(const std::string &text);
// An absent file gives an empty context; an unreadable one is an InputError.
Context read_context(const std::string &path);

// One variant of an interleaved campaign, as its context records it.
struct Variant {
  std::string name;
  std::vector<std::string> env; // NAME=VALUE added to its runs
  std::string bench;
};
std::vector<Variant> variants_of(const Context &ctx);

// What one SET stands for.
struct Set {
  std::string label;              // the path as given, or the variant's name
  std::string path;               // where its files are
  std::vector<std::string> files; // file names, for naming runs
  std::vector<unsigned> rounds;   // run number of each file (run-NNN); 0 for a lone file
  std::vector<Curve> runs;
  Context context;                        // the campaign's record; empty for a lone file
  std::vector<std::string> env;           // NAME=VALUE added to its runs
  std::vector<std::string> inherited_env; // NAME=VALUE the runs inherited that steer the C library
  std::string campaign; // the interleaved campaign's folder, canonical; "" for none
  unsigned planned = 0; // runs (rounds) the campaign set out to make; 0 if unknown
};

// A SET argument: a result file, a campaign folder, one variant's folder of
// an interleaved campaign, or an interleaved campaign folder, which stands
// for all its variants in the order the campaign gave them.
std::vector<Set> load_sets(const std::string &path);

// Names of the run-NNN.txt files in a folder, sorted; the number of each.
std::vector<std::string> run_files_in(const std::string &dir);
unsigned run_number(const std::string &file_name);

} // namespace report
