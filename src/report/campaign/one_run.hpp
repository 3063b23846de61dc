#pragma once
// One run into a campaign folder, of the benchmark (either engine) or of a
// program campaign's command, checked before it takes its name, and the
// undoing of what an incomplete campaign made. For campaign.cpp alone.

#include "report/campaign/plan.hpp"
#include "report/formats/result_file.hpp"

#include <string>
#include <unistd.h>
#include <vector>

namespace report {

// Removes what a campaign made that holds no complete round; the folders it
// created go too, where empty.
struct Cleanup {
  std::vector<std::string> made_dirs; // in the order made
  std::string record;
  std::vector<std::string> files;                    // beside the record: a replay's
  std::vector<std::vector<std::string>> round_files; // per round
  size_t complete = 0;

  void drop_round(size_t r) {
    for (const auto &f : round_files[r])
      unlink(f.c_str());
    round_files[r].clear();
  }
  void drop_all_if_empty() {
    if (complete > 0)
      return;
    if (!record.empty())
      unlink(record.c_str());
    for (const auto &f : files)
      unlink(f.c_str());
    for (auto it = made_dirs.rbegin(); it != made_dirs.rend(); ++it)
      rmdir(it->c_str());
  }
};

// Makes `dir` and the folders above it that are missing, noting each in `c`.
void make_dir(const std::string &dir, Cleanup &c);

// One run (the benchmark's, or the program's) into `round`'s file of `job`,
// checked before it takes its name; the name is added to `made` once it is
// there. `what` names the run in messages ("round 3 of 11 (a)"). With memset-batch's random
// lengths, `lengths_seed` draws them: one seed a round, so that the variants of a round fill the
// same lengths in the same order.
RunValues run_one(const Job &job, unsigned round, unsigned width, const CampaignOptions &opt,
                  const std::string &what, std::vector<std::string> &made,
                  uint64_t lengths_seed = 0);

} // namespace report
