#pragma once
// The counts of a capture, as memset-report and the library it preloads into
// the captured command share them: one file mapping that every process of
// the command's tree adds into as it calls, so that what was counted
// survives fork, exec, threads and every way a process ends. Plain integers,
// with atomic builtins: the preloaded library links no C++ runtime.
//
// A thread takes a row of counts of its own at its first call, and adds to
// it without a locked instruction: that keeps the cost of a call within a
// few nanoseconds. Threads beyond the rows, and lengths above kMaxExact,
// add atomically into the shared counts. The file is sparse: rows never
// taken cost no memory.

#include "batch/length_class.hpp"

#include <cstdint>

namespace capture_layout {

// The environment variable that names the mapping's file to the library.
constexpr const char *kCountsVariable = "MEMSET_CAPTURE_COUNTS";
constexpr uint64_t kMagic = 0x33437465736d656dULL; // "memsetC3" in memory

// Lengths 0..kMaxExact are counted one by one; each longer length takes a
// slot of its own while slots last, and after that only adds to `unkept`.
constexpr uint64_t kMaxExact = 32768;
constexpr uint64_t kLongSlots = 4096;
constexpr uint64_t kRows = 256;

// Where the fills land, by length class (batch/length_class.hpp: a bit
// width). Within each class, the destination's offset within its 64-byte
// line, and the fills whose first line one of the thread's last kRecent
// fills touched: a cheap mark that the destination was in a cache.
constexpr uint64_t kClasses = length_classes::kClasses, kLine = length_classes::kLine, kRecent = 4;
static_assert((kRecent & (kRecent - 1)) == 0, "the ring of recent fills wraps by a mask");
inline uint64_t length_class(uint64_t n) { return length_classes::length_class(n); }

struct Landings {
  uint64_t offsets[kClasses][kLine];
  uint64_t recent[kClasses];
};

// The memory the fills touched: a bit per 4 KiB page, by a hash of the
// page's number, set by every fill on each page it covers (up to
// kMarkPages of them: a longer fill is cold wherever it goes). Distinct
// pages are estimated from the bits still clear (linear counting), within
// a few per cent up to millions of pages; a replay's cold calls walk that
// much memory, as the program's did.
constexpr uint64_t kPageShift = 12, kPageBits = (uint64_t)1 << 20, kMarkPages = 4096;
// A full mix (splitmix64's): the count assumes bits fall as at random, and
// a plain multiplicative hash spreads consecutive pages more evenly than
// that, which overstated 65536 pages by 3%.
inline uint64_t page_bit(uint64_t page) {
  page = (page ^ (page >> 30)) * 0xbf58476d1ce4e5b9ULL;
  page = (page ^ (page >> 27)) * 0x94d049bb133111ebULL;
  return (page ^ (page >> 31)) >> 44;
}
static_assert(kPageBits == (uint64_t)1 << (64 - 44), "page_bit spans the bitmap");

struct LongSlot {
  uint64_t length; // 0: free
  uint64_t calls;
};

struct Counts {
  uint64_t magic;
  uint64_t processes;  // processes that called memset at all
  uint64_t unkept;     // calls above kMaxExact once every slot was taken
  uint64_t rows_taken; // may run past kRows: those threads use `exact`
  uint64_t exact[kMaxExact + 1];
  LongSlot longer[kLongSlots];
  uint64_t rows[kRows][kMaxExact + 1]; // each written by one thread alone
  Landings landings;                   // threads beyond the rows, atomically
  Landings landing_rows[kRows];        // each written by one thread alone, as `rows`
  uint64_t pages[kPageBits / 64];      // shared: a bit once set stays set
};

} // namespace capture_layout
