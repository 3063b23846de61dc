// When a campaign that runs until decided stops.

#include "report/stats/stopping.hpp"

#include "report/formats/record_values.hpp"
#include "report/stats/interval.hpp"
#include "report/sys/errors.hpp"

#include <algorithm>
#include <cmath>

namespace report {

unsigned next_look(unsigned last) {
  if (last < kMinRounds)
    return kMinRounds;
  return std::max(last + 1, (unsigned)std::ceil(kLookGrowth * last));
}

double campaign_confidence(const Record &r) {
  return look_confidence(r.stop == Stop::Running ? r.looks + 1 : r.looks);
}

double min_span_for(std::optional<double> given, bool one_figure, size_t variants) {
  if (variants < 2)
    return 0;
  return given.value_or(one_figure ? kDefaultMinSpan : 0);
}

void StopRule::check_budget(double spanned_before) const {
  if (fixed || spanned_before + budget >= min_span)
    return;
  throw UsageError(
      "--budget " + in_seconds(budget) + " ends before the rounds span " + in_seconds(min_span) +
      " (--min-span" +
      (spanned_before > 0 ? "; they span " + in_seconds(spanned_before) + " so far" : "") +
      "): the campaign could decide nothing");
}

bool LookingObserver::look(unsigned rounds) {
  looks_++;
  last_ = rounds;
  looked_ = true;
  decided_ = decide(look_confidence(looks_));
  return decided_;
}

bool LookingObserver::round_done(unsigned rounds, double elapsed) {
  elapsed_ = elapsed;
  if (rounds < next_look(last_) || !rule_.may_look(rounds, elapsed))
    return false;
  return look(rounds);
}

bool LookingObserver::final_look(unsigned rounds, double elapsed) {
  if (rounds == last_ || !rule_.may_look(rounds, elapsed))
    return decided_ && rounds == last_;
  return look(rounds);
}

std::string LookingObserver::first_look() const {
  std::string at = "first look at round " + std::to_string(next_look(last_));
  if (rule_.min_span > 0)
    at += " and " + std::to_string((long)std::ceil(rule_.min_span)) + " s (" +
          std::to_string((long)elapsed_) + " s so far)";
  return at;
}

} // namespace report
