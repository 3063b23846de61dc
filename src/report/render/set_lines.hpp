#pragma once
// What a set and its campaign say of themselves, a line each, alike in
// every renderer: how it was measured, how it ended, where its fills
// landed, how its programs were started and with which C library, and
// what its capture says. pieces.hpp holds the phrases of verdicts and
// figures; it includes this.

#include "report/formats/campaign_folder.hpp"
#include "report/formats/capture.hpp"
#include "report/formats/engine.hpp"
#include "report/formats/sets.hpp"

#include <string>
#include <vector>

namespace report {

// "its budget of 60 s was spent before it was decided", "decided",
// "interrupted before it was decided": how a campaign ended, worded once for
// the line that ends it and for its summary.
std::string how_it_ended(Stop stop, double budget);

// "stopped: its budget of 60 s was spent before it was decided", or how
// else a campaign ended before it was decided, or that its session is under
// way, with its line feed; "" for one decided, of a fixed count, or without
// a record.
std::string stop_line(const Record &r);

// "libc: /opt/glibc/lib/libc.so.6 (GNU C Library ... 2.36.; build ID 93ac...),
// started by /opt/glibc/lib/ld-linux-x86-64.so.2 --library-path /opt/glibc/lib":
// the C library a set's runs loaded, with its line feed; "" where its
// record does not say.
std::string libc_line(const LibcRecord &l);

// "landed: 16 bytes past a 64-byte line, walking 32768 bytes (L1)": where a
// batched set's fills landed, with its line feed; "" for memset-bench's.
std::string landing_line(const Set &s);

// "landed differently: [1] a at ...; [2] b at ...: ...", with its line
// feed, where two sets' fills landed in different places, so that their
// ratio is of two places as well as two memsets; "" where alike.
std::string landed_differently(const Set &a, size_t ia, const Set &b, size_t ib);

// "same code: [2] b binds the same memset with the same tunables as [1] a
// under other settings: this comparison is an A/A", with its line feed.
std::string same_code_line(const Set &a, size_t ia, const Set &b, size_t ib);

// Whether two sets' programs were started alike: directly (a copy naming
// a library's loader is started directly too), or both through a loader.
bool started_alike(const Set &a, const Set &b);

// "started differently: [2] b through its loader, [1] a directly: ...",
// with its line feed, where one set's programs were started through a
// loader and the other's were not (a campaign from before copies); "" where
// alike.
std::string started_differently(const Set &a, size_t ia, const Set &b, size_t ib);

// "unpaired: separate campaigns can drift as a whole; ...": the warning of
// a comparison of runs from separate campaigns, with its line feed, naming
// the command that would interleave them ("run --variant").
std::string unpaired_line(double drift, const std::string &interleave);

// "measured: memset-bench, one call at a time ...": what the figures of a
// comparison are, once per comparison, with its line feed.
// Where a batched set's batches spanned fewer steps than the engine says
// (short_batches), the line says so of the first such set in `sets`.
std::string measured_line(Engine e, const std::vector<const Set *> &sets = {});

// What a capture says of its run, what per run leaves out, and a warning
// where the command did not end well: lines, each with its line feed.
std::string capture_lines(const Capture &c, bool replay = false); // of a replay's mix

} // namespace report
