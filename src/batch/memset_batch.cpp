// memset-batch PATH [--align K|random] [--footprint BYTES]
//                    [--random-lengths BANDS --seed N | --replay MIX --seed N]
//
// What a call of the C library's memset costs among back-to-back calls, for
// every fill length from 1 to 32768 bytes, in time-stamp-counter ticks per
// call with fractions, net of the counter's own readings. Where memset-bench
// times one call between two unfenced readings (every fill up to about 1 KiB
// then reads as one counter step on a coarse counter), this times batches of
// calls between fenced readings: a batch spans at least 1000 counter steps,
// so a step costs a thousandth of a step a call at most.
//
// memset is bound as memset-bench binds it (see CMakeLists.txt): through the
// PLT, lazily, at its first call, which comes before every timed batch; so
// GLIBC_TUNABLES and LD_PRELOAD steer it alike. The buffer is 32 KiB, kept in
// L1 by the calls themselves. Each length is timed in two batches and the
// faster kept: interference only adds time.
//
// --random-lengths BANDS ("3-7,8-15,..."): each batch of a band draws its
// lengths at random within it (seeded by --seed, drawn before the timed
// loop), so that no predictor learns one length; every length of the band
// then carries the band's value. Lengths in no band are timed as they are.
//
// --replay MIX: one figure for a program's own mix of lengths (the file
// mix_format.hpp describes): a sequence of 65536 calls, each length's share
// of them its share of the mix, in an order shuffled by --seed before the
// timed loop; the faster of kReplayPasses passes over it, ticks per call.
//
// --align K (0..63): every fill starts K bytes past a 64-byte line; --align
// random: each call at an offset drawn at random in 0..63 (seeded, drawn
// before the timed loop). --footprint BYTES: the fills walk a region of
// that many bytes, each call moving on to lines the call before did not
// touch (batch_math.hpp's walk), carrying on from batch to batch, so that a
// region larger than a cache level is met cold. Without either, the fills
// are where they always were: at the start of the 32 KiB buffer, hot.
//
// Writes the file batch_format.hpp describes, with where malloc put the
// buffer where the fills were not placed. Status 0 after a complete run,
// 1 for a bad command line, 2 when the file or the buffer cannot be had; a
// message on standard error says which, and nothing else is printed.

#include "batch/batch_format.hpp"
#include "batch/batch_math.hpp"
#include "batch/counter_step.hpp"
#include "batch/mix_format.hpp"
#include "batch/replay.hpp"

#include <x86intrin.h>

#include <algorithm>
#include <cerrno>
#include <cinttypes>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <type_traits>
#include <vector>

extern "C" void memset_batch_empty(void *, int, size_t);

namespace {

using namespace batch;
using namespace batch_format;

// A reading after every earlier instruction and store has completed, before
// any later one starts.
inline uint64_t fenced_read() {
  _mm_mfence();
  _mm_lfence();
  uint64_t t = __rdtsc();
  _mm_lfence();
  return t;
}

// The batch's lengths: one length, or one drawn per call.
struct Lengths {
  size_t fixed = 0;
  const size_t *drawn = nullptr;
};

// One call in the loop: memset, or the empty function in its place, each
// called by name, so that each goes through the PLT.
template <bool Empty> inline void call(unsigned char *dest, int c, size_t n) {
  if constexpr (Empty)
    memset_batch_empty(dest, c, n);
  else
    memset(dest, c, n);
}

// Where the fills of a placed run land: a line-aligned region, the offset
// into a line (each call's own where drawn), and where the walk is.
struct Placement {
  unsigned char *base = nullptr;
  unsigned offset = 0;
  const unsigned char *offsets = nullptr; // drawn, one per call
  unsigned long long region = 0;          // 0: every fill in one place
  size_t cursor = 0;                      // the walk, carried from batch to batch
};

// Ticks a batch of `calls` placed calls takes, as batch_ticks below; the
// empty function's loop walks alike, so that the walk is the loop's cost.
template <bool Empty>
__attribute__((noinline)) uint64_t placed_ticks(Placement &p, const Walk &w, const Lengths &l,
                                                unsigned calls) {
  // Carried on from the last batch, whose fills may have been longer: at
  // the start of this batch's step, within its walk.
  size_t pos = w.stride ? p.cursor - p.cursor % w.stride : 0;
  if (pos >= w.limit)
    pos = 0;
  uint64_t t0 = fenced_read();
  for (unsigned i = 0; i < calls; i++) {
    call<Empty>(p.base + pos + (p.offsets ? p.offsets[i] : p.offset), (int)i,
                l.drawn ? l.drawn[i] : l.fixed);
    pos += w.stride;
    if (pos >= w.limit)
      pos = 0;
  }
  uint64_t t = fenced_read() - t0;
  p.cursor = pos;
  return t;
}

// Ticks a batch of `calls` calls takes between fenced readings. The loop is
// the same for memset and for the empty function, so that their difference
// is memset's own.
template <bool Empty>
__attribute__((noinline)) uint64_t batch_ticks(unsigned char *dest, const Lengths &l,
                                               unsigned calls) {
  uint64_t t0 = fenced_read();
  if (l.drawn)
    for (unsigned i = 0; i < calls; i++)
      call<Empty>(dest, (int)i, l.drawn[i]);
  else
    for (unsigned i = 0; i < calls; i++)
      call<Empty>(dest, (int)i, l.fixed);
  return fenced_read() - t0;
}

// The counter as this machine reads it: its step, and the median cost of a
// fenced pair of readings, which is in every batch and is taken off it. The
// step is read from differences of readings around a varying wait by the
// rule memset-report reads it by (counter_step.hpp), so that a counter
// whose step is not a whole number (24.45 on AMD's Zen 3), or whose
// differences are multiples of 26 but for a few of 1 (Zen 4), is read as
// it moves; a batch then spans 1000 of its steps.
struct Counter {
  uint64_t resolution = 1;
  double read_cost = 0;
};

Counter measure_counter() {
  constexpr int kPairs = 20001;
  std::vector<uint64_t> fenced, diffs;
  fenced.reserve(kPairs);
  diffs.reserve(2 * kPairs);
  volatile unsigned spin = 0;
  for (int i = 0; i < kPairs; i++) {
    uint64_t a = __rdtsc(), b = __rdtsc();
    diffs.push_back(b - a);
    // 0 to 96 steps of a dependent loop, so that the differences' common
    // step is the counter's and not the loop's.
    uint64_t c = __rdtsc();
    for (int k = 0; k < i % 97; k++)
      spin = spin + 1;
    diffs.push_back(__rdtsc() - c);
    uint64_t d = fenced_read(), e = fenced_read();
    fenced.push_back(e - d);
  }
  std::nth_element(fenced.begin(), fenced.begin() + kPairs / 2, fenced.end());
  return {whole_step(estimate_step(diffs)), (double)fenced[kPairs / 2]};
}

struct Options {
  const char *path = nullptr;
  std::vector<std::pair<size_t, size_t>> bands; // --random-lengths
  const char *replay = nullptr;                 // --replay
  uint64_t seed = 0;
  int align = -1;                   // --align: 0..63, kRandomAlign, or -1: the buffer's own
  unsigned long long footprint = 0; // --footprint
  bool placed() const { return align >= 0 || footprint > 0; }
};
constexpr int kRandomAlign = 64;

bool parse_number(const char *s, uint64_t &out) {
  if (!*s || std::strspn(s, "0123456789") != std::strlen(s) || std::strlen(s) > 19)
    return false;
  out = std::strtoull(s, nullptr, 10);
  return true;
}

// "3-7,8-15": bands in increasing order, within 3..32768, none overlapping.
bool parse_bands(const std::string &s, std::vector<std::pair<size_t, size_t>> &out) {
  size_t last = 2;
  for (size_t start = 0; start <= s.size();) {
    size_t end = std::min(s.find(',', start), s.size());
    std::string one = s.substr(start, end - start);
    size_t dash = one.find('-');
    uint64_t lo, hi;
    if (dash == std::string::npos || !parse_number(one.substr(0, dash).c_str(), lo) ||
        !parse_number(one.substr(dash + 1).c_str(), hi) || lo <= last || hi < lo || hi > kLengths)
      return false;
    out.push_back({lo, hi});
    last = hi;
    start = end + 1;
  }
  return true;
}

int usage(const char *why) {
  std::fprintf(stderr,
               "memset-batch: %s\nusage: memset-batch PATH [--align K|random] [--footprint BYTES]\n"
               "                    [--random-lengths BANDS --seed N | --replay MIX --seed N]\n",
               why);
  return 1;
}

int fail(const char *what, const char *path) {
  std::fprintf(stderr, "memset-batch: cannot %s '%s': %s\n", what, path, std::strerror(errno));
  return 2;
}

// The mix a replay times, read whole, and where its fills landed where it
// says; false with `why`.
bool read_mix(const char *path, mix_format::Mix &mix, mix_format::Landing &landing, bool &landed,
              std::string &why) {
  FILE *f = std::fopen(path, "r");
  if (!f) {
    why = std::strerror(errno);
    return false;
  }
  std::string text;
  char chunk[65536];
  size_t n;
  while ((n = std::fread(chunk, 1, sizeof chunk, f)) > 0 && text.size() <= mix_format::kMaxBytes)
    text.append(chunk, n);
  bool failed = std::ferror(f);
  std::fclose(f);
  if (failed) {
    why = "read error";
    return false;
  }
  landed = text.rfind(mix_format::kMarkLanded, 0) == 0;
  return mix_format::parse_mix(text, mix, why, &landing);
}

// Ticks a landed replay's pass takes: each call at its own place in the
// region, drawn before any timing; the empty function's loop alike.
template <bool Empty>
__attribute__((noinline)) uint64_t landed_ticks(unsigned char *base, const size_t *pos,
                                                const size_t *lengths, unsigned calls) {
  uint64_t t0 = fenced_read();
  for (unsigned i = 0; i < calls; i++)
    call<Empty>(base + pos[i], (int)i, lengths[i]);
  return fenced_read() - t0;
}

// Passes over a replay's sequence; the fastest is kept.
constexpr int kReplayPasses = 5;

// Reads the command line into `o`, checked against itself; "" or why not.
std::string parse(int argc, char **argv, Options &o) {
  bool seeded = false;
  for (int i = 1; i < argc; i++) {
    std::string a = argv[i];
    if (a == "--random-lengths" && i + 1 < argc) {
      if (!parse_bands(argv[++i], o.bands))
        return "--random-lengths takes bands LO-HI,... in increasing order within 3..32768";
    } else if (a == "--replay" && i + 1 < argc) {
      o.replay = argv[++i];
    } else if (a == "--align" && i + 1 < argc) {
      uint64_t k = 0;
      std::string v = argv[++i];
      if (v == kAlignRandom)
        o.align = kRandomAlign;
      else if (parse_number(v.c_str(), k) && k < kLine)
        o.align = (int)k;
      else
        return "--align takes an offset from 0 to 63, or random";
    } else if (a == "--footprint" && i + 1 < argc) {
      uint64_t b = 0;
      if (!parse_number(argv[++i], b) || b < kLengths || b > kMaxFootprint)
        return "--footprint takes bytes from 32768 (the largest fill) to 2^40";
      o.footprint = b;
    } else if (a == "--seed" && i + 1 < argc) {
      if (!parse_number(argv[++i], o.seed))
        return "--seed takes a whole number";
      seeded = true;
    } else if (a.rfind("-", 0) == 0 || o.path) {
      return "unknown argument '" + a + "'";
    } else {
      o.path = argv[i];
    }
  }
  if (!o.path)
    return "no result file given";
  if (o.replay && !o.bands.empty())
    return "--replay and --random-lengths exclude each other";
  if (seeded != (!o.bands.empty() || o.replay || o.align == kRandomAlign))
    return "--random-lengths, --replay or --align random and --seed go together";
  if (o.footprint && o.align < 0) // a region starts on a line
    o.align = 0;
  return "";
}

// A replay's mix, and where its fills landed where it says.
struct ReplayMix {
  mix_format::Mix mix;
  mix_format::Landing landing;
  bool landed = false;
};

// Reads the replay's mix and checks it against the options: 0, or the
// status to exit with, its message written.
int read_replay(Options &o, ReplayMix &r) {
  std::string why;
  if (!read_mix(o.replay, r.mix, r.landing, r.landed, why)) {
    std::fprintf(stderr, "memset-batch: cannot replay '%s': %s\n", o.replay, why.c_str());
    return 2;
  }
  // A mix that says where its fills landed lands them so: offsets are its,
  // and its cold calls land at random lines of the footprint, past a hot
  // place at its start.
  if (r.landed && o.align >= 0 && !o.footprint)
    return usage("a mix that says where its fills landed takes no --align");
  if (r.landed && r.landing.cold_ppm && o.footprint < mix_format::kLeastLandedRegion)
    return usage(("a mix with cold calls needs --footprint of " +
                  std::to_string(mix_format::kLeastLandedRegion) + " bytes or more for them")
                     .c_str());
  if (r.landed && o.align < 0)
    o.align = 0;
  return 0;
}

// Where the fills land: the buffer, and a placed run's region.
struct Places {
  unsigned char *dest = nullptr;
  Placement place;
  std::vector<unsigned char> offsets;
  ~Places() {
    std::free(dest);
    std::free(place.base);
  }
};

// The buffer, its first call binding memset outside every timed batch (it
// is then written through and in L1), and a placed run's region,
// line-aligned, with room for the largest fill at the last offset, every
// page of it mapped before any timing. 0, or the status to exit with.
int place(const Options &o, Places &p) {
  p.dest = static_cast<unsigned char *>(std::malloc(kLengths));
  if (!p.dest)
    return fail("allocate the buffer for", o.path);
  memset(p.dest, 0, kLengths);
  if (!o.placed())
    return 0;
  unsigned long long bytes = std::max<unsigned long long>(o.footprint, kLengths) + 2 * kLine;
  bytes = (bytes + 4095) / 4096 * 4096;
  p.place.base = static_cast<unsigned char *>(std::aligned_alloc(4096, bytes));
  if (!p.place.base)
    return fail("allocate the region for", o.path);
  memset(p.place.base, 0, bytes);
  p.place.region = o.footprint;
  p.place.offset = o.align == kRandomAlign ? 0 : (unsigned)o.align;
  if (o.align == kRandomAlign) {
    // Drawn from their own stream: the lengths' draws stay as they were.
    uint64_t state = o.seed ^ 0x9e3779b97f4a7c15ull;
    p.offsets.resize(std::max<size_t>(kMaxCalls, kReplayCalls));
    for (auto &off : p.offsets)
      off = (unsigned char)(next_random(state) % kLine);
    p.place.offsets = p.offsets.data();
  }
  return 0;
}

// Batches timed against the counter: each the faster of two of at least
// the target's span, net of the readings.
struct Timing {
  const Options &o;
  Places &p;
  Counter counter = measure_counter();
  uint64_t target = (uint64_t)kStepsPerBatch * counter.resolution;

  double net(uint64_t ticks, unsigned calls) const {
    return per_call(ticks, counter.read_cost, calls);
  }
  // A batch that fell short of the target is timed again, with more calls.
  unsigned enough(uint64_t ticks, unsigned calls) const { return calls_for(target, ticks, calls); }
  // One batch: placed where asked, at the buffer's start otherwise.
  template <bool Empty> uint64_t timed(const Lengths &l, unsigned calls, size_t largest) {
    if (!o.placed())
      return batch_ticks<Empty>(p.dest, l, calls);
    return placed_ticks<Empty>(p.place, walk_for(p.place.region, largest), l, calls);
  }
  template <bool Empty> double fastest(const Lengths &l, unsigned &calls, size_t largest) {
    double best = INFINITY;
    for (int kept = 0; kept < 2;) {
      uint64_t t = timed<Empty>(l, calls, largest);
      if (t < target && calls < kMaxCalls) {
        calls = enough(t, calls);
        continue;
      }
      best = std::min(best, net(t, calls));
      kept++;
      // The next batch, of this length or the next, sized to the target
      // again: a cost that grows with the length must not keep the calls
      // of the shortest fills.
      if (t > 2 * target)
        calls = enough(t, calls);
    }
    return best;
  }
};

// What a run measured: the loop's own cost, and a value per length from
// 1 (one value, of the whole mix, for a replay).
struct Measured {
  double loop = 0;
  std::vector<double> value;
};

// Every length, each batch of a band of --random-lengths drawing its
// lengths within it; the loop's cost of a fixed length's loop.
Measured measure_curve(Timing &t) {
  Measured m;
  unsigned calls = kMinCalls;
  m.loop = t.fastest<true>(Lengths{256, nullptr}, calls, 256);
  m.value.assign(kLengths + 1, 0);
  std::vector<size_t> drawn(kMaxCalls);
  uint64_t state = t.o.seed;
  size_t band = 0;
  calls = kMinCalls;
  for (size_t len = 1; len <= kLengths; len++) {
    if (band < t.o.bands.size() && len == t.o.bands[band].first) {
      auto [lo, hi] = t.o.bands[band++];
      for (auto &d : drawn)
        d = lo + (size_t)(next_random(state) % (hi - lo + 1));
      double v = t.fastest<false>(Lengths{0, drawn.data()}, calls, hi);
      for (; len <= hi; len++)
        m.value[len] = v;
      len = hi;
      continue;
    }
    m.value[len] = t.fastest<false>(Lengths{len, nullptr}, calls, len);
  }
  return m;
}

// A replay: the whole sequence each pass, memset's and the empty
// function's alike, placed as the mix says where it says; the loop's cost
// is the empty function's over the same sequence.
Measured measure_replay(Timing &t, const ReplayMix &r) {
  const std::vector<size_t> seq = replay_sequence(r.mix, kReplayCalls, t.o.seed);
  const Lengths l{0, seq.data()};
  const auto n = (unsigned)seq.size();
  const size_t largest = *std::max_element(seq.begin(), seq.end());
  double best = INFINITY, empty = INFINITY;
  std::vector<size_t> positions;
  if (r.landed)
    positions = replay_positions(
        seq, replay_landing(seq, r.landing, t.o.seed),
        std::max<unsigned long long>(t.o.footprint, mix_format::kLeastLandedRegion), kReplayPasses,
        t.o.seed);
  for (int pass = 0; pass < kReplayPasses; pass++) {
    if (r.landed) {
      const size_t *pos = positions.data() + (size_t)pass * n;
      empty = std::min(empty, t.net(landed_ticks<true>(t.p.place.base, pos, seq.data(), n), n));
      best = std::min(best, t.net(landed_ticks<false>(t.p.place.base, pos, seq.data(), n), n));
      continue;
    }
    empty = std::min(empty, t.net(t.timed<true>(l, n, largest), n));
    best = std::min(best, t.net(t.timed<false>(l, n, largest), n));
  }
  Measured m;
  m.loop = empty;
  m.value.assign(2, best);
  return m;
}

// The file batch_format.hpp describes; false where a write failed.
bool write_run(FILE *out, const Options &o, const Timing &t, const Measured &m, bool landed,
               unsigned buffer) {
  bool ok = std::fprintf(out, "%s\n", o.placed() ? kMarkPlaced : kMarkBuffer) > 0;
  ok = ok && std::fprintf(out, "# %s: %s\n", kKeyNames[kLengthsKey],
                          o.replay          ? kReplay
                          : o.bands.empty() ? kFixed
                                            : kRandom) > 0;
  ok = ok && std::fprintf(out, "# %s: %" PRIu64 "\n", kKeyNames[kSeed], o.seed) > 0;
  ok = ok &&
       std::fprintf(out, "# %s: %" PRIu64 "\n", kKeyNames[kResolution], t.counter.resolution) > 0;
  ok = ok &&
       std::fprintf(out, "# %s: %.*f\n", kKeyNames[kReadCost], kDecimals, t.counter.read_cost) > 0;
  ok = ok && std::fprintf(out, "# %s: %.*f\n", kKeyNames[kLoop], kDecimals, m.loop) > 0;
  ok = ok && std::fprintf(out, "# %s: %" PRIu64 "\n", kKeyNames[kBatch], t.target) > 0;
  if (o.placed()) {
    const std::string align = landed                    ? kAlignCapture
                              : o.align == kRandomAlign ? kAlignRandom
                                                        : std::to_string(o.align);
    ok = ok && std::fprintf(out, "# %s: %s\n", kPlacedKeyNames[kAlign], align.c_str()) > 0;
    ok = ok && std::fprintf(out, "# %s: %llu\n", kPlacedKeyNames[kFootprint], o.footprint) > 0;
  } else {
    ok = ok && std::fprintf(out, "# %s: %u\n", kBufferKey, buffer) > 0;
  }
  for (size_t len = 1; ok && len < m.value.size(); len++)
    ok = std::fprintf(out, "%.*f\n", kDecimals, m.value[len]) > 0;
  return ok;
}

} // namespace

int main(int argc, char **argv) {
  Options o;
  if (std::string why = parse(argc, argv, o); !why.empty())
    return usage(why.c_str());
  ReplayMix replay;
  if (o.replay)
    if (int status = read_replay(o, replay))
      return status;
  FILE *out = std::fopen(o.path, "w");
  if (!out)
    return fail("write results to", o.path);
  Places places;
  if (int status = place(o, places))
    return status;
  Timing timing{o, places};
  const Measured m = o.replay ? measure_replay(timing, replay) : measure_curve(timing);
  const auto buffer = (unsigned)((uintptr_t)places.dest % kLine);
  const bool ok = write_run(out, o, timing, m, replay.landed, buffer);
  if (std::fclose(out) != 0 || !ok)
    return fail("write results to", o.path);
  return 0;
}
