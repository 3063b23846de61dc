#pragma once
// What a campaign tells whoever decides how long it runs: each run as it is
// made, and each complete round.

#include "report/formats/campaign_folder.hpp"
#include "report/formats/result_file.hpp"

#include <string>
#include <vector>

namespace report {

// A band that the last look left undecided, and that more rounds could
// decide: lengths from..to of the comparison of variant `variant` with the
// first. Bands whose fills hide in the readings are never among them.
struct UndecidedBand {
  size_t variant, from, to;
};

// Sees each run as it is made, and says when the rounds are enough.
class RoundObserver {
public:
  virtual ~RoundObserver() = default;
  // Once, before the first run: the campaign's record, with the machine it
  // runs on and its engine.
  virtual void started(const Record &) {}
  virtual void run_done(size_t variant, unsigned round, const RunValues &run) = 0;
  // After each complete round, with the seconds the campaign's rounds have
  // taken so far, over all its sessions; true when no more are needed.
  virtual bool round_done(unsigned rounds, double elapsed) = 0;
  // When the budget is spent or a fixed count is done; true when decided.
  virtual bool final_look(unsigned rounds, double elapsed) = 0;
  virtual unsigned looks() const = 0;
  virtual std::string progress() const = 0; // for the progress line
  // The bands still undecided at the last look.
  virtual std::vector<UndecidedBand> undecided() const = 0;
  // The bands the last look left unclear because the fills hide in the
  // readings there, which more rounds would not change.
  virtual std::vector<UndecidedBand> hidden() const { return {}; }
};

} // namespace report
