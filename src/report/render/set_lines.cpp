// What a set and its campaign say of themselves, a line each.

#include "report/render/set_lines.hpp"

#include "report/sys/text.hpp"

namespace report {

std::string capture_lines(const Capture &c, bool replay) {
  std::string o = "capture: " + printable(c.command) + "; " + capture_end_name(c.end) + ": " +
                  printable(c.how) +
                  fmt("; %.3f s wall, %.3f s CPU; %llu calls in %llu process%s; ", c.wall_seconds,
                      c.cpu_seconds, (unsigned long long)c.calls, (unsigned long long)c.processes,
                      c.processes == 1 ? "" : "es") +
                  printable(c.libc) + "; " + printable(c.date) + "\n";
  if (const auto &l = c.landings; l && l->calls()) {
    const double all = (double)l->calls();
    o += fmt(
        "capture landed: %.0f%% of the calls at a line's start, %.0f%% at 16, 32 or 48 bytes past "
        "one, %.0f%% elsewhere; %.0f%% on a line one of the thread's last %u fills touched\n",
        100 * l->at_multiple_of(64) / all,
        100 * (l->at_multiple_of(16) - l->at_multiple_of(64)) / all,
        100 * (all - l->at_multiple_of(16)) / all, 100 * l->recent_calls() / all, kRecentFills);
    if (l->pages)
      o += "capture spread: its fills covered about " + size_text(*l->pages * kPageBytes) +
           fmt(" (%llu pages of 4 KiB, estimated)\n", (unsigned long long)*l->pages);
  }
  if (c.end == CaptureEnd::Failed || c.end == CaptureEnd::Interrupted)
    o += "warning: the captured command " +
         std::string(c.end == CaptureEnd::Failed ? "failed" : "was interrupted") +
         ": its calls and times are those of a run cut short\n";
  o += replay ? "note: 'per run' is the capture's calls at 1..32768 bytes times the replay's "
                "difference per call; it leaves out calls inside the C library itself, other "
                "alignments than the replay's, and caches colder than the replay's\n"
              : "note: 'per run' is the capture's calls at 2..32768 bytes, each at the "
                "benchmark's cost for its length; it leaves out calls inside the C library "
                "itself, other alignments than the benchmark's, and caches colder than the "
                "benchmark's\n";
  return o;
}

std::string how_it_ended(Stop stop, double budget) {
  switch (stop) {
  case Stop::Decided:
    return "decided";
  case Stop::Interrupted:
  case Stop::Failed:
    return std::string(stop_name(stop)) + " before it was decided";
  case Stop::Budget:
    return fmt("its budget of %g s was spent before it was decided", budget);
  default:
    return stop_name(stop);
  }
}

std::string stop_line(const Record &r) {
  switch (r.stop) {
  case Stop::Interrupted:
  case Stop::Failed:
  case Stop::Budget:
    return "stopped: " + how_it_ended(r.stop, r.budgets.empty() ? 0 : r.budgets.back()) + "\n";
  case Stop::Running:
    return "under way: no end recorded (still running, or cut off) at round " +
           std::to_string(r.rounds.value_or(0)) + ", after " + plural(r.looks, "look") +
           "; the intervals are those of its next look\n";
  default:
    return "";
  }
}

std::string landing_line(const Set &s) {
  return s.engine == Engine::Batch ? "landed: " + landing_text(s.landing(), s.buffer()) + "\n" : "";
}

std::string landed_differently(const Set &a, size_t ia, const Set &b, size_t ib) {
  if (!landed_apart(a, b))
    return "";
  return fmt("landed differently: [%zu] ", ia + 1) + printable(a.label) + " " +
         landing_text(a.landing(), a.buffer()) + fmt("; [%zu] ", ib + 1) + printable(b.label) +
         " " + landing_text(b.landing(), b.buffer()) +
         ": the ratio is of two places as well as two memsets, and says which is faster "
         "where each landed, not which memset is\n";
}

std::string same_code_line(const Set &a, size_t ia, const Set &b, size_t ib) {
  return "same code: " + fmt("[%zu] ", ib + 1) + printable(b.label) +
         " binds the same memset with the same tunables as " + fmt("[%zu] ", ia + 1) +
         printable(a.label) + " under other settings: this comparison is an A/A\n";
}

bool started_alike(const Set &a, const Set &b) {
  return (started_of(a.libc) == kStartedLoader) == (started_of(b.libc) == kStartedLoader);
}

std::string started_differently(const Set &a, size_t ia, const Set &b, size_t ib) {
  if (started_alike(a, b))
    return "";
  auto how = [](const Set &s) {
    return started_of(s.libc) == kStartedLoader ? " through its loader" : " directly";
  };
  return fmt("started differently: [%zu] ", ib + 1) + printable(b.label) + how(b) +
         fmt(", [%zu] ", ia + 1) + printable(a.label) + how(a) +
         ": a program started through a loader lies beside it and the libraries, and on AMD's "
         "Zen 4 its calls of memset cost about 2 ticks less for that alone; a difference of "
         "short fills here may be the start, not the memset\n";
}

std::string libc_line(const LibcRecord &l) {
  if (l.path.empty() && l.loader.empty())
    return "";
  std::string o = "libc: " + printable(l.path.empty() ? "unknown" : l.path);
  if (!l.version.empty() || !l.build_id.empty())
    o += " (" + printable(l.version.empty() ? "version unknown" : l.version) + "; build ID " +
         printable(l.build_id.empty() ? "unknown" : l.build_id) + ")";
  if (started_of(l) == kStartedCopy)
    o += ", started as a program is: a copy of each program whose interpreter is " +
         printable(l.loader) + " and run path " + printable(l.library_path);
  else if (!l.loader.empty())
    o += ", started by " + printable(l.loader) + " --library-path " + printable(l.library_path);
  return o + "\n";
}

std::string unpaired_line(double drift, const std::string &interleave) {
  return fmt("unpaired: separate campaigns can drift as a whole; the intervals are widened by "
             "%.0f%% for that (--drift); interleave them with '",
             100 * drift) +
         interleave + "' instead\n";
}

std::string measured_line(Engine e, const std::vector<const Set *> &sets) {
  std::string o = std::string("measured: ") + engine_name(e) + ", " + engine_measures(e);
  if (e == Engine::Bench)
    return o + "; where the fills hide in these readings, only back-to-back calls between "
               "fenced readings (--engine batch) can tell them apart\n";
  for (const Set *s : sets)
    if (auto steps = short_batches(*s))
      return o + "; but " + printable(s->label) +
             fmt("'s batches spanned only about %.0f of the counter's steps: its engine read "
                 "a finer step than the campaign's %.2f ticks\n",
                 *steps, *s->record.machine.tsc_step);
  return o + "\n";
}

} // namespace report
