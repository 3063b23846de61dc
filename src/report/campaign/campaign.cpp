// Campaigns: repeated runs of memset-bench into a folder, plain or with
// variants interleaved round by round in a shuffled order. Plans, runs and
// cleans up; the record it writes is the campaign folder format's to spell.

#include "report/campaign/campaign.hpp"

#include "report/campaign/one_run.hpp"
#include "report/campaign/plan.hpp"

#include "report/campaign/machine.hpp"
#include "report/campaign/preload.hpp"
#include "report/campaign/settings.hpp"
#include "report/formats/campaign_folder.hpp"
#include "report/formats/replay.hpp"
#include "report/formats/result_file.hpp"
#include "report/stats/splitmix.hpp"
#include "report/sys/clock.hpp"
#include "report/sys/environment.hpp"
#include "report/sys/errors.hpp"
#include "report/sys/files.hpp"
#include "report/sys/process.hpp"
#include "report/sys/text.hpp"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <optional>
#include <random>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace report {

namespace {

// The shuffled order of each round in turn, from one seed.
std::vector<size_t> next_order(uint64_t &state, size_t variants) {
  std::vector<size_t> order;
  for (size_t v = 0; v < variants; v++)
    order.push_back(v);
  for (size_t i = variants; i > 1; i--)
    std::swap(order[i - 1], order[next_random(state) % i]);
  return order;
}

// Replaces the record whole: a reader sees the old one or the new one.
void rewrite_record(const std::string &path, const Record &r) {
  TempFile t(path);
  t.write(format_record(r), path);
  t.place(path, true);
}

// A campaign's record and its file, from what it planned to how it ended:
// the campaign's rounds tell it what they did, and it keeps context.txt so.
class CampaignBook {
public:
  CampaignBook(const CampaignOptions &opt, const std::vector<Job> &jobs, uint64_t seed,
               const std::optional<Replay> &replay, bool fixed)
      : opt_(opt), interleaved_(!opt.variants.empty()), fixed_(fixed),
        path_((fs::path(opt.out) / kRecordFile).string()) {
    const bool more = opt.earlier.has_value();
    record_ = more ? *opt.earlier : campaign_record(opt, jobs, seed);
    if (!more && replay) {
      record_.replay = *opt.replay;
      record_.replay_format = weights_format_name(replay->weights.format);
      record_.replay_calls = replay->calls;
    }
    if (more && !fixed) // each continuation's budget, as its stop line names it
      record_.budgets.push_back(opt.budget);
    if (!more && !fixed && opt.min_span.value_or(0) > 0)
      record_.min_span = opt.min_span;
    if (!more && interleaved_) // what its comparisons are read at
      record_.threshold = opt.threshold;
  }

  const Record &record() const { return record_; }
  const std::string &path() const { return path_; }

  // What each job measures, where the record keeps it.
  void facts(const std::vector<JobFacts> &facts) {
    for (size_t j = 0; j < facts.size(); j++) {
      std::string &memset = interleaved_ ? record_.variants[j].memset : record_.memset;
      std::string &tunables = interleaved_ ? record_.variants[j].tunables : record_.tunables;
      memset = facts[j].memset;
      tunables = facts[j].tunables;
      LibcRecord &libc = interleaved_ ? record_.variants[j].libc : record_.libc_run;
      libc.path = facts[j].libc.path;
      libc.version = facts[j].libc.version;
      libc.build_id = facts[j].libc.build_id;
    }
  }

  // The record of a new campaign, before its first round, in a folder
  // made for it; what `cleanup` removes if no round is complete.
  void write_first(Cleanup &cleanup) {
    make_dir(opt_.out, cleanup);
    std::error_code ec;
    fs::remove(path_, ec); // at most an empty one: checked before
    cleanup.record = path_;
    try {
      write_new_file(path_, format_record(record_));
    } catch (...) {
      cleanup.record.clear();
      cleanup.drop_all_if_empty();
      throw;
    }
  }

  // The record as the rounds so far leave it: `rounds` complete, each in
  // the order of `orders` (indices into `jobs`), and the looks and seconds
  // of whoever decides where one does. A session that runs until decided
  // says so (`running`) after its first round and each look, so that a
  // summary read meanwhile, or after the session was cut off, knows the
  // data were looked at and how often.
  void write(Stop why, unsigned rounds, const std::vector<std::vector<size_t>> &orders,
             const std::vector<Job> &jobs, const RoundObserver *observer, double elapsed) {
    record_.rounds = rounds;
    if (fixed_)
      record_.planned = rounds;
    if (observer) {
      record_.looks = observer->looks();
      record_.elapsed = elapsed;
    }
    record_.stop = why;
    record_.orders.clear();
    for (unsigned i = 0; i < rounds; i++) {
      record_.orders.emplace_back();
      for (size_t v : orders[i])
        record_.orders.back().push_back(jobs[v].name);
    }
    rewrite_record(path_, record_);
  }

private:
  const CampaignOptions &opt_;
  const bool interleaved_, fixed_;
  const std::string path_;
  Record record_;
};

// One campaign from its first round to its record's last word.
class CampaignRun {
public:
  CampaignRun(const CampaignOptions &opt, RoundObserver *observer)
      : opt_(opt), observer_(observer), more_(opt.earlier.has_value()),
        interleaved_(!opt.variants.empty()), fixed_(opt.runs || !interleaved_),
        last_(fixed_ ? opt.done + opt.runs.value_or(kDefaultRuns) : kMaxRounds),
        unit_(interleaved_ ? "round" : "run"), progress_(isatty(STDERR_FILENO)) {
    if (!more_)
      check_folder(opt);
    jobs_ = jobs_of(opt);
    if (more_) // the record's variants carry their whole environment already
      for (size_t v = 0; v < jobs_.size(); v++)
        jobs_[v].launch = Launch(opt.variants[v].env, {}, opt.variants[v].libc);
    // A fresh seed fits in 63 bits, as one given with --seed must.
    uint64_t seed = opt.seed
                        ? *opt.seed
                        : ((uint64_t)std::random_device{}() << 32 | std::random_device{}()) >> 1;
    if (!more_ && opt.replay) // read before anything is written: a bad one stops here
      replay_ = read_replay(*opt.replay);
    book_.emplace(opt, jobs_, seed, replay_, fixed_);
    if (!more_)
      book_->facts(check_settings(jobs_, opt));
    else
      check_same_libraries(jobs_, book_->record(), opt.time_limit());
    state_ = seed;
    for (unsigned r = 0; r < opt.done; r++)
      orders_.push_back(next_order(state_, jobs_.size()));
    rounds_ = opt.done;
    if (observer_)
      observer_->started(book_->record());
  }

  CampaignEnd run() {
    if (!more_) {
      book_->write_first(cleanup_);
      lock_.emplace(opt_.out); // a continuation holds its own from the start
    }
    if (replay_)
      write_replay_files();
    Stop stop = fixed_ ? Stop::Runs : Stop::Budget;
    double start = now_seconds();
    try {
      for (const auto &j : jobs_)
        make_dir(j.dir, cleanup_);
      check_preloads();
      rounds_from_ = now_seconds();
      const StopRule rule{opt_.budget, opt_.min_span.value_or(0), fixed_};
      while (rounds_ < last_ && rule.another_round(rounds_, elapsed(), now_seconds() - start)) {
        run_round();
        if (!fixed_ && observer_ && observer_->round_done(rounds_, elapsed())) {
          stop = Stop::Decided;
          break;
        }
        if (!fixed_ && observer_ &&
            (rounds_ == opt_.done + 1 || observer_->looks() != book_->record().looks))
          write_record(Stop::Running);
      }
      if (observer_ && stop != Stop::Decided && observer_->final_look(rounds_, elapsed()))
        stop = Stop::Decided;
    } catch (const Failure &why) {
      fail(why);
    }
    if (progress_)
      std::fputc('\n', stderr);
    finish(stop);
    return end_of(stop, now_seconds() - start);
  }

private:
  // Seconds spent on rounds: this session's, and those of earlier ones.
  double elapsed() const {
    const double before = opt_.earlier ? opt_.earlier->elapsed.value_or(0) : 0;
    return before + (rounds_from_ ? now_seconds() - rounds_from_ : 0);
  }

  // The capture as it was, for summary's run time, and the mix the engine
  // reads; removed with the record if no round is complete.
  void write_replay_files() {
    for (const auto &[name, text] :
         {std::pair<const char *, std::string>{kReplaySource, replay_->source},
          {kMixFile,
           mix_format::mix_text(replay_->mix,
                                opt_.landing.align == Landing::kAlignCapture && replay_->landing
                                    ? &*replay_->landing
                                    : nullptr)}}) {
      std::string path = (fs::path(opt_.out) / name).string();
      try {
        write_new_file(path, text);
      } catch (...) {
        cleanup_.drop_all_if_empty();
        throw;
      }
      cleanup_.files.push_back(path);
    }
  }

  // A preload that is not the memset bound would measure glibc's under
  // another name: each is checked once before the first round.
  void check_preloads() const {
    for (const auto &j : jobs_)
      if (j.launch.preloads())
        check_preload(j.bench, j.launch, j.name.empty() ? "(all runs)" : j.name, opt_.time_limit());
  }

  void run_round() {
    std::string at = std::string(unit_) + " " + std::to_string(rounds_ + 1) +
                     (fixed_ ? " of " + std::to_string(last_) : "");
    if (progress_)
      std::fprintf(stderr, "\r%s%s\033[K", at.c_str(),
                   observer_ ? (", " + observer_->progress()).c_str() : "");
    orders_.push_back(next_order(state_, jobs_.size()));
    cleanup_.round_files.emplace_back();
    // The random lengths of this round, the same for each of its variants.
    uint64_t lengths = book_->record().seed.value_or(0) + rounds_ + 1;
    lengths = next_random(lengths);
    for (size_t v : orders_[rounds_]) {
      std::string what = at + (jobs_[v].name.empty() ? "" : " (" + jobs_[v].name + ")");
      RunValues run = run_one(jobs_[v], rounds_ + 1, fixed_ ? last_ : 0, opt_, what,
                              cleanup_.round_files.back(), lengths >> 1);
      if (observer_)
        observer_->run_done(v, rounds_ + 1, run);
    }
    rounds_++;
    cleanup_.complete++;
  }

  CampaignEnd end_of(Stop stop, double seconds) const {
    CampaignEnd e{opt_.out,
                  stop,
                  interleaved_,
                  jobs_.size() > 1,
                  rounds_,
                  rounds_ - opt_.done,
                  seconds,
                  {},
                  fixed_ ? 0 : opt_.budget,
                  {}};
    if (!observer_)
      return e;
    auto spans_of = [&](const std::vector<UndecidedBand> &bands) {
      std::vector<Undecided> out;
      for (const auto &u : bands) {
        const std::string &name = jobs_[u.variant].name;
        if (out.empty() || out.back().variant != name)
          out.push_back({name, {}});
        auto &spans = out.back().spans;
        if (!spans.empty() && spans.back().second + 1 == u.from)
          spans.back().second = u.to; // adjacent: one span
        else
          spans.push_back({u.from, u.to});
      }
      return out;
    };
    e.hidden = spans_of(observer_->hidden());
    if (stop != Stop::Decided)
      e.undecided = spans_of(observer_->undecided());
    return e;
  }

  // Records what is there however the campaign ends.
  void finish(Stop why) {
    if (!interleaved_ || rounds_ == opt_.done)
      return;
    write_record(why);
  }

  void write_record(Stop why) { book_->write(why, rounds_, orders_, jobs_, observer_, elapsed()); }

  // The round under way goes; complete ones stay, and the failure says so.
  [[noreturn]] void fail(const Failure &why) {
    if (progress_)
      std::fputc('\n', stderr);
    if (cleanup_.round_files.size() > cleanup_.complete)
      cleanup_.drop_round(cleanup_.round_files.size() - 1);
    cleanup_.drop_all_if_empty();
    if (cleanup_.complete)
      finish(why.status >= kInterrupted ? Stop::Interrupted : Stop::Failed);
    std::string kept = cleanup_.complete ? plural(cleanup_.complete, unit_) +
                                               " complete, kept in '" + opt_.out + "'"
                                         : std::string("no complete ") + unit_ + ", nothing kept";
    // Rounds of variants go on from where they stopped.
    if (cleanup_.complete && interleaved_)
      kept += "; more rounds: memset-report run --more " + shell_quoted(opt_.out);
    throw Failure(why.status, std::string(why.what()) + "; campaign stopped, " + kept);
  }

  const CampaignOptions &opt_;
  RoundObserver *observer_;
  const bool more_, interleaved_, fixed_;
  const unsigned last_; // the round after which a fixed count stops
  const char *unit_;
  const bool progress_; // a progress line on a terminal
  SignalScope signals_;
  std::optional<FolderLock> lock_;
  Cleanup cleanup_;
  std::vector<Job> jobs_;
  std::optional<Replay> replay_; // a new replay campaign's mix
  std::optional<CampaignBook> book_;
  uint64_t state_ = 0; // of the round orders
  std::vector<std::vector<size_t>> orders_;
  unsigned rounds_ = 0;    // complete, counting those of earlier sessions
  double rounds_from_ = 0; // when this session's first round began
};

} // namespace

CampaignEnd run_campaign(const CampaignOptions &opt, RoundObserver *observer) {
  return CampaignRun(opt, observer).run();
}

} // namespace report
